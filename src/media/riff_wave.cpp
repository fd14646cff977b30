#include "media/riff_wave.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/byte_io.h"
#include "base/error.h"

namespace kivo {

namespace {

constexpr uint16_t kMaxChannels = 32;
constexpr uint32_t kMaxSampleRate = 768000;
constexpr uint32_t kMaxCodecData = 1 << 16;  // a 16-bit count in the header anyway
// The part of the GUID that follows the tag in an extensible format's sub-format.
constexpr uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

[[noreturn]] void Bad(const TStream& stream, std::string_view what) {
    ThrowBadData(stream.SourceName(), what);
}

void ReadAt(TStream& stream, int64_t offset, uint8_t* into, int64_t count) {
    stream.SetPosition(offset);
    if (stream.Read(into, count) != count) Bad(stream, "WAVE file cut short");
}

void ReadFormatChunk(TStream& stream, int64_t offset, int64_t size, RiffWave& wave) {
    if (size < 16) Bad(stream, "WAVE format header too short");
    uint8_t header[40] = {};
    const int64_t known = std::min<int64_t>(size, sizeof header);
    ReadAt(stream, offset, header, known);
    wave.formatTag = LoadLE16(header);
    wave.channels = LoadLE16(header + 2);
    wave.sampleRate = LoadLE32(header + 4);
    wave.avgBytesPerSec = LoadLE32(header + 8);
    wave.blockAlign = LoadLE16(header + 12);
    wave.bitsPerSample = LoadLE16(header + 14);
    if (wave.channels == 0 || wave.channels > kMaxChannels)
        Bad(stream, "WAVE file with an unplayable number of channels");
    if (wave.sampleRate == 0 || wave.sampleRate > kMaxSampleRate)
        Bad(stream, "WAVE file with an unplayable sample rate");
    wave.codecData.clear();
    if (size < 18) return;
    // The extra bytes counted after the header, cut to the chunk.
    const int64_t extra = std::min<int64_t>({LoadLE16(header + 16), size - 18, kMaxCodecData});
    if (wave.formatTag == kWaveFormatExtensible) {
        if (extra < 22) Bad(stream, "WAVE extensible format header too short");
        // Bits 18..19 hold the valid bits, 20..23 the speaker mask, 24..39 the sub-format GUID
        // whose first two bytes are the coding's tag.
        if (std::memcmp(header + 26, kGuidTail, sizeof kGuidTail) != 0)
            Bad(stream, "WAVE file with an unknown sub-format");
        wave.formatTag = LoadLE16(header + 24);
        return;
    }
    wave.codecData.resize(static_cast<size_t>(extra));
    if (extra > 0) ReadAt(stream, offset + 18, wave.codecData.data(), extra);
}

}  // namespace

bool RiffWave::IsPcm() const {
    if (formatTag == kWaveFormatPcm) {
        return bitsPerSample == 8 || bitsPerSample == 16 || bitsPerSample == 24 ||
               bitsPerSample == 32;
    }
    return formatTag == kWaveFormatFloat && (bitsPerSample == 32 || bitsPerSample == 64);
}

RiffWave ReadRiffWave(TStream& stream) {
    const int64_t size = stream.GetSize();
    uint8_t header[12];
    if (size < 12) Bad(stream, "not a WAVE file");
    ReadAt(stream, 0, header, 12);
    if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0)
        Bad(stream, "not a WAVE file");
    // The RIFF size is often wrong (unfinished recordings, careless writers): the chunks are
    // read to the end of the stream instead.
    RiffWave wave;
    bool haveFormat = false;
    bool haveData = false;
    int64_t at = 12;
    while (at + 8 <= size && !(haveFormat && haveData)) {
        uint8_t chunk[8];
        ReadAt(stream, at, chunk, 8);
        const int64_t length = LoadLE32(chunk + 4);
        const int64_t body = at + 8;
        const int64_t left = size - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !haveFormat) {
            if (length > left) Bad(stream, "WAVE format header cut short");
            ReadFormatChunk(stream, body, length, wave);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0 && !haveData) {
            wave.dataOffset = body;
            wave.dataSize = std::min(length, left);
            haveData = true;
        }
        // Chunks are padded to an even length.
        at = body + length + (length & 1);
    }
    if (!haveFormat) Bad(stream, "WAVE file without a format header");
    if (!haveData) Bad(stream, "WAVE file without sample data");
    if (wave.IsPcm()) {
        wave.dataSize -= wave.dataSize % wave.PcmFrameBytes();
    } else if (wave.blockAlign == 0 && wave.formatTag == kWaveFormatPcm) {
        Bad(stream, "WAVE file with an unplayable sample size");
    }
    return wave;
}

RiffPcmDecoder::RiffPcmDecoder(std::unique_ptr<TStream> stream, const RiffWave& wave)
    : stream_(std::move(stream)), wave_(wave) {
    const uint16_t bits = wave.formatTag == kWaveFormatPcm && wave.bitsPerSample <= 16
                              ? wave.bitsPerSample
                              : uint16_t{16};
    format_ = PcmFormat(wave.channels, wave.sampleRate, bits);
    frameCount_ = wave.dataSize / wave.PcmFrameBytes();
}

int64_t RiffPcmDecoder::Read(uint8_t* out, int64_t count) {
    const int64_t outFrameBytes = format_.blockAlign;
    const int64_t frames = std::min(count / outFrameBytes, frameCount_ - frame_);
    if (frames <= 0) return 0;
    const int64_t sourceFrameBytes = wave_.PcmFrameBytes();
    stream_->SetPosition(wave_.dataOffset + frame_ * sourceFrameBytes);
    if (sourceFrameBytes == outFrameBytes) {
        const int64_t got = stream_->Read(out, frames * outFrameBytes) / outFrameBytes;
        // A read that comes back short (a file cut under us) ends the sound there.
        if (got < frames) frameCount_ = frame_ + got;
        frame_ += got;
        return got * outFrameBytes;
    }
    scratch_.resize(static_cast<size_t>(frames * sourceFrameBytes));
    const int64_t got =
        stream_->Read(scratch_.data(), frames * sourceFrameBytes) / sourceFrameBytes;
    if (got < frames) frameCount_ = frame_ + got;
    Convert(scratch_.data(), reinterpret_cast<int16_t*>(out),
            static_cast<size_t>(got) * wave_.channels);
    frame_ += got;
    return got * outFrameBytes;
}

void RiffPcmDecoder::Convert(const uint8_t* source, int16_t* out, size_t samples) const {
    const int32_t bytes = wave_.bitsPerSample / 8;
    for (size_t i = 0; i < samples; ++i, source += bytes) {
        int32_t value = 0;
        if (wave_.formatTag == kWaveFormatFloat) {
            double x = 0;
            if (bytes == 4) {
                float f;
                std::memcpy(&f, source, 4);
                x = f;
            } else {
                std::memcpy(&x, source, 8);
            }
            // NaN becomes silence; everything else is clipped to full scale.
            value = std::isnan(x)
                        ? 0
                        : static_cast<int32_t>(std::lrint(std::clamp(x, -1.0, 1.0) * 32767.0));
        } else {
            // The top 16 bits of a deeper sample (little-endian, so the last two bytes).
            value = static_cast<int16_t>(LoadLE16(source + bytes - 2));
        }
        out[i] = static_cast<int16_t>(value);
    }
}

void RiffPcmDecoder::Seek(int64_t frame) {
    frame_ = std::clamp<int64_t>(frame, 0, frameCount_);
}

}  // namespace kivo
