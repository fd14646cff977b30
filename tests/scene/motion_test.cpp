// Motions: when frames are shown, looping, ending, relative origins and what freeing one
// restores.

#include "scene_fixture.h"

namespace kivo::test {
namespace {

class MotionTest : public SceneTest {
  protected:
    // A box running a film; returns the film, which the box owns.
    RecordingFilm& Run(TKivoBox& box, int32_t frames, int32_t loopStart = 0,
                       bool relative = false) {
        auto film = std::make_unique<RecordingFilm>(frames, loopStart, relative);
        RecordingFilm& kept = *film;
        box.AssignMotion(std::move(film));
        return kept;
    }
    std::vector<int32_t> Frames(const RecordingFilm& film) {
        std::vector<int32_t> frames;
        for (const auto& applied : film.applied)
            frames.push_back(applied.frame);
        return frames;
    }
};

TEST_F(MotionTest, TimeRunsFromTheThirdStepAtSixtyFramesASecond) {
    TKivoBox& box = Box("m", 0, 0, 1, 1);
    box.SetPriority(7);
    RecordingFilm& film = Run(box, 100);
    std::vector<int32_t> elapsed;
    for (int step = 0; step < 6; ++step) {
        (void)box.Update();
        elapsed.push_back(box.Motion()->Elapsed());
    }
    EXPECT_EQ(elapsed, (std::vector<int32_t>{0, 0, 16, 32, 48, 64}));
    // 16 ms is 0.96 of a frame, 32 ms 1.92: each step shows the nearest frame.
    EXPECT_EQ(Frames(film), (std::vector<int32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(film.basePriority, 7);
    EXPECT_EQ(box.AbsLeft(), 4);  // the film placed it
}

TEST_F(MotionTest, FramePositionsRoundToTheNearestFrame) {
    struct Case {
        int64_t elapsed, frame;
    };
    for (const Case& c : {Case{0, 0}, {8, 0}, {9, 1}, {25, 2}, {1000, 60}, {999, 60}, {991, 59}}) {
        SCOPED_TRACE(c.elapsed);
        EXPECT_EQ(TKivoMotion::FrameAt(c.elapsed), c.frame);
    }
    EXPECT_EQ(TKivoMotion::TimeOfFrame(10), 167);
    EXPECT_EQ(TKivoMotion::TimeOfFrame(3), 50);
}

TEST_F(MotionTest, ARepeatingMotionLoopsFromItsLoopStart) {
    TKivoBox& box = Box("m", 0, 0, 1, 1);
    box.SetRepeat(true);
    state.frameDelta = 17;
    RecordingFilm& film = Run(box, 30, 10);
    for (int step = 0; step < 200; ++step)
        EXPECT_FALSE(box.Update());
    const std::vector<int32_t> frames = Frames(film);
    const auto lastOfFirstRun = std::find(frames.begin(), frames.end(), 29);
    ASSERT_NE(lastOfFirstRun, frames.end());
    EXPECT_EQ(*(lastOfFirstRun + 1), 10);
    EXPECT_TRUE(std::all_of(lastOfFirstRun + 1, frames.end(),
                            [](int32_t frame) { return frame >= 10 && frame <= 29; }));
    EXPECT_FALSE(box.Motion()->Finished());
}

TEST_F(MotionTest, LoopStartsOutsideTheFilmStayWithinIt) {
    for (int32_t loopStart : {-5, 30, 1000}) {
        SCOPED_TRACE(loopStart);
        TKivoBox& box = Box("m", 0, 0, 1, 1);
        box.SetRepeat(true);
        state.frameDelta = 100;  // several frames a step
        RecordingFilm& film = Run(box, 30, loopStart);
        for (int step = 0; step < 50; ++step)
            (void)box.Update();
        for (int32_t frame : Frames(film)) {
            EXPECT_GE(frame, 0);
            EXPECT_LT(frame, 30);
        }
        root.Destroy(box);
    }
}

TEST_F(MotionTest, AnEndingMotionQueuesPlayEndOrEndsAnAutoScrapObject) {
    TKivoBox& box = Box("m", 0, 0, 1, 1);
    box.SetPlayEndHandler("end.ksb");
    RecordingFilm& film = Run(box, 3);
    for (int step = 0; step < 10; ++step)
        root.FrameAdvance();
    EXPECT_EQ(Frames(film), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(Queue(), (std::vector<std::string>{"m:43"}));
    EXPECT_FALSE(box.Playing());

    TKivoBox& scrap = Box("s", 0, 0, 1, 1);
    scrap.SetAutoScrap(true);
    Run(scrap, 3);
    const ObjectHandle handle = scrap.Handle();
    for (int step = 0; step < 10; ++step)
        root.FrameAdvance();
    EXPECT_EQ(root.Resolve(handle), nullptr);
}

TEST_F(MotionTest, AFilmWithoutFramesEndsAtOnce) {
    TKivoBox& box = Box("m", 0, 0, 1, 1);
    box.SetPlayEndHandler("end.ksb");
    RecordingFilm& film = Run(box, 0);
    root.FrameAdvance();
    EXPECT_EQ(Queue(), (std::vector<std::string>{"m:43"}));
    EXPECT_TRUE(film.applied.empty());
    // Repeating does not help a film with no frames.
    root.Events().Clear();
    box.SetRepeat(true);
    box.Motion()->Restart();
    root.FrameAdvance();
    EXPECT_EQ(Queue(), (std::vector<std::string>{"m:43"}));
}

TEST_F(MotionTest, ARelativeMotionFollowsItsObjectWhenAScriptMovesIt) {
    TKivoBox& box = Box("m", 5, 7, 1, 1);
    RecordingFilm& film = Run(box, 4, 0, true);
    for (int step = 0; step < 10; ++step)
        (void)box.Update();
    ASSERT_TRUE(box.Motion()->Finished());
    const size_t shown = film.applied.size();
    (void)box.Update();
    EXPECT_EQ(film.applied.size(), shown);
    // Moved, it shows its last frame again from the new place.
    box.SetLeft(20);
    (void)box.Update();
    EXPECT_EQ(film.applied.front(), (RecordingFilm::Applied{0, 5, 7}));
    EXPECT_EQ(film.applied.back(), (RecordingFilm::Applied{3, 20, 7}));
    EXPECT_EQ(box.AbsLeft(), 23);
}

TEST_F(MotionTest, PausedAnimationHoldsTheTime) {
    TKivoBox& box = Box("m", 0, 0, 1, 1);
    Run(box, 100);
    for (int step = 0; step < 3; ++step)
        (void)box.Update();
    box.SetAniPaused(true);
    for (int step = 0; step < 3; ++step)
        (void)box.Update();
    EXPECT_EQ(box.Motion()->Elapsed(), 16);
    // A paused object is not updated by the root at all.
    box.SetAniPaused(false);
    box.SetPaused(true);
    root.FrameAdvance();
    EXPECT_EQ(box.Motion()->Elapsed(), 16);
}

TEST_F(MotionTest, FreeingAMotionPutsTheObjectBackInItsPlace) {
    TKivoBox& box = Box("m", 30, 0, 1, 1);
    Run(box, 100);
    for (int step = 0; step < 5; ++step)
        (void)box.Update();
    box.SetSubPriority(4);
    ASSERT_EQ(box.AbsLeft(), 3);
    box.FreeMotion();
    EXPECT_EQ(box.AbsLeft(), 30);
    EXPECT_EQ(box.MotionX(), 0);
    EXPECT_EQ(box.SubPriority(), 0);
}

}  // namespace
}  // namespace kivo::test
