#pragma once
// Fixture writers for BMP, TGA and ICO/CUR files. They lay out every header field by hand
// (one line each, commented) so that codec tests never lean on the player's own writers.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kivo::test {

struct BmpSpec {
    uint32_t headerSize = 40;  // 12 core, 40 version 3, 108 version 4, 124 version 5
    int32_t width = 0;
    int32_t height = 0;  // negative for top-down rows
    uint16_t bits = 24;
    uint32_t compression = 0;  // 0 RGB, 1 RLE8, 2 RLE4, 3 bit fields
    uint32_t colorsUsed = 0;
    // Red, green, blue (and alpha) masks: after a 40-byte header, inside larger ones.
    std::vector<uint32_t> masks = {};
    std::vector<uint8_t> palette = {};  // 4 bytes an entry (3 for the core header)
    std::vector<uint8_t> pixels = {};   // rows as stored
};

// A BMP file: file header, info header, masks, palette, pixels.
[[nodiscard]] std::vector<uint8_t> WriteBmp(const BmpSpec& layout);
// The same without the 14-byte file header, as icons store their images.
[[nodiscard]] std::vector<uint8_t> WriteDib(const BmpSpec& layout);

struct TgaSpec {
    uint8_t mapType = 0;
    uint8_t type = 2;
    uint16_t mapFirst = 0;
    uint16_t mapLength = 0;
    uint8_t mapBits = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t depth = 24;
    uint8_t descriptor = 0;  // 0x20 top-left origin, low bits alpha depth
    std::vector<uint8_t> id = {};
    std::vector<uint8_t> map = {};
    std::vector<uint8_t> pixels = {};  // as stored (packets for types 9 to 11)
    bool footer = false;               // version 2.0 extension area and footer
    uint32_t keyColor = 0;             // A:R:G:B in the extension area
};

[[nodiscard]] std::vector<uint8_t> WriteTga(const TgaSpec& layout);

struct IcoImage {
    uint8_t width = 0;
    uint8_t height = 0;
    uint16_t field4 = 1;             // planes, or hotspot x of a cursor
    uint16_t field6 = 0;             // bit count, or hotspot y of a cursor
    std::vector<uint8_t> data = {};  // DIB (height doubled) + AND mask, or a PNG
    // The byte count the directory gives; the data's own length when unset.
    std::optional<uint32_t> byteCount = std::nullopt;
};

// type 1 icon, 2 cursor.
[[nodiscard]] std::vector<uint8_t> WriteIco(uint16_t type, const std::vector<IcoImage>& images);

}  // namespace kivo::test
