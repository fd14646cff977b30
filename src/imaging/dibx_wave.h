#pragma once
// TDIBXWave: a surface that owns no pixels. It stands at (OriginX, OriginY) on a target
// surface and forwards every drawing operation there, each row shifted sideways by its own
// entry of RowOffsets; the wave effect draws its children through it to ripple them.
//
// Drawing coordinates are the target's. The destination rows of a draw are split into runs of
// equal offsets, and each run is drawn on the target with x shifted by the run's offset and
// the target's region narrowed to the run's rows. The wave's own drawing region (its area, or
// the clip of the context drawing into it) moves with each row's content, while the target's
// region (taken from the outer context by SetTarget) stays in place; rows without an offset
// are never drawn. Rotated draws go one destination row at a time.
//
// A wave effect sets the target from the context it is drawn through, then hands its children
// a TDrawContext over the wave.

#include <cstdint>
#include <vector>

#include "imaging/dibx.h"
#include "imaging/draw_context.h"

namespace kivo {

class TDIBXWave : public TCustomDIBX {
  public:
    TDIBXWave() = default;
    explicit TDIBXWave(const TDrawContext& target) { SetTarget(target); }

    // One horizontal shift per row of the wave, filled by the owner; SetSize sizes it.
    std::vector<int32_t> RowOffsets;
    // The wave's position on the target.
    int32_t OriginX = 0;
    int32_t OriginY = 0;

    // The surface the rows land on, and the part of it they may touch: the target context's
    // drawing region as it is now.
    void SetTarget(const TDrawContext& target) {
        target_ = &target.Surface();
        targetRegion_ = target.DrawingRect();
    }
    [[nodiscard]] TCustomDIBX& Target() override { return target_ ? *target_ : *this; }

    [[nodiscard]] int BitCount() const override { return target_ ? target_->BitCount() : 0; }
    [[nodiscard]] int StorageBitCount() const override {
        return target_ ? target_->StorageBitCount() : 0;
    }
    [[nodiscard]] uint32_t ColorToPixel(int32_t color) const override;
    void SetSize(int32_t width, int32_t height, int bitCount) override;
    [[nodiscard]] TRect ClientRect() const override {
        return {OriginX, OriginY, OriginX + Width(), OriginY + Height()};
    }

  protected:
    void FillRect(const TRect& clip, const TRect& rect, uint32_t pixel) override;
    void FillRectAlpha(const TRect& clip, const TRect& rect, uint32_t pixel,
                       int32_t alpha) override;
    void FillRectAdd(const TRect& clip, const TRect& rect, uint32_t pixel) override;
    void FillRectSub(const TRect& clip, const TRect& rect, uint32_t pixel) override;
    void Draw(const TRect& clip, int32_t x, int32_t y, bool flipV, bool flipH, TColorKey key,
              const TRect& srcRect, TCustomDIBX& source) override;
    void DrawMask(const TRect& clip, int32_t x, int32_t y, TCustomDIBX& mask, bool flipV,
                  bool flipH, const TRect& srcRect, TCustomDIBX& source) override;
    void DrawAlpha(const TRect& clip, int32_t x, int32_t y, int32_t alpha, bool flipV, bool flipH,
                   TColorKey key, const TRect& srcRect, TCustomDIBX& source) override;
    void DrawMaskAlpha(const TRect& clip, int32_t x, int32_t y, int32_t alpha, TCustomDIBX& mask,
                       bool flipV, bool flipH, const TRect& srcRect, TCustomDIBX& source) override;
    void DrawAdd(const TRect& clip, int32_t x, int32_t y, int32_t amount, bool flipV, bool flipH,
                 TColorKey key, const TRect& srcRect, TCustomDIBX& source) override;
    void DrawMaskAdd(const TRect& clip, int32_t x, int32_t y, int32_t amount, TCustomDIBX& mask,
                     bool flipV, bool flipH, const TRect& srcRect, TCustomDIBX& source) override;
    void FillMask(const TRect& clip, int32_t x, int32_t y, int32_t alpha, uint32_t pixel,
                  bool flipV, bool flipH, const TRect& srcRect, TCustomDIBX& mask) override;
    void DrawRotate(const TRect& clip, int32_t x, int32_t y, int32_t alpha, bool flipV, bool flipH,
                    TColorKey key, int32_t angle, int32_t pivotY, int32_t pivotX,
                    const TRect& srcRect, TCustomDIBX& source, int32_t zoomY,
                    int32_t zoomX) override;
    void DrawRotateMask(const TRect& clip, int32_t x, int32_t y, int32_t alpha, TCustomDIBX& mask,
                        bool flipV, bool flipH, int32_t angle, int32_t pivotY, int32_t pivotX,
                        const TRect& srcRect, TCustomDIBX& source, int32_t zoomY,
                        int32_t zoomX) override;
    void StretchDraw(const TRect& clip, const TRect& dstRect, TCustomDIBX& source, int32_t alpha,
                     bool flipV, bool flipH, TColorKey key, const TRect& srcRect) override;
    void StretchDrawMask(const TRect& clip, const TRect& dstRect, TCustomDIBX& source,
                         int32_t alpha, TCustomDIBX& mask, bool flipV, bool flipH,
                         const TRect& srcRect) override;
    void StretchDrawAdd(const TRect& clip, const TRect& dstRect, TCustomDIBX& source,
                        int32_t amount, bool flipV, bool flipH, TColorKey key,
                        const TRect& srcRect) override;
    void StretchDrawMaskAdd(const TRect& clip, const TRect& dstRect, TCustomDIBX& source,
                            int32_t amount, TCustomDIBX& mask, bool flipV, bool flipH,
                            const TRect& srcRect) override;
    void FillPattern(const TRect& clip, const TRect& rect, TCustomDIBX& pattern, bool flipV,
                     bool flipH, int32_t offsetY, int32_t offsetX) override;
    void FillPatternZoom(const TRect& clip, const TRect& rect, int32_t zoomX, int32_t alpha,
                         bool flipV, bool flipH, int32_t offsetY, int32_t offsetX,
                         TCustomDIBX& pattern, int32_t zoomY) override;
    void FillPatternZoomMask(const TRect& clip, const TRect& rect, int32_t zoomX, int32_t alpha,
                             TCustomDIBX& mask, bool flipV, bool flipH, int32_t offsetY,
                             int32_t offsetX, TCustomDIBX& pattern, int32_t zoomY) override;
    void DrawPalette16(const TRect& clip, int32_t x, int32_t y,
                       const std::array<uint32_t, 16>& table, int32_t alpha, bool flipV, bool flipH,
                       TColorKey key, const TRect& srcRect, TCustomDIBX& source) override;
    void DrawPaletteAdd(const TRect& clip, int32_t x, int32_t y,
                        const std::array<uint32_t, 256>& table, int32_t amount, bool flipV,
                        bool flipH, int32_t minIndex, const TRect& srcRect,
                        TCustomDIBX& source) override;
    void StretchDrawPaletteAdd(const TRect& clip, const TRect& dstRect, TCustomDIBX& source,
                               const std::array<uint32_t, 256>& table, int32_t amount, bool flipV,
                               bool flipH, int32_t minIndex, const TRect& srcRect) override;
    void DrawMonoReduced(const TRect& clip, int32_t x, int32_t y, int32_t factor, int32_t alpha,
                         bool flipV, bool flipH, uint32_t pixel, const TRect& srcRect,
                         TCustomDIBX& source) override;
    void DrawQuadReduced(const TRect& clip, int32_t x, int32_t y, int32_t factor, int32_t alpha,
                         bool flipV, bool flipH, const std::array<uint32_t, 4>& pixels,
                         const TRect& srcRect, TCustomDIBX& source) override;

  private:
    // Calls draw(run, offset) once per run of equal offsets among the destination rows
    // [top, bottom), run being a context over the target limited to the run's rows, to the
    // target's region and to the wave's region (clip within the wave) shifted by the offset.
    // With singleRows every row is its own run.
    template <typename DrawRun>
    void ForEachRun(const TRect& clip, int64_t top, int64_t bottom, bool singleRows,
                    DrawRun&& draw);

    TCustomDIBX* target_ = nullptr;
    TRect targetRegion_;
};

}  // namespace kivo
