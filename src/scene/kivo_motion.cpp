#include "scene/kivo_motion.h"

#include <algorithm>
#include <limits>

#include "scene/kivo_control.h"

namespace kivo {

int64_t TKivoMotion::FrameAt(int64_t elapsed) {
    // elapsed / (1000 / 60), rounded half up.
    return (elapsed * kFramesPerSecond * 2 + 1000) / 2000;
}

int32_t TKivoMotion::TimeOfFrame(int64_t frame) {
    const int64_t ms = (frame * 1000 * 2 + kFramesPerSecond) / (2 * kFramesPerSecond);
    return static_cast<int32_t>(std::min<int64_t>(ms, std::numeric_limits<int32_t>::max()));
}

void TKivoMotion::Restart() {
    elapsed_ = 0;
    countdown_ = 2;
    finished_ = false;
}

bool TKivoMotion::Step(TKivoControl& target, int32_t frameDelta) {
    const bool relative = film_->PositionRelative();
    const bool originMoved =
        countdown_ <= 0 && relative && (target.Left() != lastLeft_ || target.Top() != lastTop_);
    if (originMoved) {
        // A script moved the object: a relative motion goes on from its new place.
        originX_ = target.Left();
        originY_ = target.Top();
        finished_ = false;
    }
    if (finished_) return false;

    const bool first = countdown_ == 2;
    if (first) {
        originX_ = relative ? target.Left() : 0;
        originY_ = relative ? target.Top() : 0;
        film_->SetBasePriority(target.Priority());
    }
    if (countdown_ <= 0 && !target.AniPaused()) {
        elapsed_ = static_cast<int32_t>(
            std::min<int64_t>(int64_t{elapsed_} + frameDelta, std::numeric_limits<int32_t>::max()));
    }

    bool reachedEnd = false;
    const int32_t count = film_->FrameCount();
    int64_t frame = FrameAt(elapsed_);
    if (count <= 0) {
        // Nothing to show: the motion ends at once.
        finished_ = true;
        reachedEnd = true;
    } else if (frame >= count) {
        if (target.Repeat()) {
            // The loop runs from the loop start to the last frame.
            const int64_t loopStart = std::clamp<int64_t>(film_->LoopStart(), 0, count - 1);
            frame = loopStart + (frame - count) % (count - loopStart);
            elapsed_ = TimeOfFrame(frame);
        } else {
            frame = count - 1;
            finished_ = true;
            reachedEnd = true;
        }
    }

    if (count > 0 && (first || frame != frame_ || originMoved)) {
        frame_ = static_cast<int32_t>(frame);
        film_->ApplyFrame(target, frame_, originX_, originY_);
    }
    if (countdown_ > 0) --countdown_;
    lastLeft_ = target.Left();
    lastTop_ = target.Top();
    return reachedEnd;
}

}  // namespace kivo
