// Feeds arbitrary bytes to the TGA reader and writes back what it accepts.

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/error.h"
#include "imaging/tga_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    for (bool alphaToMask : {false, true}) {
        try {
            const kivo::TgaPicture picture = kivo::DecodeTga(bytes, "fuzz.tga", alphaToMask);
            if (alphaToMask) (void)kivo::EncodeTga(picture.Bitmap, picture.TransparentValue);
        } catch (const kivo::KivoError&) {
        }
    }
    return 0;
}
