// Clipping of unscaled draws: the drawing region, flips with the opposite-side source trim,
// and source rectangles that reach outside the source or its mask; and drawing state that
// stays with the draw, never on a shared surface.

#include <gtest/gtest.h>

#include "imaging/draw_context.h"
#include "imaging/raster_fixture.h"

namespace kivo {
namespace {

using test::MakeMask;
using test::MakeSurface;
using test::Pixels;

constexpr uint32_t A = 0xA, B = 0xB, C = 0xC, D = 0xD;

TEST(RasterClip, AddClipRectClampsAndMerges) {
    struct Case {
        const char* name;
        std::vector<TRect> added;
        TRect expected;  // Right 0: no clip set
    };
    const Case cases[] = {
        {"outside changes nothing", {{-10, -10, -1, -1}}, {0, 0, 0, 0}},
        {"two rectangles give their bounding box",
         {{10, 10, 20, 20}, {50, 50, 60, 60}},
         {10, 10, 60, 60}},
        {"clamped to the surface", {{90, -5, 120, 10}}, {90, 0, 100, 10}},
        {"an outside rectangle keeps the clip",
         {{10, 10, 20, 20}, {200, 200, 300, 300}},
         {10, 10, 20, 20}},
    };
    TDIBX s(100, 100, 32);
    for (const Case& c : cases) {
        TDrawContext context(s);
        for (const TRect& r : c.added)
            context.AddClipRect(r);
        EXPECT_EQ(context.ClipRect().value_or(TRect{}), c.expected) << c.name;
    }
    TDrawContext context(s);
    context.AddClipRect({10, 10, 20, 20});
    context.ResetClip();
    EXPECT_FALSE(context.ClipRect());
    EXPECT_EQ(context.DrawingRect(), (TRect{0, 0, 100, 100}));
    // A clip set empty draws nothing, and a rectangle added to it is the clip.
    context.SetClipRect({});
    EXPECT_TRUE(context.DrawingRect().IsEmpty());
    context.AddClipRect({30, 30, 40, 40});
    EXPECT_EQ(context.ClipRect(), (TRect{30, 30, 40, 40}));
}

TEST(RasterClip, ClipsAndKeysStayWithTheirDraw) {
    // One source and one destination shared by two users, as the image cache shares a
    // picture: each user's clip and key apply to its own draws only, whatever the order.
    auto shared = MakeSurface(4, 1, {A, B, C, D});
    auto dst = MakeSurface(4, 1);
    TDrawContext left(*dst), right(*dst);
    left.AddClipRect({0, 0, 2, 1});
    right.AddClipRect({2, 0, 4, 1});
    left.Draw(0, 0, false, false, TColorKey(B), {0, 0, 4, 1}, *shared);
    right.Draw(0, 0, false, false, TColorKey{}, {0, 0, 4, 1}, *shared);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{A, 0, C, D}));
    // A third user without a clip or key sees the whole picture.
    TDrawContext(*dst).Draw(0, 0, false, false, TColorKey{}, {0, 0, 4, 1}, *shared);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{A, B, C, D}));
    // A colour becomes the surface's key in its pixel format; a negative colour keys nothing.
    EXPECT_EQ(shared->ColorToKey(-1), TColorKey{});
    EXPECT_EQ(shared->ColorToKey(0x000000FF), TColorKey(0x00FF0000));
}

struct BlitCase {
    const char* name;
    int32_t x;
    bool flipH;
    TRect srcRect;
    std::vector<uint32_t> expected;  // the 6 x 1 destination afterwards
};

TEST(RasterClip, DrawTrimsTheSourceOnTheRightSide) {
    // The source is A B C D; the destination is 6 x 1, cleared to 0, drawn with a clip of
    // (0, 0, 6, 1) unless the case says otherwise.
    const BlitCase cases[] = {
        {"plain", 1, false, {0, 0, 4, 1}, {0, A, B, C, D, 0}},
        {"flipped", 1, true, {0, 0, 4, 1}, {0, D, C, B, A, 0}},
        {"cut left", -2, false, {0, 0, 4, 1}, {C, D, 0, 0, 0, 0}},
        {"cut left flipped trims the source's right", -2, true, {0, 0, 4, 1}, {B, A, 0, 0, 0, 0}},
        {"cut right", 4, false, {0, 0, 4, 1}, {0, 0, 0, 0, A, B}},
        {"cut right flipped", 4, true, {0, 0, 4, 1}, {0, 0, 0, 0, D, C}},
        {"source rect past both source edges", 0, false, {-2, 0, 6, 1}, {0, 0, A, B, C, D}},
        {"source rect past the edges flipped", 0, true, {-2, 0, 5, 1}, {0, D, C, B, A, 0}},
        {"source rect wholly outside", 0, false, {10, 0, 14, 1}, {0, 0, 0, 0, 0, 0}},
        {"far outside the destination", -2000000000, false, {0, 0, 4, 1}, {0, 0, 0, 0, 0, 0}},
        {"near the int32 edge", 2147483000, false, {0, 0, 4, 1}, {0, 0, 0, 0, 0, 0}},
    };
    auto src = MakeSurface(4, 1, {A, B, C, D});
    for (const BlitCase& c : cases) {
        auto dst = MakeSurface(6, 1);
        TDrawContext(*dst).Draw(c.x, 0, false, c.flipH, TColorKey{}, c.srcRect, *src);
        EXPECT_EQ(Pixels(*dst), c.expected) << c.name;
    }
}

TEST(RasterClip, VerticalFlipAndClipRect) {
    auto src = MakeSurface(1, 3, {A, B, C});
    auto dst = MakeSurface(1, 4);
    TDrawContext context(*dst);
    context.AddClipRect({0, 1, 1, 3});
    context.Draw(0, 0, true, false, TColorKey{}, {0, 0, 1, 3}, *src);
    // Row 0 is outside the clip; with the flip the source's bottom row was trimmed first.
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0, B, A, 0}));
}

TEST(RasterClip, KeyedDrawSkipsOnlyTheKey) {
    auto src = MakeSurface(6, 1, {A, 0xFF, 0xFF, 0xFF, 0xFF, B});
    auto dst = MakeSurface(6, 1, {1, 2, 3, 4, 5, 6});
    TDrawContext(*dst).Draw(0, 0, false, false, TColorKey(0xFF), {0, 0, 6, 1}, *src);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{A, 2, 3, 4, 5, B}));
    // Without a key it is an ordinary colour.
    TDrawContext(*dst).Draw(0, 0, false, false, TColorKey{}, {0, 0, 6, 1}, *src);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{A, 0xFF, 0xFF, 0xFF, 0xFF, B}));
}

TEST(RasterClip, MaskSmallerThanTheSourceLimitsTheDraw) {
    auto src = MakeSurface(4, 1, {A, B, C, D});
    auto mask = MakeMask(2, 1, {255, 255});
    auto dst = MakeSurface(4, 1);
    TDrawContext(*dst).DrawMask(0, 0, *mask, false, false, {0, 0, 4, 1}, *src);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{A, B, 0, 0}));
    // A colour surface is no mask.
    auto notMask = MakeSurface(4, 1, {255, 255, 255, 255});
    TDrawContext(*dst).DrawMask(0, 0, *notMask, false, false, {0, 0, 4, 1}, *src);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{A, B, 0, 0}));
}

TEST(RasterClip, DrawOntoItselfReadsTheOriginal) {
    auto s = MakeSurface(5, 1, {1, 2, 3, 4, 5});
    TDrawContext(*s).Draw(1, 0, false, false, TColorKey{}, {0, 0, 4, 1}, *s);
    EXPECT_EQ(Pixels(*s), (std::vector<uint32_t>{1, 1, 2, 3, 4}));
}

TEST(RasterClip, OtherDepthSourcesAreWidened) {
    // A 5-6-5 source: pure red, and a keyed pure blue.
    auto src = MakeSurface(2, 1, {0xF800, 0x001F}, 16);
    auto dst = MakeSurface(2, 1, {7, 7});
    TDrawContext(*dst).Draw(0, 0, false, false, TColorKey(0x001F), {0, 0, 2, 1}, *src);
    EXPECT_EQ(dst->GetPixel(0, 0), 0x00FF0000u);
    EXPECT_EQ(dst->GetPixel(1, 0), 7u);
    // A widened pixel equal to the destination is left alone by a blend.
    TDrawContext(*dst).DrawAlpha(0, 0, 128, false, false, TColorKey{}, {0, 0, 1, 1}, *src);
    EXPECT_EQ(dst->GetPixel(0, 0), 0x00FF0000u);
}

TEST(RasterClip, EmptyAndClearedSurfacesDrawNothing) {
    TDIBX fresh;
    EXPECT_TRUE(fresh.IsEmpty());
    auto dst = MakeSurface(2, 1, {1, 2});
    TDrawContext(*dst).Draw(0, 0, false, false, TColorKey{}, {0, 0, 1, 1}, fresh);
    auto src = MakeSurface(2, 1, {A, B});
    src->Clear();
    EXPECT_TRUE(src->IsEmpty());
    TDrawContext(*dst).Draw(0, 0, false, false, TColorKey{}, {0, 0, 2, 1}, *src);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{1, 2}));
}

}  // namespace
}  // namespace kivo
