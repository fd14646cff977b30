#pragma once
// The functions of the screen and the desktop: GetDisplayMode, SetWallPaper and SaveScreen.

#include <cstdint>

namespace kivo {

class SystemFunctionRegistry;

void RegisterScreenFunctions(SystemFunctionRegistry& registry);

// The largest picture SaveScreen writes, in bytes of 24-bit pixels.
inline constexpr int64_t kMaxSavedScreenBytes = int64_t{256} << 20;

}  // namespace kivo
