// The system variables the scene root answers: the pointer and buttons of the shown layer,
// the key arrays, the wheel, the focused object, the scene size, the display modes, the
// image cache's dithering flag, the sound switch and the MIDI ports.

#include "scene/kivo_base_list.h"
#include "scene/scene_media.h"

#include "platform/font_engine.h"
#include "text/font_pixel_manager.h"

namespace kivo {

namespace {

constexpr SystemVariable kOwnVariables[] = {
    SystemVariable::LClick,
    SystemVariable::RClick,
    SystemVariable::LPush,
    SystemVariable::RPush,
    SystemVariable::MouseX,
    SystemVariable::MouseY,
    SystemVariable::ScrWidth,
    SystemVariable::ScrHeight,
    SystemVariable::FullScr,
    SystemVariable::KeyPush,
    SystemVariable::KeyClick,
    SystemVariable::DisplayModeCount,
    SystemVariable::DisplayModeIndex,
    SystemVariable::ActiveCompo,
    SystemVariable::KeyRepeat,
    SystemVariable::WheelDown,
    SystemVariable::WheelUp,
    SystemVariable::CGDither,
    SystemVariable::SoundON,
    SystemVariable::MidiPort,
    SystemVariable::MidiPorts,
};

// A font engine without fonts, for a root that was given no glyph cache.
class NoFontEngine final : public FontEngine {
  public:
    [[nodiscard]] std::unique_ptr<Font> Open(std::string_view, int32_t, uint8_t) override {
        return nullptr;
    }
};

}  // namespace

void TKivoBaseList::SetSelection(std::string text, int32_t index) {
    if (variables_ == nullptr) return;
    variables_->selectionString = std::move(text);
    variables_->selectionIndex = index;
}

TFontPixelManager& TKivoBaseList::Glyphs() {
    if (glyphs_ != nullptr) return *glyphs_;
    if (noGlyphs_ == nullptr) {
        noFonts_ = std::make_unique<NoFontEngine>();
        noGlyphs_ = std::make_unique<TFontPixelManager>(*noFonts_);
    }
    return *noGlyphs_;
}

void TKivoBaseList::AttachVariables(TParamCollection& variables) {
    variables_ = &variables;
    for (SystemVariable id : kOwnVariables)
        variables.RegisterProvider(id, this);
}

void TKivoBaseList::DetachVariables() {
    if (variables_ == nullptr) return;
    for (SystemVariable id : kOwnVariables) {
        if (variables_->Provider(id) == this) variables_->RegisterProvider(id, nullptr);
    }
    variables_ = nullptr;
}

int32_t TKivoBaseList::ElementCount(SystemVariable id) const {
    const bool keyArray = id == SystemVariable::KeyPush || id == SystemVariable::KeyClick ||
                          id == SystemVariable::KeyRepeat;
    if (id == SystemVariable::MidiPorts) {
        return media_ != nullptr ? static_cast<int32_t>(media_->MidiPortNames().size()) : 0;
    }
    return keyArray ? kKeyArraySize : 1;
}

SystemValue TKivoBaseList::Read(SystemVariable id, int32_t element) const {
    using S = SystemVariable;
    const PointerState& pointer = layers_[static_cast<size_t>(activeIndex_)]->Pointer();
    if (id == S::KeyPush || id == S::KeyClick || id == S::KeyRepeat) {
        // The plain reading of a key array is its first element; the elements past the 256
        // key codes are the wheel.
        const int32_t key = element < 0 ? 0 : element;
        if (key == VkmWheelDown) return pointer.wheelDown;
        if (key == VkmWheelUp) return pointer.wheelUp;
        if (id == S::KeyPush) return keys_.Down(key);
        return id == S::KeyClick ? keys_.PressedThisFrame(key) : keys_.Repeating(key);
    }
    if (id == S::LClick) return pointer.leftClick;
    if (id == S::RClick) return pointer.rightClick;
    if (id == S::LPush) return pointer.leftHeld;
    if (id == S::RPush) return pointer.rightHeld;
    if (id == S::MouseX) return pointer.x;
    if (id == S::MouseY) return pointer.y;
    if (id == S::WheelDown) return pointer.wheelDown;
    if (id == S::WheelUp) return pointer.wheelUp;
    if (id == S::ScrWidth) return width_;
    if (id == S::ScrHeight) return height_;
    if (id == S::FullScr) return window_ != nullptr && window_->FullScreen();
    if (id == S::DisplayModeCount) return window_ != nullptr ? window_->DisplayModeCount() : 0;
    if (id == S::DisplayModeIndex) return window_ != nullptr ? window_->DisplayModeIndex() : -1;
    if (id == S::CGDither) return images_.ScreenDepth();
    if (id == S::SoundON) return soundOn_;
    if (id == S::MidiPort) return media_ != nullptr ? media_->MidiPort() : std::string();
    if (id == S::MidiPorts) {
        // The plain reading is empty; element i is the name of port i.
        if (media_ == nullptr || element < 0) return std::string();
        const std::vector<std::string> names = media_->MidiPortNames();
        return static_cast<size_t>(element) < names.size() ? names[static_cast<size_t>(element)]
                                                           : std::string();
    }
    if (id == S::ActiveCompo) {
        const TKivoControl* focus = FocusedControl();
        return focus != nullptr ? focus->Name() : std::string();
    }
    return int32_t{0};
}

void TKivoBaseList::Write(SystemVariable id, const SystemValue& value) {
    using S = SystemVariable;
    PointerState& pointer = ActiveLayer().Pointer();
    if (id == S::LClick) {
        pointer.leftClick = std::get<bool>(value);
    } else if (id == S::RClick) {
        pointer.rightClick = std::get<bool>(value);
    } else if (id == S::MouseX || id == S::MouseY) {
        const int32_t x = id == S::MouseX ? std::get<int32_t>(value) : pointer.x;
        const int32_t y = id == S::MouseY ? std::get<int32_t>(value) : pointer.y;
        SetPointer(x, y);
        if (window_ != nullptr) window_->MovePointer(x, y);
    } else if (id == S::FullScr) {
        if (window_ != nullptr) window_->SetFullScreen(std::get<bool>(value));
    } else if (id == S::DisplayModeIndex) {
        // Only a mode that exists can be chosen; other values are dropped here rather than
        // index the mode list later.
        const int32_t index = std::get<int32_t>(value);
        if (window_ != nullptr && index >= 0 && index < window_->DisplayModeCount()) {
            window_->SetDisplayModeIndex(index);
        }
    } else if (id == S::CGDither) {
        images_.SetScreenDepth(std::get<bool>(value));
    } else if (id == S::SoundON) {
        soundOn_ = std::get<bool>(value);
        if (media_ != nullptr) media_->SetSoundOn(soundOn_);
    } else if (id == S::MidiPort) {
        if (media_ != nullptr) media_->SelectMidiPort(std::get<std::string>(value));
    } else if (id == S::ActiveCompo) {
        TKivoObject* object = FindComponent(std::get<std::string>(value));
        TKivoControl* control = object != nullptr ? object->AsControl() : nullptr;
        if (control != nullptr && control->Visible() && control->HandleKey() &&
            !control->Paused() && !control->InsideCabinet()) {
            SetFocus(control);
        }
    }
}

}  // namespace kivo
