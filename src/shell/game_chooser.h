#pragma once
// What a player started without a game folder runs. Shipped beside its game (or carrying it),
// it runs that game as it always did. Installed on its own, it asks for a game folder with the
// platform's chooser, offering the games played last, and runs the chosen one as if its folder
// had been given on the command line.

#include <filesystem>
#include <ostream>

#include "platform/dialogs.h"
#include "shell/recent_games.h"

namespace kivo {

// True when folder holds a game the player can start with it as its game folder: a project
// file, a game.dat or a game's Windows program that carries an archive (names in any letter
// case).
[[nodiscard]] bool HoldsGame(const std::filesystem::path& folder);

// True when the player program has a game of its own: a game in its folder, an installation
// record there, or an archive inside the program itself. Such a player starts exactly as the
// original did, and never shows the chooser.
[[nodiscard]] bool GameBesideProgram(const std::filesystem::path& programFolder,
                                     const std::filesystem::path& programPath);

// Asks dialogs for a game folder, offering the recent games that still hold a game, and
// remembers a chosen folder in recent. A list that cannot be read or written does not stop
// the choice: the error goes to err as one "kivoplay: ..." line.
[[nodiscard]] FolderChoice ChooseGame(MessageDialogs& dialogs, RecentGames& recent,
                                      std::ostream& err);

}  // namespace kivo
