// Cinemas, motion files and particle emitters in a scene: how a cinema's time runs, ends,
// repeats and seeks, that whatever a film made goes with it, the cinema's and the emitter's
// save records, boxes following a motion file, and the emitter's timing and limits.

#include "base/error.h"
#include "scene/kivo_cinema.h"
#include "scene/kivo_particle.h"
#include "scene/picture_files.h"
#include "scene_fixture.h"
#include "script/param_collection.h"
#include "storage/stream.h"
#include "storage/vr_file_manager.h"
#include "support/film_writer.h"
#include "support/gal_builder.h"

namespace kivo::test {
namespace {

// Evaluates an expression whose first operand is an integer literal to that integer; an
// expression without steps gives no value.
class LiteralEvaluator : public ExpressionEvaluator {
  public:
    std::optional<int32_t> EvaluateInt(const TKivoParser& expression) override {
        ++evaluations;
        if (expression.Empty()) return std::nullopt;
        return expression.Steps().front().operands.front().intValue;
    }
    int32_t evaluations = 0;
};

TKivoParser Literal(int32_t value) {
    TOpeData step;
    step.opcode = static_cast<uint8_t>(OpCode::ocTo);
    step.target = "____arg";
    step.operands.push_back(TOperand::Integer(value));
    return TKivoParser({step});
}

// A box track of length frames, from (sx, 0) to (ex, 0).
FilmBoxTrack BoxTrack(int32_t length, int32_t sx, int32_t ex, int32_t start = 0) {
    return {.base = {.length = length, .start = start},
            .move = {.sx = sx, .ex = ex},
            .startWidth = 2,
            .startHeight = 2,
            .endWidth = 2,
            .endHeight = 2,
            .startColor = 0x0000FF,
            .endColor = 0x0000FF};
}

class CinemaTest : public SceneTest {
  protected:
    CinemaTest() {
        root.SetSize(64, 16);
        root.SetServices({.files = &files, .random = &random, .expressions = &evaluator});
        root.Images().SetFiles(&pictures);
    }

    void AddFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        files.MemoryCollection().AddMemoryEntry(name).memory->Assign(bytes);
    }
    void AddFilm(const std::string& name, const FilmFile& film) { AddFile(name, WriteFilm(film)); }

    TKivoCinema& Cinema(const std::string& source, TKivoBaseList* scene = nullptr) {
        TKivoBaseList& owner = scene != nullptr ? *scene : root;
        auto& cinema = *static_cast<TKivoCinema*>(owner.CreateObject(LT_CINEMA));
        cinema.Rename("cine");
        cinema.SetParent(&owner.ActiveLayer());
        cinema.SetPlayEndHandler("end.ksb");
        cinema.SetSource(source);
        return cinema;
    }
    // Runs frames and returns the frame the film showed after each.
    std::vector<int32_t> Run(const TKivoCinema& cinema, int frames) {
        std::vector<int32_t> shown;
        for (int i = 0; i < frames; ++i) {
            root.FrameAdvance();
            shown.push_back(cinema.Index());
        }
        return shown;
    }

    TVrFileManager files;
    MemoryPictures pictures;
    TProcessRandom random{9};
    LiteralEvaluator evaluator;
};

TEST_F(CinemaTest, ARepeatingFilmGoesOnFromItsLoopStartAfterItsLastFrame) {
    AddFilm("loop.kcn", {.loopStart = 30, .tracks = {BoxTrack(100, 0, 0)}});
    TKivoCinema& cinema = Cinema("loop.kcn");
    cinema.SetRepeat(true);
    state.frameDelta = 17;  // just over a frame a step, so no frame is skipped
    const std::vector<int32_t> shown = Run(cinema, 140);
    const auto last = std::find(shown.begin(), shown.end(), 99);
    ASSERT_NE(last, shown.end());
    EXPECT_EQ(*std::find_if(last, shown.end(), [](int32_t f) { return f != 99; }), 30);
    EXPECT_TRUE(std::all_of(last, shown.end(), [](int32_t f) { return f >= 30 && f <= 99; }));
    EXPECT_TRUE(Queue().empty());
    EXPECT_FALSE(cinema.Stopped());
}

TEST_F(CinemaTest, AFilmStopsOnItsLastFrameQueuesItsEndOnceAndASeekPlaysItAgain) {
    AddFilm("once.kcn", {.tracks = {BoxTrack(20, 0, 19)}});
    TKivoCinema& cinema = Cinema("once.kcn");
    // Frame 0 at once, time still for one more frame, then 16 ms a step.
    const std::vector<int32_t> start = Run(cinema, 4);
    EXPECT_EQ(start, (std::vector<int32_t>{0, 0, 1, 2}));
    EXPECT_EQ(ReadProperty(cinema, PR_PLAYING), PropertyValue(true));
    (void)Run(cinema, 40);
    EXPECT_EQ(cinema.Index(), 19);
    EXPECT_TRUE(cinema.Stopped());
    EXPECT_EQ(ReadProperty(cinema, PR_PLAYING), PropertyValue(false));
    EXPECT_EQ(Queue(), (std::vector<std::string>{"cine:43"}));

    WriteProperty(cinema, PR_INDEX, 5);  // elapsed 83 ms
    EXPECT_EQ(cinema.Elapsed(), 83);
    const std::vector<int32_t> sought = Run(cinema, 3);
    EXPECT_EQ(sought, (std::vector<int32_t>{5, 5, 6}));
    EXPECT_FALSE(cinema.Stopped());
    (void)Run(cinema, 40);
    EXPECT_EQ(Queue().size(), 1u);  // the end is reported the first time only
}

TEST_F(CinemaTest, TheFilmsObjectsGoWithANewSourceWithTheCinemaAndAtAnAutoScrapEnd) {
    AddFilm("two.kcn", {.tracks = {BoxTrack(10, 0, 9), BoxTrack(10, 0, 9, 5)}});
    TKivoCinema& cinema = Cinema("two.kcn");
    (void)Run(cinema, 10);
    EXPECT_EQ(FilmObjects(), 2);
    // Film objects in the main scene are the cinema's children, named after it.
    ASSERT_EQ(cinema.Children().size(), 2u);
    EXPECT_TRUE(cinema.Children()[0]->Name().starts_with("\x01" "cine\x01"));
    cinema.SetSource("");
    root.FrameAdvance();
    EXPECT_EQ(FilmObjects(), 0);

    cinema.SetSource("two.kcn");
    (void)Run(cinema, 10);
    EXPECT_EQ(FilmObjects(), 2);
    root.Destroy(cinema);
    root.FrameAdvance();
    EXPECT_EQ(FilmObjects(), 0);

    TKivoCinema& scrapped = Cinema("two.kcn");
    scrapped.SetAutoScrap(true);
    for (int i = 0; i < 30; ++i)
        root.FrameAdvance();  // the cinema goes at its end
    EXPECT_EQ(root.FindComponent("cine"), nullptr);
    EXPECT_EQ(FilmObjects(), 0);
    EXPECT_TRUE(Queue().empty());
}

TEST_F(CinemaTest, AMissingOrDamagedFilmPlaysAsNothing) {
    AddFile("bad.kcn", {'K', 'i', 'v', 'o', 'C', 'i', 'n', 'e', 'm', 'a', '1', '0'});
    for (const std::string source : {"missing.kcn", "bad.kcn"}) {
        SCOPED_TRACE(source);
        TKivoCinema& cinema = Cinema(source);
        (void)Run(cinema, 3);
        EXPECT_EQ(ReadProperty(cinema, PR_COUNT), PropertyValue(0));
        EXPECT_EQ(cinema.Index(), -1);
        EXPECT_EQ(FilmObjects(), 0);
        root.Destroy(cinema);
    }
}

TEST_F(CinemaTest, ACinemaRecordKeepsItsPlaceUnlessItRewindsAndMayComeBackMuted) {
    AddFilm("long.kcn", {.tracks = {BoxTrack(200, 0, 0)}});
    TKivoCinema& cinema = Cinema("long.kcn");
    cinema.SetRepeat(true);
    cinema.SetVolume(600);
    cinema.SetIdleHandler("idle.ksb");
    (void)Run(cinema, 30);
    ASSERT_GT(cinema.Index(), 20);
    ByteWriter writer;
    cinema.Save(writer);
    const std::vector<uint8_t> record = writer.Take();

    const auto load = [this](const std::vector<uint8_t>& bytes, TKivoBaseList& copy) -> TKivoCinema& {
        copy.SetServices(root.Services());
        copy.SetSize(64, 16);
        auto& loaded = *static_cast<TKivoCinema*>(copy.CreateObject(LT_CINEMA));
        ByteReader reader(bytes, "save.dat");
        loaded.Load(reader, kSaveVersionCurrent);
        EXPECT_TRUE(reader.AtEnd());
        copy.FrameAdvance();
        return loaded;
    };
    TKivoBaseList copy(state);
    TKivoCinema& loaded = load(record, copy);
    EXPECT_EQ(loaded.Source(), "long.kcn");
    EXPECT_TRUE(loaded.Repeat());
    EXPECT_EQ(loaded.IdleHandler(), "idle.ksb");
    EXPECT_EQ(loaded.Index(), cinema.Index());
    EXPECT_EQ(loaded.Volume(), 600);
    ByteWriter again;
    loaded.Save(again);
    EXPECT_EQ(again.Take(), record);

    // Rewind and mute are read from the record itself.
    cinema.SetRewindOnLoad(true);
    cinema.SetMuteOnLoad(true);
    ByteWriter flagged;
    cinema.Save(flagged);
    TKivoBaseList rewound(state);
    TKivoCinema& fresh = load(flagged.Take(), rewound);
    EXPECT_EQ(fresh.Index(), 0);
    EXPECT_EQ(fresh.Volume(), 0);
}

TEST_F(CinemaTest, ABoxWhoseSourceIsAMotionFileFollowsItFromWhereItStands) {
    AddFilm("walk.kmt", {.signature = "KivoMotion",
                         .relative = true,
                         .originX = 100,
                         .tracks = {BoxTrack(31, 100, 130)}});
    TKivoBox& box = Box("walker", 5, 3, 2, 2);
    box.SetSource("walk.kmt");
    ASSERT_NE(box.Motion(), nullptr);
    std::vector<int32_t> lefts;
    for (int i = 0; i < 5; ++i) {
        (void)box.Update();
        lefts.push_back(box.AbsLeft());
    }
    // Relative to where it stood: 5 + frame, frames 0, 0, 1, 2, 3 (time runs from the third
    // step).
    EXPECT_EQ(lefts, (std::vector<int32_t>{5, 5, 6, 7, 8}));
    EXPECT_EQ(box.Left(), 5);
}

class ParticleTest : public CinemaTest {
  protected:
    TKivoParticle& Emitter(int32_t mode, int32_t interval) {
        std::vector<uint32_t> white(4, 0xFFFFFF);
        GalFile picture;
        picture.frames.push_back(
            {.width = 2, .height = 2, .bits = 24, .layers = {{.colour = PaddedRows(2, 2, 24, white)}}});
        pictures.Add("dot.gal", picture);
        auto& emitter = *static_cast<TKivoParticle*>(root.CreateObject(LT_PARTICLE));
        emitter.Rename("snow");
        emitter.SetParent(&root.ActiveLayer());
        emitter.SetBounds(0, 0, 64, 16);
        emitter.SetSource("dot.gal");
        emitter.KeepExpression(PR_APPEARX, Literal(10));
        emitter.KeepExpression(PR_APPEARY, Literal(0));
        emitter.KeepExpression(PR_DELAY, Literal(interval));
        emitter.SetMode(mode);
        return emitter;
    }
};

TEST_F(ParticleTest, AnEmitterWithADurationStopsEmittingAndEndsWithItsLastParticle) {
    TKivoParticle& emitter = Emitter(1, 100);
    emitter.SetParam(0, 1.0);  // a pixel a step: 16 rows in 16 steps
    emitter.SetDuration(1000);
    int32_t frames = 0;
    while (root.FindComponent("snow") != nullptr && frames < 200) {
        root.FrameAdvance();
        ++frames;
        if (frames == 60) {
            EXPECT_EQ(emitter.State(), 1);
        }
    }
    // A second of emitting (63 frames of 16 ms), then 16 steps for the last particle to fall.
    EXPECT_GT(frames, 63);
    EXPECT_LT(frames, 63 + 20);
    EXPECT_EQ(FilmObjects(), 0);
}

TEST_F(ParticleTest, IntervalsBelowTwoMillisecondsStillWaitTwo) {
    for (const int32_t interval : {0, 1, -50}) {
        SCOPED_TRACE(interval);
        TKivoParticle& emitter = Emitter(1, interval);
        root.FrameAdvance();  // starts: one particle, none waited for yet
        root.FrameAdvance();  // 16 ms: eight more
        EXPECT_EQ(emitter.LiveParticles(), 9);
        root.Destroy(emitter);
    }
}

TEST_F(ParticleTest, PreRunsAndLiveParticlesAreCapped) {
    TKivoParticle& emitter = Emitter(2, 2);
    emitter.SetParam(0, 1.0);
    emitter.SetParam(1, 1.0);  // the spiral never widens: such particles never leave
    emitter.SetPreRun(std::numeric_limits<int32_t>::max());
    root.FrameAdvance();
    EXPECT_EQ(emitter.LiveParticles(), TKivoParticle::kMaxLiveParticles);
    root.FrameAdvance();
    EXPECT_EQ(emitter.LiveParticles(), TKivoParticle::kMaxLiveParticles);
}

TEST_F(ParticleTest, AFilmsEmissionRecordPlacesParticlesAndEmptyRangesGiveTheBase) {
    TKivoParticle& emitter = Emitter(3, 100);
    emitter.SetEmission({.XBase = 40, .YBase = 12, .XRange = 0, .YRange = -5,
                         .IntervalBase = 100, .IntervalRange = 0});
    root.FrameAdvance();
    ASSERT_EQ(emitter.LiveParticles(), 1);
    const TKivoControl& particle = *emitter.Children().front();
    EXPECT_EQ(particle.Left(), 40);
    EXPECT_EQ(particle.Top(), 12);
    EXPECT_EQ(evaluator.evaluations, 0);
}

TEST_F(ParticleTest, AnEmitterRecordRoundTripsAndRestartsAfterLoading) {
    TKivoParticle& emitter = Emitter(4, 30);
    emitter.SetParam(0, 0.5);
    emitter.SetParam(1, 12.25);
    emitter.SetParam(2, 0.125);
    emitter.SetAlpha(200);
    emitter.SetPreRun(500);
    emitter.SetDuration(900);
    emitter.SetIdleHandler("idle.ksb");
    for (int i = 0; i < 5; ++i)
        root.FrameAdvance();
    ByteWriter writer;
    emitter.Save(writer);
    const std::vector<uint8_t> record = writer.Take();
    TKivoBaseList copy(state);
    copy.SetServices(root.Services());
    auto& loaded = *static_cast<TKivoParticle*>(copy.CreateObject(LT_PARTICLE));
    ByteReader reader(record, "save.dat");
    loaded.Load(reader, kSaveVersionCurrent);
    EXPECT_TRUE(reader.AtEnd());
    ByteWriter again;
    loaded.Save(again);
    EXPECT_EQ(again.Take(), record);
    EXPECT_EQ(loaded.State(), 0);
    EXPECT_EQ(loaded.LiveParticles(), 0);
    EXPECT_EQ(ReadProperty(loaded, PR_PARAM2), PropertyValue(12.25));
}

}  // namespace
}  // namespace kivo::test
