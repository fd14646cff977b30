#include "script/page_file.h"

#include <gtest/gtest.h>

#include <string>

#include "base/error.h"
#include "support/page_builder.h"

namespace kivo {
namespace {

using test::BuildRecord;
using test::CommandBuilder;
using test::EveryCommandPage;
using test::ExprBuilder;
using test::PageBuilder;

TEST(PageFileTest, EveryCommandAtEveryVersionReadsAndWritesBackIdentically) {
    for (int32_t version = 100; version <= 110; ++version) {
        SCOPED_TRACE(version);
        const std::vector<uint8_t> bytes = EveryCommandPage(version).Bytes();
        const PageFile page = PageFile::Read(bytes, "every.ksb");
        ASSERT_EQ(page.commands.size(), 61u);
        EXPECT_TRUE(page.trailer.empty());
        EXPECT_EQ(page.resultType, PT_STR);
        for (int code = 0; code < kCommandCount; ++code) {
            EXPECT_EQ(static_cast<int>(page.commands[code].Code()), code);
            EXPECT_EQ(page.commands[code].line, code + 1);
        }
        EXPECT_EQ(page.Write("every.ksb"), bytes);
    }
}

TEST(PageFileTest, VersionGatesDecideWhichFieldsAreStored) {
    struct Case {
        CommandCode code;
        const char* field;
        int32_t firstVersion;
    };
    for (const Case& c :
         {Case{CommandCode::Wait, "eventsBlocked", 107}, Case{CommandCode::Flip, "mask", 101},
          Case{CommandCode::Flip, "eventsBlocked", 107},
          Case{CommandCode::TextIns, "eventsBlocked", 107},
          Case{CommandCode::MovieStop, "eventsBlocked", 107},
          Case{CommandCode::GameSave, "index", 105},
          Case{CommandCode::PropMotion, "paused", 108}}) {
        for (int32_t version : {c.firstVersion - 1, c.firstVersion}) {
            const int code = static_cast<int>(c.code);
            const auto bytes =
                PageBuilder().Version(version).Add(BuildRecord(code, version, 7)).Bytes();
            const PageFile page = PageFile::Read(bytes, "gate.ksb");
            EXPECT_EQ(page.commands.at(0).Has(c.field), version >= c.firstVersion)
                << c.field << " at " << version;
        }
    }
}

TEST(PageFileTest, FieldsReadByName) {
    PageBuilder builder;
    builder.Mask(test::kBoxNewCode, {PR_NAME, PR_TOP, PR_CARETHEIGHT})
        .Add(test::Call("sub.ksb", 4, "answer", "", {"a + 1", test::Str("b")}).Indent(2).Line(17))
        .Add(test::Calc("x = x + 1").Continue().Disabled(2))
        .Add(CommandBuilder(test::kBoxNewCode)
                 .Properties({{PR_NAME, test::Str("box")},
                              {PR_TOP, test::Float(2.5)},
                              {PR_CARETHEIGHT, test::Var("h")}}))
        .Add(test::Wait("", test::Int(100)));
    const PageFile page = PageFile::Read(builder.Bytes(), "fields.ksb");
    ASSERT_EQ(page.commands.size(), 4u);

    const CommandRecord& call = page.commands[0];
    EXPECT_EQ(call.Code(), CommandCode::Call);
    EXPECT_EQ(call.indent, 2);
    EXPECT_EQ(call.line, 17);
    EXPECT_EQ(call.String("page"), "sub.ksb");
    EXPECT_EQ(call.Int("target"), 4);
    EXPECT_EQ(call.String("result"), "answer");
    EXPECT_TRUE(call.Expr("condition").Empty());
    ASSERT_EQ(call.Exprs("arguments").size(), 2u);
    EXPECT_EQ(call.Exprs("arguments")[0].Steps().size(), 2u);

    const CommandRecord& calc = page.commands[1];
    EXPECT_TRUE(calc.Continues());
    EXPECT_EQ(calc.disabled, 2);  // kept as stored, written back as stored
    const auto& steps = calc.Expr("expression").Steps();
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_TRUE(steps[0].Is(OpCode::ocPlus));
    EXPECT_EQ(steps[0].target, "____0");
    EXPECT_EQ(steps[0].operands[0].text, "x");
    EXPECT_EQ(steps[0].operands[1].intValue, 1);
    EXPECT_TRUE(steps[1].Is(OpCode::ocTo));
    EXPECT_EQ(steps[1].target, "x");

    const ComponentProperties& properties = page.commands[2].Properties();
    ASSERT_EQ(properties.size(), 3u);
    EXPECT_EQ(properties[0].id, PR_NAME);
    EXPECT_EQ(properties[1].id, PR_TOP);
    EXPECT_EQ(properties[1].expr.Steps()[0].operands[0].floatValue.ToDouble(), 2.5);
    EXPECT_EQ(properties[2].id, PR_CARETHEIGHT);

    EXPECT_EQ(page.commands[3].Expr("time").Steps()[0].operands[0].intValue, 100);
    EXPECT_THROW((void)call.Int("time"), std::logic_error);
    EXPECT_THROW((void)call.Expr("page"), std::logic_error);
}

// Mask tables of unusual shapes: what the player derives from them, and that they survive a
// read and a write unchanged.
TEST(PageFileTest, OddMaskShapes) {
    auto bits = [](std::initializer_list<int> ids, int size) {
        std::vector<uint8_t> entry(static_cast<size_t>(size));
        for (int id : ids)
            entry[static_cast<size_t>(id / 8)] |= static_cast<uint8_t>(1u << (id % 8));
        return entry;
    };
    auto entries = [](int count, const std::vector<uint8_t>& entry) {
        std::vector<uint8_t> block;
        for (int i = 0; i < count; ++i)
            block.insert(block.end(), entry.begin(), entry.end());
        return block;
    };

    {  // T = 70: entries 61 to 69 are skipped.
        const auto page = PageFile::Read(
            PageBuilder().RawMasks(70, 21, entries(70, bits({3}, 21))).Bytes(), "t70.ksb");
        EXPECT_TRUE(page.Masks().Has(60, 3));
        EXPECT_EQ(page.maskBlock.size(), 70u * 21u);
    }
    {  // T = 5: types above 4 store no properties, so a BoxNew (8) record has no fields.
        const auto bytes = PageBuilder()
                               .RawMasks(5, 21, entries(5, bits({0, 1}, 21)))
                               .Add(CommandBuilder(test::kBoxNewCode))
                               .Add(test::Calc("y = 2"))
                               .Bytes();
        const auto page = PageFile::Read(bytes, "t5.ksb");
        EXPECT_TRUE(page.Masks().Has(4, 1));
        EXPECT_FALSE(page.Masks().Has(8, 0));
        ASSERT_EQ(page.commands.size(), 2u);
        EXPECT_TRUE(page.commands[0].Properties().empty());
        EXPECT_EQ(page.Write(), bytes);
    }
    {  // S = 20: ids 160 and 161 are never present.
        std::vector<uint8_t> all(20, 0xFF);
        const auto page =
            PageFile::Read(PageBuilder().RawMasks(61, 20, entries(61, all)).Bytes(), "s20.ksb");
        EXPECT_TRUE(page.Masks().Has(8, 159));
        EXPECT_FALSE(page.Masks().Has(8, 160));
        EXPECT_FALSE(page.Masks().Has(8, 161));
    }
    {  // S = 25: each entry runs on into the next mask, whose own entry then overwrites it;
       // the tail of entry 8 is what mask 9 (ImgNew) keeps.
        std::vector<uint8_t> block = entries(9, bits({2}, 25));
        block[8 * 25 + 21] = 0x01;  // mask 9, PR_NAME
        const auto bytes = PageBuilder()
                               .RawMasks(9, 25, block)
                               .Add(CommandBuilder(9).Properties({{PR_NAME, test::Str("img")}}))
                               .Bytes();
        const auto page = PageFile::Read(bytes, "s25.ksb");
        EXPECT_TRUE(page.Masks().Has(8, 2));
        EXPECT_TRUE(page.Masks().Has(9, PR_NAME));
        ASSERT_EQ(page.commands[0].Properties().size(), 1u);
        EXPECT_EQ(page.Write(), bytes);
    }
    {  // S >= 1282: one entry fills all 61 masks; the bytes past 1281 are skipped.
        std::vector<uint8_t> entry(1290, 0);
        entry[9 * 21] = 0x01;        // mask 9, PR_NAME
        entry[60 * 21 + 20] = 0x02;  // mask 60, PR_CARETHEIGHT
        entry[1285] = 0xFF;          // beyond the masks
        const auto bytes = PageBuilder().RawMasks(1, 1290, entry).Bytes();
        const auto page = PageFile::Read(bytes, "s1290.ksb");
        EXPECT_TRUE(page.Masks().Has(9, PR_NAME));
        EXPECT_TRUE(page.Masks().Has(60, PR_CARETHEIGHT));
        EXPECT_EQ(page.Write(), bytes);
    }
    {  // T = 0 and a negative T: no masks at all.
        for (int32_t count : {0, -3}) {
            const auto bytes = PageBuilder().RawMasks(count, 21, {}).Add(test::Else()).Bytes();
            const auto page = PageFile::Read(bytes, "t0.ksb");
            EXPECT_EQ(page.Masks().Ids(8).size(), 0u);
            EXPECT_EQ(page.Write(), bytes);
        }
    }
}

TEST(PageFileTest, TypeByteHighBitAndTrailerAreKept) {
    const auto bytes = PageBuilder()
                           .Add(CommandBuilder(0x80 | test::kLabelCode).String("top"))
                           .Trailer(std::vector<uint8_t>{1, 2, 3})
                           .Bytes();
    const auto page = PageFile::Read(bytes, "high.ksb");
    EXPECT_EQ(page.commands[0].Code(), CommandCode::Label);
    EXPECT_EQ(page.commands[0].String("name"), "top");
    EXPECT_EQ(page.Write(), bytes);
}

TEST(PageFileTest, NewerVersionsAreKeptUnparsed) {
    auto bytes = EveryCommandPage(110).Bytes();
    bytes[0] = 111;
    const auto page = PageFile::Read(bytes, "new.ksb");
    EXPECT_FALSE(page.IsParsed());
    EXPECT_TRUE(page.commands.empty());
    EXPECT_EQ(page.Write(), bytes);
}

TEST(PageFileTest, WriterBuildsPagesFromRecords) {
    PageFile page;
    page.version = 106;
    PropertyMasks masks;
    masks.Set(static_cast<int>(CommandCode::Sound), PR_VOLUME);
    page.SetMasks(masks);
    CommandRecord wait = CommandRecord::Make(CommandCode::Wait, page.version);
    EXPECT_FALSE(wait.Has("eventsBlocked"));
    std::get<TKivoParser>(wait.Field("time")) =
        TKivoParser({TOpeData{1, "____arg", 0, {TOperand::Integer(5)}}});
    page.commands.push_back(wait);
    CommandRecord sound = CommandRecord::Make(CommandCode::Sound, page.version);
    std::get<ComponentProperties>(sound.Field("properties")).push_back({PR_VOLUME, TKivoParser()});
    page.commands.push_back(sound);

    const auto expected = PageBuilder()
                              .Version(106)
                              .Mask(42, {PR_VOLUME})
                              .Add(CommandBuilder(test::kWaitCode).Expr("").Expr(test::Int(5)))
                              .Add(CommandBuilder(42).Properties({{PR_VOLUME, ExprBuilder()}}))
                              .Bytes();
    EXPECT_EQ(page.Write(), expected);
    EXPECT_EQ(PageFile::Read(expected, "w.ksb"), page);
}

TEST(PageFileTest, WriterRefusesRecordsItCouldNotReadBack) {
    PageFile page;
    page.version = 106;
    CommandRecord wait = CommandRecord::Make(CommandCode::Wait, 110);  // has eventsBlocked
    page.commands.push_back(wait);
    EXPECT_THROW((void)page.Write("bad.ksb"), KivoError);

    page.commands[0] = CommandRecord::Make(CommandCode::BoxNew, 106);
    std::get<ComponentProperties>(page.commands[0].Field("properties")).push_back({PR_LEFT, {}});
    EXPECT_THROW((void)page.Write("bad.ksb"), KivoError);  // PR_LEFT is not in the mask

    page.commands[0] = CommandRecord::Make(CommandCode::Label, 106);
    page.commands[0].Field("name") = int32_t{3};
    EXPECT_THROW((void)page.Write("bad.ksb"), KivoError);
}

TEST(PageFileTest, UnknownCommandCodesAreRejected) {
    for (int code : {61, 100, 0x7F, 0xFF}) {
        const auto bytes = PageBuilder().Add(CommandBuilder(code)).Bytes();
        try {
            (void)PageFile::Read(bytes, "bad.ksb");
            ADD_FAILURE() << code;
        } catch (const KivoError& e) {
            EXPECT_EQ(e.Message(), "不正なコマンド");
            EXPECT_EQ(e.File(), "bad.ksb");
        }
    }
}

TEST(PageFileTest, DamagedPagesFailCleanlyAndNameTheFile) {
    const auto good = EveryCommandPage(110).Bytes();
    // Every truncation of a valid page.
    for (size_t size = 0; size < good.size(); ++size) {
        const std::span<const uint8_t> cut(good.data(), size);
        EXPECT_THROW((void)PageFile::Read(cut, "cut.ksb"), KivoError) << size;
    }
    auto expectBad = [](const std::vector<uint8_t>& bytes, const char* what) {
        try {
            (void)PageFile::Read(bytes, "bad.ksb");
            ADD_FAILURE() << what;
        } catch (const KivoError& e) {
            EXPECT_EQ(e.File(), "bad.ksb") << what;
        }
    };
    expectBad(PageBuilder().CommandCount(0x7FFFFFFF).Bytes(), "huge command count");
    expectBad(PageBuilder().CommandCount(-1).Bytes(), "negative command count");
    expectBad(PageBuilder().RawMasks(0x7FFFFFFF, 0x7FFFFFFF, {}).Bytes(), "huge mask table");
    expectBad(PageBuilder().RawMasks(2, -1, {}).Bytes(), "negative mask size");
    expectBad(PageBuilder().Add(CommandBuilder(test::kTextInsCode).Int32(-5)).Bytes(),
              "negative blob");
    expectBad(PageBuilder()
                  .Add(CommandBuilder(test::kCallCode)
                           .String("p")
                           .Int32(0)
                           .String("")
                           .Expr("")
                           .Int32(1 << 30))
                  .Bytes(),
              "huge argument list");
    expectBad(PageBuilder().Add(CommandBuilder(test::kLabelCode).Int32(1000)).Bytes(),
              "long string");
    expectBad(PageBuilder()
                  .Add(CommandBuilder(test::kCalcCode).Expr(ExprBuilder().Func("____arg", 145, {})))
                  .Bytes(),
              "function index");
}

}  // namespace
}  // namespace kivo
