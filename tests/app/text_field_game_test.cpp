// Text fields played headless: keys and committed text typed into a focused field change its
// text, raise its notify handler with the key and the text before it, and the field shows over
// the scene; shifted arrows select, and cut and paste go through the clipboard.

#include "scene_game_fixture.h"

namespace kivo {
namespace {

// Property 50 is PR_TEXT.
TEST_F(SceneGame, TypingIntoAnEditChangesItsTextAndNotifiesEachKey) {
    Write(
        "VarNew \"keys\" type=PT_INT\nVarNew \"lastKey\" type=PT_STR\n"
        "VarNew \"before\" type=PT_STR\nVarNew \"typed\" type=PT_STR\n"
        "BoxNew PR_NAME={\"back\"} PR_WIDTH={32} PR_HEIGHT={16} PR_COLOR={0x0000FF}\n"
        "EditNew PR_NAME={\"name\"} PR_LEFT={2} PR_TOP={2} PR_WIDTH={28} PR_HEIGHT={12} "
        "PR_FONTHEIGHT={8} PR_ONNOTIFY={\"ev.kss:note\"}\n"
        "Label \"loop\"\nDoEvent\nCalc {typed = GetProp(\"name\", 50)}\n"
        "Jump \"main.ksb\" target=<loop> condition={TRUE}\n",
        32, 16,
        "Label \"note\"\nCalc {keys = keys + 1}\nCalc {lastKey = @ParamStr[0]}\n"
        "Calc {before = @ParamStr[1]}\nExit condition={TRUE}\n");
    // Shift+A, B, an input method's "あ〜" (its wave dash becomes the code page's), Backspace
    // (one whole character), then Enter, which the edit swallows.
    ASSERT_EQ(Play(20,
                   "3 keydown 16\n3 keydown 65\n4 keyup 65\n4 keyup 16\n"
                   "5 keydown 66\n6 keyup 66\n7 text あ〜\n"
                   "9 keydown 8\n10 keyup 8\n12 keydown 13\n13 keyup 13\n"),
              0);
    EXPECT_EQ(Var("typed"), "\"Abあ\"");
    EXPECT_EQ(Var("keys"), "5");
    EXPECT_EQ(Var("lastKey"), "\"13\"");
    EXPECT_EQ(Var("before"), "\"Abあ\"");
    // The field covers the red box with its white window colour.
    EXPECT_EQ(At(1, 1), Pixel(kRed));
    EXPECT_EQ(At(29, 13), Pixel(kWhite));
}

TEST_F(SceneGame, ShiftedArrowsSelectAndCutAndPasteMoveTextThroughTheClipboard) {
    Write(
        "VarNew \"typed\" type=PT_STR\n"
        "EditNew PR_NAME={\"name\"} PR_LEFT={2} PR_TOP={2} PR_WIDTH={28} PR_HEIGHT={12} "
        "PR_FONTHEIGHT={8}\n"
        "Label \"loop\"\nDoEvent\nCalc {typed = GetProp(\"name\", 50)}\n"
        "Jump \"main.ksb\" target=<loop> condition={TRUE}\n",
        32, 16, "");
    // "aいc", Shift+Left twice selects "いc", Ctrl+X cuts it, Home, Ctrl+V pastes it in front.
    ASSERT_EQ(Play(30,
                   "3 text aいc\n5 keydown 16\n6 keydown 37\n7 keyup 37\n8 keydown 37\n"
                   "9 keyup 37\n10 keyup 16\n11 keydown 17\n12 keydown 88\n13 keyup 88\n"
                   "14 keyup 17\n15 keydown 36\n16 keyup 36\n17 keydown 17\n18 keydown 86\n"
                   "19 keyup 86\n20 keyup 17\n"),
              0);
    EXPECT_EQ(Var("typed"), "\"いca\"");
}

}  // namespace
}  // namespace kivo
