// Feeds arbitrary bytes to the icon and cursor reader, every image it lists.

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/error.h"
#include "imaging/ico_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    try {
        const size_t count = kivo::ListIconImages(bytes, "fuzz.ico").size();
        for (size_t i = 0; i < count && i < 4; ++i) {
            try {
                (void)kivo::DecodeIco(bytes, "fuzz.ico", i);
            } catch (const kivo::KivoError&) {
            }
        }
    } catch (const kivo::KivoError&) {
    }
    return 0;
}
