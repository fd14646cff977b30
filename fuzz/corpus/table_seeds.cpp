// Seeds of the data-table targets: the saved tables of a game and of the status data (one of
// each field type, Shift-JIS names and texts, a table without fields), and tab-separated files
// with typed headers, escapes, double-byte text and every kind of line end.

#include <string>

#include "base/byte_io.h"
#include "corpus_seeds.h"
#include "storage/db_manager.h"

namespace kivo::corpus {

namespace {

void FillTables(TDBManager& tables) {
    tables.CreateOrActivate("\x83\x66\x81\x5B\x83\x5E", true);  // "データ"
    TDBCustomTable& kept = *tables.Active();
    (void)kept.AddField("n", 1, 0);
    (void)kept.AddField("x", 2, 0);
    (void)kept.AddField("b", 3, 0);
    (void)kept.AddField("s", 4, 6);
    for (int32_t i = 0; i < 3; ++i) {
        (void)kept.AddRecord();
        (void)kept.Set("n", DBValue{i * 7 - 3});
        (void)kept.Set("x", DBValue{static_cast<Extended>(i) / 3});
        (void)kept.Set("b", DBValue{i % 2 == 0});
        (void)kept.Set("s", DBValue{std::string("\x82\xa0\x82\xa2") + std::to_string(i)});
    }
    tables.CreateOrActivate("empty", false);
    tables.CreateOrActivate("game", false);
    (void)tables.Active()->AddField("name", 4, 80);
    (void)tables.Active()->AddRecord();
    (void)tables.Active()->Set("name", DBValue{std::string("Ann")});
}

}  // namespace

void DBStreamSeeds(SeedFolder& seeds) {
    TDBManager tables;
    FillTables(tables);
    for (const bool kept : {false, true}) {
        ByteWriter writer;
        tables.Save(writer, kept);
        seeds.AddSelected(kept ? "status" : "game", kept ? 1 : 0, writer.Bytes());
    }
}

void DBTsvSeeds(SeedFolder& seeds) {
    seeds.AddText("typed",
                  "name\tscore int\trate float\tflag bool\tmemo string 12\r\n"
                  "Ann\t12\t1.5\tTRUE\tfirst\\tline\\nsecond\r\n"
                  "Bob\t-7\t2.5E3\tFALSE\t\\\"quoted\\\" \\\\ back\r\n"
                  "\r\n"
                  "Cid\t\t\t\t\r\n");
    seeds.AddText("double-byte",
                  "\x96\xbc\x91\x4f\tn int\n\x95\x5c\x5c\t1\n\x83\x5c\x83\x74\x83\x67\t2");
    seeds.AddText("line-ends", "a\tb 4\rx\ty\r\nz\tw\n");
}

}  // namespace kivo::corpus
