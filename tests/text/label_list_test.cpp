// Text strips: widths from the font's own advances, the pictures drawn through the glyph cache
// with lines joined across the strip, drawing onto a screen, and the style record of saves.

#include <gtest/gtest.h>

#include "base/error.h"
#include "font_fixture.h"
#include "imaging/draw_context.h"
#include "imaging/row_ops.h"
#include "text/decorate.h"
#include "text/font_pixel_manager.h"
#include "text/tp_label_list.h"
#include "text_fixture.h"

namespace kivo {
namespace {

using text_test::FakeFontEngine;
using text_test::FakeShape;
using text_test::SolidShape;

struct Strips {
    Strips() : cache(engine), list(cache) {
        engine.shapes[U'i'] = SolidShape(2, 10, 2, 12, 5);
        engine.shapes[U'W'] = SolidShape(13, 10, 1, 12, 14);
        // Reaches two pixels past its advance, as italic letters do.
        engine.shapes[U'f'] = SolidShape(8, 12, 0, 12, 6);
        engine.shapes[U' '] = FakeShape{0, 0, 0, 0, 4, {}};
    }
    LabelStyle Style(int32_t border, int32_t shadow) const {
        LabelStyle style;
        style.fontHeight = 16;
        style.borderWidth = border;
        style.shadowWidth = shadow;
        return style;
    }
    FakeFontEngine engine;
    TFontPixelManager cache;
    TTpLabelList list;
};

std::vector<int32_t> Widths(const TTpLabelDIB& strip) {
    return {strip.CharWidths().begin(), strip.CharWidths().end()};
}

TEST(LabelList, MeasuresCharactersByTheirAdvancesAndEdges) {
    Strips s;
    s.list.SetStyle(s.Style(1, 2));
    TTpLabelDIB& word = s.list.Add("iWf");
    TTpLabelDIB& turned = s.list.Add("fi f");
    TTpLabelDIB& empty = s.list.Add("");
    EXPECT_EQ(s.list.LineHeight(), 16 + 2 + 2);
    // Advance + 2 x border + shadow; only the last character adds its reach past the advance.
    EXPECT_EQ(Widths(word), (std::vector<int32_t>{9, 18, 12}));
    EXPECT_EQ(word.Width(), 39);
    EXPECT_EQ(word.Height(), 20);
    EXPECT_EQ(Widths(turned), (std::vector<int32_t>{10, 9, 8, 12}));
    EXPECT_EQ(empty.Width(), 0);
    EXPECT_EQ(empty.Height(), 0);

    // A new style measures every strip again; edges are held to 32, sizes of 0 measure nothing.
    s.list.SetStyle(s.Style(1000, 0));
    EXPECT_EQ(Widths(word), (std::vector<int32_t>{69, 78, 72}));
    LabelStyle none = s.Style(0, 0);
    none.fontHeight = 0;
    s.list.SetStyle(none);
    EXPECT_EQ(word.Width(), 0);
    EXPECT_EQ(s.list.LineHeight(), 0);
    TDIBX screen(50, 30, 32);
    TDrawContext context(screen);
    const size_t rendered = s.engine.log.rendered.size();
    s.list.Draw(0, context, 0, 0);
    EXPECT_EQ(s.engine.log.rendered.size(), rendered);
}

TEST(LabelList, JoinsLinesAcrossTheStripAndOpensThemAtItsEnds) {
    Strips s;
    LabelStyle style = s.Style(0, 2);
    style.style = kStyleUnderline;
    style.color = 0x0000FF;
    style.shadowColor = 0x00FF00;
    s.list.SetStyle(style);
    s.list.Add("WWW");
    TDIBX screen(80, 40, 32);
    TDrawContext context(screen);
    context.Fill(0);
    s.list.Draw(0, context, 3, 4);
    const TTpLabelDIB& strip = s.list.Strip(0);
    const TDIBX& colour = strip.ColourSurface();
    ASSERT_EQ(colour.Width(), 3 * 16);
    const uint32_t text = colour.ColorToPixel(0x0000FF);
    const uint32_t shadow = colour.ColorToPixel(0x00FF00);
    // Cells 16 high: the underline on rows 12 and 13, its shadow down to row 15.
    for (int32_t x = 0; x < colour.Width(); ++x) {
        EXPECT_EQ(colour.GetPixel(x, 12), x < 46 ? text : shadow) << x;
        EXPECT_EQ(colour.GetPixel(x, 15), x >= 2 ? shadow : 0u) << x;
    }
    // With a shadow the picture itself is copied through the mask.
    EXPECT_EQ(screen.GetPixel(3 + 10, 4 + 12), text);
    EXPECT_EQ(screen.GetPixel(3 + 1, 4 + 15), 0u);
}

TEST(LabelList, DrawsPlainStripsInTheirColourAtTheirAlpha) {
    Strips s;
    LabelStyle style = s.Style(0, 0);
    style.alpha = 128;
    style.color = 0x00FFFF;
    s.list.SetStyle(style);
    s.list.Add("W");
    TDIBX screen(40, 40, 32);
    TDrawContext(screen).Fill(0x00101010);
    TDrawContext context(screen);
    s.list.Draw(0, context, 5, 5);
    // The solid shape sits one pixel right of the pen, its top 2 pixels under the ascent.
    const int32_t top = (16 * 1802 + 1024) / 2048 - 12;
    const uint32_t yellow = screen.ColorToPixel(0x00FFFF);
    EXPECT_EQ(screen.GetPixel(5 + 1, 5 + top), BlendPixel(0x00101010, yellow, 128));
    EXPECT_EQ(screen.GetPixel(5, 5 + top), 0x00101010u);

    // Drawn again unchanged, the strip is not rendered again; a new style renders it.
    auto fetches = [&] { return s.cache.Hits() + s.cache.Misses(); };
    const uint64_t before = fetches();
    s.list.Draw(0, context, 5, 5);
    EXPECT_EQ(fetches(), before);
    style.alpha = 0;
    s.list.SetStyle(style);
    const uint64_t measured = fetches();
    const uint32_t shown = screen.GetPixel(5 + 1, 5 + top);
    s.list.Draw(0, context, 5, 5);
    EXPECT_GT(fetches(), measured);
    EXPECT_EQ(screen.GetPixel(5 + 1, 5 + top), shown);
}

TEST(LabelList, StyleRecordRoundTripsAndReadsOldSaves) {
    Strips s;
    LabelStyle style = s.Style(2, 3);
    style.antiAlias = 1;
    style.alpha = 200;
    style.face = text_test::J("ＭＳ 明朝");
    style.color = 0x123456;
    style.borderColor = 0x654321;
    style.style = kStyleBold | kStyleItalic;
    style.shadowColor = 0x0A0B0C;
    s.list.SetStyle(style);
    ByteWriter writer;
    s.list.SaveStyle(writer);
    EXPECT_EQ(writer.Size(), 4u * 4 + 4 + style.face.size() + 4 + 4 + 1 + 212 + 4 + 4);
    EXPECT_EQ(LoadLE32(writer.Bytes().data() + 29 + style.face.size()), 212u);

    TTpLabelList loaded(s.cache);
    ByteReader reader(writer.Bytes(), "save.dat");
    loaded.LoadStyle(reader, 122);
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(loaded.Style(), style);

    // Before 109 the level is a flag; before 122 there is no shadow.
    for (auto [stored, level] : {std::pair{2, 3}, std::pair{1, 0}, std::pair{0, 0}}) {
        ByteWriter old;
        old.WriteI32(stored);  // anti-alias flag
        old.WriteI32(1);       // border width
        old.WriteI32(255);     // alpha
        old.WriteI32(12);      // font height
        old.WriteCountedString("face");
        old.WriteI32(0xFFFFFF);                           // colour
        old.WriteI32(0);                                  // border colour
        old.WriteU8(0);                                   // style
        old.WriteBytes(std::vector<uint8_t>(212, 0xEE));  // the old font's metrics
        ByteReader oldReader(old.Bytes(), "save.dat");
        loaded.LoadStyle(oldReader, 108);
        EXPECT_TRUE(oldReader.AtEnd());
        EXPECT_EQ(loaded.Style().antiAlias, level) << stored;
        EXPECT_EQ(loaded.Style().face, "face");
        EXPECT_EQ(loaded.Style().shadowWidth, 0);
    }

    // A damaged record fails and keeps the style the list had.
    const LabelStyle before = loaded.Style();
    for (size_t cut = 0; cut < writer.Size(); ++cut) {
        ByteReader shortReader(std::span(writer.Bytes()).first(cut), "save.dat");
        EXPECT_THROW(loaded.LoadStyle(shortReader, 122), KivoError) << cut;
        EXPECT_EQ(loaded.Style(), before) << cut;
    }
}

}  // namespace
}  // namespace kivo
