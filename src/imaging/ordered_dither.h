#pragma once
// The 4 x 4 ordered dither pattern shared by palettised alpha draws and colour reduction: each
// cell holds a threshold 0..15, and the cells below a level L cover L sixteenths of any 4 x 4
// area, spread as evenly as four by four allows.

#include <cstdint>

namespace kivo {

inline constexpr uint8_t kBayer4[4][4] = {
    {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

}  // namespace kivo
