// The desktop audio output opens its device in the background: sources handed over before or
// after the device is open are the ones pulled, and closing while it opens is safe.

#include "platform/desktop/sdl_audio_output.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace kivo {
namespace {

class CountingSource final : public AudioSource {
  public:
    void Render(int16_t* out, size_t frames, int32_t channels) override {
        for (size_t i = 0; i < frames * static_cast<size_t>(channels); ++i)
            out[i] = 0;
        ++calls;
    }
    std::atomic<int> calls{0};
};

// Waits a few seconds at most for the source to be pulled more than before times.
bool Pulled(const CountingSource& source, int before = 0) {
    const auto giveUpAt = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (source.calls <= before && std::chrono::steady_clock::now() < giveUpAt)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return source.calls > before;
}

// SDL's silent device: a real callback thread without sound hardware.
class SdlAudioOutputTest : public testing::Test {
  protected:
    void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }
    void TearDown() override { unsetenv("SDL_AUDIODRIVER"); }
};

TEST_F(SdlAudioOutputTest, TheLatestSourceIsPulledWhenTheDeviceOpens) {
    CountingSource silence;
    CountingSource mixer;
    SdlAudioOutput output;
    ASSERT_TRUE(output.Open(AudioFormat{44100, 2, 100}, silence));
    // Most likely before the device is open: only remembered, then pulled.
    output.SetSource(mixer);
    ASSERT_TRUE(Pulled(mixer));
    const int silenceCalls = silence.calls;

    // Once SetSource returns the old source is never called again.
    output.SetSource(silence);
    const int mixerCalls = mixer.calls;
    ASSERT_TRUE(Pulled(silence, silenceCalls));
    EXPECT_EQ(mixer.calls, mixerCalls);

    output.Close();
    const int afterClose = silence.calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(silence.calls, afterClose);
}

TEST_F(SdlAudioOutputTest, APauseBeforeTheDeviceOpensHolds) {
    CountingSource source;
    SdlAudioOutput output;
    ASSERT_TRUE(output.Open(AudioFormat{}, source));
    output.SetPaused(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(source.calls, 0);
    output.SetPaused(false);
    EXPECT_TRUE(Pulled(source));
}

TEST_F(SdlAudioOutputTest, ClosingWhileOpeningOrWithoutADeviceIsSafe) {
    {
        // The device may open and pull once before the close; after it, nothing pulls.
        CountingSource opening;
        SdlAudioOutput output;
        ASSERT_TRUE(output.Open(AudioFormat{}, opening));
        output.Close();
        const int afterClose = opening.calls;
        output.Close();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(opening.calls, afterClose);
    }
    CountingSource source;
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    SdlAudioOutput silent;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(silent.Open(AudioFormat{}, source));
    silent.SetSource(source);
    silent.SetPaused(false);
    silent.Close();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no sound device"), std::string::npos);
    EXPECT_EQ(source.calls, 0);
}

}  // namespace
}  // namespace kivo
