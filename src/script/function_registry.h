#pragma once
// The bridge from expressions to the system functions. An ocFunc step names its function by
// index; the evaluator hands the call to whatever implementation the system-function library
// registered under that index. Names, argument ranges and result types stay in the vocabulary
// table: the compiler checks the argument count against it, the evaluator types the target
// temporary from it, and the registry only maps indices to code.

#include <array>
#include <cstdint>
#include <functional>
#include <span>

#include "script/vocabulary.h"

namespace kivo {

class TCustomParam;
class TParamCollection;
class SystemFunctionRegistry;
struct ScriptContext;

// One call of a system function, valid for the duration of the call.
struct FunctionCall {
    int32_t index;
    // The step's target; the function writes its result here (set-from operations).
    TCustomParam& target;
    // Constants as values of their own type; variables as references (TParamVar) bound to
    // the variable, so that a function can write through them or ask for the variable.
    std::span<TCustomParam* const> arguments;
    TParamCollection& variables;
    // For functions that evaluate expressions themselves (Calc).
    const SystemFunctionRegistry& functions;
    // The world beyond the variables (scene, media, saves, random numbers, clock, calendar);
    // null when the expression runs outside a game, as in tools and tests of expressions alone.
    const ScriptContext* context;

    // The context; a function that needs it fails with an error naming it when there is none.
    [[nodiscard]] const ScriptContext& Context() const;
};

class SystemFunctionRegistry {
  public:
    using Function = std::function<void(const FunctionCall&)>;

    // Installs the implementation of the function at index (0 to 144).
    void Register(int32_t index, Function function);
    [[nodiscard]] bool IsRegistered(int32_t index) const;
    // Runs the call; an index without an implementation raises an error naming the function.
    void Call(const FunctionCall& call) const;

  private:
    std::array<Function, kFunctionCount> functions_;
};

}  // namespace kivo
