// Round trips of the script text forms over pages and project files built byte by byte with the
// fixture writers: disassembling and assembling again must give the same bytes, and the text of
// the result must be the text we started from.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/sjis.h"
#include "script/expression_compiler.h"
#include "script/page_file.h"
#include "script/project_file.h"
#include "support/page_builder.h"
#include "text/tp_word.h"
#include "tools/script/text/expression_text.h"
#include "tools/script/text/page_text.h"
#include "tools/script/text/project_text.h"

namespace kivo {
namespace {

using test::ByteBuilder;
using test::CommandBuilder;
using test::ExprBuilder;
using test::Operand;
using test::PageBuilder;

std::string Cp932(std::string_view utf8) {
    return sjis::FromUtf8(utf8).value();
}

// Strings that test the quoting: plain text, Japanese, bytes code page 932 cannot express or
// does not give back unchanged, and the characters that are syntax in the text form.
std::vector<std::string> AwkwardStrings() {
    return {"",
            "abc",
            Cp932("日本語のテキスト"),
            Cp932("ｶﾀｶﾅ"),
            "\x80\xA0\xFD\xFF",
            "lone lead \x82",
            "\x81\x22 lead before a quote",
            "\x87\x54 and \xFA\x4A",  // the same numeral at its NEC and IBM codes
            "quote \" backslash \\ brace } { hash # <angle>",
            "line\r\nbreak",
            "bare\nfeed\ttab\x01",
            "TRUE",
            "-12",
            "____0",
            "$ref",
            std::string("nul\0byte", 8)};
}

class RandomPage {
  public:
    explicit RandomPage(uint32_t seed) : rng_(seed) {}

    int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(rng_); }
    bool Chance(int percent) { return Pick(100) < percent; }

    std::string String() {
        auto pool = AwkwardStrings();
        return pool[static_cast<size_t>(Pick(static_cast<int>(pool.size())))];
    }
    std::string Name() {
        static const char* const kNames[] = {"x",       "@Result", "____0", "____1", "____arg",
                                             "____d_0", "a b",     "",      "TRUE"};
        return Chance(20) ? Cp932("変数") : kNames[Pick(9)];
    }

    Operand RandomOperand() {
        switch (Pick(8)) {
            case 0:
                return Operand::Int(static_cast<int32_t>(rng_()));
            case 1:
                return Operand::Float(Pick(2) ? 0.1 * Pick(1000) - 50 : 1e300);
            case 2: {
                // Ten bytes that no double gives back, and odd flag bytes.
                ByteBuilder raw;
                raw.U8(2);
                for (int i = 0; i < 10; ++i)
                    raw.U8(static_cast<uint8_t>(rng_()));
                return Operand{raw.Data()};
            }
            case 3:
                return Operand{ByteBuilder().U8(3).U8(static_cast<uint8_t>(Pick(3))).Data()};
            case 4:
                return Operand::Str(String());
            case 5:
                return Operand::Var(Name());
            case 6:
                return Operand::Ref(static_cast<uint8_t>(5 + Pick(250)), Name());
            default:
                return Operand::Int(Pick(10));
        }
    }

    ExprBuilder Expr() {
        ExprBuilder expr;
        int steps = Pick(4);
        for (int i = 0; i < steps; ++i) {
            std::vector<Operand> operands;
            int count = Pick(4);
            for (int k = 0; k < count; ++k)
                operands.push_back(RandomOperand());
            int opcode = Chance(10) ? 21 + Pick(235) : Pick(21);
            if (opcode == test::kOpFunc) {
                expr.Func(Name(), static_cast<uint8_t>(Pick(145)), operands);
            } else {
                expr.Step(static_cast<uint8_t>(opcode), Name(), operands);
            }
        }
        return expr;
    }

    // Every command code at least once (some with the high bit of the type byte set), with
    // every field the version stores filled with random values.
    std::vector<uint8_t> Build(int32_t version) {
        PageBuilder page;
        page.Version(version).ResultType(static_cast<uint8_t>(Pick(6)));
        PageFile shape;
        SetMasks(page, shape);
        PropertyMasks masks = shape.Masks();
        int count = kCommandCount + Pick(30);
        for (int i = 0; i < count; ++i) {
            int code = i < kCommandCount ? i : Pick(kCommandCount);
            CommandBuilder command(Chance(5) ? code | 0x80 : code);
            command.Indent(Chance(5) ? -1 - Pick(3) : Pick(4))
                .Disabled(static_cast<uint8_t>(Chance(80) ? 0 : Pick(3)))
                .Continue(static_cast<uint8_t>(Pick(3)))
                .Line(Chance(70) ? i + 1 : Pick(1000) - 100);
            for (const FieldLayout& field : RecordLayouts()[static_cast<size_t>(code)].fields) {
                if (field.StoredIn(version)) AddField(command, field, code, count, masks);
            }
            page.Add(command);
        }
        if (Chance(20)) page.Trailer(std::vector<uint8_t>{1, 2, 3});
        return page.Bytes();
    }

  private:
    void SetMasks(PageBuilder& page, PageFile& shape) {
        static const int32_t kCounts[] = {0, 5, 61, 61, 70};
        static const int32_t kSizes[] = {0, 1, 20, 21, 21, 30, 1282};
        if (Chance(40)) {
            for (int type = 0; type < kCommandCount; ++type) {
                std::initializer_list<int> ids = {0, 3, 95, 161};
                if (Chance(50)) page.Mask(type, Chance(50) ? ids : std::initializer_list<int>{2});
            }
            PageFile probe = PageFile::Read(page.Bytes(), "probe");
            shape.maskBlock = probe.maskBlock;
            return;
        }
        int32_t count = kCounts[Pick(5)];
        int32_t size = kSizes[Pick(7)];
        std::vector<uint8_t> bytes(static_cast<size_t>(count) * static_cast<size_t>(size));
        for (uint8_t& b : bytes)
            b = Chance(20) ? static_cast<uint8_t>(rng_()) : 0;
        shape.maskCount = count;
        shape.maskSize = size;
        shape.maskBlock = bytes;
        page.RawMasks(count, size, std::move(bytes));
    }

    void AddField(CommandBuilder& command, const FieldLayout& field, int code, int count,
                  const PropertyMasks& masks) {
        switch (field.kind) {
            case FieldKind::Int32:
                command.Int32(Chance(80) ? Pick(count) : static_cast<int32_t>(rng_()));
                return;
            case FieldKind::Byte:
                command.Byte(static_cast<uint8_t>(Pick(256)));
                return;
            case FieldKind::String:
                // Jumps and calls into this page by label, and labels that repeat.
                command.String(field.name == "page" && Chance(50) ? "self.ksb" : String());
                return;
            case FieldKind::Expr:
                command.Expr(Expr());
                return;
            case FieldKind::ExprList: {
                std::vector<ExprBuilder> list;
                for (int k = Pick(3); k > 0; --k)
                    list.push_back(Expr());
                command.Exprs(list);
                return;
            }
            case FieldKind::Blob: {
                std::string text = String();
                command.Blob({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
                return;
            }
            case FieldKind::Properties: {
                std::map<int, ExprBuilder> properties;
                for (PropertyId id : masks.Ids(code))
                    properties[id] = Expr();
                command.Properties(properties);
                return;
            }
        }
    }

    std::mt19937 rng_;
};

TEST(ScriptRoundTrip, RandomPagesOfEveryVersionComeBackByteForByte) {
    for (uint32_t seed = 1; seed <= 120; ++seed) {
        RandomPage generator(seed);
        int32_t version = 103 + static_cast<int32_t>(seed % 8);
        std::vector<uint8_t> bytes = generator.Build(version);
        PageFile page = PageFile::Read(bytes, "self.ksb");
        std::string text = script_text::WritePageText(page, "self.ksb");
        PageFile again = script_text::ReadPageText(text, "self.kss");
        ASSERT_EQ(again.Write("self.ksb"), bytes) << "seed " << seed << "\n" << text;
        ASSERT_EQ(script_text::WritePageText(again, "self.ksb"), text) << "seed " << seed;
    }
}

// TextIns text is the markup a person writes, shown as such; a stored glyph stream is no text
// and comes back byte for byte.
TEST(ScriptRoundTrip, TextInsMarkupIsShownAsItsTextAndGlyphStreamsKeepTheirBytes) {
    const std::string markup = "<FONT COLOR=#FF0000>赤い</FONT>字<BR><A HREF=\"x\">次</A>";
    const std::string written = "TextIns \"" + std::string("<FONT COLOR=#FF0000>赤い</FONT>字") +
                                "<BR><A HREF=\\\"x\\\">次</A>\"";
    const std::string source = "version 110\n" + written + " object={\"mes\"}\n";
    const std::vector<uint8_t> bytes = script_text::ReadPageText(source, "t.kss").Write("t.ksb");
    const PageFile page = PageFile::Read(bytes, "t.ksb");
    const std::string text = script_text::WritePageText(page, "t.ksb");
    EXPECT_NE(text.find(written), std::string::npos) << text;
    const auto& payload = std::get<std::vector<uint8_t>>(page.commands.at(0).fields.at(0));
    EXPECT_EQ(std::string(payload.begin(), payload.end()), Cp932(markup));

    TTpWord word;
    const std::vector<std::string> lines = {Cp932(markup)};
    word.Parse(lines, 50);
    ByteWriter stream;
    word.SaveGlyphs(stream);
    const std::vector<uint8_t> glyphs = stream.Take();
    ASSERT_TRUE(IsGlyphStream(glyphs, nullptr));
    PageFile streamPage = script_text::ReadPageText(source, "t.kss");
    streamPage.commands.at(0).fields.at(0) = glyphs;
    const std::vector<uint8_t> streamBytes = streamPage.Write("t.ksb");
    const std::string streamText =
        script_text::WritePageText(PageFile::Read(streamBytes, "t.ksb"), "t.ksb");
    EXPECT_EQ(script_text::ReadPageText(streamText, "t.kss").Write("t.ksb"), streamBytes);
}

TEST(ScriptRoundTrip, PagesOfUnknownVersionsKeepTheirBytes) {
    std::vector<uint8_t> bytes = ByteBuilder().I32(111).Str("whatever follows").U8(7).Data();
    PageFile page = PageFile::Read(bytes, "new.ksb");
    std::string text = script_text::WritePageText(page, "new.ksb");
    EXPECT_EQ(script_text::ReadPageText(text, "new.kss").Write(), bytes);
}

// The forms a person writes: the text that the editor's compiler was given comes out again,
// and a page written that way reads back to the same text.
TEST(ScriptRoundTrip, CompiledExpressionsAreWrittenAsTheirText) {
    const char* const kTexts[] = {
        "1 + 2 * 3",
        "(1 + 2) * 3",
        "10 - 4 - 3",
        "x = 1 + 2",
        "\"ab\" ++ \"cd\"",
        "a[1, 2] = 4",
        "s = IntToStr(n + 1, 3)",
        "x = StrToIntDef(@ParamStr[0], 0)",
        "x == 1 & y <> 2 | z >= 3",
        "f = 7.5 / 2",
        "ok = TRUE",
        "msg = \"say \\\"hi\\\"\\n\"",
        "@Result",
    };
    for (const char* text : kTexts) {
        TKivoParser compiled = CompileExpression(text);
        EXPECT_EQ(script_text::WriteExpression(compiled), "{" + std::string(text) + "}");
    }
}

// Key names compile to their key codes, as in the player; the page keeps the numbers, and a
// stored reference to a variable of such a name is not silently turned into one.
TEST(ScriptRoundTrip, KeyNamesCompileToTheirCodes) {
    const std::string text = "{down = @KeyPush[VkmRETURN] | (last == VkmF1) | VkmWheelUp}";
    script_text::LineScanner scanner("t.kss", 1, text);
    const TKivoParser read = script_text::ReadExpression(scanner);
    EXPECT_EQ(read, CompileExpression("down = @KeyPush[13] | (last == 112) | 257"));
    const std::string written = script_text::WriteExpression(read);
    EXPECT_NE(written.find("@KeyPush, 13;"), std::string::npos) << written;
    EXPECT_EQ(written.find("Vkm"), std::string::npos) << written;
    script_text::LineScanner again("t.kss", 1, written);
    EXPECT_EQ(script_text::ReadExpression(again), read);
    // Names that only look like keys stay variables.
    EXPECT_EQ(CompileExpression("x = VkmNONE + Vkmreturn").Steps().front().operands,
              (std::vector<TOperand>{TOperand::Reference("VkmNONE"),
                                     TOperand::Reference("Vkmreturn")}));

    // A stored reference to a variable named like a key is listed and read back as it was.
    TKivoParser stored({TOpeData{1, "x", 0, {TOperand::Reference("VkmRETURN")}}});
    const std::string listed = script_text::WriteExpression(stored);
    EXPECT_EQ(listed, "[ocTo x = VkmRETURN]");
    script_text::LineScanner list("t.kss", 1, listed);
    EXPECT_EQ(script_text::ReadExpression(list), stored);
}

TEST(ScriptRoundTrip, StepsTheCompilerWouldNotMakeAreListed) {
    TKivoParser expr({TOpeData{2, "____arg", 0, {TOperand::Integer(1)}}});
    std::string text = script_text::WriteExpression(expr);
    EXPECT_EQ(text, "[ocPlus ____arg = 1]");
    script_text::LineScanner scanner("t.kss", 1, text);
    EXPECT_EQ(script_text::ReadExpression(scanner), expr);
}

TEST(ScriptRoundTrip, ProjectFilesOfEveryVersionComeBackByteForByte) {
    for (int32_t version : {103, 104, 106, 109, 110}) {
        ByteBuilder file;
        file.I32(version).Str(Cp932("デモ")).I32(640).I32(480).I32(800).I32(600).Str("main.ksb");
        if (version > 109) file.Str("exit.ksb");
        file.Str("Software\\kivo").I32(-5);
        if (version > 103) file.U8(2);
        if (version >= 106) file.U8(1);
        if (version > 108) file.Str(".wav.ogg");
        file.Str(Cp932("ディスク%dを")).Str("bye");
        file.I32(5);
        file.U8(PT_INT).Str("score").I32(-7);
        file.U8(PT_FLOAT).Str("rate").F80(0.1);
        file.U8(PT_FLOAT).Str("odd").Raw(std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
        file.U8(PT_BOOL).Str("seen").U8(2);
        file.U8(PT_STR).Str(Cp932("名前")).Str("\x80 quote\"");
        file.I32(2).Str("MOVIE\\").I32(2).Str(Cp932("音楽\\")).I32(3);
        std::vector<uint8_t> bytes = file.Data();

        ProjectFile project = ProjectFile::Read(bytes, "kivo.kpb");
        std::string text = script_text::WriteProjectText(project);
        ProjectFile again = script_text::ReadProjectText(text, "kivo.kps");
        ASSERT_EQ(again.Write(), bytes) << text;
        EXPECT_EQ(script_text::WriteProjectText(again), text);
    }
}

}  // namespace
}  // namespace kivo
