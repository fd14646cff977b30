#include "platform/virtual_keys.h"

#include <array>
#include <utility>

namespace kivo {

namespace {

// HID usage id -> virtual-key code for every key that is not a letter, digit or function key.
constexpr std::pair<uint32_t, int32_t> kKeys[] = {
    {0x28, 0x0D},  // Return
    {0x29, 0x1B},  // Escape
    {0x2A, 0x08},  // Backspace
    {0x2B, 0x09},  // Tab
    {0x2C, 0x20},  // Space
    {0x2D, 0xBD},  // - (VK_OEM_MINUS)
    {0x2E, 0xBB},  // = (VK_OEM_PLUS)
    {0x2F, 0xDB},  // [
    {0x30, 0xDD},  // ]
    {0x31, 0xDC},  // backslash
    {0x32, 0xDC},  // the key beside Return on ISO keyboards
    {0x33, 0xBA},  // ;
    {0x34, 0xDE},  // '
    {0x35, 0xC0},  // `
    {0x36, 0xBC},  // ,
    {0x37, 0xBE},  // .
    {0x38, 0xBF},  // /
    {0x39, 0x14},  // Caps Lock
    {0x46, 0x2C},  // Print Screen
    {0x47, 0x91},  // Scroll Lock
    {0x48, 0x13},  // Pause
    {0x49, 0x2D},  // Insert
    {0x4A, 0x24},  // Home
    {0x4B, 0x21},  // Page Up
    {0x4C, 0x2E},  // Delete
    {0x4D, 0x23},  // End
    {0x4E, 0x22},  // Page Down
    {0x4F, 0x27},  // Right
    {0x50, 0x25},  // Left
    {0x51, 0x28},  // Down
    {0x52, 0x26},  // Up
    {0x53, 0x90},  // Num Lock
    {0x54, 0x6F},  // keypad /
    {0x55, 0x6A},  // keypad *
    {0x56, 0x6D},  // keypad -
    {0x57, 0x6B},  // keypad +
    {0x58, 0x0D},  // keypad Enter
    {0x59, 0x61},  // keypad 1 .. 9, 0
    {0x5A, 0x62}, {0x5B, 0x63}, {0x5C, 0x64}, {0x5D, 0x65}, {0x5E, 0x66},
    {0x5F, 0x67}, {0x60, 0x68}, {0x61, 0x69}, {0x62, 0x60}, {0x63, 0x6E},  // keypad .
    {0x65, 0x5D},                                                          // Application (menu key)
    {0x87, 0xE2},  // JIS backslash/underscore (VK_OEM_102)
    {0x89, 0xDC},  // JIS yen
    {0x8A, 0x1C},  // JIS henkan (VK_CONVERT)
    {0x8B, 0x1D},  // JIS muhenkan (VK_NONCONVERT)
    {0xE0, 0x11},  // left Ctrl
    {0xE1, 0x10},  // left Shift
    {0xE2, 0x12},  // left Alt
    {0xE4, 0x11},  // right Ctrl
    {0xE5, 0x10},  // right Shift
};

}  // namespace

int32_t VirtualKeyFromHidUsage(uint32_t usage) {
    if (usage >= 0x04 && usage <= 0x1D) return static_cast<int32_t>('A' + (usage - 0x04));
    if (usage >= 0x1E && usage <= 0x26) return static_cast<int32_t>('1' + (usage - 0x1E));
    if (usage == 0x27) return '0';
    if (usage >= 0x3A && usage <= 0x45)
        return static_cast<int32_t>(0x70 + (usage - 0x3A));  // F1..F12
    if (usage >= 0x68 && usage <= 0x73)
        return static_cast<int32_t>(0x7C + (usage - 0x68));  // F13..F24
    if (usage == 0xE6) return 0x12;                          // right Alt
    for (const auto& [hid, vk] : kKeys) {
        if (hid == usage) return vk;
    }
    return 0;
}

}  // namespace kivo
