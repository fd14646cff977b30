#include "script/function_arguments.h"

#include "script/param_collection.h"

namespace kivo {

TCustomParam* WholeValue(const FunctionCall& call, size_t index) {
    TCustomParam* argument = call.arguments[index];
    if (auto* reference = dynamic_cast<TParamVar*>(argument)) {
        TParamCollectionItem* variable = reference->Bound();
        return variable ? &variable->Value() : nullptr;
    }
    return argument;
}

TCustomParam& VariableArgument(const FunctionCall& call, size_t index) {
    auto* reference = dynamic_cast<TParamVar*>(call.arguments[index]);
    TParamCollectionItem* variable = reference ? reference->Bound() : nullptr;
    if (!variable) {
        const FunctionInfo* info = FindFunction(call.index);
        throw KivoError(std::string(info ? info->name : "?") + ":変数が見つかりません");
    }
    return variable->Value();
}

void CheckStringSize(int64_t bytes) {
    if (bytes > kMaxStringBytes) {
        throw KivoError("配列の要素数[" + std::to_string(bytes) + "]が不正です");
    }
}

void RegisterFunctions(SystemFunctionRegistry& registry,
                       std::initializer_list<NamedFunction> functions) {
    for (const NamedFunction& entry : functions) {
        const std::optional<int> index = FunctionIndex(entry.name);
        if (!index) throw KivoError("\"" + std::string(entry.name) + "\" 関数名がありません");
        registry.Register(*index, entry.function);
    }
}

}  // namespace kivo
