#include "shell/scene_port.h"

#include <algorithm>

namespace kivo {

BlankScene::BlankScene(int32_t width, int32_t height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0) {}

void BlankScene::SetKeyDown(int32_t key, bool down) {
    if (key >= 0 && key < 256) keys[key] = down;
}

void BlankScene::MarkKeyPressed(int32_t key) {
    if (key >= 0 && key < 256) pressed[key] = true;
}

void BlankScene::SetButtonsHeld(bool left, bool right) {
    leftHeld = left;
    rightHeld = right;
}

void BlankScene::SetClicks(bool left, bool right) {
    leftClick = left;
    rightClick = right;
}

void BlankScene::SetPointer(int32_t x, int32_t y) {
    pointerX = x;
    pointerY = y;
}

// The scene root consumes the edges in its input pass; so does the stand-in.
void BlankScene::InputPass() {
    ++inputPasses;
    std::fill(std::begin(pressed), std::end(pressed), false);
    leftClick = rightClick = wheelDown = wheelUp = false;
}

FrameView BlankScene::Draw(std::vector<TRect>& dirty) {
    dirty.clear();
    if (firstDraw_ && width_ > 0 && height_ > 0) dirty.push_back(TRect{0, 0, width_, height_});
    return FrameView{pixels_.data(), width_, height_, width_};
}

}  // namespace kivo
