#pragma once
// The value controls a player drags: the slider (a thumb on a track with a step button at
// each end) and the scroll bar (a thumb inside its track that pages by the large change when
// the track is pressed). Their pictures are strips from the image cache: the track of two
// pieces (after and before the thumb), the thumb of three (normal, hover, pressed) and the
// buttons of six (the first button's three states, then the second's).
//
// The value is stored as written; reads, the thumb and the drawing use it clamped to
// [min, max]. A change the player makes (drag, button, track, key) queues the notify handler
// with the new value. A vertical slider's values grow upward; a vertical scroll bar's grow
// downward, like a document's lines.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "base/rect.h"
#include "scene/control_picture.h"
#include "scene/kivo_control.h"

namespace kivo {

class TKivoSlider : public TKivoControl {
  public:
    // Save records from these versions on carry the capture mask and the bar size.
    static constexpr int32_t kSaveVersionCaptureMask = 119;
    static constexpr int32_t kSaveVersionBarSize = 128;
    // Holding a button or the track steps again after the first delay, then every interval.
    static constexpr int32_t kRepeatDelay = 300;
    static constexpr int32_t kRepeatInterval = 50;

    enum DragState : int32_t {
        kIdle = 0,
        kDragging = 1,
        kHoldingFirst = 2,
        kHoldingSecond = 3,
        kPagingToMin = 4,
        kPagingToMax = 5
    };

    using TKivoControl::TKivoControl;

    [[nodiscard]] int32_t Kind() const override { return LT_SLIDER; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoSlider"; }

    // ---- Pictures ----

    [[nodiscard]] const std::string& Source() const { return track_.source; }
    void SetSource(std::string source) { SetStrip(track_, std::move(source)); }
    [[nodiscard]] const std::string& ThumbSource() const { return thumb_.source; }
    void SetThumbSource(std::string source) { SetStrip(thumb_, std::move(source)); }
    [[nodiscard]] const std::string& ButtonSource() const { return buttons_.source; }
    void SetButtonSource(std::string source) { SetStrip(buttons_, std::move(source)); }

    // ---- Values ----

    [[nodiscard]] int32_t Min() const { return min_; }
    void SetMin(int32_t min);
    [[nodiscard]] int32_t Max() const { return max_; }
    void SetMax(int32_t max);
    // The value clamped to [min, max].
    [[nodiscard]] int32_t Value() const;
    void SetValue(int32_t value);
    [[nodiscard]] int32_t SmallChange() const { return smallChange_; }
    void SetSmallChange(int32_t change) { smallChange_ = change; }
    [[nodiscard]] int32_t Alpha() const { return alpha_; }
    void SetAlpha(int32_t alpha) { ChangeArea(alpha_, alpha); }
    [[nodiscard]] int32_t Orientation() const { return vertical_ ? 1 : 0; }
    void SetOrientation(int32_t orientation);
    [[nodiscard]] int32_t BarSize() const { return barSize_; }
    void SetBarSize(int32_t size);
    [[nodiscard]] bool Paused() const override { return paused_; }
    void SetPaused(bool paused) { paused_ = paused; }
    [[nodiscard]] bool CaptureMask() const { return captureMask_; }
    void SetCaptureMask(bool capture) { captureMask_ = capture; }

    [[nodiscard]] const std::string& NotifyHandler() const { return notifyHandler_; }
    void SetNotifyHandler(std::string handler) { notifyHandler_ = std::move(handler); }
    [[nodiscard]] const std::string& HoldHandler() const { return holdHandler_; }
    void SetHoldHandler(std::string handler) { holdHandler_ = std::move(handler); }
    [[nodiscard]] const std::string& ReleaseHandler() const { return releaseHandler_; }
    void SetReleaseHandler(std::string handler) { releaseHandler_ = std::move(handler); }
    [[nodiscard]] std::string IdleHandler() const override { return idleHandler_; }
    void SetIdleHandler(std::string handler) { idleHandler_ = std::move(handler); }

    // ---- Geometry (layer pixels) ----

    // The track's length along the slider: the bar size, or the track piece's.
    [[nodiscard]] int32_t TrackLength() const;
    // The thumb's offset along the track for the clamped value.
    [[nodiscard]] int32_t ThumbPosition() const;
    [[nodiscard]] TRect TrackRect() const;
    [[nodiscard]] TRect ThumbRect() const;
    // Button 0 at the left (top) end, button 1 at the right (bottom) end.
    [[nodiscard]] TRect ButtonRect(int32_t button) const;
    [[nodiscard]] int32_t ThumbState() const { return thumbState_; }
    [[nodiscard]] int32_t ButtonState(int32_t button) const {
        return buttonStates_[button == 0 ? 0 : 1];
    }
    [[nodiscard]] int32_t Dragging() const { return drag_; }

    // ---- Frame work and input ----

    void Draw(TDrawContext& context) override;
    void FireLeftDown(int32_t x, int32_t y) override;
    void FireLeftUp(int32_t x, int32_t y) override;
    void FireMouseMove(int32_t x, int32_t y) override;
    void FireMouseOut() override;
    void FireKeyRepeat() override;
    void Drag(int32_t x, int32_t y) override;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  protected:
    struct Strip {
        std::string source;
        std::unique_ptr<ControlPicture> picture;
    };

    [[nodiscard]] virtual bool IsScrollbar() const { return false; }
    [[nodiscard]] virtual int32_t PageChange() const { return 0; }
    // Whether the thumb's travel is the track less the thumb (scroll bars) or the whole
    // track (sliders, whose thumb centre runs from one end of the track to the other).
    [[nodiscard]] int32_t Travel() const;
    [[nodiscard]] int32_t ThumbLength() const;

  private:
    void SetStrip(Strip& strip, std::string source);
    // Works out the piece sizes and the object's size from the pictures and the bar size.
    void Layout();
    // The value under a pointer position along the track, for a drag with that offset.
    [[nodiscard]] int32_t ValueAt(int32_t x, int32_t y) const;
    // Stores a value the player chose and queues the notify handler when it changed.
    void ChangeValue(int64_t value);
    // The change the button makes: -small change for the first, +small for the second, the
    // other way round on a vertical slider.
    [[nodiscard]] int64_t ButtonStep(int32_t button) const;
    [[nodiscard]] bool OnThumb(int32_t x, int32_t y) const;
    [[nodiscard]] bool OnButton(int32_t button, int32_t x, int32_t y) const;
    [[nodiscard]] bool OnTrack(int32_t x, int32_t y) const;
    // Hover states of the thumb and the buttons for a pointer at (x, y).
    void HoverAt(int32_t x, int32_t y);
    void SetThumbState(int32_t state) { ChangeArea(thumbState_, state); }
    void SetButtonState(int32_t button, int32_t state) {
        ChangeArea(buttonStates_[button == 0 ? 0 : 1], state);
    }
    // The pointer's position along the slider's axis.
    [[nodiscard]] int32_t Along(int32_t x, int32_t y) const { return vertical_ ? y : x; }
    void StepHeldButton(int32_t x, int32_t y);
    void StepPage(int32_t x, int32_t y);
    void DrawTrack(TDrawContext& context, const PictureFrame& frame, const TRect& track);

    Strip track_;
    Strip thumb_;
    Strip buttons_;
    int32_t pieceWidth_ = 0, pieceHeight_ = 0;
    int32_t thumbWidth_ = 0, thumbHeight_ = 0;
    int32_t buttonWidth_ = 0, buttonHeight_ = 0;
    int32_t min_ = 0;
    int32_t max_ = 0;
    int32_t value_ = 0;
    int32_t smallChange_ = 0;
    int32_t alpha_ = 0;
    bool vertical_ = false;
    int32_t barSize_ = 0;
    bool paused_ = false;
    bool captureMask_ = false;
    int32_t thumbState_ = 0;
    std::array<int32_t, 2> buttonStates_{0, 0};
    int32_t drag_ = kIdle;
    int32_t dragOffset_ = 0;
    int32_t repeatTimer_ = 0;
    bool pageHighlight_ = false;
    std::string notifyHandler_;
    std::string holdHandler_;
    std::string releaseHandler_;
    std::string idleHandler_;
};

class TKivoScrollbar final : public TKivoSlider {
  public:
    using TKivoSlider::TKivoSlider;

    [[nodiscard]] int32_t Kind() const override { return LT_SCROLLBAR; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoScrollbar"; }

    [[nodiscard]] int32_t LargeChange() const { return largeChange_; }
    void SetLargeChange(int32_t change) { largeChange_ = change; }

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  protected:
    [[nodiscard]] bool IsScrollbar() const override { return true; }
    [[nodiscard]] int32_t PageChange() const override { return largeChange_; }

  private:
    int32_t largeChange_ = 0;
};

}  // namespace kivo
