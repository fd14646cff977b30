#pragma once
// Mathematics on script numbers: trigonometry, absolute values, minimum and maximum, Not.
// Floats compute in Extended precision like every script float.

namespace kivo {

class SystemFunctionRegistry;

void RegisterMathFunctions(SystemFunctionRegistry& registry);

}  // namespace kivo
