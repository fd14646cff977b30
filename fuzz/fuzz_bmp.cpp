// Feeds arbitrary bytes to the BMP reader, as a file and as an icon's bitmap.

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/error.h"
#include "imaging/bmp_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    try {
        const kivo::TDIBSurface bitmap = kivo::DecodeBmp(bytes, "fuzz.bmp");
        (void)kivo::EncodeBmp(bitmap);
    } catch (const kivo::KivoError&) {
    }
    try {
        (void)kivo::DecodeDib(bytes, "fuzz.dib", 2);
    } catch (const kivo::KivoError&) {
    }
    return 0;
}
