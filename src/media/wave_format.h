#pragma once
// The format record of PCM wave data, laid out as the wave format header of a RIFF file.

#include <cstdint>

namespace kivo {

struct WaveFormat {
    uint16_t formatTag = 0;  // 1 for integer PCM
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
};

// Integer PCM of channels x bits at rate, with the derived fields filled in.
[[nodiscard]] constexpr WaveFormat PcmFormat(uint16_t channels, uint32_t rate, uint16_t bits) {
    const auto align = static_cast<uint16_t>(channels * (bits / 8));
    return {1, channels, rate, rate * align, align, bits};
}

}  // namespace kivo
