// Tiles, patterns and palette draws, including the arguments that used to loop forever or
// divide by zero.

#include <gtest/gtest.h>

#include "imaging/draw_context.h"
#include "imaging/raster_fixture.h"

namespace kivo {
namespace {

using test::MakeMask;
using test::MakeSurface;
using test::Pixels;

constexpr uint32_t A = 0x00A0A0A0, B = 0x00B0B0B0, C = 0x00C0C0C0;

struct TileCase {
    const char* name;
    int32_t gapX, offsetX;
    TRect srcRect;
    std::vector<uint32_t> expected;  // the 7 x 1 destination afterwards
};

TEST(RasterTile, TileDrawLaysTilesWithGapsAndOffsets) {
    const TileCase cases[] = {
        {"plain", 0, 0, {0, 0, 2, 1}, {A, B, A, B, A, B, A}},
        {"negative offset starts at the tile's far part",
         0,
         -1,
         {0, 0, 2, 1},
         {B, A, B, A, B, A, B}},
        {"offset wraps", 0, 3, {0, 0, 2, 1}, {B, A, B, A, B, A, B}},
        {"gap", 1, 0, {0, 0, 2, 1}, {A, B, 0, A, B, 0, A}},
        {"overlapping tiles", -1, 0, {0, 0, 2, 1}, {A, A, A, A, A, A, A}},
        {"gap cancelling the tile", -2, 0, {0, 0, 2, 1}, {A, B, 0, 0, 0, 0, 0}},
        {"gap beyond the tile", -9, 1, {0, 0, 2, 1}, {B, 0, 0, 0, 0, 0, 0}},
        {"empty source rectangle", 0, 0, {1, 0, 1, 1}, {0, 0, 0, 0, 0, 0, 0}},
    };
    auto src = MakeSurface(2, 1, {A, B});
    for (const TileCase& c : cases) {
        auto dst = MakeSurface(7, 1);
        TDrawContext(*dst).TileDraw({0, 0, 7, 1}, c.gapX, 0, c.offsetX, TColorKey{}, c.srcRect,
                                    *src, 0);
        EXPECT_EQ(Pixels(*dst), c.expected) << c.name;
    }
}

TEST(RasterTile, TileDrawInTwoDimensionsKeepsTheClip) {
    auto src = MakeSurface(2, 2, {A, B, C, A});
    auto dst = MakeSurface(5, 5);
    TDrawContext context(*dst);
    context.AddClipRect({0, 0, 5, 3});
    context.TileDraw({0, 0, 5, 5}, 1, 1, 0, TColorKey{}, {0, 0, 2, 2}, *src, 1);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{C, A, 0, C, A,  //
                                                   0, 0, 0, 0, 0,  //
                                                   A, B, 0, A, B,  //
                                                   0, 0, 0, 0, 0,  //
                                                   0, 0, 0, 0, 0}));
    EXPECT_EQ(context.ClipRect(), (TRect{0, 0, 5, 3}));
}

TEST(RasterTile, HugeTiledAreasFinishAndKeepTheirPhase) {
    auto src = MakeSurface(2, 1, {A, B});
    auto dst = MakeSurface(4, 1);
    TDrawContext(*dst).TileDraw({-2000000000, 0, 2000000000, 1}, 0, 0, 0, TColorKey{}, {0, 0, 2, 1},
                                *src, 0);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{A, B, A, B}));
    dst = MakeSurface(4, 1);
    TDrawContext(*dst).TileDraw({-2000000001, 0, 2000000000, 1}, 1, 0, 0, TColorKey{}, {0, 0, 2, 1},
                                *src, 0);
    // 2000000001 pixels from the corner, a multiple of the period A B gap, the pattern is at its
    // start.
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{A, B, 0, A}));
}

TEST(RasterTile, TileVariantsUseTheirDraws) {
    auto src = MakeSurface(1, 1, {0x00FFFFFF});
    auto mask = MakeMask(1, 1, {128});
    auto dst = MakeSurface(2, 1);
    TDrawContext(*dst).TileDrawAlpha({0, 0, 2, 1}, 0, 0, 0, 128, TColorKey{}, {0, 0, 1, 1}, *src,
                                     0);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0x007F7F7F, 0x007F7F7F}));
    TDrawContext(*dst).TileDrawMask({0, 0, 2, 1}, 0, 0, 0, *mask, {0, 0, 1, 1}, *src, 0);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0x00BEBEBE, 0x00BEBEBE}));
    TDrawContext(*dst).TileDrawMaskAdd({0, 0, 2, 1}, 0, 0, 0, 256, *mask, {0, 0, 1, 1}, *src, 0);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0x00FFFFFF, 0x00FFFFFF}));
}

TEST(RasterTile, TileStretchDrawPlacesTilesEveryPeriod) {
    auto src = MakeSurface(2, 1, {A, B});
    struct Case {
        const char* name;
        int32_t period, offset, alpha;
        std::vector<uint32_t> expected;
    };
    const Case cases[] = {
        {"period of the tile", 2, 0, 255, {A, A, B, B, A, A, B, B}},
        {"offset of half a period", 2, 1, 255, {B, B, A, A, B, B, A, A}},
        {"negative offset", 2, -1, 255, {B, B, A, A, B, B, A, A}},
        {"longer period leaves room", 3, 0, 255, {A, A, B, B, 0, 0, A, A}},
        {"additive above 255",
         2,
         0,
         256 + 16,
         {0x0A0A0A, 0x0A0A0A, 0x0B0B0B, 0x0B0B0B, 0x0A0A0A, 0x0A0A0A, 0x0B0B0B, 0x0B0B0B}},
        {"period 0 is one pixel", 0, 0, 255, {A, A, A, A, A, A, A, A}},
    };
    for (const Case& c : cases) {
        auto dst = MakeSurface(8, 1);
        TDrawContext(*dst).TileStretchDraw({0, 0, 8, 1}, c.period, 0, c.offset, c.alpha, false,
                                           false, TColorKey{}, {0, 0, 2, 1}, *src, 256, 512, 1);
        EXPECT_EQ(Pixels(*dst), c.expected) << c.name;
    }
}

TEST(RasterTile, ExtremeTileArgumentsFinish) {
    auto src = MakeSurface(2, 1, {A, B});
    auto dst = MakeSurface(4, 1);
    const int32_t extremes[] = {INT32_MIN, -1, 0, 1, INT32_MAX};
    for (int32_t v : extremes) {
        TDrawContext(*dst).TileStretchDraw({INT32_MIN, 0, INT32_MAX, 1}, v, v, v, 255, false, false,
                                           TColorKey{}, {0, 0, 2, 1}, *src, INT32_MAX, INT32_MAX,
                                           v);
        TDrawContext(*dst).TileStretchDraw({INT32_MIN, 0, INT32_MAX, 1}, v, v, v, 255, false, false,
                                           TColorKey{}, {0, 0, 2, 1}, *src, 1, 1, v);
        TDrawContext(*dst).TileDraw({INT32_MIN, 0, INT32_MAX, 1}, v, v, v, TColorKey{},
                                    {INT32_MIN, 0, INT32_MAX, 1}, *src, v);
        TDrawContext(*dst).FillPatternZoom({INT32_MIN, 0, INT32_MAX, 1}, INT32_MAX, 255, false,
                                           false, v, v, *src, 1);
    }
    // The last fill zooms so far that every pixel samples the pattern's first one.
    EXPECT_EQ(Pixels(*dst), std::vector<uint32_t>(4, A));
}

TEST(RasterTile, FillPatternWrapsMirrorsAndFollowsTheClip) {
    auto pattern = MakeSurface(3, 1, {A, B, C});
    auto dst = MakeSurface(5, 1);
    TDrawContext(*dst).FillPattern({0, 0, 5, 1}, *pattern, false, false, 0, 1);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{B, C, A, B, C}));
    TDrawContext(*dst).FillPattern({0, 0, 5, 1}, *pattern, false, true, 0, 1);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{B, A, C, B, A}));
    TDrawContext(*dst).FillPattern({0, 0, 5, 1}, *pattern, false, false, 0, -1);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{C, A, B, C, A}));

    auto clipped = MakeSurface(5, 1);
    TDrawContext(*clipped, {2, 0, 5, 1}).FillPattern({0, 0, 5, 1}, *pattern, false, false, 0, 1);
    EXPECT_EQ(Pixels(*clipped), (std::vector<uint32_t>{0, 0, A, B, C}));

    // An empty pattern has nothing to repeat.
    TDIBX empty;
    TDrawContext(*clipped).FillPattern({0, 0, 5, 1}, empty, false, false, 0, 1);
    TDrawContext(*clipped).FillPatternZoom({0, 0, 5, 1}, 256, 255, false, false, 0, 1, empty, 256);
    EXPECT_EQ(Pixels(*clipped), (std::vector<uint32_t>{0, 0, A, B, C}));
}

TEST(RasterTile, FillPatternZoomSteps) {
    auto pattern = MakeSurface(3, 1, {A, B, C});
    auto dst = MakeSurface(6, 1);
    TDrawContext(*dst).FillPatternZoom({0, 0, 6, 1}, 512, 255, false, false, 0, 0, *pattern, 256);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{A, A, B, B, C, C}));
    // A tiny zoom steps at most one pattern width per pixel.
    TDrawContext(*dst).FillPatternZoom({0, 0, 6, 1}, 1, 255, false, false, 0, 0, *pattern, 256);
    EXPECT_EQ(Pixels(*dst), std::vector<uint32_t>(6, A));
    TDrawContext(*dst).FillPatternZoom({0, 0, 6, 1}, 0, 255, false, false, 0, 0, *pattern, 256);
    EXPECT_EQ(Pixels(*dst), std::vector<uint32_t>(6, A));

    auto mask = MakeMask(3, 1, {0, 255, 128});
    auto masked = MakeSurface(3, 1);
    TDrawContext(*masked).FillPatternZoomMask({0, 0, 3, 1}, 256, 255, *mask, false, false, 0, 0,
                                              *pattern, 256);
    EXPECT_EQ(Pixels(*masked), (std::vector<uint32_t>{0, B, BlendPixel(0, C, 128)}));
}

TEST(RasterTile, PaletteDraws) {
    // A 4-bit source: 1, 2 (the key), 3, 15.
    auto src = MakeSurface(4, 1, {1, 2, 3, 15}, 4);
    std::array<uint32_t, 16> table{};
    for (uint32_t i = 0; i < 16; ++i)
        table[i] = i * 0x00101010;

    auto dst = MakeSurface(4, 1, {0, 0, 0, 0x00FFFFFF});
    TDrawContext(*dst).DrawPalette16(0, 0, table, 255, false, true, TColorKey(2), {0, 0, 4, 1},
                                     *src);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0x00F0F0F0, 0x00303030, 0, 0x00101010}));

    dst = MakeSurface(4, 1, {0x00202020, 0, 0, 0x00FFFFFF});
    TDrawContext(*dst).DrawPalette16(0, 0, table, 256 + 128, false, false, TColorKey(2),
                                     {0, 0, 4, 1}, *src);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0x00282828, 0, 0x00181818, 0x00FFFFFF}));

    auto heat = MakeSurface(3, 1, {5, 16, 17}, 8);
    std::array<uint32_t, 256> fire{};
    for (uint32_t i = 0; i < 256; ++i)
        fire[i] = i;
    dst = MakeSurface(3, 1, {1, 1, 1});
    TDrawContext(*dst).DrawPaletteAdd(0, 0, fire, 256, false, false, 16, {0, 0, 3, 1}, *heat);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{1, 17, 18}));

    dst = MakeSurface(6, 1);
    TDrawContext(*dst).StretchDrawPaletteAdd({0, 0, 6, 1}, *heat, fire, 256, false, false, 16,
                                             {0, 0, 3, 1});
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0, 0, 16, 16, 17, 17}));

    // A flame doubled both ways at a partial amount over pixels with a fourth byte adds what
    // the unscaled draw adds from a heat buffer doubled by hand, row for row.
    std::vector<uint32_t> cells, doubled;
    for (uint32_t i = 0; i < 12; ++i)
        cells.push_back(i * 23 % 256);
    for (int32_t y = 0; y < 6; ++y) {
        for (int32_t x = 0; x < 8; ++x)
            doubled.push_back(cells[static_cast<size_t>(y / 2 * 4 + x / 2)]);
    }
    std::array<uint32_t, 256> ramp{};
    for (uint32_t i = 0; i < 256; ++i)
        ramp[i] = i * 0x010305 & 0xFFFFFF;
    std::vector<uint32_t> under(48);
    for (uint32_t i = 0; i < under.size(); ++i)
        under[i] = 0xAB000000 | (i * 0x0A0B0C);
    auto stretched = MakeSurface(8, 6, under);
    auto plain = MakeSurface(8, 6, under);
    TDrawContext(*stretched)
        .StretchDrawPaletteAdd({0, 0, 8, 6}, *MakeSurface(4, 3, cells, 8), ramp, 200, false,
                               false, 40, {0, 0, 4, 3});
    TDrawContext(*plain).DrawPaletteAdd(0, 0, ramp, 200, false, false, 40, {0, 0, 8, 6},
                                        *MakeSurface(8, 6, doubled, 8));
    EXPECT_EQ(Pixels(*stretched), Pixels(*plain));
}

}  // namespace
}  // namespace kivo
