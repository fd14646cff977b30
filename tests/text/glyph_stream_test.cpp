#include <gtest/gtest.h>

#include "base/error.h"
#include "base/sjis.h"
#include "support/glyph_stream_builder.h"
#include "text_fixture.h"

namespace kivo {
namespace {

using text_test::Describe;
using text_test::ParseInto;

class FakeExpressions : public TextExpressions {
  public:
    std::optional<std::string> Evaluate(std::string_view expression) override {
        ++evaluations;
        if (expression == "name") return std::string("Ann\rB\x01");
        return std::nullopt;
    }
    // The compiled form here is a counted string holding the value itself.
    std::unique_ptr<StoredTextExpression> ReadStored(ByteReader& reader) override {
        struct Stored : StoredTextExpression {
            std::string value;
            std::optional<std::string> Evaluate() override { return value; }
        };
        auto stored = std::make_unique<Stored>();
        stored->value = reader.ReadCountedString();
        return stored;
    }
    int evaluations = 0;
};

const char kRichMarkup[] =
    "<FONT SIZE=20 COLOR=#102030 BORDER=2 SHADOW=1 NAME=F>a</FONT><RUBY VALUE=r>b</RUBY>"
    "<A HREF=h><WAIT VALUE=-5>c</WAIT></A><DIV ALIGN=CENTER><BR CLEAR><INDENT><UNDENT>"
    "<EVENT VALUE=e END><VAR NAME=name><IMG SRC=s ALIGN=TOP>";

TEST(GlyphStream, RoundTripsEveryKind) {
    TTpWord word;
    ParseInto(word, kRichMarkup);
    ByteWriter writer;
    word.SaveGlyphs(writer);

    TTpWord loaded;
    loaded.LoadGlyphs(writer.Bytes(), "text");
    ASSERT_EQ(Describe(loaded), Describe(word));
    for (size_t i = 0; i < word.GlyphCount(); ++i) {
        const TWdGlyph& a = *word.Glyph(i);
        const TWdGlyph& b = *loaded.Glyph(i);
        EXPECT_EQ(a.DecorationValues(), b.DecorationValues()) << i;
        EXPECT_EQ(a.LinkText(), b.LinkText()) << i;
        EXPECT_EQ(a.Wait(), b.Wait()) << i;
        EXPECT_EQ(a.Alignment(), b.Alignment()) << i;
    }
    ByteWriter again;
    loaded.SaveGlyphs(again);
    EXPECT_EQ(again.Bytes(), writer.Bytes());
    EXPECT_TRUE(IsGlyphStream(writer.Bytes(), nullptr));

    // Two streams in one text keep their own decorations.
    loaded.LoadGlyphs(writer.Bytes(), "text");
    EXPECT_EQ(loaded.Glyph(word.GlyphCount())->DecorationValues(),
              word.Glyph(0)->DecorationValues());
}

// A version-0 stream: no signature, one-byte border widths, compiled variable fields.
std::vector<uint8_t> OldStream(int32_t decorationIndex, int32_t storedRefCount) {
    ByteWriter w;
    w.WriteI32(1);               // decorations
    w.WriteI32(storedRefCount);  // reference count as stored
    w.WriteI32(0x0000FF);        // colour
    w.WriteI32(-1);              // border colour
    w.WriteI32(16);              // size
    w.WriteU8(kStyleBold);       // style
    w.WriteU8(0);                // no-break
    w.WriteU8(7);                // border: any non-zero byte is width 1
    w.WriteCountedString("");    // face
    w.WriteCountedString("");    // ruby
    w.WriteI32(3);               // glyphs
    w.WriteU8(0x81);             // character (high bit ignored)
    w.WriteCountedString("");    //   link
    w.WriteI32(40);              //   wait
    w.WriteU16(0x82A0);          //   code
    w.WriteI32(decorationIndex);
    w.WriteU8(7);  // variable field
    w.WriteI32(decorationIndex);
    w.WriteCountedString("v");  //   the fake compiled form
    w.WriteU8(6);               // event
    w.WriteCountedString(
        "\x01"
        "done");
    return w.Take();
}

TEST(GlyphStream, ReadsOldStreamsAndRecountsReferences) {
    FakeExpressions expressions;
    TTpWord word;
    word.SetExpressions(&expressions);
    std::vector<uint8_t> old = OldStream(0, 99);
    word.LoadGlyphs(old, "old");
    ASSERT_EQ(Describe(word), "\x82\xA0$[done!]");
    EXPECT_EQ(word.Glyph(0)->BorderWidth(), 1);
    EXPECT_EQ(word.Glyph(0)->Wait(), 40);
    EXPECT_EQ(word.Decorations().At(0).refCount, 2);
    word.ExpandVars(0, -1);
    EXPECT_EQ(Describe(word), "\x82\xA0$v[done!]");
    word.Clear();
    EXPECT_EQ(word.Decorations().Count(), 0u);

    EXPECT_TRUE(IsGlyphStream(old, &expressions));
    EXPECT_FALSE(IsGlyphStream(old, nullptr));  // unreadable without the expression engine
    std::string markup = "<B>hello</B>";
    EXPECT_FALSE(IsGlyphStream(
        std::span(reinterpret_cast<const uint8_t*>(markup.data()), markup.size()), &expressions));
}

TEST(GlyphStream, ReadsEveryVersionLaidOutByHand) {
    // Version 0 has one-byte borders and no shadows, 100 adds both, 101 gives variable fields
    // a wait and a link, 102 stores their expression as text.
    for (int32_t version : {0, 100, 101, 102}) {
        SCOPED_TRACE(version);
        test::GlyphStreamBuilder stream(version);
        stream
            .Decoration({.color = 0xFF,
                         .size = 20,
                         .style = kStyleBold,
                         .borderWidth = 3,
                         .face = "F",
                         .ruby = "r",
                         .shadowWidth = 2,
                         .shadowColor = 0x808080})
            .Char(0x82A0, 0, 40, "l")
            .Align(3)
            .Return(true)
            .Indent()
            .Undent()
            .Event("e", true)
            .Image("s", 4, 7, "k");
        // The fake engine's compiled form is a counted string holding the value.
        const std::vector<uint8_t> compiled = {1, 0, 0, 0, 'v'};
        if (version >= 102) {
            stream.Var(0, "name", 9, "w");
        } else {
            stream.CompiledVar(0, compiled, 9, "w");
        }
        FakeExpressions expressions;
        TTpWord word;
        word.SetExpressions(&expressions);
        word.LoadGlyphs(stream.Bytes(), "hand");
        EXPECT_EQ(Describe(word),
                  std::string("\x82\xA0{C}~~>><<[e!]#s$") + (version >= 102 ? "name" : ""));
        const TWdGlyph& c = *word.Glyph(0);
        EXPECT_EQ(c.BorderWidth(), version >= 100 ? 3 : 1);
        EXPECT_EQ(c.DecorationValues().shadowWidth, version >= 100 ? 2 : -1);
        EXPECT_EQ(c.DecorationValues().shadowColor, version >= 100 ? 0x808080 : -1);
        EXPECT_EQ(c.DecorationValues().face, "F");
        EXPECT_EQ(c.Wait(), 40);
        EXPECT_EQ(c.LinkText(), "l");
        const TWdGlyph& image = *word.Glyph(6);
        EXPECT_EQ(image.Alignment(), TextAlign::Top);
        EXPECT_EQ(image.Wait(), 7);
        const TWdGlyph& var = *word.Glyph(7);
        EXPECT_EQ(var.Wait(), version > 100 ? 9 : 0);
        EXPECT_EQ(var.LinkText(), version > 100 ? "w" : "");
        if (version < 102) {  // the compiled expression is the one the field shows
            word.ExpandVars(0, -1);
            EXPECT_EQ(Describe(word), "\x82\xA0{C}~~>><<[e!]#s$v");
        }
    }
}

TEST(GlyphStream, DamagedStreamsFailCleanlyAndAddNothing) {
    FakeExpressions expressions;
    TTpWord word;
    word.SetExpressions(&expressions);
    EXPECT_THROW(word.LoadGlyphs(OldStream(1, 1), "bad"), KivoError);
    EXPECT_THROW(word.LoadGlyphs(OldStream(-1, 1), "bad"), KivoError);
    std::vector<uint8_t> good = OldStream(0, 1);
    for (size_t size = 0; size < good.size(); ++size) {
        TTpWord cut;
        cut.SetExpressions(&expressions);
        EXPECT_THROW(cut.LoadGlyphs(std::span(good).first(size), "cut"), KivoError) << size;
        EXPECT_EQ(cut.GlyphCount(), 0u);
        EXPECT_EQ(cut.Decorations().Count(), 0u);
    }
    // An unknown kind ends the stream; what came before stays.
    std::vector<uint8_t> unknown = good;
    unknown[unknown.size() - 10] = 8;  // the event's kind byte
    word.LoadGlyphs(unknown, "odd");
    EXPECT_EQ(Describe(word), "\x82\xA0$");
    std::vector<uint8_t> huge = {'T', 'p', 'W',  'o',  'r',  'd', '1',
                                 '0', '2', 0xFF, 0xFF, 0xFF, 0x7F};
    EXPECT_THROW(word.LoadGlyphs(huge, "huge"), KivoError);
    std::vector<uint8_t> version = {'T', 'p', 'W', 'o', 'r', 'd', '1', 'x', '2', 0, 0, 0, 0};
    EXPECT_THROW(word.LoadGlyphs(version, "version"), KivoError);
}

TEST(VariableFields, ExpandFrozenOrEvaluatedValues) {
    FakeExpressions expressions;
    TTpWord word;
    word.SetExpressions(&expressions);
    ParseInto(word, "<A HREF=l><VAR NAME=name></A>-<VAR NAME=\" \">-<VAR NAME=bad>");
    word.ExpandVars(0, -1);
    // CR becomes a line break, other control characters vanish.
    EXPECT_EQ(Describe(word), "$nameAnn~B-$ -$bad");
    EXPECT_EQ(expressions.evaluations, 2);  // blank expressions are not evaluated
    EXPECT_EQ(word.Glyph(1)->LinkText(), "l");
    EXPECT_EQ(word.Glyph(1)->TextCount(), 0);
    EXPECT_EQ(word.PositionOf(word.Glyph(6)), 1);  // expanded glyphs take no text positions

    std::vector<std::unique_ptr<TWdPage>> pages;
    word.settings.layoutWidth = 200;
    word.settings.pageHeight = 100;
    word.Layout(pages, 0, -1);
    pages[0]->StoreFrozenValues();
    EXPECT_EQ(pages[0]->FrozenValues(),
              "name=Ann\x01"
              "B\r\n =\r\nbad=");

    // Frozen values win over evaluating again; saving leaves the expansion out.
    word.CollapseVars(0, -1);
    EXPECT_EQ(Describe(word), "$name-$ -$bad");
    word.frozenValues = {
        "name=Bo\x01"
        "b"};
    word.ExpandVars(0, 0);
    EXPECT_EQ(Describe(word), "$nameBo~b-$ -$bad");
    ByteWriter writer;
    word.SaveGlyphs(writer);
    TTpWord loaded;
    loaded.LoadGlyphs(writer.Bytes(), "saved");
    EXPECT_EQ(Describe(loaded), "$name-$ -$bad");
}

TEST(TextSettings, RoundTripAndOlderVersions) {
    TTpWord word;
    word.settings.originX = 3;
    word.settings.defaultFace = "face";
    word.settings.paging = false;
    word.settings.shadowColor = 0x123456;
    word.settings.defaultShadowWidth = 2;
    ByteWriter writer;
    word.SaveSettings(writer);
    TTpWord loaded;
    ByteReader reader(writer.Bytes(), "settings");
    loaded.LoadSettings(reader, 120);
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(loaded.settings.originX, 3);
    EXPECT_EQ(loaded.settings.defaultFace, "face");
    EXPECT_FALSE(loaded.settings.paging);
    EXPECT_EQ(loaded.settings.defaultShadowWidth, 2);

    TTpWord old;
    ByteReader oldReader(writer.Bytes(), "settings");
    old.LoadSettings(oldReader, 109);
    EXPECT_EQ(oldReader.Remaining(), 12u);  // shadow colour and default widths not read
    EXPECT_EQ(old.settings.shadowColor, 0);
    old.settings.originX = 77;
    ByteReader cut(std::span(writer.Bytes()).first(10), "settings");
    EXPECT_THROW(old.LoadSettings(cut, 120), KivoError);
    EXPECT_EQ(old.settings.originX, 77);  // a failed read changes nothing
}

TEST(GlyphStream, CopiesGlyphRangesIntoAnotherText) {
    TTpWord source;
    ParseInto(source, "<B>ab</B><BR>cd");
    TTpWord target;
    ParseInto(target, "x");
    target.CopyGlyphs(source, 1, 2);
    EXPECT_EQ(Describe(target), "xb~");
    EXPECT_EQ(target.Glyph(1)->Style(), kStyleBold);
    target.CopyGlyphs(source, 3, -1);
    EXPECT_EQ(Describe(target), "xb~cd");
    EXPECT_EQ(target.Decorations().Count(), 2u);
}

}  // namespace
}  // namespace kivo
