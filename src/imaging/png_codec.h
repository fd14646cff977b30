#pragma once
// PNG pictures in and out of TDIBSurface, through libpng. The codec keeps no state between
// calls; a damaged stream raises KivoError naming its source.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/dib_surface.h"

namespace kivo {

struct PngPicture {
    // 8 bits with its colour table for palettised and grey pictures without transparency,
    // else 24 bits. An alpha channel (or a palette with partial transparency) becomes Mask.
    TDIBSurface Bitmap;
    // The pixel value named by a single transparent colour (tRNS), -1 when there is none.
    int64_t TransparentValue = -1;
};

[[nodiscard]] bool IsPng(std::span<const uint8_t> data);
[[nodiscard]] PngPicture DecodePng(std::span<const uint8_t> data, const std::string& source);
// Palettised bitmaps without a mask are written with their palette, others as RGB, or RGBA
// when the bitmap has a Mask.
[[nodiscard]] std::vector<uint8_t> EncodePng(const TDIBSurface& bitmap);

}  // namespace kivo
