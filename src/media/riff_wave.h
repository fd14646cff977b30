#pragma once
// RIFF WAVE files: the reader that finds the format and the sample data, and the decoder of
// integer and floating-point PCM. Other codings (ADPCM, compressed formats in a WAVE file) are
// decoded by the media backend from the same description.

#include <cstdint>
#include <memory>
#include <vector>

#include "media/sound_decoder.h"

namespace kivo {

inline constexpr uint16_t kWaveFormatPcm = 0x0001;
inline constexpr uint16_t kWaveFormatFloat = 0x0003;
inline constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

struct RiffWave {
    // The coding: the format tag, or for an extensible format the tag its sub-format names.
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;      // bits of each stored sample (the container's)
    std::vector<uint8_t> codecData;  // the bytes that follow a non-PCM format header
    int64_t dataOffset = 0;          // where the sample data start in the stream
    int64_t dataSize = 0;            // their length, cut to what the stream holds

    // Integer PCM of 8, 16, 24 or 32 bits, or floating point of 32 or 64 bits.
    [[nodiscard]] bool IsPcm() const;
    // Bytes of one frame of PCM data.
    [[nodiscard]] int32_t PcmFrameBytes() const { return channels * (bitsPerSample / 8); }
};

// Reads the chunks of a RIFF WAVE stream: "fmt " and "data" in any order, others skipped.
// Raises KivoError naming the stream's file when it is not a WAVE file or its format header
// is damaged. A data chunk longer than the file (an unfinished recording) is cut to the file.
[[nodiscard]] RiffWave ReadRiffWave(TStream& stream);

// Plays the PCM of a WAVE file: 8- and 16-bit data as they are, deeper and floating-point
// data as 16 bits.
class RiffPcmDecoder final : public SoundDecoder {
  public:
    // wave must describe PCM (IsPcm) read from stream.
    RiffPcmDecoder(std::unique_ptr<TStream> stream, const RiffWave& wave);

    [[nodiscard]] const WaveFormat& Format() const override { return format_; }
    [[nodiscard]] int64_t Read(uint8_t* out, int64_t count) override;
    void Seek(int64_t frame) override;
    [[nodiscard]] int64_t Position() const override { return frame_; }
    [[nodiscard]] int64_t FrameCount() const override { return frameCount_; }

  private:
    void Convert(const uint8_t* source, int16_t* out, size_t samples) const;

    std::unique_ptr<TStream> stream_;
    RiffWave wave_;
    WaveFormat format_;
    int64_t frameCount_ = 0;
    int64_t frame_ = 0;
    std::vector<uint8_t> scratch_;  // source frames of deep or floating-point data
};

}  // namespace kivo
