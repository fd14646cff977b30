// Reading films: the header, every kind of track with its version gates, names, chains, and
// damaged files.

#include <gtest/gtest.h>

#include "imaging/film_fakes.h"
#include "imaging/film_manager.h"
#include "support/film_writer.h"

namespace kivo {
namespace {

using test::FilmFile;

template <typename Track>
const Track& TrackAt(const TFilmManager& film, size_t i) {
    return dynamic_cast<const Track&>(*film.Tracks().at(i));
}

std::unique_ptr<TFilmManager> Load(const FilmFile& file) {
    auto film = std::make_unique<TFilmManager>();
    EXPECT_TRUE(film->LoadFromBytes(test::WriteFilm(file), "anime\\op.kcn", nullptr))
        << film->LoadError();
    return film;
}

// Every field has its own value, so a field read in the wrong place shows.
FilmFile EveryKind(int32_t version) {
    const test::FilmImageBlock block{.anchorX = 1,
                                     .anchorY = 2,
                                     .move = {3, 4, 5, 6, 1, 2},
                                     .startAngle = 7,
                                     .endAngle = 8,
                                     .startZoomX = 1.5,
                                     .endZoomX = 2.25,
                                     .zoomXMode = 2,
                                     .startAlpha = 9,
                                     .endAlpha = 10,
                                     .angleMode = 1,
                                     .clip = {11, 12, 13, 14, 15, 16, 17, 18, 2, 1},
                                     .startZoomY = 0.5,
                                     .endZoomY = 3.0,
                                     .zoomYMode = 1};
    FilmFile f{.version = version,
               .width = 640,
               .height = 480,
               .background = 0x123456,
               .relative = true,
               .originX = -5,
               .originY = 7,
               .loopStart = 30};
    f.tracks.push_back(test::FilmImageTrack{.base = {.parent = -1,
                                                     .length = 20,
                                                     .reserved = 99,
                                                     .start = 10,
                                                     .cycle = 4,
                                                     .priority = 5,
                                                     .flipH = true,
                                                     .flipV = false,
                                                     .otherSide = true},
                                            .block = block,
                                            .file = "pic.gal"});
    f.tracks.push_back(test::FilmLabelTrack{.base = {.length = 3},
                                            .block = block,
                                            .text = "hello",
                                            .antiAlias = true,
                                            .fontName = "MS Gothic",
                                            .fontHeight = 24,
                                            .lineSpacing = 6,
                                            .fontStyle = 3,
                                            .fontColor = 0x00FF00,
                                            .align = 2});
    f.tracks.push_back(test::FilmBoxTrack{.base = {.length = 3},
                                          .move = {20, 21, 22, 23, 1, 2},
                                          .startAlpha = 24,
                                          .endAlpha = 25,
                                          .startWidth = 26,
                                          .startHeight = 27,
                                          .endWidth = 28,
                                          .endHeight = 29,
                                          .startColor = 30,
                                          .endColor = 31,
                                          .startBorderWidth = 32,
                                          .endBorderWidth = 33,
                                          .startBorderColor = 34,
                                          .endBorderColor = 35,
                                          .clip = {36, 37, 38, 39, 40, 41, 42, 43, 0, 1}});
    f.tracks.push_back(test::FilmWipeTrack{.base = {.length = 3},
                                           .kind = 19,
                                           .ruleFile = "rule.gal",
                                           .param0 = 44,
                                           .param1 = 45,
                                           .flag = true});
    f.tracks.push_back(test::FilmSoundTrack{.base = {.length = 3},
                                            .file = "bgm.ogg",
                                            .startVolume = -5000,
                                            .endVolume = 0,
                                            .startBalance = -100,
                                            .endBalance = 100,
                                            .volumeMode = 1,
                                            .balanceMode = 2});
    f.tracks.push_back(test::FilmTileTrack{.base = {.length = 3},
                                           .block = block,
                                           .file = "tile.gal",
                                           .startWidth = 50,
                                           .startHeight = 51,
                                           .endWidth = 52,
                                           .endHeight = 53,
                                           .startScrollX = 54,
                                           .startScrollY = 55,
                                           .endScrollX = 56,
                                           .endScrollY = 57,
                                           .scrollXMode = 1,
                                           .scrollYMode = 2,
                                           .spacingX = 58,
                                           .spacingY = 59,
                                           .clip = {60, 61, 62, 63, 64, 65, 66, 67, 1, 1}});
    f.tracks.push_back(test::FilmParticleTrack{.base = {.length = 3},
                                               .file = "snow.gal",
                                               .mode = 2,
                                               .index = 70,
                                               .intervalBaseStart = 71,
                                               .intervalBaseEnd = 72,
                                               .intervalRangeStart = 73,
                                               .intervalRangeEnd = 74,
                                               .xBaseStart = 75,
                                               .yBaseStart = 76,
                                               .xBaseEnd = 77,
                                               .yBaseEnd = 78,
                                               .xRangeStart = 79,
                                               .yRangeStart = 80,
                                               .xRangeEnd = 81,
                                               .yRangeEnd = 82,
                                               .xBaseMode = 1,
                                               .yBaseMode = 2,
                                               .param0Start = 0.5,
                                               .param1Start = 1.5,
                                               .param2Start = 2.5,
                                               .param0End = 3.5,
                                               .param1End = 4.5,
                                               .param2End = 5.5,
                                               .move = {83, 84, 85, 86, 2, 1},
                                               .startWidth = 87,
                                               .startHeight = 88,
                                               .endWidth = 89,
                                               .endHeight = 90,
                                               .clip = {91, 92, 93, 94, 95, 96, 97, 98, 1, 0},
                                               .startAlpha = 99,
                                               .endAlpha = 100});
    f.tracks.push_back(test::FilmFireTrack{.base = {.length = 3},
                                           .move = {101, 102, 103, 104, 1, 1},
                                           .startWidth = 105,
                                           .startHeight = 106,
                                           .endWidth = 107,
                                           .endHeight = 108,
                                           .clip = {1, 2, 3, 4, 5, 6, 7, 8, 0, 0},
                                           .startZoomX = 1.0,
                                           .startZoomY = 2.0,
                                           .endZoomX = 3.0,
                                           .endZoomY = 4.0,
                                           .zoomXMode = 2,
                                           .zoomYMode = 1,
                                           .power = 200});
    return f;
}

void ExpectImageBlock(const TImageLikeFrameList& t, bool clips, bool zoomY) {
    EXPECT_EQ(t.AnchorX, 1);
    EXPECT_EQ(t.AnchorY, 2);
    EXPECT_EQ(t.Position.X, (TFilmPair<int32_t>{3, 5}));
    EXPECT_EQ(t.Position.Y, (TFilmPair<int32_t>{4, 6}));
    EXPECT_EQ(t.Position.ModeX, 1);
    EXPECT_EQ(t.Position.ModeY, 2);
    EXPECT_EQ(t.Angle, (TFilmPair<int32_t>{7, 8}));
    EXPECT_EQ(t.ZoomX, (TFilmPair<int32_t>{384, 576}));
    EXPECT_EQ(t.ZoomXMode, 2);
    EXPECT_EQ(t.Alpha, (TFilmPair<int32_t>{9, 10}));
    EXPECT_EQ(t.AngleMode, 1);
    EXPECT_EQ(t.Clip.Left, (TFilmPair<int32_t>{clips ? 11 : 0, clips ? 15 : 0}));
    EXPECT_EQ(t.Clip.Height, (TFilmPair<int32_t>{clips ? 14 : 0, clips ? 18 : 0}));
    EXPECT_EQ(t.Clip.ModeX, clips ? 2 : 0);
    // Before zoom y was stored, it copies zoom x.
    EXPECT_EQ(t.ZoomY, zoomY ? (TFilmPair<int32_t>{128, 768}) : t.ZoomX);
    EXPECT_EQ(t.ZoomYMode, zoomY ? 1 : 2);
}

TEST(FilmReader, ReadsTheHeaderAndEveryKindOfTrack) {
    const auto filmOwner = Load(EveryKind(108));
    const TFilmManager& film = *filmOwner;
    EXPECT_FALSE(film.IsMotionFile());
    EXPECT_EQ(film.Version(), 108);
    EXPECT_EQ(film.Width(), 640);
    EXPECT_EQ(film.Height(), 480);
    EXPECT_EQ(film.BackgroundColor(), 0x123456);
    EXPECT_TRUE(film.Relative());
    EXPECT_EQ(film.OriginX(), -5);
    EXPECT_EQ(film.OriginY(), 7);
    EXPECT_EQ(film.LoopStart(), 30);
    EXPECT_EQ(film.Duration(), 30);
    ASSERT_EQ(film.Tracks().size(), 8u);

    const auto& image = TrackAt<TImageFrameList>(film, 0);
    EXPECT_EQ(image.Length, 20);
    EXPECT_EQ(image.Reserved, 99);
    EXPECT_EQ(image.Start, 10);
    EXPECT_EQ(image.Cycle, 4);
    EXPECT_EQ(image.Priority, 5);
    EXPECT_TRUE(image.FlipH);
    EXPECT_FALSE(image.FlipV);
    EXPECT_TRUE(image.OtherSide);
    ExpectImageBlock(image, true, true);
    EXPECT_EQ(image.ImageFile, "ANIME\\pic.gal");

    const auto& label = TrackAt<TLabelFrameList>(film, 1);
    ExpectImageBlock(label, true, true);
    EXPECT_EQ(label.Text, "hello");
    EXPECT_TRUE(label.AntiAlias);
    EXPECT_EQ(label.FontName, "MS Gothic");
    EXPECT_EQ(label.FontHeight, 24);
    EXPECT_EQ(label.LineSpacing, 6);
    EXPECT_EQ(label.FontStyle, 3);
    EXPECT_EQ(label.FontColor, 0x00FF00);
    EXPECT_EQ(label.HAlign, 2);

    const auto& box = TrackAt<TBoxFrameList>(film, 2);
    EXPECT_EQ(box.Position.X, (TFilmPair<int32_t>{20, 22}));
    EXPECT_EQ(box.Position.ModeY, 2);
    EXPECT_EQ(box.Alpha, (TFilmPair<int32_t>{24, 25}));
    EXPECT_EQ(box.Width, (TFilmPair<int32_t>{26, 28}));
    EXPECT_EQ(box.Height, (TFilmPair<int32_t>{27, 29}));
    EXPECT_EQ(box.Color, (TFilmPair<int32_t>{30, 31}));
    EXPECT_EQ(box.BorderWidth, (TFilmPair<int32_t>{32, 33}));
    EXPECT_EQ(box.BorderColor, (TFilmPair<int32_t>{34, 35}));
    EXPECT_EQ(box.Clip.Width, (TFilmPair<int32_t>{38, 42}));
    EXPECT_EQ(box.Clip.ModeY, 1);

    const auto& wipe = TrackAt<TWipeFrameList>(film, 3);
    EXPECT_EQ(wipe.Transition.Kind, 19);
    EXPECT_EQ(wipe.Transition.RuleFile, "ANIME\\rule.gal");
    EXPECT_EQ(wipe.Transition.Param0, 44);
    EXPECT_EQ(wipe.Transition.Param1, 45);
    EXPECT_TRUE(wipe.Transition.Flag);

    const auto& sound = TrackAt<TSoundFrameList>(film, 4);
    EXPECT_EQ(sound.SoundFile, "ANIME\\bgm.ogg");
    EXPECT_EQ(sound.Volume, (TFilmPair<int32_t>{-5000, 0}));
    EXPECT_EQ(sound.Balance, (TFilmPair<int32_t>{-100, 100}));
    EXPECT_EQ(sound.VolumeMode, 1);
    EXPECT_EQ(sound.BalanceMode, 2);

    const auto& tile = TrackAt<TTileFrameList>(film, 5);
    EXPECT_EQ(tile.ImageFile, "ANIME\\tile.gal");
    EXPECT_EQ(tile.Width, (TFilmPair<int32_t>{50, 52}));
    EXPECT_EQ(tile.Height, (TFilmPair<int32_t>{51, 53}));
    EXPECT_EQ(tile.ScrollX, (TFilmPair<int32_t>{54, 56}));
    EXPECT_EQ(tile.ScrollY, (TFilmPair<int32_t>{55, 57}));
    EXPECT_EQ(tile.ScrollXMode, 1);
    EXPECT_EQ(tile.ScrollYMode, 2);
    EXPECT_EQ(tile.SpacingX, 58);
    EXPECT_EQ(tile.SpacingY, 59);
    // The tile's own clip replaces the one of its image block.
    EXPECT_EQ(tile.Clip.Left, (TFilmPair<int32_t>{60, 64}));
    EXPECT_EQ(tile.Clip.ModeX, 1);

    const auto& particle = TrackAt<TParticleFrameList>(film, 6);
    EXPECT_EQ(particle.ImageFile, "ANIME\\snow.gal");
    EXPECT_EQ(particle.Mode, 2);
    EXPECT_EQ(particle.Index, 70);
    EXPECT_EQ(particle.IntervalBase, (TFilmPair<int32_t>{71, 72}));
    EXPECT_EQ(particle.IntervalRange, (TFilmPair<int32_t>{73, 74}));
    EXPECT_EQ(particle.XBase, (TFilmPair<int32_t>{75, 77}));
    EXPECT_EQ(particle.YBase, (TFilmPair<int32_t>{76, 78}));
    EXPECT_EQ(particle.XRange, (TFilmPair<int32_t>{79, 81}));
    EXPECT_EQ(particle.YRange, (TFilmPair<int32_t>{80, 82}));
    EXPECT_EQ(particle.XBaseMode, 1);
    EXPECT_EQ(particle.YBaseMode, 2);
    EXPECT_EQ(particle.Param0, (TFilmPair<double>{0.5, 3.5}));
    EXPECT_EQ(particle.Param1, (TFilmPair<double>{1.5, 4.5}));
    EXPECT_EQ(particle.Param2, (TFilmPair<double>{2.5, 5.5}));
    EXPECT_EQ(particle.Position.Y, (TFilmPair<int32_t>{84, 86}));
    EXPECT_EQ(particle.Width, (TFilmPair<int32_t>{87, 89}));
    EXPECT_EQ(particle.Height, (TFilmPair<int32_t>{88, 90}));
    EXPECT_EQ(particle.Clip.Top, (TFilmPair<int32_t>{92, 96}));
    EXPECT_EQ(particle.Alpha, (TFilmPair<int32_t>{99, 100}));

    const auto& fire = TrackAt<TFireFrameList>(film, 7);
    EXPECT_EQ(fire.Position.X, (TFilmPair<int32_t>{101, 103}));
    EXPECT_EQ(fire.Width, (TFilmPair<int32_t>{105, 107}));
    EXPECT_EQ(fire.Height, (TFilmPair<int32_t>{106, 108}));
    EXPECT_EQ(fire.Clip.Height, (TFilmPair<int32_t>{4, 8}));
    EXPECT_EQ(fire.ZoomX, (TFilmPair<int32_t>{256, 768}));
    EXPECT_EQ(fire.ZoomY, (TFilmPair<int32_t>{512, 1024}));
    EXPECT_EQ(fire.ZoomXMode, 2);
    EXPECT_EQ(fire.ZoomYMode, 1);
    EXPECT_EQ(fire.Power, 200);
}

TEST(FilmReader, OlderVersionsLackFieldsAndCountOtherUnits) {
    struct Case {
        int32_t version;
        bool relative, origin, clips, zoomY, lineSpacing, align, wipeRule;
        int32_t start, length, cycle, loopStart;  // as read
        int32_t startVolume, endVolume;
    };
    // Written: start 10, length 20, cycle 4, loop start 30, volumes -5000 and 0.
    const Case cases[] = {
        {100, false, false, false, false, false, false, false, 20, 40, 8, 0, 500, 1000},
        {101, false, false, true, false, false, false, true, 20, 40, 8, 0, 500, 1000},
        {102, true, false, true, false, false, false, true, 20, 40, 8, 0, 500, 1000},
        {103, true, false, true, false, true, true, true, 20, 40, 8, 0, 500, 1000},
        {104, true, true, true, false, true, true, true, 20, 40, 8, 0, 500, 1000},
        {105, true, true, true, true, true, true, true, 20, 40, 8, 0, 500, 1000},
        {106, true, true, true, true, true, true, true, 20, 40, 8, 60, 500, 1000},
        {107, true, true, true, true, true, true, true, 10, 20, 4, 30, 500, 1000},
        {108, true, true, true, true, true, true, true, 10, 20, 4, 30, -5000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        const auto filmOwner = Load(EveryKind(c.version));
        const TFilmManager& film = *filmOwner;
        ASSERT_EQ(film.Tracks().size(), 8u);
        EXPECT_EQ(film.Relative(), c.relative);
        EXPECT_EQ(film.OriginX(), c.origin ? -5 : 0);
        EXPECT_EQ(film.LoopStart(), c.loopStart);
        const auto& image = TrackAt<TImageFrameList>(film, 0);
        EXPECT_EQ(image.Start, c.start);
        EXPECT_EQ(image.Length, c.length);
        EXPECT_EQ(image.Cycle, c.cycle);
        ExpectImageBlock(image, c.clips, c.zoomY);
        const auto& label = TrackAt<TLabelFrameList>(film, 1);
        EXPECT_EQ(label.LineSpacing, c.lineSpacing ? 6 : 0);
        EXPECT_EQ(label.HAlign, c.align ? 2 : 0);
        EXPECT_EQ(label.FontColor, 0x00FF00);
        EXPECT_EQ(TrackAt<TBoxFrameList>(film, 2).Clip.Width.Start, c.clips ? 38 : 0);
        EXPECT_EQ(TrackAt<TWipeFrameList>(film, 3).Transition.Param1, c.wipeRule ? 45 : 0);
        const auto& sound = TrackAt<TSoundFrameList>(film, 4);
        EXPECT_EQ(sound.Volume, (TFilmPair<int32_t>{c.startVolume, c.endVolume}));
        EXPECT_EQ(TrackAt<TTileFrameList>(film, 5).Clip.Left.Start, c.clips ? 60 : 0);
        EXPECT_EQ(TrackAt<TFireFrameList>(film, 7).Power, 200);
    }
}

TEST(FilmReader, NamesResolveAgainstTheFilmsFolderAndNeverOutsideTheGame) {
    struct Case {
        const char* film;
        const char* name;
        bool climb;
        const char* resolved;
    };
    const Case cases[] = {
        {"anime\\op\\film.kcn", "a.gal", true, "ANIME\\OP\\a.gal"},
        {"anime\\op\\film.kcn", "sub\\b.gal", true, "ANIME\\OP\\sub\\b.gal"},
        {"anime\\op\\film.kcn", "..\\c.gal", true, "ANIME\\c.gal"},
        {"anime/op/film.kcn", "..\\..\\d.gal", true, "d.gal"},
        {"anime\\op\\film.kcn", "..\\..\\..\\e.gal", true, ""},
        {"film.kcn", "..\\f.gal", true, ""},
        {"film.kcn", "g.gal", true, "g.gal"},
        {"anime\\op\\film.kcn", "\\h.gal", true, ""},
        {"anime\\op\\film.kcn", "/h.gal", true, ""},
        {"anime\\op\\film.kcn", "C:\\i.gal", true, ""},
        {"anime\\op\\film.kcn", "c:j.gal", true, ""},
        {"anime\\op\\film.kcn", "", true, ""},
        // Rule files of transitions only tell absolute names from relative ones.
        {"anime\\op\\film.kcn", "..\\r.gal", false, "ANIME\\OP\\..\\r.gal"},
        {"anime\\op\\film.kcn", "D:\\r.gal", false, ""},
        // A trail byte 0x5C is no delimiter, and folding never touches it.
        {"\x83\x5C"
         "a\\film.kcn",
         "k.gal", true,
         "\x83\x5C"
         "A\\k.gal"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.film) + " " + c.name);
        EXPECT_EQ(ResolveFilmName(c.film, c.name, c.climb), c.resolved);
    }
}

TEST(FilmReader, ParentsThatLoopOrDifferInKindCountAsNone) {
    struct Case {
        const char* what;
        std::vector<int32_t> parents;  // image tracks, except a box where the parent is 100
        std::vector<int32_t> expected;
    };
    const Case cases[] = {
        {"chain", {-1, 0, 1}, {-1, 0, 1}},
        {"self", {0, -1}, {-1, -1}},
        {"outside", {5, -7}, {-1, -1}},
        {"two in a loop", {1, 0}, {-1, -1}},
        {"a tail into a loop", {1, 2, 1}, {1, -1, -1}},
        {"other kind", {-1, 100}, {-1, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FilmFile f;
        for (const int32_t parent : c.parents) {
            if (parent == 100)
                f.tracks.push_back(test::FilmBoxTrack{.base = {.parent = 0, .length = 5}});
            else
                f.tracks.push_back(test::FilmImageTrack{.base = {.parent = parent, .length = 5}});
        }
        const auto filmOwner = Load(f);
        const TFilmManager& film = *filmOwner;
        for (size_t i = 0; i < c.expected.size(); ++i) {
            const TCustomFrameList* parent = film.Tracks()[i]->Parent;
            EXPECT_EQ(parent ? parent->TrackIndex : -1, c.expected[i]) << "track " << i;
        }
    }
}

TEST(FilmReader, ChainedTracksStartWhereTheirParentsEnd) {
    FilmFile f;
    f.tracks.push_back(test::FilmImageTrack{.base = {.parent = 2, .length = 7, .start = 500}});
    f.tracks.push_back(test::FilmImageTrack{.base = {.length = 10, .start = 5}});
    f.tracks.push_back(test::FilmImageTrack{.base = {.parent = 1, .length = 3, .start = 500}});
    const auto filmOwner = Load(f);
    const TFilmManager& film = *filmOwner;
    EXPECT_EQ(film.Tracks()[1]->Start, 5);
    EXPECT_EQ(film.Tracks()[2]->Start, 15);
    EXPECT_EQ(film.Tracks()[0]->Start, 18);
    EXPECT_EQ(film.Tracks()[0]->ChainFirst, film.Tracks()[1].get());
    EXPECT_TRUE(film.Tracks()[2]->HasFollower);
    EXPECT_FALSE(film.Tracks()[0]->HasFollower);
    EXPECT_EQ(film.Duration(), 25);

    // A chain far longer than any stack: every link follows the one before it.
    FilmFile longChain;
    constexpr int32_t kLinks = 20000;
    for (int32_t i = 0; i < kLinks; ++i)
        longChain.tracks.push_back(test::FilmSoundTrack{.base = {.parent = i - 1, .length = 2}});
    const auto chainedOwner = Load(longChain);
    const TFilmManager& chained = *chainedOwner;
    EXPECT_EQ(chained.Tracks().back()->Start, 2 * (kLinks - 1));
    EXPECT_EQ(chained.Tracks().back()->ChainFirst, chained.Tracks().front().get());
    EXPECT_EQ(chained.Duration(), 2 * kLinks);
}

TEST(FilmReader, PicturesGiveImageTracksTheirFramesAndNames) {
    FilmFile f;
    f.tracks.push_back(test::FilmImageTrack{.base = {.length = 0, .cycle = 99}, .file = "a.gal"});
    f.tracks.push_back(test::FilmImageTrack{.base = {.length = 5}, .file = "..\\missing.gal"});
    f.tracks.push_back(test::FilmParticleTrack{.base = {.length = 5}, .file = "p.gal"});
    f.tracks.push_back(test::FilmTileTrack{.base = {.length = 5}, .file = "\\abs.gal"});
    f.tracks.push_back(test::FilmParticleTrack{.base = {.length = 5}, .file = ""});
    test::FakePictures pictures;
    // 50 ms is 3 frames; 8 ms rounds to none and counts as 1; 25 ms is 1.5, to even 2.
    pictures.Add("OP\\a.gal", {{.DelayMs = 50}, {.DelayMs = 8}, {.DelayMs = 25}});
    TFilmManager film;
    ASSERT_TRUE(film.LoadFromBytes(test::WriteFilm(f), "op\\film.kcn", &pictures));
    EXPECT_EQ(pictures.asked, (std::vector<std::string>{"OP\\a.gal", "missing.gal"}));
    const auto& image = TrackAt<TImageFrameList>(film, 0);
    EXPECT_EQ(image.FrameDurations(), (std::vector<int32_t>{3, 1, 2}));
    EXPECT_EQ(image.Cycle, 6);
    EXPECT_EQ(image.Length, 6);  // a length of 0 is one cycle
    EXPECT_TRUE(image.HasFrames());
    EXPECT_FALSE(film.Tracks()[1]->HasFrames());
    EXPECT_FALSE(film.Tracks()[3]->HasFrames());
    EXPECT_FALSE(film.Tracks()[4]->HasFrames());
    EXPECT_EQ(film.ImageNames(),
              (std::vector<std::string>{"OP\\a.gal", "missing.gal", "OP\\p.gal"}));
}

TEST(FilmReader, WhereAFilmPlays) {
    EXPECT_FALSE(Load(FilmFile{.tracks = {test::FilmImageTrack{}}})->NeedsOwnSceneList());
    EXPECT_TRUE(Load(FilmFile{.background = 0})->NeedsOwnSceneList());
    EXPECT_TRUE(Load(FilmFile{.tracks = {test::FilmWipeTrack{}}})->NeedsOwnSceneList());
    const auto motionOwner = Load(FilmFile{.signature = "KivoMotion"});
    const TFilmManager& motion = *motionOwner;
    EXPECT_TRUE(motion.IsMotionFile());
}

TEST(FilmReader, DamagedFilmsAreEmptyAndSayWhichFile) {
    const std::vector<uint8_t> whole = test::WriteFilm(EveryKind(108));
    TFilmManager film;
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        EXPECT_FALSE(film.LoadFromBytes({whole.data(), cut}, "cut.kcn", nullptr));
        EXPECT_TRUE(film.Tracks().empty());
        EXPECT_EQ(film.Duration(), 0);
        EXPECT_NE(film.LoadError().find("cut.kcn"), std::string::npos) << film.LoadError();
    }
    EXPECT_TRUE(film.LoadFromBytes(whole, "cut.kcn", nullptr));
    EXPECT_EQ(film.LoadError(), "");

    // An image track whose file name claims more bytes than are left: its length is the
    // int32 before the name's single byte at the end.
    std::vector<uint8_t> longName =
        test::WriteFilm(FilmFile{.tracks = {test::FilmImageTrack{.file = "a"}}});
    std::fill(longName.end() - 5, longName.end() - 2, 0xFF);
    longName.end()[-2] = 0x7F;

    const std::pair<const char*, std::vector<uint8_t>> bad[] = {
        {"foreign signature", test::WriteFilm(FilmFile{.signature = "KivoCinemX"})},
        {"version not digits", test::WriteFilm(FilmFile{.signature = "KivoCinema1a"})},
        {"track count past the end", test::WriteFilm(FilmFile{.trackCount = 0x7FFFFFFF})},
        {"negative track count", test::WriteFilm(FilmFile{.trackCount = -1})},
        {"name past the end", longName},
    };
    for (const auto& [what, bytes] : bad) {
        SCOPED_TRACE(what);
        EXPECT_FALSE(film.LoadFromBytes(bytes, "bad.kcn", nullptr));
        EXPECT_TRUE(film.Tracks().empty());
        EXPECT_NE(film.LoadError().find("bad.kcn"), std::string::npos);
    }
}

TEST(FilmReader, AnUnknownKindEndsTheFilmButKeepsWhatCameBefore) {
    FilmFile f{.kindFlags = 0x80};  // the high bit of a kind byte is not part of the kind
    f.tracks.push_back(test::FilmBoxTrack{.base = {.length = 9}});
    f.tracks.push_back(test::FilmUnknownTrack{.kind = 8, .bytes = {1, 2, 3}});
    f.tracks.push_back(test::FilmBoxTrack{.base = {.length = 50}});
    const auto filmOwner = Load(f);
    const TFilmManager& film = *filmOwner;
    ASSERT_EQ(film.Tracks().size(), 1u);
    EXPECT_EQ(film.Tracks()[0]->Kind(), TFilmTrackKind::Box);
    EXPECT_EQ(film.Duration(), 9);
}

}  // namespace
}  // namespace kivo
