// Data tables: fields and records, moving the current record, the conversions between values
// and fields, searching and sorting.

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "storage/db_fixture.h"
#include "storage/db_table.h"

namespace kivo {
namespace {

using test::AddFields;
using test::AddRow;
using test::Column;
using test::IntAt;
using test::Sjis;
using test::TextAt;
using enum DBFieldType;

constexpr Extended kNaN = std::numeric_limits<Extended>::quiet_NaN();

TEST(DBTable, FieldsLayOutRecordsAndRefuseWhatCannotBeStored) {
    TDBTable table("t", false);
    EXPECT_EQ(table.AddField("i", 1, 99), 0);
    EXPECT_EQ(table.AddField("f", 2, 0), 1);
    EXPECT_EQ(table.AddField("b", 3, 0), 2);
    EXPECT_EQ(table.AddField("s", 4, 5), 3);
    EXPECT_EQ(table.Fields().RecordSize(), 4 + 10 + 1 + 6);
    EXPECT_EQ(table.Fields().Offset(3), 15);

    struct Refused {
        const char* name;
        int32_t type;
        int32_t length;
    };
    for (const Refused& r : {Refused{"I", 1, 0},                      // name taken, case ignored
                             Refused{"x", 0, 0}, Refused{"x", 5, 0},  // unknown types
                             Refused{"x", 4, -1},                     // negative length
                             Refused{"x", 4, std::numeric_limits<int32_t>::max()},
                             Refused{"x", 4, kMaxDBRecordSize - 2}}) {  // record too large
        EXPECT_EQ(table.AddField(r.name, r.type, r.length), -1)
            << r.name << " " << r.type << " " << r.length;
    }
    EXPECT_EQ(table.Fields().Count(), 4);
    EXPECT_EQ(table.Fields().IndexOf("S"), 3);
}

TEST(DBTable, AddingAFieldGrowsRecordsAndKeepsTheirValues) {
    TDBTable table("t", false);
    AddFields(table, {{"a", Integer}, {"s", String, 4}});
    AddRow(table, {7, std::string("abcd")});
    AddRow(table, {-8, std::string("xy")});
    ASSERT_EQ(table.AddField("f", 2, 0), 2);
    ASSERT_EQ(table.AddField("z", 4, 2), 3);
    for (int32_t r = 0; r < 2; ++r) {
        EXPECT_EQ(table.GetAt(r, 2, Float), DBValue(Extended{0}));
        EXPECT_EQ(TextAt(table, r, 3), "");
    }
    EXPECT_EQ(IntAt(table, 0, 0), 7);
    EXPECT_EQ(TextAt(table, 0, 1), "abcd");
    EXPECT_EQ(IntAt(table, 1, 0), -8);
    EXPECT_EQ(TextAt(table, 1, 1), "xy");

    // Records added before any field hold no bytes; the first field gives them some (the
    // sanitizers hold the copy of the empty records to its rules).
    TDBTable empty("e", false);
    ASSERT_TRUE(empty.AddRecord());
    ASSERT_TRUE(empty.AddRecord());
    ASSERT_EQ(empty.AddField("a", 1, 0), 0);
    EXPECT_EQ(empty.RecordCount(), 2);
    EXPECT_EQ(IntAt(empty, 1, 0), 0);
}

TEST(DBTable, NavigationOverRecords) {
    TDBTable table("t", false);
    AddFields(table, {{"n", Integer}});
    // No records: every move is refused and there is no current record.
    EXPECT_FALSE(table.First());
    EXPECT_FALSE(table.Last());
    EXPECT_FALSE(table.Next());
    EXPECT_FALSE(table.Prior());
    EXPECT_FALSE(table.DeleteCurrent());
    EXPECT_FALSE(table.SetCurrent(0));
    EXPECT_EQ(table.CurrentIndex(), -1);

    for (int32_t n : {10, 11, 12, 13})
        AddRow(table, {n});
    EXPECT_EQ(table.CurrentIndex(), 3);  // a new record becomes current
    EXPECT_FALSE(table.Next());
    ASSERT_TRUE(table.First());
    EXPECT_FALSE(table.Prior());
    EXPECT_TRUE(table.Next());
    EXPECT_EQ(table.CurrentIndex(), 1);
    EXPECT_FALSE(table.SetCurrent(4));
    EXPECT_EQ(table.CurrentIndex(), 1);
    EXPECT_TRUE(table.SetCurrent(-7));
    EXPECT_EQ(table.CurrentIndex(), -1);
    EXPECT_FALSE(table.Next());

    // Deleting in the middle keeps the index, so the next record becomes current.
    ASSERT_TRUE(table.SetCurrent(1));
    ASSERT_TRUE(table.DeleteCurrent());
    EXPECT_EQ(table.CurrentIndex(), 1);
    EXPECT_EQ(IntAt(table, 1, 0), 12);
    // Deleting the last record makes the new last one current.
    ASSERT_TRUE(table.Last());
    ASSERT_TRUE(table.DeleteCurrent());
    EXPECT_EQ(table.CurrentIndex(), 1);
    EXPECT_EQ(Column(table, 0), (std::vector<std::string>{"10", "12"}));
    ASSERT_TRUE(table.DeleteCurrent());
    ASSERT_TRUE(table.DeleteCurrent());
    EXPECT_EQ(table.CurrentIndex(), -1);
    EXPECT_EQ(table.RecordCount(), 0);
}

TEST(DBTable, ConversionsBetweenValuesAndFields) {
    struct Case {
        const char* label;
        DBFieldType field;
        int32_t length;
        DBValue written;
        DBFieldType read;
        DBValue expected;
    };
    const Case cases[] = {
        {"float read as int rounds half to even", Float, 0, Extended{2.5}, Integer, 2},
        {"3.5 rounds up", Float, 0, Extended{3.5}, Integer, 4},
        {"-2.5 rounds to -2", Float, 0, Extended{-2.5}, Integer, -2},
        {"NaN reads 0", Float, 0, kNaN, Integer, 0},
        {"huge saturates", Float, 0, Extended{1e20}, Integer, std::numeric_limits<int32_t>::max()},
        {"float written to int rounds", Integer, 0, Extended{-3.5}, Integer, -4},
        {"float written to bool", Boolean, 0, Extended{0.25}, Integer, 1},
        {"int written to float", Float, 0, -7, Float, Extended{-7}},
        {"bool read as float", Boolean, 0, true, Float, Extended{1}},
        {"int read as bool", Integer, 0, 2, Boolean, true},
        {"int field as text", Integer, 0, -12, String, std::string("-12")},
        {"float field as text", Float, 0, Extended{0.1L}, String, std::string("0.1")},
        {"bool field as text", Boolean, 0, false, String, std::string("FALSE")},
        {"text read as int", String, 8, std::string(" 42 "), Integer, 42},
        {"text that is no number reads 0", String, 8, std::string("4x"), Integer, 0},
        {"text read as float", String, 8, std::string("-1.25"), Float, Extended{-1.25}},
        {"only TRUE is true", String, 8, std::string("true"), Boolean, false},
        {"TRUE", String, 8, std::string("TRUE"), Boolean, true},
        {"text written to int", Integer, 0, std::string("$10"), Integer, 16},
        {"text written to float", Float, 0, std::string("nope"), Float, Extended{0}},
        {"text written to bool", Boolean, 0, std::string("TRUE"), Boolean, true},
        {"float written to text", String, 20, Extended{1.5e20L}, String, std::string("1.5E20")},
        {"bool cut to three bytes", String, 3, true, String, std::string("TRU")},
        {"FALSE cut to three bytes", String, 3, false, String, std::string("FAL")},
        {"int cut to two bytes", String, 2, 12345, String, std::string("12")},
        {"text cut to its length", String, 3, std::string("abcdef"), String, std::string("abc")},
        {"a cut never splits a character", String, 3, Sjis("あい"), String, Sjis("あ")},
        {"nor after single bytes", String, 4, "a" + Sjis("あい"), String, "a" + Sjis("あ")},
    };
    for (const Case& c : cases) {
        TDBTable table("t", false);
        ASSERT_EQ(table.AddField("pad", 4, 2), 0);
        ASSERT_EQ(table.AddField("v", static_cast<int32_t>(c.field), c.length), 1);
        ASSERT_TRUE(table.AddRecord());
        ASSERT_TRUE(table.Set("V", c.written)) << c.label;
        EXPECT_EQ(table.Get("v", c.read), c.expected) << c.label;
        EXPECT_EQ(TextAt(table, 0, 0), "") << c.label << ": the write spilled into another field";
    }
}

TEST(DBTable, FloatFieldsKeepEightyBitValues) {
    TDBTable table("t", false);
    AddFields(table, {{"f", Float}});
    const Extended fine = 1 + std::ldexp(Extended{1}, -60);  // beyond a double's precision
    AddRow(table, {fine});
    EXPECT_EQ(table.Get("f", Float), DBValue(fine));
    const Ext80 stored = Ext80::FromExtended(fine);
    const auto bytes = table.RecordBytes(0);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), stored.bytes.begin(), stored.bytes.end()));
}

TEST(DBTable, MissingRecordsAndFieldsAnswerNothing) {
    TDBTable table("t", false);
    AddFields(table, {{"n", Integer}});
    EXPECT_FALSE(table.Get("n", Integer).has_value());  // no current record
    AddRow(table, {1});
    EXPECT_FALSE(table.Get("m", Integer).has_value());
    EXPECT_FALSE(table.Set("m", 2));
    EXPECT_FALSE(table.GetAt(1, 0, Integer).has_value());
    EXPECT_FALSE(table.GetAt(0, -1, Integer).has_value());
    EXPECT_FALSE(table.SetAt(-1, 0, 2));
    EXPECT_EQ(IntAt(table, 0, 0), 1);
}

TEST(DBTable, TextReadsStopAtTheFieldEnd) {
    // Records from outside may hold a string slot without its terminator.
    TDBTable table("t", false);
    AddFields(table, {{"s", String, 3}, {"n", Integer}});
    const uint8_t bytes[] = {'a', 'b', 'c', 'd', 0x01, 0, 0, 0};
    ASSERT_TRUE(table.AppendRecordBytes(bytes));
    EXPECT_EQ(TextAt(table, 0, 0), "abcd");
    EXPECT_EQ(IntAt(table, 0, 1), 1);
    // A shorter text written over a longer one leaves nothing of it behind.
    ASSERT_TRUE(table.SetAt(0, 0, std::string("x")));
    const auto record = table.RecordBytes(0);
    EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.begin() + 4),
              (std::vector<uint8_t>{'x', 0, 0, 0}));
}

// A table of people for the search and sort tests.
class PeopleTable : public ::testing::Test {
  protected:
    void SetUp() override {
        AddFields(table_,
                  {{"name", String, 20}, {"score", Integer}, {"rate", Float}, {"club", Boolean}});
        AddRow(table_, {std::string("Alice"), 30, Extended{0.5}, true});
        AddRow(table_, {Sjis("アリス"), 10, kNaN, false});
        AddRow(table_, {std::string("alice"), 20, Extended{1.5}, true});
        AddRow(table_, {std::string("Bob"), 30, Extended{-2}, false});
        AddRow(table_, {std::string("12"), 20, kNaN, true});
    }
    TDBTable table_{"people", false};
};

TEST_F(PeopleTable, SearchByTypedKeys) {
    using Found = std::vector<int32_t>;
    struct Case {
        const char* label;
        std::vector<std::string> keys;
        std::vector<DBValue> values;
        bool ignoreCase;
        bool partial;
        Found expected;
    };
    const Case cases[] = {
        {"no keys: every record", {}, {std::string("x")}, false, false, {0, 1, 2, 3, 4}},
        {"no values: every record", {"name"}, {}, false, false, {0, 1, 2, 3, 4}},
        {"integer", {"score"}, {30}, false, false, {0, 3}},
        {"text exact", {"name"}, {std::string("alice")}, false, false, {2}},
        {"text ignoring case", {"NAME"}, {std::string("ALICE")}, true, false, {0, 2}},
        {"partial", {"name"}, {std::string("li")}, false, true, {0, 2}},
        {"partial ignoring case", {"name"}, {std::string("B")}, true, true, {3}},
        {"empty text occurs in every text",
         {"name"},
         {std::string()},
         false,
         true,
         {0, 1, 2, 3, 4}},
        {"double-byte text", {"name"}, {Sjis("リ")}, false, true, {1}},
        // The second byte of リ (0x83 0x8A) and of ア (0x83 0x41, 'A') are never the start of
        // a match, with or without case.
        {"no match on a second byte", {"name"}, {std::string("A")}, false, true, {0}},
        {"nor when folding case", {"name"}, {std::string("a")}, true, true, {0, 2}},
        {"float, exact", {"rate"}, {Extended{1.5}}, false, false, {2}},
        {"NaN equals nothing", {"rate"}, {kNaN}, false, false, {}},
        {"flag", {"club"}, {false}, false, false, {1, 3}},
        {"a text field read as integer", {"name"}, {12}, false, false, {4}},
        {"an integer field read as text", {"score"}, {std::string("20")}, false, false, {2, 4}},
        {"two keys", {"club", "score"}, {true, 20}, false, false, {2, 4}},
        {"more keys than values", {"score", "club"}, {30}, false, false, {0, 3}},
        {"a key naming no field finds nothing", {"score", "nope"}, {30, 1}, false, false, {}},
    };
    for (const Case& c : cases) {
        const DBSearch search{c.keys, c.values, c.ignoreCase, c.partial};
        EXPECT_EQ(table_.Search(search), c.expected) << c.label;
    }
}

TEST_F(PeopleTable, SortByKeysKeepsTheCurrentIndex) {
    struct Case {
        const char* label;
        std::vector<DBSortKey> keys;
        std::vector<std::string> names;
    };
    const std::string arisu = Sjis("アリス");
    const Case cases[] = {
        {"integer, then text", {{"score"}, {"name"}}, {arisu, "12", "alice", "Alice", "Bob"}},
        {"descending integer", {{"score", true}, {"name"}}, {"Alice", "Bob", "12", "alice", arisu}},
        // Bytes order the texts: digits, upper case, lower case, then double-byte text.
        {"descending text", {{"NAME", true}}, {arisu, "alice", "Bob", "Alice", "12"}},
        {"flag first",
         {{"club"}, {"score", true}, {"name"}},
         {"Bob", arisu, "Alice", "12", "alice"}},
        {"float, NaN last", {{"rate"}, {"name"}}, {"Bob", "Alice", "alice", "12", arisu}},
        {"descending float, NaN still last",
         {{"rate", true}, {"name"}},
         {"alice", "Alice", "Bob", "12", arisu}},
        {"keys without a field are skipped",
         {{"nope"}, {"score"}, {"name", true}},
         {arisu, "alice", "12", "Bob", "Alice"}},
    };
    const std::map<std::string, int32_t> scores = {
        {"Alice", 30}, {arisu, 10}, {"alice", 20}, {"Bob", 30}, {"12", 20}};
    for (const Case& c : cases) {
        ASSERT_TRUE(table_.SetCurrent(1));
        table_.Sort(c.keys);
        EXPECT_EQ(table_.CurrentIndex(), 1) << c.label;
        EXPECT_EQ(Column(table_, 0), c.names) << c.label;
        for (int32_t r = 0; r < table_.RecordCount(); ++r) {
            EXPECT_EQ(IntAt(table_, r, 1), scores.at(TextAt(table_, r, 0)))
                << c.label << ": records moved whole";
        }
    }
}

// The sort orders by prefixes of the keys packed into integers; whatever the keys, the order
// must be the plain comparison of the values, key by key, NaN after every number.
int CompareValues(const DBValue& a, const DBValue& b, bool descending) {
    if (const auto* x = std::get_if<Extended>(&a)) {
        const Extended y = std::get<Extended>(b);
        if (std::isnan(*x) || std::isnan(y)) return int(std::isnan(*x)) - int(std::isnan(y));
        const int order = (*x > y) - (*x < y);
        return descending ? -order : order;
    }
    const int order = (a > b) - (a < b);  // texts compare by unsigned bytes
    return descending ? -order : order;
}

TEST(DBTableSort, OrderIsThePlainComparisonOfTheKeys) {
    std::mt19937 random(7);
    TDBTable table("t", false);
    AddFields(
        table,
        {{"i", Integer}, {"f", Float}, {"b", Boolean}, {"s", String, 3}, {"long", String, 24}});
    const Extended floats[] = {kNaN,
                               -kNaN,
                               0.0L,
                               -0.0L,
                               1.5L,
                               -1.5L,
                               std::ldexp(1.0L, -16440),
                               -std::numeric_limits<Extended>::infinity(),
                               std::numeric_limits<Extended>::infinity(),
                               1 + std::ldexp(1.0L, -63),
                               1,
                               std::numeric_limits<Extended>::max()};
    const int32_t ints[] = {
        0, 1, -1, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), 7};
    auto text = [&](size_t maxLength) {
        std::string t;
        for (size_t n = random() % (maxLength + 1); n > 0; --n)
            t += "aAb\x01\x7F\x82\xA0\xFF"[random() % 8];
        return t;
    };
    for (int32_t r = 0; r < 600; ++r) {
        AddRow(table, {ints[random() % 6], floats[random() % 12], random() % 2 == 0, text(3),
                       std::string(20, 'x') + text(4)});
    }
    // A few records from outside whose short text fills its slot without a terminator, and
    // one whose text ends before: only the last byte of the slot tells them apart.
    AddRow(table, {std::numeric_limits<int32_t>::min(), 0.0L, false, std::string("aba")});
    std::vector<uint8_t> raw(table.RecordBytes(0).begin(), table.RecordBytes(0).end());
    StoreLE32(raw.data(), 0x7FFFFFFF);
    for (uint8_t last : {0x01, 0x7F, 0xFF}) {
        std::copy_n("ab", 2, raw.begin() + 15);
        raw[15 + 2] = 'a';
        raw[15 + 3] = last;
        ASSERT_TRUE(table.AppendRecordBytes(raw));
    }
    ASSERT_EQ(TextAt(table, table.RecordCount() - 1, 3), "aba\xFF");

    const std::vector<std::vector<DBSortKey>> sorts = {
        {{"i"}},                            // four bytes
        {{"b", true}, {"s"}},               // eight bytes, whole
        {{"f"}},                            // sixteen bytes, whole
        {{"f", true}, {"b"}, {"i", true}},  // beyond sixteen bytes
        {{"s", true}, {"i"}},
        {{"long"}, {"f", true}},  // ties beyond the prefix
        {{"long", true}, {"s", true}, {"b"}},
    };
    for (const auto& keys : sorts) {
        ASSERT_TRUE(table.SetCurrent(5));
        table.Sort(keys);
        EXPECT_EQ(table.CurrentIndex(), 5);
        std::vector<int32_t> fields;
        for (const DBSortKey& key : keys)
            fields.push_back(table.Fields().IndexOf(key.field));
        for (int32_t r = 1; r < table.RecordCount(); ++r) {
            int order = 0;
            for (size_t k = 0; k < keys.size() && order == 0; ++k) {
                const DBFieldType type = table.Fields().At(fields[k]).type;
                order = CompareValues(*table.GetAt(r - 1, fields[k], type),
                                      *table.GetAt(r, fields[k], type), keys[k].descending);
            }
            ASSERT_LE(order, 0) << "records " << r - 1 << " and " << r << " sorted by "
                                << keys.front().field;
        }
    }
}

}  // namespace
}  // namespace kivo
