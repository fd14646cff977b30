#pragma once
// Where the player itself lives on the host.

#include <filesystem>

namespace kivo {

// The folder of the running executable (from /proc/self/exe), or the current folder when the
// system does not say. Called once at start-up.
[[nodiscard]] std::filesystem::path ExecutableFolder();

// The folder for this user's data of all programs: $XDG_DATA_HOME when it is an absolute path,
// else ~/.local/share; empty when neither that variable nor $HOME says where.
[[nodiscard]] std::filesystem::path UserDataFolder();

// The running executable itself (from /proc/self/exe); empty when the system does not say.
[[nodiscard]] std::filesystem::path ExecutablePath();

// The player's folder among the user's settings: $XDG_CONFIG_HOME/kivoplay, else
// $HOME/.config/kivoplay (a relative value counts as unset); empty when neither is known.
// Reads the environment; called at start-up only.
[[nodiscard]] std::filesystem::path UserConfigFolder();

// Where the player's screenshots go: $XDG_PICTURES_DIR/kivoplay when that is an absolute
// path, else ~/Pictures/kivoplay; empty when neither is known. Reads the environment; called
// at start-up only.
[[nodiscard]] std::filesystem::path UserPicturesFolder();

}  // namespace kivo
