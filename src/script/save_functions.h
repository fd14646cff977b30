#pragma once
// The system functions that read the captions of the saved games: GetSaveCaption and
// ListSaveCaption.

#include "script/function_registry.h"

namespace kivo {

void RegisterSaveFunctions(SystemFunctionRegistry& registry);

}  // namespace kivo
