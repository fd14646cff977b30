#pragma once
// Truevision TGA pictures in and out of TDIBSurface: colour-mapped, true-colour and grey
// images (types 1, 2, 3 and their run-length forms 9, 10, 11), both row origins, 16, 24 and
// 32 bits of colour, 8 bits of grey or 16 of grey and alpha, and the version 2.0 footer with its extension area, whose key colour is the
// picture's transparent value. The codec keeps no state between calls; damaged data raises
// KivoError naming its source.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/dib_surface.h"

namespace kivo {

struct TgaPicture {
    // 8 bits for colour-mapped and grey images, 15 for 16-bit ones, 24, or 32 with the alpha
    // in the fourth byte (unless it was moved into Mask; grey and alpha images come as 32).
    TDIBSurface Bitmap;
    // The extension area's key colour as a pixel value of Bitmap, -1 when there is none.
    int64_t TransparentValue = -1;
};

// The version 2.0 footer signature (with its terminating zero, 18 bytes).
[[nodiscard]] bool HasTgaFooter(std::span<const uint8_t> data);
// alphaToMask moves the alpha of 32-bit and grey-and-alpha pictures into Mask and leaves 24
// bits.
[[nodiscard]] TgaPicture DecodeTga(std::span<const uint8_t> data, const std::string& source,
                                   bool alphaToMask);
// Writes a run-length TGA (type 9 for palettised bitmaps, 10 otherwise) with top-left
// origin; a bitmap with a Mask is written at 32 bits with that alpha. The footer and the
// extension area carry transparentValue (-1 none) as the key colour.
[[nodiscard]] std::vector<uint8_t> EncodeTga(const TDIBSurface& bitmap, int64_t transparentValue);

}  // namespace kivo
