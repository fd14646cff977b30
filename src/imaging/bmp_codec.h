#pragma once
// Windows bitmaps (BMP and DIB) in and out of TDIBSurface: core, version 3, 4 and 5 headers,
// 1, 4, 8, 16, 24 and 32 bits, RLE4 and RLE8, bit fields and top-down rows. The codec keeps
// no state between calls; damaged data raises KivoError naming its source.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/dib_surface.h"

namespace kivo {

struct DibPicture {
    // 1, 4 and 8 bits palettised; 16 bits without an alpha mask as 15 (5-5-5) or 16 (5-6-5);
    // 24 bits; other layouts as 32 bits with the alpha in the fourth byte. A 32-bit bitmap whose fourth
    // bytes are all 0 is opaque: they become 255.
    TDIBSurface Bitmap;
    // Where the colour rows ended in the data (an icon's AND mask follows them).
    size_t End = 0;
};

[[nodiscard]] bool IsBmp(std::span<const uint8_t> data);
// A whole BMP file.
[[nodiscard]] TDIBSurface DecodeBmp(std::span<const uint8_t> data, const std::string& source);
// A device-independent bitmap without the file header: the info header, the colour table and
// the rows, as icons store them. heightDivisor 2 reads an icon image, whose header counts the
// AND mask's rows too.
[[nodiscard]] DibPicture DecodeDib(std::span<const uint8_t> dib, const std::string& source,
                                   int heightDivisor = 1);
// A BMP file with a version 3 header, bottom-up rows, the bitmap's own depth (5-6-5 through
// bit fields).
[[nodiscard]] std::vector<uint8_t> EncodeBmp(const TDIBSurface& bitmap);

}  // namespace kivo
