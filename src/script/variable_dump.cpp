#include "script/variable_dump.h"

#include "base/json_text.h"
#include "script/call_man.h"

namespace kivo {

namespace {

std::string_view TypeName(ValueType type, bool reference) {
    if (reference) return "ref";
    switch (type) {
        case PT_INT:
            return "int";
        case PT_FLOAT:
            return "float";
        case PT_BOOL:
            return "flag";
        case PT_STR:
            return "str";
        case PT_NONE:
            break;
    }
    return "ref";
}

void AppendElement(std::string& out, const TCustomParam& value, ValueType type, int32_t index) {
    switch (type) {
        case PT_INT:
            out.append(std::to_string(value.IntAt(index)));
            return;
        case PT_FLOAT:
            AppendJsonNumber(out, value.FloatAt(index));
            return;
        case PT_BOOL:
            out.append(value.FlagAt(index) ? "true" : "false");
            return;
        case PT_STR:
            AppendJsonString(out, value.StringAt(index));
            return;
        case PT_NONE:
            out.append("null");
            return;
    }
}

void AppendVariable(std::string& out, const TParamCollectionItem& variable) {
    const TCustomParam& value = variable.Value();
    bool reference = TParamCollection::StreamType(value) == PT_NONE;
    ValueType type = value.Type();
    out.append("{\"name\": ");
    AppendJsonString(out, variable.Name());
    out.append(", \"type\": \"").append(TypeName(type, reference)).append("\", \"dims\": [");
    const std::vector<int32_t>& dims = value.Dimensions();
    for (size_t i = 0; i < dims.size(); ++i) {
        if (i > 0) out.append(", ");
        out.append(std::to_string(dims[i]));
    }
    out.append("], \"values\": [");
    if (reference) {
        // A reference shows the one element it leads to; an unbound one shows nothing.
        if (type != PT_NONE) {
            switch (type) {
                case PT_INT:
                    out.append(std::to_string(value.AsInteger()));
                    break;
                case PT_FLOAT:
                    AppendJsonNumber(out, value.AsFloat());
                    break;
                case PT_BOOL:
                    out.append(value.AsFlag() ? "true" : "false");
                    break;
                case PT_STR:
                    AppendJsonString(out, value.AsString());
                    break;
                case PT_NONE:
                    break;
            }
        }
    } else {
        for (int32_t i = 0; i < value.ElementCount(); ++i) {
            if (i > 0) out.append(", ");
            AppendElement(out, value, type, i);
        }
    }
    out.append("]}");
}

}  // namespace

InterpreterPosition PositionOf(const InterpreterState& state) {
    InterpreterPosition position;
    if (state.page) position.page = state.page->Name();
    position.pc = state.pc;
    position.mode = static_cast<int32_t>(state.mode);
    position.level = state.level;
    position.stackDepth = state.Depth();
    return position;
}

std::string DumpVariables(const PlayerState& player, const InterpreterPosition& position,
                          const TParamCollection& variables) {
    std::string out = "{\"player\": {";
    auto field = [&out](std::string_view name, const std::string& value, bool last = false) {
        out.append("\"").append(name).append("\": ").append(value).append(last ? "" : ", ");
    };
    field("clock", std::to_string(player.gameClock));
    field("frameCounter", std::to_string(player.frameCounter));
    field("frameInterval", std::to_string(player.frameInterval));
    field("skipDivisor", std::to_string(player.skipDivisor));
    field("soundDelay", std::to_string(player.soundDelay));
    field("directSound", player.directSound ? "true" : "false");
    field("quit", player.quitRequest ? "true" : "false");
    std::string page;
    AppendJsonString(page, position.page);
    field("page", page);
    field("pc", std::to_string(position.pc));
    field("mode", std::to_string(position.mode));
    field("level", std::to_string(position.level));
    field("stackDepth", std::to_string(position.stackDepth), true);
    out.append("}, \"vars\": [");
    bool first = true;
    for (int32_t i = 0; i < variables.Count(); ++i) {
        const TParamCollectionItem& variable = variables.At(i);
        if (variable.IsSystem()) continue;
        if (!first) out.append(", ");
        first = false;
        AppendVariable(out, variable);
    }
    out.append("]}\n");
    return out;
}

}  // namespace kivo
