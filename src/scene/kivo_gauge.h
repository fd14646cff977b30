#pragma once
// A gauge: a bar whose fill shows a value between min and max (life bars, progress). Its
// picture is a strip of two pieces, the fill and the trail, each tiled along the bar.
//
// A value that drops leaves a trail over the part it lost; after the trail wait the trail
// shrinks at the sweep rate (the whole range in sweep-time ms). A value that rises grows the
// fill at the same rate. Without a sweep time, or with max not above min, the gauge shows the
// new value at once.

#include <cstdint>
#include <memory>
#include <string>

#include "base/rect.h"
#include "scene/control_picture.h"
#include "scene/kivo_control.h"

namespace kivo {

class TKivoGauge final : public TKivoControl {
  public:
    // Save records from these versions on carry the idle handler and the bar size.
    static constexpr int32_t kSaveVersionIdle = 125;
    static constexpr int32_t kSaveVersionBarSize = 128;

    enum Phase : int32_t { kSettled = 0, kTrailShrinking = 100, kFillGrowing = 200 };

    using TKivoControl::TKivoControl;

    [[nodiscard]] int32_t Kind() const override { return LT_GAUGE; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoGauge"; }

    [[nodiscard]] const std::string& Source() const { return source_; }
    void SetSource(std::string source);
    [[nodiscard]] int32_t Min() const { return min_; }
    void SetMin(int32_t min);
    [[nodiscard]] int32_t Max() const { return max_; }
    void SetMax(int32_t max);
    // The value clamped to [min, max].
    [[nodiscard]] int32_t Value() const;
    void SetValue(int32_t value);
    [[nodiscard]] int32_t Alpha() const { return alpha_; }
    void SetAlpha(int32_t alpha) { ChangeArea(alpha_, alpha); }
    [[nodiscard]] int32_t Orientation() const { return vertical_ ? 1 : 0; }
    void SetOrientation(int32_t orientation);
    [[nodiscard]] bool Reverse() const { return reverse_; }
    void SetReverse(bool reverse) { ChangeArea(reverse_, reverse); }
    [[nodiscard]] int32_t BarSize() const { return barSize_; }
    void SetBarSize(int32_t size);
    [[nodiscard]] bool Paused() const override { return paused_; }
    void SetPaused(bool paused) { paused_ = paused; }
    // The time the fill takes over the whole range, and the wait before a trail shrinks (ms).
    [[nodiscard]] int32_t SweepTime() const { return sweepTime_; }
    void SetSweepTime(int32_t ms) { sweepTime_ = ms; }
    [[nodiscard]] int32_t TrailWait() const { return trailWait_; }
    void SetTrailWait(int32_t ms) { trailWait_ = ms; }
    [[nodiscard]] std::string IdleHandler() const override { return idleHandler_; }
    void SetIdleHandler(std::string handler) { idleHandler_ = std::move(handler); }

    [[nodiscard]] int32_t ShownValue() const { return shown_; }
    [[nodiscard]] int32_t Trail() const { return trail_; }
    [[nodiscard]] int32_t AnimationPhase() const { return phase_; }
    // The bar's length along its axis: the bar size, or the piece's.
    [[nodiscard]] int32_t BarLength() const;
    // The drawn lengths of the fill and the trail, within the bar.
    [[nodiscard]] int32_t FillLength() const;
    [[nodiscard]] int32_t TrailLength() const;

    [[nodiscard]] bool Update() override;
    void Draw(TDrawContext& context) override;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  private:
    void Layout();
    // Shows the value at once.
    void Settle();
    // The rectangle of the bar from distance from to distance to, counted from where the fill
    // starts.
    [[nodiscard]] TRect Span(int32_t from, int32_t to) const;
    void TileSpan(TDrawContext& context, const PictureFrame& frame, int32_t piece, int32_t from,
                  int32_t to);

    std::string source_;
    std::unique_ptr<ControlPicture> picture_;
    int32_t pieceWidth_ = 0;
    int32_t pieceHeight_ = 0;
    int32_t min_ = 0;
    int32_t max_ = 0;
    int32_t value_ = 0;
    int32_t alpha_ = 0;
    bool vertical_ = false;
    bool reverse_ = false;
    int32_t barSize_ = 0;
    bool paused_ = false;
    int32_t sweepTime_ = 0;
    int32_t trailWait_ = 0;
    std::string idleHandler_;
    int32_t shown_ = 0;
    int32_t trail_ = 0;
    int32_t phase_ = kSettled;
    double accumulator_ = 0;
    int32_t waitLeft_ = 0;
};

}  // namespace kivo
