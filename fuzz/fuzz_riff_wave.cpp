// Feeds arbitrary bytes to the RIFF WAVE reader, then decodes what it accepts as PCM: through
// to the end, and again after seeks before, inside and past the data.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/error.h"
#include "media/riff_wave.h"
#include "storage/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        std::vector<uint8_t> bytes(data, data + size);
        auto stream = std::make_unique<kivo::TTpMemoryStream>(std::move(bytes), "fuzz.wav");
        const kivo::RiffWave wave = kivo::ReadRiffWave(*stream);
        if (!wave.IsPcm()) return 0;
        kivo::RiffPcmDecoder decoder(std::move(stream), wave);
        std::vector<uint8_t> buffer(4096);
        for (int i = 0; i < 64 && decoder.Read(buffer.data(), 4096) > 0; ++i) {
        }
        for (const int64_t frame :
             {int64_t{-1}, decoder.FrameCount() / 2, decoder.FrameCount() + 5}) {
            decoder.Seek(frame);
            (void)decoder.Read(buffer.data(), 4096);
            (void)decoder.Position();
        }
    } catch (const kivo::KivoError&) {
    }
    return 0;
}
