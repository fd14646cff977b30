#pragma once
// The evaluator scene objects run their stored expressions through (scene/scene_services.h):
// the player's variables and system functions, with the context commands see. Made at
// start-up before the scene; once shutdown has freed the variables or the functions, every
// expression gives no value.

#include "scene/scene_services.h"

namespace kivo {

class Player;

class SceneExpressions final : public ExpressionEvaluator {
  public:
    explicit SceneExpressions(Player& player) : player_(player) {}

    [[nodiscard]] std::optional<int32_t> EvaluateInt(const TKivoParser& expression) override;

  private:
    Player& player_;
};

}  // namespace kivo
