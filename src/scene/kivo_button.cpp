#include "scene/kivo_button.h"

#include <algorithm>

#include "imaging/draw_context.h"
#include "scene/film_motion.h"
#include "scene/kivo_base.h"
#include "scene/kivo_base_list.h"
#include "scene/kivo_motion.h"
#include "script/expression.h"

namespace kivo {

namespace {

constexpr int32_t kKeyEnter = 13;
constexpr int32_t kKeySpace = 32;

[[nodiscard]] bool IsPictureList(std::string_view name) {
    if (name.size() < 4) return false;
    std::string extension(name.substr(name.size() - 4));
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension == ".gal";
}

}  // namespace

// ---- Pictures ----

const std::string& TKivoButton::Source(int32_t state) const {
    return pictures_[static_cast<size_t>(std::clamp(state, 0, kStateCount - 1))].source;
}

bool TKivoButton::HasPicture(int32_t state) const {
    if (state < 0 || state >= kStateCount) return false;
    const StatePicture& slot = pictures_[static_cast<size_t>(state)];
    return slot.picture != nullptr || slot.film != nullptr;
}

void TKivoButton::SetSource(int32_t state, std::string source) {
    if (state < 0 || state >= kStateCount) return;
    StatePicture& slot = pictures_[static_cast<size_t>(state)];
    if (slot.source == source && (HasPicture(state) || source.empty())) return;
    slot.source = std::move(source);
    slot.picture.reset();
    slot.film.reset();
    ControlPictureSource* pictures = Root().Pictures();
    if (IsMotionFileName(slot.source)) {
        slot.film = TFilmMotion::ReadWithPictures(*this, slot.source);
    } else if (pictures != nullptr && IsPictureList(slot.source)) {
        slot.picture = pictures->AcquireFor(Handle(), slot.source);
        if (slot.picture != nullptr && slot.picture->FrameCount() <= 0) slot.picture.reset();
    }
    if (state == state_) RestartAnimation();
}

const ControlPicture* TKivoButton::CurrentPicture() const {
    if (!HasPicture(state_)) return nullptr;
    const StatePicture& slot = pictures_[static_cast<size_t>(state_)];
    return slot.film != nullptr ? motionPicture_.get() : slot.picture.get();
}

int32_t TKivoButton::FrameCount() const {
    if (const TKivoMotion* motion = Motion()) return motion->Film().FrameCount();
    const ControlPicture* picture = CurrentPicture();
    return picture != nullptr ? picture->FrameCount() : 0;
}

void TKivoButton::SetFrameIndex(int32_t index) {
    if (TKivoMotion* motion = Motion()) {
        motion->SetElapsed(TKivoMotion::TimeOfFrame(index));
        return;
    }
    const ControlPicture* picture = CurrentPicture();
    if (picture == nullptr || index < 0 || index >= picture->FrameCount()) return;
    Invalidate();
    frameIndex_ = index;
    frameTime_ = picture->Frame(index).time;
    Invalidate();
}

void TKivoButton::ShowFilmPicture(const std::string& fileName, int32_t frameIndex) {
    if (Motion() == nullptr) return;
    if (motionPicture_ == nullptr || motionPictureName_ != fileName) {
        Invalidate();
        motionPictureName_ = fileName;
        ControlPictureSource* pictures = Root().Pictures();
        motionPicture_ = pictures != nullptr ? pictures->AcquireFor(Handle(), fileName) : nullptr;
        if (motionPicture_ != nullptr && motionPicture_->FrameCount() <= 0) motionPicture_.reset();
        frameIndex_ = -1;
        if (motionPicture_ != nullptr) {
            SetWidth(motionPicture_->Width());
            SetHeight(motionPicture_->Height());
        }
    }
    if (motionPicture_ == nullptr || frameIndex < 0 || frameIndex >= motionPicture_->FrameCount())
        return;
    if (frameIndex == frameIndex_) return;
    Invalidate();
    frameIndex_ = frameIndex;
    Invalidate();
}

void TKivoButton::RestartAnimation() {
    Invalidate();
    frameIndex_ = -1;
    frameTime_ = 0;
    // A state's motion shows only the pictures its own tracks name.
    motionPicture_.reset();
    motionPictureName_.clear();
    if (HasPicture(state_) && pictures_[static_cast<size_t>(state_)].film != nullptr) {
        StartShownMotion(*this, pictures_[static_cast<size_t>(state_)].film);
        Invalidate();
        return;
    }
    FreeMotion();
    if (const ControlPicture* picture = CurrentPicture()) {
        frameIndex_ = 0;
        frameTime_ = picture->Frame(0).time;
        SetWidth(picture->Width());
        SetHeight(picture->Height());
    }
    Invalidate();
}

// ---- States ----

void TKivoButton::SetState(int32_t state) {
    if (state_ == kClicked) {
        remembered_ = state;
        return;
    }
    if (state == state_ || (state > 0 && !HasPicture(state))) return;
    state_ = state;
    if (state == kClicked) remembered_ = kNormal;
    RestartAnimation();
}

void TKivoButton::SetPaused(bool paused) {
    if (paused == paused_) return;
    paused_ = paused;
    if (!paused) SetState(kNormal);
}

// ---- Groups ----

std::vector<TKivoButton*> TKivoButton::GroupMembers() const {
    std::vector<TKivoButton*> members;
    if (Parent() == nullptr || groupIndex_ == 0) return members;
    for (TKivoControl* child : Parent()->Children()) {
        if (child->Kind() != LT_BUTTON) continue;
        auto* button = static_cast<TKivoButton*>(child);
        if (button->groupIndex_ == groupIndex_) members.push_back(button);
    }
    return members;
}

void TKivoButton::ApplyGroup(TKivoButton* keep) {
    const std::vector<TKivoButton*> members = GroupMembers();
    if (members.empty()) return;
    if (keep == nullptr) {
        const auto first = std::find_if(members.begin(), members.end(),
                                        [](const TKivoButton* m) { return m->selected_; });
        if (first != members.end()) {
            keep = *first;
        } else if (!allowAllUp_) {
            keep = members.front();
        }
    }
    for (TKivoButton* member : members) {
        member->selected_ = member == keep;
        member->SetState(member->selected_ ? kPressed : kNormal);
    }
}

void TKivoButton::SetSelected(bool selected) {
    // Only a grouped button can be selected.
    selected_ = selected && groupIndex_ != 0;
    if (groupIndex_ == 0 || Parent() == nullptr) return;
    ApplyGroup(selected_ ? this : nullptr);
}

void TKivoButton::SetAllowAllUp(bool allow) {
    allowAllUp_ = allow;
    for (TKivoButton* member : GroupMembers())
        member->allowAllUp_ = allow;
}

void TKivoButton::SetGroupIndex(int32_t index) {
    groupIndex_ = index;
    SetSelected(selected_);
}

// ---- Input ----

void TKivoButton::Click() {
    PostEvent(PR_ONNOTIFY, notifyHandler_);
    if (groupIndex_ == 0) {
        SetState(kClicked);
        if (state_ != kClicked && autoScrap_) pressPhase_ = -1;
    } else if (allowAllUp_ || !selected_) {
        SetSelected(!selected_);
    }
}

void TKivoButton::FireLeftDown(int32_t x, int32_t y) {
    const uint8_t mode = IgnoreMouse();
    if (mode != 0 && mode != 4) {
        TKivoControl::FireLeftDown(x, y);
        return;
    }
    // A button takes its presses itself: no left-down event.
    ConsumePress(true);
    if (paused_ || state_ == kClicked) return;
    CaptureLeft();
    SetState(kPressed);
    pressPhase_ = 1;
}

void TKivoButton::FireLeftUp(int32_t x, int32_t y) {
    if (pressPhase_ == 1 && UnderPointer(x, y)) {
        Click();
        if (pressPhase_ == -1) return;
    }
    pressPhase_ = 0;
    if (groupIndex_ == 0 && state_ != kClicked) SetState(kNormal);
}

void TKivoButton::FireMouseMove(int32_t x, int32_t y) {
    if (pressPhase_ == 0) {
        SetState(selected_ ? kPressed : paused_ ? kNormal : kHover);
        TKivoControl::FireMouseMove(x, y);
    } else if (pressPhase_ == 1) {
        // Held: pressed while over the button, normal once the pointer leaves it.
        SetState(!selected_ && !UnderPointer(x, y) ? kNormal : kPressed);
    }
}

void TKivoButton::FireMouseOut() {
    if (state_ == kClicked) return;
    SetState(selected_ ? kPressed : kNormal);
    TKivoControl::FireMouseOut();
}

void TKivoButton::FireKeyRepeat() {
    const KeyboardState& keys = Root().Keys();
    if (keys.Repeating(kKeyEnter) || keys.Repeating(kKeySpace)) Click();
    TKivoControl::FireKeyRepeat();
}

// ---- Frame work ----

bool TKivoButton::Animate() {
    // Every state's motion but the clicked one repeats; only a film without frames ends in
    // another state, and that must not end the button.
    if (TKivoMotion* motion = Motion())
        return motion->Step(*this, Root().State().frameDelta) && state_ == kClicked;
    const ControlPicture* picture = CurrentPicture();
    if (picture == nullptr || frameIndex_ < 0 || !Visible() || paused_ || AniPaused()) {
        return false;
    }
    const int32_t count = picture->FrameCount();
    const int32_t last = count - 1;
    if (frameTime_ > 0) frameTime_ -= Root().State().frameDelta;
    while (frameTime_ < 1) {
        if (frameIndex_ < last) {
            if (count <= 2) frameTime_ = 0;
            ++frameIndex_;
            frameTime_ += std::max(1, picture->Frame(frameIndex_).time);
        } else if (Repeat()) {
            // A single picture has nothing to run through again.
            if (count == 1) {
                frameTime_ = 1;
                break;
            }
            frameIndex_ = 0;
            frameTime_ += std::max(1, picture->Frame(0).time);
        } else {
            return state_ == kClicked;
        }
        Invalidate();
    }
    return false;
}

bool TKivoButton::Update() {
    if (pressPhase_ == -1) return true;
    if (groupPending_) {
        groupPending_ = false;
        ApplyGroup(selected_ ? this : nullptr);
    }
    if (!Animate()) return false;
    if (autoScrap_) return true;
    PostEvent(PR_ONPLAYEND, playEndHandler_);
    state_ = kNone;
    SetState(remembered_);
    // A remembered state without a picture would leave the button showing nothing at all.
    if (state_ == kNone) SetState(kNormal);
    return false;
}

void TKivoButton::Draw(TDrawContext& context) {
    const ControlPicture* picture = CurrentPicture();
    if (picture != nullptr && frameIndex_ >= 0 && frameIndex_ < picture->FrameCount()) {
        const PictureFrame frame = picture->Frame(frameIndex_);
        if (frame.surface != nullptr) {
            const TRect bounds = BoundsRect();
            DrawPicturePiece(context, frame, frame.surface->ClientRect(), bounds.Left, bounds.Top,
                             alpha_);
        }
    }
    TKivoControl::Draw(context);
}

// ---- Properties ----

namespace {

template <int32_t State>
PropertyAccess SourceOf() {
    PropertyAccess access;
    access.get = [](const TKivoObject& o, int32_t) -> PropertyValue {
        return static_cast<const TKivoButton&>(o).Source(State);
    };
    access.set = [](TKivoObject& o, const PropertyValue& v, int32_t) {
        static_cast<TKivoButton&>(o).SetSource(State, std::get<std::string>(v));
    };
    return access;
}

}  // namespace

const PropertyMap& TKivoButton::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoControl::ClassProperties();
        m[PR_SOURCE] = SourceOf<kNormal>();
        m[PR_HOVERSOURCE] = SourceOf<kHover>();
        m[PR_PRESSEDSOURCE] = SourceOf<kPressed>();
        m[PR_CLICKEDSOURCE] = SourceOf<kClicked>();
        m[PR_ALPHA] = Accessor<&TKivoButton::Alpha, &TKivoButton::SetAlpha>();
        m[PR_GROUPINDEX] = Accessor<&TKivoButton::GroupIndex, &TKivoButton::SetGroupIndex>();
        m[PR_SELECTED] = Accessor<&TKivoButton::Selected, &TKivoButton::SetSelected>();
        m[PR_ALLOWALLUP] = Accessor<&TKivoButton::AllowAllUp, &TKivoButton::SetAllowAllUp>();
        m[PR_REPEAT] = Accessor<&TKivoButton::Repeat>();
        m[PR_AUTOSCRAP] = Accessor<&TKivoButton::AutoScrap, &TKivoButton::SetAutoScrap>();
        m[PR_PAUSED] = Accessor<&TKivoButton::Paused, &TKivoButton::SetPaused>();
        m[PR_COUNT] = Accessor<&TKivoButton::FrameCount>();
        m[PR_INDEX] = Accessor<&TKivoButton::FrameIndex, &TKivoButton::SetFrameIndex>();
        m[PR_ONNOTIFY] = Accessor<&TKivoButton::NotifyHandler, &TKivoButton::SetNotifyHandler>();
        m[PR_ONIDLE] = Accessor<&TKivoButton::IdleHandler, &TKivoButton::SetIdleHandler>();
        m[PR_ONPLAYEND] = Accessor<&TKivoButton::PlayEndHandler, &TKivoButton::SetPlayEndHandler>();
        return m;
    }();
    return map;
}

// ---- Save record ----

void TKivoButton::Save(ByteWriter& writer) const {
    TKivoControl::Save(writer);
    // The picture fields every image kind writes: alpha, zoom x, angle; flips and capture
    // mask; zoom y; the normal picture's source and brightness.
    writer.WriteI32(alpha_);
    writer.WriteI32(256);
    writer.WriteI32(0);
    for (int i = 0; i < 3; ++i)
        writer.WriteBool(false);
    writer.WriteI32(256);
    writer.WriteCountedString(Source(kNormal));
    writer.WriteI32(0);
    // The animation: remaining time, frame index, brightness, paused, an empty loop wait.
    writer.WriteI32(frameTime_);
    writer.WriteI32(frameIndex_);
    writer.WriteI32(0);
    writer.WriteBool(paused_);
    TKivoParser().Save(writer);
    writer.WriteBool(Repeat());
    writer.WriteBool(autoScrap_);
    writer.WriteCountedString(Source(kNormal));
    writer.WriteCountedString(playEndHandler_);
    writer.WriteCountedString(idleHandler_);
    // The button's own fields.
    writer.WriteCountedString(Source(kHover));
    writer.WriteCountedString(Source(kPressed));
    writer.WriteI32(groupIndex_);
    writer.WriteBool(selected_);
    writer.WriteBool(allowAllUp_);
    writer.WriteCountedString(notifyHandler_);
    writer.WriteCountedString(idleHandler_);
    writer.WriteCountedString(Source(kClicked));
}

void TKivoButton::Load(ByteReader& reader, int32_t version) {
    TKivoControl::Load(reader, version);
    alpha_ = reader.ReadI32();
    (void)reader.ReadI32();  // zoom x
    (void)reader.ReadI32();  // angle
    for (int i = 0; i < 3; ++i)
        (void)reader.ReadBool();
    if (version >= kSaveVersionSubPriority) (void)reader.ReadI32();  // zoom y
    (void)reader.ReadCountedString();                                // single picture source
    (void)reader.ReadI32();                                          // its brightness
    (void)reader.ReadI32();                                          // remaining time
    const int32_t frameIndex = reader.ReadI32();
    (void)reader.ReadI32();  // brightness
    paused_ = reader.ReadBool();
    TKivoParser loopWait;
    loopWait.Load(reader);
    (void)reader.ReadBool();  // repeat: a button's follows its state
    autoScrap_ = reader.ReadBool();
    const std::string normal = reader.ReadCountedString();
    playEndHandler_ = reader.ReadCountedString();
    if (version >= kSaveVersionSubPriority) idleHandler_ = reader.ReadCountedString();
    const std::string hover = reader.ReadCountedString();
    const std::string pressed = reader.ReadCountedString();
    groupIndex_ = reader.ReadI32();
    // The group's bytes are restored as saved; exclusivity waits for the siblings.
    selected_ = reader.ReadBool() && groupIndex_ != 0;
    allowAllUp_ = reader.ReadBool();
    notifyHandler_ = reader.ReadCountedString();
    std::string clicked;
    if (version >= kSaveVersionSubPriority) {
        idleHandler_ = reader.ReadCountedString();
        clicked = reader.ReadCountedString();
    }
    state_ = kNormal;
    remembered_ = kNormal;
    pressPhase_ = 0;
    SetSource(kNormal, normal);
    SetSource(kHover, hover);
    SetSource(kPressed, pressed);
    SetSource(kClicked, clicked);
    if (selected_) SetState(kPressed);
    groupPending_ = groupIndex_ != 0;
    // A motion's time is not in the record: it starts again from its first frame.
    if (Motion() == nullptr) SetFrameIndex(frameIndex);
}

}  // namespace kivo
