// The wave output: block sizes, the format conversions, gain and clipping, the two-block queue,
// the end and position reports, and stopping a running pump.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "media/wav_out.h"
#include "media_fakes.h"
#include "platform/headless/headless_platform.h"
#include "storage/stream.h"

namespace kivo {
namespace {

WaveFormat Format(uint16_t channels, uint32_t rate, uint16_t bits) {
    const auto align = static_cast<uint16_t>(channels * bits / 8);
    return {1, channels, rate, rate * align, align, bits};
}

// Source bytes whose samples all differ, so a misplaced or repeated sample shows.
std::vector<uint8_t> Pattern(size_t bytes, uint16_t bits) {
    std::vector<uint8_t> out(bytes);
    for (size_t i = 0; i < bytes; ++i) {
        out[i] =
            bits == 8 ? static_cast<uint8_t>(i * 7 + 3) : static_cast<uint8_t>(i * 131 + (i >> 9));
    }
    return out;
}

std::vector<uint8_t> Samples16(size_t count, int16_t value) {
    std::vector<uint8_t> out(count * 2);
    for (size_t i = 0; i < count; ++i)
        std::memcpy(&out[i * 2], &value, 2);
    return out;
}

std::vector<int16_t> Render(TWavOut& out, size_t frames) {
    std::vector<int16_t> samples(frames * 2, 12345);
    out.Render(samples.data(), frames, 2);
    return samples;
}

TEST(WaveOutput, BlockSizeComesFromTheDelay) {
    HeadlessClock clock;
    const std::vector<std::pair<int32_t, int32_t>> cases = {
        {500, 88200}, {100, 17640}, {250, 35280}, {900, 88200}, {50, 17640}, {0, 17640}};
    for (const auto& [delay, size] : cases) {
        SCOPED_TRACE(delay);
        EXPECT_EQ(TWavOut(clock, delay, false).BlockSize(), size);
    }
}

TEST(WaveOutput, ConvertsEachFormatTo16BitStereo) {
    struct Case {
        uint16_t channels;
        uint32_t rate;
        uint16_t bits;
    };
    const std::vector<Case> cases = {{2, 44100, 16}, {1, 44100, 16}, {2, 22050, 16}, {2, 44100, 8},
                                     {1, 44100, 8},  {2, 22050, 8},  {1, 22050, 16}, {1, 22050, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.channels << " ch " << c.rate << " Hz " << c.bits << " bit");
        HeadlessClock clock;
        TWavOut out(clock, 100, false);
        ASSERT_TRUE(out.Start());
        const int repeat = c.rate == 22050 ? 2 : 1;
        const size_t frameBytes = size_t{c.channels} * c.bits / 8;
        const size_t blockFrames = 4410;  // 100 ms
        // Two and a half blocks: the second block must start where the first one stopped, and
        // the end of the third is silence.
        const size_t sourceFrames = blockFrames * 5 / 2 / static_cast<size_t>(repeat);
        TTpMemoryStream source(Pattern(sourceFrames * frameBytes, c.bits));
        TWavBuffer* buffer = out.AddBuffer(Format(c.channels, c.rate, c.bits), source);
        buffer->Play();
        const std::vector<int16_t> got = Render(out, blockFrames * 3);
        const std::span<const uint8_t> bytes = source.Bytes();
        auto sample = [&](size_t frame, int channel) -> int16_t {
            const size_t at = frame * frameBytes + static_cast<size_t>(channel) * c.bits / 8;
            if (c.bits == 8) return static_cast<int16_t>((bytes[at] - 128) * 256);
            return static_cast<int16_t>(bytes[at] | bytes[at + 1] << 8);
        };
        for (size_t j = 0; j < blockFrames * 3; ++j) {
            const size_t i = j / static_cast<size_t>(repeat);
            const int16_t left = i < sourceFrames ? sample(i, 0) : 0;
            const int16_t right = i < sourceFrames ? sample(i, c.channels - 1) : 0;
            ASSERT_EQ(got[j * 2], left) << "frame " << j;
            ASSERT_EQ(got[j * 2 + 1], right) << "frame " << j;
        }
    }
}

TEST(WaveOutput, OtherFormatsAndEmptySourcesEndAtOnceInSilence) {
    for (const WaveFormat& format :
         {Format(2, 48000, 16), Format(6, 44100, 16), Format(2, 44100, 24)}) {
        SCOPED_TRACE(testing::Message() << format.channels << " " << format.samplesPerSec << " "
                                        << format.bitsPerSample);
        HeadlessClock clock;
        TWavOut out(clock, 100, false);
        ASSERT_TRUE(out.Start());
        TTpMemoryStream source(Pattern(88200, 16));
        TWavBuffer* buffer = out.AddBuffer(format, source);
        buffer->Play();
        EXPECT_EQ(Render(out, 441), std::vector<int16_t>(882, 0));
        EXPECT_TRUE(buffer->IsEnded());
    }
    HeadlessClock clock;
    TWavOut out(clock, 100, false);
    ASSERT_TRUE(out.Start());
    TTpMemoryStream empty;
    TWavBuffer* buffer = out.AddBuffer(Format(2, 44100, 16), empty);
    buffer->SetLoop(true);
    buffer->Play();
    EXPECT_EQ(Render(out, 441), std::vector<int16_t>(882, 0));
    EXPECT_TRUE(buffer->IsEnded());
}

TEST(WaveOutput, GainAndClipping) {
    struct Case {
        int32_t gainA;
        int16_t a;
        int32_t gainB;  // -1: no second source
        int16_t b;
        int16_t expected;
    };
    const std::vector<Case> cases = {
        {256, -3, -1, 0, -3},
        {255, -3, -1, 0, -3},
        {128, -3, -1, 0, -2},
        {128, 30001, -1, 0, 15000},
        {0, 1000, -1, 0, 0},
        {300, 1000, -1, 0, 1000},
        {256, 30000, 256, 30000, 32767},
        {256, -30000, 256, -30000, -32768},
        {128, 30000, 256, 20000, 32767},
        {128, 20000, 128, -20000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.gainA << " " << c.a << " " << c.gainB << " " << c.b);
        HeadlessClock clock;
        TWavOut out(clock, 100, false);
        ASSERT_TRUE(out.Start());
        TTpMemoryStream first(Samples16(8820, c.a));
        TTpMemoryStream second(Samples16(8820, c.b));
        TWavBuffer* a = out.AddBuffer(Format(2, 44100, 16), first);
        a->SetGain(c.gainA);
        a->Play();
        if (c.gainB >= 0) {
            TWavBuffer* b = out.AddBuffer(Format(2, 44100, 16), second);
            b->SetGain(c.gainB);
            b->Play();
        }
        EXPECT_EQ(Render(out, 100), std::vector<int16_t>(200, c.expected));
    }
}

TEST(WaveOutput, QueuesTwoBlocksAndEndsWhenTheLastOneHasBeenHeard) {
    HeadlessClock clock(1000);
    TWavOut out(clock, 100, false);
    ASSERT_TRUE(out.Start());
    TTpMemoryStream source(Samples16(2 * 4410 * 5 / 2, 7));  // 250 ms
    TWavBuffer* buffer = out.AddBuffer(Format(2, 44100, 16), source);
    buffer->Play();
    // Frames of 10 ms, as the headless sink pulls them: the third block is mixed at 1110,
    // when the first has been played; it is heard by 1310 and the end is reported after 1320.
    int32_t endedAt = -1;
    size_t sounding = 0;
    for (int step = 1; step <= 60 && endedAt < 0; ++step) {
        clock.Advance(10);
        for (const int16_t s : Render(out, 441))
            sounding += s == 7 ? 1 : 0;
        EXPECT_LE(out.QueuedBlocks(), 2u);
        if (buffer->IsEnded()) endedAt = static_cast<int32_t>(clock.NowMs());
    }
    EXPECT_EQ(endedAt, 1330);
    EXPECT_EQ(sounding, 2u * 4410 * 5 / 2);
}

TEST(WaveOutput, PositionsAre64BitAndWholeFrames) {
    HeadlessClock clock(5000);
    TWavOut out(clock, 100, false);
    ASSERT_TRUE(out.Start());
    {
        // 30 s of CD-quality sound: bytes x 1000 is far past 2^31.
        TTpMemoryStream source(std::vector<uint8_t>(size_t{176400} * 30));
        TWavBuffer* buffer = out.AddBuffer(Format(2, 44100, 16), source);
        buffer->SetBytePosition(3528002);
        EXPECT_EQ(buffer->GetBytePosition(), 3528000);
        buffer->Play();
        (void)Render(out, 1);  // two blocks of 17640 bytes are mixed at 5000
        EXPECT_EQ(buffer->GetBytePosition(), 3528000 + 35280 - 17640);
        clock.Advance(50);
        EXPECT_EQ(buffer->GetBytePosition(), 3528000 + 35280 - 17640 + 8820);
        clock.Advance(151);  // more than two delays since the mix: the read position
        EXPECT_EQ(buffer->GetBytePosition(), 3528000 + 35280);
        out.RemoveBuffer(buffer);
    }
    {
        // Mono 16-bit at 22050 Hz, 44100 bytes a second: two blocks are 8820 bytes, and 33 ms
        // are 1455.3 bytes, floored to the 2-byte frame.
        TWavOut mono(clock, 100, false);
        ASSERT_TRUE(mono.Start());
        TTpMemoryStream source(std::vector<uint8_t>(44100));
        TWavBuffer* buffer = mono.AddBuffer(Format(1, 22050, 16), source);
        buffer->Play();
        (void)Render(mono, 1);
        clock.Advance(33);
        EXPECT_EQ(buffer->GetBytePosition(), 8820 - 4410 + 1454);
    }
}

TEST(WaveOutput, PlayAfterTheEndAndLooping) {
    HeadlessClock clock;
    TWavOut out(clock, 100, false);
    ASSERT_TRUE(out.Start());
    TTpMemoryStream once(Samples16(8820, 5));  // exactly one block
    TWavBuffer* buffer = out.AddBuffer(Format(2, 44100, 16), once);
    buffer->Play();
    (void)Render(out, 4410);
    clock.Advance(1000);
    EXPECT_TRUE(buffer->IsEnded());
    // Played again without a new position: nothing is added and it is ended again.
    buffer->Play();
    EXPECT_EQ(Render(out, 441), std::vector<int16_t>(882, 0));
    EXPECT_TRUE(buffer->IsEnded());
    // From a new position it plays again.
    buffer->SetBytePosition(0);
    buffer->Play();
    EXPECT_EQ(Render(out, 441), std::vector<int16_t>(882, 5));
    out.RemoveBuffer(buffer);
    (void)Render(out, 4410);

    // A looping source of a block and a half goes on from its start and never ends, also when
    // a block ends exactly at its end (the third one here).
    std::vector<uint8_t> ramp;
    for (int i = 0; i < 6615; ++i) {
        const std::vector<uint8_t> frame = Samples16(2, static_cast<int16_t>(i));
        ramp.insert(ramp.end(), frame.begin(), frame.end());
    }
    TTpMemoryStream looped(ramp);
    TWavBuffer* loop = out.AddBuffer(Format(2, 44100, 16), looped);
    loop->SetLoop(true);
    loop->Play();
    const std::vector<int16_t> got = Render(out, 4410 * 4);
    for (size_t j = 0; j < 4410 * 4; ++j)
        ASSERT_EQ(got[j * 2], static_cast<int16_t>(j % 6615)) << j;
    clock.Advance(5000);
    EXPECT_FALSE(loop->IsEnded());
}

TEST(WaveOutput, ClosedOutputPlaysNothingAndReportsEnded) {
    HeadlessClock clock;
    TWavOut out(clock, 100, false);
    TTpMemoryStream source(Samples16(8820, 5));
    TWavBuffer* buffer = out.AddBuffer(Format(2, 44100, 16), source);
    buffer->Play();
    EXPECT_EQ(Render(out, 441), std::vector<int16_t>(882, 0));
    EXPECT_TRUE(buffer->IsEnded());
    ASSERT_TRUE(out.Start());
    EXPECT_FALSE(out.Start());
}

TEST(WaveOutput, StopJoinsARunningPump) {
    test::SteppingClock clock;
    clock.FreeRun();  // the pump thread runs as fast as it can
    TWavOut out(clock, 100, true);
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(out.Start());
        TTpMemoryStream source(Samples16(88200, 9));
        TWavBuffer* buffer = out.AddBuffer(Format(2, 44100, 16), source);
        buffer->SetLoop(true);
        buffer->Play();
        bool heard = false;
        for (int i = 0; i < 5000 && !heard; ++i) {
            heard = Render(out, 64)[0] == 9;
            if (!heard) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_TRUE(heard);
        out.Stop();
        EXPECT_FALSE(out.IsOpen());
        EXPECT_EQ(out.QueuedBlocks(), 0u);
    }
}

}  // namespace
}  // namespace kivo
