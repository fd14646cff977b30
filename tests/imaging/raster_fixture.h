#pragma once
// Small surfaces for the raster tests: built from pixel lists, read back as pixel lists.

#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/dibx.h"
#include "imaging/row_ops.h"

namespace kivo::test {

// A width x height surface of the given depth holding pixels row by row (missing ones are 0).
inline std::unique_ptr<TDIBX> MakeSurface(int32_t width, int32_t height,
                                          const std::vector<uint32_t>& pixels = {}, int bits = 32) {
    auto surface = std::make_unique<TDIBX>(width, height, bits);
    for (size_t i = 0; i < pixels.size(); ++i) {
        surface->SetPixel(static_cast<int32_t>(i % static_cast<size_t>(width)),
                          static_cast<int32_t>(i / static_cast<size_t>(width)), pixels[i]);
    }
    return surface;
}

inline std::unique_ptr<TDIBX> MakeMask(int32_t width, int32_t height,
                                       const std::vector<uint32_t>& values) {
    return MakeSurface(width, height, values, 8);
}

// Every pixel row by row.
inline std::vector<uint32_t> Pixels(const TCustomDIBX& surface) {
    std::vector<uint32_t> out;
    for (int32_t y = 0; y < surface.Height(); ++y) {
        for (int32_t x = 0; x < surface.Width(); ++x)
            out.push_back(surface.GetPixel(x, y));
    }
    return out;
}

}  // namespace kivo::test
