// Games as they were shipped from Windows start: files named in capitals (copies from CD-ROMs)
// and games that are one Windows program carrying their archive, as a resource or after the
// program, given as their folder or as the program itself.

#include <gtest/gtest.h>

#include <sstream>

#include "base/sjis.h"
#include "platform/headless/headless_platform.h"
#include "shell/form_view.h"
#include "shell/script_project.h"
#include "storage/archive_fixture.h"
#include "storage/install_data.h"
#include "support/page_builder.h"
#include "support/pe_builder.h"
#include "support/project_builder.h"

namespace kivo {
namespace {

using test::Bytes;
using test::PeBuilder;

// The game's archive: a project titled "Shipped" whose start page counts frames in "count".
std::vector<uint8_t> GameArchive() {
    test::PageBuilder page;
    page.Add(test::Calc("count = count + 1").Continue())
        .Add(test::Wait(test::ExprBuilder(), test::Int(10)))
        .Add(test::Jump("start.ksb", 0, test::Flag(true)));
    return test::BuildArchive(102, {{"kivo.kpb", test::ProjectBuilder()
                                                     .Title("Shipped")
                                                     .Screen(64, 48)
                                                     .StartPage("start.ksb")
                                                     .IntVar("count", 0)
                                                     .Bytes()},
                                    {"start.ksb", page.Bytes()}});
}

std::vector<uint8_t> ResourceProgram(std::vector<uint8_t> archive) {
    archive.push_back('v');
    archive.push_back('f');
    return PeBuilder().Resource("BINTYPE", "DUMMY", archive).Bytes();
}

struct GameRun {
    explicit GameRun(PlayerConfig config)
        : platform(dialogs), player(platform.Services(), config), view(player) {
        // Should the player look for a data disc, it is told to give up at once rather than
        // ask for ever.
        platform.dialogs.QueueAnswer(DialogAnswer::Cancel);
        platform.dialogs.QueueAnswer(DialogAnswer::Ok);
        view.FormCreate();
        view.HandleEvent({InputKind::Activate});
        for (int i = 0; i < 5; ++i) {
            platform.clock.Advance(16);
            (void)view.Idle();
        }
    }
    [[nodiscard]] int32_t Count() const {
        if (!player.variables) return -1;
        TParamCollectionItem* count = player.variables->Find("count");
        return count ? count->Value().AsInteger() : -1;
    }

    std::ostringstream dialogs;
    HeadlessPlatform platform;
    Player player;
    TFormView view;
};

TEST(ShippedGame, StartsFromCapitalNamesAndFromItsWindowsProgram) {
    const std::vector<uint8_t> archive = GameArchive();
    const std::vector<uint8_t> ini = Bytes("[Sound]\r\nDelayTime=200\r\n");
    struct Layout {
        const char* what;
        std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
        std::string argument;  // relative to the game folder; empty: the player's own folder
    } layouts[] = {
        {"capital names", {{"GAME.DAT", archive}, {"GAME.INI", ini}}, "."},
        {"program with a resource archive",
         {{"AUTORUN.EXE", PeBuilder().Bytes()},
          {"Game.exe", ResourceProgram(archive)},
          {"Game.ini", ini}},
         "."},
        {"program with an appended archive",
         {{"GAME.EXE", test::WithTrailerArchive(PeBuilder().Plus().Bytes(), archive)},
          {"game.ini", ini}},
         "."},
        {"the program named on the command line",
         {{"GAME.EXE", ResourceProgram(archive)}, {"GAME.INI", ini}},
         "GAME.EXE"},
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.what);
        const std::filesystem::path folder =
            test::TestFolder(std::string("shipped-") + std::to_string(&layout - layouts));
        for (const auto& [name, bytes] : layout.files)
            test::WriteFile(folder / name, bytes);
        PlayerConfig config;
        config.executableFolder = test::TestFolder("shipped-player");
        config.arguments = {(folder / layout.argument).lexically_normal().string()};
        config.seed = 1;
        config.projectFactory = ScriptProjectFactory();
        GameRun run(config);
        EXPECT_FALSE(run.view.CloseRequested()) << run.dialogs.str();
        EXPECT_EQ(run.platform.dialogs.Shown(), 0);
        EXPECT_EQ(run.platform.screen.Title(), "Shipped");
        EXPECT_EQ(run.player.state.soundDelay, 200);
        EXPECT_GE(run.Count(), 1);
    }
}

TEST(ShippedGame, InstalledCopyFindsItsRecordAndArchiveInCapitals) {
    // Without a game folder the player checks the installation beside itself.
    const std::filesystem::path folder = test::TestFolder("shipped-installed");
    test::WriteFile(folder / "GAME.DAT", GameArchive());
    TInstallData install;
    install.version = 107;
    install.projectTitle = "Shipped";
    install.allDataInstalled = 1;
    install.SaveToFile(folder / "INSTALL.DAT");
    PlayerConfig config;
    config.executableFolder = folder;
    config.executablePath = folder / "kivoplay";
    config.seed = 1;
    config.projectFactory = ScriptProjectFactory();
    GameRun run(config);
    EXPECT_FALSE(run.view.CloseRequested()) << run.dialogs.str();
    EXPECT_EQ(run.platform.dialogs.Shown(), 0);
    EXPECT_GE(run.Count(), 1);
}

}  // namespace
}  // namespace kivo
