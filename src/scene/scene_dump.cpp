#include "scene/scene_dump.h"

#include "base/json_text.h"

namespace kivo {

namespace {

void AppendValue(std::string& out, const ScenePropertyValue& value) {
    if (const auto* i = std::get_if<int32_t>(&value)) {
        out.append(std::to_string(*i));
    } else if (const auto* f = std::get_if<double>(&value)) {
        AppendJsonNumber(out, *f);
    } else if (const auto* b = std::get_if<bool>(&value)) {
        out.append(*b ? "true" : "false");
    } else {
        AppendJsonString(out, std::get<std::string>(value));
    }
}

void AppendNode(std::string& out, const SceneDumpNode& node, int depth) {
    const std::string indent(static_cast<size_t>(depth) * 2, ' ');
    out.append(indent).append("{\"class\": ");
    AppendJsonString(out, node.className);
    out.append(", \"name\": ");
    AppendJsonString(out, node.name);
    out.append(", \"visible\": ").append(node.visible ? "true" : "false");
    out.append(", \"rect\": [")
        .append(std::to_string(node.rect.Left))
        .append(", ")
        .append(std::to_string(node.rect.Top))
        .append(", ")
        .append(std::to_string(node.rect.Right))
        .append(", ")
        .append(std::to_string(node.rect.Bottom))
        .append("], \"props\": {");
    for (size_t i = 0; i < node.properties.size(); ++i) {
        if (i > 0) out.append(", ");
        AppendJsonString(out, node.properties[i].name);
        out.append(": ");
        AppendValue(out, node.properties[i].value);
    }
    out.append("}, \"children\": [");
    if (!node.children.empty()) {
        out.push_back('\n');
        for (size_t i = 0; i < node.children.size(); ++i) {
            AppendNode(out, node.children[i], depth + 1);
            out.append(i + 1 < node.children.size() ? ",\n" : "\n");
        }
        out.append(indent);
    }
    out.append("]}");
}

}  // namespace

std::string SceneDumpJson(const SceneDump& dump) {
    std::string out = "{\"activeLayer\": " + std::to_string(dump.activeLayer) + ", \"layers\": [";
    if (!dump.layers.empty()) {
        out.push_back('\n');
        for (size_t i = 0; i < dump.layers.size(); ++i) {
            AppendNode(out, dump.layers[i], 1);
            out.append(i + 1 < dump.layers.size() ? ",\n" : "\n");
        }
    }
    out.append("]}\n");
    return out;
}

}  // namespace kivo
