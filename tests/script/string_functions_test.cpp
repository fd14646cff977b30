// The conversion and string functions, called as the evaluator calls them. Shift-JIS samples:
// ソ 83 5C and 表 95 5C end in the byte of '\'; ア 83 41 and ヂ 83 61 end in the bytes of 'A'
// and 'a'; ｶ B6, ﾊ CA, ｳ B3, ﾀ C0 are half-width kana and DE / DF the voiced marks.

#include <gtest/gtest.h>

#include "script/function_call.h"

namespace kivo::test {
namespace {

const std::string kSo = "\x83\x5C";
const std::string kHyo = "\x95\x5C";
const std::string kA = "\x83\x41";
const std::string kDi = "\x83\x61";
const std::string kWideSpace = "\x81\x40";

TEST(ConversionFunctions, FormatAndParseNumbers) {
    ExpectResults({
        {"IntToStr", {5}, "5"},
        {"IntToStr", {7, S("3")}, "007"},
        {"IntToStr", {-5, S("3")}, "-005"},
        {"IntToStr", {123, S("0")}, "123"},
        {"IntToStr", {-2147483647 - 1, S("12")}, "-002147483648"},
        {"IntToHex", {255, 4}, "00FF"},
        {"IntToHex", {-1, 2}, "FFFFFFFF"},
        {"IntToHex", {0, -3}, "0"},
        {"StrToIntDef", {S(" 12 "), 5}, "12"},
        {"StrToIntDef", {S("$1F"), 5}, "31"},
        {"StrToIntDef", {S("12x"), 5}, "5"},
        {"StrToIntDef", {S("99999999999"), 5}, "5"},
        {"StrToFloatDef", {S("1.5"), 0.0}, "1.5"},
        {"StrToFloatDef", {S("1,5"), 2.25}, "2.25"},
        {"Int", {3.9}, "3"},
        {"Int", {-3.9}, "-3"},
        {"Float", {2}, "2"},
    });
}

TEST(ConversionFunctions, DigitsAreANumberNotFormatText) {
    FunctionCaller caller;
    for (const char* digits : {"%s", "3d%n", "-1", "1001", ""}) {
        EXPECT_EQ(caller.Error("IntToStr", {7, S(digits)}), "IntToStr:桁数が不正です") << digits;
    }
    EXPECT_EQ(caller.Text("IntToStr", {1, S("1000")}).size(), 1000u);
    EXPECT_EQ(caller.Error("IntToHex", {1, 1001}), "IntToHex:桁数が不正です");
    EXPECT_FALSE(caller.Error("Int", {1e30}).empty()) << "out of integer range";
}

TEST(ConversionFunctions, CalcRunsItsTextAndStopsRunawayNesting) {
    FunctionCaller caller;
    caller.Declare("a", PT_INT);
    EXPECT_EQ(caller.Text("Calc", {S("  a = 3 + 4 ")}), "TRUE");
    EXPECT_EQ(caller.Var("a").AsInteger(), 7);
    EXPECT_EQ(caller.Text("Calc", {S(" \t ")}), "") << "blank text: no result";
    EXPECT_EQ(caller.Error("Calc", {S("a = (")}), "構文エラー");

    caller.Declare("s", PT_STR).SetString("Calc(s)");
    EXPECT_EQ(caller.Error("Calc", {V("s")}), "Calc:入れ子が深すぎます");
    EXPECT_EQ(caller.variables.calcNesting, 0) << "every level is left again";
    caller.Var("s").SetString("a = a + 1");
    EXPECT_EQ(caller.Text("Calc", {S("Calc(s)")}), "TRUE");
    EXPECT_EQ(caller.Var("a").AsInteger(), 8);
}

TEST(ByteStringFunctions, CountAndCutBytes) {
    ExpectResults({
        {"Length", {S(kSo + kA)}, "4"},
        {"Copy", {S("abcdef"), 3}, "cdef"},
        {"Copy", {S("abcdef"), 0, 2}, "ab"},
        {"Copy", {S("abcdef"), 5, 10}, "ef"},
        {"Copy", {S("abc"), 9}, ""},
        {"Copy", {S("abc"), 2, -1}, ""},
        {"Copy", {S(kSo), 2, 1}, "\x5C"},
        {"CompareStr", {S("abc"), S("abd")}, "-1"},
        {"CompareStr", {S("abc"), S("ab")}, "1"},
        {"CompareStr", {S("\x81"), S("a")}, "32"},
        {"CompareStr", {S("ab"), S("ab")}, "0"},
        {"CompareText", {S("ABC"), S("abc")}, "0"},
        {"CompareText", {S(kA), S(kDi)}, "-32"},
        {"Pos", {S("cd"), S("abcde")}, "3"},
        {"Pos", {S(""), S("abc")}, "0"},
        {"Pos", {S("\\"), S(kSo)}, "2"},
        {"Trim", {S("\t a b \r\n")}, "a b"},
        {"LowerCase", {S("AB" + kA)}, "ab" + kA},
        {"UpperCase", {S("a" + kDi)}, "A" + kDi},
        {"StringOfChar", {S("ab"), 3}, "ababab"},
        {"StringOfChar", {S("ab"), -2}, ""},
        {"StringOfChar", {S("abc"), 5}, "abcabcabcabcabc"},
        {"StringOfChar", {S(""), 2147483647}, ""},
        {"AddDelimiter", {S(","), S("a")}, "a,"},
        {"AddDelimiter", {S(","), S("")}, ""},
    });
}

TEST(ByteStringFunctions, ReplaceMatchesWholeCharactersOnly) {
    ExpectResults({
        {"StringReplace", {S("aXbXc"), S("X"), S("-")}, "a-bXc"},
        {"StringReplace", {S("aXbXc"), S("X"), S("-"), true}, "a-b-c"},
        {"StringReplace", {S("axbX"), S("X"), S("-"), true, true}, "a-b-"},
        {"StringReplace", {S("abc"), S(""), S("-"), true}, "abc"},
        {"StringReplace", {S(kSo + "\\"), S("\\"), S("/"), true}, kSo + "/"},
        {"StringReplace", {S("a" + kA), S("A"), S("z"), true, true}, "z" + kA},
        {"StringReplace", {S("aaa"), S("a"), S("aa"), true}, "aaaaaa"},
    });
}

TEST(ByteStringFunctions, FileNamesRespectTrailBytes) {
    ExpectResults({
        {"ExtractFilePath", {S("c:\\dir\\file.txt")}, "c:\\dir\\"},
        {"ExtractFileName", {S("c:\\dir\\file.txt")}, "file.txt"},
        {"ExtractFileExt", {S("c:\\dir\\file.txt")}, ".txt"},
        {"ExtractFileExt", {S("dir.d\\file")}, ""},
        {"ExtractFilePath", {S(kHyo + "\\a.txt")}, kHyo + "\\"},
        {"ExtractFilePath", {S(kHyo)}, ""},
        {"ExtractFileName", {S(kHyo)}, kHyo},
        {"ChangeFileExt", {S("a.b\\c.txt"), S(".gal")}, "a.b\\c.gal"},
        {"ChangeFileExt", {S("a.b\\c"), S(".gal")}, "a.b\\c.gal"},
        {"IsPathDelimiter", {S("a\\b"), 2}, "TRUE"},
        {"IsPathDelimiter", {S(kHyo), 2}, "FALSE"},
        {"IsPathDelimiter", {S("a\\"), 0}, "FALSE"},
        {"IsPathDelimiter", {S("a\\"), 3}, "FALSE"},
        {"AddBackSlash", {S("dir")}, "dir\\"},
        {"AddBackSlash", {S("dir\\")}, "dir\\"},
        {"AddBackSlash", {S(kHyo)}, kHyo + "\\"},
        {"AddBackSlash", {S("")}, "\\"},
        {"IsDelimiter", {S(",;"), S("a;b"), 2}, "TRUE"},
        {"IsDelimiter", {S("A"), S("xA"), 2}, "TRUE"},
        {"IsDelimiter", {S("A"), S(kA), 2}, "FALSE"},
        {"IsDelimiter", {S("A"), S("A"), 2}, "FALSE"},
    });
}

TEST(CharacterStringFunctions, CountAndCutCharacters) {
    ExpectResults({
        {"JLength", {S(kSo + kA)}, "2"},
        {"JLength", {S("a\x83")}, "2"},
        {"JCopy", {S(kSo + kA), 2, 1}, kA},
        {"JCopy", {S("a" + kSo + "b"), 2}, kSo + "b"},
        {"JCopy", {S(kSo + kA), 0, 1}, kSo},
        {"JCopy", {S(kSo), 3}, ""},
        {"JPos", {S("\\"), S(kSo + "\\")}, "2"},
        {"JPos", {S("A"), S(kA + "A")}, "2"},
        {"JPos", {S(kA), S("x" + kA)}, "2"},
        {"JPos", {S(""), S("abc")}, "0"},
        {"JTrim", {S(kWideSpace + " ab" + kWideSpace)}, "ab"},
        {"JTrim", {S("\tab ")}, "\tab"},
        {"JTrim", {S("\x83\x81\x40")}, "\x83\x81\x40"},
        {"JTrim", {S(kWideSpace)}, ""},
        {"FixStr", {S("ab\x83")}, "ab"},
        {"FixStr", {S("\x83")}, "\x83"},
        {"FixStr", {S(kA)}, kA},
        {"FixStr", {S("ab\x83\x83")}, "ab\x83\x83"},
        {"FixStr", {S(kA + "\x83")}, kA},
    });
}

TEST(StringFunctions, EditingFunctionsWriteBackAndLeaveTheirTarget) {
    struct EditCase {
        const char* function;
        std::vector<Arg> args;
        std::string before;
        std::string after;
    };
    const std::vector<EditCase> cases = {
        {"Delete", {V("s"), 2}, "abcd", "a"},
        {"Delete", {V("s"), 2, 2}, "abcd", "ad"},
        {"Delete", {V("s"), 0, 1}, "abcd", "abcd"},
        {"Delete", {V("s"), 5}, "abcd", "abcd"},
        {"Insert", {S("X"), V("s"), 0}, "abcd", "Xabcd"},
        {"Insert", {S("X"), V("s"), 3}, "abcd", "abXcd"},
        {"Insert", {S("X"), V("s"), 9}, "abcd", "abcdX"},
        {"JDelete", {V("s"), 2, 1}, kSo + kA + "b", kSo + "b"},
        {"JDelete", {V("s"), 0, 1}, kSo + kA + "b", kA + "b"},
        {"JDelete", {V("s"), 4}, kSo + kA + "b", kSo + kA + "b"},
        {"JDelete", {V("s"), 2}, kSo + kA + "b", kSo},
        {"JInsert", {S("X"), V("s"), 2}, kSo + kA, kSo + "X" + kA},
        {"JInsert", {S("X"), V("s"), -1}, kSo + kA, "X" + kSo + kA},
        {"JInsert", {S("X"), V("s"), 9}, kSo + kA, kSo + kA + "X"},
    };
    for (const EditCase& c : cases) {
        FunctionCaller caller;
        caller.Declare("s", PT_STR).SetString(c.before);
        EXPECT_EQ(caller.Text(c.function, c.args), "") << "no result";
        EXPECT_EQ(caller.Var("s").AsString(), c.after) << c.function << " " << c.before;
    }
    FunctionCaller caller;
    EXPECT_EQ(caller.Text("Delete", {S("abcd"), 2}), "") << "a constant takes the write silently";
}

TEST(StringFunctions, OversizedResultsRaiseTheArrayError) {
    FunctionCaller caller;
    EXPECT_EQ(caller.Error("StringOfChar", {S("abcd"), 100000000}),
              "配列の要素数[400000000]が不正です");
    EXPECT_EQ(caller.Error("StringOfChar", {S("ab"), 2147483647}),
              "配列の要素数[4294967294]が不正です");
    caller.Declare("big", PT_STR).SetString(std::string(1 << 20, 'a'));
    EXPECT_FALSE(caller.Error("StringReplace", {V("big"), S("a"), S(std::string(100, 'b')), true})
                     .empty());
}

TEST(WidthFunctions, HanToZenCombinesVoicedMarksWhereTheFormExists) {
    ExpectResults({
        {"HanToZen", {S("\xB6\xDE")}, "\x83\x4B"},
        {"HanToZen", {S("\xCA\xDE\xCA\xDF")}, "\x83\x6F\x83\x70"},
        {"HanToZen", {S("\xB3\xDE")}, "\x83\x45\x81\x4A"},
        {"HanToZen", {S("\xC0\xDF")}, "\x83\x5E\x81\x4B"},
        {"HanToZen", {S("\xA6\xA7\xB1\xDC\xDD\xA1\xB0")}, "\x83\x92\x83\x40\x83\x41\x83\x8F\x83\x93\x81\x42\x81\x5B"},
        {"HanToZen", {S("a\r\nZ9 ")}, "\x82\x81\x82\x79\x82\x58\x81\x40"},
        {"HanToZen", {S("\"\\~")}, "\x81\x68\x81\x8F\x81\x60"},
        {"HanToZen", {S("\x93\xfa\xB6")}, "\x93\xfa\x83\x4A"},
        {"HanToZen", {S(std::string("\x7F\x80\xA0\xFD\x00", 5))}, ""},
        {"ZenToHan", {S("\x83\x4B\x83\x70")}, "\xB6\xDE\xCA\xDF"},
        {"ZenToHan", {S("\x82\x81\x82\x60\x82\x4F\x81\x40")}, "aA0 "},
        {"ZenToHan", {S("\x93\xfa" "a" "\x82\xA0")}, "a"},
        {"ZenToHan", {S("\x81\x67\x81\x68")}, "\"\""},
        {"ZenToHan", {S("\x83\x94")}, ""},
        {"ZenToHan", {S("a\xB6\r")}, "a\xB6\r"},
    });
}

TEST(WidthFunctions, EveryHalfWidthCharacterSurvivesTheRoundTrip) {
    FunctionCaller caller;
    for (int b = 0x20; b <= 0xDF; ++b) {
        if (b >= 0x7F && b <= 0xA0) continue;
        const std::string half(1, static_cast<char>(b));
        const std::string full = caller.Text("HanToZen", {S(half)});
        ASSERT_EQ(full.size(), 2u) << std::hex << b;
        EXPECT_EQ(caller.Text("ZenToHan", {S(full)}), half) << std::hex << b;
    }
}

}  // namespace
}  // namespace kivo::test
