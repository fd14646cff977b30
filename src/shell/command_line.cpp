#include "shell/command_line.h"

#include <charconv>
#include <limits>

#include "base/error.h"

namespace kivo {

namespace {

template <typename T>
T ParseNumber(std::string_view option, std::string_view text, int64_t low, int64_t high) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
        value > high) {
        throw KivoError(std::string(option) + ": expected a number from " + std::to_string(low) +
                        " to " + std::to_string(high) + ", got '" + std::string(text) + "'");
    }
    return static_cast<T>(value);
}

}  // namespace

std::string_view UsageText() {
    return "usage: kivoplay [options] [GAME_FOLDER ...]\n"
           "\n"
           "Runs the game in GAME_FOLDER (or the game beside the program when none is given;\n"
           "without one, asks for a game folder and offers the games played last).\n"
           "\n"
           "options:\n"
           "  --help              show this text and exit\n"
           "  --version           show the version and exit\n"
           "  --headless          no window, no audio device, no sleeping; dialogs go to stderr\n"
           "  --frame-ms MS       headless: milliseconds each frame advances the clock (default "
           "16)\n"
           "  --frames N          run N frame steps, then close the window normally\n"
           "  --seed N            seed the random generator with N instead of the time of day\n"
           "  --date YYYY-MM-DDTHH:MM:SS\n"
           "                      headless: start the calendar there (default "
           "2000-01-01T12:00:00)\n"
           "  --trace FILE        write the start-up labels and the interpreter trace to FILE\n"
           "  --dump-vars FILE    at exit, write the player state and every variable as JSON\n"
           "  --dump-scene FILE   at exit, write the scene's object tree as JSON\n"
           "  --screenshot FILE   at exit, write the last presented frame as PNG\n"
           "  --audio-dump FILE   headless: at exit, write the sound the run played as WAV\n"
           "  --input FILE        headless: scripted input, one event a line (see "
           "docs/kivoplay.md)\n"
           "  --midi-trace FILE   write each MIDI message sent as a line: song time in ms, "
           "then the bytes in hex\n"
           "  --soundfont FILE    play MIDI music with this SoundFont\n"
           "  --save-dir DIR      keep save.dat in DIR instead of the game's save folder\n";
}

CommandLine ParseCommandLine(const std::vector<std::string_view>& words) {
    CommandLine line;
    bool optionsEnded = false;
    for (size_t i = 0; i < words.size(); ++i) {
        std::string_view word = words[i];
        if (optionsEnded || word.size() < 2 || word.substr(0, 2) != "--") {
            line.arguments.emplace_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        std::string_view name = word;
        std::optional<std::string_view> inlineValue;
        if (const size_t eq = word.find('='); eq != std::string_view::npos) {
            name = word.substr(0, eq);
            inlineValue = word.substr(eq + 1);
        }
        const auto value = [&]() -> std::string_view {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= words.size()) throw KivoError(std::string(name) + ": missing value");
            return words[++i];
        };
        const auto flag = [&](bool& target) {
            if (inlineValue) throw KivoError(std::string(name) + ": takes no value");
            target = true;
        };
        const auto file = [&](std::string& target) {
            target = value();
            if (target.empty()) throw KivoError(std::string(name) + ": missing file name");
        };

        if (name == "--help") {
            flag(line.help);
        } else if (name == "--version") {
            flag(line.version);
        } else if (name == "--headless") {
            flag(line.headless);
        } else if (name == "--frame-ms") {
            // Above 3000 ms every frame would be dropped as a stall.
            line.frameMs = ParseNumber<int32_t>(name, value(), 1, 3000);
        } else if (name == "--frames") {
            line.frames =
                ParseNumber<int64_t>(name, value(), 0, std::numeric_limits<int32_t>::max());
        } else if (name == "--seed") {
            line.seed =
                ParseNumber<uint32_t>(name, value(), 0, std::numeric_limits<uint32_t>::max());
        } else if (name == "--date") {
            const std::string_view text = value();
            line.date = ParseCalendarTime(text);
            if (!line.date) {
                throw KivoError(std::string(name) + ": expected a date and time as " +
                                "YYYY-MM-DDTHH:MM:SS, got '" + std::string(text) + "'");
            }
        } else if (name == "--trace") {
            file(line.traceFile);
        } else if (name == "--dump-vars") {
            file(line.dumpVarsFile);
        } else if (name == "--dump-scene") {
            file(line.dumpSceneFile);
        } else if (name == "--audio-dump") {
            file(line.audioDumpFile);
        } else if (name == "--screenshot") {
            file(line.screenshotFile);
        } else if (name == "--input") {
            file(line.inputFile);
        } else if (name == "--midi-trace") {
            file(line.midiTraceFile);
        } else if (name == "--soundfont") {
            file(line.soundFont);
        } else if (name == "--save-dir") {
            file(line.saveDir);
        } else {
            throw KivoError("unknown option " + std::string(name));
        }
    }
    return line;
}

}  // namespace kivo
