#include "scene/kivo_menu.h"

#include <algorithm>

#include "scene/kivo_base_list.h"

namespace kivo {

namespace {

constexpr int32_t kKeyEnter = 13;
constexpr int32_t kKeyEscape = 27;
constexpr int32_t kKeySpace = 32;

constexpr uint8_t kOpeningCode = PR_ONOPENING;
constexpr uint8_t kOpenedCode = PR_ONOPENED;
constexpr uint8_t kClosingCode = PR_ONCLOSING;
constexpr uint8_t kClosedCode = PR_ONCLOSED;

// Opening counts as open and closing as closed when a new play state is compared.
int32_t SettledState(int32_t state) {
    if (state == TKivoMenu::kOpening) return TKivoMenu::kOpen;
    if (state == TKivoMenu::kClosing) return TKivoMenu::kClosed;
    return state;
}

}  // namespace

TKivoMenu::TKivoMenu(TKivoBaseList& root) : TKivoCustomListBox(root) {}

void TKivoMenu::SetPlayState(int32_t state) {
    if (SettledState(state) == SettledState(playState_)) return;
    playState_ = state;
    switch (state) {
        case kOpen:
            LayOut();
            fullHeight_ = Height();
            phase_ = 0;
            TakeFocusIfAble();
            PostLifecycle(kOpeningCode, OpeningHandler());
            PostLifecycle(kOpenedCode, OpenedHandler());
            break;
        case kOpening:
            phase_ = 100;
            TakeFocusIfAble();
            break;
        case kClosed:
            // Laid out first, so that a layout still pending does not open it again.
            LayOutIfNeeded();
            SetHeight(0);
            phase_ = 0;
            LeaveFocus();
            PostLifecycle(kClosingCode, ClosingHandler());
            PostLifecycle(kClosedCode, ClosedHandler());
            break;
        case kClosing:
            phase_ = 200;
            LeaveFocus();
            break;
        default:
            break;
    }
}

void TKivoMenu::TakeFocusIfAble() {
    if (Visible() && !Paused() && HandleKey()) Root().SetFocus(this);
}

void TKivoMenu::LeaveFocus() {
    if (HoldsFocus()) Root().RequestFocusRecompute();
}

void TKivoMenu::SetHoverColor(int32_t color) {
    if (color == hoverColor_) return;
    hoverColor_ = color;
    Invalidate();
}

void TKivoMenu::SetRightClickScrap(bool scrap) {
    rightClickScrap_ = scrap;
    if (!Handle().IsNull()) Root().AddRightClickScrap(*this);
}

int32_t TKivoMenu::OrigHeight() const {
    const bool animating = phase_ >= 100 && phase_ <= 201;
    return animating ? fullHeight_ : Height();
}

void TKivoMenu::PostLifecycle(uint8_t code, const std::string& handler) {
    if (handler.empty() || InsideCabinet()) return;
    Root().Events().Post(TTimerData{handler, Handle(), code, 0, {}});
}

bool TKivoMenu::LifecycleQueued() const {
    const TTimerList& events = Root().Events();
    return events.Contains(Handle(), kClosingCode) || events.Contains(Handle(), kClosedCode);
}

int32_t TKivoMenu::AnimatedHeight(int64_t elapsed) const {
    if (delay_ <= 0) return fullHeight_;
    return static_cast<int32_t>(elapsed * fullHeight_ / delay_);
}

bool TKivoMenu::Update() {
    const int32_t clock = Root().State().gameClock;
    const int64_t elapsed = int64_t{clock} - start_;
    switch (phase_) {
        case 0:
            LayOutIfNeeded();
            break;
        case 10:
            LayOutIfNeeded();
            SetPlayState(kClosing);
            break;
        case 100:
            LayOut();
            PostLifecycle(kOpeningCode, OpeningHandler());
            fullHeight_ = Height();
            SetHeight(0);
            phase_ = 101;
            break;
        case 101:
            start_ = clock;
            phase_ = 102;
            break;
        case 102:
            if (elapsed < delay_) {
                SetHeight(AnimatedHeight(elapsed));
            } else {
                SetHeight(fullHeight_);
                phase_ = 0;
                PostLifecycle(kOpenedCode, OpenedHandler());
            }
            break;
        case 200:
            busy_ = true;
            start_ = clock;
            phase_ = 201;
            PostLifecycle(kClosingCode, ClosingHandler());
            break;
        case 201:
            busy_ = true;
            if (elapsed < delay_) {
                SetHeight(static_cast<int32_t>(int64_t{fullHeight_} - AnimatedHeight(elapsed)));
            } else {
                PostLifecycle(kClosedCode, ClosedHandler());
                phase_ = 302;
            }
            break;
        case 300:
            busy_ = true;
            PostLifecycle(kClosingCode, ClosingHandler());
            PostLifecycle(kClosedCode, ClosedHandler());
            phase_ = 301;
            break;
        case 301:
            phase_ = 302;
            break;
        case 302:
            // Its closing handlers still name it as their sender while they wait or run.
            if (!LifecycleQueued()) return true;
            break;
        default:
            break;
    }
    return TKivoCustomListBox::Update();
}

void TKivoMenu::Select() {
    TKivoCustomListBox::Select();
    if (!autoScrap_) return;
    busy_ = true;
    phase_ = 300;
}

void TKivoMenu::FireRightDown(int32_t x, int32_t y) {
    if (Paused() || !rightClickScrap_) {
        TKivoCustomListBox::FireRightDown(x, y);
        return;
    }
    Root().SetSelection(std::string(), -1);
    SetPlayState(kClosing);
    ConsumePress(false);
}

bool TKivoMenu::CloseByRightClick() {
    const uint8_t mode = IgnoreMouse();
    if (busy_ || (mode != 0 && mode != 3)) return false;
    busy_ = true;
    phase_ = 10;
    return true;
}

void TKivoMenu::FireKeyRepeat() {
    if (playState_ == kClosed || playState_ == kClosing) return;
    const KeyboardState& keys = Root().Keys();
    const bool choose = keys.PressedThisFrame(kKeyEnter) || keys.PressedThisFrame(kKeySpace);
    if (choose && Hovered() >= 0 && !busy_) {
        Select();
    } else if (rightClickScrap_ && keys.PressedThisFrame(kKeyEscape) && playState_ != kClosed) {
        phase_ = 10;
    }
    TKivoCustomListBox::FireKeyRepeat();
}

// ---- Properties ----

namespace {

[[nodiscard]] const TKivoMenu& AsMenu(const TKivoObject& object) {
    return static_cast<const TKivoMenu&>(object);
}

}  // namespace

const PropertyMap& TKivoMenu::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoCustomListBox::ClassProperties();
        m[PR_DELAY] = Accessor<&TKivoMenu::Delay, &TKivoMenu::SetDelay>();
        m[PR_HOVERCOLOR] = Accessor<&TKivoMenu::HoverColor, &TKivoMenu::SetHoverColor>();
        m[PR_AUTOSCRAP] = Accessor<&TKivoMenu::AutoScrap, &TKivoMenu::SetAutoScrap>();
        m[PR_RCLICKSCRAP] = Accessor<&TKivoMenu::RightClickScrap, &TKivoMenu::SetRightClickScrap>();
        m[PR_ONOPENING] = Accessor<&TKivoMenu::OpeningHandler, &TKivoMenu::SetOpeningHandler>();
        m[PR_ONOPENED] = Accessor<&TKivoMenu::OpenedHandler, &TKivoMenu::SetOpenedHandler>();
        m[PR_ONCLOSING] = Accessor<&TKivoMenu::ClosingHandler, &TKivoMenu::SetClosingHandler>();
        m[PR_ONCLOSED] = Accessor<&TKivoMenu::ClosedHandler, &TKivoMenu::SetClosedHandler>();
        m[PR_ORIGHEIGHT].get = [](const TKivoObject& o, int32_t) -> PropertyValue {
            return AsMenu(o).OrigHeight();
        };
        return m;
    }();
    return map;
}

// ---- Save record ----

void TKivoMenu::Save(ByteWriter& writer) const {
    TKivoCustomListBox::Save(writer);
    writer.WriteI32(delay_);
    writer.WriteI32(hoverColor_);
    writer.WriteBool(autoScrap_);
    writer.WriteBool(rightClickScrap_);
    writer.WriteU8(static_cast<uint8_t>(playState_));
    for (const std::string& handler : handlers_)
        writer.WriteCountedString(handler);
}

void TKivoMenu::Load(ByteReader& reader, int32_t version) {
    TKivoCustomListBox::Load(reader, version);
    delay_ = reader.ReadI32();
    hoverColor_ = reader.ReadI32();
    autoScrap_ = reader.ReadBool();
    rightClickScrap_ = reader.ReadBool();
    playState_ = reader.ReadU8();
    for (std::string& handler : handlers_)
        handler = reader.ReadCountedString();
    Root().AddRightClickScrap(*this);
    LayOut();
    fullHeight_ = Height();
    start_ = Root().State().gameClock;
    // A menu saved while it closed goes on closing: it takes no choice and no close request.
    busy_ = phase_ >= 200;
    // A menu closed at once stays at no height; only its layout is known again.
    if (playState_ == kClosed && phase_ == 0) SetHeight(0);
}

}  // namespace kivo
