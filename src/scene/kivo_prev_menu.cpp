#include "scene/kivo_prev_menu.h"

#include <algorithm>
#include <charconv>

#include "base/sjis.h"
#include "imaging/custom_frame_list.h"
#include "scene/film_motion.h"
#include "scene/kivo_base_list.h"
#include "storage/vr_file_manager.h"

namespace kivo {

namespace {

constexpr int32_t kKeyEnter = 13;
constexpr int32_t kKeySpace = 32;
constexpr int32_t kKeyLeft = 37;
constexpr int32_t kKeyUp = 38;
constexpr int32_t kKeyRight = 39;
constexpr int32_t kKeyDown = 40;
// The ignore-mouse modes under which a button hit-tests for the hover.
constexpr IgnoreMouseMask kButtonModes = 0x1F;

// Whether the game has the file; without the game's files (tools, tests) every name counts.
[[nodiscard]] bool FileAvailable(TKivoBaseList& root, const std::string& name) {
    TVrFileManager* files = root.Services().files;
    return files == nullptr || files->FileExists(name);
}

[[nodiscard]] std::string Resolved(const std::string& menuFile, const std::string& name) {
    return name.empty() ? std::string() : ResolveFilmName(menuFile, name);
}

}  // namespace

// ---- TKivoPrevImages ----

void TKivoPrevImages::ShowPicture(const std::string& name) {
    endReported_ = false;
    if (name == Source()) return;
    SetAlpha(255);
    SetAngle(0);
    SetZoomX(256);
    SetZoomY(256);
    SetFlipH(false);
    SetFlipV(false);
    SetClip({});
    // Checked before the image cache would stand an empty 8 x 8 picture in for it.
    SetSource(name.empty() || FileAvailable(Root(), name) ? name : std::string());
}

void TKivoPrevImages::SetPlayOnce(bool once) {
    endReported_ = false;
    SetRepeat(!once);
}

bool TKivoPrevImages::Update() {
    (void)TKivoImages::Update();
    // A picture without frames, or one hidden while it plays, ends at once: the menu must
    // not wait for what nobody can see.
    if (!Repeat() && !endReported_ && (Count() == 0 || !Visible() || !FramesPlaying())) {
        endReported_ = true;
        if (auto* menu = dynamic_cast<TKivoPrevMenu*>(Parent())) menu->AnimationEnded(*this);
    }
    return false;
}

// ---- TKivoPrevMenu: the file ----

TKivoPrevMenu::TKivoPrevMenu(TKivoBaseList& root) : TKivoControl(root) {}

TKivoPrevMenu::~TKivoPrevMenu() {
    // The images are children and go with the menu; only the cache holdings are the menu's.
    ReleasePreloaded();
}

void TKivoPrevMenu::ReleasePreloaded() {
    // The handle the items were taken for: the root forgets the menu's own before freeing it.
    for (TGaleItem* item : preloadedItems_)
        Root().Images().Release(*item, preloadUser_);
    preloadedItems_.clear();
    preloaded_.clear();
}

void TKivoPrevMenu::Clear() {
    for (Button& button : buttons_) {
        DropOverlay(button);
        if (TKivoObject* image = Root().Resolve(button.image)) {
            image->AsControl()->SetVisible(false);
            Root().ScheduleDestroy(*image);
        }
    }
    buttons_.clear();
    ReleasePreloaded();
    hovered_ = -1;
    pressed_ = -1;
    pending_ = 0;
}

void TKivoPrevMenu::SetSource(std::string source) {
    if (source == source_) return;
    source_ = std::move(source);
    Clear();
    if (source_.empty() || Root().Services().files == nullptr || !FileAvailable(Root(), source_)) {
        SetWidth(0);
        SetHeight(0);
        return;
    }
    const std::vector<uint8_t> bytes = Root().Services().files->Load(source_);
    // The whole file is read before anything is built, so a damaged one builds nothing.
    Build(TContSelList::Parse(bytes, source_), source_);
}

void TKivoPrevMenu::Build(const TContSelList& list, const std::string& fileName) {
    SetWidth(std::max(0, list.width));
    SetHeight(std::max(0, list.height));
    buttons_.reserve(list.buttons.size());
    for (const TContSelButton& record : list.buttons) {
        TKivoPrevMenuData& d = buttons_.emplace_back().data;
        d.normal = Resolved(fileName, record.normal);
        d.hover = Resolved(fileName, record.hover);
        d.leave = Resolved(fileName, record.leave);
        d.click = Resolved(fileName, record.click);
        d.disabled = Resolved(fileName, record.disabled);
        d.disabledHover = Resolved(fileName, record.disabledHover);
        d.disabledLeave = Resolved(fileName, record.disabledLeave);
        d.hoverOverlay = Resolved(fileName, record.hoverOverlay);
        d.leaveOverlay = Resolved(fileName, record.leaveOverlay);
        d.clickOverlay = Resolved(fileName, record.clickOverlay);
        d.disabledHoverOverlay = Resolved(fileName, record.disabledHoverOverlay);
        d.disabledLeaveOverlay = Resolved(fileName, record.disabledLeaveOverlay);
        d.overlayX = record.overlayX;
        d.overlayY = record.overlayY;
        d.name = record.name;
        d.index = static_cast<int32_t>(buttons_.size()) - 1;

        TKivoPrevImages& image = MakeImage();
        image.SetLeft(record.x);
        image.SetTop(record.y);
        image.SetRepeat(true);
        buttons_.back().image = image.Handle();
        image.ShowPicture(d.normal);
        image.SetCaptureMask(record.captureMask);
        image.SetCursor(Resolved(fileName, record.cursor));

        std::unordered_set<std::string> visiting;
        for (const std::string* name :
             {&d.normal, &d.hover, &d.leave, &d.click, &d.disabled, &d.hoverOverlay,
              &d.leaveOverlay, &d.clickOverlay, &d.disabledHoverOverlay, &d.disabledLeaveOverlay}) {
            Preload(*name, visiting);
        }
    }
}

TKivoPrevImages& TKivoPrevMenu::MakeImage() {
    TKivoPrevImages& image = Root().Create<TKivoPrevImages>();
    const std::string base = "\x01" + Name() + "\x01";
    for (int64_t n = 0;; ++n) {
        std::string name = base + std::to_string(n);
        if (Root().ObjectsNamed(name).empty()) {
            image.Rename(std::move(name));
            break;
        }
    }
    image.SetParent(this);
    return image;
}

void TKivoPrevMenu::Preload(const std::string& name, std::unordered_set<std::string>& visiting) {
    if (name.empty()) return;
    const std::string key = sjis::ToUpperAscii(name);
    if (std::find(preloaded_.begin(), preloaded_.end(), key) != preloaded_.end()) return;
    if (IsMotionFileName(name)) {
        // A motion that names itself, directly or through others, is read once.
        if (!visiting.insert(key).second) return;
        if (const std::shared_ptr<TFilmManager> film = TFilmMotion::Read(Root(), name)) {
            for (const std::string& picture : film->ImageNames())
                Preload(picture, visiting);
        }
        return;
    }
    if (!FileAvailable(Root(), name)) return;
    preloadUser_ = Handle();
    preloadedItems_.push_back(&Root().Images().Acquire(preloadUser_, name, false, false));
    preloaded_.push_back(key);
}

std::string TKivoPrevMenu::Text() const {
    std::string text;
    for (size_t i = 0; i < buttons_.size(); ++i) {
        if (i > 0) text += "\r\n";
        text += buttons_[i].data.name;
    }
    return text;
}

TKivoPrevImages* TKivoPrevMenu::ButtonImage(int32_t index) const {
    if (!ValidIndex(index)) return nullptr;
    return dynamic_cast<TKivoPrevImages*>(
        Root().Resolve(buttons_[static_cast<size_t>(index)].image));
}

TKivoPrevImages* TKivoPrevMenu::OverlayImage(int32_t index) const {
    if (!ValidIndex(index)) return nullptr;
    return dynamic_cast<TKivoPrevImages*>(
        Root().Resolve(buttons_[static_cast<size_t>(index)].overlay));
}

const TKivoPrevMenuData* TKivoPrevMenu::ButtonData(int32_t index) const {
    return ValidIndex(index) ? &buttons_[static_cast<size_t>(index)].data : nullptr;
}

// ---- Buttons ----

int32_t TKivoPrevMenu::IndexOf(std::string_view text) const {
    int32_t number = 0;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, number);
    if (!text.empty() && error == std::errc() && rest == end) return number;
    for (const Button& button : buttons_) {
        if (button.data.name == text) return button.data.index;
    }
    return -1;
}

bool TKivoPrevMenu::ButtonEnabled(int32_t index) const {
    return ValidIndex(index) && buttons_[static_cast<size_t>(index)].enabled;
}

bool TKivoPrevMenu::ButtonVisible(int32_t index) const {
    return ValidIndex(index) && buttons_[static_cast<size_t>(index)].visible;
}

void TKivoPrevMenu::SetButtonEnabled(int32_t index, bool enabled) {
    if (!ValidIndex(index) || At(index).enabled == enabled) return;
    Button& button = At(index);
    button.enabled = enabled;
    if (TKivoPrevImages* image = ButtonImage(index)) image->ShowPicture(RestingPicture(button));
}

void TKivoPrevMenu::SetButtonVisible(int32_t index, bool visible) {
    if (!ValidIndex(index) || At(index).visible == visible) return;
    Button& button = At(index);
    button.visible = visible;
    TKivoPrevImages* image = ButtonImage(index);
    if (image == nullptr) return;
    image->SetVisible(visible);
    image->ShowPicture(visible ? RestingPicture(button) : std::string());
}

void TKivoPrevMenu::DropOverlay(Button& button) {
    // Scheduled, not freed: the input pass may be holding the overlay as the pointer's target.
    if (TKivoObject* overlay = Root().Resolve(button.overlay)) {
        overlay->AsControl()->SetVisible(false);
        Root().ScheduleDestroy(*overlay);
    }
    button.overlay = {};
}

void TKivoPrevMenu::SetOverlay(int32_t index, const std::string& name, int32_t priority,
                               bool repeat) {
    Button& button = At(index);
    if (name.empty()) {
        DropOverlay(button);
        return;
    }
    TKivoPrevImages* overlay = OverlayImage(index);
    if (overlay == nullptr) {
        overlay = &MakeImage();
        overlay->SetLeft(button.data.overlayX);
        overlay->SetTop(button.data.overlayY);
        button.overlay = overlay->Handle();
    }
    overlay->SetPriority(priority);
    overlay->ShowPicture(name);
    overlay->SetPlayOnce(!repeat);
}

std::vector<std::string> TKivoPrevMenu::ArgumentsOf(int32_t index) const {
    if (!ValidIndex(index)) return {std::string(), std::to_string(index)};
    const TKivoPrevMenuData& data = buttons_[static_cast<size_t>(index)].data;
    return {data.name, std::to_string(data.index)};
}

void TKivoPrevMenu::ChangeHover(int32_t index) {
    if (index == hovered_ || pending_ > 0) return;
    if (ValidIndex(hovered_)) {
        const int32_t old = hovered_;
        const Button& button = At(old);
        const TKivoPrevMenuData& d = button.data;
        if (TKivoPrevImages* image = ButtonImage(old)) {
            // A leave picture plays once; at its end the button rests again.
            const std::string& leave = button.enabled ? d.leave : d.disabledLeave;
            image->ShowPicture(leave.empty() ? RestingPicture(button) : leave);
            image->SetPlayOnce(!leave.empty());
        }
        SetOverlay(old, button.enabled ? d.leaveOverlay : d.disabledLeaveOverlay, 0, false);
        PostEvent(PR_ONMAPOUT, mapOutHandler_, ArgumentsOf(old));
    }
    hovered_ = index;
    if (!ValidIndex(index)) {
        hovered_ = -1;
        return;
    }
    const Button& button = At(index);
    const TKivoPrevMenuData& d = button.data;
    if (TKivoPrevImages* image = ButtonImage(index)) {
        const std::string& hover = button.enabled ? d.hover : d.disabledHover;
        image->ShowPicture(hover.empty() ? RestingPicture(button) : hover);
        image->SetPlayOnce(false);
    }
    SetOverlay(index, button.enabled ? d.hoverOverlay : d.disabledHoverOverlay, 1, true);
    PostEvent(PR_ONMAPIN, mapInHandler_, ArgumentsOf(index));
}

void TKivoPrevMenu::Select() {
    const int32_t index = hovered_;
    if (!ValidIndex(index)) return;
    Button& button = At(index);
    const TKivoPrevMenuData& d = button.data;
    TKivoPrevImages* image = ButtonImage(index);
    if (!d.click.empty() && image != nullptr) {
        // Cleared first, so that the picture starts over even when it shows already.
        image->ShowPicture(std::string());
        image->ShowPicture(d.click);
        image->SetPlayOnce(true);
        ++pending_;
    }
    if (!d.clickOverlay.empty()) {
        SetOverlay(index, d.clickOverlay, 2, false);
        ++pending_;
    } else {
        DropOverlay(button);
    }
    Root().SetSelection(d.name, d.index);
    PostEvent(PR_ONSELECT, selectHandler_, ArgumentsOf(index), true);
    if (pending_ == 0) Finish();
}

void TKivoPrevMenu::Finish() {
    if (autoScrap_) {
        Root().ScheduleDestroy(*this);
        return;
    }
    PostEvent(PR_ONPLAYEND, playEndHandler_, ArgumentsOf(hovered_));
}

void TKivoPrevMenu::AnimationEnded(const TKivoPrevImages& image) {
    const ObjectHandle handle = image.Handle();
    const auto found = std::find_if(buttons_.begin(), buttons_.end(), [&](const Button& b) {
        return b.image == handle || b.overlay == handle;
    });
    if (found == buttons_.end()) return;
    const auto index = static_cast<int32_t>(found - buttons_.begin());
    if (found->image == handle) {
        if (TKivoPrevImages* button = ButtonImage(index)) {
            button->ShowPicture(found->visible ? RestingPicture(*found) : std::string());
            button->SetPlayOnce(false);
        }
    } else {
        DropOverlay(*found);
    }
    if (pending_ > 0 && index == hovered_ && --pending_ == 0) Finish();
}

// ---- Input ----

std::string TKivoPrevMenu::DisplayCursor() const {
    if (const TKivoPrevImages* image = ButtonImage(hovered_)) return image->Cursor();
    return TKivoControl::DisplayCursor();
}

int32_t TKivoPrevMenu::ButtonAt(int32_t x, int32_t y) const {
    for (int32_t i = 0; i < Count(); ++i) {
        TKivoPrevImages* image = ButtonImage(i);
        if (image != nullptr && image->HitTest(x, y, kButtonModes) != nullptr) return i;
    }
    return -1;
}

TKivoControl* TKivoPrevMenu::HitTest(int32_t x, int32_t y, IgnoreMouseMask mask) {
    if (!OwnVisible() || !BoundsRect().Contains(x, y)) return nullptr;
    const std::vector<TKivoControl*> children = Children();
    const auto isButton = [&](const TKivoControl* child) {
        return std::any_of(buttons_.begin(), buttons_.end(),
                           [&](const Button& b) { return b.image == child->Handle(); });
    };
    if (ModeInMask(IgnoreMouse(), mask)) {
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            if (isButton(*it) && (*it)->HitTest(x, y, mask) != nullptr) return this;
        }
    }
    // The panel's empty area lets the pointer through; overlays and other children take it.
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (isButton(*it) || Root().IsScheduled(**it)) continue;
        if (TKivoControl* hit = (*it)->HitTest(x, y, mask)) return hit;
    }
    return nullptr;
}

void TKivoPrevMenu::FireMouseMove(int32_t x, int32_t y) {
    ChangeHover(ButtonAt(x, y));
    TKivoControl::FireMouseMove(x, y);
}

void TKivoPrevMenu::FireMouseOut() {
    ChangeHover(-1);
    TKivoControl::FireMouseOut();
}

void TKivoPrevMenu::FireLeftDown(int32_t x, int32_t y) {
    pressed_ = hovered_;
    TKivoControl::FireLeftDown(x, y);
}

void TKivoPrevMenu::FireLeftUp(int32_t x, int32_t y) {
    if (pressed_ >= 0 && pressed_ == hovered_ && pending_ == 0 && !Busy() &&
        ButtonEnabled(pressed_)) {
        Select();
    }
    pressed_ = -1;
    TKivoControl::FireLeftUp(x, y);
}

void TKivoPrevMenu::FireRightDown(int32_t x, int32_t y) {
    if (rightClickScrap_) Root().ScheduleDestroy(*this);
    TKivoControl::FireRightDown(x, y);
}

void TKivoPrevMenu::FireKeyRepeat() {
    std::vector<int32_t> shown;
    for (int32_t i = 0; i < Count(); ++i) {
        const TKivoPrevImages* image = ButtonImage(i);
        if (image != nullptr && image->OwnVisible()) shown.push_back(i);
    }
    if (shown.empty()) return;
    const KeyboardState& keys = Root().Keys();
    const auto at = std::find(shown.begin(), shown.end(), hovered_);
    if (keys.Repeating(kKeyLeft) || keys.Repeating(kKeyUp)) {
        ChangeHover(at == shown.end() || at == shown.begin() ? shown.back() : *(at - 1));
    } else if (keys.Repeating(kKeyRight) || keys.Repeating(kKeyDown)) {
        ChangeHover(at == shown.end() || at + 1 == shown.end() ? shown.front() : *(at + 1));
    } else if (keys.Repeating(kKeySpace) || keys.Repeating(kKeyEnter)) {
        // A selection still playing its click ends first: a held key would otherwise restart
        // the click picture every repeat and the menu would never finish.
        if (ButtonEnabled(hovered_) && !Busy() && pending_ == 0) Select();
    }
    TKivoControl::FireKeyRepeat();
}

bool TKivoPrevMenu::Update() {
    (void)TKivoControl::Update();
    return false;
}

// ---- Properties and save record ----

const PropertyMap& TKivoPrevMenu::ClassProperties() {
    static const PropertyMap map = [] {
        using M = TKivoPrevMenu;
        PropertyMap m = TKivoControl::ClassProperties();
        m[PR_SOURCE] = Accessor<&M::Source, &M::SetSource>();
        m[PR_PAUSED] = Accessor<&M::Paused, &M::SetPaused>();
        m[PR_AUTOSCRAP] = Accessor<&M::AutoScrap, &M::SetAutoScrap>();
        m[PR_RCLICKSCRAP] = Accessor<&M::RightClickScrapFlag, &M::SetRightClickScrap>();
        m[PR_ONSELECT] = Accessor<&M::SelectHandler, &M::SetSelectHandler>();
        m[PR_ONMAPIN] = Accessor<&M::MapInHandler, &M::SetMapInHandler>();
        m[PR_ONMAPOUT] = Accessor<&M::MapOutHandler, &M::SetMapOutHandler>();
        m[PR_ONIDLE] = Accessor<&M::IdleHandler, &M::SetIdleHandler>();
        m[PR_ONPLAYEND] = Accessor<&M::PlayEndHandler, &M::SetPlayEndHandler>();
        m[PR_COUNT] = Accessor<&M::Count>();
        m[PR_TEXT] = Accessor<&M::Text>();
        return m;
    }();
    return map;
}

void TKivoPrevMenu::Save(ByteWriter& writer) const {
    TKivoControl::Save(writer);
    writer.WriteCountedString(source_);
    writer.WriteBool(autoScrap_);
    writer.WriteBool(rightClickScrap_);
    writer.WriteBool(paused_);
    writer.WriteCountedString(mapInHandler_);
    writer.WriteCountedString(mapOutHandler_);
    writer.WriteCountedString(idleHandler_);
    writer.WriteCountedString(selectHandler_);
    writer.WriteCountedString(playEndHandler_);
    writer.WriteI32(Count());
    for (const Button& button : buttons_)
        writer.WriteBool(button.enabled);
    writer.WriteI32(Count());
    for (const Button& button : buttons_)
        writer.WriteBool(button.visible);
}

void TKivoPrevMenu::Load(ByteReader& reader, int32_t version) {
    TKivoControl::Load(reader, version);
    source_.clear();
    SetSource(reader.ReadCountedString());
    autoScrap_ = reader.ReadBool();
    rightClickScrap_ = reader.ReadBool();
    paused_ = reader.ReadBool();
    mapInHandler_ = reader.ReadCountedString();
    mapOutHandler_ = reader.ReadCountedString();
    idleHandler_ = reader.ReadCountedString();
    selectHandler_ = reader.ReadCountedString();
    playEndHandler_ = reader.ReadCountedString();
    const auto applyFlags = [&](void (TKivoPrevMenu::*set)(int32_t, bool)) {
        const uint32_t stored = reader.ReadCount(1);
        for (uint32_t i = 0; i < stored; ++i) {
            const bool flag = reader.ReadBool();
            if (i < static_cast<uint32_t>(Count())) (this->*set)(static_cast<int32_t>(i), flag);
        }
    };
    if (version >= kSaveVersionEnabled) applyFlags(&TKivoPrevMenu::SetButtonEnabled);
    if (version >= kSaveVersionVisible) applyFlags(&TKivoPrevMenu::SetButtonVisible);
}

}  // namespace kivo
