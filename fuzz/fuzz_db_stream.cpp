// Reads arbitrary bytes as the data tables of a game save (first byte even) or of the status
// data (odd). Damaged input must raise KivoError and leave the tables as they were; tables
// that load must sort and search safely and save to a form that reads again.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/byte_io.h"
#include "base/error.h"
#include "storage/db_manager.h"

namespace {

void Fill(kivo::TDBManager& manager) {
    manager.CreateOrActivate("kept", true);
    manager.Active()->AddField("n", 1, 0);
    manager.CreateOrActivate("game", false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool kept = (data[0] & 1) != 0;
    const std::span<const uint8_t> bytes(data + 1, size - 1);
    kivo::TDBManager manager;
    Fill(manager);
    kivo::ByteReader reader(bytes, "fuzz.dat");
    try {
        manager.Load(reader, kept);
    } catch (const kivo::KivoError& error) {
        if (error.File() != "fuzz.dat" || manager.Count() != 2 || manager.ActiveIndex() != 1 ||
            manager.At(0).Fields().Count() != 1) {
            std::abort();
        }
        return 0;
    }
    for (int32_t t = 0; t < manager.Count(); ++t) {
        kivo::TDBCustomTable& table = manager.At(t);
        const int32_t fields = table.Fields().Count();
        if (fields == 0) continue;
        const kivo::DBSortKey keys[] = {{table.Fields().At(fields - 1).name, (t & 1) != 0},
                                        {table.Fields().At(0).name, false}};
        table.Sort(keys);
        const kivo::DBSearch search{{table.Fields().At(0).name}, {std::string("x")}, true, true};
        (void)table.Search(search);
        for (int32_t r = 0; r < table.RecordCount() && r < 8; ++r) {
            for (int32_t f = 0; f < fields; ++f)
                (void)table.GetAt(r, f, kivo::DBFieldType::String);
        }
    }
    // What was read must save to a form that reads again.
    kivo::ByteWriter writer;
    manager.Save(writer, kept);
    kivo::TDBManager again;
    kivo::ByteReader second(writer.Bytes(), "fuzz.dat");
    again.Load(second, kept);
    if (!second.AtEnd()) std::abort();
    return 0;
}
