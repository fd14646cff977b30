#pragma once
// Where a game's save.dat lives. Games were made to save beside themselves, but that folder is
// often read-only (a disc, a system-wide installation); the player then keeps the saves in a
// folder of its own for that game, under the user's data folder.

#include <filesystem>
#include <functional>

namespace kivo {

struct SaveLocation {
    // The save.dat that is written.
    std::filesystem::path file;
    // The game folder's save.dat, read in file's place while file does not exist yet; empty
    // when file is the game folder's own.
    std::filesystem::path seed;
};

// The folder of its own the player keeps for the game in gameFolder under the user's data
// folder: userData/kivoplay/<game folder name>-<hash of the canonical game folder>; empty
// without userData.
[[nodiscard]] std::filesystem::path PerUserGameFolder(const std::filesystem::path& gameFolder,
                                                      const std::filesystem::path& userData);

// The save location of the game in gameFolder: the folder saveDir when given; else the game
// folder when it and its save.dat (if there is one) are writable and it is not on a disc;
// else the per-user folder of the game. writable
// answers whether this process may write a file or folder (tests stand in for the host).
using WritableTest = std::function<bool(const std::filesystem::path&)>;
[[nodiscard]] SaveLocation ChooseSaveLocation(const std::filesystem::path& gameFolder,
                                              const std::filesystem::path& saveDir,
                                              const std::filesystem::path& userData,
                                              const WritableTest& writable = nullptr);

// The folder a game's scripts write their files into (the pictures of SaveScreen): the
// loose-file folder when this process may write there and it is not on a disc, as the games
// expect; otherwise the folder of the game's save file, beside its saves.
[[nodiscard]] std::filesystem::path ChooseWriteFolder(const std::filesystem::path& looseFolder,
                                                      const std::filesystem::path& saveFile,
                                                      const WritableTest& writable = nullptr);

}  // namespace kivo
