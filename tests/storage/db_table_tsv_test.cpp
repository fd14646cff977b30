// Tab-separated text loaded into a data table: the typed header, escapes, columns, Shift-JIS
// text, and headers that cannot be loaded.

#include <gtest/gtest.h>

#include "base/error.h"
#include "storage/db_fixture.h"
#include "storage/db_table.h"

namespace kivo {
namespace {

using test::Column;
using test::IntAt;
using test::Sjis;
using test::TextAt;
using enum DBFieldType;

TEST(DBTableTsv, HeaderDeclaresTypedFields) {
    TDBTable table("t", false);
    table.LoadTsv("name\tscore int\tflag bool\tmemo\trate float\tcode str 5\tnote str x\r\n",
                  "a.tsv");
    struct Expected {
        const char* name;
        DBFieldType type;
        int32_t size;
    };
    const Expected expected[] = {{"name", String, 81}, {"score", Integer, 4}, {"flag", Boolean, 1},
                                 {"memo", String, 81}, {"rate", Float, 10},   {"code", String, 6},
                                 {"note", String, 81}};
    ASSERT_EQ(table.Fields().Count(), 7);
    for (int32_t i = 0; i < 7; ++i) {
        const TDBField& field = table.Fields().At(i);
        EXPECT_EQ(field.name, expected[i].name);
        EXPECT_EQ(field.type, expected[i].type) << field.name;
        EXPECT_EQ(field.size, expected[i].size) << field.name;
    }
    EXPECT_EQ(table.RecordCount(), 0);
    EXPECT_EQ(table.CurrentIndex(), -1);
}

TEST(DBTableTsv, LinesBecomeRecords) {
    TDBTable table("t", false);
    // Old fields and records go first.
    ASSERT_EQ(table.AddField("old", 1, 0), 0);
    ASSERT_TRUE(table.AddRecord());
    const std::string text =
        "name\tscore int\tok bool\trate float\tshort str 3\n"
        "Alice\t30\tTRUE\t2.5\tabcdef\r\n"
        "\n"              // empty lines add nothing
        "Bob\t\tFALSE\r"  // an empty column; fewer columns than fields
        "\tx\n"           // an empty first column; not a number
        + Sjis("田中") + "\t7\ttrue\t1e3\t" + Sjis("あい") +
        "\textra\n"
        "last\t-1\t\t\t\t";  // a final tab adds no column; no final line break
    table.LoadTsv(text, "people.tsv");
    ASSERT_EQ(table.Fields().Count(), 5);
    EXPECT_EQ(table.Fields().IndexOf("old"), -1);
    ASSERT_EQ(table.RecordCount(), 5);
    EXPECT_EQ(table.CurrentIndex(), 4);
    EXPECT_EQ(Column(table, 0),
              (std::vector<std::string>{"Alice", "Bob", "", Sjis("田中"), "last"}));
    EXPECT_EQ(Column(table, 1), (std::vector<std::string>{"30", "0", "0", "7", "-1"}));
    EXPECT_EQ(Column(table, 2),
              (std::vector<std::string>{"TRUE", "FALSE", "FALSE", "FALSE", "FALSE"}));
    EXPECT_EQ(Column(table, 3), (std::vector<std::string>{"2.5", "0", "0", "1000", "0"}));
    // Cut to three bytes, never inside a double-byte character.
    EXPECT_EQ(Column(table, 4), (std::vector<std::string>{"abc", "", "", Sjis("あ"), ""}));
}

TEST(DBTableTsv, EscapesAndDoubleByteCharacters) {
    // 表 is 0x95 0x5C and ソ is 0x83 0x5C: their second byte is a backslash that escapes
    // nothing.
    const std::string hyou = Sjis("表"), so = Sjis("ソ");
    struct Case {
        std::string line;
        std::string text;
    };
    const Case cases[] = {
        {R"(say \"hi\")", R"(say "hi")"},
        {R"(a\\b)", R"(a\b)"},
        {R"(\\n)", R"(\n)"},
        {R"(one\ntwo)", "one\r\ntwo"},
        {R"(\t and \x stay)", R"(\t and \x stay)"},
        {R"(end\)", R"(end\)"},
        {hyou + "n" + so + "\\\"", hyou + "n" + so + "\""},
        {hyou + R"(\n)", hyou + "\r\n"},
    };
    for (const Case& c : cases) {
        TDBTable table("t", false);
        table.LoadTsv("s str 40\tn int\n" + c.line + "\t5\n", "e.tsv");
        ASSERT_EQ(table.RecordCount(), 1) << c.line;
        EXPECT_EQ(TextAt(table, 0, 0), c.text) << c.line;
        EXPECT_EQ(IntAt(table, 0, 1), 5) << c.line;
    }
}

TEST(DBTableTsv, RepeatedColumnsAddNothingAndTheirDataAreSkipped) {
    TDBTable table("t", false);
    table.LoadTsv("a int\tA\tb int\n1\t2\t3\n", "r.tsv");
    ASSERT_EQ(table.Fields().Count(), 2);
    EXPECT_EQ(table.Fields().At(1).name, "b");
    EXPECT_EQ(IntAt(table, 0, 0), 1);
    EXPECT_EQ(IntAt(table, 0, 1), 3);
}

TEST(DBTableTsv, HeadersThatCannotBeLoadedFailNamingTheFile) {
    const char* headers[] = {
        "name\t\tscore int\n",  // an empty column has no name
        " name\n",              // nor has a column that starts with a blank
        "memo str -1\n",        // a negative length
        "memo str 99999999\n",  // a record beyond the size limit
        "a str 9000000\tb str 9000000\n",
    };
    for (const char* header : headers) {
        TDBTable table("t", false);
        ASSERT_EQ(table.AddField("old", 1, 0), 0);
        try {
            table.LoadTsv(std::string(header) + "1\t2\n", "data\\bad.tsv");
            ADD_FAILURE() << header;
        } catch (const KivoError& error) {
            EXPECT_EQ(error.File(), "data\\bad.tsv") << header;
        }
        EXPECT_EQ(table.Fields().Count(), 0) << header;
        EXPECT_EQ(table.RecordCount(), 0) << header;
    }
}

}  // namespace
}  // namespace kivo
