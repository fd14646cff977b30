#pragma once
// A motion: a film played on one control at 60 frames per second, setting the control's motion
// position and other state frame by frame. TKivoMotion keeps the time and chooses the frame;
// the film (MotionFilm, given by the film player) knows its frames and applies one.
//
// A motion waits two steps after it starts or restarts before its time runs, so that a script
// that creates an object and places it in the same frame sees the motion start from there.

#include <cstdint>
#include <memory>

namespace kivo {

class TKivoControl;

class MotionFilm {
  public:
    virtual ~MotionFilm() = default;

    [[nodiscard]] virtual int32_t FrameCount() const = 0;
    // The frame a repeating motion continues from after its last one.
    [[nodiscard]] virtual int32_t LoopStart() const = 0;
    // Whether the film's positions are relative to where the object stood when it started.
    [[nodiscard]] virtual bool PositionRelative() const = 0;
    // The film orders its tracks above the object's priority.
    virtual void SetBasePriority(int32_t priority) = 0;
    // Puts the object in its state at frame, positions counted from (originX, originY).
    virtual void ApplyFrame(TKivoControl& target, int32_t frame, int32_t originX,
                            int32_t originY) = 0;
};

class TKivoMotion {
  public:
    static constexpr int32_t kFramesPerSecond = 60;

    explicit TKivoMotion(std::unique_ptr<MotionFilm> film) : film_(std::move(film)) {}

    // One step of the target's update, frameDelta ms later. True in the step the motion
    // reaches its end (a film without frames ends in its first step).
    bool Step(TKivoControl& target, int32_t frameDelta);
    // Plays again from the first frame.
    void Restart();

    [[nodiscard]] bool Finished() const { return finished_; }
    [[nodiscard]] int32_t Frame() const { return frame_; }
    [[nodiscard]] int32_t Elapsed() const { return elapsed_; }
    // PR_INDEX of an object run by a motion sets the time of that frame.
    void SetElapsed(int32_t elapsed) { elapsed_ = elapsed; }
    [[nodiscard]] MotionFilm& Film() const { return *film_; }

    // The frame shown elapsed ms after the start: the nearest frame time.
    [[nodiscard]] static int64_t FrameAt(int64_t elapsed);
    // The time at which frame is first shown, to the nearest ms.
    [[nodiscard]] static int32_t TimeOfFrame(int64_t frame);

  private:
    std::unique_ptr<MotionFilm> film_;
    int32_t elapsed_ = 0;
    int32_t countdown_ = 2;
    int32_t frame_ = -1;
    int32_t originX_ = 0;
    int32_t originY_ = 0;
    int32_t lastLeft_ = 0;
    int32_t lastTop_ = 0;
    bool finished_ = false;
};

}  // namespace kivo
