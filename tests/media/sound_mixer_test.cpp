// The mixer of the library's voices: exact samples with gain and pan, positions, ends, seeks,
// loops, sounds that cannot be decoded, other sources, and the decoding thread.

#include <gtest/gtest.h>

#include <thread>

#include "media/sound_mixer.h"
#include "media_fakes.h"

namespace kivo {
namespace {

using test::MemoryDecoder;
using test::Ramp;

std::vector<int16_t> Render(TSoundMixer& mixer, size_t frames) {
    std::vector<int16_t> out(frames * 2, 999);
    mixer.Render(out.data(), frames, 2);
    return out;
}

std::shared_ptr<TSoundVoice> PlayRamp(TSoundMixer& mixer, size_t frames, MemoryDecoder** decoder = nullptr) {
    auto owned = std::make_unique<MemoryDecoder>(Ramp(frames));
    if (decoder) *decoder = owned.get();
    auto voice = mixer.AddVoice(std::move(owned));
    voice->Play();
    return voice;
}

TEST(SoundMixer, AttenuationsAndPansBecomeChannelGains) {
    struct Case {
        int32_t volume;
        int32_t pan;
        ChannelGains expected;
    };
    // 10^(-600 / 2000) x 16384 = 8211.5; a pan attenuates the other side by its amount.
    const std::vector<Case> cases = {
        {0, 0, {16384, 16384}},     {-600, 0, {8211, 8211}},  {0, 600, {8211, 16384}},
        {0, -600, {16384, 8211}},   {-600, 600, {4115, 8211}}, {0, 10000, {0, 16384}},
        {-10000, 0, {0, 0}},        {-20000, 0, {0, 0}},       {500, 0, {16384, 16384}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.volume << " " << c.pan);
        const ChannelGains gains = AttenuationGains(c.volume, c.pan);
        EXPECT_NEAR(gains.left, c.expected.left, 1);
        EXPECT_NEAR(gains.right, c.expected.right, 1);
    }
}

TEST(SoundMixer, VoicesAddWithTheirGainsAndOtherSourcesFollow) {
    TSoundMixer mixer(44100, nullptr);
    auto plain = PlayRamp(mixer, 5000);
    auto quiet = PlayRamp(mixer, 5000);
    const ChannelGains gains = AttenuationGains(-600, 3000);
    quiet->SetGains(gains);
    class Constant final : public AudioSource {
      public:
        void Render(int16_t* out, size_t frames, int32_t) override {
            std::fill_n(out, frames * 2, int16_t{30000});
        }
    } constant;
    mixer.AddSource(constant);
    const std::vector<int16_t> got = Render(mixer, 3000);  // several chunks of the mix
    for (size_t i = 0; i < 3000; ++i) {
        const int16_t left = static_cast<int16_t>(i);
        const int16_t right = static_cast<int16_t>(-static_cast<int32_t>(i));
        ASSERT_EQ(got[2 * i], SaturateSample(SaturateSample(left + ScaleSample(left, gains.left)) + 30000)) << i;
        ASSERT_EQ(got[2 * i + 1],
                  SaturateSample(SaturateSample(right + ScaleSample(right, gains.right)) + 30000))
            << i;
    }
    mixer.RemoveSource(constant);
    mixer.RemoveVoice(quiet);
    EXPECT_EQ(mixer.VoiceCount(), 1u);
    EXPECT_EQ(Render(mixer, 1)[0], 3000);
}

// Skipping ahead (fast-forward on a device that pulls in real time): every chunk heard is
// preceded by three that are mixed and dropped, so voices and ordinary sources move four
// chunks, while a source that keeps its own rate is rendered only for the chunk heard.
TEST(SoundMixer, SkippedChunksLeaveOutSourcesThatKeepTheirOwnRate) {
    TSoundMixer mixer(44100, nullptr);
    auto voice = PlayRamp(mixer, 100000);
    class Counting final : public AudioSource {
      public:
        void Render(int16_t* out, size_t count, int32_t) override {
            std::fill_n(out, count * 2, int16_t{0});
            frames += count;
        }
        size_t frames = 0;
    } skips, ownRate;
    mixer.AddSource(skips);
    mixer.AddSource(ownRate, TSoundMixer::SourcePace::OwnRate);
    const size_t chunk = TSoundMixer::kChunkFrames;
    (void)Render(mixer, chunk);
    EXPECT_EQ(skips.frames, chunk);
    EXPECT_EQ(ownRate.frames, chunk);
    mixer.SetSkipAhead(3);
    const std::vector<int16_t> heard = Render(mixer, 2 * chunk);
    EXPECT_EQ(skips.frames, 9 * chunk);
    EXPECT_EQ(ownRate.frames, 3 * chunk);
    // The voice heard jumps over the three chunks skipped before each chunk heard.
    EXPECT_EQ(heard[0], static_cast<int16_t>(4 * chunk));
    EXPECT_EQ(heard[2 * chunk], static_cast<int16_t>(8 * chunk));
    mixer.SetSkipAhead(0);
    (void)Render(mixer, chunk);
    EXPECT_EQ(skips.frames, 10 * chunk);
    EXPECT_EQ(ownRate.frames, 4 * chunk);
    mixer.RemoveSource(skips);
    mixer.RemoveSource(ownRate);
}

TEST(SoundMixer, PositionsEndsAndPlayingAgain) {
    TSoundMixer mixer(44100, nullptr);
    auto voice = PlayRamp(mixer, 1000);
    EXPECT_EQ(voice->Length(), 1000);
    (void)Render(mixer, 600);
    EXPECT_EQ(voice->Position(), 600);
    EXPECT_TRUE(voice->IsPlaying());
    EXPECT_FALSE(voice->IsEnd());
    const std::vector<int16_t> tail = Render(mixer, 600);
    EXPECT_EQ(tail[2 * 399], 999);
    EXPECT_EQ(tail[2 * 400], 0);  // silence after the last frame
    EXPECT_TRUE(voice->IsEnd());
    EXPECT_FALSE(voice->IsPlaying());
    EXPECT_EQ(voice->Position(), 1000);
    // Playing an ended sound starts it again.
    voice->Play();
    EXPECT_FALSE(voice->IsEnd());
    EXPECT_EQ(Render(mixer, 3), std::vector<int16_t>({0, 0, 1, -1, 2, -2}));
}

TEST(SoundMixer, SeeksPausesAndLoops) {
    TSoundMixer mixer(44100, nullptr);
    auto voice = PlayRamp(mixer, 1000);
    (void)Render(mixer, 100);
    voice->SetPosition(500);
    EXPECT_EQ(voice->Position(), 500);
    EXPECT_EQ(Render(mixer, 2), std::vector<int16_t>({500, -500, 501, -501}));
    voice->Pause();
    EXPECT_TRUE(voice->IsPaused());
    EXPECT_FALSE(voice->IsPlaying());
    EXPECT_EQ(Render(mixer, 2), std::vector<int16_t>(4, 0));
    voice->Play();
    EXPECT_EQ(Render(mixer, 1), std::vector<int16_t>({502, -502}));
    // A loop goes on from the start without a gap, and the position stays within the sound.
    voice->SetLoop(true);
    const std::vector<int16_t> looped = Render(mixer, 2500);
    for (size_t i = 0; i < 2500; ++i)
        ASSERT_EQ(looped[2 * i], static_cast<int16_t>((503 + i) % 1000)) << i;
    EXPECT_EQ(voice->Position(), (503 + 2500) % 1000);
    EXPECT_FALSE(voice->IsEnd());
}

TEST(SoundMixer, SoundsThatCannotPlayEndAtOnceWithoutSpinning) {
    TSoundMixer mixer(44100, nullptr);
    auto undecodable = mixer.AddVoice(nullptr);
    undecodable->SetLoop(true);
    undecodable->Play();
    auto emptyDecoder = std::make_unique<MemoryDecoder>(std::vector<int16_t>{});
    MemoryDecoder* empty = emptyDecoder.get();
    auto emptyVoice = mixer.AddVoice(std::move(emptyDecoder));
    emptyVoice->SetLoop(true);
    emptyVoice->Play();
    MemoryDecoder* damaged = nullptr;
    auto damagedVoice = PlayRamp(mixer, 1000, &damaged);
    damaged->failAt = 300;
    const std::vector<int16_t> got = Render(mixer, 500);
    EXPECT_TRUE(undecodable->IsEnd());
    EXPECT_TRUE(emptyVoice->IsEnd());
    EXPECT_LE(empty->reads, 4);
    // Damaged data end the sound where they begin.
    EXPECT_EQ(got[2 * 299], 299);
    EXPECT_EQ(got[2 * 300], 0);
    EXPECT_TRUE(damagedVoice->IsEnd());
    EXPECT_EQ(undecodable->Length(), 0);
}

TEST(SoundMixer, TheDecodingThreadFillsAheadOfTheMix) {
    test::SteppingClock clock;
    TSoundMixer mixer(44100, &clock);
    auto voice = PlayRamp(mixer, 20000);
    // Started on the main thread: the first part is there before the thread runs.
    EXPECT_EQ(Render(mixer, 2)[2], 1);
    clock.Step();  // one pass of the thread decodes the rest
    const std::vector<int16_t> got = Render(mixer, 19998);
    EXPECT_EQ(got[2 * 19997], static_cast<int16_t>(19999));
    (void)Render(mixer, 1);
    EXPECT_TRUE(voice->IsEnd());
    clock.FreeRun();
}

}  // namespace
}  // namespace kivo
