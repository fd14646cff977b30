#pragma once
// Fixture writer for GAL images. It lays out the bytes itself, field by field, without the
// player's GAL writer, so that reader tests do not test the writer against itself. Pixel data
// is given as the bytes to store (tests compress or permute them themselves).
//
//   GalFile file;
//   file.frames.push_back({.width = 2, .height = 2, .bits = 24,
//                          .layers = {{.colour = PaddedRows(2, 2, 24, {...})}}});
//   std::vector<uint8_t> bytes = WriteGal(file);

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kivo::test {

struct GalLayer {
    uint8_t visible = 1;
    int32_t transparentValue = -1;
    int32_t opacity = 255;
    uint8_t alphaFlag = 0;  // written from version 101 on
    std::string name = "Layer";
    std::vector<uint8_t> colour = {};  // stored colour data
    std::vector<uint8_t> mask = {};    // stored mask data; empty writes length 0 (version 100 on)
};

struct GalFrame {
    std::string name = "Frame1";
    int32_t transparentValue = -1;
    int32_t delay = 100;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bits = 24;
    // 4 x 2^bits bytes of (B, G, R, 0) for 8 bits and fewer; padded with zeros when short.
    std::vector<uint8_t> palette = {};
    std::vector<GalLayer> layers = {};
    std::vector<std::array<int32_t, 4>> updateRects = {};  // written from version 104 on
    std::vector<std::array<int32_t, 4>> extraRects = {};
};

struct GalFile {
    int version = 106;
    bool magic = true;  // false writes a version 0 file without "Gale"
    uint8_t keyed = 0;
    uint8_t encoding = 1;
    uint32_t background = 0;
    int32_t blockWidth = 0;
    int32_t blockHeight = 0;
    uint8_t firstLayerOpaque = 0;
    uint8_t jpegQuality = 70;
    int32_t headerSize = 40;  // bytes past 40 are written as zeros
    std::vector<GalFrame> frames = {};
};

[[nodiscard]] std::vector<uint8_t> WriteGal(const GalFile& file);

// Rows of a bitmap as a DIB stores them: each row padded to 4 bytes. pixels holds one value
// per pixel, row by row (1/4/8 bits: index; 16: word; 24: 0xRRGGBB; 32: 0xXXRRGGBB).
[[nodiscard]] std::vector<uint8_t> PaddedRows(int width, int height, int bits,
                                              const std::vector<uint32_t>& pixels);

// A one-layer 24-bit frame of pixels given as 0xRRGGBB, row by row; transparentValue (a pixel
// value, -1 none) keys the frame.
[[nodiscard]] GalFrame RgbFrame(int width, int height, const std::vector<uint32_t>& pixels,
                                int32_t delay = 100, int32_t transparentValue = -1);

}  // namespace kivo::test
