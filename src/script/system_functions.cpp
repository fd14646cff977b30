#include "script/system_functions.h"

#include "script/array_functions.h"
#include "script/conversion_functions.h"
#include "script/date_functions.h"
#include "script/function_registry.h"
#include "script/host_functions.h"
#include "script/math_functions.h"
#include "script/param.h"
#include "script/script_context.h"
#include "script/string_functions.h"

namespace kivo {

namespace {

// Random(n): a number from 0 to n - 1 from the process generator.
void Random(const FunctionCall& call) {
    call.target.SetInteger(call.Context().random.Below(call.arguments[0]->AsInteger()));
}

// Exists(name): whether an object of that name is in the scene; never for the empty name,
// which would otherwise find the active layer.
void Exists(const FunctionCall& call) {
    const std::string name = call.arguments[0]->AsString();
    call.target.SetFlag(!name.empty() && !call.Context().scene.FindByName(name).IsNull());
}

}  // namespace

void RegisterSystemFunctions(SystemFunctionRegistry& registry) {
    registry.Register(*FunctionIndex("Random"), Random);
    registry.Register(*FunctionIndex("Exists"), Exists);
    RegisterConversionFunctions(registry);
    RegisterStringFunctions(registry);
    RegisterMathFunctions(registry);
    RegisterDateFunctions(registry);
    RegisterArrayFunctions(registry);
    RegisterHostFunctions(registry);
}

}  // namespace kivo
