#pragma once
// The kivoplay command line: kivoplay [options] [GAME_FOLDER ...]. The options are taken out
// first; what remains are the program's arguments (game folders, or "/config").

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/calendar.h"

namespace kivo {

struct CommandLine {
    bool help = false;
    bool version = false;
    bool headless = false;
    int32_t frameMs = 16;
    std::optional<int64_t> frames;
    std::optional<uint32_t> seed;
    std::optional<CalendarTime> date;  // headless: where the calendar starts
    std::string traceFile;
    std::string dumpVarsFile;
    std::string dumpSceneFile;
    std::string audioDumpFile;
    std::string screenshotFile;
    std::string inputFile;
    std::string midiTraceFile;
    std::string soundFont;
    std::string saveDir;
    std::vector<std::string> arguments;
};

// Parses argv[1..]. Options take their value as the next word or after '='; "--" ends the
// options. Raises KivoError with a message for the user on an unknown option, a missing or
// bad value.
[[nodiscard]] CommandLine ParseCommandLine(const std::vector<std::string_view>& words);

[[nodiscard]] std::string_view UsageText();

}  // namespace kivo
