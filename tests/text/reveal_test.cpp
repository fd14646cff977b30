#include <gtest/gtest.h>

#include "base/error.h"
#include "base/sjis.h"
#include "text_fixture.h"

namespace kivo {
namespace {

using text_test::Box;

using text_test::J;

// Ticks a page at 16 ms a frame and notes, per frame from 1, what it revealed and when it
// finished.
struct RevealRun {
    std::vector<int> revealFrames;  // one entry per revealed character
    int finishedFrame = 0;
    std::vector<std::string> events;
    std::vector<int> eventFrames;
};

RevealRun Reveal(Box& box, int frames = 40, int32_t elapsed = 16) {
    RevealRun run;
    int frame = 0;
    box.word.onEvent = [&](std::string_view text) {
        run.events.emplace_back(text);
        run.eventFrames.push_back(frame);
    };
    TWdPage& page = *box.pages[0];
    page.ResetReveal();
    for (frame = 1; frame <= frames; ++frame) {
        RevealTick tick = page.Tick(elapsed);
        for (size_t i = 0; i < sjis::CharCount(tick.revealed); ++i)
            run.revealFrames.push_back(frame);
        if (tick.finishedNow) run.finishedFrame = frame;
    }
    return run;
}

TEST(Reveal, WaitsScaleWithTheTextSpeed) {
    struct Case {
        int32_t waitScale;
        int32_t fadeDuration;
        std::vector<int> frames;
        int finished;
    } cases[] = {
        // One frame of start countdown; the first glyph comes at once, then one every 50 ms;
        // a glyph fades in the frame after the first one, and in its own frame after that.
        {256, 1, {2, 6, 9}, 10},
        {512, 1, {2, 9, 15}, 16},
        {128, 1, {2, 4, 6}, 7},
        {0, 1, {2, 2, 2}, 4},
        // Without a fade there is no countdown and glyphs show in the frame they come.
        {256, 0, {1, 5, 8}, 9},
        // A slow fade holds "finished" until the last glyph is opaque: 256 / 100 per ms.
        {0, 100, {2, 2, 2}, 10},
    };
    for (const Case& c : cases) {
        Box box;
        box.Lay(J("あいう"));
        box.word.settings.waitScale = c.waitScale;
        box.word.settings.fadeDuration = c.fadeDuration;
        RevealRun run = Reveal(box);
        EXPECT_EQ(run.revealFrames, c.frames) << c.waitScale << " " << c.fadeDuration;
        EXPECT_EQ(run.finishedFrame, c.finished) << c.waitScale << " " << c.fadeDuration;
    }
}

TEST(Reveal, NegativeWaitsAreFixedDelays) {
    Box box;
    box.Lay(J("<WAIT VALUE=-30>あい"));
    box.word.settings.waitScale = 0;
    EXPECT_EQ(Reveal(box).revealFrames, (std::vector<int>{2, 4}));
    box.word.settings.waitScale = -1;  // skipping cancels them too
    EXPECT_EQ(Reveal(box).revealFrames, (std::vector<int>{2, 2}));
}

TEST(Reveal, HugeWaitsDoNotWrap) {
    Box box;
    box.Lay(J("<WAIT VALUE=2147483647>あい"));
    box.word.settings.waitScale = 2147483647;
    EXPECT_EQ(Reveal(box, 10, 3000).revealFrames, (std::vector<int>{2}));
    box.Lay(J("<WAIT VALUE=-2147483648>あい"));
    box.word.settings.waitScale = 256;
    EXPECT_EQ(Reveal(box, 10, 3000).revealFrames, (std::vector<int>{2}));
}

TEST(Reveal, EventsFireTogetherOnceEverythingBeforeThemHasFaded) {
    Box box;
    box.Lay(J("あ<EVENT VALUE=x><EVENT VALUE=y>い<EVENT VALUE=z END><EVENT VALUE=w>"));
    box.word.settings.waitScale = 0;
    box.word.settings.fadeDuration = 100;
    RevealRun run = Reveal(box);
    EXPECT_EQ(run.events, (std::vector<std::string>{"x", "y", "z", "w"}));
    // あ fades over 100 ms (7 frames of 16 ms after the one it came in); x and y go together;
    // い waits for them; an end event stops the series, so w comes in the frame after z
    // fired and fires once it has passed through the fading list.
    EXPECT_EQ(run.eventFrames, (std::vector<int>{9, 9, 17, 19}));
    EXPECT_EQ(run.revealFrames, (std::vector<int>{2, 10}));

    box.word.settings.eventsEnabled = false;
    EXPECT_TRUE(Reveal(box).events.empty());
}

TEST(Reveal, MovesTheCaretBehindTheLastGlyph) {
    Box box(3, 5);
    box.Lay(J("あいうえ"));
    box.word.settings.waitScale = 0;
    Reveal(box, 3);
    EXPECT_EQ(box.word.settings.caretX, 10);
    EXPECT_EQ(box.word.settings.caretY, 10);
    EXPECT_EQ(box.word.caretHeight, 10);
}

TEST(Reveal, WithoutPagingStopsAtTheBottomUntilScrolled) {
    Box box(2, 2);
    box.word.settings.paging = false;
    box.Lay(J("あいうえおかきく"));
    ASSERT_EQ(box.pages.size(), 1u);
    box.word.settings.waitScale = 0;
    TWdPage& page = *box.pages[0];
    RevealRun run = Reveal(box, 5);
    // Rows at 0, 10, 20, 30 in a box 20 high: rows with tops inside it (0, 10, 20) show.
    EXPECT_EQ(run.revealFrames.size(), 6u);
    EXPECT_FALSE(page.MoreToReveal());
    page.SetScrollOffset(20);
    EXPECT_TRUE(page.MoreToReveal());
    page.Tick(16);
    EXPECT_EQ(page.RowIndex(), 4u);
}

TEST(Reveal, PausedTextWaits) {
    Box box;
    box.Lay(J("あい"));
    box.word.settings.paused = true;
    EXPECT_TRUE(Reveal(box).revealFrames.empty());
    EXPECT_FALSE(box.pages[0]->MoreToReveal());
}

TEST(Reveal, HitTestsAndHoversLinksOfFullyShownGlyphs) {
    text_test::RecordingPainter painter;
    Box box(6, 2);
    box.word.SetPainter(&painter);
    box.word.settings.originX = 100;
    box.word.settings.originY = 50;
    box.Lay(J("a<A HREF=go>bc</A><A HREF=no>d</A>"));
    TWdPage& page = *box.pages[0];
    page.RenderPage();
    box.word.settings.waitScale = 0;
    box.word.settings.fadeDuration = 100;
    page.ResetReveal();
    page.Tick(16);
    page.Tick(16);  // all four glyphs are revealed but still fading
    EXPECT_EQ(page.HitTest(125, 55), nullptr);
    EXPECT_FALSE(page.HoverAt(125, 55));
    for (int i = 0; i < 10; ++i)
        page.Tick(16);

    EXPECT_EQ(page.HitTest(125, 55), box.word.Glyph(2));
    EXPECT_EQ(page.HitTest(99, 55), nullptr);   // left of the box
    EXPECT_EQ(page.HitTest(125, 70), nullptr);  // below the box
    EXPECT_TRUE(page.HoverAt(125, 55));
    EXPECT_EQ(page.HoveredText(), "bc");
    EXPECT_TRUE(box.word.Glyph(1)->Hover());
    EXPECT_FALSE(box.word.Glyph(3)->Hover());
    // The run and the glyph after it are painted again, the run in the hover colour.
    ASSERT_GE(painter.cells.size(), 7u);
    EXPECT_EQ(painter.cells[4].request.code, uint32_t{'b'});
    EXPECT_EQ(painter.cells[4].request.textPixel, box.word.TextSurface().ColorToPixel(0x008000));
    EXPECT_EQ(painter.cells[6].request.code, uint32_t{'d'});
    EXPECT_FALSE(box.word.DirtyRects().empty());

    EXPECT_FALSE(page.HoverAt(115, 55));  // the same run
    EXPECT_TRUE(page.HoverAt(105, 55));   // no link under the pointer
    EXPECT_EQ(page.HoveredText(), "");
    EXPECT_FALSE(box.word.Glyph(1)->Hover());
}

TEST(Reveal, StateSurvivesASaveAndAnotherLayout) {
    Box box(3, 5);
    box.Lay(J("あいうえお"));
    box.word.settings.fadeDuration = 100;
    TWdPage& page = *box.pages[0];
    page.ResetReveal();
    for (int i = 0; i < 8; ++i)
        page.Tick(16);
    ByteWriter writer;
    page.SaveState(writer);

    Box other(3, 5);
    other.word.settings.fadeDuration = 100;
    other.Lay(J("あいうえお"));
    ByteReader reader(writer.Bytes(), "state");
    other.pages[0]->LoadState(reader);
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(other.pages[0]->RowIndex(), page.RowIndex());
    EXPECT_EQ(other.pages[0]->GlyphIndex(), page.GlyphIndex());
    for (size_t i = 0; i < 5; ++i) {
        int32_t saved = box.word.Glyph(i)->Alpha();
        // A glyph that was still fading is stored as opaque.
        EXPECT_EQ(other.word.Glyph(i)->Alpha(), saved > 0 ? 255 : 0) << i;
    }

    // A state whose row index lies past the rows is clamped to the end.
    ByteWriter bad;
    bad.WriteI32(0);
    bad.WriteI32(99);
    bad.WriteI32(5);
    bad.WriteBool(false);
    bad.WriteCountedString("");
    for (int i = 0; i < 5; ++i)
        bad.WriteI32(255);
    ByteReader badReader(bad.Bytes(), "state");
    other.pages[0]->LoadState(badReader);
    EXPECT_EQ(other.pages[0]->RowIndex(), 2u);
    EXPECT_FALSE(other.pages[0]->MoreToReveal());
    // Too short: an error, and the page keeps its state.
    ByteReader shortReader(std::span(bad.Bytes()).first(20), "state");
    EXPECT_THROW(other.pages[0]->LoadState(shortReader), KivoError);
}

}  // namespace
}  // namespace kivo
