#include "script/function_registry.h"

#include <string>

#include "base/error.h"

namespace kivo {

const ScriptContext& FunctionCall::Context() const {
    // Outside a game the functions that reach the world are as unusable as missing ones.
    if (context == nullptr) {
        const FunctionInfo* info = FindFunction(index);
        throw KivoError(std::string(info ? info->name : "?") + " は使用できない関数です");
    }
    return *context;
}

void SystemFunctionRegistry::Register(int32_t index, Function function) {
    if (!FindFunction(index)) throw KivoError("関数番号が不正です: " + std::to_string(index));
    functions_[static_cast<size_t>(index)] = std::move(function);
}

bool SystemFunctionRegistry::IsRegistered(int32_t index) const {
    return FindFunction(index) && functions_[static_cast<size_t>(index)];
}

void SystemFunctionRegistry::Call(const FunctionCall& call) const {
    const FunctionInfo* info = FindFunction(call.index);
    if (!info) throw KivoError("関数番号が不正です: " + std::to_string(call.index));
    const Function& function = functions_[static_cast<size_t>(call.index)];
    if (!function) throw KivoError(std::string(info->name) + " は使用できない関数です");
    // Stored expressions come from files: a damaged step must not make a function read an
    // argument that is not there.
    if (!info->AcceptsArgumentCount(static_cast<int>(call.arguments.size()))) {
        throw KivoError(std::string(info->name) + " 引数の数が不正です");
    }
    function(call);
}

}  // namespace kivo
