#include <gtest/gtest.h>

#include "base/error.h"
#include "text/tag.h"
#include "text_fixture.h"

namespace kivo {
namespace {

using text_test::Describe;
using text_test::ParseInto;

std::string Glyphs(const std::vector<std::string>& lines) {
    TTpWord word;
    word.Parse(lines, 50);
    return Describe(word);
}

TEST(Markup, TextAndTagsBecomeGlyphs) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        const char* glyphs;
    } cases[] = {
        {"spaces collapse", {"a  b"}, "a b"},
        {"spaces collapse in PRE", {"<PRE>a  b</PRE>"}, "a b"},
        {"TAB in PRE is eight spaces", {"<PRE>\tx</PRE>"}, "        x"},
        {"TAB elsewhere is dropped", {"a\tb"}, "ab"},
        {"lines join with one space", {"ab", "cd"}, "ab cd"},
        {"lines in PRE break", {"<PRE>ab", "cd</PRE>"}, "ab~cd"},
        {"PRE end drops the break before it", {"<PRE>", "ab", "</PRE>"}, "ab"},
        {"escaped brackets are text", {"\\<B\\>x"}, "<B>x"},
        {"other escapes drop the backslash", {"\\q\\\\"}, "q\\"},
        {"tags inside quotes are text", {"\"<B>x</B>\""}, "\"<B>x</B>\""},
        {"empty tag is text", {"a<>b"}, "a<>b"},
        {"unknown tags vanish", {"<FOO X=1>a</FOO>"}, "a"},
        {"comments vanish", {"a<!-- <B>b</B> -->c"}, "ac"},
        {"script blocks vanish", {"a<script>x<y</SCRIPT>c"}, "ac"},
        {"tag names ignore case", {"a<br>b<Br clear>c<CLEAR>"}, "a~b~~c~~"},
        {"DIV pushes and pops", {"<DIV ALIGN=right>a</DIV>b"}, "{R}a{L}b"},
        {"DIV accepts no vertical names", {"<DIV ALIGN=TOP>a"}, "{L}a"},
        {"indent and undent", {"<INDENT>a<UNDENT>"}, ">>a<<"},
        {"events unescape their value",
         {"<EVENT VALUE=\"x\\ny\"><EVENT VALUE=e END>"},
         "[x\r\ny][e!]"},
        {"VAR needs a name", {"<VAR NAME=x><VAR>"}, "$x"},
        {"IMG needs a source", {"<IMG SRC=face.bmp><IMG>"}, "#face.bmp"},
        // 0x95 0x5C is one character whose trail byte is a backslash: no escape follows.
        {"a 0x5C trail byte is no escape", {"\x95\x5C<B>x"}, "\x95\x5Cx"},
        {"a lone = at the end of a tag", {"<FONT SIZE=>a"}, "a"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Glyphs(c.lines), c.glyphs) << c.name;
}

DecorateValues DecorationOf(const std::string& markup, size_t index = 0) {
    TTpWord word;
    ParseInto(word, markup);
    return word.Glyph(index)->DecorationValues();
}

TEST(Markup, FontTagsSetAndRestoreTheDecoration) {
    EXPECT_EQ(DecorationOf("<FONT COLOR=#FF0000>a").color, 0x0000FF);
    EXPECT_EQ(DecorationOf("<FONT COLOR=#123456>a").color, 0x563412);
    EXPECT_EQ(DecorationOf("<FONT COLOR=#F>a").color, 0x00000F);  // short values as far as they go
    EXPECT_EQ(DecorationOf("<FONT COLOR=#00FF>a").color, 0x00FF00);
    EXPECT_EQ(DecorationOf("<FONT COLOR=#0000FF><FONT COLOR=red>a").color, 0xFF0000);
    EXPECT_EQ(DecorationOf("<FONT COLOR=#0000FF><FONT COLOR=#GG0000>a").color, 0xFF0000);
    EXPECT_EQ(DecorationOf("<FONT BCOLOR=#010203 SCOLOR=#040506>a").borderColor, 0x030201);
    EXPECT_EQ(DecorationOf("<FONT BCOLOR=#010203 SCOLOR=#040506>a").shadowColor, 0x060504);
    EXPECT_EQ(DecorationOf("<FONT BORDER>a").borderWidth, 1);
    EXPECT_EQ(DecorationOf("<FONT BORDER=-3>a").borderWidth, 0);
    EXPECT_EQ(DecorationOf("<FONT SHADOW=4>a").shadowWidth, 4);
    EXPECT_EQ(DecorationOf("a").borderWidth, -1);
    EXPECT_EQ(DecorationOf("<FONT SIZE=30 NAME=\"Face B\">a").face, "Face B");
    EXPECT_EQ(DecorationOf("<FONT SIZE=30><FONT SIZE=x>a").size, 30);
    // One /FONT undoes one FONT on all seven stacks, even where the FONT named one value.
    DecorateValues restored =
        DecorationOf("<FONT SIZE=20 COLOR=#FF0000><FONT BORDER=2>a</FONT>b", 1);
    EXPECT_EQ(restored.size, 20);
    EXPECT_EQ(restored.color, 0x0000FF);
    EXPECT_EQ(restored.borderWidth, -1);
    // Unbalanced end tags change nothing.
    EXPECT_EQ(DecorationOf("</FONT></FONT>a").size, 0);
}

TEST(Markup, StyleNoBreakRubyLinksAndWaits) {
    TTpWord word;
    ParseInto(word,
              "<B><I>a</B>b</I><U><S>c</S></U><NOBR>d</NOBR><RUBY VALUE=rb>e</RUBY>"
              "<A HREF=\"go\\\\x\">f</A>g<WAIT VALUE=7>h<WAIT VALUE=x>i</WAIT>j</WAIT>k",
              50);
    ASSERT_EQ(Describe(word), "abcdefghijk");
    auto at = [&](size_t i) { return word.Glyph(i); };
    EXPECT_EQ(at(0)->Style(), kStyleBold | kStyleItalic);
    EXPECT_EQ(at(1)->Style(), kStyleItalic);
    EXPECT_EQ(at(2)->Style(), kStyleUnderline | kStyleStrikeOut);
    EXPECT_TRUE(at(3)->NoBreak());
    EXPECT_FALSE(at(4)->NoBreak());
    EXPECT_EQ(at(4)->Ruby(), "rb");
    EXPECT_EQ(at(5)->Ruby(), "");
    EXPECT_EQ(at(5)->LinkText(), "go\\x");
    EXPECT_EQ(at(6)->LinkText(), "");
    EXPECT_EQ(at(6)->Wait(), 50);
    EXPECT_EQ(at(7)->Wait(), 7);
    EXPECT_EQ(at(8)->Wait(), 7);  // a WAIT without a number repeats the current one
    EXPECT_EQ(at(9)->Wait(), 7);
    EXPECT_EQ(at(10)->Wait(), 50);
}

TEST(Markup, ImagesTakeTheirAlignmentLinkAndWait) {
    TTpWord word;
    ParseInto(word, "<A HREF=l><WAIT VALUE=9><IMG SRC=a ALIGN=top><IMG SRC=b ALIGN=LEFT>", 50);
    ASSERT_EQ(word.GlyphCount(), 2u);
    EXPECT_EQ(word.Glyph(0)->Alignment(), TextAlign::Top);
    EXPECT_EQ(word.Glyph(1)->Alignment(), TextAlign::Bottom);
    EXPECT_EQ(word.Glyph(0)->LinkText(), "l");
    EXPECT_EQ(word.Glyph(0)->Wait(), 9);
}

TEST(Markup, EqualDecorationsAreSharedAndFreed) {
    TTpWord word;
    ParseInto(word, "ab<B>cd</B>ef");
    EXPECT_EQ(word.Decorations().Count(), 2u);
    EXPECT_EQ(word.Glyph(0)->Decoration(), word.Glyph(5)->Decoration());
    EXPECT_EQ(word.Glyph(0)->Decoration()->refCount, 4);
    // Changing a shared record leaves the other holders alone.
    DecorateValues changed = word.Glyph(0)->DecorationValues();
    changed.color = 5;
    word.Glyph(0)->SetDecoration(changed);
    EXPECT_EQ(word.Glyph(1)->Color(), -1);
    EXPECT_EQ(word.Decorations().Count(), 3u);
    word.Clear();
    EXPECT_EQ(word.Decorations().Count(), 0u);
}

TEST(Markup, LinkWithoutHrefStopsWithTheGlyphsSoFar) {
    TTpWord word;
    try {
        ParseInto(word, "ab<A>c");
        FAIL() << "no error";
    } catch (const KivoError& e) {
        EXPECT_EQ(e.Message(), "<A>タグにHREF値がありません");
    }
    EXPECT_EQ(Describe(word), "ab");
    EXPECT_THROW(ParseInto(word, "<A HREF=\"\">c"), KivoError);
}

TEST(Markup, AttributeSplitting) {
    TTag tag("<font size = 5 name='a b' color=\"#1\" x=\"open y=2>");
    EXPECT_EQ(tag.Text(), "<font>");
    EXPECT_EQ(tag.Attribute("SIZE").value_or("?"), "");  // "size = 5" leaves size without value
    EXPECT_EQ(tag.Attribute("Name").value_or("?"), "a b");
    EXPECT_EQ(tag.Attribute("color").value_or("?"), "#1");
    EXPECT_EQ(tag.Attribute("x").value_or("?"), "open");  // no closing quote: up to a space
    EXPECT_EQ(tag.Attribute("y").value_or("?"), "2");
    EXPECT_FALSE(tag.Attribute("z").has_value());
    EXPECT_EQ(TTag("<a x=1 X=2>").Attribute("x").value_or("?"), "1");  // the first one wins
    EXPECT_EQ(TTag("<=>").Text(), "<>");
}

}  // namespace
}  // namespace kivo
