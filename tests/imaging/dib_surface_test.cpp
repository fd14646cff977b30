#include "imaging/dib_surface.h"

#include <gtest/gtest.h>

#include "base/error.h"
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
    for (const Case& c : {Case{1, 1, 4}, Case{4, 4, 4}, Case{8, 8, 8}, Case{15, 16, 12},
                          Case{16, 16, 12}, Case{24, 24, 16}, Case{32, 32, 20}}) {
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
    // ClipRect limits drawing; an empty clip means the whole bitmap.
    dest.Fill(0);
    dest.ClipRect = {1, 0, 2, 2};
    dest.Draw(0, 0, source);
    EXPECT_EQ(dest.GetPixel(0, 0), 0u);
    EXPECT_EQ(dest.GetPixel(1, 0), 11u);
    EXPECT_EQ(dest.GetPixel(2, 0), 0u);
    // FillRect partly outside fills only the inside.
    dest.ClipRect = {};
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
    frame.UpdateRects = {{0, 0, 1, 1}};
    TDIBX surface;
    surface.SetSize(1, 1, 32);
    CopyFrameToSurface(frame, surface);
    EXPECT_EQ(surface.Width(), 2);
    EXPECT_EQ(surface.GetPixel(0, 0), 0x00123456u);
    EXPECT_EQ(surface.GetPixel(1, 0), 0x00ABCDEFu);
    EXPECT_EQ(surface.UpdateRects, frame.UpdateRects);
    TDIBX mask;
    CopyMaskToSurface(frame, mask);
    EXPECT_EQ(mask.BitCount(), 8);
    EXPECT_EQ(mask.GetPixel(1, 0), 99u);
}

}  // namespace
}  // namespace kivo
