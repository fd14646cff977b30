// A headless game that saves, changes everything a save holds, loads and looks again: the
// variables, the objects, the data tables and a random number come back as they were saved,
// the status variables keep their newer values, and the next run lists the saved game.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "app/headless_driver.h"
#include "shell/input_script.h"
#include "shell/script_project.h"
#include "shell/session.h"
#include "support/scratch_folder.h"
#include "tools/script/text/script_files.h"
#include "vars_dump.h"

namespace kivo {
namespace {

using script_text::SourceFile;
using script_text::SourceKind;

// Status variables (project variables) outlive loads: they count the loads and keep what the
// game saw before it loaded.
constexpr const char* kProject = R"(version 110
title "saves"
screen 16 16
fullscreen 16 16
start "main.ksb"
var PT_INT "loads" 0
var PT_INT "rAtSave" 0
var PT_INT "rChanged" 0
)";

// Saves slot 1 once it has set everything up, changes it all in the next frames, loads slot 1,
// and then checks what it finds; each check is 1 when it holds.
constexpr const char* kMain = R"(version 110
VarNew "score" type=PT_INT .continue
VarNew "name" type=PT_STR .continue
VarNew "grid" type=PT_INT .continue
VarNew "r" type=PT_INT .continue
Calc {score = 7} .continue
Calc {name = "セーブの名前"} .continue
Calc {SetArray(grid, 3)} .continue
Calc {grid[2] = 30} .continue
Calc {r = Random(1000000)} .continue
Calc {rAtSave = r} .continue
BoxNew PR_NAME={"box"} PR_LEFT={10} PR_WIDTH={4} PR_HEIGHT={4} PR_COLOR={0xFF} .continue
Calc {DBCreateTable("t", FALSE)} .continue
Calc {DBAddField("n", 1)} .continue
Calc {DBInsert(5)} .continue
GameSave slot={1} caption={"セーブ1"} .continue
Wait time={1}
If {loads == 0} .continue
    Calc {score = 99} .continue
    Calc {name = "changed"} .continue
    Calc {grid[2] = 0} .continue
    Calc {r = Random(1000000)} .continue
    Calc {rChanged = r} .continue
    SetProp object={"box"} property={3} value={20} .continue
    Calc {DBSetInt("n", 6)} .continue
    Calc {DBCreateTable("other", FALSE)} .continue
    BoxNew PR_NAME={"box2"} .continue
    VarNew "extra" type=PT_INT .continue
    Calc {loads = loads + 1} .continue
    GameLoad {1}
    Wait time={100000}
VarNew "scoreOk" type=PT_INT value={score == 7} .continue
VarNew "nameOk" type=PT_INT value={name == "セーブの名前"} .continue
VarNew "gridOk" type=PT_INT value={(grid[2] == 30) & (GetArraySize(grid) == 3)} .continue
VarNew "randomOk" type=PT_INT value={(r == rAtSave) & (r <> rChanged)} .continue
VarNew "boxOk" type=PT_INT value={(GetProp("box", 3) == "10") & (Exists("box2") == FALSE)} .continue
VarNew "tableOk" type=PT_INT value={(DBGetActive() == "t") & (DBGetInt("n") == 5)} .continue
VarNew "extraGone" type=PT_INT value={VarExists("extra") == FALSE} .continue
VarNew "captions" type=PT_STR .continue
VarNew "slots" type=PT_INT .continue
VarNew "listed" type=PT_INT value={ListSaveCaption(captions, slots)} .continue
VarNew "captionOk" type=PT_INT value={(captions[0] == "セーブ1") & (slots[0] == 1) & (GetSaveCaption(1) == "セーブ1")} .continue
Label "idle"
Wait time={100000}
)";

class SaveGame : public ::testing::Test {
  protected:
    SaveGame() {
        Assemble(SourceKind::ProjectText, kProject, "kivo.kpb");
        Assemble(SourceKind::PageText, kMain, "main.ksb");
    }

    void Play(int64_t frames) {
        HeadlessPlatform platform(dialogLog_);
        HeadlessDriver driver(platform, ParseInputScript("", "input").input, 16);
        PlayerConfig config;
        config.executableFolder = game_.Path();
        config.arguments = {game_.Path().string()};
        config.seed = ++runs_;
        config.projectFactory = ScriptProjectFactory();
        config.saveDir = saves_.Path();
        config.warnings = &warnings_;
        Player player(platform.Services(), config);
        SessionOptions options;
        options.frames = frames;
        options.dumpVarsFile = game_ / "vars.json";
        ASSERT_EQ(RunSession(player, options, driver), 0);
    }

    // The first value of a variable in the dump, as its text.
    [[nodiscard]] std::string Var(const std::string& name) const {
        return test::FirstDumpedValue(game_ / "vars.json", name);
    }

    const test::ScratchFolder game_{"kivo_save_game_test"};
    const test::ScratchFolder saves_{"kivo_save_game_saves"};
    std::ostringstream dialogLog_;
    std::ostringstream warnings_;
    uint32_t runs_ = 0;

  private:
    void Assemble(SourceKind kind, const std::string& text, const std::string& output) {
        const SourceFile source{output, kind, std::vector<uint8_t>(text.begin(), text.end())};
        const std::vector<uint8_t> bytes = script_text::Assemble(source);
        std::ofstream out(game_ / output, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
};

TEST_F(SaveGame, LoadingRestoresWhatWasSavedAndKeepsTheStatusVariables) {
    Play(12);
    EXPECT_EQ(Var("loads"), "1");
    for (const char* check : {"scoreOk", "nameOk", "gridOk", "randomOk", "boxOk", "tableOk",
                              "extraGone", "captionOk"}) {
        EXPECT_EQ(Var(check), "1") << check;
    }
    EXPECT_EQ(Var("listed"), "1");
    EXPECT_TRUE(std::filesystem::exists(saves_ / "save.dat"));
    EXPECT_FALSE(std::filesystem::exists(game_ / "save.dat"));
    EXPECT_TRUE(warnings_.str().empty()) << warnings_.str();

    // The next run reads the status data (no second load happens) and the caption list.
    Play(6);
    EXPECT_EQ(Var("loads"), "1");
    EXPECT_EQ(Var("captionOk"), "1");
    EXPECT_EQ(Var("listed"), "1");
}

}  // namespace
}  // namespace kivo
