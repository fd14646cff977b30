// Sound in a headless session with the real decoders: a sound the game plays through the media
// managers reaches the game-time audio output resampled, with its gain and pan, and only while
// the window has the focus.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "app/headless_driver.h"
#include "media/backend/backend_media_codecs.h"
#include "media/mix_kernels.h"
#include "shell/session.h"
#include "support/scratch_folder.h"
#include "support/wave_writer.h"

namespace kivo {
namespace {

constexpr double kTwoPi = 6.283185307179586;

// A project that plays a sound on its first frame, as a sound object would.
class SoundProject final : public GameProject {
  public:
    explicit SoundProject(Player& player) : player_(player) {}
    [[nodiscard]] std::string Title() const override { return "t"; }
    [[nodiscard]] int32_t ScreenWidth() const override { return 4; }
    [[nodiscard]] int32_t ScreenHeight() const override { return 3; }
    [[nodiscard]] int32_t FullScreenWidth() const override { return 4; }
    [[nodiscard]] int32_t FullScreenHeight() const override { return 3; }
    [[nodiscard]] bool FramePacing() const override { return false; }
    void RunFrame() override {
        if (++frames_ != 1) return;
        TDMediaItem* item = player_.managers.AddSound("se.wav");
        ASSERT_NE(item, nullptr);
        item->SetVolume(-600);
        item->SetPan(-1000);
        item->Play();
    }
    [[nodiscard]] bool ServePendingSaveLoad() override { return false; }
    [[nodiscard]] InterpreterPosition Position() const override { return {}; }
    void Close() override {}

  private:
    Player& player_;
    int32_t frames_ = 0;
};

// The left and right samples of a kept 16-bit stereo WAV file.
std::vector<int16_t> SamplesOf(const std::vector<uint8_t>& wave) {
    EXPECT_GE(wave.size(), 44u);
    std::vector<int16_t> out((wave.size() - 44) / 2);
    std::memcpy(out.data(), wave.data() + 44, out.size() * 2);
    return out;
}

class MediaSession : public ::testing::Test {
  protected:
    // Runs frames of 16 ms with the sound file in the game folder; input as the script says.
    std::vector<int16_t> Run(int64_t frames, std::vector<ScriptedInput> input = {}) {
        test::WaveSpec shape{.channels = 1, .rate = 48000, .bits = 16};
        shape.data = test::PackSamples(test::Sine(48000, 1, 48000, 750, 20000), 16);
        const std::vector<uint8_t> file = test::WriteWave(shape);
        std::ofstream(folder_ / "se.wav", std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()),
                   static_cast<std::streamsize>(file.size()));

        HeadlessPlatform platform(dialogLog_);
        platform.audio.KeepSamples();
        HeadlessDriver driver(platform, std::move(input), 16);
        PlayerConfig config;
        config.executableFolder = folder_.Path();
        config.seed = 1;
        config.saveDir = saves_.Path();
        config.media.codecs = [] { return std::make_unique<BackendMediaCodecs>(); };
        config.projectFactory = [](Player& p) -> std::unique_ptr<GameProject> {
            return std::make_unique<SoundProject>(p);
        };
        Player player(platform.Services(), config);
        SessionOptions options;
        options.frames = frames;
        EXPECT_EQ(RunSession(player, options, driver), 0);
        return SamplesOf(platform.audio.KeptAsWave());
    }

    const test::ScratchFolder folder_{"kivo_media_session"};
    const test::ScratchFolder saves_{"kivo_media_session_saves"};
    std::ostringstream dialogLog_;
};

// Alt and key down at frame, up at the next.
void PressWithAlt(std::vector<ScriptedInput>& input, int32_t frame, int32_t key) {
    for (const int32_t down : {0x12, key})
        input.push_back({.frame = frame, .event = {InputKind::KeyDown, 0, 0, down}});
    for (const int32_t up : {key, 0x12})
        input.push_back({.frame = frame + 1, .event = {InputKind::KeyUp, 0, 0, up}});
}

// The frames of sound that frames of 16 ms carry.
constexpr size_t kFramesPer16Ms = 44100 * 16 / 1000;

TEST_F(MediaSession, APlayedSoundIsHeardResampledWithItsGainAndPan) {
    const std::vector<int16_t> got = Run(40);  // 640 ms of game time
    ASSERT_EQ(got.size(), 2u * 44100 * 640 / 1000);
    size_t onset = 0;
    while (onset < got.size() / 2 && got[2 * onset] == 0 && got[2 * onset + 1] == 0)
        ++onset;
    // Played in the first frame, heard from the next frame's samples on.
    EXPECT_GE(onset, 700u);
    EXPECT_LE(onset, 1500u);

    // Panned left by 10 dB: the right side loses another 10 dB on top of the volume's 6.
    const double left = 20000 * std::pow(10.0, -600 / 2000.0);
    const double right = 20000 * std::pow(10.0, -1600 / 2000.0);
    double best = 1e9;
    for (int delay = -8; delay <= 40; ++delay) {
        double worst = 0;
        for (size_t i = onset + 200; i < onset + 20000; ++i) {
            const double t = static_cast<double>(static_cast<int64_t>(i - onset) - delay) / 44100;
            const double s = std::sin(kTwoPi * 750 * t);
            worst = std::max(
                {worst, std::abs(got[2 * i] - left * s), std::abs(got[2 * i + 1] - right * s)});
        }
        best = std::min(best, worst);
    }
    EXPECT_LT(best, 0.02 * left);
    // The one-second sound is still playing at the end of the run.
    EXPECT_NE(got[got.size() - 2], 0);
}

TEST_F(MediaSession, LosingTheFocusPausesTheSoundWhereItWas) {
    // Ten passes without the focus: no game time passes and nothing is heard, and afterwards
    // the sound goes on where it stopped, so the run sounds as one ten passes shorter.
    std::vector<ScriptedInput> input;
    input.push_back({.frame = 10, .event = {InputKind::Deactivate}});
    input.push_back({.frame = 20, .event = {InputKind::Activate}});
    const std::vector<int16_t> paused = Run(40, input);
    const std::vector<int16_t> straight = Run(30);
    ASSERT_EQ(paused.size(), straight.size());
    EXPECT_EQ(paused, straight);
}

TEST_F(MediaSession, TheMasterVolumeScalesTheWholeMixAndMuteSilencesItWithoutPausing) {
    // Three steps down from frame 10 on (70 %), muted at frame 20, unmuted at frame 30:
    // the sound plays on throughout, so the run is the straight one scaled, then silent, then
    // scaled again where the sound had got to.
    std::vector<ScriptedInput> input;
    for (const int32_t frame : {10, 12, 14})
        PressWithAlt(input, frame, 0x28);
    PressWithAlt(input, 20, 'M');
    PressWithAlt(input, 30, 'M');
    const std::vector<int16_t> straight = Run(40);
    const std::vector<int16_t> got = Run(40, input);
    ASSERT_EQ(got.size(), straight.size());
    const int32_t gain = 70 * kUnityGain / 100;
    const auto sampleAt = [](int64_t frame) {
        return static_cast<size_t>(frame) * kFramesPer16Ms * 2;
    };
    for (size_t i = 0; i < sampleAt(10); ++i)
        ASSERT_EQ(got[i], straight[i]) << i;
    for (size_t i = sampleAt(15); i < sampleAt(20); ++i)
        ASSERT_EQ(got[i], ScaleSample(straight[i], gain)) << i;
    for (size_t i = sampleAt(21); i < sampleAt(30); ++i)
        ASSERT_EQ(got[i], 0) << i;
    for (size_t i = sampleAt(31); i < got.size(); ++i)
        ASSERT_EQ(got[i], ScaleSample(straight[i], gain)) << i;
    EXPECT_NE(straight[sampleAt(25) + 100], 0);

    // The volume is remembered for the game in the player's folder, and the next run uses it.
    EXPECT_EQ(test::ReadWholeFile(saves_ / "volume.txt"), "volume=70\n");
    const std::vector<int16_t> next = Run(40);
    for (size_t i = 0; i < next.size(); ++i)
        ASSERT_EQ(next[i], ScaleSample(straight[i], gain)) << i;
}

}  // namespace
}  // namespace kivo
