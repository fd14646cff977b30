#pragma once
// Reading bitmaps back in tests: their colours and mask values, row by row.

#include <cstdint>
#include <vector>

#include "imaging/dib_surface.h"

namespace kivo::test {

// The colours of a bitmap, row by row, as 0x00BBGGRR.
inline std::vector<uint32_t> Colors(const TDIBSurface& b) {
    std::vector<uint32_t> out;
    for (int32_t y = 0; y < b.Height(); ++y) {
        for (int32_t x = 0; x < b.Width(); ++x)
            out.push_back(b.PixelToColor(b.GetPixel(x, y)));
    }
    return out;
}

// The mask values row by row; empty when the bitmap has no mask.
inline std::vector<uint32_t> MaskValues(const TDIBSurface& b) {
    std::vector<uint32_t> out;
    if (!b.HasMask()) return out;
    for (int32_t y = 0; y < b.Height(); ++y) {
        for (int32_t x = 0; x < b.Width(); ++x)
            out.push_back(b.Mask()->GetPixel(x, y));
    }
    return out;
}

}  // namespace kivo::test
