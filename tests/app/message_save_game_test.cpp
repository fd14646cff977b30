// Games with message windows that save and load: a loaded game shows its windows as they were
// (the text, how far it was revealed, a window showing the backlog) and reveals on, the backlog
// comes back with the game while the read marks, kept with the status data, neither roll back
// with a load nor are lost when the player restarts; the image cache's dithering flag travels
// with the status data too. The text is full blocks, inked at their cell centres in any font.

#include <filesystem>

#include "scene/gale_collection.h"
#include "scene/kivo_base_list.h"
#include "scene/kivo_read_list.h"
#include "scene_game_fixture.h"

namespace kivo {
namespace {

// Expressions name properties by number: 44 PR_INDEX, 50 PR_TEXT.
constexpr int32_t kCell = 16;
constexpr int32_t kColumns = 10;

class MessageSaveGame : public SceneGame {
  protected:
    [[nodiscard]] int32_t InkedCells(int32_t row) const {
        return SceneGame::InkedCells(row, kCell, kColumns);
    }

    // Every read mark the player holds, over all page files.
    static size_t MarkCount(const Player& player) {
        if (player.textRead == nullptr) return 0;
        size_t count = 0;
        for (int32_t i = 0; i < player.textRead->FileCount(); ++i)
            count += player.textRead->File(i).Marks().size();
        return count;
    }
};

// Story texts A (2 blocks) and B (3) are read and enter the backlog, which a second window
// shows; C (15 blocks: a page of 10 and one of 5) is revealing when a click saves the game.
// Then the backlog is cleared, D is read, and the saved game is loaded. The status variables
// (loads, the values seen before the load) outlive the load.
constexpr const char* kStory = R"(VarNew "shownAfterLoad" type=PT_INT
VarNew "historyAfterLoad" type=PT_INT
VarNew "fullAfterLoad" type=PT_INT
VarNew "historyAfterNext" type=PT_INT
MesNew PR_NAME={"mes"} PR_WIDTH={160} PR_HEIGHT={16} PR_FONTHEIGHT={16} PR_FONTCOLOR={0xFFFFFF} PR_TEXTDELAY={164}
MesNew PR_NAME={"hist"} PR_TOP={16} PR_WIDTH={160} PR_HEIGHT={32} PR_FONTHEIGHT={16} PR_FONTCOLOR={0xFFFFFF}
TextIns "■■" object={"mes"} readMark={TRUE} wait={TRUE}
TextIns "■■■" object={"mes"} readMark={TRUE} wait={TRUE}
TextIns "■■■■■■■■■■■■■■■" object={"mes"} readMark={TRUE}
CallHist object={"hist"} start={0} count={5} flag={TRUE}
Label "poll"
Wait time={1}
Jump "main.ksb" target=<poll> condition={@LClick == FALSE}
GameSave slot={1} caption={"story"}
Wait time={1}
If {loads == 0}
    Calc {shownAtSave = Length(GetProp("mes", 50))}
    Calc {historyAtSave = @HistoryCount}
    ClrHist
    TextClr object={"hist"}
    TextIns "□" object={"mes"} readMark={TRUE} wait={TRUE}
    TextClr object={"mes"}
    Calc {historyBeforeLoad = @HistoryCount}
    Calc {loads = 1}
    GameLoad {1}
    Wait time={100000}
Calc {shownAfterLoad = Length(GetProp("mes", 50))}
Calc {historyAfterLoad = @HistoryCount}
Label "reveal"
Wait time={1}
Jump "main.ksb" target=<reveal> condition={Length(GetProp("mes", 50)) < 20}
Calc {fullAfterLoad = Length(GetProp("mes", 50))}
SetProp object={"mes"} property={44} value={1}
Calc {historyAfterNext = @HistoryCount}
Label "idle"
Wait time={0}
)";

TEST_F(MessageSaveGame, ALoadedGameShowsItsTextAndBacklogAndRevealsOn) {
    projectLines =
        "var PT_INT \"loads\" 0\nvar PT_INT \"shownAtSave\" 0\nvar PT_INT \"historyAtSave\" 0\n"
        "var PT_INT \"historyBeforeLoad\" 0\n";
    // A click sooner or later saves C less or more revealed (two frames a block).
    std::string shownBefore;
    for (const int32_t clickFrame : {16, 22}) {
        SCOPED_TRACE(clickFrame);
        std::filesystem::remove(folder_ / "save.dat");
        Write(kStory, kColumns * kCell, 3 * kCell);
        size_t marks = 0;
        eachPass = [&](Player& player, int64_t) { marks = MarkCount(player); };
        const std::string click = "1 move 8 8\n" + std::to_string(clickFrame) + " ldown\n" +
                                  std::to_string(clickFrame + 1) + " lup\n";
        ASSERT_EQ(Play(90, click), 0);

        EXPECT_EQ(Var("loads"), "1");
        const std::string shown = Var("shownAtSave");
        EXPECT_NE(shown, "0");
        EXPECT_NE(shown, "20");  // C's first page was still revealing
        EXPECT_NE(shown, shownBefore);
        shownBefore = shown;
        EXPECT_EQ(Var("shownAfterLoad"), shown);
        // A and B were in the backlog at the save; after ClrHist only D was.
        EXPECT_EQ(Var("historyAtSave"), "2");
        EXPECT_EQ(Var("historyBeforeLoad"), "1");
        EXPECT_EQ(Var("historyAfterLoad"), "2");
        // C's first page reveals to its end and, left, joins the backlog it was pending in.
        EXPECT_EQ(Var("fullAfterLoad"), "20");
        EXPECT_EQ(Var("historyAfterNext"), "3");
        // The second page of C and the backlog window as they were saved.
        EXPECT_EQ(InkedCells(0), 5);
        EXPECT_EQ(InkedCells(1), 2);
        EXPECT_EQ(InkedCells(2), 3);
        // A, B and D were marked before the load, C's two pages after it.
        EXPECT_EQ(marks, 5u);
    }

    // A restart finds every mark in the status data before any page could be read again.
    size_t marksAtStart = 0;
    eachPass = [&](Player& player, int64_t frame) {
        if (frame == 1) marksAtStart = MarkCount(player);
    };
    ASSERT_EQ(Play(3), 0);
    EXPECT_EQ(marksAtStart, 5u);
}

// Variable fields show the game's values: score counts the frames until a click, the window
// shows it and a key name, the game is saved, score changes, and the saved game is loaded.
// The text read back names the saved score, before the save and after the load alike.
constexpr const char* kScoreStory = R"(VarNew "score" type=PT_INT
MesNew PR_NAME={"mes"} PR_WIDTH={160} PR_HEIGHT={16} PR_FONTHEIGHT={16} PR_FONTCOLOR={0xFFFFFF} PR_TEXTDELAY={0}
Label "poll"
Calc {score = score + 1}
Wait time={1}
Jump "main.ksb" target=<poll> condition={@LClick == FALSE}
SetProp object={"mes"} property={50} value={"a<VAR NAME=score>b<VAR NAME=VkmA>"}
Wait time={100}
Calc {shownAtSave = GetProp("mes", 50)}
GameSave slot={1} caption={"score"}
Wait time={1}
If {loads == 0}
    Calc {score = score + 1000}
    Calc {loads = 1}
    GameLoad {1}
    Wait time={100000}
Calc {shownAfterLoad = GetProp("mes", 50)}
Calc {scoreAfterLoad = score}
Label "idle"
Wait time={0}
)";

TEST_F(MessageSaveGame, VariableFieldsShowTheLoadedValues) {
    projectLines = "var PT_INT \"loads\" 0\nvar PT_INT \"scoreAfterLoad\" 0\n"
                   "var PT_STR \"shownAtSave\" \"\"\nvar PT_STR \"shownAfterLoad\" \"\"\n";
    std::string scoreBefore;
    for (const int32_t clickFrame : {6, 12}) {
        SCOPED_TRACE(clickFrame);
        std::filesystem::remove(folder_ / "save.dat");
        Write(kScoreStory, kColumns * kCell, kCell);
        const std::string click = "1 move 8 8\n" + std::to_string(clickFrame) + " ldown\n" +
                                  std::to_string(clickFrame + 1) + " lup\n";
        ASSERT_EQ(Play(60, click), 0);

        EXPECT_EQ(Var("loads"), "1");
        const std::string score = Var("scoreAfterLoad");
        EXPECT_NE(score, "0");
        EXPECT_NE(score, scoreBefore);
        scoreBefore = score;
        // VkmA is the key code of A.
        const std::string expected = "\"a" + score + "b65\"";
        EXPECT_EQ(Var("shownAtSave"), expected);
        EXPECT_EQ(Var("shownAfterLoad"), expected);
    }
}

// A variable field whose expression counts its own evaluations (evals is a status variable,
// so the game load does not put it back): showing the text evaluates it once, and so does the
// load of the game a click saved. An assignment has no value: the field shows nothing.
constexpr const char* kCountingStory =
    R"(MesNew PR_NAME={"mes"} PR_WIDTH={160} PR_HEIGHT={16} PR_FONTHEIGHT={16} PR_FONTCOLOR={0xFFFFFF} PR_TEXTDELAY={0}
SetProp object={"mes"} property={50} value={"a<VAR NAME=\"evals = evals + 1\">b"}
Label "poll"
Wait time={1}
Jump "main.ksb" target=<poll> condition={@LClick == FALSE}
Calc {evalsAtSave = evals}
GameSave slot={1} caption={"count"}
Wait time={1}
If {loads == 0}
    Calc {loads = 1}
    GameLoad {1}
    Wait time={100000}
Calc {evalsAfterLoad = evals}
Calc {shownAfterLoad = GetProp("mes", 50)}
Label "idle"
Wait time={0}
)";

TEST_F(MessageSaveGame, ALoadEvaluatesVariableFieldsOnce) {
    projectLines =
        "var PT_INT \"loads\" 0\nvar PT_INT \"evals\" 0\nvar PT_INT \"evalsAtSave\" 0\n"
        "var PT_INT \"evalsAfterLoad\" 0\nvar PT_STR \"shownAfterLoad\" \"\"\n";
    Write(kCountingStory, kColumns * kCell, kCell);
    ASSERT_EQ(Play(40, "1 move 8 8\n6 ldown\n7 lup\n"), 0);

    EXPECT_EQ(Var("loads"), "1");
    EXPECT_EQ(Var("evalsAtSave"), "1");
    EXPECT_EQ(Var("evalsAfterLoad"), "2");
    EXPECT_EQ(Var("shownAfterLoad"), "\"ab\"");
}

TEST_F(MessageSaveGame, TheDitheringFlagOutlivesARestart) {
    // Each run notes the flag it found and sets it to the other value.
    projectLines = "var PT_INT \"runs\" 0\nvar PT_INT \"seen\" 0\n";
    Write("Calc {seen = @CGDither}\nCalc {@CGDither = (seen == 0)}\nCalc {runs = runs + 1}\n");
    bool cacheFlag = false;
    eachPass = [&](Player& player, int64_t) {
        if (player.scene != nullptr && player.scene->ObjectRoot() != nullptr)
            cacheFlag = player.scene->ObjectRoot()->Images().ScreenDepth();
    };
    for (const char* expected : {"0", "1", "0"}) {
        ASSERT_EQ(Play(3), 0);
        EXPECT_EQ(Var("seen"), expected);
        EXPECT_EQ(cacheFlag, std::string(expected) == "0");
    }
    EXPECT_EQ(Var("runs"), "3");
}

}  // namespace
}  // namespace kivo
