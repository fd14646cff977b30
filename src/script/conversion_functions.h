#pragma once
// Number and text conversions (IntToStr, IntToHex, StrToIntDef, StrToFloatDef, Int, Float) and
// Calc, which compiles and runs an expression given as text.

#include <cstdint>

namespace kivo {

class SystemFunctionRegistry;

void RegisterConversionFunctions(SystemFunctionRegistry& registry);

// How deep Calc may run Calc: the text can call itself, and each level costs native stack.
inline constexpr int32_t kMaxCalcNesting = 64;
// Most digits IntToStr and IntToHex pad to.
inline constexpr int32_t kMaxFormatDigits = 1000;

}  // namespace kivo
