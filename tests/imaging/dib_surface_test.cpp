#include "imaging/dib_surface.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "base/error.h"
#include "imaging/bmp_codec.h"
#include "imaging/dibx.h"
#include "imaging/gale_frame_list.h"

namespace kivo {
namespace {

// A 1 x 1 bitmap holding one pixel value.
TDIBSurface Pixel(int bits, uint32_t value) {
    TDIBSurface b(1, 1, bits);
    b.SetPixel(0, 0, value);
    return b;
}

TEST(DIBSurface, StorageIsTopDownWithAlignedRows) {
    struct Case {
        int bits, storage, pitch;
    };
    // 5 pixels wide.
    for (const Case& c : {Case{1, 1, 4}, Case{2, 2, 4}, Case{4, 4, 4}, Case{8, 8, 8},
                          Case{15, 16, 12}, Case{16, 16, 12}, Case{24, 24, 16}, Case{32, 32, 20}}) {
        TDIBSurface b(5, 3, c.bits);
        EXPECT_EQ(b.BitCount(), c.bits);
        EXPECT_EQ(b.StorageBitCount(), c.storage);
        EXPECT_EQ(b.Pitch(), c.pitch) << c.bits;
        EXPECT_EQ(b.Bits().size(), static_cast<size_t>(c.pitch * 3));
        b.SetPixel(4, 2, 0xFFFFFFFF);
        b.SetPixel(0, 0, 1);
        EXPECT_EQ(b.ScanLine(1) - b.ScanLine(0), c.pitch);
        const uint32_t limit = c.bits == 32 ? 0xFFFFFFFF : (1u << c.bits) - 1;
        EXPECT_EQ(b.GetPixel(4, 2), limit) << c.bits;
        EXPECT_EQ(b.GetPixel(0, 0), 1u);
        EXPECT_EQ(b.GetPixel(1, 0), 0u);
        EXPECT_EQ(b.GetPixel(5, 0), 0u);  // outside reads 0
    }
    EXPECT_EQ(TDIBSurface(1, 1, 15).GreenMask(), 0x03E0u);
    EXPECT_EQ(TDIBSurface(1, 1, 16).GreenMask(), 0x07E0u);
    EXPECT_THROW(TDIBSurface(1, 1, 12), KivoError);
    EXPECT_THROW(TDIBSurface(40000, 40000, 32), KivoError);
    EXPECT_FALSE(TDIBSurface::SizeFits(int64_t{1} << 40, 1, 8));
}

TEST(DIBSurface, TwoBitPixelsPackFromTheTopBitsAndWidenForFiles) {
    TDIBSurface codes(5, 2, 2);
    codes.Palette()[3] = {0x10, 0x20, 0x30, 0};
    const uint32_t row[] = {0, 1, 2, 3, 1};
    for (int32_t x = 0; x < 5; ++x)
        codes.SetPixel(x, 1, row[x]);
    EXPECT_EQ(codes.ScanLine(1)[0], 0x1B);  // 00 01 10 11
    EXPECT_EQ(codes.ScanLine(1)[1], 0x40);  // 01, then padding
    EXPECT_EQ(codes.ScanLine(0)[0], 0x00);
    codes.FillMaskOpaque();

    // No file stores 2 bits: BMP and GAL writers keep the values and colours at 4 bits.
    const TDIBSurface bmp = DecodeBmp(EncodeBmp(codes), "codes.bmp");
    TGaleFrameList list;
    list.AssignPicture(codes, -1);
    TGaleFrameList gal;
    gal.LoadFromBytes(list.SaveToBytes(GaleEncoding::Zlib, 70), "codes.gal");
    for (const TDIBSurface* saved : {&bmp, static_cast<const TDIBSurface*>(&gal[0].Bitmap)}) {
        EXPECT_EQ(saved->BitCount(), 4);
        for (int32_t x = 0; x < 5; ++x)
            EXPECT_EQ(saved->GetPixel(x, 1), row[x]) << x;
        EXPECT_EQ(saved->Palette()[3], codes.Palette()[3]);
    }
    EXPECT_TRUE(gal[0].Bitmap.HasMask());
}

TEST(DIBSurface, DrawAlphaFollowsEachDepthsArithmetic) {
    struct Case {
        int bits;
        uint32_t dest, source;
        int alpha;
        int64_t key;
        uint32_t expected;
    };
    const Case cases[] = {
        {24, 0xFFFFFF, 0x000000, 128, -1, 0x7F7F7F},    // (255 x 127) div 255
        {32, 0xFFFFFF, 0x000000, 128, -1, 0x007E7E7E},  // (127 x 255) >> 8
        {32, 0x00FF8000, 0x000080FF, 128, -1, 0x007E7F7F},
        {32, 0x00000000, 0x00FFFFFF, 254, -1, 0x00FDFDFD},
        {32, 0x00000000, 0x00FFFFFF, 255, -1, 0x00FFFFFF},        // 255 copies
        {32, 0x00112233, 0x00FFFFFF, 128, 0xFFFFFF, 0x00112233},  // key skipped
        {16, 0xFFFF, 0x0000, 128, -1, 0x7BEF},                    // per channel, exact /255
        {15, 0x7FFF, 0x0000, 128, -1, 0x3DEF},
        {8, 3, 9, 240, -1, 9},                      // level 15 copies
        {8, 3, 9, 10, -1, 3},                       // level 0 covers nothing
        {24, 0x123456, 0xFFFFFF, 0, -1, 0x123456},  // alpha 0 draws nothing
    };
    for (const Case& c : cases) {
        TDIBSurface dest = Pixel(c.bits, c.dest);
        dest.DrawAlpha(0, 0, c.alpha, c.key, {0, 0, 1, 1}, Pixel(c.bits, c.source));
        EXPECT_EQ(dest.GetPixel(0, 0), c.expected) << c.bits << " bits, alpha " << c.alpha;
    }
}

TEST(DIBSurface, PalettisedAlphaDithersBySixteenths) {
    TDIBSurface dest(4, 4, 8), source(4, 4, 8);
    source.Fill(1);
    for (int alpha : {16, 128, 224}) {
        dest.Fill(0);
        dest.DrawAlpha(0, 0, alpha, -1, source.ClientRect(), source);
        int copied = 0;
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 4; ++x)
                copied += static_cast<int>(dest.GetPixel(x, y));
        }
        EXPECT_EQ(copied, alpha / 16) << alpha;
    }
}

TEST(DIBSurface, DrawMaskBlendsThroughTheSourceMask) {
    struct Case {
        int bits;
        uint32_t dest, source;
        uint8_t mask;
        int alpha;
        uint32_t expected;
    };
    const Case cases[] = {
        {32, 0x00000000, 0x00FFFFFF, 255, 255, 0x00FFFFFF},
        {32, 0x00000000, 0x00FFFFFF, 128, 255, 0x007F7F7F},
        {32, 0x00000000, 0x00FFFFFF, 0, 255, 0x00000000},
        {24, 0x000000, 0xFFFFFF, 128, 255, 0x7F7F7F},
        {24, 0x000000, 0xFFFFFF, 255, 128, 0x7E7E7E},  // w = (128 x 255) >> 8 = 127
        {24, 0x000000, 0xFFFFFF, 1, 200, 0x000000},    // a x m below 256 draws nothing
        {16, 0x0000, 0xFFFF, 128, 255, 0x7BEF},
        {8, 4, 7, 128, 255, 7},
        {8, 4, 7, 127, 255, 4},
    };
    for (const Case& c : cases) {
        TDIBSurface source = Pixel(c.bits, c.source);
        source.CreateMask().SetPixel(0, 0, c.mask);
        TDIBSurface dest = Pixel(c.bits, c.dest);
        dest.DrawMask(0, 0, c.alpha, source.ClientRect(), source);
        EXPECT_EQ(dest.GetPixel(0, 0), c.expected) << c.bits << " bits, mask " << int{c.mask};
    }
}

TEST(DIBSurface, ClippingMovesTheSourceWithTheDestination) {
    TDIBSurface source(4, 1, 8);
    for (int x = 0; x < 4; ++x)
        source.SetPixel(x, 0, static_cast<uint32_t>(10 + x));
    TDIBSurface dest(4, 2, 8);
    dest.Copy(-2, 0, {0, 0, 4, 1}, source);
    EXPECT_EQ(dest.GetPixel(0, 0), 12u);
    EXPECT_EQ(dest.GetPixel(1, 0), 13u);
    EXPECT_EQ(dest.GetPixel(2, 0), 0u);
    // A source rectangle reaching outside the source is cut to it.
    dest.Fill(0);
    dest.Copy(0, 1, {-1, 0, 6, 3}, source);
    EXPECT_EQ(dest.GetPixel(0, 1), 0u);
    EXPECT_EQ(dest.GetPixel(1, 1), 10u);
    EXPECT_EQ(dest.GetPixel(3, 1), 12u);
    // A clip limits that one draw; an empty clip draws nothing, and the next draw without one
    // reaches the whole bitmap again.
    dest.Fill(0);
    dest.Copy(0, 0, source.ClientRect(), source, TRect{1, 0, 2, 2});
    dest.FillRect(dest.ClientRect(), 7, TRect{});
    EXPECT_EQ(dest.GetPixel(0, 0), 0u);
    EXPECT_EQ(dest.GetPixel(1, 0), 11u);
    EXPECT_EQ(dest.GetPixel(2, 0), 0u);
    // FillRect partly outside fills only the inside.
    dest.FillRect({-5, 1, 2, 9}, 0x1FF);
    EXPECT_EQ(dest.GetPixel(0, 1), 0xFFu);
    EXPECT_EQ(dest.GetPixel(1, 1), 0xFFu);
    EXPECT_EQ(dest.GetPixel(2, 1), 0u);
}

TEST(DIBSurface, BoundsTrimCropAndMirror) {
    TDIBSurface b(4, 3, 24);
    b.Fill(0x00FF00);
    EXPECT_EQ(b.OpaqueBounds(0x00FF00), (TRect{}));
    TDIBSurface allKey = b;
    EXPECT_EQ(allKey.TrimTo(0x00FF00), (TRect{}));
    EXPECT_EQ(allKey.Width(), 1);
    EXPECT_EQ(allKey.Height(), 1);

    b.SetPixel(1, 1, 1);
    b.SetPixel(2, 2, 2);
    b.CreateMask().SetPixel(2, 2, 77);
    EXPECT_EQ(b.TrimTo(0x00FF00), (TRect{1, 1, 3, 3}));
    EXPECT_EQ(b.Width(), 2);
    EXPECT_EQ(b.GetPixel(0, 0), 1u);
    EXPECT_EQ(b.GetPixel(1, 1), 2u);
    EXPECT_EQ(b.Mask()->GetPixel(1, 1), 77u);
    b.MirrorH();
    EXPECT_EQ(b.GetPixel(1, 0), 1u);
    EXPECT_EQ(b.Mask()->GetPixel(0, 1), 77u);
    b.MirrorV();
    EXPECT_EQ(b.GetPixel(1, 1), 1u);
    EXPECT_EQ(b.GetPixel(0, 0), 2u);
}

TEST(DIBSurface, ColoursAndConversions) {
    struct Case {
        int bits;
        int64_t color, pixel;
    };
    for (const Case& c :
         {Case{15, 0xFFFFFF, 0x7FFF}, Case{16, 0xFFFFFF, 0xFFFF}, Case{32, 0xFFFFFF, 0xFFFFFF},
          Case{32, 0x0000FF, 0xFF0000}, Case{24, 0x123456, 0x563412}, Case{32, -1, -1},
          Case{16, 0x0000F8, 0xF800}}) {
        EXPECT_EQ(TDIBSurface(1, 1, c.bits).ColorToPixel(c.color), c.pixel) << c.bits;
    }
    TDIBSurface palette(1, 1, 8);
    palette.Palette()[7] = {10, 20, 30, 0};
    EXPECT_EQ(palette.ColorToPixel(0x0A141E), 7);
    EXPECT_EQ(palette.PixelToColor(7), 0x0A141Eu);

    // Converting keeps colours where the depth can hold them.
    TDIBSurface rgb(3, 1, 24);
    rgb.SetPixel(0, 0, 0xFF0000);
    rgb.SetPixel(1, 0, 0x00FF00);
    rgb.SetPixel(2, 0, 0xFF0000);
    for (int bits : {32, 16, 15, 8, 4}) {
        TDIBSurface c = rgb;
        c.Convert(bits);
        EXPECT_EQ(c.BitCount(), bits);
        EXPECT_EQ(c.PixelToColor(c.GetPixel(0, 0)), 0x0000FFu) << bits;
        EXPECT_EQ(c.PixelToColor(c.GetPixel(1, 0)), 0x00FF00u) << bits;
        if (bits == 32) {
            EXPECT_EQ(c.GetPixel(0, 0), 0xFFFF0000u);  // the fourth byte becomes 0xFF
        }
    }
}

TEST(DIBSurface, FramesReachRasterSurfaces) {
    TGaleFrame frame;
    frame.Bitmap.SetSize(2, 1, 24);
    frame.Bitmap.SetPixel(0, 0, 0x123456);
    frame.Bitmap.SetPixel(1, 0, 0xABCDEF);
    frame.Bitmap.CreateMask().SetPixel(1, 0, 99);
    TDIBX surface;
    surface.SetSize(1, 1, 32);
    CopyFrameToSurface(frame, surface);
    EXPECT_EQ(surface.Width(), 2);
    EXPECT_EQ(surface.GetPixel(0, 0), 0x00123456u);
    EXPECT_EQ(surface.GetPixel(1, 0), 0x00ABCDEFu);
    TDIBX mask;
    CopyMaskToSurface(frame, mask);
    EXPECT_EQ(mask.BitCount(), 8);
    EXPECT_EQ(mask.GetPixel(1, 0), 99u);
}

// A width x 1 bitmap holding the given pixel values.
TDIBSurface Row(int bits, std::initializer_list<uint32_t> values) {
    TDIBSurface b(static_cast<int32_t>(values.size()), 1, bits);
    int32_t x = 0;
    for (const uint32_t v : values)
        b.SetPixel(x++, 0, v);
    return b;
}

std::vector<uint32_t> RowPixels(const TDIBSurface& b) {
    std::vector<uint32_t> out;
    for (int32_t x = 0; x < b.Width(); ++x)
        out.push_back(b.GetPixel(x, 0));
    return out;
}

TEST(DIBSurface, ResizeNearestPicksSourcePixels) {
    TDIBSurface down = Row(32, {0x10, 0x20, 0x30, 0x40});
    down.Resize(2, 1, -1, false);
    EXPECT_EQ(RowPixels(down), (std::vector<uint32_t>{0x10, 0x30}));
    TDIBSurface up = Row(4, {3, 9});
    up.Resize(4, 2, -1, false);
    EXPECT_EQ(up.BitCount(), 4);
    EXPECT_EQ(RowPixels(up), (std::vector<uint32_t>{3, 3, 9, 9}));
    EXPECT_EQ(up.GetPixel(3, 1), 9u);
}

TEST(DIBSurface, ResizeSmoothAveragesByCoveredArea) {
    struct Case {
        const char* name;
        int bits;
        std::vector<uint32_t> source;
        int32_t width;
        int64_t key;
        std::vector<uint32_t> expected;
    };
    const std::vector<Case> cases = {
        {"halves round up", 24, {0x000000, 0x0000FF}, 1, -1, {0x000080}},
        // Three pixels into two: weights 2/3 and 1/3 of the covered area.
        {"thirds", 24, {0x000000, 0x00005A, 0x0000B4}, 2, -1, {0x00001E, 0x000096}},
        {"key left out", 24, {0x00FF00, 0x000010, 0x000030}, 1, 0x00FF00, {0x000020}},
        {"only key stays key",
         24,
         {0x00FF00, 0x00FF00, 0x000030},
         2,
         0x00FF00,
         {0x00FF00, 0x000030}},
        // 5-6-5 red 31 and 0 widen to 255 and 0; 128 truncates to 16.
        {"16-bit channels", 16, {0xF800, 0x0000}, 1, -1, {0x8000}},
        {"15-bit channels", 15, {0x03E0, 0x0000}, 1, -1, {0x0200}},
        {"32-bit fourth byte dropped", 32, {0xFF0000FF, 0xFF000001}, 1, -1, {0x00000080}},
    };
    for (const Case& c : cases) {
        TDIBSurface b(static_cast<int32_t>(c.source.size()), 1, c.bits);
        for (size_t i = 0; i < c.source.size(); ++i) {
            b.SetPixel(static_cast<int32_t>(i), 0, c.source[i]);
        }
        b.Resize(c.width, 1, c.key, true);
        EXPECT_EQ(b.BitCount(), c.bits) << c.name;
        EXPECT_EQ(RowPixels(b), c.expected) << c.name;
    }
}

TEST(DIBSurface, ResizeSmoothPalettisedMapsBackToPalette) {
    TDIBSurface b = Row(8, {0, 1, 1, 0});
    b.Palette()[1] = {255, 255, 255, 0};
    b.Palette()[2] = {128, 128, 128, 0};
    b.Palette()[3] = {0, 0, 255, 0};
    TDIBSurface keyed = b;
    b.Resize(2, 1, -1, true);
    EXPECT_EQ(RowPixels(b), (std::vector<uint32_t>{2, 2}));  // black and white average to grey
    EXPECT_EQ(b.Palette()[3], (PaletteEntry{0, 0, 255, 0}));
    keyed.Resize(2, 1, 1, true);  // white is the key: only black is left to average
    EXPECT_EQ(RowPixels(keyed), (std::vector<uint32_t>{0, 0}));
}

TEST(DIBSurface, ResizeScalesTheMaskWithoutKey) {
    TDIBSurface b = Row(24, {0x000001, 0x000001});
    b.CreateMask().SetPixel(1, 0, 255);
    TDIBSurface nearest = b;
    b.Resize(1, 1, 0x000001, true);
    ASSERT_TRUE(b.HasMask());
    EXPECT_EQ(b.Mask()->Width(), 1);
    EXPECT_EQ(b.Mask()->GetPixel(0, 0), 128u);
    EXPECT_EQ(b.GetPixel(0, 0), 0x000001u);  // all key
    nearest.Resize(4, 1, -1, false);
    EXPECT_EQ(RowPixels(*nearest.Mask()), (std::vector<uint32_t>{0, 0, 255, 255}));
}

TEST(DIBSurface, ResizeOfAnEmptyBitmapGivesZeros) {
    TDIBSurface b(0, 0, 24);
    b.Resize(3, 2, -1, true);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Height(), 2);
    EXPECT_EQ(b.GetPixel(2, 1), 0u);
    b.Resize(0, 0, -1, false);
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_THROW(b.Resize(-1, 1, -1, false), KivoError);
}

TEST(DIBSurface, CountColorsCountsShownColours) {
    EXPECT_EQ(Row(24, {1, 2, 1, 3}).CountColors(), 3);
    // The fourth byte of 32-bit pixels is not a colour.
    EXPECT_EQ(Row(32, {0xFF000005, 0x00000005}).CountColors(), 1);
    // Two palette entries of the same colour show one colour.
    TDIBSurface p = Row(8, {0, 1, 2});
    p.Palette()[1] = p.Palette()[0];
    EXPECT_EQ(p.CountColors(), 2);
    EXPECT_EQ(TDIBSurface(0, 0, 8).CountColors(), 0);
}

TEST(DIBSurface, AssignFormatTakesFormatSizeAndPalette) {
    TDIBSurface model(3, 2, 15);
    TDIBSurface b = Row(8, {7});
    b.CreateMask();
    b.AssignFormat(model);
    EXPECT_EQ(b.BitCount(), 15);
    EXPECT_EQ(b.GreenMask(), 0x03E0u);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Height(), 2);
    EXPECT_FALSE(b.HasMask());
    TDIBSurface paletted(2, 2, 4);
    paletted.Palette()[5] = {1, 2, 3, 0};
    b.AssignFormat(paletted);
    EXPECT_EQ(b.BitCount(), 4);
    EXPECT_EQ(b.Palette()[5], (PaletteEntry{1, 2, 3, 0}));
    EXPECT_EQ(b.GetPixel(1, 1), 0u);
}

TEST(DIBSurface, DrawIntoPaletteMapsColoursToNearestIndex) {
    TDIBSurface dest(3, 1, 8);
    dest.Palette()[0] = {0, 0, 0, 0};
    dest.Palette()[1] = {0, 0, 250, 0};  // red
    dest.Palette()[2] = {250, 0, 0, 0};  // blue
    dest.Fill(7);
    // True colour source: red, blue, and the key left out.
    dest.DrawIntoPalette(0, 0, 0x00FF00, Row(24, {0xFF0000, 0x0000FF, 0x00FF00}));
    EXPECT_EQ(RowPixels(dest), (std::vector<uint32_t>{1, 2, 7}));
    // Same depth, other colour table: index 0 of the source is blue.
    TDIBSurface other = Row(8, {0, 4});
    other.Palette()[0] = {255, 0, 0, 0};
    other.Palette()[4] = {0, 0, 0, 0};
    dest.DrawIntoPalette(1, 0, -1, other);
    EXPECT_EQ(RowPixels(dest), (std::vector<uint32_t>{1, 2, 0}));
    // Same depth and colour table: values copied as they are, key skipped.
    TDIBSurface same = dest;
    same.SetPixel(0, 0, 9);
    same.SetPixel(1, 0, 7);
    same.SetPixel(2, 0, 0);
    dest.DrawIntoPalette(0, 0, 7, same);
    EXPECT_EQ(RowPixels(dest), (std::vector<uint32_t>{9, 2, 0}));
}

TEST(DIBSurface, CopyMaskRectCopiesOnlyTheRect) {
    TDIBSurface b(4, 4, 24);
    TDIBSurface alpha(4, 4, 8);
    alpha.Fill(200);
    b.CopyMaskRect(alpha, {1, 1, 3, 3});
    ASSERT_TRUE(b.HasMask());
    EXPECT_EQ(b.Mask()->GetPixel(1, 1), 200u);
    EXPECT_EQ(b.Mask()->GetPixel(2, 2), 200u);
    EXPECT_EQ(b.Mask()->GetPixel(0, 0), 0u);
    EXPECT_EQ(b.Mask()->GetPixel(3, 3), 0u);
    EXPECT_EQ(b.Mask()->GetPixel(3, 1), 0u);
}

}  // namespace
}  // namespace kivo
