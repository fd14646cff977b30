#include "scene/kivo_gauge.h"

#include <algorithm>
#include <cmath>

#include "imaging/draw_context.h"
#include "scene/kivo_base_list.h"

namespace kivo {

namespace {

// The tile shift that anchors a pattern of period at the far end of a span of length.
[[nodiscard]] int32_t ShiftAnchoredAtEnd(int32_t length, int32_t period) {
    if (period <= 0) return 0;
    return -((period - length % period) % period);
}

}  // namespace

// ---- Picture and layout ----

void TKivoGauge::SetSource(std::string source) {
    if (source == source_) return;
    source_ = std::move(source);
    picture_ = AcquirePicture(Root().Pictures(), source_);
    Layout();
}

void TKivoGauge::Layout() {
    pieceWidth_ = picture_ != nullptr ? picture_->Width() / 2 : 0;
    pieceHeight_ = picture_ != nullptr ? picture_->Height() : 0;
    if (pieceWidth_ <= 0 || pieceHeight_ <= 0) pieceWidth_ = pieceHeight_ = 0;
    if (vertical_) {
        SetWidth(pieceWidth_);
        SetHeight(BarLength());
    } else {
        SetWidth(BarLength());
        SetHeight(pieceHeight_);
    }
    Invalidate();
}

void TKivoGauge::SetOrientation(int32_t orientation) {
    vertical_ = orientation == 1;
    Layout();
}

void TKivoGauge::SetBarSize(int32_t size) {
    barSize_ = size;
    Layout();
}

int32_t TKivoGauge::BarLength() const {
    if (pieceWidth_ == 0) return 0;
    if (barSize_ > 0) return barSize_;
    return vertical_ ? pieceHeight_ : pieceWidth_;
}

// ---- Values and animation ----

int32_t TKivoGauge::Value() const {
    return std::max(min_, std::min(max_, value_));
}

void TKivoGauge::Settle() {
    Invalidate();
    shown_ = Value();
    trail_ = 0;
    accumulator_ = 0;
    waitLeft_ = 0;
    phase_ = kSettled;
}

void TKivoGauge::SetMin(int32_t min) {
    min_ = min;
    Settle();
}

void TKivoGauge::SetMax(int32_t max) {
    max_ = max;
    Settle();
}

void TKivoGauge::SetValue(int32_t value) {
    if (value == value_) return;
    const int32_t old = Value();
    value_ = value;
    const int32_t now = Value();
    Invalidate();
    if (now < old) {
        // The lost part stays as a trail, which waits before it shrinks.
        shown_ = now;
        trail_ = static_cast<int32_t>(std::min<int64_t>(INT32_MAX, int64_t{old} - now));
        accumulator_ = trail_;
        waitLeft_ = trailWait_;
        phase_ = kTrailShrinking;
    } else {
        trail_ = 0;
        accumulator_ = shown_;
        phase_ = kFillGrowing;
    }
}

bool TKivoGauge::Update() {
    const bool finished = TKivoControl::Update();
    if (phase_ == kSettled) return finished;
    if (sweepTime_ <= 0 || max_ <= min_) {
        Settle();
        return finished;
    }
    const int32_t delta = Root().State().frameDelta;
    const double step = static_cast<double>(int64_t{max_} - min_) / sweepTime_ * delta;
    Invalidate();
    if (phase_ == kTrailShrinking) {
        if (waitLeft_ > 0) {
            waitLeft_ -= delta;
            return finished;
        }
        accumulator_ -= step;
        trail_ = static_cast<int32_t>(std::max<int64_t>(0, RoundHalfEven(accumulator_)));
        if (trail_ < 1) Settle();
    } else {
        accumulator_ += step;
        shown_ = static_cast<int32_t>(std::min<int64_t>(RoundHalfEven(accumulator_), Value()));
        if (shown_ >= Value()) Settle();
    }
    return finished;
}

// ---- Drawing ----

int32_t TKivoGauge::FillLength() const {
    const int64_t range = int64_t{max_} - min_;
    if (range <= 0) return 0;
    const int32_t length = BarLength();
    const int64_t shown = std::clamp<int64_t>(shown_, min_, max_) - min_;
    return static_cast<int32_t>(
        std::clamp<int64_t>(RoundHalfEven(static_cast<double>(length) * shown / range), 0, length));
}

int32_t TKivoGauge::TrailLength() const {
    const int64_t range = int64_t{max_} - min_;
    if (range <= 0) return 0;
    // A trail never reaches past the bar's end, whatever the values did meanwhile.
    const int32_t room = BarLength() - FillLength();
    const int64_t length = RoundHalfEven(static_cast<double>(BarLength()) * trail_ / range);
    return static_cast<int32_t>(std::clamp<int64_t>(length, 0, room));
}

TRect TKivoGauge::Span(int32_t from, int32_t to) const {
    const TRect bar = BoundsRect();
    if (vertical_) {
        return reverse_ ? TRect{bar.Left, bar.Top + from, bar.Right, bar.Top + to}
                        : TRect{bar.Left, bar.Bottom - to, bar.Right, bar.Bottom - from};
    }
    return reverse_ ? TRect{bar.Right - to, bar.Top, bar.Right - from, bar.Bottom}
                    : TRect{bar.Left + from, bar.Top, bar.Left + to, bar.Bottom};
}

void TKivoGauge::TileSpan(TDrawContext& context, const PictureFrame& frame, int32_t piece,
                          int32_t from, int32_t to) {
    if (to <= from) return;
    // The tiles are anchored where the fill starts, so that fill and trail run on as one.
    const int32_t period = vertical_ ? pieceHeight_ : pieceWidth_;
    const bool fromFar = vertical_ != reverse_;
    const int32_t shift = fromFar ? ShiftAnchoredAtEnd(to, period) : -(from % period);
    const TRect source = StripPiece(pieceWidth_ * 2, pieceHeight_, 2, piece);
    TilePicturePiece(context, frame, source, Span(from, to), vertical_ ? 0 : shift,
                     vertical_ ? shift : 0, alpha_);
}

void TKivoGauge::Draw(TDrawContext& context) {
    if (picture_ != nullptr && BarLength() > 0 && max_ > min_) {
        const PictureFrame frame = picture_->Frame(0);
        const int32_t fill = FillLength();
        TileSpan(context, frame, 0, 0, fill);
        TileSpan(context, frame, 1, fill, fill + TrailLength());
    }
    TKivoControl::Draw(context);
}

// ---- Properties and save record ----

const PropertyMap& TKivoGauge::ClassProperties() {
    static const PropertyMap map = [] {
        using G = TKivoGauge;
        PropertyMap m = TKivoControl::ClassProperties();
        m[PR_SOURCE] = Accessor<&G::Source, &G::SetSource>();
        m[PR_MIN] = Accessor<&G::Min, &G::SetMin>();
        m[PR_MAX] = Accessor<&G::Max, &G::SetMax>();
        m[PR_VALUE] = Accessor<&G::Value, &G::SetValue>();
        m[PR_ALPHA] = Accessor<&G::Alpha, &G::SetAlpha>();
        m[PR_ORIENTATION] = Accessor<&G::Orientation, &G::SetOrientation>();
        m[PR_REVERSE] = Accessor<&G::Reverse, &G::SetReverse>();
        m[PR_BARSIZE] = Accessor<&G::BarSize, &G::SetBarSize>();
        m[PR_PAUSED] = Accessor<&G::Paused, &G::SetPaused>();
        m[PR_DELAY] = Accessor<&G::SweepTime, &G::SetSweepTime>();
        m[PR_DURATION] = Accessor<&G::TrailWait, &G::SetTrailWait>();
        m[PR_ONIDLE] = Accessor<&G::IdleHandler, &G::SetIdleHandler>();
        return m;
    }();
    return map;
}

void TKivoGauge::Save(ByteWriter& writer) const {
    TKivoControl::Save(writer);
    writer.WriteCountedString(source_);
    writer.WriteI32(min_);
    writer.WriteI32(max_);
    writer.WriteI32(value_);
    writer.WriteI32(alpha_);
    writer.WriteBool(paused_);
    writer.WriteU8(vertical_ ? 1 : 0);
    writer.WriteI32(sweepTime_);
    writer.WriteI32(trailWait_);
    writer.WriteBool(reverse_);
    writer.WriteCountedString(idleHandler_);
    writer.WriteI32(barSize_);
}

void TKivoGauge::Load(ByteReader& reader, int32_t version) {
    TKivoControl::Load(reader, version);
    std::string source = reader.ReadCountedString();
    min_ = reader.ReadI32();
    max_ = reader.ReadI32();
    value_ = reader.ReadI32();
    alpha_ = reader.ReadI32();
    paused_ = reader.ReadBool();
    vertical_ = reader.ReadU8() == 1;
    sweepTime_ = reader.ReadI32();
    trailWait_ = reader.ReadI32();
    reverse_ = reader.ReadBool();
    if (version >= kSaveVersionIdle) idleHandler_ = reader.ReadCountedString();
    if (version >= kSaveVersionBarSize) barSize_ = reader.ReadI32();
    source_.clear();
    SetSource(std::move(source));
    // A loaded gauge shows its value without animating toward it.
    Settle();
}

}  // namespace kivo
