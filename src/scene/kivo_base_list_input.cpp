// The scene root's input: what the window hands over, and the input pass that turns it into
// hover, capture, click, wheel, key and focus events on objects.

#include "scene/kivo_base_list.h"

namespace kivo {

void TKivoBaseList::SetButtonsHeld(bool left, bool right) {
    for (auto& layer : layers_) {
        layer->Pointer().leftHeld = left;
        layer->Pointer().rightHeld = right;
    }
}

void TKivoBaseList::SetClicks(bool left, bool right) {
    PointerState& pointer = ActiveLayer().Pointer();
    if (left) pointer.leftPressPending = true;
    if (right) pointer.rightPressPending = true;
}

void TKivoBaseList::SetPointer(int32_t x, int32_t y) {
    for (auto& layer : layers_) {
        PointerState& pointer = layer->Pointer();
        if (pointer.x == x && pointer.y == y) continue;
        pointer.x = x;
        pointer.y = y;
        pointer.moved = true;
    }
}

void TKivoBaseList::FocusLost() {
    keys_.Clear();
    for (auto& layer : layers_) {
        PointerState& pointer = layer->Pointer();
        pointer.leftHeld = pointer.rightHeld = false;
        pointer.leftPressPending = pointer.rightPressPending = false;
        pointer.capture = 0;
    }
}

void TKivoBaseList::InputPass() {
    if (focusRecompute_) {
        SetFocus(ActiveLayer().FindFocusCandidate());
        focusRecompute_ = false;
    }
    keys_.TakeSnapshots();
    ProcessPointer(ActiveLayer());
    SendKeyEvents();
    keys_.AdvanceRepeat(state_.frameDelta);
}

void TKivoBaseList::SendKeyEvents() {
    const KeyboardState::Edges edges = keys_.TakeEdges();
    TKivoControl* focus = FocusedControl();
    if (focus == nullptr || !focus->HandleKey()) return;
    if (edges.down) focus->FireKey(Handler::KeyDown);
    if (edges.repeat) focus->FireKeyRepeat();
    if (edges.up) focus->FireKey(Handler::KeyUp);
}

bool TKivoBaseList::OfferRightClick(TKivoBase& layer) {
    // A snapshot: closing an object may change the list.
    const std::vector<ObjectHandle> members = rightClickScrap_;
    for (ObjectHandle handle : members) {
        TKivoControl* control = ResolveControl(handle);
        if (control == nullptr || !control->RightClickScrap() || !control->Visible() ||
            control->Layer() != &layer || control->Paused() ||
            !ModeInMask(control->IgnoreMouse(), kRightPressModes)) {
            continue;
        }
        if (control->CloseByRightClick()) return true;
    }
    return false;
}

void TKivoBaseList::ShowCursorOf(TKivoBase& layer, const TKivoControl& hit) {
    std::string wanted = hit.DisplayCursor();
    if (wanted.empty() && variables_ != nullptr) wanted = variables_->cursorName;
    PointerState& pointer = layer.Pointer();
    if (wanted == pointer.cursorShown) return;
    pointer.cursorShown = wanted;
    if (window_ != nullptr) window_->ShowCursor(wanted);
}

void TKivoBaseList::ProcessPointer(TKivoBase& layer) {
    PointerState& p = layer.Pointer();
    p.leftClick = p.leftPressPending;
    p.rightClick = p.rightPressPending;
    p.wheelDown = p.wheelDownPending;
    p.wheelUp = p.wheelUpPending;
    p.leftPressPending = p.rightPressPending = p.wheelDownPending = p.wheelUpPending = false;

    bool rightPress = p.rightClick;
    if (rightPress && OfferRightClick(layer)) rightPress = false;

    // The object holding the capture gets the pointer wherever it goes until its button is up.
    if (p.capture != 0) {
        if (TKivoControl* captured = ResolveControl(p.hover)) {
            if ((p.capture & kCaptureLeft) != 0 && !p.leftHeld) {
                captured->FireLeftUp(p.x, p.y);
                p.capture &= static_cast<uint8_t>(~kCaptureLeft);
            } else if ((p.capture & kCaptureRight) != 0 && !p.rightHeld) {
                captured->FireRightUp(p.x, p.y);
                p.capture &= static_cast<uint8_t>(~kCaptureRight);
            }
            if (p.moved) captured->FireMouseMove(p.x, p.y);
            captured->Drag(p.x, p.y);
            p.moved = false;
            return;
        }
    }

    const IgnoreMouseMask mask = p.leftClick  ? kLeftPressModes
                                 : rightPress ? kRightPressModes
                                              : kPointerModes;
    TKivoControl* hit = layer.HitTest(p.x, p.y, mask);
    p.capture = 0;
    const ObjectHandle hitHandle = hit != nullptr ? hit->Handle() : ObjectHandle{};

    if (hit != nullptr) {
        ShowCursorOf(layer, *hit);
        if (p.leftClick) {
            hit->FireLeftDown(p.x, p.y);
            TKivoControl* pressed = ResolveControl(hitHandle);
            if (pressed != nullptr && !pressed->Paused() && pressed->HandleKey()) {
                SetFocus(pressed);
            }
        } else if (rightPress) {
            hit->FireRightDown(p.x, p.y);
        } else {
            if (p.wheelDown) hit->FireWheel(true);
            if (p.wheelUp) hit->FireWheel(false);
        }
    }

    TKivoControl* previous = ResolveControl(p.hover);
    hit = ResolveControl(hitHandle);
    if (previous != nullptr && previous != hit) previous->FireMouseOut();
    if (hit != nullptr && (p.moved || previous != hit)) {
        if (previous != hit) hit->FireMouseIn();
        hit->FireMouseMove(p.x, p.y);
    }
    p.hover = hit != nullptr ? hitHandle : ObjectHandle{};
    p.moved = false;
}

}  // namespace kivo
