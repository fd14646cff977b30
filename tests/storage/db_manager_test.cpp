// The set of data tables: creating, activating and deleting tables, direct access, copying
// records between tables, and the stream forms of game and status data.

#include <cmath>

#include <gtest/gtest.h>

#include "base/error.h"
#include "storage/db_fixture.h"
#include "storage/db_manager.h"

namespace kivo {
namespace {

using test::AddFields;
using test::AddRow;
using test::Column;
using test::IntAt;
using test::Sjis;
using test::TextAt;
using enum DBFieldType;

std::vector<std::string> Names(const TDBManager& manager) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < manager.Count(); ++i)
        names.push_back(manager.At(i).Name());
    return names;
}

std::string ActiveName(const TDBManager& manager) {
    return manager.Active() ? manager.Active()->Name() : "<none>";
}

TEST(DBManager, CreatingActivatingAndDeletingTables) {
    TDBManager manager;
    EXPECT_EQ(manager.CreateOrActivate("", true), -1);
    EXPECT_EQ(manager.CreateOrActivate("Items", false), 0);
    AddFields(*manager.Active(), {{"n", Integer}});
    AddRow(*manager.Active(), {1});
    EXPECT_EQ(manager.CreateOrActivate("Saved", true), 1);
    AddFields(*manager.Active(), {{"n", Integer}});
    EXPECT_EQ(manager.CreateOrActivate("Other", false), 2);

    // Activating a known table again: kept contents stay when keep is given...
    EXPECT_EQ(manager.CreateOrActivate("ITEMS", true), 0);
    EXPECT_EQ(manager.Active()->RecordCount(), 1);
    // ... and without it the table is emptied, fields included, whatever its own flag.
    EXPECT_EQ(manager.CreateOrActivate("saved", false), 1);
    EXPECT_EQ(manager.Active()->Fields().Count(), 0);
    EXPECT_TRUE(manager.Active()->Keep());

    EXPECT_FALSE(manager.SetActive("missing"));
    EXPECT_EQ(ActiveName(manager), "Saved");
    // Deleting another table keeps the active one by name.
    manager.Delete("items");
    EXPECT_EQ(Names(manager), (std::vector<std::string>{"Saved", "Other"}));
    EXPECT_EQ(manager.ActiveIndex(), 0);
    ASSERT_TRUE(manager.SetActive("other"));
    manager.Delete("OTHER");
    EXPECT_EQ(manager.Active(), nullptr);

    manager.CreateOrActivate("Temp", false);
    manager.DeleteNonKept();
    EXPECT_EQ(Names(manager), (std::vector<std::string>{"Saved"}));
    EXPECT_EQ(manager.Active(), nullptr);
    manager.Clear();
    EXPECT_EQ(manager.Count(), 0);
}

class TwoTables : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"stock", "cart"}) {
            manager_.CreateOrActivate(name, false);
            AddFields(*manager_.Active(), {{"item", String, 10}, {"count", Integer}});
        }
        manager_.SetActive("stock");
        AddRow(stock(), {std::string("apple"), 3});
        AddRow(stock(), {std::string("pear"), 0});
        AddRow(stock(), {std::string("Apple pie"), 1});
        ASSERT_TRUE(stock().SetCurrent(1));
    }
    TDBCustomTable& stock() { return *manager_.Find("stock"); }
    TDBCustomTable& cart() { return *manager_.Find("cart"); }
    TDBManager manager_;
};

TEST_F(TwoTables, DirectAccessLeavesTheActiveTableAlone) {
    const DBSearch apple{{"item"}, {std::string("APPLE")}, true, true};
    manager_.SetActive("cart");
    EXPECT_EQ(manager_.DirectGet("stock", apple, "count", Integer), DBValue(3));
    EXPECT_TRUE(manager_.DirectSet("Stock", apple, "count", std::string("9")));
    EXPECT_EQ(IntAt(stock(), 0, 1), 9);
    EXPECT_EQ(IntAt(stock(), 2, 1), 1);  // only the first record found

    const DBSearch plum{{"item"}, {std::string("plum")}};
    EXPECT_FALSE(manager_.DirectGet("stock", plum, "count", Integer).has_value());
    EXPECT_FALSE(manager_.DirectGet("none", apple, "count", Integer).has_value());
    EXPECT_FALSE(manager_.DirectGet("stock", apple, "price", Integer).has_value());
    EXPECT_FALSE(manager_.DirectSet("stock", plum, "count", 1));
    EXPECT_FALSE(manager_.DirectSet("stock", apple, "price", 1));
    EXPECT_EQ(ActiveName(manager_), "cart");
    EXPECT_EQ(stock().CurrentIndex(), 1);
}

TEST_F(TwoTables, CopyingRecordsToAnotherTable) {
    ASSERT_TRUE(manager_.CreateOrActivate("empty", false) >= 0);
    manager_.SetActive("stock");
    const std::vector<int32_t> found = {2, 0};
    ASSERT_TRUE(manager_.CopyRecordsTo("empty", found));
    const TDBCustomTable& copy = *manager_.Find("empty");
    EXPECT_TRUE(copy.Fields().SameLayout(stock().Fields()));
    EXPECT_EQ(Column(copy, 0), (std::vector<std::string>{"Apple pie", "apple"}));
    // The target is emptied first.
    ASSERT_TRUE(manager_.CopyRecordsTo("empty", std::vector<int32_t>{1}));
    EXPECT_EQ(Column(copy, 0), (std::vector<std::string>{"pear"}));

    EXPECT_FALSE(manager_.CopyRecordsTo("stock", found));  // into itself
    EXPECT_FALSE(manager_.CopyRecordsTo("none", found));
    manager_.Delete("stock");
    EXPECT_FALSE(manager_.CopyRecordsTo("empty", found));  // no active table
}

TEST_F(TwoTables, InsertingATableIntoItselfCopiesWhatItHeldBefore) {
    // Appending grows the record buffer the source records are read from.
    for (int i = 0; i < 40; ++i)
        AddRow(stock(), {std::string("x") + std::to_string(i), i});
    const std::vector<std::string> before = Column(stock(), 0);
    std::vector<int32_t> all(before.size());
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<int32_t>(i);
    ASSERT_TRUE(manager_.InsertRecordsFrom("STOCK", all));
    std::vector<std::string> twice = before;
    twice.insert(twice.end(), before.begin(), before.end());
    EXPECT_EQ(Column(stock(), 0), twice);
}

TEST_F(TwoTables, InsertingAndCopyingNeedTheSameFields) {
    AddRow(cart(), {std::string("plum"), 5});
    ASSERT_TRUE(manager_.InsertRecordsFrom("cart", std::vector<int32_t>{0}));
    EXPECT_EQ(TextAt(stock(), 3, 0), "plum");

    ASSERT_TRUE(manager_.CopyCurrentRecordTo("cart"));
    EXPECT_EQ(Column(cart(), 0), (std::vector<std::string>{"plum", "pear"}));
    EXPECT_EQ(cart().CurrentIndex(), 1);
    ASSERT_TRUE(manager_.CopyCurrentRecordTo("stock"));  // into the active table itself
    EXPECT_EQ(TextAt(stock(), 4, 0), "pear");

    // Field names must agree exactly, and types and sizes too.
    for (auto fields :
         {std::initializer_list<test::FieldSpec>{{"ITEM", String, 10}, {"count", Integer}},
          std::initializer_list<test::FieldSpec>{{"item", String, 11}, {"count", Integer}},
          std::initializer_list<test::FieldSpec>{{"item", String, 10}, {"count", Float}},
          std::initializer_list<test::FieldSpec>{{"item", String, 10}}}) {
        manager_.CreateOrActivate("other", false);
        AddFields(*manager_.Active(), fields);
        AddRow(*manager_.Active(), {std::string("x")});
        manager_.SetActive("stock");
        EXPECT_FALSE(manager_.InsertRecordsFrom("other", std::vector<int32_t>{0}));
        EXPECT_FALSE(manager_.CopyCurrentRecordTo("other"));
    }
    EXPECT_EQ(stock().RecordCount(), 5);
    stock().SetCurrent(-1);
    EXPECT_FALSE(manager_.CopyCurrentRecordTo("cart"));  // no current record
}

// ---- Stream forms ---------------------------------------------------------------------------

// Kept "Status" (all field types, Japanese text, an 80-bit float) and game tables.
void FillForSaving(TDBManager& manager) {
    manager.CreateOrActivate("Status", true);
    TDBCustomTable& status = *manager.Active();
    AddFields(status, {{"name", String, 12}, {"n", Integer}, {"x", Float}, {"b", Boolean}});
    AddRow(status, {Sjis("日本語の名前"), -5, 1 + std::ldexp(Extended{1}, -62), true});
    AddRow(status, {std::string("plain"), 2147483647, Extended{-0.0}, false});
    status.SetCurrent(0);
    manager.CreateOrActivate("Game", false);
    AddFields(*manager.Active(), {{"t", String, 0}});
    manager.CreateOrActivate("Empty", false);
    manager.SetActive("game");
}

std::vector<uint8_t> Saved(const TDBManager& manager, bool kept) {
    ByteWriter writer;
    manager.Save(writer, kept);
    return writer.Take();
}

TEST(DBManagerStream, GameAndStatusFormsRoundTrip) {
    TDBManager original;
    FillForSaving(original);
    const std::vector<uint8_t> status = Saved(original, true);
    const std::vector<uint8_t> game = Saved(original, false);

    // Loading replaces only the tables of the same class.
    TDBManager loaded;
    loaded.CreateOrActivate("Old game", false);
    loaded.CreateOrActivate("Old status", true);
    ByteReader statusReader(status, "status");
    loaded.Load(statusReader, true);
    EXPECT_TRUE(statusReader.AtEnd());
    EXPECT_EQ(Names(loaded), (std::vector<std::string>{"Old game", "Status"}));
    EXPECT_EQ(ActiveName(loaded), "Status");  // the last table read
    ByteReader gameReader(game, "game");
    loaded.Load(gameReader, false);
    EXPECT_TRUE(gameReader.AtEnd());
    EXPECT_EQ(Names(loaded), (std::vector<std::string>{"Status", "Game", "Empty"}));
    EXPECT_EQ(ActiveName(loaded), "Game");  // by the stored name

    EXPECT_EQ(Saved(loaded, true), status);
    EXPECT_EQ(Saved(loaded, false), game);
    const TDBCustomTable& table = *loaded.Find("status");
    EXPECT_TRUE(table.Keep());
    EXPECT_EQ(table.CurrentIndex(), 0);
    EXPECT_EQ(TextAt(table, 0, 0), Sjis("日本語の名前"));
    EXPECT_EQ(table.GetAt(0, 2, Float), DBValue(1 + std::ldexp(Extended{1}, -62)));
    EXPECT_TRUE(std::signbit(std::get<Extended>(table.GetAt(1, 2, Float).value())));
    EXPECT_EQ(IntAt(table, 1, 1), 2147483647);
}

TEST(DBManagerStream, GameFormWithoutActiveTable) {
    TDBManager original;
    FillForSaving(original);
    original.Delete("game");
    original.Delete("empty");
    const std::vector<uint8_t> game = Saved(original, false);
    // Format, no tables, an empty name.
    EXPECT_EQ(game, (std::vector<uint8_t>{100, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    TDBManager loaded;
    loaded.CreateOrActivate("x", false);
    ByteReader reader(game, "game");
    loaded.Load(reader, false);
    EXPECT_EQ(loaded.Count(), 0);
    EXPECT_EQ(loaded.Active(), nullptr);
}

// The status form of one kept table "T" with the fields given as (size, type) and the
// record count and current index given, followed by record bytes.
std::vector<uint8_t> OneTable(std::initializer_list<std::pair<int32_t, uint8_t>> fields,
                              int32_t records, std::vector<uint8_t> recordBytes, int32_t current) {
    ByteWriter w;
    w.WriteI32(100);
    w.WriteI32(1);
    w.WriteU8(0);  // kind
    w.WriteCountedString("T");
    w.WriteU8(1);  // kept
    w.WriteI32(static_cast<int32_t>(fields.size()));
    char name = 'a';
    for (auto [size, type] : fields) {
        w.WriteI32(size);
        w.WriteCountedString(std::string(1, name++));
        w.WriteU8(type);
    }
    w.WriteI32(records);
    w.WriteBytes(recordBytes);
    w.WriteI32(current);
    return w.Take();
}

TEST(DBManagerStream, DamagedStreamsFailAndChangeNothing) {
    TDBManager original;
    FillForSaving(original);
    const std::vector<uint8_t> status = Saved(original, true);

    std::vector<std::pair<std::string, std::vector<uint8_t>>> damaged;
    for (size_t cut = 0; cut < status.size(); ++cut)
        damaged.emplace_back("cut at " + std::to_string(cut),
                             std::vector<uint8_t>(status.begin(), status.begin() + cut));
    std::vector<uint8_t> badKind = status;
    badKind[8] = 1;
    damaged.emplace_back("unknown kind", badKind);
    damaged.emplace_back("negative table count",
                         std::vector<uint8_t>{100, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    damaged.emplace_back("more tables than bytes", std::vector<uint8_t>{100, 0, 0, 0, 0, 0, 0, 1});
    damaged.emplace_back("integer of 5 bytes", OneTable({{5, 1}}, 0, {}, -1));
    damaged.emplace_back("float of 8 bytes", OneTable({{8, 2}}, 0, {}, -1));
    damaged.emplace_back("string without room for its end", OneTable({{0, 4}}, 0, {}, -1));
    damaged.emplace_back("negative string size", OneTable({{-7, 4}}, 0, {}, -1));
    damaged.emplace_back("smallest string size",
                         OneTable({{std::numeric_limits<int32_t>::min(), 4}}, 0, {}, -1));
    damaged.emplace_back("unknown type", OneTable({{4, 7}}, 0, {}, -1));
    damaged.emplace_back("record beyond the size limit",
                         OneTable({{(1 << 23) + 1, 4}, {1 << 23, 4}}, 0, {}, -1));
    damaged.emplace_back("negative record count", OneTable({{4, 1}}, -1, {}, -1));
    damaged.emplace_back("records beyond the bytes",
                         OneTable({{4, 1}}, 3, {1, 0, 0, 0, 2, 0, 0, 0}, -1));
    damaged.emplace_back("too many empty records", OneTable({}, 1 << 30, {}, -1));
    damaged.emplace_back("current beyond the records", OneTable({{1, 3}}, 2, {0, 1}, 2));
    damaged.emplace_back("current below -1", OneTable({{1, 3}}, 2, {0, 1}, -2));

    for (const auto& [label, bytes] : damaged) {
        TDBManager manager;
        manager.CreateOrActivate("Kept", true);
        ByteReader reader(bytes, "save.dat");
        try {
            manager.Load(reader, true);
            ADD_FAILURE() << label;
        } catch (const KivoError& error) {
            EXPECT_EQ(error.File(), "save.dat") << label;
        }
        EXPECT_EQ(Names(manager), (std::vector<std::string>{"Kept"})) << label;
        EXPECT_EQ(ActiveName(manager), "Kept") << label;
    }

    // The same forms are read when they are sound.
    for (const auto& bytes : {OneTable({{1, 3}}, 2, {0, 1}, 1),
                              OneTable({{6, 4}, {4, 1}}, 0, {}, -1), OneTable({}, 3, {}, 2)}) {
        TDBManager manager;
        ByteReader reader(bytes, "save.dat");
        manager.Load(reader, true);
        EXPECT_TRUE(reader.AtEnd());
        EXPECT_EQ(Saved(manager, true), bytes);
    }
}

}  // namespace
}  // namespace kivo
