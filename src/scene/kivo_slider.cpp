#include "scene/kivo_slider.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "imaging/draw_context.h"
#include "scene/kivo_base.h"
#include "scene/kivo_base_list.h"

namespace kivo {

namespace {

constexpr int32_t kKeyLeft = 37;
constexpr int32_t kKeyUp = 38;
constexpr int32_t kKeyRight = 39;
constexpr int32_t kKeyDown = 40;

// Whether the strip piece's mask lets the pointer through at (x, y) relative to a rectangle
// covered by copies of the piece; a strip without a mask always does. The point wraps into the
// piece, so a bar longer than its picture reads the mask of the copy under the pointer.
[[nodiscard]] bool MaskAllows(const ControlPicture* picture, const TRect& piece, int32_t x,
                              int32_t y) {
    if (picture == nullptr || piece.IsEmpty()) return true;
    const PictureFrame frame = picture->Frame(0);
    if (frame.mask == nullptr) return true;
    const int32_t px = piece.Left + ((x % piece.Width()) + piece.Width()) % piece.Width();
    const int32_t py = piece.Top + ((y % piece.Height()) + piece.Height()) % piece.Height();
    if (px >= frame.mask->Width() || py >= frame.mask->Height()) return false;
    return frame.mask->GetPixel(px, py) > 127;
}

}  // namespace

// ---- Pictures and layout ----

void TKivoSlider::SetStrip(Strip& strip, std::string source) {
    if (strip.source == source) return;
    strip.source = std::move(source);
    strip.picture = AcquirePicture(Root().Pictures(), strip.source);
    Layout();
}

void TKivoSlider::Layout() {
    const auto pieceOf = [](const Strip& strip, int32_t count, int32_t& width, int32_t& height) {
        width = strip.picture != nullptr ? strip.picture->Width() / count : 0;
        height = strip.picture != nullptr ? strip.picture->Height() : 0;
        if (width <= 0 || height <= 0) width = height = 0;
    };
    pieceOf(track_, 2, pieceWidth_, pieceHeight_);
    pieceOf(thumb_, 3, thumbWidth_, thumbHeight_);
    pieceOf(buttons_, 6, buttonWidth_, buttonHeight_);
    Invalidate();
    if (pieceWidth_ == 0) {
        SetWidth(0);
        SetHeight(0);
        return;
    }
    const int32_t length = TrackLength();
    // The thumb of a slider hangs half over each end of the track; a scroll bar's lies inside.
    const int32_t thumbOverhang = IsScrollbar() ? 0 : 1;
    if (vertical_) {
        SetWidth(std::max({pieceWidth_, thumbWidth_, buttonWidth_}));
        SetHeight(length + thumbOverhang * thumbHeight_ + 2 * buttonHeight_);
    } else {
        SetWidth(length + thumbOverhang * thumbWidth_ + 2 * buttonWidth_);
        SetHeight(std::max({pieceHeight_, thumbHeight_, buttonHeight_}));
    }
    Invalidate();
}

void TKivoSlider::SetOrientation(int32_t orientation) {
    vertical_ = orientation == 1;
    Layout();
}

void TKivoSlider::SetBarSize(int32_t size) {
    barSize_ = size;
    Layout();
}

// ---- Values ----

int32_t TKivoSlider::Value() const {
    // A range with max below min reads as min, as the thumb shows it.
    return std::max(min_, std::min(max_, value_));
}

void TKivoSlider::SetMin(int32_t min) {
    ChangeArea(min_, min);
}
void TKivoSlider::SetMax(int32_t max) {
    ChangeArea(max_, max);
}
void TKivoSlider::SetValue(int32_t value) {
    ChangeArea(value_, value);
}

void TKivoSlider::ChangeValue(int64_t value) {
    const auto clamped =
        static_cast<int32_t>(std::max<int64_t>(min_, std::min<int64_t>(max_, value)));
    if (clamped == value_) return;
    SetValue(clamped);
    PostEvent(PR_ONNOTIFY, notifyHandler_, {std::to_string(clamped)});
}

int64_t TKivoSlider::ButtonStep(int32_t button) const {
    const int64_t step = smallChange_;
    const bool reversed = vertical_ && !IsScrollbar();
    return (button == 0) != reversed ? -step : step;
}

// ---- Geometry ----

int32_t TKivoSlider::TrackLength() const {
    if (barSize_ > 0) return barSize_;
    return vertical_ ? pieceHeight_ : pieceWidth_;
}

int32_t TKivoSlider::ThumbLength() const {
    return vertical_ ? thumbHeight_ : thumbWidth_;
}

int32_t TKivoSlider::Travel() const {
    return IsScrollbar() ? TrackLength() - ThumbLength() : TrackLength();
}

int32_t TKivoSlider::ThumbPosition() const {
    const int64_t range = int64_t{max_} - min_;
    const int32_t travel = Travel();
    if (range <= 0 || travel <= 0) return 0;
    const double share = static_cast<double>(int64_t{Value()} - min_) / static_cast<double>(range);
    return static_cast<int32_t>(std::clamp<int64_t>(RoundHalfEven(share * travel), 0, travel));
}

TRect TKivoSlider::TrackRect() const {
    const TRect bounds = BoundsRect();
    const int32_t length = TrackLength();
    const int32_t thumbHalf = IsScrollbar() ? 0 : ThumbLength() / 2;
    if (vertical_) {
        const int32_t left = bounds.Left + (Width() - pieceWidth_) / 2;
        const int32_t top = bounds.Top + buttonHeight_ + thumbHalf;
        return {left, top, left + pieceWidth_, top + length};
    }
    const int32_t left = bounds.Left + buttonWidth_ + thumbHalf;
    const int32_t top = bounds.Top + (Height() - pieceHeight_) / 2;
    return {left, top, left + length, top + pieceHeight_};
}

TRect TKivoSlider::ThumbRect() const {
    const TRect bounds = BoundsRect();
    const int32_t p = ThumbPosition();
    if (vertical_) {
        const int32_t left = bounds.Left + (Width() - thumbWidth_) / 2;
        const int32_t top = IsScrollbar() ? bounds.Top + buttonHeight_ + p
                                          : bounds.Top + buttonHeight_ + TrackLength() - p;
        return {left, top, left + thumbWidth_, top + thumbHeight_};
    }
    const int32_t left = bounds.Left + buttonWidth_ + p;
    const int32_t top = bounds.Top + (Height() - thumbHeight_) / 2;
    return {left, top, left + thumbWidth_, top + thumbHeight_};
}

TRect TKivoSlider::ButtonRect(int32_t button) const {
    const TRect bounds = BoundsRect();
    if (vertical_) {
        const int32_t left = bounds.Left + (Width() - buttonWidth_) / 2;
        const int32_t top = button == 0 ? bounds.Top : bounds.Bottom - buttonHeight_;
        return {left, top, left + buttonWidth_, top + buttonHeight_};
    }
    const int32_t left = button == 0 ? bounds.Left : bounds.Right - buttonWidth_;
    const int32_t top = bounds.Top + (Height() - buttonHeight_) / 2;
    return {left, top, left + buttonWidth_, top + buttonHeight_};
}

bool TKivoSlider::OnThumb(int32_t x, int32_t y) const {
    const TRect rect = ThumbRect();
    if (!rect.Contains(x, y)) return false;
    if (!captureMask_) return true;
    return MaskAllows(thumb_.picture.get(), StripPiece(thumbWidth_ * 3, thumbHeight_, 3, 0),
                      x - rect.Left, y - rect.Top);
}

bool TKivoSlider::OnButton(int32_t button, int32_t x, int32_t y) const {
    const TRect rect = ButtonRect(button);
    if (!rect.Contains(x, y)) return false;
    return MaskAllows(buttons_.picture.get(),
                      StripPiece(buttonWidth_ * 6, buttonHeight_, 6, button == 0 ? 0 : 3),
                      x - rect.Left, y - rect.Top);
}

bool TKivoSlider::OnTrack(int32_t x, int32_t y) const {
    const TRect rect = TrackRect();
    if (!rect.Contains(x, y)) return false;
    return MaskAllows(track_.picture.get(), StripPiece(pieceWidth_ * 2, pieceHeight_, 2, 0),
                      x - rect.Left, y - rect.Top);
}

int32_t TKivoSlider::ValueAt(int32_t x, int32_t y) const {
    const int64_t range = int64_t{max_} - min_;
    const int32_t travel = Travel();
    // A track no longer than the thumb leaves the thumb nowhere to go.
    if (range <= 0 || travel <= 0) return Value();
    const TRect track = TrackRect();
    int64_t along = 0;
    if (IsScrollbar()) {
        along = int64_t{Along(x, y)} - (vertical_ ? track.Top : track.Left) - dragOffset_;
    } else if (vertical_) {
        // Values grow upward; the pixel below the track's top end counts from one less.
        along = int64_t{track.Top} + TrackLength() + dragOffset_ - y - 1;
    } else {
        along = int64_t{x} - track.Left - dragOffset_;
    }
    const int64_t v = min_ + RoundHalfEven(static_cast<double>(range) / travel * along);
    return static_cast<int32_t>(std::clamp<int64_t>(v, min_, max_));
}

// ---- Input ----

void TKivoSlider::HoverAt(int32_t x, int32_t y) {
    const bool live = max_ > min_ && IgnoreMouse() != 1 && !paused_;
    SetThumbState(live && OnThumb(x, y) ? 1 : 0);
    for (int32_t button = 0; button < 2; ++button)
        SetButtonState(button, live && OnButton(button, x, y) ? 1 : 0);
}

void TKivoSlider::FireMouseMove(int32_t x, int32_t y) {
    if (drag_ == kIdle) {
        HoverAt(x, y);
    } else if (drag_ == kDragging) {
        ChangeValue(ValueAt(x, y));
    }
    TKivoControl::FireMouseMove(x, y);
}

void TKivoSlider::FireMouseOut() {
    if (drag_ == kIdle) {
        SetThumbState(0);
        SetButtonState(0, 0);
        SetButtonState(1, 0);
    }
    TKivoControl::FireMouseOut();
}

void TKivoSlider::FireLeftDown(int32_t x, int32_t y) {
    TKivoControl::FireLeftDown(x, y);
    const uint8_t mode = IgnoreMouse();
    if (drag_ != kIdle || (mode != 0 && mode != 4) || max_ <= min_ || paused_) return;
    HoverAt(x, y);
    const TRect thumb = ThumbRect();
    if (thumbState_ == 1) {
        PostEvent(PR_ONHOLD, holdHandler_);
        CaptureLeft();
        const int32_t thumbStart = vertical_ ? thumb.Top : thumb.Left;
        dragOffset_ = Along(x, y) - thumbStart - (IsScrollbar() ? 0 : ThumbLength() / 2);
        SetThumbState(2);
        drag_ = kDragging;
        return;
    }
    for (int32_t button = 0; button < 2; ++button) {
        if (buttonStates_[static_cast<size_t>(button)] != 1) continue;
        ChangeValue(int64_t{value_} + ButtonStep(button));
        CaptureLeft();
        SetButtonState(button, 2);
        repeatTimer_ = kRepeatDelay;
        drag_ = button == 0 ? kHoldingFirst : kHoldingSecond;
        return;
    }
    if (!OnTrack(x, y)) return;
    CaptureLeft();
    if (!IsScrollbar()) {
        PostEvent(PR_ONHOLD, holdHandler_);
        SetThumbState(2);
        drag_ = kDragging;
        dragOffset_ = 0;
        ChangeValue(ValueAt(x, y));
        return;
    }
    pageHighlight_ = true;
    repeatTimer_ = kRepeatDelay;
    const bool towardMax = Along(x, y) > (vertical_ ? thumb.Top : thumb.Left);
    drag_ = towardMax ? kPagingToMax : kPagingToMin;
    ChangeValue(int64_t{value_} + (towardMax ? PageChange() : -int64_t{PageChange()}));
    Invalidate();
}

void TKivoSlider::Drag(int32_t x, int32_t y) {
    if (drag_ == kHoldingFirst || drag_ == kHoldingSecond) {
        StepHeldButton(x, y);
    } else if (drag_ == kPagingToMin || drag_ == kPagingToMax) {
        StepPage(x, y);
    }
}

void TKivoSlider::StepHeldButton(int32_t x, int32_t y) {
    repeatTimer_ -= Root().State().frameDelta;
    if (repeatTimer_ > 0) return;
    repeatTimer_ += kRepeatInterval;
    const int32_t button = drag_ == kHoldingFirst ? 0 : 1;
    SetButtonState(button, OnButton(button, x, y) ? 2 : 0);
    if (buttonStates_[static_cast<size_t>(button)] == 2)
        ChangeValue(int64_t{value_} + ButtonStep(button));
}

void TKivoSlider::StepPage(int32_t x, int32_t y) {
    repeatTimer_ -= Root().State().frameDelta;
    if (repeatTimer_ > 0) return;
    repeatTimer_ += kRepeatInterval;
    const TRect thumb = ThumbRect();
    const int32_t along = Along(x, y);
    const bool beyond = drag_ == kPagingToMin ? along < (vertical_ ? thumb.Top : thumb.Left)
                                              : along >= (vertical_ ? thumb.Bottom : thumb.Right);
    const bool step = OnTrack(x, y) && beyond;
    if (step) {
        ChangeValue(int64_t{value_} +
                    (drag_ == kPagingToMax ? PageChange() : -int64_t{PageChange()}));
    }
    if (step != pageHighlight_) {
        pageHighlight_ = step;
        Invalidate();
    }
}

void TKivoSlider::FireLeftUp(int32_t x, int32_t y) {
    TKivoControl::FireLeftUp(x, y);
    if (drag_ == kIdle) return;
    if (drag_ == kDragging) PostEvent(PR_ONRELEASE, releaseHandler_);
    drag_ = kIdle;
    HoverAt(x, y);
    if (pageHighlight_) Invalidate();
    pageHighlight_ = false;
}

void TKivoSlider::FireKeyRepeat() {
    const KeyboardState& keys = Root().Keys();
    int32_t up = kKeyRight, down = kKeyLeft;
    if (vertical_) {
        // A vertical slider's values grow upward, a scroll bar's downward.
        up = IsScrollbar() ? kKeyDown : kKeyUp;
        down = IsScrollbar() ? kKeyUp : kKeyDown;
    }
    if (keys.Repeating(up) && value_ < max_) {
        ChangeValue(std::min<int64_t>(max_, int64_t{value_} + smallChange_));
    } else if (keys.Repeating(down) && value_ > min_) {
        ChangeValue(std::max<int64_t>(min_, int64_t{value_} - smallChange_));
    }
    TKivoControl::FireKeyRepeat();
}

// ---- Drawing ----

void TKivoSlider::DrawTrack(TDrawContext& context, const PictureFrame& frame, const TRect& track) {
    const TRect after = StripPiece(pieceWidth_ * 2, pieceHeight_, 2, 0);
    const TRect before = StripPiece(pieceWidth_ * 2, pieceHeight_, 2, 1);
    const int32_t length = TrackLength();
    // The pattern is anchored at the track's start so that it runs on across the thumb.
    const auto tile = [&](const TRect& piece, int32_t from, int32_t to) {
        if (to <= from) return;
        if (vertical_) {
            const TRect area{track.Left, track.Top + from, track.Right, track.Top + to};
            TilePicturePiece(context, frame, piece, area, 0, -(from % pieceHeight_), alpha_);
        } else {
            const TRect area{track.Left + from, track.Top, track.Left + to, track.Bottom};
            TilePicturePiece(context, frame, piece, area, -(from % pieceWidth_), 0, alpha_);
        }
    };
    if (!IsScrollbar()) {
        const int32_t p = ThumbPosition();
        if (vertical_) {
            tile(after, 0, length - p);
            tile(before, length - p, length);
        } else {
            tile(before, 0, p);
            tile(after, p, length);
        }
        return;
    }
    const bool paging = pageHighlight_ && (drag_ == kPagingToMin || drag_ == kPagingToMax);
    if (!paging) {
        tile(after, 0, length);
        return;
    }
    // While paging, the part from the thumb's centre toward the paging end lights up.
    const int32_t centre = std::clamp(ThumbPosition() + ThumbLength() / 2, 0, length);
    if (drag_ == kPagingToMin) {
        tile(before, 0, centre);
        tile(after, centre, length);
    } else {
        tile(after, 0, centre);
        tile(before, centre, length);
    }
}

void TKivoSlider::Draw(TDrawContext& context) {
    if (Width() > 0 && Height() > 0 && track_.picture != nullptr) {
        DrawTrack(context, track_.picture->Frame(0), TrackRect());
        if (thumb_.picture != nullptr && max_ > min_) {
            const TRect thumb = ThumbRect();
            DrawPicturePiece(context, thumb_.picture->Frame(0),
                             StripPiece(thumbWidth_ * 3, thumbHeight_, 3, thumbState_), thumb.Left,
                             thumb.Top, alpha_);
        }
        if (buttons_.picture != nullptr) {
            for (int32_t button = 0; button < 2; ++button) {
                const TRect rect = ButtonRect(button);
                const int32_t piece = buttonStates_[static_cast<size_t>(button)] + 3 * button;
                DrawPicturePiece(context, buttons_.picture->Frame(0),
                                 StripPiece(buttonWidth_ * 6, buttonHeight_, 6, piece), rect.Left,
                                 rect.Top, alpha_);
            }
        }
    }
    TKivoControl::Draw(context);
}

// ---- Properties ----

const PropertyMap& TKivoSlider::ClassProperties() {
    static const PropertyMap map = [] {
        using S = TKivoSlider;
        PropertyMap m = TKivoControl::ClassProperties();
        m[PR_SOURCE] = Accessor<&S::Source, &S::SetSource>();
        m[PR_THUMBSOURCE] = Accessor<&S::ThumbSource, &S::SetThumbSource>();
        m[PR_BUTTONSOURCE] = Accessor<&S::ButtonSource, &S::SetButtonSource>();
        m[PR_MIN] = Accessor<&S::Min, &S::SetMin>();
        m[PR_MAX] = Accessor<&S::Max, &S::SetMax>();
        m[PR_VALUE] = Accessor<&S::Value, &S::SetValue>();
        m[PR_SMALLCHANGE] = Accessor<&S::SmallChange, &S::SetSmallChange>();
        m[PR_ALPHA] = Accessor<&S::Alpha, &S::SetAlpha>();
        m[PR_ORIENTATION] = Accessor<&S::Orientation, &S::SetOrientation>();
        m[PR_BARSIZE] = Accessor<&S::BarSize, &S::SetBarSize>();
        m[PR_PAUSED] = Accessor<&S::Paused, &S::SetPaused>();
        m[PR_CAPTUREMASK] = Accessor<&S::CaptureMask, &S::SetCaptureMask>();
        m[PR_ONNOTIFY] = Accessor<&S::NotifyHandler, &S::SetNotifyHandler>();
        m[PR_ONHOLD] = Accessor<&S::HoldHandler, &S::SetHoldHandler>();
        m[PR_ONRELEASE] = Accessor<&S::ReleaseHandler, &S::SetReleaseHandler>();
        m[PR_ONIDLE] = Accessor<&S::IdleHandler, &S::SetIdleHandler>();
        return m;
    }();
    return map;
}

const PropertyMap& TKivoScrollbar::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoSlider::ClassProperties();
        m[PR_LARGECHANGE] =
            Accessor<&TKivoScrollbar::LargeChange, &TKivoScrollbar::SetLargeChange>();
        return m;
    }();
    return map;
}

// ---- Save records ----

void TKivoSlider::Save(ByteWriter& writer) const {
    TKivoControl::Save(writer);
    writer.WriteCountedString(track_.source);
    writer.WriteCountedString(thumb_.source);
    writer.WriteCountedString(buttons_.source);
    writer.WriteI32(min_);
    writer.WriteI32(max_);
    writer.WriteI32(value_);
    writer.WriteI32(smallChange_);
    writer.WriteI32(alpha_);
    writer.WriteBool(paused_);
    writer.WriteU8(vertical_ ? 1 : 0);
    writer.WriteCountedString(notifyHandler_);
    writer.WriteCountedString(holdHandler_);
    writer.WriteCountedString(releaseHandler_);
    writer.WriteCountedString(idleHandler_);
    writer.WriteBool(captureMask_);
    writer.WriteI32(barSize_);
}

void TKivoSlider::Load(ByteReader& reader, int32_t version) {
    TKivoControl::Load(reader, version);
    std::string track = reader.ReadCountedString();
    std::string thumb = reader.ReadCountedString();
    std::string buttons = reader.ReadCountedString();
    min_ = reader.ReadI32();
    max_ = reader.ReadI32();
    value_ = reader.ReadI32();
    smallChange_ = reader.ReadI32();
    alpha_ = reader.ReadI32();
    paused_ = reader.ReadBool();
    vertical_ = reader.ReadU8() == 1;
    notifyHandler_ = reader.ReadCountedString();
    holdHandler_ = reader.ReadCountedString();
    releaseHandler_ = reader.ReadCountedString();
    idleHandler_ = reader.ReadCountedString();
    if (version >= kSaveVersionCaptureMask) captureMask_ = reader.ReadBool();
    if (version >= kSaveVersionBarSize) barSize_ = reader.ReadI32();
    SetSource(std::move(track));
    SetThumbSource(std::move(thumb));
    SetButtonSource(std::move(buttons));
    Layout();
}

void TKivoScrollbar::Save(ByteWriter& writer) const {
    TKivoSlider::Save(writer);
    writer.WriteI32(largeChange_);
}

void TKivoScrollbar::Load(ByteReader& reader, int32_t version) {
    TKivoSlider::Load(reader, version);
    largeChange_ = reader.ReadI32();
}

}  // namespace kivo
