// Feeds arbitrary bytes to the reader of Windows programs' resource directories, and reads
// the archive of a program whose "DUMMY" resource ends in "vf": every input must either read
// or raise KivoError, and a resource found must lie inside the input.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "base/error.h"
#include "storage/pe_resources.h"
#include "storage/vr_file_collection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    try {
        kivo::TTpBigMemoryStream program(bytes, "fuzz.exe");
        const std::optional<kivo::PeResourceLocation> found =
            kivo::FindPeResource(program, "BINTYPE", "DUMMY", "fuzz.exe");
        if (!found) return 0;
        if (found->offset < 0 || found->size < 0 ||
            found->offset + found->size > static_cast<int64_t>(size))
            std::abort();
        if (found->size < 2 || data[found->offset + found->size - 2] != 'v' ||
            data[found->offset + found->size - 1] != 'f')
            return 0;
        std::vector<uint8_t> resource(data + found->offset, data + found->offset + found->size);
        kivo::TVrFileCollection archive;
        archive.OpenStream(std::make_unique<kivo::TTpBigMemoryStream>(resource, "fuzz.exe"),
                           "fuzz.exe");
        for (const kivo::TVrFile* entry : archive.Files()) {
            try {
                (void)archive.ReadEntry(*entry);
            } catch (const kivo::KivoError&) {
            }
        }
    } catch (const kivo::KivoError&) {
    }
    return 0;
}
