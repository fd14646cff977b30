#pragma once
// Calls system functions directly, as the evaluator does: constants as values of their own
// type, variables as references bound to them, and a target of the function's result type.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/error.h"
#include "script/function_registry.h"
#include "script/param.h"
#include "script/param_collection.h"
#include "script/system_functions.h"

namespace kivo::test {

struct VarName {
    std::string name;
};

// One argument: an integer, a float, a flag, a string or the name of a variable.
using Arg = std::variant<int32_t, double, bool, std::string, VarName>;

inline Arg S(std::string_view text) { return std::string(text); }
inline Arg V(std::string_view name) { return VarName{std::string(name)}; }

class FunctionCaller {
  public:
    FunctionCaller() { RegisterSystemFunctions(functions); }

    // The target after the call; it starts as the empty value of the result type, so a
    // function that writes no result leaves it so.
    std::unique_ptr<TCustomParam> Call(std::string_view name, const std::vector<Arg>& args,
                                       const ScriptContext* context = nullptr) {
        const int index = *FunctionIndex(name);
        std::vector<std::unique_ptr<TCustomParam>> owned;
        std::vector<TCustomParam*> arguments;
        for (const Arg& arg : args) {
            owned.push_back(MakeArgument(arg));
            arguments.push_back(owned.back().get());
        }
        std::unique_ptr<TCustomParam> target = CreateParam(FindFunction(index)->result);
        functions.Call(FunctionCall{index, *target, arguments, variables, functions, context});
        return target;
    }
    // The result read as a string ("TRUE", "12", "0.5" ...).
    std::string Text(std::string_view name, const std::vector<Arg>& args) {
        return Call(name, args)->AsString();
    }
    // The error message the call raises, or "" when it raises none.
    std::string Error(std::string_view name, const std::vector<Arg>& args) {
        try {
            (void)Call(name, args);
        } catch (const KivoError& error) {
            return error.Message();
        }
        return "";
    }

    TCustomParam& Declare(std::string name, ValueType type) {
        return variables.Create(std::move(name), type).Value();
    }
    TCustomParam& Var(std::string_view name) { return variables.Find(name)->Value(); }

    TParamCollection variables;
    SystemFunctionRegistry functions;

  private:
    std::unique_ptr<TCustomParam> MakeArgument(const Arg& arg) {
        if (const auto* var = std::get_if<VarName>(&arg)) {
            auto reference = std::make_unique<TParamVar>(var->name);
            if (TParamCollectionItem* variable = variables.Find(var->name)) {
                reference->Bind(*variable, 0);
            }
            return reference;
        }
        if (const auto* i = std::get_if<int32_t>(&arg)) {
            auto value = CreateParam(PT_INT);
            value->SetInteger(*i);
            return value;
        }
        if (const auto* f = std::get_if<double>(&arg)) {
            auto value = CreateParam(PT_FLOAT);
            value->SetFloat(*f);
            return value;
        }
        if (const auto* b = std::get_if<bool>(&arg)) {
            auto value = CreateParam(PT_BOOL);
            value->SetFlag(*b);
            return value;
        }
        auto value = CreateParam(PT_STR);
        value->SetString(std::get<std::string>(arg));
        return value;
    }
};

// One call and its result read as a string.
struct Case {
    const char* function;
    std::vector<Arg> args;
    std::string expected;
};

inline void ExpectResults(const std::vector<Case>& cases) {
    FunctionCaller caller;
    for (const Case& c : cases) {
        EXPECT_EQ(caller.Text(c.function, c.args), c.expected)
            << c.function << " case " << (&c - cases.data());
    }
}

// Elements of a value as strings.
inline std::vector<std::string> Elements(const TCustomParam& value) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < value.ElementCount(); ++i)
        out.push_back(value.StringAt(i));
    return out;
}

}  // namespace kivo::test
