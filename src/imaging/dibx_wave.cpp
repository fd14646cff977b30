// The row-shifting proxy surface.

#include "imaging/dibx_wave.h"

#include <algorithm>

#include "imaging/dibx_support.h"

namespace kivo {

namespace {

TRect Shifted(const TRect& r, int32_t dx) {
    return {static_cast<int32_t>(std::clamp<int64_t>(int64_t{r.Left} + dx, INT32_MIN, INT32_MAX)),
            r.Top,
            static_cast<int32_t>(std::clamp<int64_t>(int64_t{r.Right} + dx, INT32_MIN, INT32_MAX)),
            r.Bottom};
}

int32_t ShiftedX(int32_t x, int32_t dx) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{x} + dx, INT32_MIN, INT32_MAX));
}

}  // namespace

uint32_t TDIBXWave::ColorToPixel(int32_t color) const {
    return target_ ? target_->ColorToPixel(color) : TCustomDIBX::ColorToPixel(color);
}

void TDIBXWave::SetSize(int32_t width, int32_t height, int bitCount) {
    TCustomDIBX::SetSize(width, height, bitCount);
    RowOffsets.resize(static_cast<size_t>(std::max(height, 0)));
}

template <typename DrawRun>
void TDIBXWave::ForEachRun(const TRect& clip, int64_t top, int64_t bottom, bool singleRows,
                           DrawRun&& draw) {
    if (!target_) return;
    const TRect own = DrawingRect(clip);
    const TRect targetDrawing = target_->DrawingRect(targetRegion_);
    const int64_t rowCount = static_cast<int64_t>(RowOffsets.size());
    // Rows outside RowOffsets, the wave's region and the target's region are never drawn.
    const int64_t first =
        std::max({top, int64_t{own.Top}, int64_t{targetDrawing.Top}, int64_t{OriginY}});
    const int64_t last = std::min(
        {bottom, int64_t{own.Bottom}, int64_t{targetDrawing.Bottom}, int64_t{OriginY} + rowCount});
    for (int64_t runTop = first; runTop < last;) {
        const int32_t offset = RowOffsets[static_cast<size_t>(runTop - OriginY)];
        int64_t runBottom = runTop + 1;
        while (!singleRows && runBottom < last &&
               RowOffsets[static_cast<size_t>(runBottom - OriginY)] == offset) {
            ++runBottom;
        }
        TRect region = Intersect(targetDrawing, Shifted(own, offset));
        region.Top = static_cast<int32_t>(runTop);
        region.Bottom = static_cast<int32_t>(runBottom);
        if (!region.IsEmpty()) {
            TDrawContext run(*target_, region);
            draw(run, offset);
        }
        runTop = runBottom;
    }
}

void TDIBXWave::FillRect(const TRect& clip, const TRect& rect, uint32_t pixel) {
    ForEachRun(clip, rect.Top, rect.Bottom, false,
               [&](TDrawContext& t, int32_t dx) { t.FillRect(Shifted(rect, dx), pixel); });
}

void TDIBXWave::FillRectAlpha(const TRect& clip, const TRect& rect, uint32_t pixel, int32_t alpha) {
    ForEachRun(clip, rect.Top, rect.Bottom, false, [&](TDrawContext& t, int32_t dx) {
        t.FillRectAlpha(Shifted(rect, dx), pixel, alpha);
    });
}

void TDIBXWave::FillRectAdd(const TRect& clip, const TRect& rect, uint32_t pixel) {
    ForEachRun(clip, rect.Top, rect.Bottom, false,
               [&](TDrawContext& t, int32_t dx) { t.FillRectAdd(Shifted(rect, dx), pixel); });
}

void TDIBXWave::FillRectSub(const TRect& clip, const TRect& rect, uint32_t pixel) {
    ForEachRun(clip, rect.Top, rect.Bottom, false,
               [&](TDrawContext& t, int32_t dx) { t.FillRectSub(Shifted(rect, dx), pixel); });
}

void TDIBXWave::Draw(const TRect& clip, int32_t x, int32_t y, bool flipV, bool flipH, TColorKey key,
                     const TRect& srcRect, TCustomDIBX& source) {
    ForEachRun(clip, y, int64_t{y} + dibx::Height64(srcRect), false,
               [&](TDrawContext& t, int32_t dx) {
                   t.Draw(ShiftedX(x, dx), y, flipV, flipH, key, srcRect, source);
               });
}

void TDIBXWave::DrawMask(const TRect& clip, int32_t x, int32_t y, TCustomDIBX& mask, bool flipV,
                         bool flipH, const TRect& srcRect, TCustomDIBX& source) {
    ForEachRun(clip, y, int64_t{y} + dibx::Height64(srcRect), false,
               [&](TDrawContext& t, int32_t dx) {
                   t.DrawMask(ShiftedX(x, dx), y, mask, flipV, flipH, srcRect, source);
               });
}

void TDIBXWave::DrawAlpha(const TRect& clip, int32_t x, int32_t y, int32_t alpha, bool flipV,
                          bool flipH, TColorKey key, const TRect& srcRect, TCustomDIBX& source) {
    ForEachRun(clip, y, int64_t{y} + dibx::Height64(srcRect), false,
               [&](TDrawContext& t, int32_t dx) {
                   t.DrawAlpha(ShiftedX(x, dx), y, alpha, flipV, flipH, key, srcRect, source);
               });
}

void TDIBXWave::DrawMaskAlpha(const TRect& clip, int32_t x, int32_t y, int32_t alpha,
                              TCustomDIBX& mask, bool flipV, bool flipH, const TRect& srcRect,
                              TCustomDIBX& source) {
    ForEachRun(clip, y, int64_t{y} + dibx::Height64(srcRect), false,
               [&](TDrawContext& t, int32_t dx) {
                   t.DrawMaskAlpha(ShiftedX(x, dx), y, alpha, mask, flipV, flipH, srcRect, source);
               });
}

void TDIBXWave::DrawAdd(const TRect& clip, int32_t x, int32_t y, int32_t amount, bool flipV,
                        bool flipH, TColorKey key, const TRect& srcRect, TCustomDIBX& source) {
    ForEachRun(clip, y, int64_t{y} + dibx::Height64(srcRect), false,
               [&](TDrawContext& t, int32_t dx) {
                   t.DrawAdd(ShiftedX(x, dx), y, amount, flipV, flipH, key, srcRect, source);
               });
}

void TDIBXWave::DrawMaskAdd(const TRect& clip, int32_t x, int32_t y, int32_t amount,
                            TCustomDIBX& mask, bool flipV, bool flipH, const TRect& srcRect,
                            TCustomDIBX& source) {
    ForEachRun(clip, y, int64_t{y} + dibx::Height64(srcRect), false,
               [&](TDrawContext& t, int32_t dx) {
                   t.DrawMaskAdd(ShiftedX(x, dx), y, amount, mask, flipV, flipH, srcRect, source);
               });
}

void TDIBXWave::FillMask(const TRect& clip, int32_t x, int32_t y, int32_t alpha, uint32_t pixel,
                         bool flipV, bool flipH, const TRect& srcRect, TCustomDIBX& mask) {
    ForEachRun(clip, y, int64_t{y} + dibx::Height64(srcRect), false,
               [&](TDrawContext& t, int32_t dx) {
                   t.FillMask(ShiftedX(x, dx), y, alpha, pixel, flipV, flipH, srcRect, mask);
               });
}

void TDIBXWave::DrawRotate(const TRect& clip, int32_t x, int32_t y, int32_t alpha, bool flipV,
                           bool flipH, TColorKey key, int32_t angle, int32_t pivotY, int32_t pivotX,
                           const TRect& srcRect, TCustomDIBX& source, int32_t zoomY,
                           int32_t zoomX) {
    const TRect bounds = RotatedBounds(x, y, angle, pivotY, pivotX, srcRect, zoomY, zoomX);
    ForEachRun(clip, bounds.Top, bounds.Bottom, true, [&](TDrawContext& t, int32_t dx) {
        t.DrawRotate(ShiftedX(x, dx), y, alpha, flipV, flipH, key, angle, pivotY, pivotX, srcRect,
                     source, zoomY, zoomX);
    });
}

void TDIBXWave::DrawRotateMask(const TRect& clip, int32_t x, int32_t y, int32_t alpha,
                               TCustomDIBX& mask, bool flipV, bool flipH, int32_t angle,
                               int32_t pivotY, int32_t pivotX, const TRect& srcRect,
                               TCustomDIBX& source, int32_t zoomY, int32_t zoomX) {
    const TRect bounds = RotatedBounds(x, y, angle, pivotY, pivotX, srcRect, zoomY, zoomX);
    ForEachRun(clip, bounds.Top, bounds.Bottom, true, [&](TDrawContext& t, int32_t dx) {
        t.DrawRotateMask(ShiftedX(x, dx), y, alpha, mask, flipV, flipH, angle, pivotY, pivotX,
                         srcRect, source, zoomY, zoomX);
    });
}

void TDIBXWave::StretchDraw(const TRect& clip, const TRect& dstRect, TCustomDIBX& source,
                            int32_t alpha, bool flipV, bool flipH, TColorKey key,
                            const TRect& srcRect) {
    ForEachRun(clip, dstRect.Top, dstRect.Bottom, false, [&](TDrawContext& t, int32_t dx) {
        t.StretchDraw(Shifted(dstRect, dx), source, alpha, flipV, flipH, key, srcRect);
    });
}

void TDIBXWave::StretchDrawMask(const TRect& clip, const TRect& dstRect, TCustomDIBX& source,
                                int32_t alpha, TCustomDIBX& mask, bool flipV, bool flipH,
                                const TRect& srcRect) {
    ForEachRun(clip, dstRect.Top, dstRect.Bottom, false, [&](TDrawContext& t, int32_t dx) {
        t.StretchDrawMask(Shifted(dstRect, dx), source, alpha, mask, flipV, flipH, srcRect);
    });
}

void TDIBXWave::StretchDrawAdd(const TRect& clip, const TRect& dstRect, TCustomDIBX& source,
                               int32_t amount, bool flipV, bool flipH, TColorKey key,
                               const TRect& srcRect) {
    ForEachRun(clip, dstRect.Top, dstRect.Bottom, false, [&](TDrawContext& t, int32_t dx) {
        t.StretchDrawAdd(Shifted(dstRect, dx), source, amount, flipV, flipH, key, srcRect);
    });
}

void TDIBXWave::StretchDrawMaskAdd(const TRect& clip, const TRect& dstRect, TCustomDIBX& source,
                                   int32_t amount, TCustomDIBX& mask, bool flipV, bool flipH,
                                   const TRect& srcRect) {
    ForEachRun(clip, dstRect.Top, dstRect.Bottom, false, [&](TDrawContext& t, int32_t dx) {
        t.StretchDrawMaskAdd(Shifted(dstRect, dx), source, amount, mask, flipV, flipH, srcRect);
    });
}

void TDIBXWave::FillPattern(const TRect& clip, const TRect& rect, TCustomDIBX& pattern, bool flipV,
                            bool flipH, int32_t offsetY, int32_t offsetX) {
    ForEachRun(clip, rect.Top, rect.Bottom, false, [&](TDrawContext& t, int32_t dx) {
        t.FillPattern(Shifted(rect, dx), pattern, flipV, flipH, offsetY, offsetX);
    });
}

void TDIBXWave::FillPatternZoom(const TRect& clip, const TRect& rect, int32_t zoomX, int32_t alpha,
                                bool flipV, bool flipH, int32_t offsetY, int32_t offsetX,
                                TCustomDIBX& pattern, int32_t zoomY) {
    ForEachRun(clip, rect.Top, rect.Bottom, false, [&](TDrawContext& t, int32_t dx) {
        t.FillPatternZoom(Shifted(rect, dx), zoomX, alpha, flipV, flipH, offsetY, offsetX, pattern,
                          zoomY);
    });
}

void TDIBXWave::FillPatternZoomMask(const TRect& clip, const TRect& rect, int32_t zoomX,
                                    int32_t alpha, TCustomDIBX& mask, bool flipV, bool flipH,
                                    int32_t offsetY, int32_t offsetX, TCustomDIBX& pattern,
                                    int32_t zoomY) {
    ForEachRun(clip, rect.Top, rect.Bottom, false, [&](TDrawContext& t, int32_t dx) {
        t.FillPatternZoomMask(Shifted(rect, dx), zoomX, alpha, mask, flipV, flipH, offsetY, offsetX,
                              pattern, zoomY);
    });
}

void TDIBXWave::DrawPalette16(const TRect& clip, int32_t x, int32_t y,
                              const std::array<uint32_t, 16>& table, int32_t alpha, bool flipV,
                              bool flipH, TColorKey key, const TRect& srcRect,
                              TCustomDIBX& source) {
    ForEachRun(
        clip, y, int64_t{y} + dibx::Height64(srcRect), false, [&](TDrawContext& t, int32_t dx) {
            t.DrawPalette16(ShiftedX(x, dx), y, table, alpha, flipV, flipH, key, srcRect, source);
        });
}

void TDIBXWave::DrawPaletteAdd(const TRect& clip, int32_t x, int32_t y,
                               const std::array<uint32_t, 256>& table, int32_t amount, bool flipV,
                               bool flipH, int32_t minIndex, const TRect& srcRect,
                               TCustomDIBX& source) {
    ForEachRun(clip, y, int64_t{y} + dibx::Height64(srcRect), false,
               [&](TDrawContext& t, int32_t dx) {
                   t.DrawPaletteAdd(ShiftedX(x, dx), y, table, amount, flipV, flipH, minIndex,
                                    srcRect, source);
               });
}

void TDIBXWave::StretchDrawPaletteAdd(const TRect& clip, const TRect& dstRect, TCustomDIBX& source,
                                      const std::array<uint32_t, 256>& table, int32_t amount,
                                      bool flipV, bool flipH, int32_t minIndex,
                                      const TRect& srcRect) {
    ForEachRun(clip, dstRect.Top, dstRect.Bottom, false, [&](TDrawContext& t, int32_t dx) {
        t.StretchDrawPaletteAdd(Shifted(dstRect, dx), source, table, amount, flipV, flipH, minIndex,
                                srcRect);
    });
}

// A reduced draw covers srcRect's height divided by the factor.
void TDIBXWave::DrawMonoReduced(const TRect& clip, int32_t x, int32_t y, int32_t factor,
                                int32_t alpha, bool flipV, bool flipH, uint32_t pixel,
                                const TRect& srcRect, TCustomDIBX& source) {
    if (factor < 1) return;
    ForEachRun(clip, y, int64_t{y} + dibx::Height64(srcRect) / factor, false,
               [&](TDrawContext& t, int32_t dx) {
                   t.DrawMonoReduced(ShiftedX(x, dx), y, factor, alpha, flipV, flipH, pixel,
                                     srcRect, source);
               });
}

void TDIBXWave::DrawQuadReduced(const TRect& clip, int32_t x, int32_t y, int32_t factor,
                                int32_t alpha, bool flipV, bool flipH,
                                const std::array<uint32_t, 4>& pixels, const TRect& srcRect,
                                TCustomDIBX& source) {
    if (factor < 1) return;
    ForEachRun(clip, y, int64_t{y} + dibx::Height64(srcRect) / factor, false,
               [&](TDrawContext& t, int32_t dx) {
                   t.DrawQuadReduced(ShiftedX(x, dx), y, factor, alpha, flipV, flipH, pixels,
                                     srcRect, source);
               });
}

}  // namespace kivo
