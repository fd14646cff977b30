#pragma once
// The variable dump of kivoplay --dump-vars: where the player and the interpreter stood and
// every script variable with its value, as one UTF-8 JSON object, so that tests and people can
// check what a game run left behind.

#include <cstdint>
#include <string>

#include "base/player_state.h"
#include "script/param_collection.h"

namespace kivo {

struct InterpreterState;

// Where the interpreter stood; kept by the shell when the project closes, since the dump is
// written after the project is gone.
struct InterpreterPosition {
    std::string page;  // CP932; empty when no page runs
    int32_t pc = 0;
    int32_t mode = 0;
    int32_t level = 0;
    int32_t stackDepth = 0;
};

[[nodiscard]] InterpreterPosition PositionOf(const InterpreterState& state);

// {"player": {...}, "vars": [{"name", "type", "dims", "values"}, ...]} with the game, project
// and status variables in table order. The system variables are left out: they read the
// clock and the date, so a dump with them would differ between two runs of the same game.
[[nodiscard]] std::string DumpVariables(const PlayerState& player,
                                        const InterpreterPosition& position,
                                        const TParamCollection& variables);

}  // namespace kivo
