#include "shell/game_ini.h"

#include <algorithm>
#include <optional>
#include <string>

#include "base/error.h"
#include "base/sjis.h"
#include "script/param.h"
#include "shell/bounded_file.h"
#include "storage/vr_loose_folder.h"

namespace kivo {

namespace {

// Far above any real settings file; a bigger one is not what we think it is.
constexpr size_t kMaxIniBytes = 1 << 20;

std::string_view Trim(std::string_view s) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool SameAscii(std::string_view a, std::string_view b) {
    return sjis::ToLowerAscii(a) == sjis::ToLowerAscii(b);
}

}  // namespace

int32_t RoundDelayTime(int32_t value) {
    const int32_t hundreds = (value / 100) * 100;  // division truncates toward zero
    return std::min(std::max(hundreds, 100), 500);
}

void ApplyGameIni(std::string_view text, std::string_view fileName, PlayerState& state) {
    if (text.size() > kMaxIniBytes)
        throw KivoError(std::string(fileName), "settings file too large");
    bool inSound = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            inSound = close != std::string_view::npos &&
                      SameAscii(Trim(line.substr(1, close - 1)), "Sound");
            continue;
        }
        if (!inSound) continue;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = Trim(line.substr(0, eq));
        if (SameAscii(key, "SoundFont")) {
            state.soundFont = std::string(Trim(line.substr(eq + 1)));
            continue;
        }
        // The profile reader's integers: decimal, or hexadecimal as "$1F" or "0x1F".
        int32_t value = 0;
        if (!TryParseInt(line.substr(eq + 1), value)) continue;
        if (SameAscii(key, "DirectSound")) {
            state.directSound = value != 0;
        } else if (SameAscii(key, "DelayTime")) {
            state.soundDelay = value;
        }
    }
    // The rounding applies to the default as well when the key is absent; 500 stays 500.
    state.soundDelay = RoundDelayTime(state.soundDelay);
}

void ReadGameIni(const std::filesystem::path& folder, PlayerState& state) {
    // Copies from Windows discs often spell it GAME.INI.
    const std::optional<std::filesystem::path> path = TVrLooseFolder(folder).Find("game.ini");
    if (!path) return;
    ApplyGameIni(ReadBoundedFile(*path, kMaxIniBytes, "settings file"), path->string(), state);
}

}  // namespace kivo
