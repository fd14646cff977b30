// Text through the glyph cache and the installed fonts, end to end: markup laid out, rendered
// by the cache, revealed and composed onto a screen surface. Only what no font can change is
// checked: the inside of a full block, the coverage values each anti-alias level can give,
// and where borders and shadows fall around the block's ink.

#include <gtest/gtest.h>

#include <set>

#include "imaging/row_ops.h"
#include "platform/fonts/freetype_font_engine.h"
#include "text/font_pixel_manager.h"
#include "text_fixture.h"

namespace kivo {
namespace {

using text_test::Box;
using text_test::J;

constexpr uint32_t kBackground = 0x00203040;

struct Screen {
    Screen() : fonts(FontSet::Fixed), cache(fonts), surface(160, 120, 32) {
        TDrawContext(surface).Fill(kBackground);
    }
    // Lays the markup out in a box at (10, 20), renders it, reveals it whole and composes it.
    void Show(Box& box, const std::string& markup) {
        box.word.SetPainter(&cache);
        box.word.settings.originX = 10;
        box.word.settings.originY = 20;
        box.word.settings.waitScale = 0;
        box.word.SetDestination(&surface, surface.ClientRect());
        box.Lay(markup);
        TWdPage& page = *box.pages.at(0);
        page.RenderPage();
        page.ResetReveal();
        for (int frame = 0; frame < 3; ++frame)
            (void)page.Tick(16);
        page.ComposePage();
    }
    // The bounding box of the pixels equal to pixel.
    [[nodiscard]] TRect Find(uint32_t pixel) const {
        TRect box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
        for (int32_t y = 0; y < surface.Height(); ++y) {
            for (int32_t x = 0; x < surface.Width(); ++x) {
                if (surface.GetPixel(x, y) != pixel) continue;
                box = Union(box, TRect{x, y, x + 1, y + 1});
            }
        }
        return box;
    }
    FreeTypeFontEngine fonts;
    TFontPixelManager cache;
    TDIBX surface;
};

TEST(GlyphRender, TheInsideOfAFullBlockIsTheTextColour) {
    Screen screen;
    Box box(4, 2, 32);
    box.word.settings.defaultColor = 0x3366CC;
    const uint32_t text = screen.surface.ColorToPixel(0x3366CC);
    screen.Show(box, J("■"));

    const TDIBX& mask = box.word.MaskSurface();
    const TDIBX& colour = box.word.TextSurface();
    TRect ink{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int32_t y = 0; y < mask.Height(); ++y) {
        for (int32_t x = 0; x < mask.Width(); ++x) {
            if (mask.GetPixel(x, y) != 0) ink = Union(ink, TRect{x, y, x + 1, y + 1});
        }
    }
    ASSERT_GT(ink.Width(), 16);  // a block most of the cell wide
    ASSERT_GT(ink.Height(), 16);
    const int32_t cx = (ink.Left + ink.Right) / 2, cy = (ink.Top + ink.Bottom) / 2;
    EXPECT_EQ(mask.GetPixel(cx, cy), 255u);
    EXPECT_EQ(colour.GetPixel(cx, cy), text);
    // Plain text is composed as its flat colour through the coverage.
    EXPECT_EQ(screen.surface.GetPixel(10 + cx, 20 + cy), BlendPixel(kBackground, text, 255));
    EXPECT_EQ(screen.surface.GetPixel(10 + ink.Left - 1, 20 + cy), kBackground);
    EXPECT_EQ(screen.surface.GetPixel(5, 5), kBackground);
}

TEST(GlyphRender, EachLevelGivesOnlyItsOwnCoverageValues) {
    const std::set<uint8_t> level1{0, 79, 127, 207, 255};
    const std::set<uint8_t> level2{0,   43,  55,  67,  79,  91,  103, 115, 159,
                                   171, 183, 195, 207, 219, 231, 243, 255};
    std::vector<std::set<uint8_t>> seen;
    for (int32_t level = 0; level <= 3; ++level) {
        Screen screen;
        Box box(6, 2, 24);
        box.word.settings.antiAlias = level;
        screen.Show(box, J("漢字あア■"));
        const TDIBX& mask = box.word.MaskSurface();
        std::set<uint8_t> values;
        for (int32_t y = 0; y < mask.Height(); ++y) {
            for (int32_t x = 0; x < mask.Width(); ++x)
                values.insert(static_cast<uint8_t>(mask.GetPixel(x, y)));
        }
        seen.push_back(values);
    }
    EXPECT_EQ(seen[0], (std::set<uint8_t>{0, 255}));
    EXPECT_TRUE(std::includes(level1.begin(), level1.end(), seen[1].begin(), seen[1].end()));
    EXPECT_TRUE(std::includes(level2.begin(), level2.end(), seen[2].begin(), seen[2].end()));
    EXPECT_GT(seen[1].size(), 2u);
    EXPECT_GT(seen[2].size(), seen[1].size());
    EXPECT_GT(seen[3].size(), seen[2].size());
}

// 1-bit glyphs, so that the block's ink is a solid rectangle of full coverage.
struct EdgeCase {
    Screen screen;
    Box box{4, 2, 32};
    TRect ink;
    uint32_t Pixel(int32_t x, int32_t y) const { return screen.surface.GetPixel(x, y); }
    void Show(int32_t border, int32_t shadow) {
        box.word.settings.antiAlias = 0;
        box.word.settings.defaultColor = 0xFFFFFF;
        box.word.settings.borderColor = 0x00FF00;
        box.word.settings.shadowColor = 0x0000FF;
        box.word.settings.defaultBorderWidth = border;
        box.word.settings.defaultShadowWidth = shadow;
        screen.Show(box, J("■"));
        ink = screen.Find(screen.surface.ColorToPixel(0xFFFFFF));
    }
};

TEST(GlyphRender, ABorderSurroundsTheInkInTheBorderColour) {
    EdgeCase e;
    e.Show(2, 0);
    ASSERT_GT(e.ink.Width(), 16);
    const uint32_t border = e.screen.surface.ColorToPixel(0x00FF00);
    EXPECT_EQ(e.screen.Find(border),
              (TRect{e.ink.Left - 2, e.ink.Top - 2, e.ink.Right + 2, e.ink.Bottom + 2}));
    const int32_t cy = (e.ink.Top + e.ink.Bottom) / 2, cx = (e.ink.Left + e.ink.Right) / 2;
    for (int32_t d : {1, 2}) {
        EXPECT_EQ(e.Pixel(e.ink.Left - d, cy), border) << d;
        EXPECT_EQ(e.Pixel(e.ink.Right - 1 + d, cy), border) << d;
        EXPECT_EQ(e.Pixel(cx, e.ink.Top - d), border) << d;
        EXPECT_EQ(e.Pixel(e.ink.Left - d, e.ink.Top - d), border) << d;  // a square corner
    }
    EXPECT_EQ(e.Pixel(e.ink.Left - 3, cy), kBackground);
    EXPECT_EQ(e.Pixel(cx, e.ink.Bottom + 2), kBackground);
}

TEST(GlyphRender, AShadowFallsDownRightOfTheInk) {
    EdgeCase e;
    e.Show(0, 3);
    ASSERT_GT(e.ink.Width(), 16);
    const uint32_t shadow = e.screen.surface.ColorToPixel(0x0000FF);
    EXPECT_EQ(e.screen.Find(shadow),
              (TRect{e.ink.Left + 3, e.ink.Top + 3, e.ink.Right + 3, e.ink.Bottom + 3}));
    const int32_t cy = (e.ink.Top + e.ink.Bottom) / 2, cx = (e.ink.Left + e.ink.Right) / 2;
    EXPECT_EQ(e.Pixel(e.ink.Right + 2, cy), shadow);
    EXPECT_EQ(e.Pixel(e.ink.Right + 3, cy), kBackground);
    EXPECT_EQ(e.Pixel(cx, e.ink.Bottom + 2), shadow);
    EXPECT_EQ(e.Pixel(e.ink.Left + 2, e.ink.Bottom), kBackground);
    EXPECT_EQ(e.Pixel(e.ink.Left - 1, cy), kBackground);
    EXPECT_EQ(e.Pixel(cx, e.ink.Top - 1), kBackground);
}

}  // namespace
}  // namespace kivo
