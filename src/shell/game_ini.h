#pragma once
// game.ini beside the player: the sound settings start-up reads from section "Sound", and the
// scaling filter of section "Screen".

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/player_state.h"

namespace kivo {

// DelayTime as the wave output takes it: rounded down to whole hundreds, then held to
// 100..500 ms.
[[nodiscard]] int32_t RoundDelayTime(int32_t value);

// Applies the text of a game.ini to state: "DirectSound" (an integer, non-zero is true),
// "DelayTime" (rounded by RoundDelayTime) and "SoundFont" (the MIDI mapper's SoundFont file, a
// host path, relative to the game.ini's folder). Keys and sections match without regard to ASCII
// case, as the original's profile reader did; a missing key or a value that is not a number keeps
// the current setting. From section "Screen": "Smooth" (non-zero scales the scene linearly
// instead of to the nearest pixel). fileName only names the file in errors. Raises KivoError naming
// the file when the text is too large to be a settings file.
void ApplyGameIni(std::string_view text, std::string_view fileName, PlayerState& state);

// The text of a game.ini with the "Sound" section's "DirectSound" (1 or 0) and "DelayTime" set,
// every other line kept as it was: a key that is there has its value replaced, a missing key
// is added at the end of the section, a missing section at the end of the text. New lines end
// as the text's first line does (CRLF for a new file).
[[nodiscard]] std::string SetGameIniSound(std::string_view text, bool directSound,
                                          int32_t delayTime);

// The game.ini of folder, in whatever letter case it is spelt; nullopt when there is none.
[[nodiscard]] std::optional<std::filesystem::path> FindGameIni(const std::filesystem::path& folder);

// Reads folder/game.ini when it exists and applies it; without the file nothing changes.
// Raises KivoError naming the file when it exists but cannot be read.
void ReadGameIni(const std::filesystem::path& folder, PlayerState& state);

}  // namespace kivo
