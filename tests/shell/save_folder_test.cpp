// Where save.dat goes: the game folder while the player may write there, else a folder of the
// player's own per game under the user's data folder, seeded from the game's save.dat.

#include <gtest/gtest.h>

#include <fstream>

#include "shell/save_folder.h"
#include "support/scratch_folder.h"

namespace kivo {
namespace {

TEST(SaveFolder, GameFolderWhileWritableElseAFolderOfItsOwnPerGame) {
    const test::ScratchFolder root("kivo_save_folder_test");
    const std::filesystem::path game = root / "Game One";
    const std::filesystem::path twin = root / "elsewhere" / "Game One";
    std::filesystem::create_directories(game);
    std::filesystem::create_directories(twin);
    std::ofstream(game / "SAVE.DAT") << "old saves";  // copied from a disc in capitals
    const std::filesystem::path data = root / "data";
    const auto everything = [](const std::filesystem::path&) { return true; };
    const auto nothing = [](const std::filesystem::path&) { return false; };
    const auto folderOnly = [&](const std::filesystem::path& p) { return p == game; };

    SaveLocation writable = ChooseSaveLocation(game, {}, data, everything);
    EXPECT_EQ(writable.file, game / "SAVE.DAT");
    EXPECT_TRUE(writable.seed.empty());

    // A read-only folder, or a writable folder whose save.dat is read-only.
    for (const auto& test : {WritableTest(nothing), WritableTest(folderOnly)}) {
        const SaveLocation own = ChooseSaveLocation(game, {}, data, test);
        EXPECT_EQ(own.file.parent_path().parent_path(), data / "kivoplay");
        EXPECT_TRUE(own.file.parent_path().filename().string().starts_with("Game One-"));
        EXPECT_EQ(own.file.filename(), "save.dat");
        EXPECT_EQ(own.seed, game / "SAVE.DAT");
        // The same game keeps its folder; another of the same name gets another.
        EXPECT_EQ(ChooseSaveLocation(game / ".", {}, data, test).file, own.file);
        EXPECT_NE(ChooseSaveLocation(twin, {}, data, test).file, own.file);
    }

    // --save-dir wins over everything; without a data folder the game folder stays.
    EXPECT_EQ(ChooseSaveLocation(game, root / "mine", data, nothing).file,
              root / "mine" / "save.dat");
    EXPECT_EQ(ChooseSaveLocation(game, {}, {}, nothing).file, game / "SAVE.DAT");
}

TEST(SaveFolder, ScriptsWriteInTheGameFolderWhileWritableElseBesideTheSaves) {
    const std::filesystem::path game = "/games/one";
    const std::filesystem::path saves = "/home/u/.local/share/kivoplay/one-0123/save.dat";
    const auto everything = [](const std::filesystem::path&) { return true; };
    const auto nothing = [](const std::filesystem::path&) { return false; };
    EXPECT_EQ(ChooseWriteFolder(game, saves, everything), game);
    EXPECT_EQ(ChooseWriteFolder(game, saves, nothing), saves.parent_path());
}

}  // namespace
}  // namespace kivo
