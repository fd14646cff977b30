#pragma once
// The pixman side of the raster benchmarks: pictures of random opaque colours, and our
// surfaces wrapped as pixman images over the same pixels.

#include <pixman.h>

#include <cstdint>
#include <memory>
#include <random>

#include "imaging/dibx.h"

namespace kivo::bench {

// Random opaque colours (the fourth byte 0xFF so that pixman treats them as opaque too).
inline std::unique_ptr<TDIBX> RandomColours(int32_t width, int32_t height, uint32_t seed) {
    auto s = std::make_unique<TDIBX>(width, height, 32);
    std::mt19937 rng(seed);
    for (int32_t y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(s->PixelAddress(0, y));
        for (int32_t x = 0; x < width; ++x)
            row[x] = static_cast<uint32_t>(rng()) | 0xFF000000u;
    }
    return s;
}

struct PixmanUnref {
    void operator()(pixman_image_t* image) const { pixman_image_unref(image); }
};
using PixmanImage = std::unique_ptr<pixman_image_t, PixmanUnref>;

// A pixman image over the surface's pixels; the surface must outlive it.
inline PixmanImage Wrap(TDIBX& s, pixman_format_code_t format) {
    return PixmanImage(pixman_image_create_bits(format, s.Width(), s.Height(),
                                                reinterpret_cast<uint32_t*>(s.PixelAddress(0, 0)),
                                                s.Pitch()));
}

}  // namespace kivo::bench
