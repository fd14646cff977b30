// Small games with sound, timer, property-motion and HTTP objects, played headless end to end:
// what the kept audio holds at each moment of game time, when handlers run, the values a
// motion gives its target frame by frame, and what an HTTP object fetched.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "app/headless_driver.h"
#include "media/backend/backend_media_codecs.h"
#include "page_game.h"
#include "shell/input_script.h"
#include "shell/script_project.h"
#include "shell/session.h"
#include "support/media/media_encoders.h"
#include "support/scratch_folder.h"
#include "support/wave_writer.h"
#include "tools/script/text/script_files.h"

namespace kivo {
namespace {

using script_text::SourceFile;
using script_text::SourceKind;

constexpr int32_t kFrameMs = 16;
constexpr double kSamplesPerFrame = 44100.0 * kFrameMs / 1000;
constexpr int32_t kDcLevel = 16000;

// The gain of a level in hundredths of a decibel.
double Gain(int32_t level) {
    return level <= -10000 ? 0.0 : std::pow(10.0, level / 2000.0);
}

class MediaGame : public ::testing::Test {
  protected:
    void Write(const std::string& mainText, const std::string& handlersText = "") {
        const std::string project = "version 110\ntitle \"media\"\nscreen " + screen_ +
                                    "\nfullscreen " + screen_ + "\nstart \"main.ksb\"\n";
        Assemble("kivo.kps", SourceKind::ProjectText, project, "kivo.kpb");
        Assemble("main.kss", SourceKind::PageText, "version 110\n" + Continued(mainText),
                 "main.ksb");
        if (!handlersText.empty())
            Assemble("ev.kss", SourceKind::PageText, "version 110\n" + Continued(handlersText),
                     "ev.ksb");
    }

    // A mono 44.1 kHz sound of a constant sample value, ms long.
    void WriteDcSound(const std::string& name, int32_t ms) {
        test::WaveSpec shape{.channels = 1, .rate = 44100, .bits = 16};
        shape.data = test::PackSamples(
            std::vector<int32_t>(static_cast<size_t>(44100 * ms / 1000), kDcLevel), 16);
        WriteFile(name, test::WriteWave(shape));
    }

    void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(folder_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }

    // Plays frames steps of 16 ms (or frameMs); keeps the left channel of the audio.
    int Play(int64_t frames, int32_t frameMs = kFrameMs) {
        HeadlessPlatform platform(dialogLog_);
        platform.audio.KeepSamples();
        for (const auto& [url, result] : answers_)
            platform.http.Answer(url, result, 2);
        HeadlessDriver driver(platform, {}, frameMs);
        PlayerConfig config;
        config.executableFolder = folder_.Path();
        config.arguments = {folder_.Path().string()};
        config.seed = 1;
        config.media.codecs = [] { return std::make_unique<BackendMediaCodecs>(); };
        config.projectFactory = ScriptProjectFactory();
        Player player(platform.Services(), config);
        SessionOptions options;
        options.frames = frames;
        options.dumpVarsFile = folder_ / "vars.json";
        const int status = RunSession(player, options, driver);
        if (!driver.Capture(screenPixels_, screenWidth_, screenHeight_)) screenPixels_.clear();
        const std::vector<uint8_t> wave = platform.audio.KeptAsWave();
        left_.clear();
        for (size_t at = 44; at + 4 <= wave.size(); at += 4) {
            int16_t sample = 0;
            std::memcpy(&sample, wave.data() + at, 2);
            left_.push_back(sample);
        }
        requests_ = platform.http.Requests();
        return status;
    }

    // The first value of a variable in the dump, as its text.
    [[nodiscard]] std::string Var(const std::string& name) const {
        return test::DumpedVar(folder_ / "vars.json", name);
    }
    [[nodiscard]] int32_t IntVar(const std::string& name) const { return std::stoi(Var(name)); }

    // The colour of the last presented picture at (x, y), as 0x00RRGGBB.
    [[nodiscard]] uint32_t ScreenAt(int32_t x, int32_t y) const {
        return screenPixels_.at(static_cast<size_t>(y) * static_cast<size_t>(screenWidth_) +
                                static_cast<size_t>(x)) &
               0xFFFFFF;
    }

    // The page text with every command run in the same frame as the next, except the ones
    // that end their frame.
    [[nodiscard]] std::string Continued(const std::string& text) const {
        return test::ContinuedPage(text, waiting_);
    }

    const test::ScratchFolder folder_{"kivo_media_game_test"};
    std::string screen_ = "32 16";
    std::vector<std::string_view> waiting_{"Wait", "DoEvent", "MovieStop", "Exit"};
    std::vector<uint32_t> screenPixels_;
    int32_t screenWidth_ = 0;
    int32_t screenHeight_ = 0;
    std::ostringstream dialogLog_;
    std::vector<int16_t> left_;
    std::vector<std::pair<std::string, HttpResult>> answers_;
    std::vector<std::string> requests_;

  private:
    void Assemble(const std::string& name, SourceKind kind, const std::string& text,
                  const std::string& output) {
        test::AssembleInto(folder_.Path(), name, kind, text, output);
    }
};

TEST_F(MediaGame, ASoundFadesOutFromItsFullLevelAlongTheDecibelCurveAndThenGoes) {
    // A sound plays at full level; 320 ms later MovieStop fades it out over 480 ms and waits
    // for it. A wave sound's fade runs through the upper half of the decibel range: at t ms
    // the level is t x -5000 / 480, and at 480 ms it drops to silence and the sound goes.
    WriteDcSound("dc.wav", 3000);
    Write(
        "VarNew \"t0\" type=PT_INT\nVarNew \"t1\" type=PT_INT\n"
        "Sound PR_NAME={\"bgm\"} PR_SOURCE={\"dc.wav\"}\n"
        "Wait time={320}\n"
        "Calc {t0 = @TickCount}\n"
        "MovieStop object={\"bgm\"} fadeTime={480} wait={TRUE} eventsBlocked={FALSE}\n"
        "Calc {t1 = @TickCount}\n"
        "Label \"idle\"\nWait time={0}\n");
    ASSERT_EQ(Play(70), 0);
    // The fade completes in the update of the frame 480 ms on; the stop sees the sound gone
    // in the next frame and ends that frame, so the line after it runs one frame later still.
    EXPECT_EQ(IntVar("t1") - IntVar("t0"), 480 + 2 * kFrameMs);

    // Full level until the fade starts.
    const auto fadeStart =
        std::find_if(left_.begin() + 2000, left_.end(), [](int16_t s) { return s < kDcLevel - 8; });
    ASSERT_NE(fadeStart, left_.end());
    EXPECT_EQ(*(left_.begin() + 2000), kDcLevel);
    const auto s0 = static_cast<double>(fadeStart - left_.begin());
    // The start lies 320 ms (plus at most two frames) after the sound began.
    const auto firstSound = std::find(left_.begin(), left_.end(), kDcLevel);
    const double startMs = (s0 - static_cast<double>(firstSound - left_.begin())) / 44.1;
    EXPECT_GE(startMs, 320.0);
    EXPECT_LE(startMs, 320.0 + 2 * kFrameMs + 1);
    // Then one level per frame, from the frame after the fade began.
    for (int32_t j = 1; j < 30; ++j) {
        const auto at = static_cast<size_t>(s0 + (j - 0.5) * kSamplesPerFrame);
        const double expected = kDcLevel * Gain(j * kFrameMs * -5000 / 480);
        EXPECT_NEAR(left_[at], expected, expected * 0.01 + 2) << "frame " << j;
    }
    // Silence from the 30th frame on, to the end of the run.
    const auto silentFrom = static_cast<size_t>(s0 + 29 * kSamplesPerFrame + 1);
    ASSERT_LT(silentFrom, left_.size());
    EXPECT_TRUE(std::all_of(left_.begin() + static_cast<std::ptrdiff_t>(silentFrom), left_.end(),
                            [](int16_t s) { return s == 0; }));
}

TEST_F(MediaGame, TimerAndPropMotionCommandsRunOnGameTime) {
    // A timer of 100 ms made at game time c0 queues its handler in the first frame at or past
    // each c0 + 100 k, and the handler runs one frame later. A property motion moves the box
    // 0 to 100 over 160 ms and its handler reads where the box stands.
    Write(
        "VarNew \"n\" type=PT_INT\nVarNew \"sum\" type=PT_INT\nVarNew \"last\" type=PT_INT\nVarNew "
        "\"c0\" type=PT_INT\nVarNew \"x\" type=PT_INT\n"
        "BoxNew PR_NAME={\"b\"} PR_WIDTH={2} PR_HEIGHT={2} PR_COLOR={0xFF}\n"
        "Timer PR_NAME={\"t\"} PR_ONNOTIFY={\"ev.kss:tick\"} PR_DELAY={100}\n"
        "Calc {c0 = @TickCount}\n"
        "PropMotion name={\"m\"} object={\"b\"} property={3} value={100} duration={160} "
        "curve={0} paused={FALSE}\n"
        "Label \"idle\"\nWait time={0}\n",
        "Label \"tick\"\nCalc {n = n + 1}\nCalc {sum = sum + @TickCount}\nCalc {last = "
        "@TickCount}\n"
        "GetProp object={\"b\"} property={3} variable=\"x\"\nExit condition={TRUE}\n");
    ASSERT_EQ(Play(24), 0);
    const int32_t c0 = IntVar("c0");
    int32_t sum = 0;
    int32_t last = 0;
    for (int32_t k = 1; k <= 3; ++k) {
        const int32_t due = c0 + 100 * k;
        last = (due + kFrameMs - 1) / kFrameMs * kFrameMs + kFrameMs;
        sum += last;
    }
    EXPECT_EQ(IntVar("n"), 3);
    EXPECT_EQ(IntVar("sum"), sum);
    EXPECT_EQ(IntVar("last"), last);
    EXPECT_EQ(IntVar("x"), 100);
}

// A film of 64 x 48 pixels at 10 frames per second, one solid colour per frame (film.wmv).
class VideoGame : public MediaGame {
  protected:
    static constexpr int32_t kFilmFrames = 10;
    static constexpr int32_t kFrameTimeMs = 100;

    void SetUp() override {
        screen_ = "64 48";
        WriteFile("film.wmv", test::EncodeFilm({.width = 64,
                                                .height = 48,
                                                .framesPerSecond = 1000 / kFrameTimeMs,
                                                .frames = kFilmFrames}));
    }

    // The film frame whose colour is nearest to a screen colour (the film is lossy).
    [[nodiscard]] static int32_t NearestFrame(uint32_t colour) {
        int32_t best = -1;
        int32_t bestDistance = 1 << 30;
        for (int32_t k = 0; k < kFilmFrames; ++k) {
            const uint32_t c = test::FrameColor(k);
            int32_t distance = 0;
            for (int shift = 0; shift < 24; shift += 8)
                distance += std::abs(static_cast<int32_t>((c >> shift) & 0xFF) -
                                     static_cast<int32_t>((colour >> shift) & 0xFF));
            if (distance < bestDistance) {
                best = k;
                bestDistance = distance;
            }
        }
        return bestDistance < 48 ? best : -1;
    }
};

TEST_F(VideoGame, AMovieShowsTheFrameOfItsGameTimeAtItsZoomAndEndsOnce) {
    // The movie starts in the first frame, drawn at half size at (16, 8). The last picture of a
    // run shows the film frame due at the last pull (at most 32 ms before the end of the run);
    // the runs end well inside a film frame so that the pull's lag cannot change it.
    Write(
        "VarNew \"t0\" type=PT_INT\nVarNew \"len\" type=PT_INT\nVarNew \"ended\" type=PT_INT\n"
        "VarNew \"ends\" type=PT_INT\n"
        "Movie PR_NAME={\"v\"} PR_SOURCE={\"film.wmv\"} PR_LEFT={16} PR_TOP={8} PR_ZOOMX={128} "
        "PR_ZOOMY={128} PR_ONPLAYEND={\"ev.kss:end\"}\n"
        "Calc {t0 = @TickCount}\n"
        "GetProp object={\"v\"} property={45} variable=\"len\"\n"
        "Label \"idle\"\nWait time={0}\n",
        "Label \"end\"\nCalc {ended = @TickCount}\nCalc {ends = ends + 1}\nExit "
        "condition={TRUE}\n");
    struct Run {
        int64_t frames;
        int32_t filmFrame;
    };
    // After n frames of 16 ms the film has played 16 (n - 1) ms.
    for (const Run run : {Run{20, 2}, Run{35, 5}, Run{48, 7}}) {
        ASSERT_EQ(Play(run.frames), 0);
        ASSERT_EQ(screenWidth_, 64);
        EXPECT_EQ(NearestFrame(ScreenAt(32, 20)), run.filmFrame) << run.frames << " frames";
        EXPECT_EQ(NearestFrame(ScreenAt(17, 9)), run.filmFrame) << run.frames << " frames";
        // Half size: nothing beyond (48, 32).
        EXPECT_EQ(ScreenAt(48, 20), 0u);
        EXPECT_EQ(ScreenAt(32, 32), 0u);
        EXPECT_EQ(ScreenAt(15, 20), 0u);
    }
    // The length is the container's: the fixture's muxer stamps the start of the last frame.
    const int32_t length = IntVar("len");
    EXPECT_GE(length, (kFilmFrames - 1) * kFrameTimeMs);
    EXPECT_LE(length, kFilmFrames * kFrameTimeMs);
    EXPECT_EQ(IntVar("ends"), 0);

    // The end is reported once, in the first frame at or past the film's length; the handler
    // runs one frame later.
    ASSERT_EQ(Play(90), 0);
    const int32_t t0 = IntVar("t0");
    const int32_t due = (t0 + length + kFrameMs - 1) / kFrameMs * kFrameMs;
    EXPECT_EQ(IntVar("ends"), 1);
    EXPECT_EQ(IntVar("ended"), due + kFrameMs);
    // The last frame stays on screen.
    EXPECT_EQ(NearestFrame(ScreenAt(32, 20)), kFilmFrames - 1);
}

TEST_F(VideoGame, AWaitingMovieStopUnderAContinueMarkEndsItsFramesUntilTheFadeIsOver) {
    // MovieStop is run in the same frame as the next command; while it waits for the fade the
    // frame must still end, and the command after it runs once the movie has gone.
    waiting_ = {"Wait", "Exit"};
    Write(
        "VarNew \"t0\" type=PT_INT\nVarNew \"t1\" type=PT_INT\n"
        "Movie PR_NAME={\"v\"} PR_SOURCE={\"film.wmv\"} PR_REPEAT={TRUE}\n"
        "Wait time={160}\n"
        "Calc {t0 = @TickCount}\n"
        "MovieStop object={\"v\"} fadeTime={320} wait={TRUE} eventsBlocked={TRUE}\n"
        "Calc {t1 = @TickCount}\n"
        "Label \"idle\"\nWait time={0}\n");
    ASSERT_EQ(Play(60), 0);
    // The fade completes in the update of the frame 320 ms on; the stop sees the movie gone in
    // the next frame and, under its continue mark, the line after it runs in that frame too.
    EXPECT_EQ(IntVar("t1") - IntVar("t0"), 320 + kFrameMs);
    // The film is gone from the screen.
    EXPECT_EQ(ScreenAt(32, 24), 0u);
}

}  // namespace
}  // namespace kivo
