// Games with message windows played headless: text appears at the text speed, clicks complete
// and turn pages, TextIns waits for the window, pages read to their end are marked read, and
// CallHist shows what the backlog kept. The text is full blocks, whose cell centres are inked
// in every font, so the facts checked do not depend on the font that draws them.

#include "scene_game_fixture.h"

#include "scene/kivo_read_list.h"

namespace kivo {
namespace {

// Expressions name properties by number: 44 PR_INDEX, 50 PR_TEXT, 82 PR_TEXTDELAY.
constexpr int32_t kCell = 16;
constexpr int32_t kColumns = 10;

class MessageGame : public SceneGame {
  public:
    // A window over the whole scene, ten 16-pixel cells wide and rows high, white text.
    static std::string Window(int32_t rows, const std::string& extra = "") {
        return "MesNew PR_NAME={\"mes\"} PR_WIDTH={" + std::to_string(kColumns * kCell) +
               "} PR_HEIGHT={" + std::to_string(rows * kCell) +
               "} PR_FONTHEIGHT={16} PR_FONTCOLOR={0xFFFFFF} " + extra + "\n";
    }

    void WriteGame(int32_t rows, const std::string& main, const std::string& handlers = "") {
        Write(main + "Label \"idle\"\nWait time={0}\n", kColumns * kCell, rows * kCell, handlers);
    }

  protected:
    [[nodiscard]] int32_t InkedCells(int32_t row) const {
        return SceneGame::InkedCells(row, kCell, kColumns);
    }
};

// @TextDelay is 50 ms a character; a wait scale of 164/256 makes it 32 ms (two frames) and
// one of 82/256 16 ms (one frame).
TEST_F(MessageGame, TextAppearsAtTheTextSpeed) {
    struct Speed {
        int32_t scale;
        int32_t framesPerGlyph;
    };
    for (const Speed speed : {Speed{164, 2}, Speed{82, 1}}) {
        SCOPED_TRACE(speed.scale);
        WriteGame(1, Window(1, "PR_TEXTDELAY={" + std::to_string(speed.scale) + "}") +
                         "TextIns \"■■■■■■■■■■\" object={\"mes\"}\n");
        ASSERT_EQ(Play(4), 0);
        const int32_t early = InkedCells(0);
        ASSERT_EQ(Play(4 + 3 * speed.framesPerGlyph), 0);
        const int32_t later = InkedCells(0);
        EXPECT_GT(early, 0);
        EXPECT_LT(early, kColumns - 3);
        EXPECT_EQ(later - early, 3);
        ASSERT_EQ(Play(40), 0);
        EXPECT_EQ(InkedCells(0), kColumns);
    }
}

TEST_F(MessageGame, AClickCompletesThePageAndTheNextClickTurnsIt) {
    // Fifteen blocks make two one-row pages. The window's press handler shows the rest of the
    // page at once (no waits) or, when nothing is left to wait for, the next page.
    WriteGame(1,
              Window(1, "PR_TEXTDELAY={164} PR_ONLBTNDOWN={\"ev.kss:click\"}") +
                  "TextIns \"■■■■■■■■■■■■■■■\" object={\"mes\"}\n",
              "Label \"click\"\n"
              "If {GetProp(\"mes\", 82) > 0}\n"
              "    SetProp object={\"mes\"} property={82} value={0}\n"
              "Else\n"
              "    SetProp object={\"mes\"} property={44} value={GetProp(\"mes\", 44) + 1}\n"
              "    SetProp object={\"mes\"} property={82} value={164}\n"
              "Exit condition={TRUE}\n");
    const std::string firstClick = "1 move 8 8\n6 ldown\n7 lup\n";
    ASSERT_EQ(Play(6, firstClick), 0);
    EXPECT_LT(InkedCells(0), kColumns);
    ASSERT_EQ(Play(10, firstClick), 0);
    EXPECT_EQ(InkedCells(0), kColumns);
    // The second page starts empty and reveals its five blocks at the text speed.
    const std::string bothClicks = firstClick + "12 ldown\n13 lup\n";
    ASSERT_EQ(Play(15, bothClicks), 0);
    EXPECT_LT(InkedCells(0), 5);
    ASSERT_EQ(Play(40, bothClicks), 0);
    EXPECT_EQ(InkedCells(0), 5);
}

TEST_F(MessageGame, TextInsWithWaitGoesOnOnlyOnceTheWindowIsDone) {
    for (const bool wait : {true, false}) {
        SCOPED_TRACE(wait);
        WriteGame(1, "VarNew \"shown\" type=PT_STR\n" + Window(1) +
                         "TextIns \"■■■■\" object={\"mes\"} wait={" + (wait ? "TRUE" : "FALSE") +
                         "}\n"
                         "Calc {shown = GetProp(\"mes\", 50)}\n");
        ASSERT_EQ(Play(30), 0);
        EXPECT_EQ(Var("shown"), wait ? "\"■■■■\"" : "\"\"");
        EXPECT_EQ(InkedCells(0), 4);
    }
}

TEST_F(MessageGame, TextInsGoesOnWhenItsWindowIsDeletedWhileItWaits) {
    // A timer-like handler: the window's idle handler deletes it after a few frames.
    WriteGame(1,
              "VarNew \"after\" type=PT_INT\n" +
                  Window(1, "PR_TEXTDELAY={2560} PR_ONIDLE={\"ev.kss:drop\"}") +
                  "TextIns \"■■■■\" object={\"mes\"} wait={TRUE}\n"
                  "Calc {after = 1}\n",
              "Label \"drop\"\n"
              "ObjDel object={\"mes\"}\n"
              "Exit condition={TRUE}\n");
    ASSERT_EQ(Play(10), 0);
    EXPECT_EQ(Var("after"), "1");
}

// Two rounds of text A then text B, both with read marks, at a wait scale; between A and B
// each round runs betweenAB. The play-start handler appends each page's read flag as a digit
// to flags, which starts at 1.
void WriteReadMarkGame(MessageGame& game, int32_t scale, const std::string& textA,
                       const std::string& betweenAB) {
    game.WriteGame(1,
                   "VarNew \"flags\" type=PT_INT value={1}\nVarNew \"n\" type=PT_INT\n" +
                       MessageGame::Window(1, "PR_TEXTDELAY={" + std::to_string(scale) +
                                                  "} PR_ONPLAYSTART={\"ev.kss:start\"}") +
                       "Label \"round\"\n" + textA + betweenAB +
                       "TextIns \"□□\" object={\"mes\"} readMark={TRUE} wait={TRUE}\n"
                       "Calc {n = n + 1}\n"
                       "Jump \"main.ksb\" target=<round> condition={n < 2}\n",
                   "Label \"start\"\n"
                   "Calc {flags = flags * 10 + StrToIntDef(@ParamStr[0], 5)}\n"
                   "Exit condition={TRUE}\n");
}

TEST_F(MessageGame, PagesReadToTheirEndAreMarkedReadAndToldSoWhenShownAgain) {
    // Round one shows A and leaves it at once for B, which is read to its end; round two
    // shows A to its end and then B again.
    std::vector<uint8_t> marks;
    eachPass = [&](Player& player, int64_t) {
        if (player.textRead == nullptr) return;
        ByteWriter writer;
        player.textRead->Save(writer);
        marks = writer.Take();
    };
    WriteReadMarkGame(*this, 82, "TextIns \"■■■\" object={\"mes\"} readMark={TRUE}\n",
                      "If {n == 1}\n    Wait time={200}\n");
    ASSERT_EQ(Play(60), 0);
    EXPECT_EQ(Var("flags"), "10001");
    // The marks survive their stream form: A's command and B's, each at page 0.
    TKivoReadList loaded;
    ByteReader reader(marks, "marks");
    loaded.Load(reader, kSaveVersionCurrent);
    ASSERT_EQ(loaded.FileCount(), 1);
    EXPECT_EQ(loaded.File(0).Marks().size(), 2u);
    for (const auto& [command, page] : loaded.File(0).Marks()) {
        EXPECT_TRUE(loaded.IsRead("MAIN.KSB", command, page));
        EXPECT_EQ(page, 0);
    }
}

TEST_F(MessageGame, APageLeftAsSoonAsItIsRevealedWholeIsStillMarkedRead) {
    // With no waits A is revealed whole in one frame, and TextIns goes on the next frame,
    // before any tick could see the page finish; shown again, A tells it was read.
    WriteReadMarkGame(*this, 0, "TextIns \"■■■\" object={\"mes\"} readMark={TRUE} wait={TRUE}\n",
                      "");
    ASSERT_EQ(Play(40), 0);
    EXPECT_EQ(Var("flags"), "10011");
}

TEST_F(MessageGame, CallHistShowsTheBacklogEntriesInTheWindow) {
    // Two texts shown with read marks enter the backlog as they are left (the second by
    // TextClr). Closed up, the two entries show as two rows: two blocks, then three.
    WriteGame(2, "VarNew \"count\" type=PT_INT\n" + Window(2, "PR_TEXTDELAY={82}") +
                     "TextIns \"■■\" object={\"mes\"} readMark={TRUE} wait={TRUE}\n"
                     "TextIns \"■■■\" object={\"mes\"} readMark={TRUE} wait={TRUE}\n"
                     "TextClr object={\"mes\"}\n"
                     "Calc {count = @HistoryCount}\n"
                     "CallHist object={\"mes\"} start={0} count={5} flag={TRUE}\n");
    ASSERT_EQ(Play(40), 0);
    EXPECT_EQ(Var("count"), "2");
    EXPECT_EQ(InkedCells(0), 2);
    EXPECT_EQ(InkedCells(1), 3);
}

TEST_F(MessageGame, AFormattedBacklogCountsPixelsAndShowsTheScreensItPacked) {
    // FormatHist gives the backlog the window's layout: each one-row page is 16 pixels.
    WriteGame(2, "VarNew \"size\" type=PT_INT\n" + Window(2, "PR_TEXTDELAY={82}") +
                     "FormatHist object={\"mes\"}\n"
                     "TextIns \"■■■■\" object={\"mes\"} readMark={TRUE} wait={TRUE}\n"
                     "TextIns \"■\" object={\"mes\"} readMark={TRUE} wait={TRUE}\n"
                     "TextClr object={\"mes\"}\n"
                     "Calc {size = @HistoryCount}\n"
                     "CallHist object={\"mes\"} start={16} count={100}\n");
    ASSERT_EQ(Play(40), 0);
    EXPECT_EQ(Var("size"), "32");
    // From pixel 16 on, only the second text is left; it shows at the window's top.
    EXPECT_EQ(InkedCells(0), 1);
    EXPECT_EQ(InkedCells(1), 0);
}

TEST_F(MessageGame, LinksAndEventTagsRunTheirHandlersWithTheirTexts) {
    // The first two cells are a link to "go"; the EVENT tag after the fifth block fires as
    // the reveal passes it. Each click over the link runs ONLINK once; a click beside it not.
    WriteGame(1,
              "VarNew \"links\" type=PT_INT\nVarNew \"linkText\" type=PT_STR\n"
              "VarNew \"notes\" type=PT_INT\nVarNew \"noteText\" type=PT_STR\n"
              "VarNew \"noteAt\" type=PT_INT\n" +
                  Window(1,
                         "PR_TEXTDELAY={164} PR_ONLINK={\"ev.kss:link\"} "
                         "PR_ONNOTIFY={\"ev.kss:note\"}") +
                  "TextIns \"<A HREF=go>■■</A>■■■<EVENT VALUE=ping>■\" object={\"mes\"}\n",
              "Label \"link\"\n"
              "Calc {links = links + 1}\n"
              "Calc {linkText = @ParamStr[0] ++ \"|\" ++ @ParamStr[1]}\n"
              "Exit condition={TRUE}\n"
              "Label \"note\"\n"
              "Calc {notes = notes + 1}\n"
              "Calc {noteText = @ParamStr[0]}\n"
              "Calc {noteAt = Length(GetProp(\"mes\", 50))}\n"
              "Exit condition={TRUE}\n");
    // Not revealed yet at frame 6: a click then is no link click.
    const std::string input =
        "5 move 8 8\n6 ldown\n7 lup\n30 move 9 8\n31 ldown\n32 lup\n"
        "36 ldown\n37 lup\n40 move 120 8\n41 ldown\n42 lup\n";
    ASSERT_EQ(Play(50, input), 0);
    EXPECT_EQ(Var("links"), "2");
    EXPECT_EQ(Var("linkText"), "\"■■|go\"");
    EXPECT_EQ(Var("notes"), "1");
    EXPECT_EQ(Var("noteText"), "\"ping\"");
    // Fired once the five blocks before it were shown, before the last one.
    EXPECT_EQ(Var("noteAt"), "10");
}

TEST_F(MessageGame, EnterSpaceAndClicksTurnPagesAndAHeldKeyOnlyWhenTheGameAsksForRepeats) {
    // Three one-row pages shown at once; the game turns a page on what its condition reads
    // (key codes: 13 Enter, 32 Space, 65 A).
    // @KeyClick and @LClick are edges: a key held down turns one page. @KeyRepeat is the
    // game asking for the key's repeats, 300 ms after the press and then every 50 ms.
    const struct {
        const char* name;
        const char* advance;
        const char* input;
        const char* turns;
    } cases[] = {
        {"enter held", "@KeyClick[13]", "5 keydown 13\n40 keyup 13\n", "1"},
        {"space twice", "@KeyClick[32]", "5 keydown 32\n6 keyup 32\n15 keydown 32\n16 keyup 32\n",
         "2"},
        {"click", "@LClick", "1 move 8 8\n5 ldown\n6 lup\n", "1"},
        {"other key", "@KeyClick[13] | @KeyClick[32]", "5 keydown 65\n6 keyup 65\n", "0"},
        {"enter repeating", "@KeyRepeat[13]", "5 keydown 13\n40 keyup 13\n", "2"},
    };
    std::string blocks;
    for (int i = 0; i < 25; ++i)
        blocks += "■";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteGame(1, "VarNew \"turns\" type=PT_INT\n" + Window(1, "PR_TEXTDELAY={0}") +
                         "TextIns \"" + blocks +
                         "\" object={\"mes\"}\n"
                         "Label \"loop\"\n"
                         "DoEvent\n"
                         "Jump \"main.ksb\" target=<loop> condition={(" +
                         c.advance +
                         ") == FALSE}\n"
                         "Calc {turns = turns + 1}\n"
                         "SetProp object={\"mes\"} property={44} value={turns}\n"
                         "Jump \"main.ksb\" target=<loop> condition={turns < 2}\n");
        ASSERT_EQ(Play(45, c.input), 0);
        EXPECT_EQ(Var("turns"), c.turns);
        // Pages of ten, ten and five blocks.
        EXPECT_EQ(InkedCells(0), std::string(c.turns) == "2" ? 5 : kColumns);
    }
}

}  // namespace
}  // namespace kivo
