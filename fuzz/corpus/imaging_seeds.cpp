// Seeds of the picture targets: BMP files and bare DIBs of every header, depth and
// compression; TGA files of every image type, depth and origin; icons and cursors of every
// depth; GAL images of every version, encoding and depth, with masks, blocks, keys and
// several frames and layers.

#include <zlib.h>

#include <string>
#include <vector>

#include "corpus_seeds.h"
#include "imaging/dib_surface.h"
#include "imaging/gale_frame_list.h"
#include "imaging/png_codec.h"
#include "support/bitmap_fixtures.h"
#include "support/gal_builder.h"

namespace kivo::corpus {

namespace {

using test::BmpSpec;
using test::GalFile;
using test::GalFrame;
using test::GalLayer;
using test::PaddedRows;
using test::TgaSpec;

constexpr int kWidth = 5;  // odd, so that rows need padding at every depth
constexpr int kHeight = 3;

// Pixel values for PaddedRows: indexes below 2^bits, or colours with every channel used.
std::vector<uint32_t> Pixels(int bits, int width = kWidth, int height = kHeight) {
    std::vector<uint32_t> values;
    for (int i = 0; i < width * height; ++i) {
        const auto n = static_cast<uint32_t>(i);
        values.push_back(bits <= 8    ? n % (1u << bits)
                         : bits <= 16 ? n * 0x0C63u
                                      : n * 0x00335577u | (bits == 32 ? (n * 40u) << 24 : 0u));
    }
    return values;
}

// A grey ramp colour table of 2^bits entries (or `entries`), `size` bytes an entry.
std::vector<uint8_t> Palette(int bits, size_t size, size_t entries = 0) {
    if (entries == 0) entries = size_t{1} << bits;
    std::vector<uint8_t> table;
    for (size_t i = 0; i < entries; ++i) {
        const auto v = static_cast<uint8_t>(i * 255 / (entries > 1 ? entries - 1 : 1));
        table.insert(table.end(), {v, static_cast<uint8_t>(255 - v), v});
        if (size == 4) table.push_back(0);
    }
    return table;
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<uint8_t> out(size);
    compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 1);
    out.resize(size);
    return out;
}

// ---- BMP -------------------------------------------------------------------------------------

std::vector<std::pair<std::string, BmpSpec>> BmpLayouts() {
    std::vector<std::pair<std::string, BmpSpec>> layouts;
    for (int bits : {1, 4, 8, 24}) {
        layouts.push_back({"core_" + std::to_string(bits),
                           {.headerSize = 12,
                            .width = kWidth,
                            .height = kHeight,
                            .bits = static_cast<uint16_t>(bits),
                            .palette = bits <= 8 ? Palette(bits, 3) : std::vector<uint8_t>{},
                            .pixels = PaddedRows(kWidth, kHeight, bits, Pixels(bits))}});
    }
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        layouts.push_back(
            {"v3_" + std::to_string(bits),
             {.width = kWidth,
              .height = bits == 24 ? -kHeight : kHeight,  // one top-down file
              .bits = static_cast<uint16_t>(bits),
              .colorsUsed = bits == 8 ? 3u : 0u,
              .palette = bits <= 8 ? Palette(bits, 4, bits == 8 ? 3 : 0) : std::vector<uint8_t>{},
              .pixels = PaddedRows(kWidth, kHeight, bits, bits == 8 ? Pixels(1) : Pixels(bits))}});
    }
    struct Fields {
        const char* name;
        uint32_t headerSize;
        uint16_t bits;
        std::vector<uint32_t> masks;
    };
    const Fields fields[] = {
        {"v3_fields_565", 40, 16, {0xF800, 0x07E0, 0x001F}},
        {"v3_fields_32", 40, 32, {0x00FF0000, 0x0000FF00, 0x000000FF}},
        {"v4_fields_1555", 108, 16, {0x7C00, 0x03E0, 0x001F, 0x8000}},
        {"v5_fields_4444", 124, 16, {0x0F00, 0x00F0, 0x000F, 0xF000}},
        {"v5_fields_abgr", 124, 32, {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000}},
    };
    for (const Fields& f : fields) {
        layouts.push_back({f.name,
                           {.headerSize = f.headerSize,
                            .width = kWidth,
                            .height = kHeight,
                            .bits = f.bits,
                            .compression = 3,
                            .masks = f.masks,
                            .pixels = PaddedRows(kWidth, kHeight, f.bits, Pixels(f.bits))}});
    }
    layouts.push_back({"v4_24",
                       {.headerSize = 108,
                        .width = kWidth,
                        .height = kHeight,
                        .bits = 24,
                        .masks = {0xFF0000, 0x00FF00, 0x0000FF, 0},
                        .pixels = PaddedRows(kWidth, kHeight, 24, Pixels(24))}});
    // Run-length files: a run, an absolute run (padded), a delta, line and bitmap ends.
    layouts.push_back({"rle8",
                       {.width = 4,
                        .height = 2,
                        .bits = 8,
                        .compression = 1,
                        .colorsUsed = 2,
                        .palette = Palette(1, 4),
                        .pixels = {2, 1, 0, 3, 1, 0, 1, 0, 0, 0, 0, 2, 1, 0, 1, 1, 0, 1}}});
    layouts.push_back({"rle4",
                       {.width = 5,
                        .height = 2,
                        .bits = 4,
                        .compression = 2,
                        .colorsUsed = 4,
                        .palette = Palette(2, 4),
                        .pixels = {3, 0x12, 0, 0, 0, 3, 0x31, 0x20, 0, 1}}});
    return layouts;
}

// ---- TGA -------------------------------------------------------------------------------------

// Pixels of bytesPerPixel bytes each, as TGA stores them (no row padding).
std::vector<uint8_t> TgaPixels(int bytesPerPixel, int count) {
    std::vector<uint8_t> out;
    for (int i = 0; i < count; ++i) {
        for (int b = 0; b < bytesPerPixel; ++b)
            out.push_back(static_cast<uint8_t>(i * 37 + b * 91));
    }
    return out;
}

// The same pixels cut into packets: a repeat packet of the first pixel twice, then raw packets.
std::vector<uint8_t> TgaPackets(int bytesPerPixel, int count) {
    const std::vector<uint8_t> pixels = TgaPixels(bytesPerPixel, count);
    const auto pixel = [&](int i) {
        return std::vector<uint8_t>(pixels.begin() + i * bytesPerPixel,
                                    pixels.begin() + (i + 1) * bytesPerPixel);
    };
    std::vector<uint8_t> out = {0x81};
    const std::vector<uint8_t> first = pixel(0);
    out.insert(out.end(), first.begin(), first.end());
    for (int i = 2; i < count; i += 3) {
        const int run = std::min(3, count - i);
        out.push_back(static_cast<uint8_t>(run - 1));
        for (int j = i; j < i + run; ++j) {
            const std::vector<uint8_t> p = pixel(j);
            out.insert(out.end(), p.begin(), p.end());
        }
    }
    return out;
}

std::vector<std::pair<std::string, TgaSpec>> TgaLayouts() {
    std::vector<std::pair<std::string, TgaSpec>> layouts;
    const int count = kWidth * kHeight;
    for (int mapBits : {15, 16, 24, 32}) {
        const int entryBytes = (mapBits + 7) / 8;
        for (bool packed : {false, true}) {
            layouts.push_back(
                {"mapped_" + std::to_string(mapBits) + (packed ? "_rle" : ""),
                 {.mapType = 1,
                  .type = static_cast<uint8_t>(packed ? 9 : 1),
                  .mapFirst = 1,
                  .mapLength = 4,
                  .mapBits = static_cast<uint8_t>(mapBits),
                  .width = kWidth,
                  .height = kHeight,
                  .depth = 8,
                  .map = TgaPixels(entryBytes, 4),
                  .pixels = packed
                                ? std::vector<uint8_t>{static_cast<uint8_t>(0x80 | (count - 1)), 2}
                                : std::vector<uint8_t>(static_cast<size_t>(count), 3)}});
        }
    }
    const uint8_t origins[] = {0x00, 0x20, 0x10, 0x30};
    int origin = 0;
    for (int depth : {15, 16, 24, 32}) {
        const int bytes = (depth + 7) / 8;
        const auto alphaBits = static_cast<uint8_t>(depth == 32 ? 8 : depth == 16 ? 1 : 0);
        for (bool packed : {false, true}) {
            layouts.push_back(
                {"true_" + std::to_string(depth) + (packed ? "_rle" : ""),
                 {.type = static_cast<uint8_t>(packed ? 10 : 2),
                  .width = kWidth,
                  .height = kHeight,
                  .depth = static_cast<uint8_t>(depth),
                  .descriptor = static_cast<uint8_t>(origins[origin++ % 4] | alphaBits),
                  .pixels = packed ? TgaPackets(bytes, count) : TgaPixels(bytes, count)}});
        }
    }
    for (int depth : {8, 16}) {
        for (bool packed : {false, true}) {
            layouts.push_back(
                {"grey_" + std::to_string(depth) + (packed ? "_rle" : ""),
                 {.type = static_cast<uint8_t>(packed ? 11 : 3),
                  .width = kWidth,
                  .height = kHeight,
                  .depth = static_cast<uint8_t>(depth),
                  .descriptor = static_cast<uint8_t>(depth == 16 ? 8 : 0),
                  .pixels = packed ? TgaPackets(depth / 8, count) : TgaPixels(depth / 8, count)}});
        }
    }
    layouts.push_back({"footer_key_id",
                       {.width = kWidth,
                        .height = kHeight,
                        .depth = 32,
                        .descriptor = 0x28,
                        .id = {'k', 'i', 'v', 'o'},
                        .pixels = TgaPixels(4, count),
                        .footer = true,
                        .keyColor = 0xFF0000FF}});
    return layouts;
}

// ---- ICO and CUR -----------------------------------------------------------------------------

// An icon image: a DIB whose header counts the AND mask's rows too, then the AND mask.
std::vector<uint8_t> IconDib(int bits, int size) {
    std::vector<uint8_t> dib =
        test::WriteDib({.width = size,
                        .height = size * 2,
                        .bits = static_cast<uint16_t>(bits),
                        .palette = bits <= 8 ? Palette(bits, 4) : std::vector<uint8_t>{},
                        .pixels = PaddedRows(size, size, bits, Pixels(bits, size, size))});
    std::vector<uint32_t> mask;
    for (int i = 0; i < size * size; ++i)
        mask.push_back(i % 3 == 0 ? 1 : 0);
    const std::vector<uint8_t> rows = PaddedRows(size, size, 1, mask);
    dib.insert(dib.end(), rows.begin(), rows.end());
    return dib;
}

std::vector<uint8_t> IconPng(int size) {
    TDIBSurface bitmap(size, size, 32);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x)
            bitmap.SetPixel(x, y, static_cast<uint32_t>(x * 40 | y * 40 << 8 | (x + y) * 30 << 24));
    }
    return EncodePng(bitmap);
}

// ---- GAL -------------------------------------------------------------------------------------

constexpr uint8_t kZlib = 0;  // encodings of the header
constexpr uint8_t kRaw = 1;

// Data is stored raw only where the header says so; files before version 103 have no
// encoding field and are always compressed.
std::vector<uint8_t> Stored(const GalFile& file, std::vector<uint8_t> rows) {
    const bool raw = file.magic && file.version >= 103 && file.encoding == kRaw;
    return raw ? rows : Deflate(rows);
}

// The rows of a layer of the given depth as stored for the file. The reader takes any row
// order, so keyed and legacy files need no permutation here.
std::vector<uint8_t> LayerData(const GalFile& file, int bits, int width, int height,
                               uint32_t salt) {
    std::vector<uint32_t> values = Pixels(bits, width, height);
    for (uint32_t& v : values)
        v ^= bits <= 8 ? salt % (1u << bits) : salt * 0x010101u;
    return Stored(file, PaddedRows(width, height, bits, values));
}

std::vector<uint8_t> MaskData(const GalFile& file, int width, int height) {
    std::vector<uint32_t> alpha;
    for (int i = 0; i < width * height; ++i)
        alpha.push_back(static_cast<uint32_t>(i * 255 / (width * height)));
    return Stored(file, PaddedRows(width, height, 8, alpha));
}

GalFrame Frame(const GalFile& file, int bits, int layers, bool masks) {
    GalFrame frame{.width = kWidth,
                   .height = kHeight,
                   .bits = bits,
                   .palette = bits <= 8 ? Palette(bits, 4) : std::vector<uint8_t>{}};
    for (int l = 0; l < layers; ++l) {
        frame.layers.push_back(
            {.transparentValue = l == 0 ? -1 : 1,
             .opacity = l == 0 ? 255 : 128,
             .alphaFlag = static_cast<uint8_t>(masks ? 1 : 0),
             .name = "Layer" + std::to_string(l + 1),
             .colour = LayerData(file, bits, kWidth, kHeight, static_cast<uint32_t>(l) * 7),
             .mask = masks ? MaskData(file, kWidth, kHeight) : std::vector<uint8_t>{}});
    }
    if (file.magic && file.version >= 104) {
        frame.updateRects = {{0, 0, 2, 2}};
        frame.extraRects = {{1, 1, 3, 2}, {0, 0, 1, 1}};
    }
    return frame;
}

void PutI32(std::vector<uint8_t>& out, int32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}

// An 8-bit 4 x 2 picture in 2 x 2 blocks: the second frame repeats its own first block and
// takes the first block of frame 0's layer 0.
GalFile BlockFile(uint8_t keyed) {
    GalFile file{.keyed = keyed, .encoding = kRaw, .blockWidth = 2, .blockHeight = 2};
    std::vector<uint8_t> first;
    PutI32(first, -1), PutI32(first, 0), PutI32(first, -2), PutI32(first, 0);
    first.insert(first.end(), {10, 11, 20, 21});
    std::vector<uint8_t> second;
    PutI32(second, 0), PutI32(second, 0), PutI32(second, -1), PutI32(second, 0);
    second.insert(second.end(), {7, 8, 9, 6});
    file.frames.push_back({.width = 4, .height = 2, .bits = 8, .layers = {{.colour = first}}});
    file.frames.push_back(
        {.name = "Frame2", .width = 4, .height = 2, .bits = 8, .layers = {{.colour = second}}});
    return file;
}

}  // namespace

void BmpSeeds(SeedFolder& seeds) {
    for (const auto& [name, layout] : BmpLayouts()) {
        seeds.Add(name + ".bmp", test::WriteBmp(layout));
        // The target reads every input as a bare DIB too.
        if (layout.compression == 0 && layout.headerSize == 40)
            seeds.Add(name + ".dib", test::WriteDib(layout));
    }
}

void TgaSeeds(SeedFolder& seeds) {
    for (const auto& [name, layout] : TgaLayouts())
        seeds.Add(name + ".tga", test::WriteTga(layout));
}

void IcoSeeds(SeedFolder& seeds) {
    std::vector<test::IcoImage> every;
    for (int bits : {1, 4, 8, 24, 32}) {
        test::IcoImage image{.width = 4,
                             .height = 4,
                             .field6 = static_cast<uint16_t>(bits),
                             .data = IconDib(bits, 4)};
        seeds.Add("icon_" + std::to_string(bits) + ".ico", test::WriteIco(1, {image}));
        every.push_back(image);
    }
    every.push_back({.width = 0, .height = 0, .field6 = 32, .data = IconPng(8)});
    seeds.Add("icon_every_depth.ico", test::WriteIco(1, every));
    seeds.Add("icon_png.ico",
              test::WriteIco(1, {{.width = 8, .height = 8, .field6 = 32, .data = IconPng(8)}}));
    seeds.Add("cursor.cur",
              test::WriteIco(
                  2, {{.width = 4, .height = 4, .field4 = 1, .field6 = 2, .data = IconDib(8, 4)}}));
    seeds.Add(
        "cursor_two.cur",
        test::WriteIco(
            2, {{.width = 4, .height = 4, .field4 = 3, .field6 = 0, .data = IconDib(1, 4)},
                {.width = 4, .height = 4, .field4 = 0, .field6 = 3, .data = IconDib(24, 4)}}));
}

void GalSeeds(SeedFolder& seeds) {
    // Every depth in the newest version, raw and compressed, with two layers and masks.
    for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
        for (uint8_t encoding : {kZlib, kRaw}) {
            GalFile file{.encoding = encoding};
            file.frames.push_back(Frame(file, bits, 2, bits >= 24));
            seeds.Add(
                "gal106_" + std::to_string(bits) + (encoding == kRaw ? "_raw" : "_zlib") + ".gal",
                test::WriteGal(file));
        }
    }
    // Every version: no magic at all, the versions before the header record, and after it.
    for (int version : {0, 100, 101, 102, 103, 104, 105}) {
        GalFile file{.version = version, .magic = version != 0, .background = 0x203040};
        file.firstLayerOpaque = 1;
        file.frames.push_back(Frame(file, 24, 2, version >= 100));
        file.frames.push_back(Frame(file, 8, 1, false));
        file.frames.back().transparentValue = 2;
        seeds.Add("gal" + std::to_string(version) + ".gal", test::WriteGal(file));
    }
    GalFile keyed{.keyed = 1, .encoding = kRaw};
    keyed.frames.push_back(Frame(keyed, 24, 1, true));
    seeds.Add("gal106_keyed.gal", test::WriteGal(keyed));
    seeds.Add("gal106_blocks.gal", test::WriteGal(BlockFile(0)));
    seeds.Add("gal106_blocks_keyed.gal", test::WriteGal(BlockFile(1)));
    GalFile wide{.headerSize = 60};
    wide.frames.push_back(Frame(wide, 32, 1, false));
    seeds.Add("gal106_long_header.gal", test::WriteGal(wide));

    // JPEG colour layers come from the player's writer: the fixture writer stores data as
    // given and has no JPEG encoder of its own.
    GalFile masked{.encoding = kZlib};
    masked.frames.push_back(Frame(masked, 24, 1, true));
    TGaleFrameList list(0);
    list.LoadFromBytes(test::WriteGal(masked), "masked.gal", false);
    seeds.Add("gal106_jpeg.gal", list.SaveToBytes(GaleEncoding::Jpeg, 60));
}

}  // namespace kivo::corpus
