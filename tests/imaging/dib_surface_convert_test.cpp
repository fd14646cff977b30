// Depth conversion with colour reduction and dithering, and the JPEG, platform-picture and
// frame-buffer exports of TDIBSurface.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <utility>
#include <vector>

#include "base/error.h"
#include "imaging/bitmap_readback.h"
#include "imaging/dib_surface.h"
#include "imaging/jpeg_codec.h"

namespace kivo {
namespace {

using test::Colors;

// Colours are 0x00BBGGRR.
constexpr uint32_t kBlack = 0x000000, kWhite = 0xFFFFFF, kRed = 0x0000FF, kBlue = 0xFF0000;

int Channel(uint32_t color, int channel) {
    return (color >> (8 * channel)) & 0xFF;
}

// Peak signal-to-noise ratio in dB of two equally long colour lists, over all channels.
double Psnr(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    EXPECT_EQ(a.size(), b.size());
    double squared = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        for (int ch = 0; ch < 3; ++ch) {
            const double d = Channel(a[i], ch) - Channel(b[i], ch);
            squared += d * d;
        }
    }
    const double mse = squared / (3.0 * static_cast<double>(a.size()));
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// A smooth picture of width x height with a few thousand distinct colours.
TDIBSurface Gradient(int32_t width, int32_t height) {
    TDIBSurface b(width, height, 24);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t r = static_cast<uint32_t>(x * 255 / (width - 1));
            const uint32_t g = static_cast<uint32_t>(y * 255 / (height - 1));
            const uint32_t bl = static_cast<uint32_t>((x + y) * 255 / (width + height - 2));
            b.SetPixel(x, y, bl | g << 8 | r << 16);  // 24-bit pixels are 0xRRGGBB
        }
    }
    return b;
}

// An 8-bit grey-palette bitmap whose every row is the ramp 0..255 from left to right.
TDIBSurface GreyRamp(int32_t rows) {
    TDIBSurface b(256, rows, 8);
    for (int32_t y = 0; y < rows; ++y) {
        for (int32_t x = 0; x < 256; ++x)
            b.SetPixel(x, y, static_cast<uint32_t>(x));
    }
    return b;
}

// The average grey (of the green channel) over columns [from, to) of every row.
double AverageGrey(const TDIBSurface& b, int32_t from, int32_t to) {
    double sum = 0;
    for (int32_t y = 0; y < b.Height(); ++y) {
        for (int32_t x = from; x < to; ++x)
            sum += Channel(b.PixelToColor(b.GetPixel(x, y)), 1);
    }
    return sum / (static_cast<double>(to - from) * b.Height());
}

TEST(DIBSurfaceConvert, EveryDepthKeepsColoursItCanHoldWithMaskAndClip) {
    // Four colours that 15 and 16 bits hold exactly.
    const std::vector<uint32_t> source = {kBlack, kWhite, kRed, kBlue, kBlue, kRed, kWhite, kBlack};
    TDIBSurface original(4, 2, 24);
    for (size_t i = 0; i < source.size(); ++i) {
        const uint32_t c = source[i];
        original.SetPixel(static_cast<int32_t>(i % 4), static_cast<int32_t>(i / 4),
                          (c & 0xFF) << 16 | (c & 0xFF00) | c >> 16);
    }
    original.CreateMask().SetPixel(1, 1, 77);

    struct Case {
        int bits;
        std::vector<uint32_t> expected;
    };
    // To 1 bit the palette is the farthest pair, black and white; red and blue lie nearer to
    // black. Colours that have an entry are never dithered.
    const Case cases[] = {
        {1, {kBlack, kWhite, kBlack, kBlack, kBlack, kBlack, kWhite, kBlack}},
        {2, source},
        {4, source},
        {8, source},
        {15, source},
        {16, source},
        {32, source},
    };
    for (DitherMode mode : {DitherMode::None, DitherMode::Ordered4x4, DitherMode::FloydSteinberg}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.bits << " bits, mode " << static_cast<int>(mode));
            TDIBSurface b = original;
            b.Convert(c.bits, mode, false);
            EXPECT_EQ(b.BitCount(), c.bits);
            // Red and blue have no entry at 1 bit, so dithering mixes them there.
            if (c.bits > 1 || mode == DitherMode::None) {
                EXPECT_EQ(Colors(b), c.expected);
            }
            ASSERT_TRUE(b.HasMask());
            EXPECT_EQ(b.Mask()->GetPixel(1, 1), 77u);
            if (c.bits == 32) {
                EXPECT_EQ(b.GetPixel(1, 0), 0xFFFFFFFFu);
                EXPECT_EQ(b.GetPixel(0, 0), 0xFF000000u);  // the fourth byte becomes 0xFF
            }
            if (c.bits == 1) {
                EXPECT_EQ(b.Palette()[0], (PaletteEntry{0, 0, 0, 0}));  // the darker first
                EXPECT_EQ(b.Palette()[1], (PaletteEntry{255, 255, 255, 0}));
            }
        }
    }
    TDIBSurface back = original;
    back.Convert(8);
    back.Convert(24);  // and back out of the palette
    EXPECT_EQ(Colors(back), source);
    EXPECT_THROW(back.Convert(12), KivoError);
    EXPECT_EQ(back.BitCount(), 24);
}

TEST(DIBSurfaceConvert, ManyColoursReduceToACloseMedianCutPalette) {
    const TDIBSurface original = Gradient(96, 64);
    ASSERT_GT(original.CountColors(), 256);
    struct Case {
        int bits;
        double minimumPsnr;  // measured 35.7 and 23.6 dB; a 6 x 6 x 6 cube: about 25
    };
    for (const Case& c : {Case{8, 33.0}, Case{4, 21.0}}) {
        TDIBSurface b = original;
        b.Convert(c.bits);
        EXPECT_LE(b.CountColors(), int64_t{1} << c.bits);
        EXPECT_GE(Psnr(Colors(original), Colors(b)), c.minimumPsnr) << c.bits;
    }
}

TEST(DIBSurfaceConvert, DitheringToOneBitKeepsTheBrightnessOfAGreyRamp) {
    const TDIBSurface ramp = GreyRamp(16);

    // Without dithering every row is dark up to one column and bright from there on.
    TDIBSurface hard = ramp;
    hard.Convert(1, DitherMode::None, false);
    for (int32_t y = 0; y < hard.Height(); ++y) {
        int32_t switches = 0, at = -1;
        for (int32_t x = 1; x < 256; ++x) {
            if (hard.GetPixel(x, y) != hard.GetPixel(x - 1, y)) ++switches, at = x;
        }
        EXPECT_EQ(switches, 1) << y;
        EXPECT_GE(at, 112);
        EXPECT_LE(at, 144);
        EXPECT_LT(Channel(hard.PixelToColor(hard.GetPixel(0, y)), 1), 32);
        EXPECT_GT(Channel(hard.PixelToColor(hard.GetPixel(255, y)), 1), 224);
    }

    // Dithered, every band of 32 columns shows close to the ramp's own average there (a hard
    // threshold is off by about 100 in the two middle bands), and the result is the same
    // every time. The ordered pattern mixes the palette's two greys (8 and 248 after the 16-colour
    // reduction) in sixteenths, so it may be off by half a sixteenth of 240; error diffusion
    // measured within 2.
    struct Case {
        DitherMode mode;
        double bandTolerance;
    };
    for (const Case& c :
         {Case{DitherMode::Ordered4x4, 8.0}, Case{DitherMode::FloydSteinberg, 3.0}}) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        TDIBSurface b = ramp;
        b.Convert(1, c.mode, false);
        ASSERT_EQ(b.BitCount(), 1);
        EXPECT_NEAR(AverageGrey(b, 0, 256), 127.5, 1.0);
        for (int32_t band = 0; band < 256; band += 32)
            EXPECT_NEAR(AverageGrey(b, band, band + 32), band + 15.5, c.bandTolerance) << band;
        TDIBSurface again = ramp;
        again.Convert(1, c.mode, true);  // flag changes nothing
        EXPECT_TRUE(std::equal(b.Bits().begin(), b.Bits().end(), again.Bits().begin()));
    }
}

TEST(DIBSurfaceConvert, OneBitIsChosenFromASixteenColourReduction) {
    const TDIBSurface original = Gradient(48, 40);
    TDIBSurface sixteen = original;
    sixteen.Convert(4);
    std::set<uint32_t> reduced;
    for (uint32_t i = 0; i < 16; ++i)
        reduced.insert(sixteen.PixelToColor(i));
    for (DitherMode mode : {DitherMode::None, DitherMode::Ordered4x4, DitherMode::FloydSteinberg}) {
        SCOPED_TRACE(static_cast<int>(mode));
        TDIBSurface direct = original;
        direct.Convert(1, mode, false);
        // Both colours of the 1-bit palette are colours of the 16-colour reduction, and the
        // result is that of reducing to 16 colours first and then to two.
        EXPECT_TRUE(reduced.contains(direct.PixelToColor(0)));
        EXPECT_TRUE(reduced.contains(direct.PixelToColor(1)));
        EXPECT_NE(direct.PixelToColor(0), direct.PixelToColor(1));
        TDIBSurface twoSteps = sixteen;
        twoSteps.Convert(1, mode, false);
        EXPECT_EQ(Colors(direct), Colors(twoSteps));
    }
}

TEST(DIBSurfaceConvert, ToJpegEncodesTheTrueColoursOfAnyDepth) {
    const TDIBSurface gradient = Gradient(48, 32);
    // An 8-bit bitmap whose indices are not its colours, and a 5-6-5 one.
    TDIBSurface palettised = gradient;
    palettised.Convert(8);
    for (auto& entry : palettised.Palette())
        std::swap(entry.Red, entry.Blue);
    TDIBSurface wordPixels = gradient;
    wordPixels.Convert(16);
    for (const TDIBSurface* source : {&palettised, &wordPixels}) {
        SCOPED_TRACE(source->BitCount());
        const std::vector<uint8_t> jpeg = source->ToJPEG(95);
        const TDIBSurface decoded = DecodeJpeg(jpeg, "round trip");
        ASSERT_EQ(decoded.Width(), 48);
        ASSERT_EQ(decoded.Height(), 32);
        EXPECT_GE(Psnr(Colors(*source), Colors(decoded)), 32.0);  // measured 38.5 and 42.1 dB
    }
    EXPECT_THROW(static_cast<void>(TDIBSurface(0, 0, 8).ToJPEG(90)), KivoError);
}

TEST(DIBSurfaceConvert, ToBitmapGivesArgbRowsWithAlphaFromTheMask) {
    TDIBSurface b(2, 2, 4);
    b.Palette()[1] = {0x30, 0x20, 0x10, 0};  // B, G, R
    b.Palette()[2] = {0xCC, 0xBB, 0xAA, 0};
    b.SetPixel(1, 0, 1);
    b.SetPixel(0, 1, 2);
    ArgbImage opaque = b.ToBitmap();
    EXPECT_EQ(opaque.width, 2);
    EXPECT_EQ(opaque.height, 2);
    EXPECT_EQ(opaque.pixels,
              (std::vector<uint32_t>{0xFF000000, 0xFF102030, 0xFFAABBCC, 0xFF000000}));

    TDIBSurface& mask = b.CreateMask();
    mask.SetPixel(1, 0, 128);
    mask.SetPixel(0, 1, 255);
    const ArgbImage masked = b.ToBitmap();
    EXPECT_EQ(masked.pixels,
              (std::vector<uint32_t>{0x00000000, 0x80102030, 0xFFAABBCC, 0x00000000}));

    TDIBSurface wide(1, 1, 32);
    wide.SetPixel(0, 0, 0x12345678);  // the fourth byte of a 32-bit pixel is not alpha
    EXPECT_EQ(wide.ToBitmap().pixels, std::vector<uint32_t>{0xFF345678});
}

// A 32-bit 3 x 2 bitmap whose pixels name their place: 0xA0000000 | row 1..2 | column 1..3.
TDIBSurface Numbered() {
    TDIBSurface b(3, 2, 32);
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < 3; ++x)
            b.SetPixel(x, y, 0xA0000000u | static_cast<uint32_t>((y + 1) << 4 | (x + 1)));
    }
    return b;
}

// A 6 x 4 target of zeros, stride 8, with a marker in the padding that must stay.
struct Target {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(8 * 4, 0);
    Target() {
        for (int32_t y = 0; y < 4; ++y)
            pixels[static_cast<size_t>(y) * 8 + 6] = pixels[static_cast<size_t>(y) * 8 + 7] = 0xEE;
    }
    MutableFrameView View() { return {pixels.data(), 6, 4, 8}; }
    // The visible 6 x 4 pixels with the source's tag bits only (0 where nothing was drawn).
    std::vector<uint32_t> Visible() const {
        std::vector<uint32_t> out;
        for (int32_t y = 0; y < 4; ++y) {
            for (int32_t x = 0; x < 6; ++x)
                out.push_back(pixels[static_cast<size_t>(y) * 8 + static_cast<size_t>(x)] & 0xFF);
            EXPECT_EQ(pixels[static_cast<size_t>(y) * 8 + 6], 0xEEu);
        }
        return out;
    }
};

TEST(DIBSurfaceConvert, StretchToDCSamplesNearestPixelsAndClips) {
    const TDIBSurface source = Numbered();
    struct Case {
        const char* name;
        TRect dst, src;
        std::vector<uint32_t> expected;  // 6 x 4, top row first
    };
    const Case cases[] = {
        {"1:1 at an offset", {2, 1, 5, 3}, {0, 0, 3, 2}, {0, 0, 0,    0,    0,    0,  //
                                                          0, 0, 0x11, 0x12, 0x13, 0,
                                                          0, 0, 0x21, 0x22, 0x23, 0,
                                                          0, 0, 0,    0,    0,    0}},
        {"twice the size", {0, 0, 6, 4}, {0, 0, 3, 2}, {0x11, 0x11, 0x12, 0x12, 0x13, 0x13,  //
                                                        0x11, 0x11, 0x12, 0x12, 0x13, 0x13,
                                                        0x21, 0x21, 0x22, 0x22, 0x23, 0x23,
                                                        0x21, 0x21, 0x22, 0x22, 0x23, 0x23}},
        {"shrunk to 2 x 1",
         {1, 1, 3, 2},
         {0, 0, 3, 2},             // columns 0 * 3 / 2 and 1 * 3 / 2
         {0, 0,    0,    0, 0, 0,  //
          0, 0x11, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"clipped at the top left", {-1, -1, 2, 1}, {0, 0, 3, 2}, {0x22, 0x23, 0, 0, 0, 0,  //
                                                                   0,    0,    0, 0, 0, 0,
                                                                   0,    0,    0, 0, 0, 0,
                                                                   0,    0,    0, 0, 0, 0}},
        {"clipped at the bottom right, three times the size",
         {3, 1, 12, 7},
         {0, 0, 3, 2},
         {0, 0, 0, 0,    0,    0,  //
          0, 0, 0, 0x11, 0x11, 0x11, 0, 0, 0, 0x11, 0x11, 0x11, 0, 0, 0, 0x11, 0x11, 0x11}},
        {"source offset",
         {0, 0, 2, 2},
         {1, 1, 3, 2},             // one source row spread over two
         {0x22, 0x23, 0, 0, 0, 0,  //
          0x22, 0x23, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"source partly outside the bitmap",
         {0, 0, 4, 1},
         {-1, 1, 3, 2},
         {0, 0x21, 0x22, 0x23, 0, 0,  //
          0, 0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"empty destination", {2, 2, 2, 4}, {0, 0, 3, 2}, std::vector<uint32_t>(24, 0)},
        {"inverted source", {0, 0, 6, 4}, {3, 0, 0, 2}, std::vector<uint32_t>(24, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Target target;
        source.StretchToDC(target.View(), c.dst, c.src);
        EXPECT_EQ(target.Visible(), c.expected);
    }
    // A 32-bit source keeps its fourth byte.
    Target target;
    source.StretchToDC(target.View(), {0, 0, 3, 2}, {0, 0, 3, 2});
    EXPECT_EQ(target.pixels[0], 0xA0000011u);
}

TEST(DIBSurfaceConvert, StretchToDCIsExactForRectanglesSpanningTheWholeIntRange) {
    const TDIBSurface source = Numbered();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    // 1:1 over the whole range: (x - kMin) * srcWidth needs 64 unsigned bits.
    Target same;
    source.StretchToDC(same.View(), {kMin, kMin, kMax, kMax}, {kMin, kMin, kMax, kMax});
    EXPECT_EQ(same.Visible(), (std::vector<uint32_t>{0x11, 0x12, 0x13, 0, 0, 0,  //
                                                     0x21, 0x22, 0x23, 0, 0, 0, 0, 0, 0,
                                                     0,    0,    0,    0, 0, 0, 0, 0, 0}));
    // Two source columns over 2^32 - 1 target columns: x = 0 lies at 2^31 of them, which
    // maps to (2^31 * 2) div (2^32 - 1) = 1.
    Target wide;
    source.StretchToDC(wide.View(), {kMin, 0, kMax, 1}, {0, 0, 2, 1});
    EXPECT_EQ(wide.Visible()[0], 0x12u);
    EXPECT_EQ(wide.Visible()[5], 0x12u);
}

TEST(DIBSurfaceConvert, StretchToDCConvertsEveryDepthToBgrx) {
    // Two pixels: a colour with all channels distinct, then white, in every depth.
    struct Case {
        int bits;
        uint32_t first;  // the expected frame buffer word of the first pixel
    };
    for (const Case& c : {Case{1, 0x00102030}, Case{4, 0x00102030}, Case{8, 0x00102030},
                          Case{15, 0x00102131}, Case{16, 0x00102031}, Case{24, 0x00102030}}) {
        SCOPED_TRACE(c.bits);
        TDIBSurface b(2, 1, c.bits);
        if (b.IsPalettised()) {
            b.Palette()[0] = {0x30, 0x20, 0x10, 0};
            b.Palette()[1] = {0xFF, 0xFF, 0xFF, 0};
            b.SetPixel(0, 0, 0);
            b.SetPixel(1, 0, 1);
        } else {
            b.SetPixel(0, 0, static_cast<uint32_t>(b.ColorToPixel(0x302010)));
            b.SetPixel(1, 0, static_cast<uint32_t>(b.ColorToPixel(0xFFFFFF)));
        }
        // 1:1 and stretched go through different paths.
        std::vector<uint32_t> frame(8, 0xEEEEEEEE);
        b.StretchToDC({frame.data(), 8, 1, 8}, {0, 0, 2, 1}, {0, 0, 2, 1});
        b.StretchToDC({frame.data(), 8, 1, 8}, {2, 0, 6, 1}, {0, 0, 2, 1});
        EXPECT_EQ(frame, (std::vector<uint32_t>{c.first, 0x00FFFFFF, c.first, c.first, 0x00FFFFFF,
                                                0x00FFFFFF, 0xEEEEEEEE, 0xEEEEEEEE}));
    }
}

}  // namespace
}  // namespace kivo
