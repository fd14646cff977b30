// The data-table functions as scripts call them: arguments read by their types, optional
// arguments, arrays of keys, and the answers when a table, field or record is missing.

#include <map>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "base/error.h"
#include "script/expression_compiler.h"
#include "script/interpreter_harness.h"
#include "script/system_functions.h"
#include "storage/db_manager.h"

namespace kivo::test {
namespace {

// Game files by name; any other name is not available.
class MemoryFiles final : public InterpreterPort {
  public:
    [[nodiscard]] bool FileExists(std::string_view name) override {
        return files.contains(std::string(name));
    }
    [[nodiscard]] bool FileAvailable(std::string_view name) override { return FileExists(name); }
    [[nodiscard]] std::vector<uint8_t> LoadFile(std::string_view name) override {
        const std::string& text = files.at(std::string(name));
        return {text.begin(), text.end()};
    }
    bool DeleteStackFrame(int32_t) override { return false; }

    std::map<std::string, std::string> files;
};

// Expressions evaluated with a context holding the tables and the files.
class TableScripts : public ::testing::Test {
  protected:
    TableScripts() { RegisterSystemFunctions(h.functions); }

    ExpressionResult Run(std::string_view text) {
        return CompileExpression(text).Evaluate(h.variables, h.functions, &context);
    }
    std::string Str(std::string_view text) { return Run(text)->AsString(); }
    int32_t Int(std::string_view text) { return Run(text)->AsInteger(); }
    bool True(std::string_view text) { return Str(text) == "TRUE"; }
    void Ok(std::string_view text) { ASSERT_TRUE(True(text)) << text; }

    // A table "people" of name (string 8), age (int), rate (float), member (bool).
    void People() {
        Ok("DBCreateTable(\"people\", FALSE)");
        Ok("DBAddField(\"name\", 4, 8)");
        Ok("DBAddField(\"age\", 1)");
        Ok("DBAddField(\"rate\", 2)");
        Ok("DBAddField(\"member\", 3)");
        Ok("DBInsert(\"Ann\", 31, 1.5, TRUE)");
        Ok("DBInsert(\"bob\", 25, 2.5, FALSE)");
        Ok("DBInsert(\"Bobby\", 40, 0.25, TRUE)");
    }

    Harness h;
    TDBManager tables;
    MemoryFiles files;
    ScriptContext context{h.player, h.clock, h.calendar, h.random, h.objects,
                          h.media,  h.saves, h.urls,     &tables,  &files};
};

TEST_F(TableScripts, RecordsAreAddedReadAndWrittenThroughTheActiveTable) {
    People();
    EXPECT_EQ(Str("DBGetActive()"), "people");
    EXPECT_EQ(Int("DBRecordCount()"), 3);
    EXPECT_EQ(Int("DBGetRecNo()"), 2) << "the record inserted last is current";
    EXPECT_EQ(Str("DBGetStr(\"NAME\")"), "Bobby") << "field names ignore case";
    EXPECT_EQ(Str("DBGetFloat(\"rate\")"), "0.25");

    Ok("DBSetRecNo(0)");
    EXPECT_EQ(Int("DBGetInt(\"age\")"), 31);
    EXPECT_EQ(Str("DBGetBool(\"member\")"), "TRUE");
    // Each setter reads its argument as its own type before the field converts it.
    Ok("DBSetInt(\"rate\", 2.75)");
    EXPECT_EQ(Str("DBGetFloat(\"rate\")"), "2") << "2.75 read as an integer truncates";
    Ok("DBSetStr(\"name\", \"Annabelle Lee\")");
    EXPECT_EQ(Str("DBGetStr(\"name\")"), "Annabell") << "cut to the declared length";
    Ok("DBSetFloat(\"age\", 7.5)");
    EXPECT_EQ(Int("DBGetInt(\"age\")"), 8) << "ties round to even";
    EXPECT_FALSE(True("DBSetInt(\"missing\", 1)"));
    EXPECT_EQ(Int("DBGetInt(\"missing\")"), 0);

    EXPECT_FALSE(True("DBFindPrior()"));
    Ok("DBFindNext()");
    EXPECT_EQ(Str("DBGetStr(\"name\")"), "bob");
    Ok("DBFindLast()");
    EXPECT_FALSE(True("DBFindNext()"));
    Ok("DBDelete()");
    EXPECT_EQ(Int("DBGetRecNo()"), 1);
    EXPECT_FALSE(True("DBSetRecNo(2)"));
    Ok("DBClearRecord()");
    EXPECT_EQ(Int("DBRecordCount(\"PEOPLE\")"), 0);
    EXPECT_FALSE(True("DBDelete()"));
}

TEST_F(TableScripts, TablesAreListedActivatedAndDeleted) {
    Ok("DBCreateTable(\"kept\", TRUE)");
    Ok("DBAddField(\"n\", 1)");
    Ok("DBInsert(5)");
    People();
    EXPECT_FALSE(True("DBCreateTable(\"\", FALSE)"));
    EXPECT_EQ(Int("DBGetTableCount()"), 2);

    h.variables.Create("name", PT_STR);
    h.variables.Create("kept", PT_BOOL);
    Ok("DBGetTable(0, name, kept)");
    EXPECT_EQ(h.Str("name"), "kept");
    EXPECT_EQ(h.Str("kept"), "TRUE");
    EXPECT_FALSE(True("DBGetTable(2, name)"));

    // Activating a kept table again keeps its records; a table not kept is emptied.
    Ok("DBCreateTable(\"Kept\", TRUE)");
    EXPECT_EQ(Int("DBRecordCount()"), 1);
    Ok("DBCreateTable(\"people\", FALSE)");
    EXPECT_EQ(Int("DBRecordCount()"), 0);
    EXPECT_FALSE(True("DBAddField(\"n\", 5)")) << "type codes are 1 to 4";

    EXPECT_FALSE(True("DBSetActive(\"nobody\")"));
    EXPECT_FALSE(True("DBDeleteTable(\"kept\")")) << "DBDeleteTable always answers false";
    EXPECT_EQ(Str("DBGetActive()"), "people") << "the active table stays active by name";
    EXPECT_FALSE(True("DBDeleteTable()"));
    EXPECT_EQ(Str("DBGetActive()"), "");
    EXPECT_EQ(Int("DBGetTableCount()"), 0);

    People();
    Run("DBClearTable()");
    EXPECT_EQ(Int("DBGetTableCount()"), 0);
}

TEST_F(TableScripts, WithoutTablesEveryFunctionAnswersNothing) {
    struct Case {
        const char* call;
        const char* answer;
    };
    const Case cases[] = {
        {"DBRecordCount()", "-1"},
        {"DBRecordCount(\"none\")", "-1"},
        {"DBGetRecNo()", "-1"},
        {"DBGetActive()", ""},
        {"DBGetInt(\"a\")", "0"},
        {"DBGetStr(\"a\")", ""},
        {"DBGetBool(\"a\")", "FALSE"},
        {"DBSetInt(\"a\", 1)", "FALSE"},
        {"DBAddField(\"a\", 1)", "FALSE"},
        {"DBInsert(1)", "FALSE"},
        {"DBFindFirst()", "FALSE"},
        {"DBLocate(\"a\", 1)", "FALSE"},
        {"DBSort(\"a\", FALSE)", "FALSE"},
        {"DBClearRecord()", "FALSE"},
        {"DBCopy(\"a\")", "FALSE"},
        {"DBCopyTable(\"a\")", "FALSE"},
        {"DBInsertTable(\"a\")", "FALSE"},
        {"DBLoadTsvFile(\"a\")", "FALSE"},
        {"DBDirectGetInt(\"a\", \"k\", 1, FALSE, FALSE, \"f\", 42)", "42"},
        {"DBDirectGetStr(\"a\", \"k\", 1, FALSE, FALSE, \"f\", \"none\")", "none"},
        {"DBDirectSetInt(\"a\", \"k\", 1, FALSE, FALSE, \"f\", 42)", "FALSE"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Str(c.call), c.answer) << c.call;
}

TEST_F(TableScripts, SearchesTakeKeysAndValuesAsValuesOrArrays) {
    People();
    // A single key; the first flag is ignore-case, the second partial.
    Ok("DBLocate(\"name\", \"bob\")");
    EXPECT_EQ(Int("DBGetRecNo()"), 1);
    EXPECT_FALSE(True("DBLocate(\"name\", \"BOB\")"));
    Ok("DBLocate(\"name\", \"BOBBY\", TRUE)");
    EXPECT_EQ(Int("DBGetRecNo()"), 2);
    Ok("DBLocate(\"name\", \"obb\", FALSE, TRUE)");
    EXPECT_EQ(Int("DBGetRecNo()"), 2);
    EXPECT_FALSE(True("DBLocate(\"name\", \"OBB\", FALSE, TRUE)"));
    EXPECT_EQ(Int("DBGetRecNo()"), 2) << "a failed search leaves the current record";

    // Two keys from arrays: the values are compared by the array's type.
    TCustomParam& keys = h.variables.Create("keys", PT_STR).Value();
    keys.SetDimensions(std::vector<int32_t>{2});
    keys.SetStringAt(0, "member");
    keys.SetStringAt(1, "age");
    TCustomParam& values = h.variables.Create("values", PT_INT).Value();
    values.SetDimensions(std::vector<int32_t>{2});
    values.SetIntAt(0, 1);
    values.SetIntAt(1, 40);
    Ok("DBLocate(keys, values)");
    EXPECT_EQ(Str("DBGetStr(\"name\")"), "Bobby");
    EXPECT_EQ(Int("DBDirectGetInt(\"people\", keys, values, FALSE, FALSE, \"age\", -1)"), 40);
    values.SetIntAt(1, 25);
    EXPECT_FALSE(True("DBLocate(keys, values)"));

    // Direct access leaves the active table and its current record alone.
    Ok("DBCreateTable(\"other\", FALSE)");
    EXPECT_EQ(Str("DBDirectGetStr(\"people\", \"age\", 25, FALSE, FALSE, \"name\", \"?\")"), "bob");
    EXPECT_EQ(Int("DBDirectGetInt(\"people\", \"age\", 26, FALSE, FALSE, \"age\", -1)"), -1);
    EXPECT_EQ(Str("DBDirectGetFloat(\"people\", \"name\", \"ANN\", TRUE, FALSE, \"rate\", 9)"),
              "1.5");
    Ok("DBDirectSetBool(\"people\", \"name\", \"bob\", FALSE, FALSE, \"member\", TRUE)");
    EXPECT_FALSE(True("DBDirectSetBool(\"people\", \"name\", \"bob\", FALSE, FALSE, \"x\", 1)"));
    EXPECT_EQ(Str("DBGetActive()"), "other");
    Ok("DBSetActive(\"people\")");
    EXPECT_EQ(Int("DBGetRecNo()"), 2);
    Ok("DBLocate(\"member\", TRUE)");
    EXPECT_EQ(Int("DBGetRecNo()"), 0);
    Ok("DBFindNext()");
    EXPECT_EQ(Str("DBGetBool(\"member\")"), "TRUE") << "bob became a member";
}

TEST_F(TableScripts, SortTakesKeysAndDirectionsAsValuesOrArrays) {
    People();
    Ok("DBInsert(\"Cid\", 25, 9.0, TRUE)");
    Ok("DBSetRecNo(1)");
    Ok("DBSort(\"age\", TRUE)");
    EXPECT_EQ(Int("DBGetRecNo()"), 1) << "the current index stays";
    EXPECT_EQ(Str("DBGetStr(\"name\")"), "Ann");

    TCustomParam& keys = h.variables.Create("keys", PT_STR).Value();
    keys.SetDimensions(std::vector<int32_t>{2});
    keys.SetStringAt(0, "age");
    keys.SetStringAt(1, "name");
    TCustomParam& down = h.variables.Create("down", PT_BOOL).Value();
    down.SetDimensions(std::vector<int32_t>{2});
    down.SetFlagAt(1, true);
    Ok("DBSort(keys, down)");
    std::vector<std::string> names;
    for (Ok("DBFindFirst()"); names.size() < 5;) {
        names.push_back(Str("DBGetStr(\"name\")"));
        if (!True("DBFindNext()")) break;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"bob", "Cid", "Ann", "Bobby"}));
}

TEST_F(TableScripts, RecordsAreCopiedBetweenTables) {
    People();
    Ok("DBCreateTable(\"members\", FALSE)");
    Ok("DBSetActive(\"people\")");
    EXPECT_FALSE(True("DBCopyTable(\"people\")")) << "not into the active table itself";
    EXPECT_FALSE(True("DBCopyTable(\"nowhere\")"));
    Ok("DBCopyTable(\"members\", \"member\", TRUE)");
    Ok("DBSetActive(\"members\")");
    EXPECT_EQ(Int("DBRecordCount()"), 2);
    Ok("DBFindLast()");
    EXPECT_EQ(Str("DBGetStr(\"name\")"), "Bobby");

    // Without keys every record is inserted, here the table's own two.
    Ok("DBInsertTable(\"members\")");
    EXPECT_EQ(Int("DBRecordCount()"), 4);
    Ok("DBInsertTable(\"people\", \"name\", \"B\", FALSE, TRUE)");
    EXPECT_EQ(Int("DBRecordCount()"), 5);
    Ok("DBFindLast()");
    EXPECT_EQ(Str("DBGetStr(\"name\")"), "Bobby");

    Ok("DBCopy(\"people\")");
    EXPECT_EQ(Int("DBRecordCount(\"people\")"), 4);
    Ok("DBCreateTable(\"bare\", FALSE)");
    Ok("DBSetActive(\"members\")");
    EXPECT_FALSE(True("DBCopy(\"bare\")")) << "the fields must match";
    EXPECT_FALSE(True("DBInsertTable(\"bare\")"));
}

TEST_F(TableScripts, TabSeparatedFilesLoadIntoTheActiveTable) {
    files.files["scores.tsv"] = "name\tscore int\r\nAnn\t12\r\nBob\t7\r\n";
    files.files["empty.tsv"] = "";
    files.files["bad.tsv"] = "name\t int\r\nAnn\t1\r\n";
    Ok("DBCreateTable(\"t\", FALSE)");
    Ok("DBLoadTsvFile(\"scores.tsv\")");
    EXPECT_EQ(Int("DBRecordCount()"), 2);
    Ok("DBSort(\"score\", FALSE)");
    Ok("DBFindFirst()");
    EXPECT_EQ(Str("DBGetStr(\"name\")"), "Bob");

    EXPECT_FALSE(True("DBLoadTsvFile(\"missing.tsv\")"));
    EXPECT_FALSE(True("DBLoadTsvFile(\"empty.tsv\")"));
    EXPECT_EQ(Int("DBRecordCount()"), 2) << "a file that is not there changes nothing";
    EXPECT_FALSE(True("DBLoadTsvFile(\"bad.tsv\")"));
    EXPECT_EQ(Int("DBRecordCount()"), 0) << "a header without a field name empties the table";
}

// name(operands ...) assigned to a new variable of type.
CommandBuilder Declare(const char* variable, uint8_t type, const char* name,
                       std::vector<Operand> operands) {
    ExprBuilder call;
    call.Func("____0", static_cast<uint8_t>(*FunctionIndex(name)), std::move(operands))
        .Step(kOpTo, "____arg", {Operand::Var("____0")});
    return VarNew(variable, type, call).Continue();
}

TEST(TableScriptsInAGame, FilesComeFromTheGameAndResetKeepsOnlyKeptTables) {
    Harness h;
    RegisterSystemFunctions(h.functions);
    h.AddFile("list.tsv", {'n', ' ', 'i', 'n', 't', '\n', '4', '\n', '5', '\n'});
    (void)h.tables.CreateOrActivate("kept", true);
    PageBuilder page;
    page.Add(Declare("made", PT_BOOL, "DBCreateTable",
                     {Operand::Str("loose"), Operand::Flag(false)}))
        .Add(Declare("loaded", PT_BOOL, "DBLoadTsvFile", {Operand::Str("list.tsv")}))
        .Add(Declare("count", PT_INT, "DBRecordCount", {}));
    h.AddGame(page);
    h.Open();
    h.Frame();
    EXPECT_EQ(h.Str("loaded"), "TRUE");
    EXPECT_EQ(h.Int("count"), 2);

    h.project->ResetWorld();
    ASSERT_EQ(h.tables.Count(), 1);
    EXPECT_EQ(h.tables.At(0).Name(), "kept");
    EXPECT_EQ(h.tables.Active(), nullptr);
}

TEST(TableScriptsOutsideAGame, TheFunctionsRefuseToRunWithoutTables) {
    Harness h;
    RegisterSystemFunctions(h.functions);
    ScriptContext noTables{h.player,  h.clock, h.calendar, h.random,
                           h.objects, h.media, h.saves,    h.urls};
    try {
        (void)CompileExpression("DBGetTableCount()").Evaluate(h.variables, h.functions, &noTables);
        ADD_FAILURE() << "DBGetTableCount ran without tables";
    } catch (const KivoError& error) {
        EXPECT_EQ(error.Message(), "DBGetTableCount は使用できない関数です");
    }
}

}  // namespace
}  // namespace kivo::test
