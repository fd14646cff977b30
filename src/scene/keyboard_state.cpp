#include "scene/keyboard_state.h"

#include <algorithm>

namespace kivo {

namespace {
constexpr int32_t kTimerFloor = -(1 << 30);
}  // namespace

void KeyboardState::SetKey(int32_t key, bool down) {
    if (!InRange(key) || down_[Index(key)] == down) return;
    const size_t k = Index(key);
    down_[k] = down;
    trigger_[k] = down;
    if (down) {
        repeatTimer_[k] = kRepeatDelayMs;
        edges_.down = true;
        edges_.repeat = true;
        pressed_[k] = true;
    } else {
        edges_.up = true;
    }
}

void KeyboardState::MarkPressed(int32_t key) {
    if (InRange(key)) pressed_[Index(key)] = true;
}

void KeyboardState::TakeSnapshots() {
    pressedSnapshot_ = pressed_;
    pressed_.fill(false);
    triggerSnapshot_ = trigger_;
}

KeyboardState::Edges KeyboardState::TakeEdges() {
    const Edges edges = edges_;
    edges_ = Edges{};
    return edges;
}

void KeyboardState::AdvanceRepeat(int32_t frameDeltaMs) {
    for (size_t k = 0; k < down_.size(); ++k) {
        if (!down_[k]) continue;
        // A long frame leaves the timer below zero; the key then triggers on each frame until
        // the interval has caught up with the time that passed. The floor only keeps a key
        // held for months from wrapping the counter.
        repeatTimer_[k] = std::max(repeatTimer_[k] - frameDeltaMs, kTimerFloor);
        trigger_[k] = repeatTimer_[k] <= 0;
        if (repeatTimer_[k] <= 0) {
            repeatTimer_[k] += kRepeatIntervalMs;
            edges_.repeat = true;
        }
    }
}

}  // namespace kivo
