// The RIFF WAVE reader: every PCM depth and layout read to the samples the mix takes, the
// chunk layouts careless writers leave, seeking, and damaged files that must fail cleanly.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "base/error.h"
#include "media/riff_wave.h"
#include "storage/stream.h"
#include "support/wave_writer.h"

namespace kivo {
namespace {

using test::PackFloats;
using test::PackSamples;
using test::WaveSpec;
using test::WriteWave;

std::unique_ptr<TStream> StreamOf(const std::vector<uint8_t>& bytes) {
    return std::make_unique<TTpMemoryStream>(bytes, "se.wav");
}

std::vector<uint8_t> ReadAll(SoundDecoder& decoder, int64_t chunk = 4096) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> buffer(static_cast<size_t>(chunk));
    for (int64_t got; (got = decoder.Read(buffer.data(), chunk)) > 0;)
        out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    return out;
}

std::vector<int16_t> As16(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

std::unique_ptr<RiffPcmDecoder> Open(const std::vector<uint8_t>& file) {
    auto stream = StreamOf(file);
    const RiffWave wave = ReadRiffWave(*stream);
    EXPECT_TRUE(wave.IsPcm());
    return std::make_unique<RiffPcmDecoder>(std::move(stream), wave);
}

TEST(RiffWave, EveryPcmDepthBecomesTheSamplesTheMixTakes) {
    // Deeper samples keep their top 16 bits; floating point is scaled by 32767 and clipped.
    const std::vector<int32_t> values24 = {0x7FFFFF, -0x800000, 0x123456, -0x000101, 0};
    const std::vector<int32_t> values32 = {0x7FFFFFFF, INT32_MIN, 0x12345678, -0x10001, 0};
    const std::vector<double> floats = {1.0, -1.0, 0.5, 2.0, -3.0, NAN};
    struct Case {
        const char* name;
        WaveSpec shape;
        std::vector<int16_t> expected16;   // for 16-bit output
        std::vector<uint8_t> expected8;    // for 8-bit output
    };
    std::vector<Case> cases = {
        {"8-bit stays 8-bit", {.channels = 1, .bits = 8, .data = PackSamples({-128, 0, 127}, 8)},
         {}, {0, 128, 255}},
        {"16-bit", {.channels = 2, .bits = 16, .data = PackSamples({-32768, 32767, 5, -5}, 16)},
         {-32768, 32767, 5, -5}, {}},
        {"24-bit", {.channels = 1, .bits = 24, .data = PackSamples(values24, 24)},
         {32767, -32768, 0x1234, -2, 0}, {}},
        {"32-bit", {.channels = 1, .bits = 32, .data = PackSamples(values32, 32)},
         {32767, -32768, 0x1234, -2, 0}, {}},
        {"float", {.formatTag = 3, .channels = 2, .bits = 32, .data = PackFloats(floats, 32)},
         {32767, -32767, 16384, 32767, -32767, 0}, {}},
        {"double", {.formatTag = 3, .channels = 2, .bits = 64, .data = PackFloats(floats, 64)},
         {32767, -32767, 16384, 32767, -32767, 0}, {}},
        {"extensible 24-bit",
         {.channels = 1, .bits = 24, .extensible = true, .data = PackSamples(values24, 24)},
         {32767, -32768, 0x1234, -2, 0}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto decoder = Open(WriteWave(c.shape));
        const WaveFormat& format = decoder->Format();
        EXPECT_EQ(format.formatTag, 1);
        EXPECT_EQ(format.channels, c.shape.channels);
        EXPECT_EQ(format.samplesPerSec, c.shape.rate);
        const std::vector<uint8_t> got = ReadAll(*decoder, 6 * format.blockAlign);
        if (c.expected8.empty()) {
            EXPECT_EQ(format.bitsPerSample, 16);
            EXPECT_EQ(As16(got), c.expected16);
        } else {
            EXPECT_EQ(format.bitsPerSample, 8);
            EXPECT_EQ(got, c.expected8);
        }
        EXPECT_EQ(decoder->FrameCount() * format.blockAlign, static_cast<int64_t>(got.size()));
    }
}

TEST(RiffWave, ChunkLayoutsOfCarelessWriters) {
    const std::vector<uint8_t> samples = PackSamples({1, 2, 3, 4, 5, 6}, 16);
    struct Case {
        const char* name;
        WaveSpec shape;
        std::vector<int16_t> expected;
    };
    const std::vector<Case> cases = {
        // An odd-length chunk is padded, so the next chunk starts one byte later.
        {"odd chunk first", {.chunksBefore = {{"LIST", {1, 2, 3}}}, .data = samples},
         {1, 2, 3, 4, 5, 6}},
        {"data first", {.data = samples, .dataBeforeFormat = true}, {1, 2, 3, 4, 5, 6}},
        // Unfinished recordings declare no length or a wrong one: the data run to the end.
        {"data longer than the file", {.data = samples, .declaredDataSize = 0xFFFFFFFF},
         {1, 2, 3, 4, 5, 6}},
        // A partial frame at the end is not played.
        {"partial frame", {.data = PackSamples({1, 2, 3, 4, 5}, 16)}, {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto decoder = Open(WriteWave(c.shape));
        EXPECT_EQ(As16(ReadAll(*decoder)), c.expected);
    }
}

TEST(RiffWave, SeeksByFrameAndStopsWhereTheDataRunOut) {
    std::vector<int32_t> ramp;
    for (int i = 0; i < 100; ++i)
        ramp.push_back(i);
    auto decoder = Open(WriteWave({.channels = 1, .data = PackSamples(ramp, 16)}));
    decoder->Seek(90);
    EXPECT_EQ(decoder->Position(), 90);
    EXPECT_EQ(As16(ReadAll(*decoder)), std::vector<int16_t>({90, 91, 92, 93, 94, 95, 96, 97, 98, 99}));
    decoder->Seek(1000);
    EXPECT_EQ(decoder->Position(), 100);
    uint8_t buffer[8];
    EXPECT_EQ(decoder->Read(buffer, sizeof buffer), 0);
    // A count below one frame reads nothing rather than half a frame.
    decoder->Seek(0);
    EXPECT_EQ(decoder->Read(buffer, 1), 0);
}

// A stream that stops giving bytes after limit, as a file cut while it is read.
class CutStream final : public TStream {
  public:
    CutStream(std::vector<uint8_t> bytes, int64_t limit) : inner_(std::move(bytes)), limit_(limit) {}
    [[nodiscard]] int64_t GetSize() const override { return inner_.GetSize(); }
    [[nodiscard]] int64_t GetPosition() const override { return inner_.GetPosition(); }
    void SetPosition(int64_t pos) override { inner_.SetPosition(pos); }
    [[nodiscard]] int64_t Read(void* buffer, int64_t count) override {
        const int64_t allowed = std::max<int64_t>(0, limit_ - inner_.GetPosition());
        return inner_.Read(buffer, std::min(count, allowed));
    }
    int64_t Write(const void*, int64_t) override { return 0; }

  private:
    TTpMemoryStream inner_;
    int64_t limit_;
};

TEST(RiffWave, AShortReadEndsTheSound) {
    std::vector<int32_t> ramp(1000, 7);
    const std::vector<uint8_t> file = WriteWave({.channels = 1, .data = PackSamples(ramp, 16)});
    auto stream = std::make_unique<CutStream>(file, 44 + 200);  // the header and 100 frames
    const RiffWave wave = ReadRiffWave(*stream);
    RiffPcmDecoder decoder(std::move(stream), wave);
    EXPECT_EQ(decoder.FrameCount(), 1000);
    EXPECT_EQ(ReadAll(decoder, 64).size(), 200u);
    EXPECT_EQ(decoder.FrameCount(), 100);
}

TEST(RiffWave, DamagedFilesFailNamingTheFile) {
    const std::vector<uint8_t> good = WriteWave({.data = PackSamples({0, 0}, 16)});
    const auto patched = [&](size_t at, std::vector<uint8_t> bytes) {
        std::vector<uint8_t> out = good;
        std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<ptrdiff_t>(at));
        return out;
    };
    // Offsets: 0 "RIFF", 8 "WAVE", 12 "fmt ", 16 its length, 20 the tag, 22 channels, 24 rate.
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
        {"empty", {}},
        {"not RIFF", patched(0, {'R', 'I', 'F', 'X'})},
        {"not WAVE", patched(8, {'A', 'V', 'I', ' '})},
        {"format too short", patched(16, {8, 0, 0, 0})},
        {"format past the end", patched(16, {0xF0, 0xFF, 0, 0})},
        {"no format", patched(12, {'j', 'u', 'n', 'k'})},
        {"no data", std::vector<uint8_t>(good.begin(), good.begin() + 36)},
        {"no channels", patched(22, {0, 0})},
        {"33 channels", patched(22, {33, 0})},
        {"rate 0", patched(24, {0, 0, 0, 0})},
        {"rate 4 GHz", patched(24, {0, 0, 0, 0xF0})},
        {"extensible, short", WriteWave({.formatTag = 0xFFFE})},
        {"extensible, unknown GUID",
         [] {
             std::vector<uint8_t> out = WriteWave({.extensible = true, .data = {0, 0, 0, 0}});
             out[12 + 8 + 24 + 4] ^= 0xFF;  // a byte of the GUID's tail
             return out;
         }()},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        TTpMemoryStream stream(bytes, "bad.wav");
        try {
            (void)ReadRiffWave(stream);
            ADD_FAILURE() << "no error";
        } catch (const KivoError& error) {
            EXPECT_EQ(error.File(), "bad.wav");
        }
    }
}

TEST(RiffWave, OtherCodingsAreLeftToTheCodecLibrary) {
    TTpMemoryStream mulaw(WriteWave({.formatTag = 7, .channels = 1, .rate = 8000, .bits = 8,
                                     .data = {0xFF, 0x7F}}),
                          "law.wav");
    const RiffWave wave = ReadRiffWave(mulaw);
    EXPECT_FALSE(wave.IsPcm());
    EXPECT_EQ(wave.formatTag, 7);
    EXPECT_EQ(wave.dataSize, 2);
    TTpMemoryStream oddDepth(WriteWave({.bits = 12, .blockAlign = 4}), "odd.wav");
    EXPECT_FALSE(ReadRiffWave(oddDepth).IsPcm());
}

}  // namespace
}  // namespace kivo
