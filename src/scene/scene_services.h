#pragma once
// What scene objects reach beyond the scene: the game's files (films, motion files), the
// player's random generator (fire noise, particle spread) and the evaluation of the stored
// expressions some objects keep (where particles appear and how often). The player hands them
// to the scene root once at start-up; a root without them (tests, tools) loads no files,
// draws from a generator of its own and evaluates no expression.
//
// The evaluator is implemented by the script layer, which the scene may not call: it runs an
// expression against the variable table and the system functions as a command would. All
// calls come from the main thread, inside the frame step.

#include <cstdint>
#include <optional>

namespace kivo {

class TKivoParser;
class TProcessRandom;
class TVrFileManager;

class ExpressionEvaluator {
  public:
    virtual ~ExpressionEvaluator() = default;
    // The value of the expression read as an integer; none when it gives no value or fails.
    [[nodiscard]] virtual std::optional<int32_t> EvaluateInt(const TKivoParser& expression) = 0;
};

struct SceneServices {
    TVrFileManager* files = nullptr;
    TProcessRandom* random = nullptr;
    ExpressionEvaluator* expressions = nullptr;
};

}  // namespace kivo
