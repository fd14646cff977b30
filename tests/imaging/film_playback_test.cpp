// Playing films: the easing modes, each kind of track applied to a recording stage, chains,
// old films' doubled times, transitions and layers, motion mode, sounds, and the objects a film
// leaves behind.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "imaging/film_fakes.h"
#include "imaging/film_manager.h"
#include "support/film_writer.h"

namespace kivo {
namespace {

using test::FilmFile;
using test::RecordingStage;
using test::StageObject;
using K = TFilmTrackKind;

TEST(FilmTween, EveryModeAtChosenFrames) {
    struct Case {
        const char* what;
        int32_t b, e;
        uint8_t mode;
        TFilmSpan span;
        int32_t expected;
    };
    const Case cases[] = {
        {"first frame", 7, 100, 0, {0, 11}, 7},
        {"last frame", 7, 100, 1, {10, 11}, 100},
        {"linear divides by c - 1", 0, 100, 0, {5, 11}, 50},
        {"linear truncates", 0, 100, 0, {1, 4}, 33},
        {"linear truncates toward zero", 0, -100, 0, {1, 4}, -33},
        {"a follower makes the span one longer", 0, 100, 0, {5, 12}, 45},
        {"slow start", 0, 100, 1, {5, 11}, 35},  // 34.51
        {"slow end", 0, 100, 2, {5, 11}, 65},    // 65.49
        {"unknown modes ease linearly", 0, 100, 9, {5, 11}, 50},
        {"no 32-bit overflow", -2000000000, 2000000000, 0, {1, 3}, 0},
        {"no overflow near the ends", INT32_MIN, INT32_MAX, 2, {5, 11}, 665121787},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(TweenInt(c.b, c.e, c.mode, c.span), c.expected);
    }
    // Floating-point values divide by c, not c - 1.
    EXPECT_DOUBLE_EQ(TweenFloat(0, 1, 0, {1, 4}), 0.25);
    EXPECT_DOUBLE_EQ(TweenFloat(0, 1, 0, {3, 4}), 1.0);
    EXPECT_DOUBLE_EQ(TweenFloat(0, 1, 2, {1, 3}), std::sin(std::acos(-1.0) / 6));
}

TEST(FilmTween, RoundingZoomsColoursAlphasAndTurns) {
    EXPECT_EQ(FilmRound(2.5), 2);
    EXPECT_EQ(FilmRound(3.5), 4);
    EXPECT_EQ(FilmRound(-2.5), -2);
    EXPECT_EQ(FilmRound(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(FilmRound(1e300), INT32_MAX);
    EXPECT_EQ(FilmRound(-1e300), INT32_MIN);

    EXPECT_EQ(FilmZoomToFixed(1.5), 384);
    EXPECT_EQ(FilmZoomToFixed(0.999), 255);
    EXPECT_EQ(FilmZoomToFixed(-0.5), -128);
    EXPECT_EQ(FilmZoomToFixed(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(FilmZoomToFixed(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(FilmZoomToFixed(1e20), INT32_MAX);
    EXPECT_EQ(FilmZoomToFixed(-1e20), INT32_MIN);

    // Red 100, green 20, blue 10 reached from black, each byte on its own.
    EXPECT_EQ(TweenColor(0, 0x0A1464, {5, 11}), 0x050A32);
    EXPECT_EQ(TweenColor(0x0A1464, 0, {5, 11}), 0x050A32);
    EXPECT_EQ(TweenColor(-1, -1, {5, 11}), -1);
    EXPECT_EQ(TweenColor(-1, 0, {0, 11}), 0xFFFFFF);

    EXPECT_EQ(TweenAlpha(0, 0, {1, 3}), 255);
    EXPECT_EQ(TweenAlpha(0, 55, {1, 3}), 155);
    EXPECT_EQ(TweenAlpha(55, 0, {2, 3}), 255);

    EXPECT_EQ(TweenTurn(0, 0, 0, {1, 3}), 0);
    EXPECT_EQ(TweenTurn(0, 90, 0, {2, 3}), 64);
    EXPECT_EQ(TweenTurn(0, 360, 0, {2, 3}), 0);
    EXPECT_EQ(TweenTurn(0, 450, 0, {2, 3}), 64);
    // Negative turns land one step short: -64 gives 191, -1 gives 254.
    EXPECT_EQ(TweenTurn(0, -90, 0, {2, 3}), 191);
    EXPECT_EQ(TweenTurn(0, -1, 0, {2, 3}), 254);
    EXPECT_EQ(TweenTurn(0, 90, 0, {5, 11}), 29);  // 40.9 degrees
}

// A film loaded into a manager that plays on a recording stage.
struct Player {
    RecordingStage stage;
    test::FakePictures pictures;
    std::unique_ptr<TFilmManager> film = std::make_unique<TFilmManager>();

    void Load(const FilmFile& file, bool ownSceneList = false, bool withPictures = true) {
        ASSERT_TRUE(film->LoadFromBytes(test::WriteFilm(file), "film.kcn",
                                        withPictures ? &pictures : nullptr))
            << film->LoadError();
        film->SetStage(&stage, ownSceneList);
    }
    StageObject& Apply(int32_t frame, K kind) {
        film->ApplyFrame(frame);
        return stage.Only(kind);
    }
};

TEST(FilmPlayback, AnImageTrackShowsItsPictureAndEasesItsValues) {
    Player p;
    p.pictures.Add("a.gal", {{.DelayMs = 50, .OffsetX = 1, .OffsetY = 2},
                             {.DelayMs = 100, .OffsetX = 3, .OffsetY = 4}});
    p.Load(FilmFile{.tracks = {test::FilmImageTrack{
                        .base = {.length = 11, .start = 10, .priority = 7, .flipV = true},
                        .block = {.anchorX = 5,
                                  .anchorY = 6,
                                  .move = {.sx = 0, .sy = 0, .ex = 100, .ey = 50, .modeY = 2},
                                  .endAngle = 90,
                                  .endZoomX = 2.0,
                                  .startAlpha = 0,
                                  .endAlpha = 128,
                                  .clip = {.sw = 10, .sh = 20, .ew = 0, .eh = 20},
                                  .endZoomY = 0.5},
                        .file = "a.gal"}}});

    p.film->ApplyFrame(9);
    EXPECT_TRUE(p.stage.objects.empty());

    StageObject& o = p.Apply(10, K::Image);
    EXPECT_EQ(o.pictureFrame, 0);
    EXPECT_EQ(o.Int(PR_LEFT), 0);
    EXPECT_EQ(o.Int(PR_OFFSETX), 4);  // the anchor less the frame's own offset
    EXPECT_EQ(o.Int(PR_OFFSETY), 4);
    EXPECT_EQ(o.Int(PR_ZOOMX), 256);
    EXPECT_EQ(o.Int(PR_ALPHA), 255);
    EXPECT_EQ(o.Int(PR_PRIORITY), 7);
    EXPECT_EQ(o.Int(PR_FLIPH), 0);
    EXPECT_EQ(o.Int(PR_FLIPV), 1);
    EXPECT_EQ(o.Int(PR_VISIBLE), 1);
    EXPECT_EQ(o.Int(PR_CLIPWIDTH), 10);

    // Frame 15 is local frame 5 of 11: the second picture frame (3 + 6 frames a cycle).
    p.film->ApplyFrame(15);
    EXPECT_EQ(o.pictureFrame, 1);
    EXPECT_EQ(o.Int(PR_OFFSETX), 2);
    EXPECT_EQ(o.Int(PR_LEFT), 50);
    EXPECT_EQ(o.Int(PR_TOP), 33);  // slow end: 32.74
    EXPECT_EQ(o.Int(PR_ZOOMX), 384);
    EXPECT_EQ(o.Int(PR_ZOOMY), 192);
    EXPECT_EQ(o.Int(PR_ALPHA), 192);
    EXPECT_EQ(o.Int(PR_ANGLE), 29);
    EXPECT_EQ(o.Int(PR_CLIPWIDTH), 5);

    // Frame 19 is local frame 9: the cycle of 9 frames starts again.
    p.film->ApplyFrame(19);
    EXPECT_EQ(o.pictureFrame, 0);

    p.film->ApplyFrame(20);
    EXPECT_EQ(o.Int(PR_LEFT), 100);
    EXPECT_EQ(o.Int(PR_TOP), 50);
    EXPECT_EQ(o.Int(PR_ZOOMX), 512);
    EXPECT_EQ(o.Int(PR_ALPHA), 128);
    EXPECT_EQ(o.Int(PR_ANGLE), 64);
    // A clip narrower than a pixel is no clip.
    EXPECT_EQ(o.Int(PR_CLIPWIDTH), 0);
    EXPECT_EQ(o.Int(PR_CLIPHEIGHT), 0);

    p.film->ApplyFrame(21);
    EXPECT_TRUE(p.stage.objects.empty());
    EXPECT_EQ(p.stage.log, (std::vector<std::string>{"create 1", "remove 1"}));
}

TEST(FilmPlayback, EachKindSetsItsObject) {
    Player p;
    p.pictures.Add("t.gal", {{}});
    FilmFile f;
    f.tracks.push_back(test::FilmLabelTrack{.base = {.length = 3},
                                            .block = {.anchorX = 9},
                                            .text = "hi",
                                            .antiAlias = true,
                                            .fontName = "F",
                                            .fontHeight = 20,
                                            .lineSpacing = 4,
                                            .fontStyle = 2,
                                            .fontColor = 0xFF,
                                            .align = 1});
    f.tracks.push_back(test::FilmBoxTrack{.base = {.length = 3},
                                          .move = {.sx = 1, .sy = 2, .ex = 3, .ey = 4},
                                          .startAlpha = 0,
                                          .endAlpha = 100,
                                          .startWidth = 10,
                                          .startHeight = 20,
                                          .endWidth = 30,
                                          .endHeight = 40,
                                          .startColor = 0,
                                          .endColor = 0x020202,
                                          .startBorderWidth = 0,
                                          .endBorderWidth = 4,
                                          .startBorderColor = -1,
                                          .endBorderColor = -1});
    f.tracks.push_back(test::FilmTileTrack{.base = {.length = 3},
                                           .file = "t.gal",
                                           .startWidth = 10,
                                           .startHeight = 20,
                                           .endWidth = 30,
                                           .endHeight = 40,
                                           .startScrollX = 0,
                                           .endScrollX = -8,
                                           .spacingX = 3,
                                           .spacingY = 5});
    f.tracks.push_back(test::FilmFireTrack{.base = {.length = 3},
                                           .startWidth = 64,
                                           .startHeight = 48,
                                           .endWidth = 64,
                                           .endHeight = 48,
                                           .startZoomX = 2.0,
                                           .endZoomX = 4.0,
                                           .power = 77});
    f.tracks.push_back(test::FilmParticleTrack{.base = {.length = 3},
                                               .file = "snow.gal",
                                               .mode = 3,
                                               .index = 500,
                                               .intervalBaseStart = 10,
                                               .intervalBaseEnd = 30,
                                               .xRangeStart = 100,
                                               .xRangeEnd = 100,
                                               .param0Start = 0,
                                               .param0End = 3.0,
                                               .startWidth = 640,
                                               .endWidth = 640,
                                               .startAlpha = 255,
                                               .endAlpha = 55});
    p.Load(f);
    p.film->ApplyFrame(1);

    const StageObject& label = p.stage.Only(K::Label);
    EXPECT_EQ(label.strings.at(PR_TEXT), "hi");
    EXPECT_EQ(label.strings.at(PR_FONTNAME), "F");
    EXPECT_EQ(label.Int(PR_FONTHEIGHT), 20);
    EXPECT_EQ(label.Int(PR_LINESPACE), 4);
    EXPECT_EQ(label.Int(PR_FONTSTYLE), 2);
    EXPECT_EQ(label.Int(PR_FONTCOLOR), 0xFF);
    EXPECT_EQ(label.Int(PR_ANTIALIAS), 1);
    EXPECT_EQ(label.Int(PR_HALIGN), 1);
    EXPECT_EQ(label.Int(PR_OFFSETX), 9);

    const StageObject& box = p.stage.Only(K::Box);
    EXPECT_EQ(box.Int(PR_LEFT), 2);
    EXPECT_EQ(box.Int(PR_TOP), 3);
    EXPECT_EQ(box.Int(PR_WIDTH), 20);
    EXPECT_EQ(box.Int(PR_HEIGHT), 30);
    EXPECT_EQ(box.Int(PR_ALPHA), 50);  // a box's alpha 0 is transparent, not opaque
    EXPECT_EQ(box.Int(PR_COLOR), 0x010101);
    EXPECT_EQ(box.Int(PR_BORDERWIDTH), 2);
    EXPECT_EQ(box.Int(PR_BORDERCOLOR), -1);

    const StageObject& tile = p.stage.Only(K::Tile);
    EXPECT_NE(tile.picture, nullptr);
    EXPECT_EQ(tile.Int(PR_WIDTH), 20);
    EXPECT_EQ(tile.Int(PR_HEIGHT), 30);
    EXPECT_EQ(tile.Int(PR_SCROLLX), -4);
    EXPECT_EQ(tile.Int(PR_DISTANCEX), 3);
    EXPECT_EQ(tile.Int(PR_DISTANCEY), 5);

    const StageObject& fire = p.stage.Only(K::Fire);
    EXPECT_EQ(fire.Int(PR_ORIGWIDTH), 64);
    EXPECT_EQ(fire.Int(PR_ORIGHEIGHT), 48);
    EXPECT_EQ(fire.Int(PR_ZOOMX), 768);
    EXPECT_EQ(fire.Int(PR_ZOOMY), 1024);
    EXPECT_EQ(fire.Int(PR_POWER), 77);

    const StageObject& particle = p.stage.Only(K::Particle);
    EXPECT_EQ(particle.strings.at(PR_SOURCE), "snow.gal");
    EXPECT_EQ(particle.Int(PR_PARTMOTION), 3);
    EXPECT_EQ(particle.Int(PR_INDEX), 500);
    EXPECT_EQ(particle.Int(PR_WIDTH), 640);
    EXPECT_EQ(particle.Int(PR_ALPHA), 155);
    EXPECT_DOUBLE_EQ(particle.floats.at(PR_PARAM1), 1.0);  // floating: 1 x 3 / 3
    EXPECT_EQ(particle.emission, (TFilmEmission{.XRange = 100, .IntervalBase = 20}));
}

TEST(FilmPlayback, AMissingPictureGivesNoObjectWhileOtherTracksPlayOn) {
    Player p;
    p.Load(FilmFile{.tracks = {test::FilmImageTrack{.base = {.length = 5}, .file = "gone.gal"},
                               test::FilmBoxTrack{.base = {.length = 5}}}});
    p.film->ApplyFrame(0);
    EXPECT_EQ(p.stage.Count(K::Image), 0u);
    EXPECT_EQ(p.stage.Count(K::Box), 1u);
}

TEST(FilmPlayback, AChainContinuesFromItsParentsEndValues) {
    Player p;
    p.pictures.Add("a.gal", {{}});
    FilmFile f;
    f.tracks.push_back(test::FilmImageTrack{
        .base = {.length = 10}, .block = {.move = {.ex = 100}}, .file = "a.gal"});
    f.tracks.push_back(test::FilmImageTrack{.base = {.parent = 0, .length = 10, .start = 70},
                                            .block = {.move = {.sx = -50, .ex = 200}},
                                            .file = "a.gal"});
    f.tracks.push_back(test::FilmFireTrack{.base = {.length = 10}, .startWidth = 8});
    f.tracks.push_back(test::FilmFireTrack{.base = {.parent = 2, .length = 10}, .endWidth = 16});
    p.Load(f);

    // With a follower the first track's last frame stops short of its end value.
    EXPECT_EQ(p.Apply(9, K::Image).Int(PR_LEFT), 90);
    const TFilmObjectId fire = p.stage.objects.rbegin()->first;
    // The follower starts at the joint from the end value, and has an object of its own.
    EXPECT_EQ(p.Apply(10, K::Image).Int(PR_LEFT), 100);
    EXPECT_EQ(p.stage.Count(K::Image), 1u);
    EXPECT_EQ(p.Apply(15, K::Image).Int(PR_LEFT), 155);
    EXPECT_EQ(p.Apply(19, K::Image).Int(PR_LEFT), 200);
    // The fire chain keeps one object across the joint, and the follower reaches its end.
    EXPECT_EQ(p.stage.Only(K::Fire).Int(PR_ORIGWIDTH), 16);
    EXPECT_TRUE(p.stage.objects.contains(fire));
    EXPECT_EQ(p.stage.Count(K::Fire), 1u);
    p.film->ApplyFrame(20);
    EXPECT_TRUE(p.stage.objects.empty());
    EXPECT_EQ(p.film->Duration(), 20);
}

TEST(FilmPlayback, OldFilmsRunAtHalfTheFrameRate) {
    Player p;
    p.Load(FilmFile{
        .version = 106,
        .loopStart = 15,
        .tracks = {test::FilmBoxTrack{.base = {.length = 20, .start = 10}, .move = {.ex = 59}}}});
    EXPECT_EQ(p.film->Duration(), 60);
    EXPECT_EQ(p.film->LoopStart(), 30);
    p.film->ApplyFrame(19);
    EXPECT_TRUE(p.stage.objects.empty());
    EXPECT_EQ(p.Apply(20, K::Box).Int(PR_LEFT), 0);
    EXPECT_EQ(p.Apply(40, K::Box).Int(PR_LEFT), 30);
    EXPECT_EQ(p.Apply(59, K::Box).Int(PR_LEFT), 59);
    p.film->ApplyFrame(60);
    EXPECT_TRUE(p.stage.objects.empty());
}

TEST(FilmPlayback, TransitionTracksFlipTheLayers) {
    Player p;
    p.pictures.Add("a.gal", {{}});
    const test::FilmImageTrack image{.file = "a.gal"};
    FilmFile f{.background = 0};
    f.tracks.push_back(test::FilmWipeTrack{
        .base = {.length = 10, .start = 10}, .kind = 1, .ruleFile = "r.gal", .param0 = 3});
    f.tracks.push_back(test::FilmWipeTrack{.base = {.length = 5, .start = 40}, .kind = 2});
    auto at = [&](int32_t start, int32_t length, bool otherSide) {
        test::FilmImageTrack t = image;
        t.base = {.length = length, .start = start, .otherSide = otherSide};
        return t;
    };
    f.tracks.push_back(at(0, 60, false));   // before the first transition: layer 0
    f.tracks.push_back(at(19, 10, false));  // the first has ended at its last frame: layer 1
    f.tracks.push_back(at(19, 10, true));   // the other side: layer 0
    f.tracks.push_back(at(50, 5, false));   // after both: layer 0
    p.Load(f, true);
    const auto layers = [&] {
        std::vector<int32_t> out;
        for (const auto& track : p.film->Tracks())
            out.push_back(track->Layer);
        return out;
    };
    EXPECT_EQ(layers(), (std::vector<int32_t>{0, 0, 0, 1, 0, 0}));

    std::vector<int32_t> shown;
    for (const int32_t frame : {5, 10, 11, 19, 20, 40, 41, 44, 45}) {
        p.film->ApplyFrame(frame);
        shown.push_back(p.stage.shownLayer);
    }
    EXPECT_EQ(shown, (std::vector<int32_t>{0, 0, 0, 1, 1, 1, 1, 0, 0}));
    std::vector<std::string> transitions;
    for (const std::string& line : p.stage.log) {
        if (!line.starts_with("create") && !line.starts_with("remove")) transitions.push_back(line);
    }
    EXPECT_EQ(transitions,
              (std::vector<std::string>{"run 1 0/10 fresh", "run 1 1/10", "run 1 9/10", "end",
                                        "run 2 0/5 fresh", "run 2 1/5", "run 2 4/5", "end"}));
    p.film->ApplyFrame(25);
    std::map<int32_t, int32_t> layerCount;
    for (const auto& [id, o] : p.stage.objects)
        ++layerCount[o.layer];
    EXPECT_EQ(layerCount, (std::map<int32_t, int32_t>{{0, 2}, {1, 1}}));
}

TEST(FilmPlayback, InTheMainSceneNoLayersAreDriven) {
    Player p;
    p.Load(FilmFile{.tracks = {test::FilmWipeTrack{.base = {.length = 10}, .kind = 1}}}, false);
    p.film->ApplyFrame(3);
    EXPECT_TRUE(p.stage.log.empty());
    EXPECT_EQ(p.stage.shownLayer, -1);
}

TEST(FilmPlayback, MotionModeMovesTheDrivenObjectOnly) {
    for (const bool relative : {false, true}) {
        SCOPED_TRACE(relative);
        Player p;
        p.Load(FilmFile{.signature = "KivoMotion",
                        .relative = relative,
                        .originX = 10,
                        .originY = 20,
                        .tracks = {test::FilmImageTrack{
                                       .base = {.length = 11, .priority = 4},
                                       .block = {.move = {.sx = 10, .sy = 20, .ex = 110, .ey = 20},
                                                 .endAlpha = 100},
                                       .file = "unused.gal"},
                                   test::FilmFireTrack{.base = {.length = 11}}}},
               false, false);
        const TFilmObjectId driven = p.stage.Adopt(K::Image);
        p.film->SetMotionMode(driven, 50, 60);
        p.film->ApplyFrame(5);
        const StageObject& o = p.stage.objects.at(driven);
        const int32_t shift = relative ? 40 : 0;
        EXPECT_EQ(o.motion, (std::pair<int32_t, int32_t>{60 + shift, 20 + shift}));
        EXPECT_EQ(o.subPriority, 4);
        EXPECT_FALSE(o.ints.contains(PR_LEFT));
        EXPECT_FALSE(o.ints.contains(PR_PRIORITY));
        EXPECT_EQ(o.Int(PR_ALPHA), 178);
        p.film->ApplyFrame(20);
        p.film.reset();
        EXPECT_TRUE(p.stage.log.empty());
        EXPECT_EQ(p.stage.objects.size(), 1u);
    }
}

TEST(FilmPlayback, SoundTracksFollowTheFilm) {
    Player p;
    p.stage.soundLengthMs = 1500;
    // 600 frames are 10 s.
    p.Load(FilmFile{.loopStart = 0,
                    .tracks = {test::FilmSoundTrack{.base = {.length = 600, .start = 60},
                                                    .file = "bgm.ogg",
                                                    .startVolume = 800,
                                                    .endVolume = 800,
                                                    .startBalance = -20,
                                                    .endBalance = -20}}});
    p.film->SetVolume(500);
    StageObject& s = p.Apply(60, K::Sound);
    EXPECT_EQ(s.strings.at(PR_SOURCE), "bgm.ogg");
    EXPECT_EQ(s.Int(PR_REPEAT), 1);  // shorter than the track
    EXPECT_EQ(s.Int(PR_VOLUME), 400);
    EXPECT_EQ(s.Int(PR_BALANCE), -20);
    EXPECT_EQ(s.plays, 1);
    EXPECT_FALSE(s.ints.contains(PR_INDEX));  // at 0 already

    // 1 s off is close enough; 5 s off is moved to where the film stands.
    s.ints[PR_INDEX] = 0;
    p.film->ApplyFrame(120);
    EXPECT_EQ(s.Int(PR_INDEX), 0);
    p.film->ApplyFrame(360);
    EXPECT_EQ(s.Int(PR_INDEX), 5000);
    EXPECT_EQ(s.plays, 1);

    // Paused films pause their sounds; running again starts them.
    p.film->SetRunning(false);
    p.film->ApplyFrame(361);
    EXPECT_EQ(s.Int(PR_PAUSED), 1);
    s.ints[PR_PLAYING] = 0;
    p.film->SetRunning(true);
    p.film->ApplyFrame(362);
    EXPECT_EQ(s.plays, 2);

    // The volume product is taken in 64 bits.
    p.film->SetVolume(INT32_MAX);
    p.film->ApplyFrame(363);
    EXPECT_EQ(s.Int(PR_VOLUME), 1717986917);

    // After its end the sound pauses and stays; before its start it goes.
    p.film->ApplyFrame(700);
    EXPECT_EQ(s.Int(PR_PAUSED), 1);
    EXPECT_EQ(p.stage.Count(K::Sound), 1u);
    p.film->ApplyFrame(10);
    EXPECT_EQ(p.stage.Count(K::Sound), 0u);
}

TEST(FilmPlayback, ASoundLoopsWhenTheFilmLoopsBackIntoIt) {
    struct Case {
        int32_t loopStart, trackStart;
        bool loops;
    };
    // The film is 100 frames; the sound (long enough) plays from trackStart to the end.
    for (const Case c :
         {Case{30, 0, true}, Case{0, 0, false}, Case{99, 0, false}, Case{30, 40, false}}) {
        SCOPED_TRACE(c.loopStart);
        Player p;
        p.stage.soundLengthMs = 100000;
        p.Load(FilmFile{.loopStart = c.loopStart,
                        .tracks = {test::FilmSoundTrack{
                            .base = {.length = 100 - c.trackStart, .start = c.trackStart}}}});
        EXPECT_EQ(p.Apply(c.trackStart, K::Sound).Int(PR_REPEAT), c.loops ? 1 : 0);
    }
}

TEST(FilmPlayback, TheFilmRemovesEverythingItMade) {
    Player p;
    const FilmFile f{.tracks = {test::FilmBoxTrack{.base = {.length = 5}},
                                test::FilmSoundTrack{.base = {.length = 5}},
                                test::FilmFireTrack{.base = {.length = 5}}}};
    p.Load(f);
    p.film->ApplyFrame(0);
    ASSERT_EQ(p.stage.objects.size(), 3u);
    p.film.reset();
    EXPECT_TRUE(p.stage.objects.empty());

    p.film = std::make_unique<TFilmManager>();
    p.Load(f);
    p.film->ApplyFrame(0);
    p.Load(f);  // loading again removes the old film's objects
    EXPECT_TRUE(p.stage.objects.empty());
    p.film->ApplyFrame(0);
    p.film->Clear();
    EXPECT_TRUE(p.stage.objects.empty());
}

TEST(FilmPlayback, PausingReachesEveryObjectButSounds) {
    Player p;
    p.Load(FilmFile{.tracks = {test::FilmFireTrack{.base = {.length = 9}},
                               test::FilmSoundTrack{.base = {.length = 9}},
                               test::FilmBoxTrack{.base = {.length = 9, .start = 5}}}});
    p.film->ApplyFrame(0);
    p.film->SetPaused(true);
    p.film->ApplyFrame(5);
    EXPECT_EQ(p.stage.Only(K::Fire).Int(PR_ANIPAUSED), 1);
    EXPECT_EQ(p.stage.Only(K::Box).Int(PR_ANIPAUSED), 1);
    EXPECT_FALSE(p.stage.Only(K::Sound).ints.contains(PR_ANIPAUSED));
    p.film->SetPaused(false);
    EXPECT_EQ(p.stage.Only(K::Fire).Int(PR_ANIPAUSED), 0);
}

}  // namespace
}  // namespace kivo
