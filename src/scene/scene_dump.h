#pragma once
// The scene as a tree of plain records, for kivoplay --dump-scene and the dump-scene lines of
// input scripts: the two layers in order, each object with its class, name, effective
// visibility, rectangle on its layer, every property by its PR_ name and its children in
// drawing order. Names and string values stay CP932 here and become UTF-8 in the JSON text.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "base/rect.h"

namespace kivo {

// A property value as GetProp would store it: an integer, a float, a flag or a string.
using ScenePropertyValue = std::variant<int32_t, double, bool, std::string>;

struct SceneProperty {
    std::string name;  // "PR_NAME" ...
    ScenePropertyValue value;
};

struct SceneDumpNode {
    std::string className;  // "TKivoBase", "TKivoImages" ...
    std::string name;       // CP932; system objects start with the character of code 1
    bool visible = true;    // shown on screen: its own flag and all its ancestors' flags
    TRect rect;             // on its layer, Right and Bottom exclusive
    std::vector<SceneProperty> properties;
    std::vector<SceneDumpNode> children;
};

struct SceneDump {
    int32_t activeLayer = 0;  // the index in layers of the layer shown on screen
    std::vector<SceneDumpNode> layers;
};

// {"activeLayer": N, "layers": [{"class", "name", "visible", "rect": [l, t, r, b],
// "props": {"PR_...": value, ...}, "children": [...]}, ...]} in UTF-8, two-space indented,
// one object per line.
[[nodiscard]] std::string SceneDumpJson(const SceneDump& dump);

}  // namespace kivo
