#include <sys/resource.h>

#include <fstream>
#include <functional>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "base/error.h"
#include "imaging/bitmap_readback.h"
#include "imaging/bmp_codec.h"
#include "imaging/ico_codec.h"
#include "imaging/jpeg_codec.h"
#include "imaging/pick_px.h"
#include "imaging/png_codec.h"
#include "imaging/tga_codec.h"
#include "support/bitmap_fixtures.h"

namespace kivo {
namespace {

using test::Colors;
using test::MaskValues;

using test::BmpSpec;
using test::TgaSpec;

// Every shorter prefix of a good file must fail with the file named, never crash.
void ExpectTruncationsFail(const std::vector<uint8_t>& good,
                           const std::function<void(std::span<const uint8_t>)>& decode) {
    for (size_t cut = 0; cut < good.size(); ++cut) {
        try {
            decode({good.data(), cut});
            ADD_FAILURE() << "accepted a file cut at " << cut;
        } catch (const KivoError& e) {
            EXPECT_EQ(e.File(), "f");
        }
    }
}

#if defined(__SANITIZE_ADDRESS__)
#define KIVO_TEST_ADDRESS_SANITIZER
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KIVO_TEST_ADDRESS_SANITIZER
#endif
#endif

// Lets this process's data (its heap and private mappings) grow by at most bytes more.
void LimitDataGrowth(uint64_t bytes) {
    std::ifstream status("/proc/self/status");
    uint64_t usedKb = 0;
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmData:")) usedKb = std::stoull(line.substr(7));
    }
    const rlimit limit{usedKb * 1024 + bytes, usedKb * 1024 + bytes};
    ASSERT_EQ(setrlimit(RLIMIT_DATA, &limit), 0);
}

constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

TEST(BmpCodec, DecodesEveryHeaderAndLayout) {
    struct Case {
        const char* name;
        BmpSpec layout;
        int bits;
        std::vector<uint32_t> colors;  // top row first
    };
    const std::vector<uint8_t> twoColours = {0, 0, 255, 0, 255, 255, 255, 0};  // red, white
    const Case cases[] = {
        {"core 24 bottom-up",
         {.headerSize = 12,
          .width = 2,
          .height = 2,
          .bits = 24,
          // bottom row: blue, white; top row: red, green (rows padded to 8 bytes)
          .pixels = {255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0}},
         24,
         {kRed, kGreen, kBlue, kWhite}},
        {"v3 24 top-down",
         {.width = 2,
          .height = -2,
          .bits = 24,
          .pixels = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0}},
         24,
         {kRed, kGreen, kBlue, kWhite}},
        {"v3 8-bit palette",
         {.width = 3,
          .height = 1,
          .bits = 8,
          .colorsUsed = 2,
          .palette = twoColours,
          .pixels = {1, 0, 1, 0}},
         8,
         {kWhite, kRed, kWhite}},
        {"v3 1-bit",
         {.width = 3, .height = 1, .bits = 1, .palette = twoColours, .pixels = {0xA0, 0, 0, 0}},
         1,
         {kWhite, kRed, kWhite}},
        {"v3 16-bit 5-5-5",
         {.width = 2, .height = 1, .bits = 16, .pixels = {0x00, 0x7C, 0x1F, 0x00}},
         15,
         {kRed, kBlue}},
        {"v3 bit fields 5-6-5",
         {.width = 2,
          .height = 1,
          .bits = 16,
          .compression = 3,
          .masks = {0xF800, 0x07E0, 0x001F},
          .pixels = {0xE0, 0x07, 0xFF, 0xFF}},
         16,
         {kGreen, kWhite}},
        {"v5 32 bit fields ABGR",
         {.headerSize = 124,
          .width = 1,
          .height = 1,
          .bits = 32,
          .compression = 3,
          .masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000},
          .pixels = {255, 0, 0, 0}},
         32,
         {kRed}},
        {"RLE8 with delta and absolute run",
         {.width = 4,
          .height = 2,
          .bits = 8,
          .compression = 1,
          .colorsUsed = 2,
          .palette = twoColours,
          // bottom row: run of 2 x index 1, absolute 3 pixels (padded), end of line;
          // top row: delta (1, 0), run of 1 x index 1, end of bitmap
          .pixels = {2, 1, 0, 3, 1, 0, 1, 0, 0, 0, 0, 2, 1, 0, 1, 1, 0, 1}},
         8,
         {kRed, kWhite, kRed, kRed, kWhite, kWhite, kWhite, kRed}},
        {"RLE4",
         {.width = 3,
          .height = 1,
          .bits = 4,
          .compression = 2,
          .colorsUsed = 2,
          .palette = twoColours,
          // run of 3 alternating 1, 0, 1; end of bitmap
          .pixels = {3, 0x10, 0, 1}},
         4,
         {kWhite, kRed, kWhite}},
    };
    for (const Case& c : cases) {
        const TDIBSurface bitmap = DecodeBmp(test::WriteBmp(c.layout), "f");
        EXPECT_EQ(bitmap.BitCount(), c.bits) << c.name;
        EXPECT_EQ(Colors(bitmap), c.colors) << c.name;
    }
}

TEST(BmpCodec, ThirtyTwoBitsWithoutAlphaAreOpaque) {
    // Two pixels whose fourth bytes are 0: opaque, not invisible.
    BmpSpec layout{.width = 2, .height = 1, .bits = 32, .pixels = {1, 2, 3, 0, 4, 5, 6, 0}};
    TDIBSurface bitmap = DecodeBmp(test::WriteBmp(layout), "f");
    EXPECT_EQ(bitmap.GetPixel(0, 0), 0xFF030201u);
    EXPECT_EQ(bitmap.GetPixel(1, 0), 0xFF060504u);
    // One real alpha value keeps every alpha as stored.
    layout.pixels[7] = 0x80;
    bitmap = DecodeBmp(test::WriteBmp(layout), "f");
    EXPECT_EQ(bitmap.GetPixel(0, 0), 0x00030201u);
    EXPECT_EQ(bitmap.GetPixel(1, 0), 0x80060504u);
}

TEST(BmpCodec, SixteenBitAlphaMasksKeepTheirAlpha) {
    // Two 16-bit pixels, red and blue, in each layout; an alpha mask always widens to 32 bits.
    const std::vector<uint32_t> alpha1555 = {0x7C00, 0x03E0, 0x001F, 0x8000};
    struct Case {
        const char* name;
        uint32_t headerSize, compression;
        std::vector<uint32_t> masks;
        std::vector<uint8_t> pixels;
        std::vector<uint32_t> expected;  // 0xAARRGGBB
    };
    const Case cases[] = {
        {"1-5-5-5, version 4 header",
         108,
         3,
         alpha1555,
         {0x00, 0xFC, 0x1F, 0x00},
         {0xFFFF0000, 0x000000FF}},
        {"1-5-5-5, alpha bit fields after a version 3 header",
         40,
         6,
         alpha1555,
         {0x00, 0xFC, 0x1F, 0x00},
         {0xFFFF0000, 0x000000FF}},
        {"4-4-4-4",
         108,
         3,
         {0x0F00, 0x00F0, 0x000F, 0xF000},
         {0x00, 0xFF, 0x0F, 0x00},
         {0xFFFF0000, 0x000000FF}},
        // An alpha mask that no pixel uses leaves the picture opaque, as at 32 bits.
        {"1-5-5-5 with every alpha bit clear",
         108,
         3,
         alpha1555,
         {0x00, 0x7C, 0x1F, 0x00},
         {0xFFFF0000, 0xFF0000FF}},
    };
    for (const Case& c : cases) {
        const TDIBSurface bitmap = DecodeBmp(test::WriteBmp({.headerSize = c.headerSize,
                                                             .width = 2,
                                                             .height = 1,
                                                             .bits = 16,
                                                             .compression = c.compression,
                                                             .masks = c.masks,
                                                             .pixels = c.pixels}),
                                             "f");
        ASSERT_EQ(bitmap.BitCount(), 32) << c.name;
        EXPECT_EQ(bitmap.GetPixel(0, 0), c.expected[0]) << c.name;
        EXPECT_EQ(bitmap.GetPixel(1, 0), c.expected[1]) << c.name;
    }
}

TEST(BmpCodec, ColourTablesClaimingMoreThanTheDepthIndexesGiveTheirFirstEntries) {
    // 300 entries, entry i being (i, i / 2, 255 - i) up to 255; the pixels use 0 and 255.
    std::vector<uint8_t> table;
    for (int i = 0; i < 300; ++i)
        table.insert(table.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(i / 2),
                                   static_cast<uint8_t>(255 - i), 0});
    const BmpSpec layout{.width = 2,
                         .height = 1,
                         .bits = 8,
                         .colorsUsed = 300,
                         .palette = table,
                         .pixels = {0, 255, 0, 0}};
    const std::vector<uint32_t> expected{0x0000FF, 0xFF7F00};  // 0x00BBGGRR
    EXPECT_EQ(Colors(DecodeBmp(test::WriteBmp(layout), "f")), expected);
    // Without a file header the rows follow the whole table the header claims.
    EXPECT_EQ(Colors(DecodeDib(test::WriteDib(layout), "f").Bitmap), expected);
    BmpSpec cut = layout;
    cut.palette.resize(280 * 4);
    cut.pixels.clear();
    EXPECT_THROW((void)DecodeDib(test::WriteDib(cut), "f"), KivoError);
}

TEST(BmpCodec, RunLengthCodesAreCheckedBeforeTheBitmapIsAllocated) {
#ifdef KIVO_TEST_ADDRESS_SANITIZER
    GTEST_SKIP() << "the sanitizer's shadow memory counts against the data limit";
#endif
    // 2554 x 18803 pixels at 8 bits would take 48 MB; the codes stop inside their second pair.
    const std::vector<uint8_t> file = test::WriteBmp({.width = 2554,
                                                      .height = 18803,
                                                      .bits = 8,
                                                      .compression = 1,
                                                      .colorsUsed = 2,
                                                      .palette = {0, 0, 0, 0, 1, 1, 1, 0},
                                                      .pixels = {2, 1, 0}});
    // In a child process whose data may grow by 16 MB at most, the file must fail as damaged
    // rather than run out of memory.
    EXPECT_EXIT(
        {
            LimitDataGrowth(16 << 20);
            try {
                (void)DecodeBmp(file, "f");
            } catch (const KivoError&) {
                std::exit(0);
            } catch (const std::bad_alloc&) {
                std::exit(1);
            }
            std::exit(2);
        },
        testing::ExitedWithCode(0), "");
}

TDIBSurface Noise(int width, int height, int bits, uint32_t seed) {
    TDIBSurface bitmap(width, height, bits);
    std::mt19937 random(seed);
    for (int i = 0; i < bitmap.PaletteSize(); ++i) {
        bitmap.Palette()[static_cast<size_t>(i)] = {static_cast<uint8_t>(random()),
                                                    static_cast<uint8_t>(random()),
                                                    static_cast<uint8_t>(random()), 0};
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            bitmap.SetPixel(x, y, random() & (bits == 32 ? 0xFFFFFFu : ~0u));
    }
    return bitmap;
}

TEST(BmpCodec, RoundTripsEveryDepth) {
    for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
        const TDIBSurface original = Noise(5, 3, bits, static_cast<uint32_t>(bits));
        TDIBSurface back = DecodeBmp(EncodeBmp(original), "f");
        EXPECT_EQ(back.BitCount(), bits);
        if (bits == 32) {
            // Written with 0 in the fourth bytes, so read back opaque.
            back.Convert(24);
            TDIBSurface wide = original;
            wide.Convert(24);
            EXPECT_EQ(Colors(back), Colors(wide));
        } else {
            EXPECT_EQ(Colors(back), Colors(original)) << bits;
        }
    }
}

TEST(BmpCodec, DamagedFilesFailCleanly) {
    const std::vector<uint8_t> good = test::WriteBmp({.width = 3,
                                                      .height = 2,
                                                      .bits = 8,
                                                      .colorsUsed = 2,
                                                      .palette = {0, 0, 0, 0, 1, 1, 1, 0},
                                                      .pixels = std::vector<uint8_t>(8, 1)});
    ExpectTruncationsFail(good, [](std::span<const uint8_t> d) { (void)DecodeBmp(d, "f"); });
    const BmpSpec bad[] = {
        {.width = 0, .height = 1, .bits = 24, .pixels = {0, 0, 0, 0}},
        {.width = 1, .height = 1, .bits = 7, .pixels = {0, 0, 0, 0}},
        {.width = 1, .height = 1, .bits = 8, .colorsUsed = 300, .pixels = {0, 0, 0, 0}},
        {.width = 100000, .height = 100000, .bits = 32},
        {.width = 1, .height = -1, .bits = 8, .compression = 1, .pixels = {1, 0, 0, 1}},
        {.width = 1, .height = 1, .bits = 24, .compression = 1, .pixels = {1, 0, 0, 1}},
    };
    for (const BmpSpec& layout : bad)
        EXPECT_THROW((void)DecodeBmp(test::WriteBmp(layout), "f"), KivoError);
}

TEST(TgaCodec, DecodesTypesAndOrigins) {
    struct Case {
        const char* name;
        TgaSpec layout;
        std::vector<uint32_t> colors;
    };
    const Case cases[] = {
        {"type 2, 24 bits, bottom-left",
         {.width = 2, .height = 2, .pixels = {255, 0, 0, 255, 255, 255, 0, 0, 255, 0, 255, 0}},
         {kRed, kGreen, kBlue, kWhite}},
        {"type 2, 24 bits, top-left",
         {.width = 2, .height = 1, .descriptor = 0x20, .pixels = {0, 0, 255, 0, 255, 0}},
         {kRed, kGreen}},
        {"type 2, right-to-left",
         {.width = 2, .height = 1, .descriptor = 0x30, .pixels = {0, 0, 255, 0, 255, 0}},
         {kGreen, kRed}},
        {"type 2, 16 bits with attribute bit",
         {.width = 2, .height = 1, .depth = 16, .pixels = {0x1F, 0x80, 0x00, 0xFC}},
         {kBlue, kRed}},
        {"type 1, mapped from entry 1",
         {.mapType = 1,
          .type = 1,
          .mapFirst = 1,
          .mapLength = 2,
          .mapBits = 24,
          .width = 2,
          .height = 1,
          .depth = 8,
          .map = {0, 0, 255, 0, 255, 0},
          .pixels = {2, 1}},
         {kGreen, kRed}},
        {"type 3, grey",
         {.type = 3, .width = 2, .height = 1, .depth = 8, .pixels = {0, 255}},
         {0, kWhite}},
        {"type 10, packets",
         {.type = 10,
          .width = 3,
          .height = 1,
          .descriptor = 0x20,
          .pixels = {0x81, 0, 0, 255, 0x00, 255, 255, 255}},
         {kRed, kRed, kWhite}},
        {"type 9, packets across rows",
         {.mapType = 1,
          .type = 9,
          .mapLength = 2,
          .mapBits = 24,
          .width = 2,
          .height = 2,
          .depth = 8,
          .descriptor = 0x20,
          .map = {0, 0, 255, 255, 255, 255},
          .pixels = {0x82, 1, 0, 0}},
         {kWhite, kWhite, kWhite, kRed}},
        {"type 11, grey packets with an id",
         {.type = 11, .width = 2, .height = 1, .depth = 8, .id = {'h', 'i'}, .pixels = {0x81, 255}},
         {kWhite, kWhite}},
    };
    for (const Case& c : cases) {
        const TgaPicture picture = DecodeTga(test::WriteTga(c.layout), "f", true);
        EXPECT_EQ(Colors(picture.Bitmap), c.colors) << c.name;
        EXPECT_EQ(picture.TransparentValue, -1) << c.name;
    }
}

TEST(TgaCodec, GreyAndAlphaImages) {
    // Grey 0x40 half seen through, then opaque white, stored and packed.
    const TgaSpec layouts[] = {
        {.type = 3,
         .width = 2,
         .height = 1,
         .depth = 16,
         .descriptor = 0x28,
         .pixels = {0x40, 0x80, 0xFF, 0xFF}},
        {.type = 11,
         .width = 2,
         .height = 1,
         .depth = 16,
         .descriptor = 0x28,
         .pixels = {0x00, 0x40, 0x80, 0x80, 0xFF, 0xFF}},
    };
    for (const TgaSpec& layout : layouts) {
        SCOPED_TRACE(static_cast<int>(layout.type));
        TgaPicture picture = DecodeTga(test::WriteTga(layout), "f", true);
        EXPECT_EQ(picture.Bitmap.BitCount(), 24);
        EXPECT_EQ(Colors(picture.Bitmap), (std::vector<uint32_t>{0x404040, kWhite}));
        EXPECT_EQ(MaskValues(picture.Bitmap), (std::vector<uint32_t>{0x80, 0xFF}));
        picture = DecodeTga(test::WriteTga(layout), "f", false);
        EXPECT_EQ(picture.Bitmap.GetPixel(0, 0), 0x80404040u);
        EXPECT_EQ(picture.Bitmap.GetPixel(1, 0), 0xFFFFFFFFu);
    }
}

TEST(TgaCodec, AlphaBecomesTheMaskAndTheFooterKeyTheTransparentValue) {
    TgaSpec layout{.width = 2,
                   .height = 1,
                   .depth = 32,
                   .descriptor = 0x28,
                   .pixels = {0, 0, 255, 200, 255, 0, 0, 0},
                   .footer = true,
                   .keyColor = 0xFF0000FF};  // A:R:G:B, blue
    TgaPicture picture = DecodeTga(test::WriteTga(layout), "f", true);
    EXPECT_EQ(picture.Bitmap.BitCount(), 24);
    EXPECT_EQ(Colors(picture.Bitmap), (std::vector<uint32_t>{kRed, kBlue}));
    ASSERT_TRUE(picture.Bitmap.HasMask());
    EXPECT_EQ(MaskValues(picture.Bitmap), (std::vector<uint32_t>{200, 0}));
    EXPECT_EQ(picture.TransparentValue, 0x0000FF);  // blue as a 24-bit pixel
    // Without the request the alpha stays in the fourth byte.
    picture = DecodeTga(test::WriteTga(layout), "f", false);
    EXPECT_EQ(picture.Bitmap.GetPixel(0, 0), 0xC8FF0000u);
}

TEST(TgaCodec, WriterCutsRowsIntoRepeatAndRawPackets) {
    struct Case {
        std::vector<uint32_t> row;  // 8-bit indices
        std::vector<uint8_t> packets;
    };
    std::vector<uint32_t> distinct(129);
    for (size_t i = 0; i < distinct.size(); ++i)
        distinct[i] = i & 1 ? 1 : 0;
    std::vector<uint8_t> distinctPackets = {127};
    for (size_t i = 0; i < 128; ++i)
        distinctPackets.push_back(distinct[i] & 0xFF);
    distinctPackets.insert(distinctPackets.end(), {0, 0});
    const Case cases[] = {
        {{5, 5, 5, 6, 7, 8, 8}, {0x82, 5, 0x01, 6, 7, 0x81, 8}},
        {std::vector<uint32_t>(130, 3), {0xFF, 3, 0x81, 3}},
        {distinct, distinctPackets},
        {{9}, {0x00, 9}},
    };
    for (const Case& c : cases) {
        TDIBSurface row(static_cast<int32_t>(c.row.size()), 1, 8);
        for (size_t x = 0; x < c.row.size(); ++x)
            row.SetPixel(static_cast<int32_t>(x), 0, c.row[x]);
        const std::vector<uint8_t> file = EncodeTga(row, -1);
        const size_t start = 18 + 256 * 3;  // header and the 24-bit colour map
        ASSERT_GE(file.size(), start + c.packets.size() + 495 + 26);
        EXPECT_EQ(
            std::vector<uint8_t>(file.begin() + start,
                                 file.begin() + static_cast<ptrdiff_t>(start + c.packets.size())),
            c.packets);
        EXPECT_EQ(file.size(), start + c.packets.size() + 495 + 26);
        EXPECT_EQ(Colors(DecodeTga(file, "f", true).Bitmap), Colors(row));
    }
}

TEST(TgaCodec, RoundTripsDepthsMasksAndKeys) {
    for (int bits : {4, 8, 15, 16, 24, 32}) {
        TDIBSurface original = Noise(6, 4, bits, 7);
        // Runs of equal pixels as well as noise.
        original.FillRect({0, 1, 6, 2}, original.GetPixel(0, 0));
        if (bits == 24) {
            TDIBSurface& mask = original.CreateMask();
            for (int x = 0; x < 6; ++x)
                mask.SetPixel(x, 2, static_cast<uint32_t>(x * 50));
        }
        const uint32_t key = original.GetPixel(1, 1);
        const TgaPicture back = DecodeTga(EncodeTga(original, key), "f", true);
        // 5-6-5 pictures are stored as 5-5-5.
        TDIBSurface expected = original;
        if (bits == 16) expected.Convert(15);
        EXPECT_EQ(Colors(back.Bitmap), Colors(expected)) << bits;
        EXPECT_EQ(back.Bitmap.PixelToColor(static_cast<uint32_t>(back.TransparentValue)),
                  expected.PixelToColor(expected.GetPixel(1, 1)))
            << bits;
        ASSERT_EQ(back.Bitmap.HasMask(), original.HasMask());
        if (original.HasMask()) {
            EXPECT_EQ(MaskValues(back.Bitmap), MaskValues(original));
        }
    }
}

TEST(TgaCodec, DamagedFilesFailCleanly) {
    const std::vector<uint8_t> good =
        test::WriteTga({.type = 10,
                        .width = 3,
                        .height = 2,
                        .pixels = {0x82, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9, 1, 1, 1}});
    ExpectTruncationsFail(good, [](std::span<const uint8_t> d) { (void)DecodeTga(d, "f", true); });
    const TgaSpec bad[] = {
        {.type = 4, .width = 1, .height = 1, .pixels = {0, 0, 0}},
        {.width = 0, .height = 1},
        {.width = 1, .height = 1, .depth = 12, .pixels = {0, 0}},
        {.type = 1, .width = 1, .height = 1, .depth = 8, .pixels = {0}},  // no colour map
        {.mapType = 1,
         .type = 1,
         .mapFirst = 250,
         .mapLength = 10,
         .mapBits = 24,
         .width = 1,
         .height = 1,
         .depth = 8,
         .map = std::vector<uint8_t>(30),
         .pixels = {0}},
    };
    // A footer in a file too small for its extension area, pointing far away, is ignored.
    std::vector<uint8_t> tiny = test::WriteTga({.width = 1, .height = 1, .pixels = {1, 2, 3}});
    const uint8_t footer[] = {0x00, 0x00, 0x00, 0x7F, 0,   0,   0,   0,   'T', 'R', 'U', 'E', 'V',
                              'I',  'S',  'I',  'O',  'N', '-', 'X', 'F', 'I', 'L', 'E', '.', 0};
    tiny.insert(tiny.end(), std::begin(footer), std::end(footer));
    EXPECT_EQ(DecodeTga(tiny, "f", true).TransparentValue, -1);
    for (const TgaSpec& layout : bad)
        EXPECT_THROW((void)DecodeTga(test::WriteTga(layout), "f", true), KivoError);
}

// A 2 x 2 24-bit icon image: colour rows bottom-up, then the AND mask (set = transparent).
std::vector<uint8_t> IconDib() {
    std::vector<uint8_t> dib =
        test::WriteDib({.width = 2,
                        .height = 4,
                        .bits = 24,
                        .pixels = {255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0}});
    // AND mask rows, bottom first, padded to 4 bytes: bottom-right clear, top-left clear.
    dib.insert(dib.end(), {0x40, 0, 0, 0, 0x80, 0, 0, 0});
    return dib;
}

TEST(IcoCodec, ReadsImagesMasksAndHotspots) {
    const std::vector<uint8_t> icon =
        test::WriteIco(1, {{.width = 2, .height = 2, .field6 = 24, .data = IconDib()},
                           {.width = 0, .height = 0, .field6 = 32, .data = IconDib()}});
    ASSERT_TRUE(IsIco(icon));
    const std::vector<IconImageInfo> list = ListIconImages(icon, "f");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(DescribeIconImage(0, list[0]), "000 : 2 x 2  24 bpp");
    EXPECT_EQ(DescribeIconImage(1, list[1]), "001 : 256 x 256  32 bpp");
    const IconPicture picture = DecodeIco(icon, "f", 0);
    EXPECT_FALSE(picture.IsCursor);
    EXPECT_EQ(Colors(picture.Bitmap), (std::vector<uint32_t>{kRed, kGreen, kBlue, kWhite}));
    EXPECT_EQ(MaskValues(picture.Bitmap), (std::vector<uint32_t>{0, 255, 255, 0}));

    const std::vector<uint8_t> cursor =
        test::WriteIco(2, {{.width = 2, .height = 2, .field4 = 1, .field6 = 0, .data = IconDib()}});
    const IconPicture hot = DecodeIco(cursor, "f", 0);
    EXPECT_TRUE(hot.IsCursor);
    EXPECT_EQ(hot.HotspotX, 1);
    EXPECT_EQ(hot.HotspotY, 0);

    const IconPicture back = DecodeIco(EncodeIco(hot), "f", 0);
    EXPECT_TRUE(back.IsCursor);
    EXPECT_EQ(back.HotspotX, 1);
    EXPECT_EQ(Colors(back.Bitmap), Colors(hot.Bitmap));
    EXPECT_EQ(MaskValues(back.Bitmap), MaskValues(hot.Bitmap));
}

TEST(IcoCodec, ImagesAreReadByTheirOwnHeaderNotTheDirectorysByteCount) {
    // A common writer bug: the directory counts only the image's info header. The image is
    // read as far as its header says, and its mask still fits in the file.
    const std::vector<uint8_t> cursor = test::WriteIco(
        2, {{.width = 2, .height = 2, .field4 = 1, .data = IconDib(), .byteCount = 40}});
    const IconPicture picture = DecodeIco(cursor, "f", 0);
    EXPECT_EQ(Colors(picture.Bitmap), (std::vector<uint32_t>{kRed, kGreen, kBlue, kWhite}));
    EXPECT_EQ(MaskValues(picture.Bitmap), (std::vector<uint32_t>{0, 255, 255, 0}));
    EXPECT_EQ(ListIconImages(cursor, "f")[0].BitCount, 24);
    // The same file cut inside the mask still fails.
    const std::vector<uint8_t> cut(cursor.begin(), cursor.end() - 1);
    EXPECT_THROW((void)DecodeIco(cut, "f", 0), KivoError);
}

TEST(IcoCodec, DamagedFilesFailCleanly) {
    const std::vector<uint8_t> good =
        test::WriteIco(1, {{.width = 2, .height = 2, .field6 = 24, .data = IconDib()}});
    ExpectTruncationsFail(good, [](std::span<const uint8_t> d) { (void)DecodeIco(d, "f", 0); });
    EXPECT_THROW((void)DecodeIco(good, "f", 1), KivoError);
    std::vector<uint8_t> outside = good;
    outside[6 + 12] = 0xF0;  // image offset far past the end
    EXPECT_THROW((void)DecodeIco(outside, "f", 0), KivoError);
}

TEST(PngAndJpegCodecs, RoundTripAndFailWithoutEndingTheProcess) {
    TDIBSurface picture = Noise(9, 7, 24, 3);
    TDIBSurface& mask = picture.CreateMask();
    for (int x = 0; x < 9; ++x)
        mask.SetPixel(x, 3, static_cast<uint32_t>(x * 20));
    const PngPicture png = DecodePng(EncodePng(picture), "f");
    EXPECT_EQ(Colors(png.Bitmap), Colors(picture));
    EXPECT_EQ(MaskValues(png.Bitmap), MaskValues(picture));
    const TDIBSurface palette = Noise(5, 2, 8, 4);
    const PngPicture indexed = DecodePng(EncodePng(palette), "f");
    EXPECT_EQ(indexed.Bitmap.BitCount(), 8);
    EXPECT_EQ(Colors(indexed.Bitmap), Colors(palette));

    std::vector<uint8_t> jpeg = EncodeJpeg(picture, 90);
    EXPECT_EQ(DecodeJpeg(jpeg, "f").Width(), 9);
    ExpectTruncationsFail(EncodePng(picture),
                          [](std::span<const uint8_t> d) { (void)DecodePng(d, "f"); });
    jpeg.resize(jpeg.size() / 3);
    try {
        (void)DecodeJpeg(jpeg, "f");
    } catch (const KivoError& e) {
        EXPECT_EQ(e.File(), "f");  // a cut JPEG may also decode with grey filler
    }
    jpeg.resize(20);
    EXPECT_THROW((void)DecodeJpeg(jpeg, "f"), KivoError);
}

TEST(PickPx, ReadersAndRunList) {
    const uint8_t row[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    struct Case {
        int bytes;
        uint32_t first, afterSkip;
    };
    for (const Case& c : {Case{1, 1, 4}, Case{2, 0x0201, 0x0807}, Case{3, 0x030201, 0x0C0B0A},
                          Case{4, 0x04030201, 0x0C0B0A09}}) {
        std::unique_ptr<TPickPx> pick = MakePickPx(c.bytes, row);
        EXPECT_EQ(pick->Next(), c.first);
        pick->Skip(c.bytes == 4 ? 1 : 2);
        EXPECT_EQ(pick->Next(), c.afterSkip) << c.bytes;
        pick->Rewind();
        EXPECT_EQ(pick->Position(), row);
    }
}

}  // namespace
}  // namespace kivo
