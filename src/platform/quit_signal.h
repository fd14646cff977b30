#pragma once
// SIGINT and SIGTERM ask the player to stop, even while a script spins in an endless loop.

#include <csignal>

namespace kivo {

// Installs handlers for SIGINT and SIGTERM that set one flag and returns that flag. The flag is
// the platform layer's only mutable global: a signal handler can reach nothing else, and a
// volatile sig_atomic_t is the one object it may safely write. Readers (the shell and the
// interpreter, through PlayerState::QuitRequested) only ever read it, on the main thread.
// Called once by the program entry; calling it again returns the same flag.
[[nodiscard]] const volatile std::sig_atomic_t* InstallQuitSignalHandlers();

}  // namespace kivo
