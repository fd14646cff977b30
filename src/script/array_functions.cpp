#include "script/array_functions.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "base/sjis.h"
#include "script/function_arguments.h"
#include "script/param_collection.h"
#include "script/string_functions.h"

namespace kivo {

namespace {

// Element si of source into element di of target, converted to target's type.
void CopyElement(TCustomParam& target, int32_t di, const TCustomParam& source, int32_t si) {
    switch (target.Type()) {
        case PT_INT:
            return target.SetIntAt(di, source.IntAt(si));
        case PT_FLOAT:
            return target.SetFloatAt(di, source.FloatAt(si));
        case PT_BOOL:
            return target.SetFlagAt(di, source.FlagAt(si));
        case PT_STR:
            return target.SetStringAt(di, source.StringAt(si));
        case PT_NONE:
            break;
    }
}

// Makes target one-dimensional with the elements of parts in order (each converted). The
// parts are copies, so target may be one of the values they came from. No element left
// makes target a single empty value.
void AssignConcatenation(TCustomParam& target,
                         const std::vector<std::unique_ptr<TCustomParam>>& parts) {
    int64_t total = 0;
    for (const auto& part : parts)
        total += part->ElementCount();
    if (total == 0) {
        target.SetDimensions(std::vector<int32_t>{1});
        target.MakeSingle();
        return;
    }
    const std::vector<int32_t> sizes{static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX))};
    target.SetDimensions(sizes);
    int32_t at = 0;
    for (const auto& part : parts) {
        for (int32_t i = 0; i < part->ElementCount(); ++i)
            CopyElement(target, at++, *part, i);
    }
}

// A copy of elements [first, first + count) of value as a one-dimensional value.
std::unique_ptr<TCustomParam> Slice(const TCustomParam& value, int32_t first, int32_t count) {
    std::unique_ptr<TCustomParam> slice = CreateParam(value.Type());
    if (!slice) slice = CreateParam(PT_INT);
    slice->SetElementCount(count);
    for (int32_t i = 0; i < count; ++i)
        CopyElement(*slice, i, value, first + i);
    return slice;
}

[[nodiscard]] bool IsMultiDimensional(const TCustomParam& value) {
    return value.DimensionCount() >= 2;
}

// The value a "var" argument writes to, or nullptr when it names a variable that is gone.
[[nodiscard]] TCustomParam* Destination(const FunctionCall& call, size_t index) {
    return WholeValue(call, index);
}

void GetArraySize(const FunctionCall& call) {
    const TCustomParam& value = VariableArgument(call, 0);
    if (!HasArgument(call, 1)) return call.target.SetInteger(value.ElementCount());
    // Counted back from the last dimension; an index past either end, however far, reads as
    // a dimension of size 1.
    const int64_t dimension = int64_t{value.DimensionCount()} - 1 - IntArgument(call, 1);
    const bool inRange = dimension >= 0 && dimension < value.DimensionCount();
    call.target.SetInteger(value.DimensionSize(inRange ? static_cast<int32_t>(dimension) : -1));
}

void SetArray(const FunctionCall& call) {
    TCustomParam& value = VariableArgument(call, 0);
    std::vector<int32_t> sizes;
    for (size_t i = 1; i < call.arguments.size(); ++i)
        sizes.push_back(IntArgument(call, i));
    value.SetDimensions(sizes);
}

void FillMem(const FunctionCall& call) {
    TCustomParam& value = VariableArgument(call, 0);
    switch (value.Type()) {
        case PT_INT:
            return value.FillInt(IntArgument(call, 1));
        case PT_FLOAT:
            return value.FillFloat(FloatArgument(call, 1));
        case PT_BOOL:
            return value.FillFlag(FlagArgument(call, 1));
        case PT_STR:
            return value.FillString(StringArgument(call, 1));
        case PT_NONE:
            break;
    }
}

void CopyMem(const FunctionCall& call) {
    TCustomParam& target = VariableArgument(call, 0);
    const TCustomParam& source = VariableArgument(call, 1);
    if (&target == &source) return;
    target.CopyMemFrom(source);
}

void CopyArray(const FunctionCall& call) {
    TCustomParam* target = Destination(call, 0);
    const TCustomParam* source = WholeValue(call, 1);
    if (!target || !source || target == source) return;
    target->AssignValue(*source);
}

void AddArray(const FunctionCall& call) {
    TCustomParam* target = Destination(call, 0);
    const TCustomParam* source = WholeValue(call, 1);
    if (!target || !source) return;
    if (IsMultiDimensional(*target) || IsMultiDimensional(*source)) {
        return call.target.SetInteger(target->ElementCount());
    }
    std::vector<std::unique_ptr<TCustomParam>> parts;
    parts.push_back(target->Clone());
    parts.push_back(source->Clone());
    AssignConcatenation(*target, parts);
    call.target.SetInteger(target->ElementCount());
}

void InsertArray(const FunctionCall& call) {
    TCustomParam* target = Destination(call, 0);
    const TCustomParam* source = WholeValue(call, 2);
    if (!target || !source) return;
    if (IsMultiDimensional(*target) || IsMultiDimensional(*source)) {
        return call.target.SetInteger(target->ElementCount());
    }
    const int32_t count = target->ElementCount();
    const int32_t index = std::clamp(IntArgument(call, 1), 0, count);
    std::vector<std::unique_ptr<TCustomParam>> parts;
    parts.push_back(Slice(*target, 0, index));
    parts.push_back(source->Clone());
    parts.push_back(Slice(*target, index, count - index));
    AssignConcatenation(*target, parts);
    call.target.SetInteger(target->ElementCount());
}

void DeleteArray(const FunctionCall& call) {
    TCustomParam* target = Destination(call, 0);
    if (!target) return;
    const int32_t count = target->ElementCount();
    if (count == 0 || IsMultiDimensional(*target)) return call.target.SetInteger(count);
    const int32_t index = std::clamp(IntArgument(call, 1), 0, count - 1);
    const int32_t removed = std::clamp(IntArgument(call, 2), 0, count - index);
    std::vector<std::unique_ptr<TCustomParam>> parts;
    parts.push_back(Slice(*target, 0, index));
    parts.push_back(Slice(*target, index + removed, count - index - removed));
    AssignConcatenation(*target, parts);
    // Removing every element leaves a single empty value, which counts as none.
    call.target.SetInteger(count - removed);
}

void ArrayToString(const FunctionCall& call) {
    const TCustomParam* value = WholeValue(call, 0);
    if (!value) return call.target.SetString("");
    const std::string delimiter = HasArgument(call, 1) ? StringArgument(call, 1) : "\r\n";
    std::string text;
    for (int32_t i = 0; i < value->ElementCount(); ++i) {
        if (i > 0) text += delimiter;
        text += value->StringAt(i);
        CheckStringSize(static_cast<int64_t>(text.size()));
    }
    call.target.SetString(text);
}

// s cut at every delimiter found on a character boundary; as with lines, a delimiter at the
// very end adds no empty piece.
std::vector<std::string> SplitAt(std::string_view s, std::string_view delimiter) {
    std::vector<std::string> pieces;
    if (delimiter.empty()) {
        if (!s.empty()) pieces.emplace_back(s);
        return pieces;
    }
    size_t start = 0;
    for (size_t pos = 0; pos + delimiter.size() <= s.size();) {
        if (s.compare(pos, delimiter.size(), delimiter) == 0) {
            pieces.emplace_back(s.substr(start, pos - start));
            pos += delimiter.size();
            start = pos;
        } else {
            pos += sjis::CharLength(s, pos);
        }
    }
    if (start < s.size()) pieces.emplace_back(s.substr(start));
    return pieces;
}

// Makes value a one-dimensional array of the texts (converted to its type), or a single
// empty value when there are none.
void AssignTexts(TCustomParam& value, const std::vector<std::string>& texts) {
    if (texts.empty()) return value.SetString("");
    value.SetDimensions(std::vector<int32_t>{static_cast<int32_t>(
        std::min<size_t>(texts.size(), static_cast<size_t>(kMaxElementCount) + 1))});
    for (size_t i = 0; i < texts.size(); ++i)
        value.SetStringAt(static_cast<int32_t>(i), texts[i]);
}

void StringToArray(const FunctionCall& call) {
    const std::string s = StringArgument(call, 0);
    const std::vector<std::string> pieces =
        HasArgument(call, 2) ? SplitAt(s, StringArgument(call, 2)) : SplitLines(s);
    if (TCustomParam* value = Destination(call, 1)) AssignTexts(*value, pieces);
    call.target.SetInteger(static_cast<int32_t>(pieces.size()));
}

void IndexOfStr(const FunctionCall& call) {
    const TCustomParam* value = WholeValue(call, 0);
    if (!value) return call.target.SetInteger(-1);
    const bool exact = !HasArgument(call, 2) || FlagArgument(call, 2);
    const bool partial = HasArgument(call, 3) && FlagArgument(call, 3);
    call.target.SetInteger(value->IndexOfString(StringArgument(call, 1), exact, partial));
}

void SortStr(const FunctionCall& call) {
    TCustomParam* value = Destination(call, 0);
    if (!value) return;
    std::vector<std::string> texts;
    for (int32_t i = 0; i < value->ElementCount(); ++i)
        texts.push_back(value->StringAt(i));
    std::stable_sort(texts.begin(), texts.end(), [](const std::string& a, const std::string& b) {
        return CompareTextIgnoringCase(a, b) < 0;
    });
    for (size_t i = 0; i < texts.size(); ++i)
        value->SetStringAt(static_cast<int32_t>(i), texts[i]);
}

void VarExists(const FunctionCall& call) {
    call.target.SetFlag(call.variables.Find(StringArgument(call, 0)) != nullptr);
}

void GetVarType(const FunctionCall& call) {
    const TCustomParam* value = WholeValue(call, 0);
    call.target.SetInteger(static_cast<int32_t>(value ? value->Type() : PT_NONE));
}

void AssignTemp(const FunctionCall& call) {
    const std::string name = StringArgument(call, 0);
    const bool found = call.variables.Find(name) != nullptr;
    if (found) call.variables.tempAlias = name;
    call.target.SetFlag(found);
}

}  // namespace

void RegisterArrayFunctions(SystemFunctionRegistry& registry) {
    RegisterFunctions(registry, {
                                    {"GetArraySize", GetArraySize},
                                    {"SetArray", SetArray},
                                    {"FillMem", FillMem},
                                    {"CopyMem", CopyMem},
                                    {"CopyArray", CopyArray},
                                    {"AddArray", AddArray},
                                    {"InsertArray", InsertArray},
                                    {"DeleteArray", DeleteArray},
                                    {"ArrayToString", ArrayToString},
                                    {"StringToArray", StringToArray},
                                    {"IndexOfStr", IndexOfStr},
                                    {"SortStr", SortStr},
                                    {"VarExists", VarExists},
                                    {"GetVarType", GetVarType},
                                    {"AssignTemp", AssignTemp},
                                });
}

}  // namespace kivo
