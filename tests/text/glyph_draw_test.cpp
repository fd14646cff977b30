// The cell drawing of the glyph cache at exact pixels: centring by the A, B and C widths, the
// blend rule, the square border, the shadow, underline and strikeout with joined neighbours,
// clearing, clamping and clipping, and pages long enough to cycle the cache.

#include <gtest/gtest.h>

#include "font_fixture.h"
#include "imaging/row_ops.h"
#include "text/decorate.h"
#include "text/font_pixel_manager.h"
#include "text_fixture.h"

namespace kivo {
namespace {

using text_test::CellSurfaces;

constexpr uint32_t kText = 0x00FF0000;
constexpr uint32_t kBorder = 0x0000FF00;
constexpr uint32_t kShadow = 0x000000FF;
constexpr CellColours kColours{kText, kBorder, kShadow};

// A glyph of the given coverage, as wide as its size so that it is never centred.
TFontPixel Glyph(int32_t width, int32_t height, std::vector<uint8_t> coverage = {}) {
    TFontPixel glyph;
    glyph.width = width;
    glyph.height = height;
    glyph.size = width;
    glyph.coverage = coverage.empty()
                         ? std::vector<uint8_t>(static_cast<size_t>(width * height), 255)
                         : std::move(coverage);
    return glyph;
}

TRect Draw(const TFontPixel& glyph, CellSurfaces& s, const TRect& cell, CellEdges edges = {},
           bool clear = false) {
    return TFontPixelManager::DrawGlyph(glyph, s.colour, s.mask, clear, kColours, edges, cell);
}

// The first x of a row whose mask is set, or -1.
int32_t FirstInk(const TDIBX& mask, int32_t y) {
    for (int32_t x = 0; x < mask.Width(); ++x) {
        if (mask.GetPixel(x, y) != 0) return x;
    }
    return -1;
}

// The first and one past the last x of a row whose colour is pixel, or {-1, -1}.
std::pair<int32_t, int32_t> Span(const TDIBX& colour, int32_t y, uint32_t pixel) {
    int32_t first = -1, last = -1;
    for (int32_t x = 0; x < colour.Width(); ++x) {
        if (colour.GetPixel(x, y) != pixel) continue;
        if (first < 0) first = x;
        last = x + 1;
    }
    return {first, last};
}

TEST(DrawGlyph, CentresNarrowGlyphsByTheirWidths) {
    struct Case {
        const char* name;
        int32_t cellWidth, size, width, left, rightBearing, a, b, c;
        int32_t x;  // of the ink, from the cell's left
    } cases[] = {
        {"narrow glyph centred", 24, 24, 4, 4, 4, 4, 4, 4, 10},
        {"rounded to the nearest", 24, 24, 3, 0, 0, 0, 3, 9, 2},
        {"full-width glyph left alone", 24, 24, 22, 1, 1, 1, 22, 1, 1},
        {"cell narrower than the size", 10, 24, 4, 3, 3, 3, 4, 3, 3},
        {"no side bearings: halves", 24, 24, 5, 0, 0, 0, 5, 0, 9},
        {"widths adding to nothing: halves", 24, 24, 4, 0, 0, 3, 4, -7, 10},
        {"widths adding to less: halves", 24, 24, 4, 0, 0, 1, 2, -10, 10},
        {"never left of the offset", 24, 24, 4, 5, 0, 5, 4, 1000, 5},
    };
    for (const Case& c : cases) {
        CellSurfaces s(60, 30);
        TFontPixel glyph = Glyph(c.width, 2);
        glyph.size = c.size;
        glyph.leftOffset = c.left;
        glyph.rightBearing = c.rightBearing;
        glyph.abcA = c.a;
        glyph.abcB = c.b;
        glyph.abcC = c.c;
        glyph.topOffset = 3;
        (void)Draw(glyph, s, {10, 0, 10 + c.cellWidth, 24});
        EXPECT_EQ(FirstInk(s.mask, 3), 10 + c.x) << c.name;
    }
}

TEST(DrawGlyph, PlainTextSetsColourAndTheLargerCoverage) {
    CellSurfaces s(10, 10);
    s.mask.SetPixel(3, 2, 200);
    s.mask.SetPixel(4, 2, 10);
    const TFontPixel glyph = Glyph(3, 1, {0, 100, 100});
    const TRect touched = Draw(glyph, s, {2, 2, 5, 3});
    EXPECT_EQ(touched, (TRect{2, 2, 5, 3}));
    EXPECT_EQ(s.colour.GetPixel(2, 2), 0u);  // no ink, no colour
    EXPECT_EQ(s.colour.GetPixel(3, 2), kText);
    EXPECT_EQ(s.mask.GetPixel(2, 2), 0u);
    EXPECT_EQ(s.mask.GetPixel(3, 2), 200u);
    EXPECT_EQ(s.mask.GetPixel(4, 2), 100u);

    // Clearing replaces the coverage of the bitmap's rectangle and fills its colour.
    const TRect cleared = Draw(glyph, s, {2, 2, 5, 3}, {}, true);
    EXPECT_EQ(cleared, (TRect{2, 2, 5, 3}));
    EXPECT_EQ(s.colour.GetPixel(2, 2), kText);
    EXPECT_EQ(s.mask.GetPixel(2, 2), 0u);
    EXPECT_EQ(s.mask.GetPixel(3, 2), 100u);
}

TEST(DrawGlyph, BlendsCoverageIntoWhatTheMaskHolds) {
    // With a shadow the ink is blended over it: where the two overlap the coverage unites as
    // 128 + 128 x 127 / 255 = 191, and the ink takes 128 x 255 / 191 = 170 of the colour.
    CellSurfaces s(10, 10);
    const TFontPixel glyph = Glyph(2, 2, {128, 128, 128, 128});
    const TRect touched = Draw(glyph, s, {1, 1, 3, 3}, {0, 1, false, false});
    EXPECT_EQ(touched, (TRect{1, 1, 4, 4}));
    EXPECT_EQ(s.mask.GetPixel(1, 1), 128u);
    EXPECT_EQ(s.colour.GetPixel(1, 1), BlendPixel(0, kText, 255));
    EXPECT_EQ(s.mask.GetPixel(2, 2), 191u);
    EXPECT_EQ(s.colour.GetPixel(2, 2), BlendPixel(kShadow, kText, 170));
    EXPECT_EQ(s.mask.GetPixel(3, 3), 128u);
    EXPECT_EQ(s.colour.GetPixel(3, 3), kShadow);
    EXPECT_EQ(s.mask.GetPixel(3, 1), 0u);
}

TEST(DrawGlyph, StampsASquareBorderAroundEveryInkedPixel) {
    CellSurfaces s(12, 12);
    const TRect touched = Draw(Glyph(1, 1), s, {3, 3, 4, 4}, {2, 0, false, false});
    EXPECT_EQ(touched, (TRect{3, 3, 8, 8}));
    for (int32_t y = 2; y <= 8; ++y) {
        for (int32_t x = 2; x <= 8; ++x) {
            const bool inside = x >= 3 && x < 8 && y >= 3 && y < 8;
            const uint32_t expected = x == 5 && y == 5 ? kText : inside ? kBorder : 0;
            EXPECT_EQ(s.colour.GetPixel(x, y), expected) << x << "," << y;
            EXPECT_EQ(s.mask.GetPixel(x, y), inside ? 255u : 0u) << x << "," << y;
        }
    }

    // Partial ink ends opaque, its colour mixed into the border by its coverage; the border
    // around it takes that coverage.
    CellSurfaces p(6, 6);
    (void)Draw(Glyph(1, 1, {100}), p, {1, 1, 2, 2}, {1, 0, false, false});
    EXPECT_EQ(p.mask.GetPixel(2, 2), 255u);
    EXPECT_EQ(p.colour.GetPixel(2, 2), BlendPixel(kBorder, kText, 100));
    EXPECT_EQ(p.mask.GetPixel(1, 1), 100u);
    EXPECT_EQ(p.colour.GetPixel(3, 3), BlendPixel(0, kBorder, 255));
}

TEST(DrawGlyph, DrawsTheShadowFirstAndOffsetDownRight) {
    CellSurfaces s(12, 12);
    const TRect touched = Draw(Glyph(2, 2), s, {2, 2, 4, 4}, {0, 3, false, false});
    EXPECT_EQ(touched, (TRect{2, 2, 7, 7}));
    for (int32_t y = 0; y < 12; ++y) {
        for (int32_t x = 0; x < 12; ++x) {
            const bool ink = x >= 2 && x < 4 && y >= 2 && y < 4;
            const bool shadow = x >= 5 && x < 7 && y >= 5 && y < 7;
            EXPECT_EQ(s.colour.GetPixel(x, y), ink ? kText : shadow ? kShadow : 0u) << x << y;
        }
    }
    // With a border the shadow is the border's shape, under the bordered ink.
    CellSurfaces b(12, 12);
    EXPECT_EQ(Draw(Glyph(2, 2), b, {2, 2, 4, 4}, {1, 2, false, false}), (TRect{2, 2, 8, 8}));
    const struct {
        int32_t x, y;
        uint32_t pixel;
    } expected[] = {{3, 3, kText},   {4, 4, kText},   {2, 2, kBorder},
                    {5, 5, kBorder}, {6, 6, kShadow}, {7, 7, kShadow},
                    {4, 7, kShadow}, {3, 7, 0},       {8, 8, 0}};
    for (const auto& e : expected)
        EXPECT_EQ(b.colour.GetPixel(e.x, e.y), e.pixel) << e.x << "," << e.y;
}

TEST(DrawGlyph, LinesRunIntoJoinedNeighbours) {
    // A cell 20 wide and 30 high at x 10: underline 2 thick, strikeout 1 thick at 8, border 1,
    // shadow 2.
    struct Case {
        bool joinedLeft, joinedRight;
    } cases[] = {{false, false}, {true, false}, {false, true}, {true, true}};
    for (const Case& c : cases) {
        CellSurfaces s(40, 34);
        TFontPixel glyph = Glyph(1, 1);
        glyph.style = kStyleUnderline | kStyleStrikeOut;
        glyph.underlineThickness = 2;
        glyph.strikeoutTop = 8;
        glyph.strikeoutThickness = 1;
        glyph.leftOffset = 5;
        glyph.topOffset = 15;
        const TRect touched = Draw(glyph, s, {10, 0, 30, 30}, {1, 2, c.joinedLeft, c.joinedRight});
        const int32_t shadowLeft = c.joinedLeft ? 10 : 12;
        const int32_t lineRight = c.joinedRight ? 30 : 28;
        const std::string name = std::to_string(c.joinedLeft) + std::to_string(c.joinedRight);
        // Underline rows 25 and 26 between border rows 24 and 27, its shadow down to row 29.
        EXPECT_EQ(Span(s.colour, 25, kText), std::pair(10, lineRight)) << name;
        EXPECT_EQ(Span(s.colour, 26, kText), std::pair(10, lineRight)) << name;
        EXPECT_EQ(Span(s.colour, 24, kBorder), std::pair(10, lineRight)) << name;
        EXPECT_EQ(Span(s.colour, 27, kBorder), std::pair(10, lineRight)) << name;
        EXPECT_EQ(Span(s.colour, 29, kShadow), std::pair(shadowLeft, 30)) << name;
        EXPECT_EQ(s.mask.GetPixel(shadowLeft, 29), 255u) << name;
        // Strikeout at row 9 between border rows 8 and 10, its shadow on rows 10 to 12.
        EXPECT_EQ(Span(s.colour, 9, kText), std::pair(10, lineRight)) << name;
        EXPECT_EQ(Span(s.colour, 8, kBorder), std::pair(10, lineRight)) << name;
        EXPECT_EQ(Span(s.colour, 12, kShadow), std::pair(shadowLeft, 30)) << name;
        EXPECT_EQ(Span(s.colour, 13, kShadow), std::pair(-1, -1)) << name;
        EXPECT_EQ(touched, (TRect{10, 8, 30, 30})) << name;
    }
}

TEST(DrawGlyph, PlainLinesOnlyCoverTheMask) {
    CellSurfaces s(30, 30);
    TFontPixel glyph = Glyph(1, 1);
    glyph.style = kStyleUnderline | kStyleStrikeOut;
    glyph.underlineThickness = 2;
    glyph.strikeoutTop = 8;
    glyph.strikeoutThickness = 1;
    const TRect touched = Draw(glyph, s, {4, 0, 24, 20});
    EXPECT_EQ(touched, (TRect{4, 0, 24, 20}));
    for (int32_t y : {8, 18, 19}) {
        EXPECT_EQ(FirstInk(s.mask, y), 4) << y;
        EXPECT_EQ(s.mask.GetPixel(23, y), 255u) << y;
        EXPECT_EQ(s.mask.GetPixel(24, y), 0u) << y;
        EXPECT_EQ(s.colour.GetPixel(10, y), 0u) << y;
    }
    EXPECT_EQ(FirstInk(s.mask, 17), -1);
}

TEST(DrawGlyph, ClearingWithEdgesEmptiesTheMaskOfTheGlyphsAreaFirst) {
    CellSurfaces s(8, 8);
    for (int32_t y = 0; y < 8; ++y) {
        for (int32_t x = 0; x < 8; ++x)
            s.mask.SetPixel(x, y, 200);
    }
    (void)Draw(Glyph(1, 1), s, {2, 2, 3, 3}, {0, 1, false, false}, true);
    EXPECT_EQ(s.mask.GetPixel(2, 2), 255u);  // ink
    EXPECT_EQ(s.mask.GetPixel(3, 3), 255u);  // shadow
    EXPECT_EQ(s.mask.GetPixel(3, 2), 0u);    // cleared, not drawn
    EXPECT_EQ(s.mask.GetPixel(4, 2), 200u);  // outside the glyph's area
}

TEST(DrawGlyph, ClampsEdgesAndClipsToTheSurfaces) {
    const TFontPixel glyph = Glyph(3, 3);
    CellSurfaces wide(200, 200), capped(200, 200);
    const TRect huge = Draw(glyph, wide, {80, 80, 83, 83}, {100000, 5000, false, false});
    const TRect at32 = Draw(glyph, capped, {80, 80, 83, 83}, {32, 32, false, false});
    EXPECT_EQ(huge, at32);
    EXPECT_EQ(huge, (TRect{80, 80, 80 + 64 + 3 + 32, 80 + 64 + 3 + 32}));
    EXPECT_EQ(wide.colour.GetPixel(80 + 32 + 1, 80 + 32 + 1), kText);

    CellSurfaces s(10, 10);
    EXPECT_EQ(Draw(glyph, s, {-2, -2, 1, 1}, {1, 1, false, false}), (TRect{0, 0, 4, 4}));
    EXPECT_EQ(s.colour.GetPixel(0, 0), kText);
    EXPECT_TRUE(Draw(glyph, s, {INT32_MAX - 2, 5, INT32_MAX, 8}, {32, 32, false, false}).IsEmpty());
    EXPECT_TRUE(
        Draw(glyph, s, {INT32_MIN, INT32_MIN, INT32_MIN + 3, INT32_MIN + 3}, {32, 32, false, false})
            .IsEmpty());
    // Only 32-bit colour with an 8-bit mask is drawn on.
    TDIBX colour24(10, 10, 24), mask(10, 10, 8);
    EXPECT_TRUE(
        TFontPixelManager::DrawGlyph(glyph, colour24, mask, false, kColours, {}, {0, 0, 3, 3})
            .IsEmpty());
}

TEST(DrawGlyph, BlankGlyphsDrawNothing) {
    CellSurfaces s(10, 10);
    TFontPixel blank;
    blank.style = kStyleUnderline;
    blank.underlineThickness = 2;
    EXPECT_TRUE(Draw(blank, s, {0, 0, 10, 10}, {1, 1, false, false}).IsEmpty());
    EXPECT_EQ(FirstInk(s.mask, 9), -1);
}

// Through the cache: a text longer than the cache draws every cell with its own glyph.
TEST(GlyphPainter, PagesThatCycleTheCacheDrawEachCellsOwnGlyph) {
    text_test::FakeFontEngine engine;
    // Every kanji is a bar whose width tells its code.
    std::string markup;
    for (uint32_t code = 0x889F, count = 0; count < 300; ++code) {
        const uint32_t u = sjis::CodeToUnicode(code);
        if (u == 0) continue;
        ++count;
        const int32_t width = 1 + static_cast<int32_t>(code % 7);
        engine.shapes[static_cast<char32_t>(u)] = text_test::SolidShape(width, 1, 0, 10, 16);
        markup += static_cast<char>(code >> 8);
        markup += static_cast<char>(code & 0xFF);
    }
    TFontPixelManager cache(engine);
    text_test::Box box(40, 10, 16);
    box.word.SetPainter(&cache);
    box.Lay(markup);
    ASSERT_EQ(box.pages.size(), 1u);
    box.pages[0]->RenderPage();
    EXPECT_EQ(cache.Misses(), 300u);
    const TDIBX& mask = box.word.MaskSurface();
    int32_t checked = 0;
    for (size_t r = 0; r < box.pages[0]->RowCount(); ++r) {
        for (const TWdGlyph* g : box.pages[0]->Row(r)->Children()) {
            const int32_t y = g->SurfaceY() + (16 * 1802 + 1024) / 2048 - 10;
            int32_t run = 0;
            for (int32_t x = g->SurfaceX(); x < g->SurfaceX() + g->Width(); ++x)
                run += mask.GetPixel(x, y) == 255 ? 1 : 0;
            const uint32_t code = sjis::CharCode(g->CharText(), 0);
            EXPECT_EQ(run, 1 + static_cast<int32_t>(code % 7)) << std::hex << code;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 300);
}

TEST(GlyphPainter, DrawsNothingForSizesOfZeroOrLess) {
    text_test::FakeFontEngine engine;
    TFontPixelManager cache(engine);
    CellSurfaces s(20, 20);
    CellRequest request;
    request.code = 'A';
    request.face = "x";
    request.cell = {0, 0, 10, 10};
    for (int32_t size : {0, -1, INT32_MIN}) {
        request.size = size;
        EXPECT_TRUE(cache.DrawCell(request, s.colour, s.mask).IsEmpty()) << size;
    }
    EXPECT_TRUE(engine.log.rendered.empty());
    EXPECT_EQ(FirstInk(s.mask, 5), -1);
}

}  // namespace
}  // namespace kivo
