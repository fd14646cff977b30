#include "variable_list_builder.h"

namespace kivo::test {

namespace {

void PutDimensions(ByteBuilder& out, const std::vector<int32_t>& dims) {
    out.I32(static_cast<int32_t>(dims.size()));
    for (int32_t size : dims)
        out.I32(size);
}

template <typename T, typename Put>
std::vector<uint8_t> ArrayValue(const std::vector<int32_t>& dims, const std::vector<T>& values,
                                Put put) {
    ByteBuilder value;
    PutDimensions(value, dims);
    value.I32(static_cast<int32_t>(values.size()));
    for (const T& v : values)
        put(value, v);
    return value.Data();
}

}  // namespace

std::vector<uint8_t> IntValue(const std::vector<int32_t>& values,
                              const std::vector<int32_t>& dims) {
    return ArrayValue(dims, values, [](ByteBuilder& out, int32_t v) { out.I32(v); });
}

std::vector<uint8_t> FloatValue(const std::vector<double>& values,
                                const std::vector<int32_t>& dims) {
    return ArrayValue(dims, values, [](ByteBuilder& out, double v) { out.F80(v); });
}

std::vector<uint8_t> FlagValue(const std::vector<bool>& values, const std::vector<int32_t>& dims) {
    return ArrayValue(dims, values, [](ByteBuilder& out, bool v) { out.U8(v ? 1 : 0); });
}

std::vector<uint8_t> StrValue(const std::vector<std::string>& values,
                              const std::vector<int32_t>& dims) {
    return ArrayValue(dims, values, [](ByteBuilder& out, const std::string& v) { out.Str(v); });
}

VariableListBuilder& VariableListBuilder::Record(uint8_t type, std::string_view name,
                                                 const std::vector<uint8_t>& value,
                                                 VariablePlace place) {
    records_.U8(type).Str(name).Raw(value);
    records_.U8(place.status).U8(place.local).I32(place.level).U8(place.reserved);
    ++count_;
    return *this;
}

VariableListBuilder& VariableListBuilder::Int(std::string_view name,
                                              const std::vector<int32_t>& values,
                                              const std::vector<int32_t>& dims,
                                              VariablePlace place) {
    return Record(kIntType, name, IntValue(values, dims), place);
}

VariableListBuilder& VariableListBuilder::Float(std::string_view name,
                                                const std::vector<double>& values,
                                                const std::vector<int32_t>& dims,
                                                VariablePlace place) {
    return Record(kFloatType, name, FloatValue(values, dims), place);
}

VariableListBuilder& VariableListBuilder::Flag(std::string_view name,
                                               const std::vector<bool>& values,
                                               const std::vector<int32_t>& dims,
                                               VariablePlace place) {
    return Record(kFlagType, name, FlagValue(values, dims), place);
}

VariableListBuilder& VariableListBuilder::Str(std::string_view name,
                                              const std::vector<std::string>& values,
                                              const std::vector<int32_t>& dims,
                                              VariablePlace place) {
    return Record(kStrType, name, StrValue(values, dims), place);
}

VariableListBuilder& VariableListBuilder::Ref(std::string_view name, std::string_view target,
                                              int32_t element, VariablePlace place) {
    ByteBuilder value;
    PutDimensions(value, {});
    value.Str(name);    // the reference's own name
    value.Str(target);  // the variable it is bound to
    value.U8(0);        // flag byte
    value.I32(element);
    return Record(kRefType, name, value.Data(), place);
}

VariableListBuilder& VariableListBuilder::TextDelay(int32_t delay) {
    textDelay_ = delay;
    return *this;
}
VariableListBuilder& VariableListBuilder::Cursor(std::string_view name) {
    cursor_ = name;
    return *this;
}
VariableListBuilder& VariableListBuilder::Selection(std::string_view text, int32_t index) {
    selection_ = text;
    selectionIndex_ = index;
    return *this;
}
VariableListBuilder& VariableListBuilder::BacklogFormat(const std::array<int32_t, 6>& values) {
    backlogFormat_ = values;
    return *this;
}
VariableListBuilder& VariableListBuilder::TempAlias(std::string_view name) {
    tempAlias_ = name;
    return *this;
}

std::vector<uint8_t> VariableListBuilder::GameBytes(int32_t saveVersion) const {
    ByteBuilder out;
    out.I32(count_).Raw(records_.Data());
    out.I32(textDelay_).Str(cursor_);
    if (saveVersion >= 103) out.Str(selection_).I32(selectionIndex_);
    if (saveVersion >= 113) {
        for (int32_t value : backlogFormat_)
            out.I32(value);
    }
    if (saveVersion >= 121) out.Str(tempAlias_);
    return out.Data();
}

std::vector<uint8_t> VariableListBuilder::StatusBytes() const {
    ByteBuilder out;
    out.I32(count_).Raw(records_.Data());
    return out.Data();
}

}  // namespace kivo::test
