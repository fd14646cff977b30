// The functions that reach the game's files, the call stack and the desktop, run inside a game
// by the interpreter; and the argument count check every call goes through.

#include <gtest/gtest.h>

#include "script/expression_compiler.h"
#include "script/function_call.h"
#include "script/host_functions.h"
#include "script/interpreter_harness.h"

namespace kivo::test {
namespace {

// A Calc command running text through the expression compiler, as the editor stores it.
CommandBuilder CalcText(std::string_view text) {
    ByteWriter writer;
    CompileExpression(text).Save(writer);
    return CommandBuilder(kCalcCode).Continue().Raw(writer.Bytes());
}

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

TEST(HostFunctions, FilesOfTheVirtualFileSystem) {
    Harness h;
    RegisterSystemFunctions(h.functions);
    h.AddFile("data.txt", Bytes("one\r\ntwo\nthree\r\n"));
    h.AddFile("empty.txt", {});
    PageBuilder page;
    page.Add(VarNew("lines", PT_STR, Str("kept")).Continue())
        .Add(VarNew("same", PT_STR, Str("kept")).Continue())
        .Add(VarNew("r", PT_BOOL, Flag(false)).Continue())
        .Add(VarNew("r2", PT_BOOL, Flag(true)).Continue())
        .Add(VarNew("r3", PT_BOOL, Flag(true)).Continue())
        .Add(CalcText(R"(r = LoadTextFile(lines, "DATA.TXT"))"))
        .Add(CalcText(R"(r2 = LoadTextFile(same, "missing.txt"))"))
        .Add(CalcText(R"(r3 = LoadTextFile(same, "empty.txt"))"))
        .Add(VarNew("e1", PT_BOOL, Flag(false)).Continue())
        .Add(VarNew("e2", PT_BOOL, Flag(true)).Continue())
        .Add(VarNew("e3", PT_BOOL, Flag(true)).Continue())
        .Add(CalcText(R"(e1 = FileExists("data.txt"))"))
        .Add(CalcText(R"(e2 = FileExists("nothing.txt"))"))
        .Add(CalcText(R"(e3 = FileExists(""))"));
    h.AddGame(page);
    h.Open();
    h.Frame();
    EXPECT_EQ(h.Str("r"), "TRUE");
    EXPECT_EQ(Elements(h.variables.Find("lines")->Value()),
              (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(h.Str("r2"), "FALSE");
    EXPECT_EQ(h.Str("r3"), "FALSE");
    EXPECT_EQ(h.Str("same"), "kept");
    EXPECT_EQ(h.Str("e1"), "TRUE");
    EXPECT_EQ(h.Str("e2"), "FALSE");
    EXPECT_EQ(h.Str("e3"), "FALSE");
}

TEST(HostFunctions, OpenUrlHandsOnlyWebAddressesToTheDesktop) {
    Harness h;
    RegisterSystemFunctions(h.functions);
    PageBuilder page;
    for (const char* url : {"http://example.com/a?b=1", "http.exe", "https://x.org", "ftp://f.net",
                            "HTTP://upper.com", "file:///etc/passwd", "http://", "mailto:a@b"}) {
        page.Add(CalcText(std::string("OpenUrl(\"") + url + "\")"));
    }
    h.AddGame(page);
    h.Open();
    h.Frame();
    std::vector<std::string> opened;
    for (const std::string& line : h.trace.lines) {
        if (line.starts_with("OpenUrl ")) opened.push_back(line.substr(8));
    }
    EXPECT_EQ(opened,
              (std::vector<std::string>{"http://example.com/a?b=1", "https://x.org", "ftp://f.net"}));
    EXPECT_FALSE(IsOpenableUrl("http://a\nb")) << "control bytes never reach the opener";
    EXPECT_FALSE(IsOpenableUrl(std::string("http://a\0b", 10)));
}

TEST(HostFunctions, DeleteStackForgetsAFrameAndItsLocals) {
    Harness h;
    RegisterSystemFunctions(h.functions);
    PageBuilder main;
    main.Add(VarNew("ok", PT_BOOL, Flag(false)).Continue())
        .Add(VarNew("bad", PT_BOOL, Flag(true)).Continue())
        .Add(VarNew("depth", PT_INT, Int(-1)).Continue())
        .Add(VarNew("top", PT_INT, Int(1), kScopeLocal).Continue())
        .Add(CalcText("bad = DeleteStack(0)"))
        .Add(Call("sub.ksb", 0, "", "TRUE", {}).Continue())
        .Add(VarNew("after", PT_INT, Int(1)).Continue());
    PageBuilder sub;
    sub.Add(VarNew("inner", PT_INT, Int(5), kScopeAutoDestroy).Continue())
        .Add(CalcText("ok = DeleteStack(0)"))
        .Add(CalcText("depth = @StackCount"));
    h.AddGame(main);
    h.AddPage("sub.ksb", sub);
    h.Open();
    h.Frame();
    EXPECT_EQ(h.Str("bad"), "FALSE") << "no frame with an empty stack";
    EXPECT_EQ(h.Str("ok"), "TRUE");
    EXPECT_EQ(h.Int("depth"), 0);
    EXPECT_FALSE(h.Has("top")) << "the forgotten flow's locals go";
    ASSERT_TRUE(h.Has("inner"));
    EXPECT_EQ(h.variables.Find("inner")->level, 0) << "deeper levels move up";
    EXPECT_FALSE(h.Has("after")) << "there is no caller to return to";
}

TEST(FunctionDispatch, ArgumentCountsAreCheckedBeforeTheFunctionRuns) {
    FunctionCaller caller;
    EXPECT_EQ(caller.Error("Length", {}), "Length 引数の数が不正です");
    EXPECT_EQ(caller.Error("Copy", {S("a"), 1, 1, 1}), "Copy 引数の数が不正です");
    EXPECT_EQ(caller.Error("SetArray", {V("x")}), "SetArray 引数の数が不正です");
    EXPECT_EQ(caller.Error("FileExists", {S("a")}), "FileExists は使用できない関数です");
}

}  // namespace
}  // namespace kivo::test
