// Seeds of the text targets: marked-up texts that use every tag, attribute and block form,
// and glyph streams of every version with every kind of glyph.

#include <string>

#include "corpus_seeds.h"
#include "support/glyph_stream_builder.h"

namespace kivo::corpus {

namespace {

// Markup as scripts write it: Shift-JIS text (a, i as hiragana), tags with and without
// quotes, escapes, line breaks as CR, and the blocks whose contents are not text.
constexpr const char* kMarkup[] = {
    "plain text \x82\xa0\x82\xa2 and more words to wrap across rows",
    "<FONT SIZE=20 COLOR=#102030 BCOLOR=#FFFFFF SCOLOR=#000080 BORDER=2 SHADOW=1>big</FONT>",
    "<FONT NAME=\"Gothic Face\" SIZE=\"12\">quoted</FONT> small",
    "<B>bold</B><I>italic</I><U>under</U><S>struck</S><b>lower</b>",
    "<RUBY VALUE=\"\x82\xa0\">\x8a\xbf</RUBY><NOBR>no break here</NOBR>",
    "<A HREF=\"page.ksb:label\">link</A> <A HREF=h><WAIT VALUE=-5>slow</WAIT></A>",
    "<DIV ALIGN=CENTER>centre</DIV><DIV ALIGN=RIGHT>right</DIV><DIV ALIGN=LEFT>left</DIV>",
    "one<BR>two<BR CLEAR>three<CLEAR>four\rfive",
    "<INDENT>indented\rrows<UNDENT>back",
    "<EVENT VALUE=\"e1\">before<EVENT VALUE=e2 END>after",
    "score: <VAR NAME=\"x + 1\"> name: <VAR NAME=s>",
    "<IMG SRC=\"face.gal\" ALIGN=TOP><IMG SRC=b.gal ALIGN=CENTER><IMG SRC=c ALIGN=BOTTOM>",
    "<WAIT VALUE=+100>wait <WAIT VALUE=0>none</WAIT></WAIT>",
    "escaped \\<tag\\> \\\"quote\\\" \\\\ \\{ \\} \\%",
    "<!-- comment <B> --> <SCRIPT>var x = 1;</SCRIPT><STYLE>b {}</STYLE>after",
    "<PRE>  pre\r\tformatted  \r</PRE><TEXTAREA>area\r text</TEXTAREA>",
    "<FONT SIZE=8><FONT SIZE=30>nested</FONT></FONT></FONT> unbalanced </B>",
    "<UNKNOWN ATTR=1>kept text</UNKNOWN> < not a tag > \x14 tab\tend",
};

void AddStream(SeedFolder& seeds, int32_t version) {
    test::GlyphStreamBuilder stream(version);
    stream
        .Decoration({.color = 0x0000FF,
                     .size = 20,
                     .style = 1,
                     .borderWidth = 2,
                     .face = "Gothic",
                     .shadowWidth = 1,
                     .shadowColor = 0x808080})
        .Decoration({.size = 12, .noBreak = 1, .ruby = "\x82\xa0"})
        .Char(0x82A0, 0, 40, "link")
        .Char('a', 1)
        .Align(3)
        .Return(false)
        .Indent()
        .Char(0x8ABF, 1)
        .Undent()
        .Return(true)
        .Event("done", true)
        .Event("start", false)
        .Image("face.gal", 4, 10, "img");
    if (version >= 102) {
        stream.Var(0, "x + 1", 5, "v");
    } else {
        stream.CompiledVar(0, test::ExprBuilder("x + 1").Bytes(), 5, "v");
    }
    seeds.Add("glyphs_" + std::to_string(version) + ".dat", stream.Bytes());
}

}  // namespace

void MarkupTextSeeds(SeedFolder& seeds) {
    int index = 0;
    for (const char* text : kMarkup)
        seeds.AddText("markup_" + std::to_string(index++) + ".txt", text);
}

void GlyphStreamSeeds(SeedFolder& seeds) {
    for (int32_t version : {0, 100, 101, 102})
        AddStream(seeds, version);
}

}  // namespace kivo::corpus
