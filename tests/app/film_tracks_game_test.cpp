// Films with picture and sound tracks played headless end to end: an image track's picture
// moving across the screen by the game clock, and a sound track's sound reaching the audio
// output at its frame with its track's volume (old films' volumes included).

#include <cmath>
#include <cstring>

#include "scene_game_fixture.h"
#include "support/film_writer.h"
#include "support/gal_builder.h"
#include "support/wave_writer.h"

namespace kivo {
namespace {

constexpr int32_t kDcLevel = 16000;

class FilmTracksGame : public SceneGame {
  protected:
    // The first columns of row y that show colour, as "first-last", or "" when none does.
    std::string Columns(int32_t y, uint32_t colour) const {
        int32_t first = -1, last = -1;
        for (int32_t x = 0; x < width_; ++x) {
            if (At(x, y) != Pixel(colour)) continue;
            if (first < 0) first = x;
            last = x;
        }
        return first < 0 ? "" : std::to_string(first) + "-" + std::to_string(last);
    }
    // The left channel of the kept audio.
    std::vector<int16_t> Left() const {
        std::vector<int16_t> left;
        for (size_t at = 44; at + 4 <= audio_.size(); at += 4) {
            int16_t sample = 0;
            std::memcpy(&sample, audio_.data() + at, 2);
            left.push_back(sample);
        }
        return left;
    }
};

std::string Once(const std::string& commands) {
    return commands + "Label \"idle\"\nWait time={0}\n";
}

TEST_F(FilmTracksGame, AnImageTrackMovesItsPictureByTheGameClock) {
    // A 3 x 2 green picture moving from (0, 1) to (60, 1) over 61 frames, in the main scene.
    test::GalFile picture;
    picture.frames.push_back(test::RgbFrame(3, 2, std::vector<uint32_t>(6, 0x00FF00)));
    WriteData("p.gal", test::WriteGal(picture));
    test::FilmFile film{.width = 64, .height = 8};
    film.tracks.push_back(test::FilmImageTrack{
        .base = {.length = 61}, .block = {.move = {.sy = 1, .ex = 60, .ey = 1}}, .file = "p.gal"});
    WriteData("op.kcn", test::WriteFilm(film));
    Write(Once("Cinema PR_NAME={\"op\"} PR_SOURCE={\"op.kcn\"} PR_LEFT={2} PR_TOP={3}\n"), 80, 12);
    // Time runs from the third frame, 16 ms a frame: frames 20 and 40 show film frames 17
    // and 36.
    for (const auto& [frames, filmFrame] : {std::pair{20, 17}, std::pair{40, 36}}) {
        SCOPED_TRACE(frames);
        ASSERT_EQ(Play(frames), 0);
        const int32_t x = 2 + filmFrame;
        const std::string expected = std::to_string(x) + "-" + std::to_string(x + 2);
        EXPECT_EQ(Columns(4, kGreen), expected);
        EXPECT_EQ(Columns(5, kGreen), expected);
        EXPECT_EQ(Columns(3, kGreen), "");
        EXPECT_EQ(Columns(6, kGreen), "");
    }
}

TEST_F(FilmTracksGame, ASoundTrackSoundsFromItsFrameAtItsVolume) {
    test::WaveSpec shape{.channels = 1, .rate = 44100, .bits = 16};
    shape.data = test::PackSamples(std::vector<int32_t>(44100, kDcLevel), 16);
    WriteData("dc.wav", test::WriteWave(shape));
    Write(Once("Cinema PR_NAME={\"op\"} PR_SOURCE={\"s.kcn\"}\n"));
    keepAudio = true;
    struct Case {
        int32_t version;
        int32_t start;   // film frame
        int32_t volume;  // as stored: hundredths of decibels up to version 107
        double gain;
    };
    // Volume 1000 is full; -2500 cB in an old film is volume 750, level -1250 cB.
    std::vector<double> firstMs;
    for (const Case& c : {Case{108, 30, 1000, 1.0}, Case{108, 60, 1000, 1.0},
                          Case{107, 30, -2500, std::pow(10.0, -1250 / 2000.0)}}) {
        SCOPED_TRACE(c.version * 1000 + c.start);
        test::FilmFile film{.version = c.version, .width = 8, .height = 8};
        film.tracks.push_back(test::FilmSoundTrack{.base = {.length = 100, .start = c.start},
                                                   .file = "dc.wav",
                                                   .startVolume = c.volume,
                                                   .endVolume = c.volume});
        WriteData("s.kcn", test::WriteFilm(film));
        ASSERT_EQ(Play(150), 0);
        const std::vector<int16_t> left = Left();
        const auto first = std::find_if(left.begin(), left.end(), [](int16_t s) { return s != 0; });
        ASSERT_NE(first, left.end());
        firstMs.push_back(static_cast<double>(first - left.begin()) / 44.1);
        // Film frame n is reached (n - 0.5) x 1000 / 60 ms after time starts, in the third
        // frame; the sound starts in that frame's update.
        const double due = 2 * 16 + (c.start - 0.5) * 1000 / 60;
        EXPECT_GE(firstMs.back(), due - 16);
        EXPECT_LE(firstMs.back(), due + 32);
        const double level = left[static_cast<size_t>(first - left.begin()) + 2000];
        EXPECT_NEAR(level, kDcLevel * c.gain, kDcLevel * c.gain * 0.01 + 2);
    }
    // Thirty frames later is half a second later.
    EXPECT_NEAR(firstMs[1] - firstMs[0], 500, 17);
}

}  // namespace
}  // namespace kivo
