// Loads arbitrary bytes as a tab-separated data table. A file that cannot be loaded must raise
// KivoError naming it and leave the table empty; a table that loads must sort, search and
// save to a stream that reads back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/byte_io.h"
#include "base/error.h"
#include "storage/db_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    kivo::TDBTable table("fuzz", false);
    try {
        table.LoadTsv(text, "fuzz.tsv");
    } catch (const kivo::KivoError& error) {
        if (error.File() != "fuzz.tsv" || table.Fields().Count() != 0 || table.RecordCount() != 0) {
            std::abort();
        }
        return 0;
    }
    // Tables near the size limit only cost time here.
    if (int64_t{table.RecordCount()} * table.Fields().RecordSize() > (1 << 24)) return 0;
    const int32_t fields = table.Fields().Count();
    if (fields > 0) {
        const std::string& first = table.Fields().At(0).name;
        const std::string& last = table.Fields().At(fields - 1).name;
        const kivo::DBSortKey keys[] = {{last, true}, {first, false}};
        table.Sort(keys);
        const kivo::DBSearch search{{first}, {std::string("a")}, true, true};
        for (int32_t record : table.Search(search)) {
            if (record < 0 || record >= table.RecordCount()) std::abort();
        }
    }
    for (int32_t r = 0; r < table.RecordCount() && r < 8; ++r) {
        for (int32_t f = 0; f < fields; ++f)
            (void)table.GetAt(r, f, kivo::DBFieldType::String);
    }
    kivo::ByteWriter writer;
    table.Save(writer);
    kivo::ByteReader reader(writer.Bytes(), "fuzz.dat");
    const auto again = kivo::TDBTable::Load(reader);
    kivo::ByteWriter second;
    again->Save(second);
    if (second.Bytes() != writer.Bytes()) std::abort();
    return 0;
}
