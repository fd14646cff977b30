#include "scene/property_table.h"

#include <utility>

#include "base/error.h"
#include "scene/kivo_object.h"
#include "script/param.h"

namespace kivo {

namespace {

// Properties whose default for kinds without them is not the empty value of their type.
constexpr std::pair<PropertyId, int32_t> kIntDefaults[] = {
    {PR_ZOOMX, 256},     {PR_ZOOMY, 256},     {PR_COLOR, 0xFFFFFF}, {PR_BORDERCOLOR, -1},
    {PR_ALPHA, 255},     {PR_HOVERCOLOR, -1}, {PR_BRIGHTNESS, 255}, {PR_INDEX, -1},
    {PR_TEXTDELAY, 256}, {PR_PARTMOTION, 1},  {PR_SMALLCHANGE, 1},  {PR_LARGECHANGE, 1},
};
constexpr PropertyId kTrueDefaults[] = {PR_REWINDONLOAD, PR_OVERLAY};

[[nodiscard]] bool ValidId(int32_t id) {
    return id >= 0 && id < kPropertyCount;
}

// A style value becomes a set of the four style bits.
[[nodiscard]] bool IsStyleProperty(int32_t id) {
    return id == PR_FONTSTYLE || id == PR_FONTHOVERSTYLE;
}

}  // namespace

ValueType PropertyType(int32_t id) {
    return ValidId(id) ? Properties()[static_cast<size_t>(id)].type : PT_NONE;
}

PropertyValue DefaultPropertyValue(int32_t id) {
    for (const auto& [property, value] : kIntDefaults) {
        if (property == id) return value;
    }
    for (PropertyId property : kTrueDefaults) {
        if (property == id) return true;
    }
    switch (PropertyType(id)) {
        case PT_FLOAT:
            return 0.0;
        case PT_BOOL:
            return false;
        case PT_STR:
            return std::string();
        case PT_INT:
        case PT_NONE:
            break;
    }
    return int32_t{0};
}

PropertyValue ReadProperty(const TKivoObject& object, int32_t id) {
    // Negative ids are refused like those above the table, never used as an index.
    if (!ValidId(id)) throw KivoError("GetPropエラー");
    const PropertyAccess& access = object.Properties()[static_cast<size_t>(id)];
    return access.get != nullptr ? access.get(object, access.cell) : DefaultPropertyValue(id);
}

void WriteProperty(TKivoObject& object, int32_t id, const PropertyValue& value) {
    if (!ValidId(id)) return;
    const PropertyAccess& access = object.Properties()[static_cast<size_t>(id)];
    if (access.set == nullptr) return;
    if (value.index() != DefaultPropertyValue(id).index()) {
        throw KivoError("property " + std::to_string(id) + " written with a value of another type");
    }
    if (IsStyleProperty(id)) {
        access.set(object, std::get<int32_t>(value) & 0xF, access.cell);
        return;
    }
    access.set(object, value, access.cell);
}

void GetProp(const TKivoObject& object, int32_t id, TCustomParam& result) {
    const PropertyValue value = ReadProperty(object, id);
    if (const auto* i = std::get_if<int32_t>(&value)) {
        result.SetInteger(*i);
    } else if (const auto* f = std::get_if<double>(&value)) {
        result.SetFloat(*f);
    } else if (const auto* b = std::get_if<bool>(&value)) {
        result.SetFlag(*b);
    } else {
        result.SetString(std::get<std::string>(value));
    }
}

void SetProp(TKivoObject& object, int32_t id, const TCustomParam& value) {
    switch (PropertyType(id)) {
        case PT_INT:
            WriteProperty(object, id, value.AsInteger());
            break;
        case PT_FLOAT:
            WriteProperty(object, id, static_cast<double>(value.AsFloat()));
            break;
        case PT_BOOL:
            WriteProperty(object, id, value.AsFlag());
            break;
        case PT_STR:
            WriteProperty(object, id, value.AsString());
            break;
        case PT_NONE:
            break;
    }
}

}  // namespace kivo
