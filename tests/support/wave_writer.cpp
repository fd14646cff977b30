#include "support/wave_writer.h"

#include <cmath>
#include <cstring>

namespace kivo::test {

namespace {

void Put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutTag(std::vector<uint8_t>& out, const std::string& tag) {
    out.insert(out.end(), tag.begin(), tag.end());
}

void PutChunk(std::vector<uint8_t>& out, const std::string& tag, const std::vector<uint8_t>& body,
              std::optional<uint32_t> declared = std::nullopt) {
    PutTag(out, tag);
    Put(out, declared.value_or(static_cast<uint32_t>(body.size())), 4);
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2 == 1) out.push_back(0);  // chunks are padded to an even length
}

// The part of the sub-format GUID after the tag.
constexpr uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::vector<uint8_t> FormatBody(const WaveSpec& shape) {
    const auto align = shape.blockAlign.value_or(static_cast<uint16_t>(shape.channels * shape.bits / 8));
    std::vector<uint8_t> body;
    Put(body, shape.extensible ? 0xFFFE : shape.formatTag, 2);
    Put(body, shape.channels, 2);
    Put(body, shape.rate, 4);
    Put(body, shape.avgBytesPerSec.value_or(shape.rate * align), 4);
    Put(body, align, 2);
    Put(body, shape.bits, 2);
    if (shape.extensible) {
        Put(body, 22, 2);
        Put(body, shape.bits, 2);  // valid bits
        Put(body, 0, 4);          // speaker mask
        Put(body, shape.formatTag, 2);
        body.insert(body.end(), std::begin(kGuidTail), std::end(kGuidTail));
    } else if (shape.formatTag != 1 || !shape.codecData.empty()) {
        Put(body, static_cast<uint32_t>(shape.codecData.size()), 2);
        body.insert(body.end(), shape.codecData.begin(), shape.codecData.end());
    }
    return body;
}

}  // namespace

std::vector<uint8_t> WriteWave(const WaveSpec& shape) {
    std::vector<uint8_t> chunks;
    for (const auto& [tag, body] : shape.chunksBefore)
        PutChunk(chunks, tag, body);
    if (shape.dataBeforeFormat) PutChunk(chunks, "data", shape.data, shape.declaredDataSize);
    PutChunk(chunks, "fmt ", FormatBody(shape));
    if (!shape.dataBeforeFormat) PutChunk(chunks, "data", shape.data, shape.declaredDataSize);
    std::vector<uint8_t> out;
    PutTag(out, "RIFF");
    Put(out, static_cast<uint32_t>(chunks.size() + 4), 4);
    PutTag(out, "WAVE");
    out.insert(out.end(), chunks.begin(), chunks.end());
    return out;
}

std::vector<uint8_t> PackSamples(const std::vector<int32_t>& samples, uint16_t bits) {
    std::vector<uint8_t> out;
    for (const int32_t s : samples) {
        if (bits == 8) {
            out.push_back(static_cast<uint8_t>(s + 128));
        } else {
            Put(out, static_cast<uint32_t>(s), bits / 8);
        }
    }
    return out;
}

std::vector<uint8_t> PackFloats(const std::vector<double>& samples, uint16_t bits) {
    std::vector<uint8_t> out;
    for (const double s : samples) {
        uint8_t bytes[8];
        if (bits == 32) {
            const auto f = static_cast<float>(s);
            std::memcpy(bytes, &f, 4);
        } else {
            std::memcpy(bytes, &s, 8);
        }
        out.insert(out.end(), bytes, bytes + bits / 8);
    }
    return out;
}

uint8_t MuLaw(int16_t sample) {
    constexpr int kBias = 0x84;
    constexpr int kClip = 32635;
    int s = sample;
    const int sign = s < 0 ? 0x80 : 0;
    if (s < 0) s = -s;
    if (s > kClip) s = kClip;
    s += kBias;
    int exponent = 7;
    for (int mask = 0x4000; (s & mask) == 0 && exponent > 0; mask >>= 1)
        --exponent;
    const int mantissa = (s >> (exponent + 3)) & 0x0F;
    return static_cast<uint8_t>(~(sign | (exponent << 4) | mantissa));
}

std::vector<int32_t> Sine(size_t frames, uint16_t channels, uint32_t rate, double hz,
                          double amplitude) {
    std::vector<int32_t> out;
    out.reserve(frames * channels);
    constexpr double kTwoPi = 6.283185307179586;
    for (size_t i = 0; i < frames; ++i) {
        const auto s = static_cast<int32_t>(
            std::lround(amplitude * std::sin(kTwoPi * hz * static_cast<double>(i) / rate)));
        for (uint16_t c = 0; c < channels; ++c)
            out.push_back(s);
    }
    return out;
}

}  // namespace kivo::test
