// The cell drawing's pixel rules: the blend tables against the rule's arithmetic, and the
// fast row kernels against the scalar ones over random rows.

#include "text/glyph_rows.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace kivo {
namespace {

TEST(GlyphRows, BlendTablesFollowTheRule) {
    const CoverageTables& tables = GlyphCoverageTables();
    for (uint32_t c = 1; c < 255; ++c) {
        for (uint32_t m = 0; m < 256; ++m) {
            const uint32_t united = m + c * (255 - m) / 255;
            ASSERT_EQ(tables.united[c][m], united) << c << "," << m;
            ASSERT_EQ(tables.weight[c][united], c * 255 / united) << c << "," << m;
        }
    }
    uint32_t pixel = 0x00102030;
    uint8_t mask = 128;
    BlendCoverage(tables, pixel, mask, 128, 0x00FFFFFF);
    EXPECT_EQ(mask, 191);
    EXPECT_EQ(pixel, BlendPixel(0x00102030, 0x00FFFFFF, 170));
}

TEST(GlyphRows, FastKernelsGiveTheScalarBytes) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    const GlyphRowOps& fast = FastGlyphRowOps();
    const GlyphRowOps& scalar = ScalarGlyphRowOps();
    for (int32_t count : {0, 1, 15, 16, 17, 33, 64, 100}) {
        std::vector<uint8_t> coverage(static_cast<size_t>(count));
        std::vector<uint32_t> colour(static_cast<size_t>(count));
        std::vector<uint8_t> mask(static_cast<size_t>(count));
        for (int32_t i = 0; i < count; ++i) {
            // Plenty of blank coverage, as glyph rows have.
            coverage[i] = byte(random) < 96 ? 0 : static_cast<uint8_t>(byte(random));
            colour[i] = static_cast<uint32_t>(random());
            mask[i] = static_cast<uint8_t>(byte(random));
        }
        auto fastColour = colour, scalarColour = colour;
        auto fastMask = mask, scalarMask = mask;
        fast.SolidMax(fastColour.data(), fastMask.data(), coverage.data(), count, 0x00ABCDEF);
        scalar.SolidMax(scalarColour.data(), scalarMask.data(), coverage.data(), count, 0x00ABCDEF);
        EXPECT_EQ(fastColour, scalarColour) << count;
        EXPECT_EQ(fastMask, scalarMask) << count;

        fastColour = scalarColour = colour;
        fastMask = scalarMask = mask;
        fast.Blend(fastColour.data(), fastMask.data(), coverage.data(), count, 0x00ABCDEF);
        scalar.Blend(scalarColour.data(), scalarMask.data(), coverage.data(), count, 0x00ABCDEF);
        EXPECT_EQ(fastColour, scalarColour) << count;
        EXPECT_EQ(fastMask, scalarMask) << count;
    }
    // Every pair of coverage and mask value.
    for (uint32_t c = 0; c < 256; ++c) {
        std::vector<uint8_t> coverage(256, static_cast<uint8_t>(c));
        std::vector<uint8_t> mask(256);
        std::vector<uint32_t> colour(256);
        for (uint32_t m = 0; m < 256; ++m) {
            mask[m] = static_cast<uint8_t>(m);
            colour[m] = m * 0x00010203u;
        }
        auto fastColour = colour, scalarColour = colour;
        auto fastMask = mask, scalarMask = mask;
        fast.Blend(fastColour.data(), fastMask.data(), coverage.data(), 256, 0x00FF8000);
        scalar.Blend(scalarColour.data(), scalarMask.data(), coverage.data(), 256, 0x00FF8000);
        ASSERT_EQ(fastColour, scalarColour) << c;
        ASSERT_EQ(fastMask, scalarMask) << c;
    }
}

}  // namespace
}  // namespace kivo
