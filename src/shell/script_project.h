#pragma once
// The game project of the script engine, as the shell drives it.

#include "shell/game_project.h"

namespace kivo {

// Creates the script engine's project over the player's file manager, variable table,
// functions, event queue, dialogs, trace and the scene's object directory (the scene exists
// by then). The project reports its own start-up failures and sets the quit request; it is
// returned all the same, with what it could read, so that shutdown closes it in its turn.
[[nodiscard]] ProjectFactory ScriptProjectFactory();

}  // namespace kivo
