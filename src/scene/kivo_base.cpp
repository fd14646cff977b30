#include "scene/kivo_base.h"

#include "imaging/draw_context.h"
#include "scene/kivo_base_list.h"

namespace kivo {

TKivoBase::TKivoBase(TKivoBaseList& root, int32_t index) : TKivoControl(root), index_(index) {
    isLayer_ = true;
}

const PropertyMap& TKivoBase::ClassProperties() {
    // A layer has no parent to change.
    static const PropertyMap map = [] {
        PropertyMap m = TKivoControl::ClassProperties();
        m[PR_PARENT].set = nullptr;
        return m;
    }();
    return map;
}

void TKivoBase::Resize(int32_t width, int32_t height) {
    SetBounds(0, 0, width, height);
    surface_.SetSize(width, height, 32);
    if (spare_ != nullptr) spare_->SetSize(width, height, 32);
    dirty_.Clear();
    dirty_.SetBounds(width, height);
    dirty_.AddAll();
}

TCustomDIBX& TKivoBase::Surface() {
    return Root().LayerShown(*this) ? static_cast<TCustomDIBX&>(Root().BackBuffer()) : surface_;
}

TDIBX& TKivoBase::Spare() {
    if (spare_ == nullptr) spare_ = std::make_unique<TDIBX>(Width(), Height(), 32);
    return *spare_;
}

void TKivoBase::DrawDirty() {
    TCustomDIBX& surface = Surface();
    if (!OwnVisible() || surface.IsEmpty()) return;
    const uint32_t background = surface.ColorToPixel(Color());
    for (const TRect& rect : dirty_.Rects()) {
        // One redraw a rectangle, within it alone.
        TDrawContext context(surface);
        context.AddClipRect(rect);
        if (!context.ClipRect()) continue;
        if (Color() >= 0) {
            const TRect clip = *context.ClipRect();
            const TRect fill = Clip().IsSet() ? Intersect(clip, ClipRectOnLayer()) : clip;
            if (!fill.IsEmpty()) context.FillRect(fill, background);
        }
        DrawChildren(context);
    }
}

}  // namespace kivo
