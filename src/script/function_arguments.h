#pragma once
// Reading the arguments of a system function call. The argument count was checked at
// dispatch, so an optional argument is given exactly when the call has that many.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "base/error.h"
#include "script/function_registry.h"
#include "script/param.h"

namespace kivo {

[[nodiscard]] inline bool HasArgument(const FunctionCall& call, size_t index) {
    return call.arguments.size() > index;
}
[[nodiscard]] inline int32_t IntArgument(const FunctionCall& call, size_t index) {
    return call.arguments[index]->AsInteger();
}
[[nodiscard]] inline Extended FloatArgument(const FunctionCall& call, size_t index) {
    return call.arguments[index]->AsFloat();
}
[[nodiscard]] inline bool FlagArgument(const FunctionCall& call, size_t index) {
    return call.arguments[index]->AsFlag();
}
[[nodiscard]] inline std::string StringArgument(const FunctionCall& call, size_t index) {
    return call.arguments[index]->AsString();
}

// The whole value an argument stands for: a variable's value (all its elements) when the
// argument names a variable, the constant or temporary itself otherwise, nullptr for a
// reference to a variable that no longer exists.
[[nodiscard]] TCustomParam* WholeValue(const FunctionCall& call, size_t index);

// The variable's value of a "var" argument that must name a variable; otherwise raises
// "<function>:変数が見つかりません".
[[nodiscard]] TCustomParam& VariableArgument(const FunctionCall& call, size_t index);

// Longest string a function builds (repeats, replacements, joins). Longer results raise the
// array-size error instead of exhausting memory.
inline constexpr int64_t kMaxStringBytes = int64_t{1} << 26;
// Raises the array-size error when a result of bytes would be too long.
void CheckStringSize(int64_t bytes);

// A family's functions by name, registered in one go.
struct NamedFunction {
    std::string_view name;
    void (*function)(const FunctionCall&);
};
void RegisterFunctions(SystemFunctionRegistry& registry,
                       std::initializer_list<NamedFunction> functions);

}  // namespace kivo
