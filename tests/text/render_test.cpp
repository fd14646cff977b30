#include <gtest/gtest.h>

#include "base/sjis.h"
#include "imaging/draw_context.h"
#include "text_fixture.h"

namespace kivo {
namespace {

using text_test::Box;
using text_test::RecordingPainter;

using text_test::J;

TEST(RenderPage, AsksTheGlyphCacheForEveryCellWithItsDecoration) {
    RecordingPainter painter;
    Box box(10, 4, 20);
    box.word.SetPainter(&painter);
    box.word.settings.defaultColor = 0x0000FF;
    box.word.settings.borderColor = 0x00FF00;
    box.Lay(
        J("a<FONT BORDER=1>bc</FONT><A HREF=x>d</A><FONT SIZE=9000 BORDER=99 SHADOW=-1>e"
          "</FONT><FONT SIZE=-4>f</FONT><FONT NAME=Face COLOR=#00FF00>g</FONT>"));
    box.pages[0]->RenderPage();
    TDIBX& surface = box.word.TextSurface();
    EXPECT_EQ(surface.Width(), 200);
    EXPECT_EQ(surface.Height(), 9000 + 2 * 99);  // layout keeps the border of 99

    ASSERT_EQ(painter.cells.size(), 6u);  // the negative size draws nothing
    const CellRequest& a = painter.cells[0].request;
    EXPECT_EQ(a.textPixel, surface.ColorToPixel(0x0000FF));
    EXPECT_EQ(a.borderPixel, surface.ColorToPixel(0x00FF00));
    EXPECT_EQ(painter.cells[0].face, kGothicFace);
    EXPECT_EQ(a.cell, (TRect{0, 9198 - 20, 20, 9198}));  // on the bottom of the band
    // Neighbours with the same border and shadow join; others do not.
    EXPECT_FALSE(a.joinedRight);
    EXPECT_TRUE(painter.cells[1].request.joinedRight);
    EXPECT_TRUE(painter.cells[2].request.joinedLeft);
    EXPECT_FALSE(painter.cells[2].request.joinedRight);
    // Links are underlined in the link colour.
    EXPECT_EQ(painter.cells[3].request.style & kStyleUnderline, kStyleUnderline);
    EXPECT_EQ(painter.cells[3].request.textPixel, surface.ColorToPixel(0xFF0000));
    // Layout keeps a huge size; the cache is asked for a bounded one.
    EXPECT_EQ(painter.cells[4].request.size, 512);
    EXPECT_EQ(painter.cells[4].request.borderWidth, 32);
    EXPECT_EQ(painter.cells[4].request.shadowWidth, 0);
    EXPECT_EQ(painter.cells[5].face, "Face");
    EXPECT_EQ(painter.cells[5].request.textPixel, surface.ColorToPixel(0x00FF00));
}

TEST(RenderPage, SpreadsRubyOverItsRun) {
    RecordingPainter painter;
    Box box(10, 4, 20);
    box.word.SetPainter(&painter);
    box.Lay(J("<B><RUBY VALUE=かなa>漢字</RUBY></B>"));
    box.pages[0]->RenderPage();
    ASSERT_EQ(painter.cells.size(), 5u);  // three ruby characters, then the two bases
    // Run width 40, three characters: step 40 / 3 / 2; ruby size 10.
    int32_t lefts[] = {7 - 5, 20 - 5, 33 - 2};
    for (int k = 0; k < 3; ++k) {
        const CellRequest& ruby = painter.cells[static_cast<size_t>(k)].request;
        EXPECT_EQ(ruby.cell.Left, lefts[k]) << k;
        EXPECT_EQ(ruby.cell.Top, 0) << k;
        EXPECT_EQ(ruby.size, 10) << k;
        EXPECT_EQ(ruby.style, kStyleBold) << k;
    }
    EXPECT_EQ(painter.cells[3].request.cell, (TRect{0, 10, 20, 30}));
    EXPECT_EQ(painter.cells[4].request.cell, (TRect{20, 10, 40, 30}));
}

TEST(ComposePage, DrawsRevealedGlyphsInTheirColourClippedToTheBox) {
    RecordingPainter painter;
    Box box(3, 1, 10);
    box.word.SetPainter(&painter);
    box.word.settings.defaultColor = 0x0000FF;
    box.word.settings.originX = 5;
    box.word.settings.originY = 5;
    TDIBX screen(40, 40, 32);
    TDrawContext(screen).Fill(0);
    box.word.SetDestination(&screen, {0, 0, 40, 40});
    box.Lay(J("あい"));
    TWdPage& page = *box.pages[0];
    page.RenderPage();
    page.ResetReveal();
    box.word.settings.waitScale = 0;
    page.ComposePage();
    EXPECT_EQ(screen.GetPixel(10, 10), 0u);  // nothing revealed yet
    for (int frame = 0; frame < 3; ++frame)
        page.Tick(16);  // countdown, reveal, fade
    page.ComposePage();
    // Red through a full mask (the surface's blend gives 254 of 255).
    for (auto [x, y] : {std::pair{10, 10}, std::pair{20, 14}}) {
        uint32_t pixel = screen.GetPixel(x, y);
        EXPECT_GE(pixel >> 16 & 0xFF, 0xFEu) << x;
        EXPECT_EQ(pixel & 0xFFFF, 0u) << x;
    }
    EXPECT_EQ(screen.GetPixel(4, 10), 0u);
    EXPECT_EQ(screen.GetPixel(10, 15), 0u);
}

}  // namespace
}  // namespace kivo
