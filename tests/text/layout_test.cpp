#include <gtest/gtest.h>

#include "base/sjis.h"
#include "text_fixture.h"

namespace kivo {
namespace {

using text_test::Box;
using text_test::Describe;

using text_test::J;

TEST(Layout, BreaksLinesWhereTheTextAllows) {
    struct Case {
        const char* name;
        int32_t columns;
        const char* markup;
        const char* rows;  // "|" between rows, "/" between pages
    } cases[] = {
        {"fills rows of fixed cells", 3, "あいうえお", "あいう|えお"},
        {"。 never starts a line", 5, "あいうえお。", "あいうえ|お。"},
        {"」 and ！ stay with the word before", 3, "あい」！う", "あ|い」！/う"},
        {"「 moves on with the next character", 4, "あいう「えお", "あいう|「えお"},
        {"NOBR keeps its run together", 4, "あい<NOBR>うえお</NOBR>", "あい|うえお"},
        {"half-width kana form one word", 3, "あｱｲｳ", "あ|ｱｲｳ"},
        {"a space ends the word before it", 4, "ab cd", "ab |cd"},
        {"a Latin word too long overflows its own row", 3, "a abcdef", "a |abcdef"},
        {"BR ends the row and joins the word before", 5, "ab<BR>cd", "ab~|cd"},
        {"BR CLEAR starts a new page", 5, "ab<BR CLEAR>cd", "ab~~/cd"},
        {"CLEAR does too", 5, "ab<CLEAR>cd", "ab~~/cd"},
        {"a break after a full row", 2, "ab<BR>cd", "ab~|cd"},
        {"INDENT holds the following rows in", 3, "あ<INDENT>いうえお", "あいう|_えお"},
        {"UNDENT ends the indent", 3, "あ<INDENT>い<UNDENT>うえお", "あいう|えお"},
        {"an indent filler alone takes an overlong word", 3, "ab<INDENT>c<BR>defgh", "abc~|_defgh"},
        // The ruby row is 15 tall: it no longer fits a box of two rows.
        {"ruby keeps its base together", 2, "あ<RUBY VALUE=かな>漢字</RUBY>", "あ/漢字"},
        {"an empty ruby does not bind", 2, "あ<RUBY>漢字</RUBY>", "あ漢|字"},
        {"rows fall onto the next page", 3, "あいうえおかきくけこさし",
         "あいう|えおか/きくけ|こさし"},
        {"collapsed spaces take one cell", 5, "a   b", "a b"},
        {"escaped tags are text", 5, "\\<B\\>", "<B>"},
        {"unknown tags take no room", 3, "あ<X>い</X>う", "あいう"},
        {"quoted tags are text", 9, "\"<B>\"", "\"<B>\""},
    };
    for (const Case& c : cases) {
        Box box(c.columns, 2);
        EXPECT_EQ(Describe(box.Lay(J(c.markup))), J(c.rows)) << c.name;
    }
}

TEST(Layout, CellsGrowWithItalicRubyBorderAndShadow) {
    struct Case {
        const char* name;
        const char* markup;
        int32_t width;
        int32_t height;
    } cases[] = {
        {"plain", "あ", 10, 10},
        {"bold is no wider", "<B>あ</B>", 10, 10},
        {"italic adds a fifth", "<I>W</I>", 12, 10},
        {"size", "<FONT SIZE=24>a</FONT>", 24, 24},
        {"ruby adds half the size on top", "<RUBY VALUE=x>a</RUBY>", 10, 15},
        {"border on both sides", "<FONT BORDER=2>a</FONT>", 14, 14},
        {"shadow on one side", "<FONT SHADOW=3>a</FONT>", 13, 13},
        {"huge sizes are kept for layout", "<FONT SIZE=100000>a</FONT>", 100000, 100000},
        {"negative sizes take no room", "<FONT SIZE=-5>a</FONT>", 0, 0},
    };
    for (const Case& c : cases) {
        Box box;
        box.Lay(J(c.markup));
        const TWdGlyph& g = *box.word.Glyph(0);
        EXPECT_EQ(g.Width(), c.width) << c.name;
        EXPECT_EQ(g.Height(), c.height) << c.name;
    }
    // The text's default border counts where the glyph names none.
    Box box;
    box.word.settings.defaultBorderWidth = 1;
    box.Lay("a");
    EXPECT_EQ(box.word.Glyph(0)->Width(), 12);
}

TEST(Layout, PlacesRowsAndGlyphs) {
    Box box(6, 10);
    box.word.settings.lineSpacing = 3;
    auto& pages =
        box.Lay(J("<DIV ALIGN=RIGHT>あ</DIV><BR><DIV ALIGN=CENTER>いう</DIV><BR>"
                  "<FONT SIZE=20>え</FONT>お<BR><BR>か"));
    ASSERT_EQ(pages.size(), 1u);
    TWdPage& page = *pages[0];
    ASSERT_EQ(page.RowCount(), 5u);
    auto x = [&](size_t row, size_t i) { return page.Row(row)->Child(i)->SurfaceX(); };
    auto y = [&](size_t row, size_t i) { return page.Row(row)->Child(i)->SurfaceY(); };
    EXPECT_EQ(x(0, 0), 50);  // right-aligned in a 60-pixel box
    EXPECT_EQ(x(1, 0), 20);  // centred
    EXPECT_EQ(x(1, 1), 30);
    EXPECT_EQ(y(1, 0), 13);  // row height 10 plus line spacing 3
    // A tall character makes the row taller; smaller ones sit on the bottom of the band.
    EXPECT_EQ(page.Row(2)->Height(), 20);
    EXPECT_EQ(y(2, 0), 26);
    EXPECT_EQ(y(2, 1), 36);
    // A line break alone on its row is as tall as the text.
    EXPECT_EQ(page.Row(3)->Height(), 10);
    EXPECT_EQ(page.Row(4)->Y(), 26 + 20 + 3 + 10 + 3);
    EXPECT_EQ(page.Height(), page.Row(4)->Y() + 10);
}

TEST(Layout, UnlimitedWidthBecomesTheWidestRow) {
    Box box(0, 10);
    auto& pages = box.Lay(J("あいう<BR><DIV ALIGN=RIGHT>え</DIV>"));
    EXPECT_EQ(box.word.settings.layoutWidth, 30);
    EXPECT_EQ(pages[0]->Row(1)->Child(0)->SurfaceX(), 20);
}

TEST(Layout, ImagesStandOutOfTheCharacterBand) {
    class Picture : public GlyphImage {
      public:
        explicit Picture(int32_t h) : h_(h) {}
        int32_t Width() const override { return 8; }
        int32_t Height() const override { return h_; }
        bool IsAnimated() const override { return false; }
        bool Animate(int32_t) override { return false; }
        void Draw(TCustomDIBX&, int32_t, int32_t, int32_t) override {}

      private:
        int32_t h_;
    };
    class Pictures : public GlyphImageSource {
      public:
        std::unique_ptr<GlyphImage> Open(std::string_view source) override {
            if (source == "missing") return nullptr;
            return std::make_unique<Picture>(source == "tall" ? 30 : 21);
        }
    } pictures;
    struct Case {
        const char* markup;
        int32_t rowHeight;
        int32_t imageY;
        int32_t charY;
    } cases[] = {
        {"a<IMG SRC=tall>", 30, 0, 20},                 // bottom: stands out above
        {"a<IMG SRC=tall ALIGN=TOP>", 30, 0, 0},        // top: hangs below
        {"a<IMG SRC=odd ALIGN=CENTER>", 22, 1, 6},      // centre: (21 - 10 + 1) / 2 each side
        {"a<IMG SRC=missing ALIGN=CENTER>", 10, 0, 0},  // no file: 0 x 0
    };
    for (const Case& c : cases) {
        Box box;
        box.word.SetImages(&pictures);
        auto& pages = box.Lay(c.markup);
        TWdRow& row = *pages[0]->Row(0);
        EXPECT_EQ(row.Height(), c.rowHeight) << c.markup;
        EXPECT_EQ(row.Child(1)->Y(), c.imageY) << c.markup;
        EXPECT_EQ(row.Child(0)->Y(), c.charY) << c.markup;
    }
}

TEST(Layout, RangesAndTextPositions) {
    Box box(10, 10);
    box.Lay(J("ab<BR>cd<EVENT VALUE=e>ef"));
    TTpWord& word = box.word;
    EXPECT_EQ(word.PositionOf(word.Glyph(3)), 3);
    EXPECT_EQ(word.GlyphAt(5), word.Glyph(5));
    EXPECT_EQ(word.GlyphAt(99), nullptr);
    std::vector<std::unique_ptr<TWdPage>> pages;
    word.Layout(pages, 3, 4);  // "c" up to the glyph at position 4, "d"
    EXPECT_EQ(Describe(pages), "cd");
}

}  // namespace
}  // namespace kivo
