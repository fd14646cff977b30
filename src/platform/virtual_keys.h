#pragma once
// The Windows virtual-key codes scripts test keys by, from the position of a key on the
// keyboard. Positions are USB HID keyboard usage ids (what SDL calls scancodes), so a key
// keeps its code whatever the keyboard layout, as the scripts were written against a US/JIS
// layout.

#include <cstdint>

namespace kivo {

// Common virtual-key codes the player itself refers to.
inline constexpr int32_t kVkReturn = 0x0D;
inline constexpr int32_t kVkEscape = 0x1B;
inline constexpr int32_t kVkSpace = 0x20;

// The virtual-key code for a HID usage id, or 0 for keys scripts cannot see.
[[nodiscard]] int32_t VirtualKeyFromHidUsage(uint32_t usage);

}  // namespace kivo
