// Seeds of the script targets: pages and project files of every version, stored and written
// expressions, saved variable lists and interpreter states of every save version gate, and the
// text forms of pages and projects.

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/byte_io.h"
#include "base/error.h"
#include "corpus_seeds.h"
#include "script/expression_compiler.h"
#include "script/page_file.h"
#include "script/project_file.h"
#include "support/interpreter_state_builder.h"
#include "support/page_builder.h"
#include "support/project_builder.h"
#include "support/variable_list_builder.h"
#include "tools/script/text/page_text.h"
#include "tools/script/text/project_text.h"

namespace kivo::corpus {

namespace {

using test::ExprBuilder;
using test::Operand;
using test::PageBuilder;
using test::ProjectBuilder;

// Newest versions of the page and project files; one above each is stored but not parsed.
constexpr int32_t kNewestPage = 110;
constexpr int32_t kNewestProject = 110;

// A page of the flow commands the interpreter runs most, with their property masks.
PageBuilder FlowPage() {
    PageBuilder page;
    page.Add(test::VarNew("n", 1, test::Int(0)).Continue())
        .Add(test::Label("top"))
        .Add(test::Calc("n = n + 1").Continue())
        .Add(test::If("n < 3").Continue())
        .Add(test::Jump("", 1, "").Indent(1))
        .Add(test::Else())
        .Add(test::Wait("", test::Int(16)).Indent(1))
        .Add(test::Call("sub.ksb", 0, "r", "", {test::Int(1), test::Str("a")}))
        .Add(test::WhileInit("n = 0").Continue())
        .Add(test::While("n < 2", 11))
        .Add(test::WhileLoop("n = n + 1", 9).Indent(1))
        .Mask(test::kBoxNewCode, {0, 3, 4})
        .Add(test::CommandBuilder(test::kBoxNewCode)
                 .Properties({{0, test::Str("box")}, {3, test::Int(10)}, {4, test::Int(20)}}))
        .Add(test::Exit(""));
    return page;
}

ProjectBuilder TypicalProject(int32_t version) {
    ProjectBuilder project;
    project.Version(version)
        .Title("\x83\x51\x81\x5B\x83\x80")
        .Screen(640, 480)
        .FullScreen(800, 600)
        .StartPage("start.ksb")
        .ExitPage("exit.ksb")
        .RegistryKey("Kivo\\Game")
        .IdentificationCode(1234)
        .DiscPrompt("insert disc %d")
        .QuitText("quit?")
        .IntVar("score", 10)
        .FloatVar("rate", 0.5)
        .FlagVar("seen", true)
        .StrVar("name", "kivo")
        .FolderDisc("BGM\\", 2)
        .FolderDisc("movie\\", 3);
    return project;
}

// Expressions of every operator, literal form, call and assignment, over the variables the
// expression target declares (x, s and the 3 x 4 array a).
constexpr const char* kExpressions[] = {
    "1 + 2 * 3",
    "(1 + 2) * 3",
    "10 - 4 - 3",
    "3 * -2",
    "-x * 2",
    "+4",
    "7 / 2",
    "-7 % 3",
    "7.0 / 2",
    "2147483647 + 1",
    "-1 >> 28",
    "1 << 33",
    "1e-5 * 100000",
    "1.5E+2 + 1",
    "0.1 + 0.2",
    "\"12\" + 3",
    "\"ab\" ++ \"cd\"",
    "s ++ x",
    "5 & 3 | 8",
    "6 ^ 3 & 1",
    "1 + 1 == 2",
    "3 <> 4",
    "2 == 2.5",
    "\"ab\" < \"abc\"",
    "\"abd\" >= \"abc\"",
    "TRUE > FALSE",
    "x <= 5",
    "\"x\\\"y\\\\z\"",
    "\"a\\nb\"",
    "a[1, 2]",
    "a[x - 1, (1 + 1) * 2] + 1",
    "Min(3, 2 + 5) * 2",
    "Max(Min(1, 2), (0))",
    "Calc(\"1 + 2\") ++ \"!\"",
    "x = 1 + 2",
    "a[1, 2] = 4",
    "s = \"42\"",
    "x = @ScrWidth + @Result",
    "IntToStr(x) ++ s",
    "Random(10)",
    "Length(s) + Pos(\"b\", s)",
    "1 / 0",
};

}  // namespace

void PageFileSeeds(SeedFolder& seeds) {
    for (int32_t version = 100; version <= kNewestPage; ++version)
        seeds.Add("every_command_" + std::to_string(version) + ".ksb",
                  test::EveryCommandPage(version).Bytes());
    seeds.Add("flow.ksb", FlowPage().Bytes());
    // A version the reader keeps as bytes, and a page with a trailer after its commands.
    const uint8_t trailer[] = {1, 2, 3};
    seeds.Add("unparsed.ksb", PageBuilder().Version(kNewestPage + 1).Add(test::Else()).Bytes());
    seeds.Add("trailer.ksb", PageBuilder().Add(test::Else()).Trailer(trailer).Bytes());
}

void ProjectFileSeeds(SeedFolder& seeds) {
    // The versions on each side of every field gate, and one the reader keeps as bytes.
    for (int32_t version : {100, 103, 104, 105, 106, 108, 109, 110, kNewestProject + 1})
        seeds.Add("project_" + std::to_string(version) + ".kpb", TypicalProject(version).Bytes());
    const uint8_t trailer[] = {7, 0, 0, 0};
    seeds.Add("project_trailer.kpb", ProjectBuilder().Trailer(trailer).Bytes());
}

void ExpressionSeeds(SeedFolder& seeds) {
    // The target reads an even first byte as a stored expression, an odd one as text.
    int index = 0;
    for (const char* text : kExpressions) {
        const std::string name = "expression_" + std::to_string(index++);
        seeds.AddSelected(name + ".txt", 1,
                          std::span(reinterpret_cast<const uint8_t*>(text), std::strlen(text)));
        // The stored form as the expression compiler writes it into pages.
        try {
            ByteWriter writer;
            CompileExpression(text).Save(writer);
            seeds.AddSelected(name + ".ksb", 0, writer.Bytes());
        } catch (const KivoError&) {
            // A text that does not compile has no stored form.
        }
    }
    // Stored steps the compiler never writes: references of odd kinds and a call by index.
    ExprBuilder odd;
    odd.Step(test::kOpPlus, "____0", {Operand::Ref(7, "x"), Operand::Flag(true)})
        .Func("____1", 3, {Operand::Var("s"), Operand::Float(2.5)})
        .Step(test::kOpComboStr, "____arg", {Operand::Var("____0"), Operand::Var("____1")});
    seeds.AddSelected("stored_odd_steps.ksb", 0, odd.Bytes());
}

void VariableStreamSeeds(SeedFolder& seeds) {
    test::VariableListBuilder list;
    list.Int("score", {7})
        .Int("grid", {1, 2, 3, 4, 5, 6}, {2, 3})
        .Float("rate", {0.5, -2.25}, {2})
        .Flag("seen", {true})
        .Str("names", {"a", "\x82\xA0", ""}, {3})
        .Str("emptied", {}, {0})
        .Ref("alias", "grid", 4)
        .Ref("loose", "")
        .Int("local", {1}, {}, {.local = 1, .level = 3})
        .Str("kept", {"status"}, {}, {.status = 1})
        .TextDelay(30)
        .Cursor("wait")
        .Selection("choice", 2)
        .BacklogFormat({1, 2, 3, 4, 5, 6})
        .TempAlias("f");
    // The target's first byte picks the save version (100 plus it modulo 40); 0xFF the
    // status list.
    for (int32_t version : {102, 103, 113, 121, 134})
        seeds.AddSelected("game_" + std::to_string(version) + ".dat",
                          static_cast<uint8_t>(version - 100), list.GameBytes(version));
    seeds.AddSelected("status.dat", 0xFF, list.StatusBytes());
}

void InterpreterStateSeeds(SeedFolder& seeds) {
    // The target's page start.ksb holds a label at 0 and a Wait at 1; an odd first byte reads
    // the state as save version 134, an even one as 115 (before the level was stored).
    using test::SavedFrame;
    using test::SavedInterpreter;
    const SavedInterpreter states[] = {
        {.page = "start.ksb"},
        {.page = "start.ksb",
         .pc = 1,
         .begun = true,
         .runningState = test::WaitState(100, 3, true)},
        {.page = "start.ksb",
         .pc = 1,
         .begun = true,
         .mode = 2,
         .sender = "button",
         .arguments = {"x", "y"},
         .spare = {.page = "start.ksb", .pc = 1, .resultVariable = "r"},
         .stack = {{.page = "start.ksb",
                    .pc = 1,
                    .begun = true,
                    .continueFlag = true,
                    .runningState = test::WaitState(40, 0, false)},
                   {.page = "start.ksb",
                    .resultVariable = "r",
                    .arguments = {"1"},
                    .resultType = test::kIntType,
                    .resultValue = test::IntValue({5})},
                   {.page = "",
                    .resultType = test::kStrType,
                    .resultValue = test::StrValue({"a", "b"}, {2})}},
         .level = 5,
         .runningState = test::WaitState(16, 1, false, false)},
        {.page = "", .mode = 3, .stack = {{.page = "start.ksb", .pc = 0}}},
    };
    int index = 0;
    for (const SavedInterpreter& state : states) {
        for (int32_t version : {115, 134}) {
            seeds.AddSelected(
                "state_" + std::to_string(index) + "_" + std::to_string(version) + ".sav",
                version == 134 ? 1 : 0, test::WriteInterpreterState(state, version));
        }
        ++index;
    }
}

void ScriptTextSeeds(SeedFolder& seeds) {
    // The text forms as kivo-script writes them, of every command and of a whole project.
    for (int32_t version : {100, 105, kNewestPage}) {
        const PageFile page = PageFile::Read(test::EveryCommandPage(version).Bytes(), "every.ksb");
        seeds.AddText("every_command_" + std::to_string(version) + ".kss",
                      script_text::WritePageText(page, "every.ksb"));
    }
    seeds.AddText("flow.kss", script_text::WritePageText(
                                  PageFile::Read(FlowPage().Bytes(), "flow.ksb"), "flow.ksb"));
    for (int32_t version : {100, kNewestProject}) {
        const ProjectFile project = ProjectFile::Read(TypicalProject(version).Bytes(), "kivo.kpb");
        seeds.AddText("project_" + std::to_string(version) + ".kps",
                      script_text::WriteProjectText(project));
    }
    // The texts people write: the demo game and the script tests.
    for (const char* folder : {"examples/demo", "tests/scripts", "tests/scripts/calls"}) {
        const std::filesystem::path path = seeds.SourceTree() / folder;
        if (!std::filesystem::is_directory(path)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(path)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".kss" && extension != ".kps") continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string text{std::istreambuf_iterator<char>(in), {}};
            std::string name = std::string(folder) + "/" + entry.path().filename().string();
            for (char& c : name)
                c = c == '/' ? '_' : c;
            seeds.AddText(name, text);
        }
    }
}

}  // namespace kivo::corpus
