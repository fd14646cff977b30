// Seeds of the text targets: marked-up texts that use every tag, attribute and block form,
// glyph streams of every version with every kind of glyph, and saved styles of text strips.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_io.h"
#include "corpus_seeds.h"
#include "support/glyph_stream_builder.h"
#include "text/tp_label_list.h"

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

// A strip style record laid out field by field: the shadow fields came with version 122, so
// a record without them is the older form.
std::vector<uint8_t> StyleRecord(int32_t antiAlias, std::string_view face, uint8_t style,
                                 bool withShadow) {
    ByteWriter record;
    record.WriteI32(antiAlias);
    record.WriteI32(2);    // border width
    record.WriteI32(200);  // alpha
    record.WriteI32(16);   // font height
    record.WriteCountedString(face);
    record.WriteI32(0x00FFFFFF);
    record.WriteI32(0x00000080);
    record.WriteU8(style);
    for (size_t i = 0; i < kLabelMetricsRecordSize; ++i)
        record.WriteU8(static_cast<uint8_t>(i));
    if (withShadow) {
        record.WriteI32(1);
        record.WriteI32(0x00404040);
    }
    return record.Take();
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

void LabelStyleSeeds(SeedFolder& seeds) {
    seeds.Add("style_122.dat", StyleRecord(3, kPGothicFace, 0x0F, true));
    seeds.Add("style_121.dat", StyleRecord(3, "Gothic", 1, false));
    seeds.Add("style_108_flag.dat", StyleRecord(1, kPGothicFace, 0, false));
    seeds.Add("style_no_face.dat", StyleRecord(0, "", 0, true));
}

}  // namespace kivo::corpus
