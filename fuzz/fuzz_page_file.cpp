// Reads arbitrary bytes as a scenario page. Damaged input must raise KivoError, never crash;
// a page that reads must write back to bytes that read as the same page.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/error.h"
#include "script/page_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kivo::PageFile page;
    try {
        page = kivo::PageFile::Read(std::span(data, size), "fuzz.ksb");
    } catch (const kivo::KivoError&) {
        return 0;
    }
    const std::vector<uint8_t> written = page.Write("fuzz.ksb");
    if (!(kivo::PageFile::Read(written, "fuzz.ksb") == page)) std::abort();
    return 0;
}
