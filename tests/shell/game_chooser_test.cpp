// A player started without a game: what counts as a game of its own, the list of recent games
// in the user's config folder, and the chooser answered by script.

#include "shell/game_chooser.h"

#include <gtest/gtest.h>

#include <sstream>

#include "base/error.h"
#include "platform/headless/headless_platform.h"
#include "shell/recent_games.h"
#include "storage/archive_fixture.h"
#include "support/archive_builder.h"
#include "support/pe_builder.h"
#include "support/scratch_folder.h"

namespace kivo {
namespace {

using test::Bytes;
using test::PeBuilder;
using test::ScratchFolder;

std::vector<uint8_t> SmallArchive() {
    return test::BuildArchive(102, {{"kivo.kpb", Bytes("project")}});
}

// A folder holding the named files (nothing but the name matters for the plain ones).
std::filesystem::path GameFolder(const ScratchFolder& scratch, const std::string& name,
                                 std::vector<std::pair<std::string, std::vector<uint8_t>>> files) {
    const std::filesystem::path folder = scratch / name;
    std::filesystem::create_directories(folder);
    for (const auto& [file, bytes] : files)
        test::WriteFile(folder / file, bytes);
    return folder;
}

TEST(GameChooser, TellsGameFoldersAndGamesBesideTheProgram) {
    const ScratchFolder scratch("chooser-kinds");
    const std::vector<uint8_t> program = PeBuilder().Plus().Bytes();
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
        bool holdsGame;
        bool besideProgram;
    } cases[] = {
        {"project file", {{"kivo.kpb", Bytes("x")}}, true, true},
        {"project file in capitals", {{"KIVO.KPB", Bytes("x")}}, true, true},
        {"game archive in capitals", {{"GAME.DAT", Bytes("x")}}, true, true},
        {"Windows program carrying the game",
         {{"Game.Exe", test::WithTrailerArchive(program, SmallArchive())}},
         true,
         true},
        {"a Windows program without a game", {{"setup.exe", program}}, false, false},
        {"installation record alone", {{"install.dat", Bytes("x")}}, false, true},
        {"unrelated files", {{"readme.txt", Bytes("x")}, {"game.ini", Bytes("x")}}, false, false},
        {"nothing", {}, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::filesystem::path folder =
            GameFolder(scratch, std::to_string(&c - cases), c.files);
        EXPECT_EQ(HoldsGame(folder), c.holdsGame);
        EXPECT_EQ(GameBesideProgram(folder, folder / "kivoplay"), c.besideProgram);
    }
    EXPECT_FALSE(HoldsGame(scratch / "missing"));
    EXPECT_FALSE(HoldsGame(scratch / "0" / "kivo.kpb")) << "a file is not a folder";

    // A player program that carries the game's archive has a game wherever it stands.
    const std::filesystem::path bare = GameFolder(scratch, "bare", {});
    test::WriteFile(bare / "kivoplay", test::WithTrailerArchive(Bytes("\x7f"
                                                                      "ELF"),
                                                                SmallArchive()));
    EXPECT_TRUE(GameBesideProgram(bare, bare / "kivoplay"));
    test::WriteFile(bare / "kivoplay", Bytes("\x7f"
                                             "ELF"));
    EXPECT_FALSE(GameBesideProgram(bare, bare / "kivoplay"));
}

TEST(RecentGames, KeepsTheNewestFirstWithoutRepeatsAndSurvivesARestart) {
    const ScratchFolder scratch("recent-order");
    const std::filesystem::path file = scratch / "config" / "kivoplay" / "recent-games";
    RecentGames recent(file);
    recent.Load();
    EXPECT_TRUE(recent.Games().empty()) << "no file yet";
    for (int i = 0; i < 10; ++i)
        recent.Remember(scratch / ("game" + std::to_string(i)));
    // Played again (spelled with a trailing delimiter and a dot step): moves to the front.
    recent.Remember(scratch.Path().string() + "/./game5/");

    RecentGames again(file);
    again.Load();
    const std::vector<std::filesystem::path> expected = {
        scratch / "game5", scratch / "game9", scratch / "game8", scratch / "game7",
        scratch / "game6", scratch / "game4", scratch / "game3", scratch / "game2"};
    EXPECT_EQ(again.Games(), expected);
    EXPECT_EQ(recent.Games(), expected);
}

TEST(RecentGames, ReadsOnlyAbsoluteFoldersOnceAndLeavesOutWhatCannotBeStored) {
    const ScratchFolder scratch("recent-read");
    const std::filesystem::path file = scratch / "recent-games";
    test::WriteFile(file, Bytes("/games/a\nrelative/b\n\n/games/a\n/games/c d\n/games/e"));
    RecentGames recent(file);
    recent.Load();
    const std::vector<std::filesystem::path> read = {"/games/a", "/games/c d", "/games/e"};
    EXPECT_EQ(recent.Games(), read);

    // A line break would split the name into two lines of the file.
    recent.Remember("/games/two\nlines");
    EXPECT_EQ(recent.Games(), read);
    EXPECT_EQ(test::ReadWholeFile(file), "/games/a\nrelative/b\n\n/games/a\n/games/c d\n/games/e");
}

TEST(RecentGames, AListThatCannotBeWrittenRaisesAndKeepsTheOldFile) {
    const ScratchFolder scratch("recent-write");
    // The config folder's place is taken by a file.
    test::WriteFile(scratch / "config", Bytes("not a folder"));
    RecentGames blocked(scratch / "config" / "recent-games");
    EXPECT_THROW(blocked.Remember("/games/a"), KivoError);
    EXPECT_EQ(test::ReadWholeFile(scratch / "config"), "not a folder");
}

// The chooser of a player started without a game, answered by script.
struct ChooserRun {
    explicit ChooserRun(const std::filesystem::path& listFile) : recent(listFile) {}
    FolderChoice Choose() { return ChooseGame(dialogs, recent, err); }

    std::ostringstream log;
    std::ostringstream err;
    ScriptedDialogs dialogs{log};
    RecentGames recent;
};

TEST(GameChooser, ChoosesFromScriptAndRemembersTheChoice) {
    const ScratchFolder scratch("chooser-answers");
    const std::filesystem::path list = scratch / "recent-games";
    const std::filesystem::path a = GameFolder(scratch, "a", {{"kivo.kpb", Bytes("x")}});
    const std::filesystem::path b = GameFolder(scratch, "b", {{"GAME.DAT", Bytes("x")}});
    const std::filesystem::path notGame = GameFolder(scratch, "empty", {});

    {
        // Nobody answers: nothing is chosen, nothing remembered.
        ChooserRun run(list);
        EXPECT_EQ(run.Choose().status, FolderChoiceStatus::Unanswered);
        EXPECT_NE(run.log.str().find("-> unanswered"), std::string::npos) << run.log.str();
        EXPECT_FALSE(std::filesystem::exists(list));
    }
    {
        // A folder without a game is refused and the next answer taken.
        ChooserRun run(list);
        run.dialogs.QueueFolder(notGame);
        run.dialogs.QueueFolder(a);
        const FolderChoice choice = run.Choose();
        EXPECT_EQ(choice.status, FolderChoiceStatus::Chosen);
        EXPECT_EQ(choice.folder, a);
        EXPECT_NE(run.log.str().find(notGame.string() + ": not a game folder"), std::string::npos)
            << run.log.str();
    }
    {
        ChooserRun run(list);
        run.dialogs.QueueFolder(b);
        EXPECT_EQ(run.Choose().folder, b);
        EXPECT_EQ(run.recent.Games(), (std::vector<std::filesystem::path>{b, a}));
    }
    const struct {
        const char* what;
        std::function<void(ScriptedDialogs&)> answer;
        FolderChoiceStatus status;
        std::filesystem::path folder;
    } answers[] = {
        {"choose the second recent game", [](ScriptedDialogs& d) { d.QueueChoice(1); },
         FolderChoiceStatus::Chosen, a},
        {"OK opens the newest", [](ScriptedDialogs& d) { d.QueueAnswer(DialogAnswer::Ok); },
         FolderChoiceStatus::Chosen, b},
        {"cancel",
         [](ScriptedDialogs& d) { d.QueueAnswer(DialogAnswer::Cancel); },
         FolderChoiceStatus::Cancelled,
         {}},
        {"no such recent game, then cancel",
         [](ScriptedDialogs& d) {
             d.QueueChoice(5);
             d.QueueAnswer(DialogAnswer::No);
         },
         FolderChoiceStatus::Cancelled,
         {}},
    };
    for (const auto& c : answers) {
        SCOPED_TRACE(c.what);
        // Each run starts from the list the last one left: b, a.
        test::WriteFile(list, Bytes(b.string() + "\n" + a.string() + "\n"));
        ChooserRun run(list);
        c.answer(run.dialogs);
        const FolderChoice choice = run.Choose();
        EXPECT_EQ(choice.status, c.status) << run.log.str();
        EXPECT_EQ(choice.folder, c.folder);
        EXPECT_NE(run.log.str().find("  0) " + b.string() + "\n  1) " + a.string() + "\n"),
                  std::string::npos)
            << run.log.str();
    }
    {
        // A recent game that is gone is not offered; a chosen one moves to the front.
        std::filesystem::remove(b / "GAME.DAT");
        ChooserRun run(list);
        run.dialogs.QueueChoice(0);
        EXPECT_EQ(run.Choose().folder, a);
        EXPECT_EQ(run.log.str().find(b.string()), std::string::npos) << run.log.str();
        EXPECT_EQ(run.recent.Games(), (std::vector<std::filesystem::path>{a, b}));
    }
}

TEST(GameChooser, AListThatCannotBeKeptDoesNotStopTheChoice) {
    const ScratchFolder scratch("chooser-unwritable");
    const std::filesystem::path a = GameFolder(scratch, "a", {{"kivo.kpb", Bytes("x")}});
    test::WriteFile(scratch / "config", Bytes("not a folder"));
    ChooserRun run(scratch / "config" / "recent-games");
    run.dialogs.QueueFolder(a);
    const FolderChoice choice = run.Choose();
    EXPECT_EQ(choice.status, FolderChoiceStatus::Chosen);
    EXPECT_EQ(choice.folder, a);
    EXPECT_NE(run.err.str().find("kivoplay: "), std::string::npos);
    EXPECT_NE(run.err.str().find("recent-games"), std::string::npos) << run.err.str();
}

}  // namespace
}  // namespace kivo
