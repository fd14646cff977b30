// Feeds arbitrary bytes to the archive reader and the installation record reader: every
// input must either read or raise KivoError, never crash or read out of bounds.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/error.h"
#include "storage/install_data.h"
#include "storage/vr_file_collection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    try {
        kivo::TVrFileCollection archive;
        archive.OpenStream(std::make_unique<kivo::TTpBigMemoryStream>(bytes, "fuzz.dat"),
                           "fuzz.dat");
        for (const kivo::TVrFile* entry : archive.Files()) {
            try {
                (void)archive.ReadEntry(*entry);
                if (auto range = archive.OpenEntryRange(entry->Name())) {
                    uint8_t buffer[64];
                    range->SetPosition(range->GetSize() / 2);
                    (void)range->Read(buffer, sizeof buffer);
                }
            } catch (const kivo::KivoError&) {
            }
        }
    } catch (const kivo::KivoError&) {
    }
    try {
        kivo::TTpMemoryStream stream(bytes, "install.dat");
        (void)kivo::TInstallData::Read(stream);
    } catch (const kivo::KivoError&) {
    }
    return 0;
}
