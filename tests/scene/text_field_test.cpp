// Edit and memo fields: when they show and take the focus, editing by whole characters, the
// keys each kind swallows, selection by keys and pointer with copy and cut, the text limit, the
// input-method characters, the font height's sign, the memo's alignment and the save records.

#include "picture_fixture.h"
#include "scene/kivo_edit.h"
#include "scene_fixture.h"
#include "text/font_fixture.h"
#include "text/font_pixel_manager.h"

namespace kivo::test {
namespace {

constexpr int32_t kVkBack = 8, kVkReturn = 13, kVkEscape = 27, kVkEnd = 35, kVkHome = 36,
                  kVkLeft = 37, kVkRight = 39, kVkDelete = 46;

class TextFieldTest : public SceneTest {
  protected:
    TextFieldTest() { root.SetSize(32, 24); }

    template <typename T = TKivoEdit>
    T& Field(const std::string& name, TKivoControl* parent = nullptr) {
        T& field = root.Create<T>();
        field.Rename(name);
        field.SetBounds(2, 2, 20, 10);
        field.SetParent(parent != nullptr ? parent : &root.ActiveLayer());
        root.Events().Clear();
        return field;
    }
    void Frame() {
        state.gameClock += state.frameDelta;
        root.InputPass();
        root.FrameAdvance();
    }
};

TEST_F(TextFieldTest, AFieldShowsOnlyOnTheShownLayerUnderAVisibleParent) {
    TKivoEdit& shown = Field("shown");
    EXPECT_TRUE(shown.FieldShown());
    EXPECT_EQ(FocusedTextField(root), &shown);
    TKivoEdit& back = Field("back", &root.InactiveLayer());
    EXPECT_FALSE(back.FieldShown());
    // Switching the layers shows it at the next update and hides the other.
    root.SetActiveLayer(1 - root.ActiveIndex());
    Frame();
    EXPECT_TRUE(back.FieldShown());
    EXPECT_FALSE(shown.FieldShown());
    EXPECT_EQ(FocusedTextField(root), &back);
    // A hidden parent hides the field; a disabled field gives the focus up.
    TKivoBox& box = Box("box", 0, 0, 30, 20, 0, &root.ActiveLayer());
    back.SetParent(&box);
    box.SetVisible(false);
    Frame();
    EXPECT_FALSE(back.FieldShown());
    EXPECT_EQ(FocusedTextField(root), nullptr);
    box.SetVisible(true);
    Frame();
    WriteProperty(back, PR_PAUSED, true);
    EXPECT_TRUE(back.FieldShown());
    EXPECT_EQ(FocusedTextField(root), nullptr);
}

TEST_F(TextFieldTest, KeysEditByWholeCharactersAndNotifyWithTheTextBefore) {
    TKivoMemo& memo = Field<TKivoMemo>("memo");
    memo.SetNotifyHandler("note.ksb");
    memo.Type("a\x82\xA0");  // "a" and the two-byte "あ"
    memo.KeyDown(kVkReturn, false);
    memo.Type("b");
    EXPECT_EQ(memo.Text(), "a\x82\xA0\r\nb");
    memo.KeyDown(kVkLeft, false);
    memo.KeyDown(kVkBack, false);  // CR LF goes as one character
    EXPECT_EQ(memo.Text(),
              "a\x82\xA0"
              "b");
    memo.KeyDown(kVkBack, false);
    EXPECT_EQ(memo.Text(), "ab");
    memo.KeyDown(kVkEscape, false);
    memo.Type("\t");
    EXPECT_EQ(memo.Text(), "ab");
    EXPECT_EQ(Queue(), (std::vector<std::string>{
                           "memo:33(13,a\x82\xA0)",
                           "memo:33(37,a\x82\xA0\r\nb)",
                           "memo:33(8,a\x82\xA0\r\nb)",
                           "memo:33(8,a\x82\xA0"
                           "b)",
                           "memo:33(27,ab)",
                       }));

    TKivoEdit& edit = Field("edit");
    edit.SetText("xy");
    edit.KeyDown(kVkReturn, false);
    edit.Type("1\r\n2");
    EXPECT_EQ(edit.Text(), "xy12");
    edit.KeyDown(kVkLeft, false);
    edit.KeyDown(kVkDelete, false);
    EXPECT_EQ(edit.Text(), "xy1");
    edit.SetReadOnly(true);
    edit.Type("z");
    edit.KeyDown(kVkBack, false);
    EXPECT_EQ(edit.Text(), "xy1");
}

// Home and End move within the caret's line; with Ctrl to either end of the whole text.
TEST_F(TextFieldTest, HomeAndEndKeysMoveToTheEndsOfTheCaretsLine) {
    TKivoMemo& memo = Field<TKivoMemo>("memo");
    memo.Type("ab\r\ncde\r\nf");
    const struct {
        int32_t key;
        bool control;
        size_t caret;
    } moves[] = {{kVkLeft, false, 9}, {kVkLeft, false, 7}, {kVkHome, false, 4}, {kVkEnd, false, 7},
                 {kVkHome, true, 0},  {kVkEnd, false, 2},  {kVkEnd, true, 10}};
    for (const auto& move : moves) {
        memo.KeyDown(move.key, move.control);
        EXPECT_EQ(memo.Caret(), move.caret) << move.key << (move.control ? " with Ctrl" : "");
    }
}

TEST_F(TextFieldTest, ShiftedCaretKeysSelectWholeCharactersThatTypingReplaces) {
    TKivoMemo& memo = Field<TKivoMemo>("memo");
    memo.Type("a\x82\xA0\r\nb");
    memo.KeyDown(kVkLeft, false, true);
    memo.KeyDown(kVkLeft, false, true);  // CR LF is one character
    EXPECT_EQ(memo.SelectedText(), "\r\nb");
    memo.KeyDown(kVkLeft, false, true);
    EXPECT_EQ(memo.SelectedText(), "\x82\xA0\r\nb");
    // Without shift the caret leaves the selection at its near edge.
    memo.KeyDown(kVkLeft, false);
    EXPECT_EQ(memo.Caret(), 1u);
    EXPECT_EQ(memo.SelectedText(), "");
    memo.KeyDown(kVkRight, false, true);
    memo.Type("x");
    EXPECT_EQ(memo.Text(), "ax\r\nb");
    memo.KeyDown(kVkHome, false, true);
    memo.KeyDown(kVkBack, false);
    EXPECT_EQ(memo.Text(), "\r\nb");
    memo.KeyDown('A', true);
    memo.KeyDown(kVkDelete, false);
    EXPECT_EQ(memo.Text(), "");
}

TEST_F(TextFieldTest, CopyAndCutHandTheSelectionOverAsUtf8) {
    TKivoEdit& edit = Field("edit");
    edit.SetText("\x82\xA0\x82\xA2\x82\xA4");       // あいう
    EXPECT_EQ(CopyFromTextField(root, false), "");  // nothing selected
    edit.KeyDown(kVkLeft, false, true);
    edit.KeyDown(kVkLeft, false, true);
    EXPECT_EQ(CopyFromTextField(root, false), "いう");
    EXPECT_EQ(edit.Text().size(), 6u);
    // A read-only field copies but keeps its text.
    edit.SetReadOnly(true);
    EXPECT_EQ(CopyFromTextField(root, true), "");
    EXPECT_EQ(edit.Text().size(), 6u);
    edit.SetReadOnly(false);
    EXPECT_EQ(CopyFromTextField(root, true), "いう");
    EXPECT_EQ(edit.Text(), "\x82\xA0");
    // Pasting at the caret, in place of a selection.
    edit.KeyDown(kVkHome, false, true);
    TypeIntoTextField(root, "いう");
    EXPECT_EQ(edit.Text(), "\x82\xA2\x82\xA4");
}

TEST_F(TextFieldTest, DraggingThePointerSelectsAndThePaintShowsIt) {
    root.SetSize(64, 24);
    text_test::FakeFontEngine engine;
    for (const char32_t letter : {U'a', U'b', U'c'})
        engine.shapes[letter] = text_test::SolidShape(4, 8, 0, 8, 6);
    TFontPixelManager glyphs{engine};
    root.SetGlyphs(&glyphs);
    TKivoEdit& edit = Field("edit");
    edit.SetBounds(2, 2, 60, 14);
    edit.SetText("abc");
    const int32_t end = edit.CaretRect().Left;
    edit.KeyDown(kVkHome, false);
    const int32_t start = edit.CaretRect().Left;
    ASSERT_GT(end - start, 6);
    TDIBX plain(64, 24, 32), selected(64, 24, 32);
    edit.Paint(plain);

    // Pressed left of the middle of "a", dragged past the end.
    root.SetPointer(start + 1, 6);
    root.SetButtonsHeld(true, false);
    root.SetClicks(true, false);
    Frame();
    EXPECT_EQ(edit.Caret(), 0u);
    root.SetPointer(end + 10, 6);
    Frame();
    EXPECT_EQ(edit.SelectedText(), "abc");
    root.SetButtonsHeld(false, false);
    Frame();
    // Moving after the release selects no further.
    root.SetPointer(start + 1, 6);
    Frame();
    EXPECT_EQ(edit.SelectedText(), "abc");
    edit.Paint(selected);
    int32_t changed = 0;
    for (int32_t y = 0; y < 24; ++y) {
        for (int32_t x = 0; x < 64; ++x)
            changed += plain.GetPixel(x, y) != selected.GetPixel(x, y) ? 1 : 0;
    }
    EXPECT_GT(changed, 0);

    // A press alone puts the caret at the nearest character edge and selects nothing.
    root.SetPointer(end - 1, 6);
    root.SetButtonsHeld(true, false);
    root.SetClicks(true, false);
    Frame();
    EXPECT_EQ(edit.Caret(), 3u);
    EXPECT_EQ(edit.SelectedText(), "");
}

TEST_F(TextFieldTest, TypingStopsAtTheLimitOnACharacterBoundary) {
    TKivoEdit& edit = Field("edit");
    edit.Type(std::string(kMaxFieldTextBytes - 1, 'a'));
    edit.Type(
        "\x82\xA0"
        "b");  // the two-byte character no longer fits, nor what follows
    EXPECT_EQ(edit.Text().size(), kMaxFieldTextBytes - 1);
    edit.Type("b");
    EXPECT_EQ(edit.Text().size(), kMaxFieldTextBytes);
}

TEST_F(TextFieldTest, InputMethodCharactersBecomeTheCodePagesOwn) {
    struct Case {
        const char* utf8;
        std::string cp932;
    };
    const Case cases[] = {
        {"\u301C", "\x81\x60"},                              // wave dash
        {"\u2016", "\x81\x61"},                              // double bar
        {"\u2212", "\x81\x7C"},                              // minus sign
        {"\u00A2\u00A3\u00AC", "\x81\x91\x81\x92\x81\xCA"},  // cent, pound, not
        {"\u2014", "\x81\x5C"},                              // em dash
        {"A\u00E9\U0001F600B", "AB"},  // characters the code page lacks are dropped
    };
    for (const Case& c : cases)
        EXPECT_EQ(FieldTextFromUtf8(c.utf8), c.cp932) << c.utf8;
}

TEST_F(TextFieldTest, FontHeightReadsItsAbsoluteValue) {
    TKivoEdit& edit = Field("edit");
    WriteProperty(edit, PR_FONTHEIGHT, -14);
    EXPECT_EQ(std::get<int32_t>(ReadProperty(edit, PR_FONTHEIGHT)), 14);
    EXPECT_TRUE(std::get<bool>(ReadProperty(edit, PR_HANDLEKEY)));
    EXPECT_EQ(std::get<int32_t>(ReadProperty(edit, PR_COMPOTYPE)), 5);
}

TEST_F(TextFieldTest, FieldsPaintOverTheFrameWithTheMemoAlignment) {
    root.ActiveLayer().SetColor(0x0000FF);
    TKivoMemo& memo = Field<TKivoMemo>("memo");
    WriteProperty(memo, PR_COLOR, 0x00FF00);
    std::vector<TRect> dirty;
    (void)root.Draw(dirty);
    DrawTextFields(root, dirty);
    const TDIBX& back = root.BackBuffer();
    EXPECT_EQ(back.GetPixel(1, 1), back.ColorToPixel(0x0000FF));
    EXPECT_EQ(back.GetPixel(2, 2), back.ColorToPixel(0x00FF00));
    EXPECT_EQ(back.GetPixel(21, 11), back.ColorToPixel(0x00FF00));
    EXPECT_EQ(back.GetPixel(22, 12), back.ColorToPixel(0x0000FF));
    // The memo passes the platform's alignment codes through: 1 is right.
    WriteProperty(memo, PR_HALIGN, 1);
    EXPECT_EQ(std::get<int32_t>(ReadProperty(memo, PR_HALIGN)), 1);
    EXPECT_EQ(memo.CaretRect().Left, 2 + 20 - 2);
    WriteProperty(memo, PR_HALIGN, 0);
    EXPECT_EQ(memo.CaretRect().Left, 2 + 2);
}

TEST_F(TextFieldTest, SaveRecordsKeepTextFontAndState) {
    TKivoEdit& edit = Field("edit");
    edit.SetText("\x96\xBC\x91\x4F");
    edit.SetFontHeight(-20);
    edit.SetFontStyle(5);
    edit.SetFontColor(0x123456);
    edit.SetBackColor(0x654321);
    edit.SetReadOnly(true);
    edit.SetNotifyHandler("note.ksb");
    TKivoMemo& memo = Field<TKivoMemo>("memo");
    memo.SetText("a\r\nb");
    memo.SetAlignment(2);
    edit.SetPaused(true);
    SolidPictures pictures;
    std::unique_ptr<TKivoBaseList> loaded = RoundTrip(root, state, pictures);
    auto* editCopy = dynamic_cast<TKivoEdit*>(loaded->FindComponent("edit"));
    auto* memoCopy = dynamic_cast<TKivoMemo*>(loaded->FindComponent("memo"));
    ASSERT_NE(editCopy, nullptr);
    ASSERT_NE(memoCopy, nullptr);
    EXPECT_EQ(editCopy->Text(), edit.Text());
    EXPECT_EQ(editCopy->FontHeight(), 20);
    EXPECT_EQ(editCopy->FontStyle(), 5);
    EXPECT_EQ(editCopy->BackColor(), 0x654321);
    EXPECT_TRUE(editCopy->ReadOnly());
    EXPECT_EQ(editCopy->NotifyHandler(), "note.ksb");
    EXPECT_EQ(memoCopy->Alignment(), 2);
    EXPECT_TRUE(editCopy->Paused());
    EXPECT_EQ(loaded->FocusedControl(), memoCopy);
    EXPECT_EQ(memoCopy->Text(), "a\r\nb");
}

}  // namespace
}  // namespace kivo::test
