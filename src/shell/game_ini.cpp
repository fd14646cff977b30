#include "shell/game_ini.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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
    bool inScreen = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const size_t close = line.find(']');
            const std::string_view section =
                close != std::string_view::npos ? Trim(line.substr(1, close - 1)) : "";
            inSound = SameAscii(section, "Sound");
            inScreen = SameAscii(section, "Screen");
            continue;
        }
        if (!inSound && !inScreen) continue;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = Trim(line.substr(0, eq));
        if (inScreen) {
            int32_t smooth = 0;
            if (SameAscii(key, "Smooth") && TryParseInt(line.substr(eq + 1), smooth))
                state.smoothScaling = smooth != 0;
            continue;
        }
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

namespace {

// The key of an INI line ("Key=value"), trimmed; empty for other lines.
std::string_view KeyOf(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() == ';' || line.front() == '[') return {};
    const size_t eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view{} : Trim(line.substr(0, eq));
}

bool IsSoundSectionHeader(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return false;
    const size_t close = line.find(']');
    return close != std::string_view::npos && SameAscii(Trim(line.substr(1, close - 1)), "Sound");
}

}  // namespace

std::string SetGameIniSound(std::string_view text, bool directSound, int32_t delayTime) {
    std::vector<std::string_view> lines;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    const bool crlf = lines.empty() || (!lines.front().empty() && lines.front().back() == '\r');
    const std::string newline = crlf ? "\r\n" : "\n";
    const std::pair<std::string_view, std::string> wanted[] = {
        {"DirectSound", directSound ? "1" : "0"}, {"DelayTime", std::to_string(delayTime)}};
    bool written[2] = {false, false};

    std::string out;
    const auto emit = [&](std::string_view line) {
        out.append(line);
        if (!line.empty() && line.back() == '\r') out.pop_back();
        out += newline;
    };
    // The keys not yet written go where the section's last key line was.
    const auto addMissing = [&](std::string& into, size_t at) {
        std::string added;
        for (size_t k = 0; k < 2; ++k) {
            if (!written[k])
                added += std::string(wanted[k].first) + "=" + wanted[k].second + newline;
            written[k] = true;
        }
        into.insert(at, added);
    };
    bool inSound = false;
    bool sawSound = false;
    size_t sectionEnd = 0;  // in out: after the Sound section's last key line
    for (const std::string_view line : lines) {
        if (Trim(line).starts_with("[")) {
            if (inSound) addMissing(out, sectionEnd);
            inSound = IsSoundSectionHeader(line);
            emit(line);
            if (inSound) {
                sawSound = true;
                sectionEnd = out.size();
            }
            continue;
        }
        if (inSound) {
            const std::string_view key = KeyOf(line);
            bool replaced = false;
            for (size_t k = 0; k < 2 && !key.empty(); ++k) {
                if (SameAscii(key, wanted[k].first)) {
                    emit(std::string(key) + "=" + wanted[k].second);
                    written[k] = true;
                    replaced = true;
                    break;
                }
            }
            if (!replaced) emit(line);
            if (!Trim(line).empty()) sectionEnd = out.size();
            continue;
        }
        emit(line);
    }
    if (inSound) addMissing(out, sectionEnd);
    if (!sawSound) {
        if (!out.empty() && !out.ends_with(newline + newline)) out += newline;
        out += "[Sound]" + newline;
        addMissing(out, out.size());
    }
    return out;
}

std::optional<std::filesystem::path> FindGameIni(const std::filesystem::path& folder) {
    // Copies from Windows discs often spell it GAME.INI.
    return TVrLooseFolder(folder).Find("game.ini");
}

void ReadGameIni(const std::filesystem::path& folder, PlayerState& state) {
    const std::optional<std::filesystem::path> path = FindGameIni(folder);
    if (!path) return;
    ApplyGameIni(ReadBoundedFile(*path, kMaxIniBytes, "settings file"), path->string(), state);
}

}  // namespace kivo
