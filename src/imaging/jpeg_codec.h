#pragma once
// JPEG pictures in and out of TDIBSurface, through libjpeg. libjpeg's error manager is
// replaced so that a damaged stream raises KivoError instead of ending the process.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/dib_surface.h"

namespace kivo {

[[nodiscard]] bool IsJpeg(std::span<const uint8_t> data);
// Decodes to a 24-bit bitmap (grey pictures are widened). With a required size, a picture of
// any other size is refused before its pixels are allocated.
[[nodiscard]] TDIBSurface DecodeJpeg(std::span<const uint8_t> data, const std::string& source,
                                     int32_t requiredWidth = -1, int32_t requiredHeight = -1);
// Encodes the colours of any bitmap as a baseline JPEG at quality 1..100.
[[nodiscard]] std::vector<uint8_t> EncodeJpeg(const TDIBSurface& bitmap, int quality);

}  // namespace kivo
