#pragma once
// Pixel buffers handed between the raster code, the scene and the platform's presenter: frames
// of 32-bit pixels (bytes B, G, R, X in memory) seen through borrowed views, and owned ARGB
// pictures for window icons and cursors. Plain data, so that imaging and the scene can make
// and read them without knowing the window.

#include <cstdint>
#include <vector>

namespace kivo {

// A borrowed view of a frame buffer: rows of width pixels, stride pixels apart, each pixel a
// little-endian uint32 0xXXRRGGBB (bytes B, G, R, X in memory).
struct FrameView {
    const uint32_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
};

// The same layout, writable: the target into which bitmaps are presented (the player's
// equivalent of a device context). The caller owns the pixels; stride is at least width.
struct MutableFrameView {
    uint32_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
};

// An owned 32-bit picture the platform takes as it is, for window icons and cursors: width x
// height pixels in top-down rows without padding, each 0xAARRGGBB with straight (not
// premultiplied) alpha.
struct ArgbImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
};

}  // namespace kivo
