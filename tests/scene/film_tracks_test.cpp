// Film tracks that show pictures: image and tile tracks driving real image and tile objects
// from the image cache (in the main scene and in a film's own list), what a missing or
// damaged picture costs, a transition track's rule picture, and particle pictures from the
// cache.

#include <gtest/gtest.h>

#include "scene/kivo_cinema.h"
#include "scene/kivo_particle.h"
#include "scene/picture_files.h"
#include "scene/scene_fixture.h"
#include "storage/stream.h"
#include "storage/vr_file_manager.h"
#include "support/film_writer.h"

namespace kivo::test {
namespace {

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

class FilmTracksTest : public SceneTest {
  protected:
    FilmTracksTest() {
        root.SetSize(16, 4);
        root.SetServices({.files = &files, .random = &random});
        root.Images().SetFiles(&pictures);
    }

    void AddFilm(const std::string& name, const FilmFile& film) {
        files.MemoryCollection().AddMemoryEntry(name).memory->Assign(WriteFilm(film));
    }
    // A cinema at (left, 1) of the film's size, or of width x height for a film with a list
    // of its own.
    TKivoCinema& Cinema(const std::string& source, int32_t left = 2, int32_t width = 14,
                        int32_t height = 3) {
        auto& cinema = *static_cast<TKivoCinema*>(root.CreateObject(LT_CINEMA));
        cinema.Rename("cine");
        cinema.SetParent(&root.ActiveLayer());
        cinema.SetLeft(left);
        cinema.SetTop(1);
        cinema.SetWidth(width);
        cinema.SetHeight(height);
        cinema.SetSource(source);
        return cinema;
    }
    // Seeks to the film frame and shows it.
    std::vector<std::string> PictureAt(TKivoCinema& cinema, int32_t frame) {
        WriteProperty(cinema, PR_INDEX, frame);
        root.FrameAdvance();
        EXPECT_EQ(cinema.Index(), frame);
        return Picture();
    }

    TVrFileManager files;
    MemoryPictures pictures;
    TProcessRandom random{5};
};

// A picture of two frames of 50 ms (three film frames each), 2 x 1 red, then green.
GalFile RedThenGreen() {
    GalFile file;
    file.frames.push_back(RgbFrame(2, 1, {kRed, kRed}, 50));
    file.frames.push_back(RgbFrame(2, 1, {kGreen, kGreen}, 50));
    return file;
}

TEST_F(FilmTracksTest, AnImageTrackMovesItsPictureAndStepsItsFramesByTheFilm) {
    pictures.Add("a.gal", RedThenGreen());
    // x = t over 11 frames; the film's own list (a background) or the main scene.
    for (const int32_t background : {-1, 0}) {
        SCOPED_TRACE(background);
        FilmFile film{.width = 14, .height = 3, .background = background};
        film.tracks.push_back(FilmImageTrack{.base = {.length = 11},
                                             .block = {.move = {.sy = 1, .ex = 10, .ey = 1}},
                                             .file = "a.gal"});
        AddFilm("a.kcn", film);
        TKivoCinema& cinema = Cinema("a.kcn");
        EXPECT_EQ(PictureAt(cinema, 0)[2], "..RR............");
        EXPECT_EQ(PictureAt(cinema, 4)[2], "......GG........");
        // Frame 7 is the first frame of the second pass through the picture.
        EXPECT_EQ(PictureAt(cinema, 7)[2], ".........RR.....");
        // The track's object and the film share one decoded picture.
        EXPECT_EQ(pictures.loads, 1);
        root.Destroy(cinema);
        EXPECT_EQ(FilmObjects(), 0);
        EXPECT_EQ(Picture()[2], "................");
    }
}

TEST_F(FilmTracksTest, ATileTrackScrollsItsPatternOverItsArea) {
    GalFile rgb;
    rgb.frames.push_back(RgbFrame(3, 1, {kRed, kGreen, kBlue}));
    pictures.Add("t.gal", rgb);
    FilmFile film{.width = 14, .height = 3};
    // A 7 x 1 area at (1, 0) whose scroll runs 0 to 10 over 11 frames.
    film.tracks.push_back(FilmTileTrack{.base = {.length = 11},
                                        .block = {.move = {.sx = 1, .ex = 1}},
                                        .file = "t.gal",
                                        .startWidth = 7,
                                        .startHeight = 1,
                                        .endWidth = 7,
                                        .endHeight = 1,
                                        .endScrollX = 10});
    AddFilm("t.kcn", film);
    TKivoCinema& cinema = Cinema("t.kcn");
    EXPECT_EQ(PictureAt(cinema, 0)[1], "...RGBRGBR......");
    EXPECT_EQ(PictureAt(cinema, 1)[1], "...GBRGBRG......");
    EXPECT_EQ(PictureAt(cinema, 5)[1], "...BRGBRGB......");
}

TEST_F(FilmTracksTest, AMissingOrDamagedPictureCostsOnlyItsOwnTrack) {
    pictures.files["bad.gal"] = {'G', 'a', 'l', 'e', '1', '0', '6', 0, 0};
    for (const std::string name : {"none.gal", "bad.gal"}) {
        SCOPED_TRACE(name);
        FilmFile film{.width = 14, .height = 3};
        film.tracks.push_back(FilmImageTrack{.base = {.length = 20}, .file = name});
        film.tracks.push_back(FilmBoxTrack{.base = {.length = 20},
                                           .startWidth = 1,
                                           .startHeight = 1,
                                           .endWidth = 1,
                                           .endHeight = 1,
                                           .startColor = 0x0000FF,
                                           .endColor = 0x0000FF});
        AddFilm("m.kcn", film);
        TKivoCinema& cinema = Cinema("m.kcn");
        EXPECT_EQ(PictureAt(cinema, 3)[1], "..R.............");
        EXPECT_EQ(FilmObjects(), 1);
        root.Destroy(cinema);
    }
}

TEST_F(FilmTracksTest, ATransitionTrackSwitchesTheLightPixelsOfItsRulePictureFirst) {
    pictures.AddSolid("red.gal", 4, 1, kRed);
    GalFile rule;
    rule.frames.push_back(RgbFrame(4, 1, {0xFFFFFF, 0xAAAAAA, 0x555555, 0x000000}));
    pictures.Add("rule.gal", rule);
    // The red picture on the shown layer fades by the rule to the other, black, layer.
    const auto redAcross = [&](const std::string& ruleFile) {
        FilmFile film{.width = 4, .height = 1, .background = 0};
        film.tracks.push_back(FilmImageTrack{.base = {.length = 40}, .file = "red.gal"});
        film.tracks.push_back(
            FilmWipeTrack{.base = {.length = 21}, .kind = WP_MASKFADE, .ruleFile = ruleFile});
        AddFilm("w.kcn", film);
        TKivoCinema& cinema = Cinema("w.kcn", 0, 4, 1);
        for (int i = 0; i < 40 && cinema.Index() < 10; ++i)
            root.FrameAdvance();
        EXPECT_EQ(cinema.Index(), 10);
        std::vector<TRect> dirty;
        (void)root.Draw(dirty);
        std::vector<uint32_t> red;
        for (int32_t x = 0; x < 4; ++x)
            red.push_back(root.BackBuffer().GetPixel(x, 1) >> 16 & 0xFF);
        root.Destroy(cinema);
        return red;
    };
    const std::vector<uint32_t> ruled = redAcross("rule.gal");
    EXPECT_LT(ruled[0], ruled[1]);
    EXPECT_LT(ruled[1], ruled[2]);
    EXPECT_LT(ruled[2], ruled[3]);
    // Without its rule picture every pixel switches alike.
    const std::vector<uint32_t> plain = redAcross("gone.gal");
    EXPECT_EQ(plain, std::vector<uint32_t>(4, plain[0]));
    EXPECT_LT(plain[0], 255u);
    EXPECT_EQ(root.Images().Find("rule.gal")->InUse(), false);
}

TEST_F(FilmTracksTest, ParticlesShowTheCachesPictureWithItsTransparentColour) {
    // A 2 x 2 picture keyed on blue at its right column.
    GalFile dot;
    dot.frames.push_back(RgbFrame(2, 2, {kGreen, kBlue, kGreen, kBlue}, 100, 0x0000FF));
    pictures.Add("dot.gal", dot);
    auto& emitter = *static_cast<TKivoParticle*>(root.CreateObject(LT_PARTICLE));
    emitter.SetParent(&root.ActiveLayer());
    emitter.SetBounds(0, 0, 16, 4);
    emitter.SetSource("dot.gal");
    emitter.SetMode(3);  // rises and drifts by the parameters: standing still with them at 0
    emitter.SetEmission({.XBase = 5, .YBase = 2, .IntervalBase = 1 << 20});
    root.FrameAdvance();
    ASSERT_EQ(emitter.LiveParticles(), 1);
    // Centred on (5, 2): the green column at 4, the keyed one leaves the black background.
    const std::vector<std::string> rows = Picture();
    EXPECT_EQ(rows[1], "....G...........");
    EXPECT_EQ(rows[2], "....G...........");
    EXPECT_EQ(root.Images().Find("dot.gal")->InUse(), true);
    root.Destroy(emitter);
    EXPECT_EQ(root.Images().Find("dot.gal")->InUse(), false);
}

}  // namespace
}  // namespace kivo::test
