// Blend arithmetic of the 32-bit surface operations, checked at exact pixels.

#include <gtest/gtest.h>

#include "imaging/draw_context.h"
#include "imaging/raster_fixture.h"

namespace kivo {
namespace {

using test::MakeMask;
using test::MakeSurface;
using test::Pixels;

constexpr TRect kOne{0, 0, 1, 1};

struct AlphaCase {
    const char* name;
    uint32_t dest, source;
    int32_t alpha;
    bool transparent;
    uint32_t expected;
};

TEST(RasterBlend, DrawAlphaWeightsAndSkips) {
    const AlphaCase cases[] = {
        {"weight 128", 0x00FF8000, 0x000080FF, 128, false, 0x007E7F7F},
        {"full weight darkens white", 0x00000000, 0x00FFFFFF, 255, false, 0x00FEFEFE},
        {"equal pixels stay", 0x00123456, 0x00123456, 128, false, 0x00123456},
        {"equal except the fourth byte blends", 0x00123456, 0xFF123456, 128, false, 0x00113355},
        {"alpha 0 draws nothing", 0x00102030, 0x00FFFFFF, 0, false, 0x00102030},
        {"alpha above 255 blends as 255", 0x00000000, 0x00FFFFFF, 300, false, 0x00FEFEFE},
        {"keyed source skipped", 0x00102030, 0x00ABCDEF, 128, true, 0x00102030},
        {"fourth byte cleared", 0xFF000000, 0x00000080, 128, false, 0x00000040},
    };
    for (const AlphaCase& c : cases) {
        auto dst = MakeSurface(1, 1, {c.dest});
        auto src = MakeSurface(1, 1, {c.source});
        const TColorKey key = c.transparent ? TColorKey(0x00ABCDEF) : TColorKey{};
        TDrawContext(*dst).DrawAlpha(0, 0, c.alpha, false, false, key, kOne, *src);
        EXPECT_EQ(dst->GetPixel(0, 0), c.expected) << c.name;
    }
}

struct MaskCase {
    const char* name;
    uint32_t dest, source, mask;
    int32_t alpha;  // below 0: DrawMask, else DrawMaskAlpha
    uint32_t expected;
};

TEST(RasterBlend, MaskDrawsWeighAndSkip) {
    const MaskCase cases[] = {
        {"mask 0 skips", 0x00102030, 0x00FFFFFF, 0, -1, 0x00102030},
        {"mask 255 copies exactly", 0x00102030, 0xAAFFFFFF, 255, -1, 0xAAFFFFFF},
        {"mask 128 blends", 0x00000000, 0x00FFFFFF, 128, -1, 0x007F7F7F},
        {"mask 128 of an equal pixel stays", 0x00808080, 0x00808080, 128, -1, 0x00808080},
        {"alpha 200 mask 255", 0x00000000, 0x00FFFFFF, 255, 200, 0x00C7C7C7},
        {"alpha 200 mask 128", 0x00000000, 0x00FFFFFF, 128, 200, 0x00636363},
        {"weight 0 skips", 0x00102030, 0x00FFFFFF, 1, 100, 0x00102030},
        {"alpha 255 mask 255 still blends", 0x00000000, 0x00FFFFFF, 255, 255, 0x00FEFEFE},
        {"alpha 0 draws nothing", 0x00102030, 0x00FFFFFF, 255, 0, 0x00102030},
    };
    for (const MaskCase& c : cases) {
        auto dst = MakeSurface(1, 1, {c.dest});
        auto src = MakeSurface(1, 1, {c.source});
        auto mask = MakeMask(1, 1, {c.mask});
        if (c.alpha < 0) {
            TDrawContext(*dst).DrawMask(0, 0, *mask, false, false, kOne, *src);
        } else {
            TDrawContext(*dst).DrawMaskAlpha(0, 0, c.alpha, *mask, false, false, kOne, *src);
        }
        EXPECT_EQ(dst->GetPixel(0, 0), c.expected) << c.name;
    }
}

struct AddCase {
    const char* name;
    uint32_t dest, source, mask;  // mask 0x100: DrawAdd without a mask
    int32_t amount;
    uint32_t expected;
};

TEST(RasterBlend, AdditiveDrawsSaturate) {
    const AddCase cases[] = {
        {"amount 128", 0x00808080, 0x00808080, 0x100, 128, 0x00C0C0C0},
        {"saturates per channel", 0x00F01000, 0x00FF1000, 0x100, 256, 0x00FF2000},
        {"keyed pixel skipped", 0x00010203, 0x00ABCDEF, 0x100, 255, 0x00010203},
        {"amount 0 draws nothing", 0xFF010203, 0x00FFFFFF, 0x100, 0, 0xFF010203},
        {"mask 255 uses the amount", 0x00000000, 0x00FFFFFF, 255, 128, 0x007F7F7F},
        {"mask 128 halves it", 0x00000000, 0x00FFFFFF, 128, 128, 0x003F3F3F},
        {"mask 0 skips", 0xFF010203, 0x00FFFFFF, 0, 255, 0xFF010203},
    };
    for (const AddCase& c : cases) {
        auto dst = MakeSurface(1, 1, {c.dest});
        auto src = MakeSurface(1, 1, {c.source});
        if (c.mask == 0x100) {
            TDrawContext(*dst).DrawAdd(0, 0, c.amount, false, false, TColorKey(0x00ABCDEF), kOne,
                                       *src);
        } else {
            auto mask = MakeMask(1, 1, {c.mask});
            TDrawContext(*dst).DrawMaskAdd(0, 0, c.amount, *mask, false, false, kOne, *src);
        }
        EXPECT_EQ(dst->GetPixel(0, 0), c.expected) << c.name;
    }
}

TEST(RasterBlend, FillsBlendAddAndSubtract) {
    auto s = MakeSurface(4, 1, {0x00000000, 0x00FF8000, 0x00102030, 0xFF808080});
    TDrawContext(*s).FillRectAlpha({0, 0, 3, 1}, 0x00102030, 128);
    EXPECT_EQ(Pixels(*s), (std::vector<uint32_t>{0x00081018, 0x00864F18, 0x00102030, 0xFF808080}));

    TDrawContext(*s).FillRectAdd({1, 0, 4, 1}, 0x00F00000);
    EXPECT_EQ(Pixels(*s), (std::vector<uint32_t>{0x00081018, 0x00FF4F18, 0x00FF2030, 0x00FF8080}));

    TDrawContext(*s).FillRectSub({0, 0, 4, 1}, 0x00101020);
    EXPECT_EQ(Pixels(*s), (std::vector<uint32_t>{0x00000000, 0x00EF3F00, 0x00EF1010, 0x00EF7060}));
}

TEST(RasterBlend, FillAndFrame) {
    auto s = MakeSurface(5, 4);
    TDrawContext(*s).Fill(0xFF123456);
    for (uint32_t p : Pixels(*s))
        EXPECT_EQ(p, 0xFF123456u);

    TDrawContext(*s).Fill(0);
    TDrawContext(*s).FrameRect({0, 0, 5, 4}, 1, 7);
    EXPECT_EQ(Pixels(*s), (std::vector<uint32_t>{7, 7, 7, 7, 7,  //
                                                 7, 0, 0, 0, 7,  //
                                                 7, 0, 0, 0, 7,  //
                                                 7, 7, 7, 7, 7}));
}

TEST(RasterBlend, FillMaskTintsThroughTheMask) {
    auto dst = MakeSurface(4, 1, {0, 0, 0x00FFFFFF, 0});
    auto mask = MakeMask(4, 1, {0, 255, 255, 128});
    TDrawContext(*dst).FillMask(0, 0, 255, 0x00FFFFFF, false, false, {0, 0, 4, 1}, *mask);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0, 0x00FEFEFE, 0x00FFFFFF, 0x007F7F7F}));

    auto half = MakeSurface(2, 1);
    auto mask2 = MakeMask(2, 1, {255, 128});
    TDrawContext(*half).FillMask(0, 0, 200, 0x00FFFFFF, false, false, {0, 0, 2, 1}, *mask2);
    EXPECT_EQ(Pixels(*half), (std::vector<uint32_t>{0x00C7C7C7, 0x00636363}));

    // A rectangle reaching outside the mask draws nothing at all.
    TDrawContext(*half).FillMask(0, 0, 255, 0x00000000, false, false, {0, 0, 3, 1}, *mask2);
    EXPECT_EQ(Pixels(*half), (std::vector<uint32_t>{0x00C7C7C7, 0x00636363}));
}

TEST(RasterBlend, ColorToPixel) {
    struct Case {
        int bits;
        int32_t colour;
        uint32_t expected;
    };
    const Case cases[] = {
        {32, 0x000000FF, 0x00FF0000}, {32, 0x00FFFFFF, 0x00FFFFFF}, {32, 0x00123456, 0x00563412},
        {32, -1, 0xFFFFFFFF},         {32, -5, 0xFFFFFFFF},         {16, 0x00FFFFFF, 0xFFFF},
        {15, 0x00FFFFFF, 0x7FFF},     {16, 0x000000FF, 0xF800},     {15, 0x00FF0000, 0x001F},
        {8, 0x00123456, 0x00123456},  {8, -1, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        TDIBX s(1, 1, c.bits);
        EXPECT_EQ(s.ColorToPixel(c.colour), c.expected) << c.bits << " bits, colour " << c.colour;
    }
}

TEST(RasterBlend, EightBitSurfacesCopyAndSumCoverage) {
    auto dst = MakeMask(3, 1, {10, 200, 30});
    auto src = MakeMask(3, 1, {100, 100, 5});
    TDrawContext(*dst).DrawAdd(0, 0, 1, false, false, TColorKey(5), {0, 0, 3, 1}, *src);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{110, 255, 30}));
    TDrawContext(*dst).Draw(0, 0, false, true, TColorKey(5), {0, 0, 3, 1}, *src);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{110, 100, 100}));
}

// An 8 x 4 1-bit source: the left 4 x 4 block has its top two rows at 0 (8 of 16 samples
// covered), the right block is all 0 (fully covered).
std::unique_ptr<TDIBX> MonoSource() {
    std::vector<uint32_t> bits(32, 0);
    for (size_t i = 16; i < 32; ++i)
        bits[i] = (i % 8) < 4 ? 1 : 0;
    return MakeSurface(8, 4, bits, 1);
}

TEST(RasterBlend, DrawMonoReducedMixesByCoverage) {
    struct Case {
        const char* name;
        int32_t x, alpha;
        bool flipH;
        std::vector<uint32_t> expected;
    };
    constexpr uint32_t kUntouched = 0xAA000000;
    const Case cases[] = {
        // Half covered: each channel (p x 8 + 0 x 8) / 16; the fourth byte is cleared.
        {"half and full", 0, 255, false, {0x007F4020, 0x00FF8040}},
        {"alpha scales coverage", 0, 128, false, {0x003F2010, 0x007F4020}},
        {"flipped", 0, 255, true, {0x00FF8040, 0x007F4020}},
        // The cut left block moves the source with it: the right block lands at column 0.
        {"clipped left", -1, 255, false, {0x00FF8040, kUntouched}},
        {"no alpha", 0, 0, false, {kUntouched, kUntouched}},
    };
    for (const Case& c : cases) {
        auto dst = MakeSurface(2, 1, {kUntouched, kUntouched});
        auto src = MonoSource();
        TDrawContext(*dst).DrawMonoReduced(c.x, 0, 4, c.alpha, false, c.flipH, 0x00FF8040,
                                           {0, 0, 8, 4}, *src);
        EXPECT_EQ(Pixels(*dst), c.expected) << c.name;
    }
}

TEST(RasterBlend, DrawMonoReducedKeepsChannelsInRangeForAnyFactor) {
    // Factor 2 has four samples: full coverage gives the pixel itself, not a quarter of it.
    auto dst = MakeSurface(1, 1, {0x00102030});
    auto src = MakeSurface(2, 2, {0, 0, 0, 0}, 1);
    TDrawContext(*dst).DrawMonoReduced(0, 0, 2, 255, false, false, 0x00FF8040, {0, 0, 2, 2}, *src);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0x00FF8040}));
    // 5-6-5: half of white over black.
    auto wide = MakeSurface(1, 1, {0}, 16);
    auto half = MonoSource();
    TDrawContext(*wide).DrawMonoReduced(0, 0, 4, 255, false, false, 0xFFFF, {0, 0, 4, 4}, *half);
    EXPECT_EQ(Pixels(*wide), (std::vector<uint32_t>{0x7BEF}));
    // No colour channels, or a source that is not 1-bit: nothing is drawn.
    auto palettised = MakeSurface(1, 1, {5}, 8);
    TDrawContext(*palettised)
        .DrawMonoReduced(0, 0, 4, 255, false, false, 0xFF, {0, 0, 4, 4}, *half);
    EXPECT_EQ(Pixels(*palettised), (std::vector<uint32_t>{5}));
    auto colour = MakeSurface(4, 4, {}, 32);
    TDrawContext(*dst).DrawMonoReduced(0, 0, 4, 255, false, false, 0, {0, 0, 4, 4}, *colour);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0x00FF8040}));
}

// A 4 x 2 2-bit source: the left 2 x 2 block holds each code once, the right one only 3.
std::unique_ptr<TDIBX> QuadSource() {
    return MakeSurface(4, 2, {0, 1, 3, 3, 2, 3, 3, 3}, 2);
}

TEST(RasterBlend, DrawQuadReducedMixesTheFourPixelsBySampleCounts) {
    struct Case {
        const char* name;
        int32_t alpha;
        bool flipH;
        TRect srcRect;
        std::vector<uint32_t> dest, expected;
    };
    constexpr uint32_t kUntouched = 0xAA000000;
    const std::vector<uint32_t> grey{0x00808080, 0x00808080};
    const Case cases[] = {
        // A quarter of each pixel, then all of pixel 3; the fourth byte is cleared.
        {"opaque", 255, false, {0, 0, 4, 2}, {kUntouched, kUntouched}, {0x00101010, 0x00400000}},
        {"flipped", 255, true, {0, 0, 4, 2}, {kUntouched, kUntouched}, {0x00400000, 0x00101010}},
        // Alpha 128 halves each count: single samples vanish, four become two.
        {"alpha", 128, false, {0, 0, 4, 2}, grey, {0x00808080, 0x00604040}},
        // Above 255 the mix is added, saturating per channel.
        {"add", 300, false, {0, 0, 4, 2}, {0x00808080, 0x00F08080}, {0x00909090, 0x00FF8080}},
        // The right block lies outside the source: nothing is counted, nothing drawn.
        {"outside", 255, false, {2, 0, 6, 2}, grey, {0x00400000, 0x00808080}},
        {"no alpha", 0, false, {0, 0, 4, 2}, grey, grey},
    };
    const std::array<uint32_t, 4> pixels{0x00000000, 0x00000040, 0x00004000, 0x00400000};
    for (const Case& c : cases) {
        auto dst = MakeSurface(2, 1, c.dest);
        TDrawContext(*dst).DrawQuadReduced(0, 0, 2, c.alpha, false, c.flipH, pixels, c.srcRect,
                                           *QuadSource());
        EXPECT_EQ(Pixels(*dst), c.expected) << c.name;
    }
    // Only 2-bit sources hold codes.
    auto dst = MakeSurface(2, 1, grey);
    TDrawContext(*dst).DrawQuadReduced(0, 0, 2, 255, false, false, pixels, {0, 0, 4, 2},
                                       *MakeSurface(4, 2, {}, 4));
    EXPECT_EQ(Pixels(*dst), grey);
}

}  // namespace
}  // namespace kivo
