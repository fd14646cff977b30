#pragma once
// Windows icon (ICO) and cursor (CUR) files in and out of TDIBSurface. A file may hold
// several images; the caller lists them (to let the user pick one) and decodes one. Each
// image's transparency (its AND mask, or its alpha) becomes the bitmap's Mask. The codec keeps
// no state between calls; damaged data raises KivoError naming its source.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/dib_surface.h"

namespace kivo {

struct IconImageInfo {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t BitCount = 0;
};

struct IconPicture {
    TDIBSurface Bitmap;  // palettised, 15/16 or 24 bits, with Mask
    bool IsCursor = false;
    int32_t HotspotX = 0;  // cursors only
    int32_t HotspotY = 0;
};

[[nodiscard]] bool IsIco(std::span<const uint8_t> data);
// The images of the file in directory order.
[[nodiscard]] std::vector<IconImageInfo> ListIconImages(std::span<const uint8_t> data,
                                                        const std::string& source);
// The line that names image index in the picker: "%.3d : %d x %d  %d bpp".
[[nodiscard]] std::string DescribeIconImage(size_t index, const IconImageInfo& info);
[[nodiscard]] IconPicture DecodeIco(std::span<const uint8_t> data, const std::string& source,
                                    size_t index);
// One 32-bit image with its AND mask; a cursor also stores its hotspot.
[[nodiscard]] std::vector<uint8_t> EncodeIco(const IconPicture& picture);

}  // namespace kivo
