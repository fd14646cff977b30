#include "shell/scene_expressions.h"

#include "base/error.h"
#include "script/expression.h"
#include "shell/player.h"

namespace kivo {

std::optional<int32_t> SceneExpressions::EvaluateInt(const TKivoParser& expression) {
    if (!player_.variables || !player_.functions) return std::nullopt;
    const ScriptContext context = player_.ScriptWorld();
    try {
        return expression.EvaluateInt(*player_.variables, *player_.functions, &context);
    } catch (const KivoError&) {
        // A failing expression is no value, as a failing command is no effect.
        return std::nullopt;
    }
}

}  // namespace kivo
