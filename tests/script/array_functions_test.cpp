// Arrays and variables through the functions that size, fill, copy, grow, shrink, join,
// split, search and sort them, for every value type.

#include <gtest/gtest.h>

#include <cstdint>

#include "script/function_call.h"

namespace kivo::test {
namespace {

using Strings = std::vector<std::string>;

// Makes name a one-dimensional array of type holding texts (converted to the type).
TCustomParam& DeclareArray(FunctionCaller& caller, const std::string& name, ValueType type,
                           const Strings& texts) {
    TCustomParam& value = caller.Declare(name, type);
    value.SetDimensions(std::vector<int32_t>{static_cast<int32_t>(texts.size())});
    for (size_t i = 0; i < texts.size(); ++i)
        value.SetStringAt(static_cast<int32_t>(i), texts[i]);
    return value;
}

TEST(ArrayFunctions, SizesAndDimensions) {
    FunctionCaller caller;
    caller.Declare("a", PT_INT);
    EXPECT_EQ(caller.Text("SetArray", {V("a"), 3, 5}), "0") << "no result";
    EXPECT_EQ(caller.Var("a").Dimensions(), (std::vector<int32_t>{3, 5}));
    EXPECT_EQ(caller.Text("GetArraySize", {V("a")}), "15");
    EXPECT_EQ(caller.Text("GetArraySize", {V("a"), 0}), "5");
    EXPECT_EQ(caller.Text("GetArraySize", {V("a"), 1}), "3");
    EXPECT_EQ(caller.Text("GetArraySize", {V("a"), 2}), "1");
    // Dimensions past either end, even where counting back from the last would overflow.
    EXPECT_EQ(caller.Text("GetArraySize", {V("a"), -1}), "1");
    EXPECT_EQ(caller.Text("GetArraySize", {V("a"), INT32_MIN}), "1");
    EXPECT_EQ(caller.Text("GetArraySize", {V("a"), INT32_MAX}), "1");

    EXPECT_EQ(caller.Error("SetArray", {V("a"), 0}), "配列の要素数[0]が不正です");
    EXPECT_EQ(caller.Error("SetArray", {V("a"), 65536, 65536}),
              "配列の要素数[65536,65536]が不正です");
    EXPECT_EQ(caller.Var("a").ElementCount(), 15) << "a refused size changes nothing";
    EXPECT_EQ(caller.Error("GetArraySize", {5}), "GetArraySize:変数が見つかりません");
    EXPECT_EQ(caller.Error("SetArray", {V("missing"), 2}), "SetArray:変数が見つかりません");
    EXPECT_EQ(caller.Error("FillMem", {S("a"), 2}), "FillMem:変数が見つかりません");
    EXPECT_EQ(caller.Error("CopyMem", {V("a"), 1}), "CopyMem:変数が見つかりません");
}

TEST(ArrayFunctions, FillConvertsToEveryType) {
    struct FillCase {
        ValueType type;
        Arg value;
        std::string element;
    };
    const FillCase cases[] = {
        {PT_INT, S("7"), "7"},
        {PT_FLOAT, 1.5, "1.5"},
        {PT_BOOL, S("TRUE"), "TRUE"},
        {PT_STR, 5, "5"},
    };
    for (const FillCase& c : cases) {
        FunctionCaller caller;
        DeclareArray(caller, "v", c.type, {"", "", ""});
        (void)caller.Call("FillMem", {V("v"), c.value});
        EXPECT_EQ(Elements(caller.Var("v")), Strings(3, c.element)) << c.type;
    }
}

TEST(ArrayFunctions, CopyMemKeepsTheClassAndCopyArrayConverts) {
    FunctionCaller caller;
    DeclareArray(caller, "ints", PT_INT, {"1", "2", "3"});
    DeclareArray(caller, "more", PT_INT, {"9"});
    caller.Declare("texts", PT_STR);
    (void)caller.Call("CopyMem", {V("more"), V("ints")});
    EXPECT_EQ(Elements(caller.Var("more")), (Strings{"1", "2", "3"}));
    EXPECT_EQ(caller.Error("CopyMem", {V("texts"), V("ints")}), "CopyMem:変数の型があいません");

    EXPECT_EQ(caller.Text("CopyArray", {V("texts"), V("ints")}), "FALSE") << "no result";
    EXPECT_EQ(Elements(caller.Var("texts")), (Strings{"1", "2", "3"}));
    EXPECT_EQ(caller.Var("texts").Dimensions(), (std::vector<int32_t>{3}));
    caller.Declare("flags", PT_BOOL);
    (void)caller.Call("CopyArray", {V("flags"), V("ints")});
    EXPECT_EQ(Elements(caller.Var("flags")), (Strings{"TRUE", "TRUE", "TRUE"}));
}

TEST(ArrayFunctions, AddInsertAndDeleteClampAndConvert) {
    struct EditCase {
        const char* function;
        std::vector<Arg> args;
        Strings before;
        std::string result;
        Strings after;
    };
    const std::vector<EditCase> cases = {
        {"AddArray", {V("a"), V("b")}, {"1", "2"}, "4", {"1", "2", "3", "0"}},
        {"AddArray", {V("a"), V("a")}, {"1", "2"}, "4", {"1", "2", "1", "2"}},
        {"AddArray", {V("a"), 5}, {"1"}, "2", {"1", "5"}},
        {"InsertArray", {V("a"), 1, V("b")}, {"1", "2"}, "4", {"1", "3", "0", "2"}},
        {"InsertArray", {V("a"), -5, V("b")}, {"1"}, "3", {"3", "0", "1"}},
        {"InsertArray", {V("a"), 99, V("b")}, {"1"}, "3", {"1", "3", "0"}},
        {"DeleteArray", {V("a"), 1, 2}, {"1", "2", "3", "4"}, "2", {"1", "4"}},
        {"DeleteArray", {V("a"), 99, 1}, {"1", "2", "3"}, "2", {"1", "2"}},
        {"DeleteArray", {V("a"), -3, 1}, {"1", "2", "3"}, "2", {"2", "3"}},
        {"DeleteArray", {V("a"), 1, 99}, {"1", "2", "3"}, "1", {"1"}},
        {"DeleteArray", {V("a"), 0, -1}, {"1", "2"}, "2", {"1", "2"}},
        {"DeleteArray", {V("a"), 0, 9}, {"1", "2"}, "0", {"0"}},
    };
    for (const EditCase& c : cases) {
        FunctionCaller caller;
        DeclareArray(caller, "a", PT_INT, c.before);
        DeclareArray(caller, "b", PT_STR, {"3", "x"});
        EXPECT_EQ(caller.Text(c.function, c.args), c.result) << c.function << " " << c.before[0];
        EXPECT_EQ(Elements(caller.Var("a")), c.after) << c.function;
    }

    FunctionCaller caller;
    caller.Declare("grid", PT_INT).SetDimensions(std::vector<int32_t>{2, 2});
    DeclareArray(caller, "b", PT_STR, {"3"});
    EXPECT_EQ(caller.Text("AddArray", {V("grid"), V("b")}), "4");
    EXPECT_EQ(caller.Text("InsertArray", {V("b"), 0, V("grid")}), "1");
    EXPECT_EQ(caller.Text("DeleteArray", {V("grid"), 0, 1}), "4");
    EXPECT_EQ(caller.Var("grid").Dimensions(), (std::vector<int32_t>{2, 2})) << "unchanged";
}

TEST(ArrayFunctions, JoinAndSplit) {
    FunctionCaller caller;
    DeclareArray(caller, "f", PT_BOOL, {"TRUE", "FALSE"});
    DeclareArray(caller, "x", PT_FLOAT, {"1.5", "2"});
    EXPECT_EQ(caller.Text("ArrayToString", {V("f")}), "TRUE\r\nFALSE");
    EXPECT_EQ(caller.Text("ArrayToString", {V("x"), S(", ")}), "1.5, 2");
    EXPECT_EQ(caller.Text("ArrayToString", {S("one")}), "one");

    struct SplitCase {
        std::vector<Arg> args;
        ValueType type;
        std::string count;
        Strings elements;
    };
    const std::vector<SplitCase> cases = {
        {{S("a\r\nb\nc\r"), V("v")}, PT_STR, "3", {"a", "b", "c"}},
        {{S("a\n\nb\r\n\r\n"), V("v")}, PT_STR, "4", {"a", "", "b", ""}},
        {{S(""), V("v")}, PT_STR, "0", {""}},
        {{S("a,b,"), V("v"), S(",")}, PT_STR, "2", {"a", "b"}},
        {{S(",a"), V("v"), S(",")}, PT_STR, "2", {"", "a"}},
        {{S("1,x,3"), V("v"), S(",")}, PT_INT, "3", {"1", "0", "3"}},
        {{S("\x83\x5C\\a"), V("v"), S("\\")}, PT_STR, "2", {"\x83\x5C", "a"}},
        {{S("TRUE"), V("v"), S("")}, PT_BOOL, "1", {"TRUE"}},
    };
    for (const SplitCase& c : cases) {
        FunctionCaller split;
        split.Declare("v", c.type).SetDimensions(std::vector<int32_t>{2, 3});
        EXPECT_EQ(split.Text("StringToArray", c.args), c.count) << std::get<std::string>(c.args[0]);
        EXPECT_EQ(Elements(split.Var("v")), c.elements) << std::get<std::string>(c.args[0]);
        EXPECT_LE(split.Var("v").DimensionCount(), 1);
    }
}

TEST(ArrayFunctions, SearchAndSortIgnoringCaseOnlyWhereAsked) {
    FunctionCaller caller;
    DeclareArray(caller, "v", PT_STR, {"Apple", "banana", "apple"});
    const std::vector<std::pair<std::vector<Arg>, std::string>> searches = {
        {{V("v"), S("apple")}, "2"},
        {{V("v"), S("APPLE")}, "-1"},
        {{V("v"), S("APPLE"), false}, "0"},
        {{V("v"), S("NAN"), false, true}, "1"},
        {{V("v"), S("NAN"), true, true}, "-1"},
        {{V("v"), S("nan"), true, true}, "1"},
    };
    for (const auto& [args, expected] : searches)
        EXPECT_EQ(caller.Text("IndexOfStr", args), expected) << std::get<std::string>(args[1]);

    DeclareArray(caller, "s", PT_STR, {"b", "A", "c", "a", "\x83\x61", "\x83\x41"});
    EXPECT_EQ(caller.Text("SortStr", {V("s")}), "0") << "no result";
    EXPECT_EQ(Elements(caller.Var("s")), (Strings{"A", "a", "b", "c", "\x83\x41", "\x83\x61"}));
    DeclareArray(caller, "n", PT_INT, {"10", "9", "-1"});
    (void)caller.Call("SortStr", {V("n")});
    EXPECT_EQ(Elements(caller.Var("n")), (Strings{"-1", "10", "9"})) << "sorted as text";
}

TEST(VariableFunctions, LookupTypeAndTempAlias) {
    FunctionCaller caller;
    caller.Declare("i", PT_INT);
    caller.Declare("t", PT_STR);
    EXPECT_EQ(caller.Text("VarExists", {S("I")}), "TRUE");
    EXPECT_EQ(caller.Text("VarExists", {S("nope")}), "FALSE");
    EXPECT_EQ(caller.Text("GetVarType", {V("i")}), "1");
    EXPECT_EQ(caller.Text("GetVarType", {V("t")}), "4");
    EXPECT_EQ(caller.Text("GetVarType", {1.5}), "2");
    EXPECT_EQ(caller.Text("AssignTemp", {S("nope")}), "FALSE");
    EXPECT_EQ(caller.variables.tempAlias, "");
    EXPECT_EQ(caller.Text("AssignTemp", {S("t")}), "TRUE");
    EXPECT_EQ(caller.variables.tempAlias, "t");
}

}  // namespace
}  // namespace kivo::test
