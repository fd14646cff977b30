#pragma once
// Fixture writer for RIFF WAVE files. It lays the chunks out itself, so the reader tests can
// also write what careless or damaged files hold: wrong sizes, chunks in any order, foreign
// chunks, extensible headers, codings other than PCM.
//
//   WaveSpec shape{.channels = 1, .rate = 48000, .bits = 24};
//   shape.data = PackSamples(samples, 24);
//   std::vector<uint8_t> bytes = WriteWave(shape);

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kivo::test {

struct WaveSpec {
    uint16_t formatTag = 1;
    uint16_t channels = 2;
    uint32_t rate = 44100;
    uint16_t bits = 16;
    // Written as WAVE_FORMAT_EXTENSIBLE with formatTag as the sub-format.
    bool extensible = false;
    // Header fields; derived from the above when not set.
    std::optional<uint16_t> blockAlign = {};
    std::optional<uint32_t> avgBytesPerSec = {};
    // Bytes after the count of a non-PCM header (none written when empty and not PCM).
    std::vector<uint8_t> codecData = {};
    // Chunks written before "fmt " (id, body), e.g. "LIST".
    std::vector<std::pair<std::string, std::vector<uint8_t>>> chunksBefore = {};
    std::vector<uint8_t> data = {};
    // The length written in the data chunk's header; the true length when not set.
    std::optional<uint32_t> declaredDataSize = {};
    bool dataBeforeFormat = false;
};

[[nodiscard]] std::vector<uint8_t> WriteWave(const WaveSpec& shape);

// Samples as little-endian bytes of bits each: 8-bit unsigned (value + 128), the others signed.
[[nodiscard]] std::vector<uint8_t> PackSamples(const std::vector<int32_t>& samples, uint16_t bits);
// Floating-point samples of 32 or 64 bits.
[[nodiscard]] std::vector<uint8_t> PackFloats(const std::vector<double>& samples, uint16_t bits);
// G.711 mu-law coding of a 16-bit sample.
[[nodiscard]] uint8_t MuLaw(int16_t sample);
// frames of a sine of hz at rate, every channel alike, peak amplitude (16-bit scale).
[[nodiscard]] std::vector<int32_t> Sine(size_t frames, uint16_t channels, uint32_t rate, double hz,
                                        double amplitude);

}  // namespace kivo::test
