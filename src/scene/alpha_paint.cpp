#include "scene/alpha_paint.h"

#include "imaging/draw_context.h"

namespace kivo {

namespace {

// The colour an additive draw of that strength adds.
int32_t ScaledColor(int32_t color, int32_t strength) {
    int32_t scaled = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        scaled |= ((color >> shift & 0xFF) * strength / 256) << shift;
    }
    return scaled;
}

}  // namespace

void FillRectByAlpha(TDrawContext& context, const TRect& rect, int32_t color, int32_t alpha) {
    if (rect.IsEmpty() || alpha <= 0 || alpha > 511) return;
    const TCustomDIBX& surface = context.Surface();
    if (alpha >= 256) {
        context.FillRectAdd(rect, surface.ColorToPixel(ScaledColor(color, alpha - 256)));
    } else if (alpha == 255) {
        context.FillRect(rect, surface.ColorToPixel(color));
    } else {
        context.FillRectAlpha(rect, surface.ColorToPixel(color), alpha);
    }
}

void FrameRectByAlpha(TDrawContext& context, const TRect& rect, int32_t thickness, int32_t color,
                      int32_t alpha) {
    if (rect.IsEmpty() || thickness <= 0 || alpha <= 0 || alpha > 511) return;
    const TCustomDIBX& surface = context.Surface();
    if (alpha >= 256) {
        context.FrameRectAdd(rect, thickness,
                             surface.ColorToPixel(ScaledColor(color, alpha - 256)));
    } else if (alpha == 255) {
        context.FrameRect(rect, thickness, surface.ColorToPixel(color));
    } else {
        context.FrameRectAlpha(rect, thickness, alpha, surface.ColorToPixel(color));
    }
}

}  // namespace kivo
