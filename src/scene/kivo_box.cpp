#include "scene/kivo_box.h"

#include <algorithm>

#include "imaging/draw_context.h"
#include "scene/alpha_paint.h"
#include "scene/film_motion.h"

namespace kivo {

namespace {

// A rectangle in 64-bit edges (a box may reach past the int32 range once its thickness or
// position is added) cut to clip.
TRect CutTo(int64_t left, int64_t top, int64_t right, int64_t bottom, const TRect& clip) {
    return {static_cast<int32_t>(std::max<int64_t>(left, clip.Left)),
            static_cast<int32_t>(std::max<int64_t>(top, clip.Top)),
            static_cast<int32_t>(std::min<int64_t>(right, clip.Right)),
            static_cast<int32_t>(std::min<int64_t>(bottom, clip.Bottom))};
}

}  // namespace

void TKivoBox::Draw(TDrawContext& context) {
    if (alpha_ > 0 && alpha_ < 512) {
        const TRect clip = context.DrawingRect();
        const TRect bounds = BoundsRect();
        const int64_t left = bounds.Left, top = bounds.Top;
        const int64_t right = bounds.Right, bottom = bounds.Bottom;
        int64_t border = 0;
        if (borderWidth_ > 0 && borderColor_ >= 0) {
            // Top and bottom bands span the width; the sides fill the rows between them. A
            // border thicker than half the box leaves no inside and the bands never overlap.
            border = borderWidth_;
            const int64_t bandTop = std::min(top + border, bottom);
            const int64_t bandBottom = std::max(bottom - border, bandTop);
            const int64_t sideLeft = std::min(left + border, right);
            const int64_t sideRight = std::max(right - border, sideLeft);
            for (const TRect& band : {CutTo(left, top, right, bandTop, clip),
                                      CutTo(left, bandBottom, right, bottom, clip),
                                      CutTo(left, bandTop, sideLeft, bandBottom, clip),
                                      CutTo(sideRight, bandTop, right, bandBottom, clip)}) {
                FillRectByAlpha(context, band, borderColor_, alpha_);
            }
        }
        if (Color() >= 0) {
            FillRectByAlpha(
                context, CutTo(left + border, top + border, right - border, bottom - border, clip),
                Color(), alpha_);
        }
    }
    TKivoControl::Draw(context);
}

void TKivoBox::SetSource(std::string source) {
    if (source == source_) return;
    source_ = std::move(source);
    if (!IsMotionFileName(source_)) return;
    if (auto film = TFilmMotion::Read(Root(), source_))
        AssignMotion(std::make_unique<TFilmMotion>(std::move(film)));
}

const PropertyMap& TKivoBox::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoControl::ClassProperties();
        m[PR_BORDERWIDTH] = Accessor<&TKivoBox::BorderWidth, &TKivoBox::SetBorderWidth>();
        m[PR_BORDERCOLOR] = Accessor<&TKivoBox::BorderColor, &TKivoBox::SetBorderColor>();
        m[PR_ALPHA] = Accessor<&TKivoBox::Alpha, &TKivoBox::SetAlpha>();
        m[PR_SOURCE] = Accessor<&TKivoBox::Source, &TKivoBox::SetSource>();
        m[PR_REPEAT] = Accessor<&TKivoBox::Repeat, &TKivoBox::SetRepeat>();
        m[PR_AUTOSCRAP] = Accessor<&TKivoBox::AutoScrap, &TKivoBox::SetAutoScrap>();
        m[PR_PAUSED] = Accessor<&TKivoBox::Paused, &TKivoBox::SetPaused>();
        m[PR_ONIDLE] = Accessor<&TKivoBox::IdleHandler, &TKivoBox::SetIdleHandler>();
        m[PR_ONPLAYEND] = Accessor<&TKivoBox::PlayEndHandler, &TKivoBox::SetPlayEndHandler>();
        return m;
    }();
    return map;
}

void TKivoBox::Save(ByteWriter& writer) const {
    TKivoControl::Save(writer);
    writer.WriteI32(borderWidth_);
    writer.WriteI32(borderColor_);
    writer.WriteI32(alpha_);
    writer.WriteCountedString(idleHandler_);
    writer.WriteCountedString(source_);
    writer.WriteBool(repeat_);
    writer.WriteBool(autoScrap_);
    writer.WriteCountedString(playEndHandler_);
    writer.WriteBool(paused_);
    writer.WriteBool(AniPaused());
}

void TKivoBox::Load(ByteReader& reader, int32_t version) {
    TKivoControl::Load(reader, version);
    borderWidth_ = reader.ReadI32();
    borderColor_ = reader.ReadI32();
    alpha_ = reader.ReadI32();
    if (version < kSaveVersionSubPriority) return;
    idleHandler_ = reader.ReadCountedString();
    SetSource(reader.ReadCountedString());
    repeat_ = reader.ReadBool();
    autoScrap_ = reader.ReadBool();
    playEndHandler_ = reader.ReadCountedString();
    paused_ = reader.ReadBool();
    SetAniPaused(reader.ReadBool());
}

}  // namespace kivo
