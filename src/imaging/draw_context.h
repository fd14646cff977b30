#pragma once
// TDrawContext: a short-lived drawing context over one raster surface. It holds the region a
// redraw may touch (the clip) and is the one door to the surface's drawing operations, so the
// clip lives with the draw and not on the surface: two contexts over one surface, or one
// surface shared by the image cache and drawn by several objects, never see each other's
// clip. Keys come with each call for the same reason.
//
// The scene root makes a context over the back surface for each redraw and adds the dirty
// areas to its clip; an object draws through the context it is handed. Creating one costs
// nothing worth counting, so make a new one rather than keeping one across frames.
//
// A wave effect draws its children through a TDIBXWave: the wave takes its target and the
// target's region from the outer context (TDIBXWave::SetTarget), and the children get a
// context over the wave, whose clip is in the target's coordinates within the wave's area.
//
// Argument conventions are those of dibx.h.

#include <array>
#include <cstdint>
#include <optional>

#include "base/rect.h"
#include "imaging/dibx.h"

namespace kivo {

class TDrawContext {
  public:
    // A context with no clip: the whole surface may be drawn into.
    explicit TDrawContext(TCustomDIBX& surface) : surface_(surface) {}
    // A context whose clip starts as clip (not clamped, so that a context over a wave may
    // carry the outer region beyond the wave's own area).
    TDrawContext(TCustomDIBX& surface, const TRect& clip)
        : surface_(surface), clip_(clip), hasClip_(true) {}

    [[nodiscard]] TCustomDIBX& Surface() const { return surface_; }

    // ---- Clipping. ----
    // The clip, or nothing when none is set (the whole surface is drawn into).
    [[nodiscard]] std::optional<TRect> ClipRect() const {
        return hasClip_ ? std::optional<TRect>(clip_) : std::nullopt;
    }
    // Replaces the clip as it is given; an empty rectangle draws nothing.
    void SetClipRect(const TRect& rect) {
        clip_ = rect;
        hasClip_ = true;
    }
    // Clamps rect to the surface and merges it into the clip (the bounding box of both); an
    // empty clamped rectangle changes nothing.
    void AddClipRect(const TRect& rect) {
        const TRect clamped = Intersect(rect, surface_.ClientRect());
        if (clamped.IsEmpty()) return;
        clip_ = hasClip_ && !clip_.IsEmpty() ? Union(clip_, clamped) : clamped;
        hasClip_ = true;
    }
    void ResetClip() {
        clip_ = {};
        hasClip_ = false;
    }
    // The clip within the surface, or the whole surface when no clip is set.
    [[nodiscard]] TRect DrawingRect() const { return surface_.DrawingRect(Region()); }

    // ---- Fills. ----
    // The whole drawing region; below 24 bits a memory surface fills all its pixel memory.
    void Fill(uint32_t pixel) { surface_.Fill(Region(), pixel); }
    void FillRect(const TRect& rect, uint32_t pixel) { surface_.FillRect(Region(), rect, pixel); }
    // Pixels already equal to pixel are left alone.
    void FillRectAlpha(const TRect& rect, uint32_t pixel, int32_t alpha) {
        surface_.FillRectAlpha(Region(), rect, pixel, alpha);
    }
    void FillRectAdd(const TRect& rect, uint32_t pixel) {
        surface_.FillRectAdd(Region(), rect, pixel);
    }
    void FillRectSub(const TRect& rect, uint32_t pixel) {
        surface_.FillRectSub(Region(), rect, pixel);
    }
    void FrameRect(const TRect& rect, int32_t thickness, uint32_t pixel) {
        surface_.FrameRect(Region(), rect, thickness, pixel);
    }
    void FrameRectAlpha(const TRect& rect, int32_t thickness, int32_t alpha, uint32_t pixel) {
        surface_.FrameRectAlpha(Region(), rect, thickness, alpha, pixel);
    }
    void FrameRectAdd(const TRect& rect, int32_t thickness, uint32_t pixel) {
        surface_.FrameRectAdd(Region(), rect, thickness, pixel);
    }

    // ---- Unscaled draws. ----
    void Draw(int32_t x, int32_t y, bool flipV, bool flipH, TColorKey key, const TRect& srcRect,
              TCustomDIBX& source) {
        surface_.Draw(Region(), x, y, flipV, flipH, key, srcRect, source);
    }
    void DrawMask(int32_t x, int32_t y, TCustomDIBX& mask, bool flipV, bool flipH,
                  const TRect& srcRect, TCustomDIBX& source) {
        surface_.DrawMask(Region(), x, y, mask, flipV, flipH, srcRect, source);
    }
    void DrawAlpha(int32_t x, int32_t y, int32_t alpha, bool flipV, bool flipH, TColorKey key,
                   const TRect& srcRect, TCustomDIBX& source) {
        surface_.DrawAlpha(Region(), x, y, alpha, flipV, flipH, key, srcRect, source);
    }
    void DrawMaskAlpha(int32_t x, int32_t y, int32_t alpha, TCustomDIBX& mask, bool flipV,
                       bool flipH, const TRect& srcRect, TCustomDIBX& source) {
        surface_.DrawMaskAlpha(Region(), x, y, alpha, mask, flipV, flipH, srcRect, source);
    }
    void DrawAdd(int32_t x, int32_t y, int32_t amount, bool flipV, bool flipH, TColorKey key,
                 const TRect& srcRect, TCustomDIBX& source) {
        surface_.DrawAdd(Region(), x, y, amount, flipV, flipH, key, srcRect, source);
    }
    void DrawMaskAdd(int32_t x, int32_t y, int32_t amount, TCustomDIBX& mask, bool flipV,
                     bool flipH, const TRect& srcRect, TCustomDIBX& source) {
        surface_.DrawMaskAdd(Region(), x, y, amount, mask, flipV, flipH, srcRect, source);
    }
    // A colour through a mask; the mask is the source here.
    void FillMask(int32_t x, int32_t y, int32_t alpha, uint32_t pixel, bool flipV, bool flipH,
                  const TRect& srcRect, TCustomDIBX& mask) {
        surface_.FillMask(Region(), x, y, alpha, pixel, flipV, flipH, srcRect, mask);
    }

    // ---- Rotated and scaled draws. ----
    // Angle in 256ths of a turn (positive turns clockwise on screen), zooms in 256ths; the
    // source point (pivotX, pivotY), measured from srcRect's corner, lands on (x, y).
    void DrawRotate(int32_t x, int32_t y, int32_t alpha, bool flipV, bool flipH, TColorKey key,
                    int32_t angle, int32_t pivotY, int32_t pivotX, const TRect& srcRect,
                    TCustomDIBX& source, int32_t zoomY, int32_t zoomX) {
        surface_.DrawRotate(Region(), x, y, alpha, flipV, flipH, key, angle, pivotY, pivotX,
                            srcRect, source, zoomY, zoomX);
    }
    void DrawRotateMask(int32_t x, int32_t y, int32_t alpha, TCustomDIBX& mask, bool flipV,
                        bool flipH, int32_t angle, int32_t pivotY, int32_t pivotX,
                        const TRect& srcRect, TCustomDIBX& source, int32_t zoomY, int32_t zoomX) {
        surface_.DrawRotateMask(Region(), x, y, alpha, mask, flipV, flipH, angle, pivotY, pivotX,
                                srcRect, source, zoomY, zoomX);
    }
    // Alpha 255 and above copies, below blends.
    void StretchDraw(const TRect& dstRect, TCustomDIBX& source, int32_t alpha, bool flipV,
                     bool flipH, TColorKey key, const TRect& srcRect) {
        surface_.StretchDraw(Region(), dstRect, source, alpha, flipV, flipH, key, srcRect);
    }
    void StretchDrawMask(const TRect& dstRect, TCustomDIBX& source, int32_t alpha,
                         TCustomDIBX& mask, bool flipV, bool flipH, const TRect& srcRect) {
        surface_.StretchDrawMask(Region(), dstRect, source, alpha, mask, flipV, flipH, srcRect);
    }
    void StretchDrawAdd(const TRect& dstRect, TCustomDIBX& source, int32_t amount, bool flipV,
                        bool flipH, TColorKey key, const TRect& srcRect) {
        surface_.StretchDrawAdd(Region(), dstRect, source, amount, flipV, flipH, key, srcRect);
    }
    void StretchDrawMaskAdd(const TRect& dstRect, TCustomDIBX& source, int32_t amount,
                            TCustomDIBX& mask, bool flipV, bool flipH, const TRect& srcRect) {
        surface_.StretchDrawMaskAdd(Region(), dstRect, source, amount, mask, flipV, flipH, srcRect);
    }

    // ---- Tiles and patterns. ----
    // Tiles of srcRect laid from dstRect's corner, gapX and gapY pixels apart, the first tile
    // of each row and column starting at the offset wrapped into srcRect.
    void TileDraw(const TRect& dstRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                  TColorKey key, const TRect& srcRect, TCustomDIBX& source, int32_t gapY) {
        surface_.TileDraw(Region(), dstRect, gapX, offsetY, offsetX, key, srcRect, source, gapY);
    }
    void TileDrawAlpha(const TRect& dstRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                       int32_t alpha, TColorKey key, const TRect& srcRect, TCustomDIBX& source,
                       int32_t gapY) {
        surface_.TileDrawAlpha(Region(), dstRect, gapX, offsetY, offsetX, alpha, key, srcRect,
                               source, gapY);
    }
    void TileDrawAdd(const TRect& dstRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                     int32_t amount, TColorKey key, const TRect& srcRect, TCustomDIBX& source,
                     int32_t gapY) {
        surface_.TileDrawAdd(Region(), dstRect, gapX, offsetY, offsetX, amount, key, srcRect,
                             source, gapY);
    }
    void TileDrawMask(const TRect& dstRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                      TCustomDIBX& mask, const TRect& srcRect, TCustomDIBX& source, int32_t gapY) {
        surface_.TileDrawMask(Region(), dstRect, gapX, offsetY, offsetX, mask, srcRect, source,
                              gapY);
    }
    void TileDrawMaskAlpha(const TRect& dstRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                           int32_t alpha, TCustomDIBX& mask, const TRect& srcRect,
                           TCustomDIBX& source, int32_t gapY) {
        surface_.TileDrawMaskAlpha(Region(), dstRect, gapX, offsetY, offsetX, alpha, mask, srcRect,
                                   source, gapY);
    }
    void TileDrawMaskAdd(const TRect& dstRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                         int32_t amount, TCustomDIBX& mask, const TRect& srcRect,
                         TCustomDIBX& source, int32_t gapY) {
        surface_.TileDrawMaskAdd(Region(), dstRect, gapX, offsetY, offsetX, amount, mask, srcRect,
                                 source, gapY);
    }
    // Zoomed tiles placed every period x zoom / 256 pixels.
    void TileStretchDraw(const TRect& dstRect, int32_t periodX, int32_t offsetY, int32_t offsetX,
                         int32_t alpha, bool flipV, bool flipH, TColorKey key, const TRect& srcRect,
                         TCustomDIBX& source, int32_t zoomY, int32_t zoomX, int32_t periodY) {
        surface_.TileStretchDraw(Region(), dstRect, periodX, offsetY, offsetX, alpha, flipV, flipH,
                                 key, srcRect, source, zoomY, zoomX, periodY);
    }
    void TileStretchDrawMask(const TRect& dstRect, int32_t periodX, int32_t offsetY,
                             int32_t offsetX, int32_t alpha, TCustomDIBX& mask, bool flipV,
                             bool flipH, const TRect& srcRect, TCustomDIBX& source, int32_t zoomY,
                             int32_t zoomX, int32_t periodY) {
        surface_.TileStretchDrawMask(Region(), dstRect, periodX, offsetY, offsetX, alpha, mask,
                                     flipV, flipH, srcRect, source, zoomY, zoomX, periodY);
    }
    // Every pixel takes the pattern pixel at ((offsetX + column) mod width, (offsetY + row)
    // mod height), mirrored when flipped.
    void FillPattern(const TRect& rect, TCustomDIBX& pattern, bool flipV, bool flipH,
                     int32_t offsetY, int32_t offsetX) {
        surface_.FillPattern(Region(), rect, pattern, flipV, flipH, offsetY, offsetX);
    }
    void FillPatternZoom(const TRect& rect, int32_t zoomX, int32_t alpha, bool flipV, bool flipH,
                         int32_t offsetY, int32_t offsetX, TCustomDIBX& pattern, int32_t zoomY) {
        surface_.FillPatternZoom(Region(), rect, zoomX, alpha, flipV, flipH, offsetY, offsetX,
                                 pattern, zoomY);
    }
    void FillPatternZoomMask(const TRect& rect, int32_t zoomX, int32_t alpha, TCustomDIBX& mask,
                             bool flipV, bool flipH, int32_t offsetY, int32_t offsetX,
                             TCustomDIBX& pattern, int32_t zoomY) {
        surface_.FillPatternZoomMask(Region(), rect, zoomX, alpha, mask, flipV, flipH, offsetY,
                                     offsetX, pattern, zoomY);
    }
    // Four FillPattern bands.
    void FramePattern(const TRect& rect, int32_t thickness, int32_t offsetY, int32_t offsetX,
                      TCustomDIBX& pattern) {
        surface_.FramePattern(Region(), rect, thickness, offsetY, offsetX, pattern);
    }

    // ---- Palette draws. ----
    // Each 4-bit source value other than the key selects a table entry.
    void DrawPalette16(int32_t x, int32_t y, const std::array<uint32_t, 16>& table, int32_t alpha,
                       bool flipV, bool flipH, TColorKey key, const TRect& srcRect,
                       TCustomDIBX& source) {
        surface_.DrawPalette16(Region(), x, y, table, alpha, flipV, flipH, key, srcRect, source);
    }
    // Each 8-bit source value at or above minIndex adds its table entry with the amount.
    void DrawPaletteAdd(int32_t x, int32_t y, const std::array<uint32_t, 256>& table,
                        int32_t amount, bool flipV, bool flipH, int32_t minIndex,
                        const TRect& srcRect, TCustomDIBX& source) {
        surface_.DrawPaletteAdd(Region(), x, y, table, amount, flipV, flipH, minIndex, srcRect,
                                source);
    }
    void StretchDrawPaletteAdd(const TRect& dstRect, TCustomDIBX& source,
                               const std::array<uint32_t, 256>& table, int32_t amount, bool flipV,
                               bool flipH, int32_t minIndex, const TRect& srcRect) {
        surface_.StretchDrawPaletteAdd(Region(), dstRect, source, table, amount, flipV, flipH,
                                       minIndex, srcRect);
    }

    // ---- Reduced coverage draws. ----
    // Shrinks a 1-bit source by factor: each destination pixel covers a factor x factor block
    // of srcRect and mixes pixel into the destination by the share of 0 bits in it (scaled by
    // alpha below 255). The mix divides by the block's sample count so that any factor keeps
    // the channels in range. Source samples outside the source count as 1 bits; destinations
    // without colour channels are left alone.
    void DrawMonoReduced(int32_t x, int32_t y, int32_t factor, int32_t alpha, bool flipV,
                         bool flipH, uint32_t pixel, const TRect& srcRect, TCustomDIBX& source) {
        surface_.DrawMonoReduced(Region(), x, y, factor, alpha, flipV, flipH, pixel, srcRect,
                                 source);
    }
    // Shrinks a 2-bit source the same way, mixing the four pixels by how many samples of the
    // block hold each code (pixels[code]); below 255 alpha scales each count, and the share
    // of samples left uncounted (outside the source, or taken by alpha) keeps the
    // destination. Alpha 256 and above adds the mix to the destination instead, saturating.
    void DrawQuadReduced(int32_t x, int32_t y, int32_t factor, int32_t alpha, bool flipV,
                         bool flipH, const std::array<uint32_t, 4>& pixels, const TRect& srcRect,
                         TCustomDIBX& source) {
        surface_.DrawQuadReduced(Region(), x, y, factor, alpha, flipV, flipH, pixels, srcRect,
                                 source);
    }

  private:
    // What the surface's operations are given: the clip as set, else the whole surface.
    [[nodiscard]] TRect Region() const { return hasClip_ ? clip_ : surface_.ClientRect(); }

    TCustomDIBX& surface_;
    // The clip and whether one is set, kept apart rather than in an optional: GCC 12 at -O3
    // takes an optional rectangle's payload for uninitialised where it is read.
    TRect clip_;
    bool hasClip_ = false;
};

}  // namespace kivo
