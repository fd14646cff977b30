#include "scene/scene_port.h"

#include <algorithm>

#include "script/vocabulary.h"

namespace kivo {

BlankScene::BlankScene() {
    SetSize(width_, height_);
}

void BlankScene::SetSize(int32_t width, int32_t height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0);
    firstDraw_ = true;
}

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

void BlankScene::ServeVariables(TParamCollection& variables) {
    for (SystemVariable id : {SystemVariable::MouseX, SystemVariable::MouseY, SystemVariable::LPush,
                              SystemVariable::RPush, SystemVariable::KeyPush}) {
        variables.RegisterProvider(id, this);
    }
}

SystemValue BlankScene::Read(SystemVariable id, int32_t element) const {
    if (id == SystemVariable::MouseX) return pointerX;
    if (id == SystemVariable::MouseY) return pointerY;
    if (id == SystemVariable::LPush) return leftHeld;
    if (id == SystemVariable::RPush) return rightHeld;
    // @KeyPush: the held keys. Its wheel elements (256, 257) are edges, which the stand-in
    // consumes before scripts run.
    return element >= 0 && element < 256 && keys[element];
}

int32_t BlankScene::ElementCount(SystemVariable id) const {
    return id == SystemVariable::KeyPush ? kKeyArraySize : 1;
}

FrameView BlankScene::Draw(std::vector<TRect>& dirty) {
    dirty.clear();
    if (firstDraw_ && width_ > 0 && height_ > 0) dirty.push_back(TRect{0, 0, width_, height_});
    return FrameView{pixels_.data(), width_, height_, width_};
}

void BlankScene::DumpScene(SceneDump& dump) const {
    dump = SceneDump{};
    // Layers are as large as the scene and visible by their own flag; the stand-in's are
    // empty and only their geometry is known.
    for (const char* name : {"\x01"
                             "BASE0",
                             "\x01"
                             "BASE1"}) {
        SceneDumpNode layer;
        layer.className = "TKivoBase";
        layer.name = name;
        layer.rect = TRect{0, 0, width_, height_};
        const auto property = [&](PropertyId id, ScenePropertyValue value) {
            layer.properties.push_back({std::string(Properties()[id].name), std::move(value)});
        };
        property(PR_NAME, layer.name);
        property(PR_LEFT, 0);
        property(PR_TOP, 0);
        property(PR_WIDTH, width_);
        property(PR_HEIGHT, height_);
        property(PR_VISIBLE, true);
        dump.layers.push_back(std::move(layer));
    }
}

}  // namespace kivo
