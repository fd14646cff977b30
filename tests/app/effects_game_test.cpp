// Films and effects played headless end to end: a cinema moving a box between two key frames
// shows it where the game time puts it, a film with a background plays in a list of its own,
// and fire and particles draw from the player's random generator, so the seed decides them.

#include "scene_game_fixture.h"
#include "support/film_writer.h"
#include "support/gal_builder.h"

namespace kivo {
namespace {

// Makes the page's objects, then waits for ever.
std::string Once(const std::string& commands) {
    return commands + "Label \"idle\"\nWait time={0}\n";
}

class EffectsGame : public SceneGame {
  protected:
    // A film of one 4 x 4 red box moving from (0, 0) to (60, 0) over 61 frames.
    void WriteMovingBoxFilm(int32_t background) {
        test::FilmFile film{.width = 64, .height = 8, .background = background};
        film.tracks.push_back(test::FilmBoxTrack{.base = {.length = 61},
                                                 .move = {.ex = 60},
                                                 .startWidth = 4,
                                                 .startHeight = 4,
                                                 .endWidth = 4,
                                                 .endHeight = 4,
                                                 .startColor = static_cast<int32_t>(kRed),
                                                 .endColor = static_cast<int32_t>(kRed)});
        WriteData("op.kcn", test::WriteFilm(film));
    }
    // The columns of row y that show colour, as text ("17-20").
    std::string Columns(int32_t y, uint32_t colour) const {
        std::string out;
        for (int32_t x = 0; x < width_; ++x) {
            if (At(x, y) != Pixel(colour)) continue;
            int32_t last = x;
            while (last + 1 < width_ && At(last + 1, y) == Pixel(colour))
                ++last;
            out += (out.empty() ? "" : ",") + std::to_string(x) + "-" + std::to_string(last);
            x = last;
        }
        return out;
    }
    // The last frame of a run of frames steps with the seed.
    std::vector<uint32_t> FrameWithSeed(uint32_t seed, int64_t frames) {
        seed_ = seed;
        EXPECT_EQ(Play(frames), 0);
        return frame_;
    }
};

TEST_F(EffectsGame, AFilmMovesABoxBetweenItsKeyFramesByTheGameClock) {
    WriteMovingBoxFilm(-1);
    Write(Once("Cinema PR_NAME={\"op\"} PR_SOURCE={\"op.kcn\"} PR_LEFT={2} PR_TOP={3}\n"), 80,
          12);
    // The cinema is made in the first frame and shows frame 0 then; its time stands still
    // for one more frame and runs 16 ms a frame from the third. Frame n of 61 puts the box
    // at x = n (linear over 60 steps), as the nearest frame to the elapsed time.
    struct Case {
        int64_t frames;
        int32_t filmFrame;
    };
    for (const Case& c : {Case{1, 0}, Case{20, 17}, Case{40, 36}, Case{200, 60}}) {
        SCOPED_TRACE(c.frames);
        ASSERT_EQ(Play(c.frames), 0);
        const int32_t x = 2 + c.filmFrame;
        EXPECT_EQ(Columns(3, kRed), std::to_string(x) + "-" + std::to_string(x + 3));
        EXPECT_EQ(Columns(6, kRed), std::to_string(x) + "-" + std::to_string(x + 3));
        EXPECT_EQ(Columns(7, kRed), "");
    }
}

TEST_F(EffectsGame, AFilmWithABackgroundPlaysInAListOfItsOwnInsideTheCinema) {
    WriteMovingBoxFilm(0x00FF00);
    Write(Once("Cinema PR_NAME={\"op\"} PR_SOURCE={\"op.kcn\"} PR_LEFT={8} PR_TOP={2} "
               "PR_WIDTH={16} PR_HEIGHT={6}\n"),
          40, 12);
    ASSERT_EQ(Play(20), 0);
    // Frame 17: the box stands at 17 in the film's list, beyond the 16 pixels the cinema
    // shows, so only its green background shows, within the cinema's area.
    EXPECT_EQ(Columns(2, kGreen), "8-23");
    EXPECT_EQ(Columns(7, kGreen), "8-23");
    EXPECT_EQ(Columns(8, kGreen), "");
    ASSERT_EQ(Play(8), 0);
    // Frame 6 (96 ms): the box at 6..9 of the list, drawn at 14..17 over the background.
    EXPECT_EQ(Columns(2, kRed), "14-17");
    EXPECT_EQ(Columns(2, kGreen), "8-13,18-23");
}

TEST_F(EffectsGame, ATransitionTrackFadesTheFilmsListFromOneLayerToTheOther) {
    // A red box on the first layer (only image-like tracks are placed by the transitions'
    // parity) and a fade over frames 0 to 30 to the other layer, which holds nothing but the
    // black background.
    test::FilmFile film{.width = 16, .height = 8, .background = 0};
    film.tracks.push_back(test::FilmBoxTrack{.base = {.length = 200},
                                             .startWidth = 16,
                                             .startHeight = 8,
                                             .endWidth = 16,
                                             .endHeight = 8,
                                             .startColor = static_cast<int32_t>(kRed),
                                             .endColor = static_cast<int32_t>(kRed)});
    film.tracks.push_back(test::FilmWipeTrack{.base = {.length = 31}, .kind = 1});
    WriteData("fade.kcn", test::WriteFilm(film));
    Write(Once("Cinema PR_NAME={\"op\"} PR_SOURCE={\"fade.kcn\"} PR_LEFT={4} PR_TOP={2} "
               "PR_WIDTH={16} PR_HEIGHT={8}\n"),
          24, 12);
    // The film's frames 0, 8, 17 and 36 (as the moving box showed them).
    std::vector<uint32_t> red;
    for (const int64_t frames : {1, 10, 20, 40}) {
        ASSERT_EQ(Play(frames), 0);
        EXPECT_EQ(At(10, 5) & 0x00FFFF, 0u);  // nothing but red
        red.push_back(At(10, 5) >> 16);
        EXPECT_EQ(At(3, 5), 0u);  // beside the cinema
    }
    // Red gives way to the other layer's black.
    EXPECT_EQ(red.front(), 255u);
    EXPECT_GT(red[1], red[2]);
    EXPECT_GT(red[1], 0u);
    EXPECT_LT(red[1], 255u);
    EXPECT_GT(red[2], 0u);
    EXPECT_EQ(red.back(), 0u);
}

TEST_F(EffectsGame, TheSeedDecidesTheFlameAndTheSameSeedRepeatsIt) {
    Write(Once("FireNew PR_NAME={\"f\"} PR_ORIGWIDTH={40} PR_ORIGHEIGHT={16} PR_POWER={200}\n"),
          40, 16);
    const std::vector<uint32_t> first = FrameWithSeed(1, 30), again = FrameWithSeed(1, 30),
                                other = FrameWithSeed(7, 30);
    EXPECT_EQ(first, again);
    EXPECT_NE(first, other);
    // The flame burns: the bottom row is lit, the top-left corner is not.
    EXPECT_NE(first[static_cast<size_t>(15 * 40 + 20)] & 0xFFFFFF, 0u);
    EXPECT_EQ(first[0] & 0xFFFFFF, 0u);
}

TEST_F(EffectsGame, ParticlesAppearWhereTheirExpressionsSayAndFallByTheSeed) {
    test::GalFile picture;
    picture.frames.push_back({.width = 2,
                              .height = 2,
                              .bits = 24,
                              .layers = {{.colour = test::PaddedRows(2, 2, 24, {0xFFFFFF, 0xFFFFFF,
                                                                               0xFFFFFF, 0xFFFFFF})}}});
    WriteData("dot.gal", test::WriteGal(picture));
    Write(Once("ParticleNew PR_NAME={\"snow\"} PR_SOURCE={\"dot.gal\"} PR_WIDTH={40} "
               "PR_HEIGHT={16} PR_PARTMOTION={1} PR_PARAM1={0.5} PR_PARAM2={2} PR_PARAM3={4} "
               "PR_APPEARX={Random(40)} PR_APPEARY={0} PR_DELAY={100}\n"),
          40, 16);
    const std::vector<uint32_t> first = FrameWithSeed(3, 40), again = FrameWithSeed(3, 40),
                                other = FrameWithSeed(4, 40);
    EXPECT_EQ(first, again);
    EXPECT_NE(first, other);
    // Six particles in 640 ms, each falling half a pixel a step: white dots, nothing else.
    int32_t white = 0;
    for (const uint32_t pixel : first) {
        EXPECT_TRUE((pixel & 0xFFFFFF) == 0 || (pixel & 0xFFFFFF) == Pixel(kWhite));
        white += (pixel & 0xFFFFFF) == Pixel(kWhite) ? 1 : 0;
    }
    EXPECT_GE(white, 4 * 4);
}

}  // namespace
}  // namespace kivo
