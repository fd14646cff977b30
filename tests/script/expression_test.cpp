#include <gtest/gtest.h>

#include <algorithm>

#include "base/error.h"
#include "script/expression.h"
#include "script/expression_compiler.h"
#include "script/function_registry.h"
#include "script/param.h"
#include "script/param_collection.h"

namespace kivo {
namespace {

// A table with a few variables and a registry with small stand-ins for three functions:
// Min, Max and Calc (which compiles and runs its text as a nested evaluation).
struct Fixture {
    Fixture() {
        vars.Create("x", PT_INT).Value().SetInteger(5);
        vars.Create("f", PT_FLOAT).Value().SetFloat(0.5);
        vars.Create("s", PT_STR).Value().SetString("ab");
        vars.Create("i", PT_INT);
        vars.Create("t", PT_STR);
        TParamCollectionItem& a = vars.Create("a", PT_INT);
        const int32_t dims[] = {4, 5};
        a.Value().SetDimensions(dims);
        for (int e = 0; e < 20; ++e)
            a.Value().SetIntAt(e, e * 10);
        auto pick = [](bool wantMin) {
            return [wantMin](const FunctionCall& call) {
                int32_t p = call.arguments[0]->AsInteger();
                int32_t q = call.arguments[1]->AsInteger();
                call.target.SetInteger(wantMin == (p < q) ? p : q);
            };
        };
        functions.Register(*FunctionIndex("Min"), pick(true));
        functions.Register(*FunctionIndex("Max"), pick(false));
        functions.Register(*FunctionIndex("Calc"), [](const FunctionCall& call) {
            TKivoParser inner = CompileExpression(call.arguments[0]->AsString());
            ExpressionResult result = inner.Evaluate(call.variables, call.functions);
            call.target.SetString(result ? result->AsString() : "");
        });
    }

    ExpressionResult Eval(std::string_view text) {
        return CompileExpression(text).Evaluate(vars, functions);
    }

    // The result as text with its type, or the error message.
    std::string Run(std::string_view text) {
        try {
            ExpressionResult result = Eval(text);
            if (!result) return "(none)";
            static constexpr const char* kTypes[] = {"ref", "int", "float", "flag", "str"};
            return std::string(kTypes[result->Type()]) + " " + result->AsString();
        } catch (const KivoError& error) {
            return "error " + error.Message();
        }
    }

    TParamCollection vars;
    SystemFunctionRegistry functions;
};

TEST(Expressions, EvaluateToTheRightValueAndType) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"1 + 2 * 3", "int 7"},
        {"(1 + 2) * 3", "int 9"},
        {"10 - 4 - 3", "int 3"},
        {"3 * -2", "int -6"},
        {"-5 + 2", "int -3"},
        {"2 - -3", "int 5"},
        {"-x * 2", "int -10"},
        {"+4", "int 4"},
        {"7 / 2", "int 3"},
        {"-7 / 2", "int -3"},
        {"7.0 / 2", "float 3.5"},
        {"-7 % 3", "int -1"},
        {"7 % -3", "int 1"},
        {"2147483647 + 1", "int -2147483648"},
        {"-2147483648 - 1", "int 2147483647"},
        {"65536 * 65536", "int 0"},
        {"-2147483648 / -1", "int -2147483648"},
        {"-2147483648 % -1", "int 0"},
        {"-1 >> 28", "int 15"},
        {"1 << 33", "int 2"},
        {"-8 << -1", "int 0"},
        {"1e-5 * 100000", "float 1"},
        {"1.5E+2 + 1", "float 151"},
        {"0.1 + 0.2", "float 0.3"},
        // Floats compute in extended precision, as the games' runtime did; in doubles the first
        // two would be FALSE and the third 0.
        {"0.1 + 0.2 == 0.3", "flag TRUE"},
        {"1 + 8.673617379884035472e-19 - 1 > 0", "flag TRUE"},
        {"(1 + 8.673617379884035472e-19) - 1", "float 8.67361737988404E-19"},
        {"1e308 * 10.0", "float 1E309"},
        {"1.0 / 3", "float 0.333333333333333"},
        {"\"12\" + 3", "str 15"},
        {"\"ab\" ++ \"cd\"", "str abcd"},
        {"\"a\" ++ 1 + 2", "str a3"},
        {"s ++ x", "str ab5"},
        {"f + 1", "float 1.5"},
        {"5 & 3 | 8", "int 9"},
        {"6 ^ 3 & 1", "int 7"},
        {"1 + 1 == 2", "flag TRUE"},
        {"3 <> 4", "flag TRUE"},
        {"2 == 2.5", "flag TRUE"},  // compared as op0's type: integers
        {"2.5 == 2", "flag FALSE"},
        {"\"ab\" < \"abc\"", "flag TRUE"},
        {"\"abd\" >= \"abc\"", "flag TRUE"},
        {"\"B\" < \"a\"", "flag TRUE"},
        {"TRUE > FALSE", "flag TRUE"},
        {"x <= 5", "flag TRUE"},
        {"\"x\\\"y\\\\z\"", "str x\"y\\z"},
        {"\"a\\nb\"", "str a\r\nb"},
        {"a[1, 2]", "int 70"},
        {"a[x - 4, (1 + 1) * 2] + 1", "int 91"},
        {"Min(3, 2 + 5) * 2", "int 6"},
        {"Max(Min(1, 2), (0))", "int 1"},
        {"Calc(\"1 + 2\") ++ \"!\"", "str 3!"},
        {"x = 1 + 2", "(none)"},
        {"", "error \"\" 変数がありません"},
    };
    for (const Case& c : cases) {
        Fixture fx;
        EXPECT_EQ(fx.Run(c.text), c.expected) << c.text;
    }
}

TEST(Expressions, AndBindsBeforeXorAndXorBeforeOr) {
    // Each text gives another value when ^ trades places with & or |, or shares a level with
    // either of them (leftmost first).
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"1 | 1 ^ 1", "int 1"},  // 1 | (1 ^ 1); (1 | 1) ^ 1 is 0
        {"1 ^ 1 | 1", "int 1"},  // (1 ^ 1) | 1; 1 ^ (1 | 1) is 0
        {"1 ^ 3 & 2", "int 3"},  // 1 ^ (3 & 2); (1 ^ 3) & 2 is 2
        {"2 & 3 ^ 1", "int 3"},  // (2 & 3) ^ 1; 2 & (3 ^ 1) is 2
        {"4 | 1 & 2", "int 4"},  // 4 | (1 & 2); (4 | 1) & 2 is 0
    };
    for (const Case& c : cases) {
        Fixture fx;
        EXPECT_EQ(fx.Run(c.text), c.expected) << c.text;
    }
}

TEST(Expressions, ErrorsEndTheEvaluation) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"1 / 0", "0で除算しました"},
        {"1 % 0", "0で除算しました"},
        {"1.0 / 0", "0で除算しました"},
        {"1e4932 * 10.0", "浮動小数点演算のオーバーフローです"},
        {"nothing + 1", "\"nothing\" 変数がありません"},
        {"nothing = 1", "\"nothing\" 変数がありません"},
        {"(1 + 2", "構文エラー"},
        {"1 + 2)", "構文エラー"},
        {"Min(1, 2]", "構文エラー"},
        {"3 +", "構文エラー"},
        {"= 3", "構文エラー"},
        {"1 * * 2", "構文エラー"},
        {"a[]", "配列の添字が不正です"},
        {"+[1]", "構文エラー"},
        {"a[4, 0]", "a[4,0]\r\n要素数を超えています"},
        {"a[1]", "a[1]\r\n添え字が不正です"},
        {"Nope(1)", "\"Nope\" 関数名がありません"},
        {"min(1, 2)", "\"min\" 関数名がありません"},
        {"Min(1)", "Min 引数の数が不正です"},
        {"IntToStr(1)", "IntToStr は使用できない関数です"},
        {"1 = 2", "\"1\" 変数がありません"},
    };
    for (const Case& c : cases) {
        Fixture fx;
        EXPECT_EQ(fx.Run(c.text), std::string("error ") + c.message) << c.text;
    }
}

TEST(Expressions, AssignmentsStoreThroughTheTargetsOwnType) {
    struct Case {
        const char* text;
        const char* variable;
        const char* expected;
    };
    const Case cases[] = {
        {"i = 3.9", "i", "3"},
        {"i = -3.9", "i", "-3"},
        {"i = \"42\"", "i", "42"},
        {"t = 1.0 / 3", "t", "0.333333333333333"},
        {"t = 0.1 + 0.2", "t", "0.3"},
        {"t = 1 = 1", "t", ""},  // a second assignment is a syntax error; nothing is stored
        {"f = 7 / 2", "f", "3"},
        {"a[1, 2] = 4", "a", "4"},
        {"x = x + 1", "x", "6"},
    };
    for (const Case& c : cases) {
        Fixture fx;
        try {
            EXPECT_EQ(fx.Eval(c.text), nullptr) << c.text;
        } catch (const KivoError&) {
        }
        TCustomParam& value = fx.vars.Find(c.variable)->Value();
        std::string text = value.ElementCount() > 1 ? value.StringAt(7) : value.AsString();
        EXPECT_EQ(text, c.expected) << c.text;
    }
    // A flag read of the string "true" is false; only "TRUE" is true.
    Fixture fx;
    fx.vars.Find("t")->Value().SetString("true");
    EXPECT_EQ(CompileExpression("t").EvaluateFlag(fx.vars, fx.functions), false);
    EXPECT_EQ(CompileExpression("\"TRUE\"").EvaluateFlag(fx.vars, fx.functions), true);
    EXPECT_EQ(TKivoParser().EvaluateInt(fx.vars, fx.functions), std::nullopt);
}

// Double-byte characters whose trail byte is '[' (0x5B), '\' (0x5C) or '|' (0x7C) are
// characters, not syntax.
TEST(Expressions, CompilerWalksCharactersNotBytes) {
    Fixture fx;
    const std::string ze = "\x83\x5b";   // a katakana whose trail byte is '['
    const std::string so = "\x83\x5c";   // one whose trail byte is '\'
    const std::string bar = "\x83\x7c";  // one whose trail byte is '|'
    fx.vars.Create(ze, PT_INT).Value().SetInteger(4);
    fx.vars.Create(so + bar, PT_STR);
    EXPECT_EQ(fx.Run(ze + " * 2"), "int 8");
    EXPECT_EQ(fx.Run("\"" + so + "\" ++ \"x\""), "str " + so + "x");
    fx.Eval(so + bar + " = \"" + bar + "\" ++ " + ze);
    EXPECT_EQ(fx.vars.Find(so + bar)->Value().AsString(), bar + "4");
}

TEST(Expressions, TemporariesArePrivateToOneEvaluation) {
    Fixture fx;
    // A user variable that looks like a temporary is neither read nor written by steps that
    // create temporaries of that name.
    fx.vars.Create("____0", PT_INT).Value().SetInteger(99);
    fx.vars.Create("____arg", PT_STR).Value().SetString("mine");
    EXPECT_EQ(fx.Run("1 + 2 * 3"), "int 7");
    EXPECT_EQ(fx.vars.Find("____0")->Value().AsInteger(), 99);
    EXPECT_EQ(fx.vars.Find("____arg")->Value().AsString(), "mine");

    // A nested evaluation (Calc) uses the same temporary names as the outer one; neither
    // clobbers the other.
    EXPECT_EQ(fx.Run("(10 * 2) ++ Calc(\"(3 * 3) ++ Calc(\\\"4 + 4\\\")\") ++ (x + 1)"),
              "str 20986");

    // Nothing is left behind, even when a step fails half-way.
    const int32_t count = fx.vars.Count();
    EXPECT_EQ(fx.Run("1 + 2 + 3 / 0"), "error 0で除算しました");
    EXPECT_EQ(fx.Run("x = Calc(\"1 / 0\")"), "error 0で除算しました");
    EXPECT_EQ(fx.vars.Count(), count);
    EXPECT_EQ(fx.Run("1 + 2 + 3"), "int 6");
}

TEST(Expressions, StepsBeforeAFailureKeepTheirEffects) {
    Fixture fx;
    TKivoParser parser({
        {static_cast<uint8_t>(OpCode::ocTo), "x", 0, {TOperand::Integer(8)}},
        {static_cast<uint8_t>(OpCode::ocDiv),
         "____0",
         0,
         {TOperand::Integer(1), TOperand::Integer(0)}},
        {static_cast<uint8_t>(OpCode::ocTo), "x", 0, {TOperand::Integer(9)}},
    });
    EXPECT_THROW((void)parser.Evaluate(fx.vars, fx.functions), KivoError);
    EXPECT_EQ(fx.vars.Find("x")->Value().AsInteger(), 8);
}

TEST(Expressions, BadStoredStepsRaiseInsteadOfCrashing) {
    Fixture fx;
    struct Case {
        TOpeData step;
        const char* prefix;
    };
    const Case cases[] = {
        {{0, "____0", 0, {TOperand::Integer(1)}},
         "不正な式\r\n\r\n代入先:____0\r\n演算タイプ:ocNone\r\n1"},
        {{21, "x", 0, {}}, "不正な式\r\n\r\n代入先:x\r\n演算タイプ:21"},
        {{static_cast<uint8_t>(OpCode::ocPlus), "____0", 0, {TOperand::Integer(1)}}, "不正な式"},
        {{static_cast<uint8_t>(OpCode::ocFunc),
          "____0",
          kFunctionGetProp,
          {TOperand::String("obj"), TOperand::Integer(162)}},
         "GetPropの引数が違います"},
        {{static_cast<uint8_t>(OpCode::ocFunc),
          "____0",
          kFunctionGetProp,
          {TOperand::String("obj"), TOperand::Integer(-1)}},
         "GetPropの引数が違います"},
        {{static_cast<uint8_t>(OpCode::ocDimTo), "____d_0", 0, {TOperand::Integer(1)}}, "不正な式"},
    };
    for (const Case& c : cases) {
        try {
            (void)TKivoParser({c.step}).Evaluate(fx.vars, fx.functions);
            ADD_FAILURE() << c.prefix;
        } catch (const KivoError& error) {
            EXPECT_TRUE(error.Message().starts_with(c.prefix)) << error.Message();
        }
    }
}

TEST(Expressions, GetPropTemporaryTakesThePropertyType) {
    Fixture fx;
    ValueType seen = PT_NONE;
    fx.functions.Register(kFunctionGetProp,
                          [&](const FunctionCall& call) { seen = call.target.Type(); });
    (void)fx.Eval("GetProp(\"obj\", 95)");
    EXPECT_EQ(seen, PT_FLOAT);
    (void)fx.Eval("GetProp(\"obj\", 0)");
    EXPECT_EQ(seen, PT_STR);
}

TEST(Expressions, FunctionsReceiveVariablesAsReferences) {
    Fixture fx;
    fx.functions.Register(*FunctionIndex("SetArray"), [](const FunctionCall& call) {
        auto* ref = dynamic_cast<TParamVar*>(call.arguments[0]);
        ASSERT_NE(ref, nullptr);
        ASSERT_NE(ref->Bound(), nullptr);
        const int32_t sizes[] = {call.arguments[1]->AsInteger()};
        ref->Bound()->Value().SetDimensions(sizes);
        call.target.SetInteger(0);
    });
    (void)fx.Eval("SetArray(s, 3)");
    EXPECT_EQ(fx.vars.Find("s")->Value().ElementCount(), 3);
}

TEST(Compiler, StepsUseTemporariesAndDropCopiesBetweenThem) {
    TBuildKivoParser compiler;
    compiler.Compile("a[1, 2] = (x + 1) * 2");
    std::vector<std::string> lines;
    for (const TBuildOpeData& step : compiler.Steps()) {
        std::string line = std::string(Operators()[step.opcode].name) + " " + step.target;
        for (const std::string& operand : step.operands)
            line += " " + operand;
        lines.push_back(line);
    }
    const std::vector<std::string> expected = {
        "ocDimTo ____d_0 a 1 2",
        "ocPlus ____2 x 1",
        "ocMul ____3 ____2 2",
        "ocTo ____d_0 ____3",
    };
    EXPECT_EQ(lines, expected);
}

TEST(Compiler, OperandsAreEncodedByWhatTheyLookLike) {
    TKivoParser parser =
        CompileExpression("Min(12, 1.5) ++ TRUE ++ \"q\" ++ name ++ FALSE ++ true");
    std::vector<OperandKind> kinds;
    for (const TOpeData& step : parser.Steps()) {
        for (const TOperand& operand : step.operands)
            kinds.push_back(operand.Kind());
    }
    using K = OperandKind;
    const std::vector<K> expected = {K::String,    K::Integer,   K::Float,     K::Reference,
                                     K::Flag,      K::Reference, K::Reference, K::Reference,
                                     K::Reference, K::Reference, K::Flag,      K::Reference,
                                     K::Reference, K::Reference};
    EXPECT_EQ(kinds, expected);
    EXPECT_EQ(parser.Steps()[1].functionIndex, *FunctionIndex("Min"));
}

// ---- Stored form ----------------------------------------------------------------------------

std::vector<uint8_t> StoredSample() {
    ByteWriter w;
    w.WriteI32(2);  // two steps
    // ocFunc ____0 <- IntToStr(7, "x")
    w.WriteU8(11);
    w.WriteCountedString("____0");
    w.WriteI32(2);
    w.WriteU8(0);  // function index
    w.WriteU8(1);
    w.WriteI32(7);
    w.WriteU8(4);
    w.WriteCountedString("x");
    // ocTo ____arg <- odd kinds that must survive a round trip
    w.WriteU8(1);
    w.WriteCountedString("____arg");
    w.WriteI32(3);
    w.WriteU8(3);
    w.WriteU8(2);  // a flag byte other than 0 or 1
    w.WriteU8(2);
    w.WriteExt80(Ext80{{0x01, 0, 0, 0, 0, 0, 0, 0x80, 0xff, 0x3f}});  // not a double
    w.WriteU8(9);  // an unknown kind: a variable reference
    w.WriteCountedString("v");
    return w.Take();
}

TEST(StoredExpressions, LoadAndSaveAreByteExact) {
    std::vector<uint8_t> bytes = StoredSample();
    ByteReader reader(bytes, "page.ksb");
    TKivoParser parser;
    parser.Load(reader);
    EXPECT_TRUE(reader.AtEnd());
    ASSERT_EQ(parser.Steps().size(), 2u);
    EXPECT_EQ(parser.Steps()[1].operands[2].kindByte, 9);
    EXPECT_TRUE(parser.Steps()[1].operands[2].IsReference());
    ByteWriter writer;
    parser.Save(writer);
    EXPECT_EQ(writer.Bytes(), bytes);

    TKivoParser copy = parser;
    EXPECT_EQ(copy, parser);
}

TEST(StoredExpressions, DamagedRecordsFailAndKeepTheOldSteps) {
    std::vector<uint8_t> bytes = StoredSample();
    TKivoParser parser = CompileExpression("1 + 1");
    const TKivoParser before = parser;
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        ByteReader reader(std::span<const uint8_t>(bytes).first(cut), "page.ksb");
        EXPECT_THROW(parser.Load(reader), KivoError) << cut;
        EXPECT_EQ(parser, before);
    }
    std::vector<uint8_t> badIndex = bytes;
    badIndex[4 + 1 + 4 + 5 + 4] = 145;
    ByteReader reader(badIndex, "page.ksb");
    try {
        parser.Load(reader);
        ADD_FAILURE();
    } catch (const KivoError& error) {
        EXPECT_EQ(error.File(), "page.ksb");
    }
    std::vector<uint8_t> hugeCount = {0xff, 0xff, 0xff, 0x7f};
    ByteReader huge(hugeCount, "page.ksb");
    EXPECT_THROW(parser.Load(huge), KivoError);
    std::vector<uint8_t> negative = {0xff, 0xff, 0xff, 0xff};
    ByteReader neg(negative, "page.ksb");
    EXPECT_THROW(parser.Load(neg), KivoError);
}

}  // namespace
}  // namespace kivo
