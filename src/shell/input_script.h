#pragma once
// Scripted input of headless runs (kivoplay --input FILE): one event a line,
//
//   FRAME move X Y | ldown | lup | rdown | rup | wheelup | wheeldown | keydown VK | keyup VK
//   FRAME text UTF8
//   FRAME answer ok|cancel|yes|no
//   FRAME answer folder PATH
//   FRAME choose N
//   FRAME screenshot PATH | dump-vars PATH | dump-scene PATH
//
// A printable keydown also types its character on a US layout (shifted while key 16 is held),
// and text commits the rest of the line as an input method would; both reach a text field
// that has the focus and nothing else.
//
// FRAME counts frame steps from 0: the events of frame F are applied before the input pass of
// the (F+1)-th frame, in file order. An answer is queued for the next message dialog, a
// folder for the game folder chooser (PATH is the rest of the line) and a choice (a line index
// from 0) for the next list or recent game; those of frame 0 are queued before start-up, so
// they also answer start-up dialogs and the chooser of a player started without a game. The
// observations of frame F are taken after that frame's step (the one its events went into). Blank
// lines and lines starting with '#' are skipped.

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "platform/dialogs.h"
#include "platform/input.h"

namespace kivo {

struct ScriptedInput {
    int32_t frame = 0;
    bool isAnswer = false;                   // an answer or a choice for a dialog
    InputEvent event;                        // when !isAnswer
    DialogAnswer answer = DialogAnswer::Ok;  // when isAnswer and choice is -1
    int32_t choice = -1;                     // when isAnswer: the list line to pick, or -1
    std::filesystem::path folder{};          // when isAnswer and not empty: a chosen game folder
};

enum class ObservationKind { Screenshot, DumpVars, DumpScene };

// A picture or a dump written in the middle of a run.
struct Observation {
    int32_t frame = 0;
    ObservationKind kind = ObservationKind::Screenshot;
    std::filesystem::path path;
};

struct InputScript {
    std::vector<ScriptedInput> input;
    std::vector<Observation> observations;
};

// Parses the script; both lists are sorted by frame (file order within a frame). Raises
// KivoError naming the file and the line for anything malformed.
[[nodiscard]] InputScript ParseInputScript(std::string_view text, std::string_view fileName);

// Reads and parses a script file; raises KivoError naming the file when it cannot be read.
[[nodiscard]] InputScript ReadInputScript(const std::filesystem::path& path);

}  // namespace kivo
