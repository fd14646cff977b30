#include "imaging/gale_frame_list.h"

#include <zlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include <gtest/gtest.h>

#include "base/byte_io.h"
#include "base/error.h"
#include "storage/tp_random.h"
#include "support/bitmap_fixtures.h"
#include "support/gal_builder.h"

namespace kivo {
namespace {

using test::GalFile;
using test::GalFrame;
using test::GalLayer;
using test::PaddedRows;
using test::WriteGal;

std::vector<uint8_t> Zlib(const std::vector<uint8_t>& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<uint8_t> out(size);
    EXPECT_EQ(compress(out.data(), &size, data.data(), static_cast<uLong>(data.size())), Z_OK);
    out.resize(size);
    return out;
}

// Stores rows in the keyed order: stored row i is bitmap row Draw().
std::vector<uint8_t> PermuteRows(const std::vector<uint8_t>& rows, size_t pitch, int32_t seed) {
    const size_t height = rows.size() / pitch;
    TTpRandom random(seed);
    random.Shuffle(static_cast<int32_t>(height));
    std::vector<uint8_t> out(rows.size());
    for (size_t i = 0; i < height; ++i) {
        const auto row = static_cast<size_t>(random.Draw());
        std::copy_n(rows.begin() + static_cast<ptrdiff_t>(row * pitch), pitch,
                    out.begin() + static_cast<ptrdiff_t>(i * pitch));
    }
    return out;
}

void PutI32(std::vector<uint8_t>& out, int32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}

TGaleFrameList Load(const std::vector<uint8_t>& bytes, int32_t code = 0, bool firstOnly = false) {
    TGaleFrameList list(code);
    list.LoadFromBytes(bytes, "test.gal", firstOnly);
    return list;
}

GalFile MinimalRgb() {
    GalFile file;
    // Red, green / blue, white as 0xRRGGBB.
    file.frames.push_back(
        {.width = 2,
         .height = 2,
         .bits = 24,
         .layers = {{.colour = PaddedRows(2, 2, 24, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF})}}});
    return file;
}

TEST(GaleFrameList, MinimalFileDecodesAndSavesToTheSameBytes) {
    const std::vector<uint8_t> bytes = WriteGal(MinimalRgb());
    TGaleFrameList list = Load(bytes);
    ASSERT_EQ(list.Count(), 1u);
    const TGaleFrame& frame = list[0];
    EXPECT_EQ(list.Version, 106);
    EXPECT_EQ(frame.Delay, 100);
    EXPECT_EQ(frame.TransparentValue, -1);
    EXPECT_EQ(frame.TransparentColor, -1);
    EXPECT_FALSE(frame.Bitmap.HasMask());
    EXPECT_TRUE(frame.Layers.empty());
    EXPECT_EQ(frame.Bitmap.BitCount(), 24);
    EXPECT_EQ(frame.Bitmap.GetPixel(0, 0), 0xFF0000u);
    EXPECT_EQ(frame.Bitmap.GetPixel(1, 0), 0x00FF00u);
    EXPECT_EQ(frame.Bitmap.GetPixel(0, 1), 0x0000FFu);
    EXPECT_EQ(frame.Bitmap.GetPixel(1, 1), 0xFFFFFFu);
    list.IdentificationCode = 0;
    EXPECT_EQ(list.SaveToBytes(GaleEncoding::Raw, list.JpegQuality), bytes);
}

TEST(GaleFrameList, BlockTableRepeatsAndReferencesBlocks) {
    // A 4 x 2 8-bit image in 2 x 2 blocks: block 0 stored, block 1 a copy of block 0.
    GalFile file;
    file.blockWidth = 2;
    file.blockHeight = 2;
    std::vector<uint8_t> data;
    PutI32(data, -1), PutI32(data, 0), PutI32(data, -2), PutI32(data, 0);
    data.insert(data.end(), {10, 11, 20, 21});  // two rows of two pixels
    file.frames.push_back({.width = 4, .height = 2, .bits = 8, .layers = {{.colour = data}}});
    // A second frame takes block 0 from frame 0, layer 0 and stores block 1 itself.
    std::vector<uint8_t> second;
    PutI32(second, 0), PutI32(second, 0), PutI32(second, -1), PutI32(second, 0);
    second.insert(second.end(), {7, 8, 9, 6});
    file.frames.push_back(
        {.name = "Frame2", .width = 4, .height = 2, .bits = 8, .layers = {{.colour = second}}});
    TGaleFrameList list = Load(WriteGal(file));
    ASSERT_EQ(list.Count(), 2u);
    const uint32_t first[2][4] = {{10, 11, 10, 11}, {20, 21, 20, 21}};
    const uint32_t next[2][4] = {{10, 11, 7, 8}, {20, 21, 9, 6}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(list[0].Bitmap.GetPixel(x, y), first[y][x]) << x << "," << y;
            EXPECT_EQ(list[1].Bitmap.GetPixel(x, y), next[y][x]) << x << "," << y;
        }
    }
}

TEST(GaleFrameList, KeyedRowsFollowTheIdentificationCode) {
    // One pixel per row; stored row i holds the value i.
    GalFile file;
    file.keyed = 1;
    file.frames.push_back({.width = 1,
                           .height = 4,
                           .bits = 8,
                           .layers = {{.colour = PaddedRows(1, 4, 8, {0, 1, 2, 3})}}});
    const std::vector<uint8_t> bytes = WriteGal(file);
    EXPECT_TRUE(TGaleFrameList::IsKeyed(bytes));
    TGaleFrameList list = Load(bytes, 1);
    const uint32_t expected[4] = {1, 0, 3, 2};  // bitmap row r holds stored row expected[r]
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(list[0].Bitmap.GetPixel(0, y), expected[y]) << y;
    // Another code decodes without complaint into another order.
    TGaleFrameList wrong = Load(bytes, 7);
    std::vector<uint32_t> rows;
    for (int y = 0; y < 4; ++y)
        rows.push_back(wrong[0].Bitmap.GetPixel(0, y));
    EXPECT_NE(rows, std::vector<uint32_t>({1, 0, 3, 2}));
}

TEST(GaleFrameList, LegacyFilesUseTheLegacyRowOrder) {
    struct Case {
        bool magic;
        int version;
        bool readsBackground;
    };
    const Case cases[] = {
        {false, 0, false}, {true, 100, false}, {true, 101, false}, {true, 102, true}};
    const std::vector<uint32_t> pixels = {1, 2, 3, 4, 5, 6};  // 1 x 6
    const std::vector<uint8_t> rows = PaddedRows(1, 6, 8, pixels);
    for (const Case& c : cases) {
        GalFile file;
        file.magic = c.magic;
        file.version = c.version;
        file.background = 0x123456;
        file.frames.push_back(
            {.width = 1,
             .height = 6,
             .bits = 8,
             .layers = {{.colour = Zlib(PermuteRows(rows, 4, kLegacyGaleRowSeed))}}});
        TGaleFrameList list = Load(WriteGal(file));
        EXPECT_EQ(list.Version, c.version);
        EXPECT_EQ(list.BackgroundColor, c.readsBackground ? 0x123456u : 0u) << c.version;
        for (int y = 0; y < 6; ++y)
            EXPECT_EQ(list[0].Bitmap.GetPixel(0, y), pixels[static_cast<size_t>(y)]);
    }
}

TEST(GaleFrameList, FirstOnlyReadsOneFrame) {
    GalFile file = MinimalRgb();
    for (int i = 0; i < 9; ++i)
        file.frames.push_back(file.frames[0]);
    EXPECT_EQ(Load(WriteGal(file)).Count(), 10u);
    EXPECT_EQ(Load(WriteGal(file), 0, true).Count(), 1u);
}

TEST(GaleFrameList, LayersComposeByMaskAlphaFlagAndKey) {
    const std::vector<uint8_t> black = PaddedRows(2, 1, 24, {0, 0});
    const std::vector<uint8_t> white = PaddedRows(2, 1, 24, {0xFFFFFF, 0xFFFFFF});
    const std::vector<uint8_t> halfMask = Zlib(PaddedRows(2, 1, 8, {255, 128}));
    struct Case {
        const char* name;
        std::vector<GalLayer> layers;
        uint32_t left, right;
        bool frameMask;
    };
    const Case cases[] = {
        // Layer 0 with a mask and the flag gives the frame its mask.
        {"mask at 0",
         {{.alphaFlag = 1, .colour = Zlib(white), .mask = halfMask}},
         0xFFFFFF,
         0xFFFFFF,
         true},
        // The first visible layer at index 1 is drawn through its mask instead.
        {"mask at 1",
         {{.visible = 0, .colour = Zlib(white)},
          {.alphaFlag = 1, .colour = Zlib(white), .mask = halfMask}},
         0xFFFFFF,
         0x7F7F7F,
         false},
        // Without the flag the mask only clears the key; the layer is copied.
        {"no flag", {{.colour = Zlib(white), .mask = halfMask}}, 0xFFFFFF, 0xFFFFFF, false},
        // A keyed layer over another leaves the key's pixels alone.
        {"keyed",
         {{.colour = Zlib(PaddedRows(2, 1, 24, {0x112233, 0x112233}))},
          {.transparentValue = 0xFFFFFF,
           .colour = Zlib(PaddedRows(2, 1, 24, {0xFFFFFF, 0x000001}))}},
         0x112233,
         0x000001,
         false},
        // An opaque layer over a layer that gave the frame its mask keeps that mask.
        {"opaque over a mask",
         {{.alphaFlag = 1, .colour = Zlib(white), .mask = halfMask}, {.colour = Zlib(black)}},
         0x000000,
         0x000000,
         true},
        // Opacity 128 over black: (255 x 128) div 255 on 24 bits.
        {"opacity",
         {{.colour = Zlib(black)}, {.opacity = 128, .colour = Zlib(white)}},
         0x808080,
         0x808080,
         false},
    };
    for (const Case& c : cases) {
        GalFile file;
        file.encoding = 0;
        file.frames.push_back({.width = 2, .height = 1, .bits = 24, .layers = c.layers});
        TGaleFrameList list = Load(WriteGal(file));
        const TDIBSurface& bitmap = list[0].Bitmap;
        EXPECT_EQ(bitmap.GetPixel(0, 0), c.left) << c.name;
        EXPECT_EQ(bitmap.GetPixel(1, 0), c.right) << c.name;
        EXPECT_EQ(bitmap.HasMask(), c.frameMask) << c.name;
        if (c.frameMask) {
            EXPECT_EQ(bitmap.Mask()->GetPixel(1, 0), 128u);
        }
    }
}

TEST(GaleFrameList, FirstLayerOpaqueIsReadFromVersion105) {
    // A first layer keyed on white over a grey background: with the flag read, it is copied
    // key and all; without, its white pixel shows the background.
    const std::vector<uint8_t> layer = Zlib(PaddedRows(2, 1, 24, {0x112233, 0xFFFFFF}));
    const int versions[] = {104, 105, 106};
    for (const int version : versions) {
        GalFile file;
        file.version = version;
        file.encoding = 0;
        file.background = 0x808080;
        file.firstLayerOpaque = 1;
        file.frames.push_back({.width = 2,
                               .height = 1,
                               .bits = 24,
                               .layers = {{.transparentValue = 0xFFFFFF, .colour = layer}}});
        const TGaleFrameList list = Load(WriteGal(file));
        const bool opaque = version >= 105;
        EXPECT_EQ(list.FirstLayerOpaque, opaque) << version;
        EXPECT_EQ(list[0].Bitmap.GetPixel(0, 0), 0x112233u) << version;
        EXPECT_EQ(list[0].Bitmap.GetPixel(1, 0), opaque ? 0xFFFFFFu : 0x808080u) << version;
    }
}

TEST(GaleFrameList, RectangleListsAreReadFromVersion104) {
    GalFile file = MinimalRgb();
    file.frames[0].updateRects = {{0, 0, 1, 1}};
    file.frames[0].extraRects = {{1, 1, 2, 2}, {0, 1, 1, 2}};
    TGaleFrameList list = Load(WriteGal(file));
    ASSERT_EQ(list[0].UpdateRects.size(), 1u);
    EXPECT_EQ(list[0].UpdateRects[0], (TRect{0, 0, 1, 1}));
    EXPECT_EQ(list[0].ExtraRects.size(), 2u);
    file.version = 103;
    EXPECT_TRUE(Load(WriteGal(file))[0].UpdateRects.empty());
}

// A picture with every pixel different, at any depth.
TDIBSurface Noise(int width, int height, int bits, uint32_t seed, bool mask) {
    TDIBSurface bitmap(width, height, bits);
    std::mt19937 random(seed);
    if (bits <= 8) {
        for (int i = 0; i < bitmap.PaletteSize(); ++i) {
            bitmap.Palette()[static_cast<size_t>(i)] = {static_cast<uint8_t>(random()),
                                                        static_cast<uint8_t>(random()),
                                                        static_cast<uint8_t>(random()), 0};
        }
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t v = random();
            if (bits == 32) v &= 0xFFFFFF;  // the fourth byte of frames is unused
            bitmap.SetPixel(x, y, v);
        }
    }
    if (mask) {
        TDIBSurface& m = bitmap.CreateMask();
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                m.SetPixel(x, y, random());
        }
    }
    return bitmap;
}

TEST(GaleFrameList, RoundTripsEveryDepthEncodingAndCode) {
    for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
        for (GaleEncoding encoding : {GaleEncoding::Zlib, GaleEncoding::Raw}) {
            for (int32_t code : {0, 1, 0x5EED}) {
                const bool withMask = bits >= 15 || code == 1;
                TGaleFrameList list(code);
                list.AssignPicture(
                    Noise(7, 5, bits, static_cast<uint32_t>(bits * 31 + code), withMask), -1);
                list[0].Delay = 33;
                list.Frames.push_back(std::make_unique<TGaleFrame>());
                list[1].Bitmap = Noise(7, 5, bits, 99, false);
                list[1].Delay = 250;
                const std::vector<uint8_t> bytes = list.SaveToBytes(encoding);
                EXPECT_EQ(TGaleFrameList::IsKeyed(bytes), code != 0);
                TGaleFrameList back = Load(bytes, code);
                ASSERT_EQ(back.Count(), 2u);
                for (size_t f = 0; f < 2; ++f) {
                    const TDIBSurface& a = list[f].Bitmap;
                    const TDIBSurface& b = back[f].Bitmap;
                    SCOPED_TRACE(testing::Message()
                                 << bits << " bits, encoding " << static_cast<int>(encoding)
                                 << ", code " << code << ", frame " << f);
                    EXPECT_EQ(b.BitCount(), bits);
                    EXPECT_EQ(back[f].Delay, list[f].Delay);
                    EXPECT_TRUE(std::equal(a.Bits().begin(), a.Bits().end(), b.Bits().begin(),
                                           b.Bits().end()));
                    if (bits <= 8) {
                        EXPECT_EQ(a.Palette(), b.Palette());
                    }
                    ASSERT_EQ(a.HasMask(), b.HasMask());
                    if (a.HasMask()) {
                        EXPECT_TRUE(std::equal(a.Mask()->Bits().begin(), a.Mask()->Bits().end(),
                                               b.Mask()->Bits().begin(), b.Mask()->Bits().end()));
                    }
                }
            }
        }
    }
}

TEST(GaleFrameList, JpegEncodingKeepsColoursWithin30DecibelsAndMasksExactly) {
    TDIBSurface picture(64, 48, 24);
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            picture.SetPixel(x, y, static_cast<uint32_t>((x * 4) << 16 | (y * 5) << 8 | (x + y)));
        }
    }
    TDIBSurface& mask = picture.CreateMask();
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x)
            mask.SetPixel(x, y, static_cast<uint32_t>(x * 4));
    }
    TGaleFrameList list;
    list.AssignPicture(picture, -1);
    TGaleFrameList back = Load(list.SaveToBytes(GaleEncoding::Jpeg, 90));
    EXPECT_EQ(back.Encoding, GaleEncoding::Jpeg);
    const TDIBSurface& b = back[0].Bitmap;
    double squared = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            for (int shift : {0, 8, 16}) {
                const int d = static_cast<int>((picture.GetPixel(x, y) >> shift) & 0xFF) -
                              static_cast<int>((b.GetPixel(x, y) >> shift) & 0xFF);
                squared += d * d;
            }
            EXPECT_EQ(b.Mask()->GetPixel(x, y), static_cast<uint32_t>(x * 4));
        }
    }
    const double psnr = 10 * std::log10(255.0 * 255.0 / (squared / (64 * 48 * 3)));
    EXPECT_GE(psnr, 30.0);
}

TEST(GaleFrameList, WriterStoresTheTransparentPixelValue) {
    struct Case {
        int bits;
        uint32_t value;
    };
    for (const Case& c : {Case{8, 3}, Case{15, 0x7C00}, Case{24, 0x00FF00}}) {
        TGaleFrameList list;
        list.AssignPicture(TDIBSurface(2, 2, c.bits), c.value);
        const std::vector<uint8_t> bytes = list.SaveToBytes(GaleEncoding::Raw);
        // "Gale106", header size, header, then the name "Frame1" and the value.
        const size_t field = 7 + 4 + 40 + 4 + 6;
        EXPECT_EQ(LoadLE32(bytes.data() + field), c.value) << c.bits;
        EXPECT_EQ(Load(bytes)[0].TransparentValue, static_cast<int32_t>(c.value));
    }
}

TEST(GaleFrameList, MakeMaskAndTrim) {
    TGaleFrameList list;
    TDIBSurface bitmap(5, 4, 8);
    bitmap.Fill(9);
    bitmap.SetPixel(1, 1, 2);
    bitmap.SetPixel(3, 2, 4);
    list.AssignPicture(bitmap, 9);
    TGaleFrame& frame = list[0];
    frame.UpdateRects = {{0, 0, 5, 4}, {4, 3, 5, 4}};
    const TRect kept = frame.Trim();
    EXPECT_EQ(kept, (TRect{1, 1, 4, 3}));
    EXPECT_EQ(frame.Bitmap.Width(), 3);
    EXPECT_EQ(frame.Bitmap.GetPixel(0, 0), 2u);
    EXPECT_EQ(frame.Bitmap.GetPixel(2, 1), 4u);
    ASSERT_EQ(frame.UpdateRects.size(), 1u);  // the second rectangle missed the kept area
    EXPECT_EQ(frame.UpdateRects[0], (TRect{0, 0, 3, 2}));
    frame.MakeMask();
    ASSERT_TRUE(frame.Bitmap.HasMask());
    EXPECT_EQ(frame.Bitmap.Mask()->GetPixel(0, 0), 255u);
    EXPECT_EQ(frame.Bitmap.Mask()->GetPixel(1, 0), 0u);

    // All transparent trims to one pixel.
    TDIBSurface empty(3, 3, 8);
    list.AssignPicture(empty, 0);
    list[0].Trim();
    EXPECT_EQ(list[0].Bitmap.Width(), 1);
    EXPECT_EQ(list[0].Bitmap.Height(), 1);
}

TEST(GaleFrameList, ZlibStreamsAreHeldToTheirChecksumWhenTheyEndShortOfTheBitmap) {
    // A 4 x 1 8-bit frame, zlib-encoded: as plain rows the stream fills the bitmap; as a
    // table of two stored 2 x 1 blocks it ends before the largest size blocks could take.
    std::vector<uint8_t> blocks;
    PutI32(blocks, -1), PutI32(blocks, 0), PutI32(blocks, -1), PutI32(blocks, 0);
    blocks.insert(blocks.end(), {1, 2, 3, 4});
    struct Case {
        const char* name;
        bool blocks;
        std::function<void(std::vector<uint8_t>&)> damage;
        bool loads;
    };
    const Case cases[] = {
        {"rows", false, [](std::vector<uint8_t>&) {}, true},
        {"blocks", true, [](std::vector<uint8_t>&) {}, true},
        // A reader that stops at the size it wants never reaches the checksum.
        {"rows, wrong checksum", false, [](std::vector<uint8_t>& z) { z.back() ^= 1; }, true},
        {"blocks, wrong checksum", true, [](std::vector<uint8_t>& z) { z.back() ^= 1; }, false},
        {"blocks, no checksum", true, [](std::vector<uint8_t>& z) { z.resize(z.size() - 4); },
         false},
        {"not deflate", false, [](std::vector<uint8_t>& z) { z[0] = 0x79; }, false},
        {"header check", false, [](std::vector<uint8_t>& z) { z[1] ^= 1; }, false},
        // A preset dictionary (flag 0x20, header check kept) is not something GAL data has.
        {"dictionary", false, [](std::vector<uint8_t>& z) { z[1] = 0xBB; }, false},
    };
    for (const Case& c : cases) {
        GalFile file;
        file.encoding = 0;
        if (c.blocks) file.blockWidth = 2, file.blockHeight = 1;
        std::vector<uint8_t> data = Zlib(c.blocks ? blocks : PaddedRows(4, 1, 8, {1, 2, 3, 4}));
        c.damage(data);
        file.frames.push_back({.width = 4, .height = 1, .bits = 8, .layers = {{.colour = data}}});
        if (!c.loads) {
            EXPECT_THROW(Load(WriteGal(file)), KivoError) << c.name;
            continue;
        }
        const TGaleFrameList list = Load(WriteGal(file));
        for (int32_t x = 0; x < 4; ++x)
            EXPECT_EQ(list[0].Bitmap.GetPixel(x, 0), static_cast<uint32_t>(x + 1)) << c.name;
    }
}

TEST(GaleFrameList, DamagedFilesFailWithTheFileName) {
    const std::vector<uint8_t> good = WriteGal(MinimalRgb());
    for (size_t cut = 0; cut < good.size(); ++cut) {
        std::vector<uint8_t> part(good.begin(), good.begin() + static_cast<ptrdiff_t>(cut));
        try {
            Load(part);
            ADD_FAILURE() << "a file cut at " << cut << " was accepted";
        } catch (const KivoError& e) {
            EXPECT_EQ(e.File(), "test.gal");
        }
    }
    auto block = [](int32_t a, int32_t b) {
        std::vector<uint8_t> data;
        PutI32(data, -1), PutI32(data, 0), PutI32(data, a), PutI32(data, b);
        data.insert(data.end(), {1, 2, 3, 4, 5, 6, 7, 8});
        return data;
    };
    struct Case {
        const char* name;
        GalFile file;
    };
    std::vector<Case> cases;
    auto add = [&](const char* name, auto change) {
        GalFile file = MinimalRgb();
        change(file);
        cases.push_back({name, file});
    };
    add("bit count", [](GalFile& f) { f.frames[0].bits = 12; });
    add("huge size", [](GalFile& f) { f.frames[0].width = 1 << 30; });
    add("negative size", [](GalFile& f) { f.frames[0].height = -2; });
    add("short pixels", [](GalFile& f) { f.frames[0].layers[0].colour.resize(10); });
    add("encoding", [](GalFile& f) { f.encoding = 3; });
    add("header size", [](GalFile& f) { f.headerSize = 12; });
    add("zlib garbage", [](GalFile& f) { f.encoding = 0; });
    add("palette index", [](GalFile& f) {
        f.frames[0].bits = 8;
        f.frames[0].transparentValue = 256;
    });
    add("frame count", [](GalFile& f) { f.frames.resize(1); });
    for (auto [a, b, name] : {std::tuple{-2, 5, "later block"}, std::tuple{-3, 0, "bad entry"},
                              std::tuple{1, 0, "later frame"}, std::tuple{0, 3, "missing layer"}}) {
        add(name, [&, a = a, b = b](GalFile& f) {
            f.blockWidth = 2, f.blockHeight = 1;
            f.frames[0] = {.width = 4, .height = 1, .bits = 8, .layers = {{.colour = block(a, b)}}};
        });
    }
    for (Case& c : cases) {
        std::vector<uint8_t> bytes = WriteGal(c.file);
        if (std::string(c.name) == "frame count") bytes[7 + 4 + 16] = 200;
        EXPECT_THROW(Load(bytes), KivoError) << c.name;
    }
}

}  // namespace
}  // namespace kivo

namespace kivo {
namespace {

// Games name their pictures .gal, .png, .bmp or .dib; the player loads nothing under any
// other name, while the tools also take TGA and JPEG pictures.
TEST(GaleFrameListFiles, PlayerReaderChoosesByExtensionToolsReaderTakesMore) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("gal-files-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    const std::vector<uint8_t> bmp =
        test::WriteBmp({.width = 1, .height = 1, .bits = 24, .pixels = {1, 2, 3, 0}});
    for (const char* name : {"pic.BMP", "pic.tga"}) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bmp.data()),
                   static_cast<std::streamsize>(bmp.size()));
    }
    TGaleFrameList list;
    list.LoadFromFile(dir / "pic.BMP");
    EXPECT_EQ(list.Count(), 1u);
    list.LoadFromFile(dir / "pic.tga");
    EXPECT_EQ(list.Count(), 0u);
    list.LoadPictureFile(dir / "pic.tga");
    EXPECT_EQ(list.Count(), 1u);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kivo
