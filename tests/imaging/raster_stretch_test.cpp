// Scaled and rotated draws: nearest sampling in 16.16, clipping with the fraction carried,
// flips, spans wider than the old table, and coordinates and zooms far from the surface.

#include <gtest/gtest.h>

#include "imaging/draw_context.h"
#include "imaging/raster_fixture.h"

namespace kivo {
namespace {

using test::MakeMask;
using test::MakeSurface;
using test::Pixels;

constexpr uint32_t A = 0x00A0A0A0, B = 0x00B0B0B0, C = 0x00C0C0C0, D = 0x00D0D0D0;

struct StretchCase {
    const char* name;
    TRect dstRect;
    TRect srcRect;
    bool flipH;
    std::vector<uint32_t> expected;  // the 4 x 1 destination afterwards
};

TEST(RasterStretch, NearestSamplingWithClipAndFlip) {
    const StretchCase cases[] = {
        {"double", {0, 0, 4, 1}, {0, 0, 2, 1}, false, {A, A, B, B}},
        {"double flipped", {0, 0, 4, 1}, {0, 0, 2, 1}, true, {B, B, A, A}},
        {"halve", {0, 0, 2, 1}, {0, 0, 4, 1}, false, {A, C, 0, 0}},
        {"halve flipped", {0, 0, 2, 1}, {0, 0, 4, 1}, true, {D, B, 0, 0}},
        {"clipped left keeps the fraction", {-1, 0, 3, 1}, {0, 0, 2, 1}, false, {A, B, B, 0}},
        {"clipped left flipped", {-1, 0, 3, 1}, {0, 0, 2, 1}, true, {B, A, A, 0}},
        {"source rect outside the source is skipped",
         {0, 0, 4, 1},
         {-2, 0, 2, 1},
         false,
         {0, 0, A, B}},
        {"empty destination", {2, 0, 2, 1}, {0, 0, 2, 1}, false, {0, 0, 0, 0}},
        {"inverted destination", {3, 0, 1, 1}, {0, 0, 2, 1}, false, {0, 0, 0, 0}},
    };
    auto src = MakeSurface(4, 1, {A, B, C, D});
    for (const StretchCase& c : cases) {
        auto dst = MakeSurface(4, 1);
        TDrawContext(*dst).StretchDraw(c.dstRect, *src, 255, false, c.flipH, TColorKey{},
                                       c.srcRect);
        EXPECT_EQ(Pixels(*dst), c.expected) << c.name;
    }
}

TEST(RasterStretch, RowsRepeatedFromOneSourceRowMatchIt) {
    // Doubled vertically: rows 0-1 sample source row 0, rows 2-3 row 1; flipped, the other way.
    auto src = MakeSurface(2, 2, {A, B, C, D});
    for (const bool flipV : {false, true}) {
        auto dst = MakeSurface(2, 4);
        TDrawContext(*dst).StretchDraw({0, 0, 2, 4}, *src, 255, flipV, false, TColorKey{},
                                       {0, 0, 2, 2});
        const std::vector<uint32_t> top{A, B, A, B}, bottom{C, D, C, D};
        std::vector<uint32_t> expected = flipV ? bottom : top;
        for (const uint32_t p : flipV ? top : bottom)
            expected.push_back(p);
        EXPECT_EQ(Pixels(*dst), expected) << flipV;
    }
}

TEST(RasterStretch, AlphaKeyMaskAndAddVariants) {
    auto src = MakeSurface(2, 1, {0x00FFFFFF, 0x00000080});
    const TColorKey key(0x00000080);
    auto mask = MakeMask(2, 1, {128, 255});

    auto dst = MakeSurface(4, 1);
    TDrawContext(*dst).StretchDraw({0, 0, 4, 1}, *src, 128, false, false, key, {0, 0, 2, 1});
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0x007F7F7F, 0x007F7F7F, 0, 0}));

    dst = MakeSurface(4, 1);
    TDrawContext(*dst).StretchDrawMask({0, 0, 4, 1}, *src, 255, *mask, false, false, {0, 0, 2, 1});
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0x007F7F7F, 0x007F7F7F, 0x80, 0x80}));

    dst = MakeSurface(4, 1, {0x00010101, 0x00010101, 0x00010101, 0x00010101});
    TDrawContext(*dst).StretchDrawAdd({0, 0, 4, 1}, *src, 256, false, false, key, {0, 0, 2, 1});
    EXPECT_EQ(Pixels(*dst),
              (std::vector<uint32_t>{0x00FFFFFF, 0x00FFFFFF, 0x00010101, 0x00010101}));

    dst = MakeSurface(4, 1);
    TDrawContext(*dst).StretchDrawMaskAdd({0, 0, 4, 1}, *src, 128, *mask, false, false,
                                          {0, 0, 2, 1});
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0x003F3F3F, 0x003F3F3F, 0x40, 0x40}));
}

TEST(RasterStretch, SpansWiderThanTheOldColumnTable) {
    auto src = MakeSurface(2, 1, {A, B});
    auto dst = MakeSurface(3000, 1);
    TDrawContext(*dst).StretchDraw({0, 0, 3000, 1}, *src, 255, false, false, TColorKey{},
                                   {0, 0, 2, 1});
    // The step is the factor truncated to 16.16 (43 / 65536), so the first source pixel covers
    // 1525 columns rather than 1500.
    EXPECT_EQ(dst->GetPixel(0, 0), A);
    EXPECT_EQ(dst->GetPixel(1524, 0), A);
    EXPECT_EQ(dst->GetPixel(1525, 0), B);
    EXPECT_EQ(dst->GetPixel(2999, 0), B);
}

TEST(RasterStretch, HugeCoordinatesAndZoomsDoNotOverflow) {
    auto src = MakeSurface(2, 1, {A, B});
    // The visible pixels sit exactly at the middle of a destination two billion pixels wide.
    auto dst = MakeSurface(8, 1);
    TDrawContext(*dst).StretchDraw({-(1 << 30), 0, 1 << 30, 1}, *src, 255, false, false,
                                   TColorKey{}, {0, 0, 2, 1});
    EXPECT_EQ(Pixels(*dst), std::vector<uint32_t>(8, B));

    // A source rectangle a billion pixels wide shrunk onto eight: only its first sample is
    // readable.
    dst = MakeSurface(8, 1);
    TDrawContext(*dst).StretchDraw({0, 0, 8, 1}, *src, 255, false, false, TColorKey{},
                                   {0, 0, 1 << 30, 1});
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{A, 0, 0, 0, 0, 0, 0, 0}));

    dst = MakeSurface(8, 1);
    TDrawContext(*dst).StretchDraw({INT32_MAX - 4, 0, INT32_MAX, 1}, *src, 255, false, false,
                                   TColorKey{}, {0, 0, 2, 1});
    TDrawContext(*dst).StretchDraw({INT32_MIN, 0, INT32_MIN + 4, 1}, *src, 255, false, false,
                                   TColorKey{}, {0, 0, 2, 1});
    EXPECT_EQ(Pixels(*dst), std::vector<uint32_t>(8, 0));
}

// A 10 x 10 destination after a rotated draw of the 2 x 1 source A B.
std::vector<uint32_t> Rotated(int32_t alpha, int32_t angle, int32_t zoom, bool flipH,
                              uint32_t background = 0) {
    auto src = MakeSurface(2, 1, {A, B});
    auto dst = MakeSurface(10, 10, std::vector<uint32_t>(100, background));
    TDrawContext(*dst).DrawRotate(5, 5, alpha, false, flipH, TColorKey{}, angle, 0, 0, {0, 0, 2, 1},
                                  *src, zoom, zoom);
    return Pixels(*dst);
}

TEST(RasterStretch, RotateTurnsClockwiseAndZooms) {
    // A quarter turn puts the pixel right of the pivot below it.
    std::vector<uint32_t> quarter(100, 0);
    quarter[5 * 10 + 5] = A;
    quarter[6 * 10 + 5] = B;
    EXPECT_EQ(Rotated(255, 64, 256, false), quarter);

    std::vector<uint32_t> doubled(100, 0);
    for (int y = 5; y < 7; ++y) {
        for (int x = 5; x < 9; ++x)
            doubled[y * 10 + x] = x < 7 ? A : B;
    }
    EXPECT_EQ(Rotated(255, 0, 512, false), doubled);

    std::vector<uint32_t> flipped(100, 0);
    flipped[55] = B;
    flipped[56] = A;
    EXPECT_EQ(Rotated(255, 0, 256, true), flipped);

    // Half a turn puts it on the left; with flipH the two swap back.
    std::vector<uint32_t> half(100, 0);
    half[55] = A;
    half[54] = B;
    EXPECT_EQ(Rotated(255, 128, 256, false), half);
    std::swap(half[54], half[55]);
    EXPECT_EQ(Rotated(255, 128, 256, true), half);

    EXPECT_EQ(Rotated(255, 64, 0, false), std::vector<uint32_t>(100, 0));
    EXPECT_EQ(Rotated(0, 64, 256, false), std::vector<uint32_t>(100, 0));
}

TEST(RasterStretch, RotateAlphaRanges) {
    const uint32_t bg = 0x00101010;
    struct Case {
        int32_t alpha;
        uint32_t expected;  // at the pivot, where A lands
    };
    const Case cases[] = {{128, BlendPixel(bg, A, 128)},
                          {255, A},
                          {300, AddPixel(bg, A, 44)},
                          {1000, AddPixel(bg, A, 255)}};
    for (const Case& c : cases)
        EXPECT_EQ(Rotated(c.alpha, 0, 256, false, bg)[55], c.expected) << c.alpha;
}

TEST(RasterStretch, RotateMaskAndFarAwayPositions) {
    auto src = MakeSurface(2, 1, {A, B});
    auto mask = MakeMask(2, 1, {0, 255});
    auto dst = MakeSurface(4, 1);
    TDrawContext(*dst).DrawRotateMask(0, 0, 255, *mask, false, false, 0, 0, 0, {0, 0, 2, 1}, *src,
                                      256, 256);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0, B, 0, 0}));

    TDrawContext(*dst).DrawRotate(INT32_MAX - 1, INT32_MIN + 1, 255, false, false, TColorKey{}, 37,
                                  1 << 30, -(1 << 30), {0, 0, 2, 1}, *src, 1, 1 << 30);
    TDrawContext(*dst).DrawRotate(0, 0, 255, false, false, TColorKey{}, 1, 0, 0, {0, 0, 2, 1}, *src,
                                  INT32_MAX, INT32_MAX);
    EXPECT_EQ(dst->GetPixel(0, 0), A);
    EXPECT_EQ(dst->GetPixel(3, 0), A);

    const TRect bounds = TCustomDIBX::RotatedBounds(5, 5, 64, 0, 0, {0, 0, 2, 1}, 256, 256);
    EXPECT_LE(bounds.Left, 4);
    EXPECT_GE(bounds.Right, 6);
    EXPECT_LE(bounds.Top, 5);
    EXPECT_GE(bounds.Bottom, 7);
}

}  // namespace
}  // namespace kivo
