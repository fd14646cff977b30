// Tiled draws and pattern fills of TCustomDIBX.

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "imaging/dibx.h"
#include "imaging/dibx_support.h"
#include "imaging/row_ops.h"

namespace kivo {

namespace {

[[nodiscard]] int64_t FloorMod(int64_t value, int64_t divisor) {
    const int64_t r = value % divisor;
    return r < 0 ? r + divisor : r;
}

[[nodiscard]] int64_t FloorDiv(int64_t value, int64_t divisor) {
    return (value - FloorMod(value, divisor)) / divisor;
}

// One axis of a tiling with gaps: the first tile shows the source from the wrapped offset to
// its far edge, every later tile the whole source; tiles are gap pixels apart. Calls
// tile(position, sourceStart, length) for each tile that meets [visibleStart, visibleEnd).
// A gap that cancels the tile length leaves only the first tile, which would otherwise be
// laid over and over at the same place.
template <typename Tile>
void LayAxis(int64_t start, int64_t end, int64_t visibleStart, int64_t visibleEnd, int64_t srcStart,
             int64_t srcLength, int64_t offset, int64_t gap, Tile&& tile) {
    const int64_t wrapped = FloorMod(offset, srcLength);
    const int64_t firstLength = srcLength - wrapped;
    if (start < visibleEnd && start + firstLength > visibleStart)
        tile(start, srcStart + wrapped, firstLength);
    const int64_t advance = srcLength + gap;
    if (advance <= 0) return;
    const int64_t second = start + firstLength + gap;
    const int64_t stop = std::min(end, visibleEnd);
    // Later tiles before the visible part are skipped by arithmetic, not by walking.
    const int64_t skip = std::max<int64_t>(0, FloorDiv(visibleStart - second - srcLength, advance));
    for (int64_t p = second + skip * advance; p < stop; p += advance) {
        if (p + srcLength > visibleStart) tile(p, srcStart, srcLength);
    }
}

// Lays unscaled tiles of srcRect over dstRect; draw(visible, x, y, tileRect) draws one tile
// with the drawing region limited to the visible part of dstRect.
template <typename DrawTile>
void LayTiles(const TCustomDIBX& surface, const TRect& clip, const TRect& dstRect, int32_t gapX,
              int32_t gapY, int32_t offsetX, int32_t offsetY, const TRect& srcRect,
              DrawTile&& draw) {
    if (srcRect.IsEmpty()) return;
    const TRect visible = Intersect(dstRect, surface.DrawingRect(clip));
    if (visible.IsEmpty()) return;
    LayAxis(dstRect.Top, dstRect.Bottom, visible.Top, visible.Bottom, srcRect.Top,
            dibx::Height64(srcRect), offsetY, gapY, [&](int64_t y, int64_t sy, int64_t h) {
                LayAxis(dstRect.Left, dstRect.Right, visible.Left, visible.Right, srcRect.Left,
                        dibx::Width64(srcRect), offsetX, gapX,
                        [&](int64_t x, int64_t sx, int64_t w) {
                            draw(visible, static_cast<int32_t>(x), static_cast<int32_t>(y),
                                 TRect{static_cast<int32_t>(sx), static_cast<int32_t>(sy),
                                       static_cast<int32_t>(sx + w), static_cast<int32_t>(sy + h)});
                        });
            });
}

// One axis of a zoomed tiling in 16.16 fixed point: tiles every period (at least one pixel)
// starting before start by the wrapped offset's share of a period. Calls
// tile(position, endPosition) with whole-pixel edges for each tile meeting the visible range.
// A 16.16 length period x zoom / 256 (or length x zoom / 256), limited to 2^40: no tile or
// period on a surface comes near it, and the limit keeps the sums below from overflowing.
int64_t ScaledLength(int64_t length, int64_t zoom) {
    constexpr int64_t kLimit = int64_t{1} << 40;
    if (length <= 0 || zoom <= 0) return 0;
    return length > kLimit / 256 / zoom ? kLimit : std::min(length * zoom * 256, kLimit);
}

template <typename Tile>
void LayZoomedAxis(int64_t start, int64_t end, int64_t visibleStart, int64_t visibleEnd,
                   int64_t period, int64_t offset, int64_t zoom, int64_t length, Tile&& tile) {
    const int64_t step = std::max<int64_t>(ScaledLength(period, zoom), 65536);
    const int64_t size = ScaledLength(length, zoom);
    // The first tile starts before the corner by the offset's share of a period; m x step /
    // period is split so that no product overflows.
    int64_t lead = 0;
    if (period > 0) {
        const int64_t m = FloorMod(offset, period);
        lead = (step / period) * m + (step % period) * m / period;
    }
    const int64_t first = start * 65536 - lead;
    const int64_t stop = std::min(end, visibleEnd) * 65536;
    if (first >= stop) return;
    // Tiles ending before the visible part are skipped by arithmetic. A period far shorter
    // than the tile piles tiles on one another; only the last kMaxOverlap of them, the ones on
    // top, are drawn, which bounds the work of absurd zooms without changing ordinary pictures.
    constexpr int64_t kMaxOverlap = 256;
    const int64_t last = (stop - first - 1) / step;
    const int64_t skip = std::max(
        {int64_t{0}, FloorDiv(visibleStart * 65536 - first - size, step), last - kMaxOverlap + 1});
    for (int64_t p = first + skip * step; p < stop; p += step) {
        if ((p + size) >> 16 > visibleStart) tile(p >> 16, (p + size) >> 16);
    }
}

template <typename DrawTile>
void LayZoomedTiles(const TCustomDIBX& surface, const TRect& clip, const TRect& dstRect,
                    int32_t periodX, int32_t periodY, int32_t offsetX, int32_t offsetY,
                    int32_t zoomX, int32_t zoomY, const TRect& srcRect, DrawTile&& draw) {
    if (srcRect.IsEmpty() || zoomX <= 0 || zoomY <= 0) return;
    const TRect visible = Intersect(dstRect, surface.DrawingRect(clip));
    if (visible.IsEmpty()) return;
    LayZoomedAxis(dstRect.Top, dstRect.Bottom, visible.Top, visible.Bottom, periodY, offsetY, zoomY,
                  dibx::Height64(srcRect), [&](int64_t top, int64_t bottom) {
                      LayZoomedAxis(
                          dstRect.Left, dstRect.Right, visible.Left, visible.Right, periodX,
                          offsetX, zoomX, dibx::Width64(srcRect), [&](int64_t left, int64_t right) {
                              draw(visible,
                                   TRect{dibx::ClampToInt32(left), dibx::ClampToInt32(top),
                                         dibx::ClampToInt32(right), dibx::ClampToInt32(bottom)});
                          });
                  });
}

// ---- Tiles laid row by row ----
//
// A tiling without gaps covers its area with copies of the piece side by side, so every
// destination pixel meets exactly one source pixel: the one at the pixel's phase in the
// repeating piece. Rather than drawing each tile (one clipped draw per tile, and a few pixels
// per row of it), the piece's rows are repeated across the area's width, once by copying the
// piece and then by doubling what was copied, and each destination row is drawn by one kernel
// call (a plain copy repeats the piece in the destination itself). Every kernel works pixel by
// pixel, so the pixels are those that drawing tile by tile gives.

// Rows of pixels a given byte distance apart.
template <typename T>
struct RowBlock {
    uint8_t* first;
    ptrdiff_t stride;
    [[nodiscard]] T* Row(int32_t r) const { return reinterpret_cast<T*>(first + stride * r); }
};

// Fills count rows of out with width pixels each: row r repeats pieceRow(r) (period pixels)
// from phase on. Every row takes one period from its piece row, then all rows double what
// they hold, a round at a time, so that a long row takes a handful of copies however short
// the piece. A round goes through every row before the next one reads back, which gives the
// stores of a row time to leave the store queue: reading a span back at once would wait for
// them on every round.
template <typename T, typename PieceRow, typename CopySpan>
void RepeatRows(const RowBlock<T>& out, int32_t count, PieceRow&& pieceRow, int32_t period,
                int32_t phase, int32_t width, CopySpan&& copy) {
    const int32_t head = std::min(period - phase, width);
    const int32_t rest = std::min(phase, width - head);
    for (int32_t r = 0; r < count; ++r) {
        const T* piece = pieceRow(r);
        copy(out.Row(r), piece + phase, head);
        if (rest > 0) copy(out.Row(r) + head, piece, rest);
    }
    // Each row now holds one whole period (or all of its width): doubling keeps the phase.
    for (int32_t filled = head + rest; filled < width;) {
        const int32_t span = std::min(filled, width - filled);
        for (int32_t r = 0; r < count; ++r)
            copy(out.Row(r) + filled, out.Row(r), span);
        filled += span;
    }
}

// The kernel of one tiled draw, applied to a whole destination row: kernel(ops, dst, src,
// mask, count, key), with mask null for draws without one.
template <typename Kernel>
struct TileKernel {
    TCustomDIBX* mask;  // an 8-bit mask, or null
    TColorKey key;      // the draw's key
    bool plainCopy;     // a copy that, without a key, may repeat the piece in the destination
    Kernel kernel;
};

// Draws a gapless tiling row by row; false, with nothing drawn, where tile-by-tile drawing
// must be kept: gaps, a destination that is not a 32-bit surface in memory (8-bit surfaces
// and waves draw each tile their own way), a source drawn onto itself (each tile would see
// the tiles before it), or a piece not wholly inside its source and mask (each tile would be
// clipped on its own).
template <typename Kernel>
bool TileByRows(TCustomDIBX& destination, const TRect& clip, const TRect& dstRect, int32_t gapX,
                int32_t gapY, int32_t offsetX, int32_t offsetY, const TRect& srcRect,
                TCustomDIBX& source, const TileKernel<Kernel>& draw) {
    if (gapX != 0 || gapY != 0 || destination.BitCount() != 32 || &source == &destination)
        return false;
    if (srcRect.IsEmpty()) return true;
    const TRect visible = Intersect(dstRect, destination.DrawingRect(clip));
    if (visible.IsEmpty()) return true;
    const dibx::Colour32 colour(source, destination, draw.key);
    if (!colour.Valid()) return false;
    const TRect readable = dibx::ReadableBounds(colour.Surface(), draw.mask);
    if (Intersect(srcRect, readable) != srcRect) return false;

    dibx::DirectAccess dst(destination);
    dibx::DirectAccess src(colour.Surface());
    std::optional<dibx::DirectAccess> msk;
    if (draw.mask) msk.emplace(*draw.mask);
    const int32_t width = visible.Width(), height = visible.Height();
    const int32_t period = srcRect.Width(), rows = srcRect.Height();
    const auto dstRows = dibx::EvenRows(dst, visible.Left, visible.Top, 1, height);
    const auto srcRows = dibx::EvenRows(src, srcRect.Left, srcRect.Top, 1, rows);
    const auto mskRows = msk ? dibx::EvenRows(*msk, srcRect.Left, srcRect.Top, 1, rows)
                             : std::optional<dibx::RowWalk>(dibx::RowWalk{});
    if (!dstRows || !srcRows || !mskRows) return false;

    // The phase of the visible area's corner in the pattern that starts at dstRect's corner
    // shifted by the offsets; destination row r shows piece row (phaseY + r) mod rows.
    const auto phaseX = static_cast<int32_t>(
        FloorMod(int64_t{offsetX} + (int64_t{visible.Left} - dstRect.Left), period));
    const auto phaseY = static_cast<int32_t>(
        FloorMod(int64_t{offsetY} + (int64_t{visible.Top} - dstRect.Top), rows));
    const RowOps& ops = FastRowOps();
    const uint64_t key = colour.Key();
    auto copyColours = [&](uint32_t* out, const uint32_t* in, int32_t count) {
        dibx::CopyForwardRow(ops, out, in, count);
    };
    auto colourPiece = [&](int32_t r) {
        return reinterpret_cast<const uint32_t*>(srcRows->first +
                                                 srcRows->stride * ((phaseY + r) % rows));
    };
    const RowBlock<uint32_t> target{dstRows->first, dstRows->stride};
    if (draw.plainCopy && key == kNoKey) {
        RepeatRows(target, height, colourPiece, period, phaseX, width, copyColours);
        return true;
    }

    // The repeated rows are laid out apart, once for each piece row the area shows, and drawn
    // over the destination rows that show them.
    const int32_t distinct = std::min(rows, height);
    std::vector<uint32_t> colourRows(static_cast<size_t>(distinct) * width);
    const RowBlock<uint32_t> colours{reinterpret_cast<uint8_t*>(colourRows.data()),
                                     static_cast<ptrdiff_t>(width) * 4};
    RepeatRows(colours, distinct, colourPiece, period, phaseX, width, copyColours);
    std::vector<uint8_t> maskRows(msk ? static_cast<size_t>(distinct) * width : 0);
    const RowBlock<uint8_t> masks{maskRows.data(), width};
    if (msk) {
        RepeatRows(
            masks, distinct,
            [&](int32_t r) {
                return static_cast<const uint8_t*>(mskRows->first +
                                                   mskRows->stride * ((phaseY + r) % rows));
            },
            period, phaseX, width,
            [](uint8_t* out, const uint8_t* in, int32_t count) {
                std::memcpy(out, in, static_cast<size_t>(count));
            });
    }
    for (int32_t r = 0; r < height; ++r) {
        const int32_t shown = r % distinct;
        draw.kernel(ops, target.Row(r), colours.Row(shown), msk ? masks.Row(shown) : nullptr, width,
                    key);
    }
    return true;
}

template <typename Kernel>
TileKernel<Kernel> MakeTileKernel(TCustomDIBX* mask, TColorKey key, bool plainCopy, Kernel kernel) {
    return {mask, key, plainCopy, std::move(kernel)};
}

}  // namespace

void TCustomDIBX::TileDraw(const TRect& clip, const TRect& dstRect, int32_t gapX, int32_t offsetY,
                           int32_t offsetX, TColorKey key, const TRect& srcRect,
                           TCustomDIBX& source, int32_t gapY) {
    const auto copy =
        MakeTileKernel(nullptr, key, true,
                       [](const RowOps& ops, uint32_t* d, const uint32_t* s, const uint8_t*,
                          int32_t n, uint64_t k) { ops.Copy(d, s, n, 1, k); });
    if (TileByRows(*this, clip, dstRect, gapX, gapY, offsetX, offsetY, srcRect, source, copy))
        return;
    LayTiles(*this, clip, dstRect, gapX, gapY, offsetX, offsetY, srcRect,
             [&](const TRect& visible, int32_t x, int32_t y, const TRect& tile) {
                 Draw(visible, x, y, false, false, key, tile, source);
             });
}

void TCustomDIBX::TileDrawAlpha(const TRect& clip, const TRect& dstRect, int32_t gapX,
                                int32_t offsetY, int32_t offsetX, int32_t alpha, TColorKey key,
                                const TRect& srcRect, TCustomDIBX& source, int32_t gapY) {
    if (alpha <= 0) return;
    // Alphas above 255 blend as 255, as DrawAlpha has it.
    const uint32_t w = dibx::Strength(alpha, 255);
    const auto blend =
        MakeTileKernel(nullptr, key, false,
                       [w](const RowOps& ops, uint32_t* d, const uint32_t* s, const uint8_t*,
                           int32_t n, uint64_t k) { ops.Alpha(d, s, n, 1, w, k); });
    if (TileByRows(*this, clip, dstRect, gapX, gapY, offsetX, offsetY, srcRect, source, blend))
        return;
    LayTiles(*this, clip, dstRect, gapX, gapY, offsetX, offsetY, srcRect,
             [&](const TRect& visible, int32_t x, int32_t y, const TRect& tile) {
                 DrawAlpha(visible, x, y, alpha, false, false, key, tile, source);
             });
}

void TCustomDIBX::TileDrawAdd(const TRect& clip, const TRect& dstRect, int32_t gapX,
                              int32_t offsetY, int32_t offsetX, int32_t amount, TColorKey key,
                              const TRect& srcRect, TCustomDIBX& source, int32_t gapY) {
    if (amount <= 0) return;
    const uint32_t w = dibx::Strength(amount, 256);
    const auto add =
        MakeTileKernel(nullptr, key, false,
                       [w](const RowOps& ops, uint32_t* d, const uint32_t* s, const uint8_t*,
                           int32_t n, uint64_t k) { ops.Add(d, s, n, 1, w, k); });
    if (TileByRows(*this, clip, dstRect, gapX, gapY, offsetX, offsetY, srcRect, source, add))
        return;
    LayTiles(*this, clip, dstRect, gapX, gapY, offsetX, offsetY, srcRect,
             [&](const TRect& visible, int32_t x, int32_t y, const TRect& tile) {
                 DrawAdd(visible, x, y, amount, false, false, key, tile, source);
             });
}

void TCustomDIBX::TileDrawMask(const TRect& clip, const TRect& dstRect, int32_t gapX,
                               int32_t offsetY, int32_t offsetX, TCustomDIBX& mask,
                               const TRect& srcRect, TCustomDIBX& source, int32_t gapY) {
    if (TCustomDIBX* m = dibx::AsMask(mask)) {
        const auto masked =
            MakeTileKernel(m, TColorKey{}, false,
                           [](const RowOps& ops, uint32_t* d, const uint32_t* s, const uint8_t* mk,
                              int32_t n, uint64_t) { ops.Mask(d, s, mk, n, 1); });
        if (TileByRows(*this, clip, dstRect, gapX, gapY, offsetX, offsetY, srcRect, source, masked))
            return;
    }
    LayTiles(*this, clip, dstRect, gapX, gapY, offsetX, offsetY, srcRect,
             [&](const TRect& visible, int32_t x, int32_t y, const TRect& tile) {
                 DrawMask(visible, x, y, mask, false, false, tile, source);
             });
}

void TCustomDIBX::TileDrawMaskAlpha(const TRect& clip, const TRect& dstRect, int32_t gapX,
                                    int32_t offsetY, int32_t offsetX, int32_t alpha,
                                    TCustomDIBX& mask, const TRect& srcRect, TCustomDIBX& source,
                                    int32_t gapY) {
    if (alpha <= 0) return;
    if (TCustomDIBX* m = dibx::AsMask(mask)) {
        const uint32_t a = dibx::Strength(alpha, 255);
        const auto masked =
            MakeTileKernel(m, TColorKey{}, false,
                           [a](const RowOps& ops, uint32_t* d, const uint32_t* s, const uint8_t* mk,
                               int32_t n, uint64_t) { ops.MaskAlpha(d, s, mk, n, 1, a); });
        if (TileByRows(*this, clip, dstRect, gapX, gapY, offsetX, offsetY, srcRect, source, masked))
            return;
    }
    LayTiles(*this, clip, dstRect, gapX, gapY, offsetX, offsetY, srcRect,
             [&](const TRect& visible, int32_t x, int32_t y, const TRect& tile) {
                 DrawMaskAlpha(visible, x, y, alpha, mask, false, false, tile, source);
             });
}

void TCustomDIBX::TileDrawMaskAdd(const TRect& clip, const TRect& dstRect, int32_t gapX,
                                  int32_t offsetY, int32_t offsetX, int32_t amount,
                                  TCustomDIBX& mask, const TRect& srcRect, TCustomDIBX& source,
                                  int32_t gapY) {
    if (amount <= 0) return;
    if (TCustomDIBX* m = dibx::AsMask(mask)) {
        const uint32_t w = dibx::Strength(amount, 256);
        const auto masked =
            MakeTileKernel(m, TColorKey{}, false,
                           [w](const RowOps& ops, uint32_t* d, const uint32_t* s, const uint8_t* mk,
                               int32_t n, uint64_t) { ops.MaskAdd(d, s, mk, n, 1, w); });
        if (TileByRows(*this, clip, dstRect, gapX, gapY, offsetX, offsetY, srcRect, source, masked))
            return;
    }
    LayTiles(*this, clip, dstRect, gapX, gapY, offsetX, offsetY, srcRect,
             [&](const TRect& visible, int32_t x, int32_t y, const TRect& tile) {
                 DrawMaskAdd(visible, x, y, amount, mask, false, false, tile, source);
             });
}

void TCustomDIBX::TileStretchDraw(const TRect& clip, const TRect& dstRect, int32_t periodX,
                                  int32_t offsetY, int32_t offsetX, int32_t alpha, bool flipV,
                                  bool flipH, TColorKey key, const TRect& srcRect,
                                  TCustomDIBX& source, int32_t zoomY, int32_t zoomX,
                                  int32_t periodY) {
    const dibx::AlphaRange range = dibx::ClassifyAlpha(alpha);
    if (range.mode == dibx::AlphaMode::None) return;
    LayZoomedTiles(*this, clip, dstRect, periodX, periodY, offsetX, offsetY, zoomX, zoomY, srcRect,
                   [&](const TRect& visible, const TRect& tile) {
                       if (range.mode == dibx::AlphaMode::Add) {
                           StretchDrawAdd(visible, tile, source, static_cast<int32_t>(range.value),
                                          flipV, flipH, key, srcRect);
                       } else {
                           StretchDraw(visible, tile, source, alpha, flipV, flipH, key, srcRect);
                       }
                   });
}

void TCustomDIBX::TileStretchDrawMask(const TRect& clip, const TRect& dstRect, int32_t periodX,
                                      int32_t offsetY, int32_t offsetX, int32_t alpha,
                                      TCustomDIBX& mask, bool flipV, bool flipH,
                                      const TRect& srcRect, TCustomDIBX& source, int32_t zoomY,
                                      int32_t zoomX, int32_t periodY) {
    const dibx::AlphaRange range = dibx::ClassifyAlpha(alpha);
    if (range.mode == dibx::AlphaMode::None) return;
    LayZoomedTiles(
        *this, clip, dstRect, periodX, periodY, offsetX, offsetY, zoomX, zoomY, srcRect,
        [&](const TRect& visible, const TRect& tile) {
            if (range.mode == dibx::AlphaMode::Add) {
                StretchDrawMaskAdd(visible, tile, source, static_cast<int32_t>(range.value), mask,
                                   flipV, flipH, srcRect);
            } else {
                StretchDrawMask(visible, tile, source, alpha, mask, flipV, flipH, srcRect);
            }
        });
}

// ---- Patterns ----

namespace {

// A pattern fill clipped to the drawing region, with the clipped amounts added to the
// offsets so that the visible pixels keep their place in the pattern.
struct PatternPlan {
    TRect area;
    int64_t offsetX = 0, offsetY = 0;
};

std::optional<PatternPlan> ClipPattern(const TCustomDIBX& surface, const TRect& clip,
                                       const TRect& rect, int32_t offsetY, int32_t offsetX) {
    PatternPlan plan;
    plan.area = Intersect(rect, surface.DrawingRect(clip));
    if (plan.area.IsEmpty()) return std::nullopt;
    plan.offsetX = int64_t{offsetX} + (int64_t{plan.area.Left} - rect.Left);
    plan.offsetY = int64_t{offsetY} + (int64_t{plan.area.Top} - rect.Top);
    return plan;
}

// Calls op(dst, patternPixel, maskValue) for each pixel of a zoomed pattern fill. The pattern
// advances 256 / zoom pixels per destination pixel in 16.16, at most one pattern width.
template <typename Op>
void ForEachPatternPixel(TCustomDIBX& destination, const PatternPlan& plan, TCustomDIBX& pattern,
                         TCustomDIBX* mask, int32_t zoomX, int32_t zoomY, bool flipV, bool flipH,
                         Op&& op) {
    const TRect readable = dibx::ReadableBounds(pattern, mask);
    const int64_t width = readable.Width(), height = readable.Height();
    if (width <= 0 || height <= 0) return;
    const int64_t spanX = width << 16, spanY = height << 16;
    const int64_t stepX = std::min<int64_t>((int64_t{256} << 16) / zoomX, spanX);
    const int64_t stepY = std::min<int64_t>((int64_t{256} << 16) / zoomY, spanY);
    dibx::DirectAccess dst(destination);
    dibx::DirectAccess src(pattern);
    std::optional<dibx::DirectAccess> msk;
    if (mask) msk.emplace(*mask);
    int64_t py = FloorMod(FloorMod(plan.offsetY, spanY) * stepY, spanY);
    for (int32_t y = plan.area.Top; y < plan.area.Bottom; ++y, py = (py + stepY) % spanY) {
        const auto v = static_cast<int32_t>(py >> 16);
        const int32_t sy = flipV ? static_cast<int32_t>(height) - 1 - v : v;
        uint32_t* d = dst.Row32(plan.area.Left, y);
        const auto* s = reinterpret_cast<const uint32_t*>(src.At(0, sy));
        const uint8_t* m = msk ? msk->At(0, sy) : nullptr;
        if (!d || !s || (mask && !m)) return;
        int64_t px = FloorMod(FloorMod(plan.offsetX, spanX) * stepX, spanX);
        for (int32_t i = 0; i < plan.area.Width(); ++i, px = (px + stepX) % spanX) {
            const auto u = static_cast<int32_t>(px >> 16);
            const int32_t sx = flipH ? static_cast<int32_t>(width) - 1 - u : u;
            op(d[i], s[sx], m ? m[sx] : uint8_t{255});
        }
    }
}

}  // namespace

void TCustomDIBX::FillPattern(const TRect& clip, const TRect& rect, TCustomDIBX& pattern,
                              bool flipV, bool flipH, int32_t offsetY, int32_t offsetX) {
    if (BitCount() != 32) return;
    const dibx::Colour32 colour(pattern, *this);
    if (!colour.Valid() || colour.Surface().IsEmpty()) return;
    const auto plan = ClipPattern(*this, clip, rect, offsetY, offsetX);
    if (!plan) return;
    TCustomDIBX& source = colour.Surface();
    const int32_t width = source.Width(), height = source.Height();
    dibx::DirectAccess dst(*this);
    dibx::DirectAccess src(source);
    for (int32_t y = plan->area.Top; y < plan->area.Bottom; ++y) {
        const auto v = static_cast<int32_t>(FloorMod(plan->offsetY + (y - plan->area.Top), height));
        uint32_t* d = dst.Row32(plan->area.Left, y);
        const uint32_t* s =
            reinterpret_cast<const uint32_t*>(src.At(0, flipV ? height - 1 - v : v));
        if (!d || !s) return;
        // Whole runs of the pattern row are copied at a time.
        auto u = static_cast<int32_t>(FloorMod(plan->offsetX, width));
        for (int32_t i = 0; i < plan->area.Width();) {
            const int32_t run = std::min(width - u, plan->area.Width() - i);
            if (flipH) {
                FastRowOps().Copy(d + i, s + (width - 1 - u), run, -1, kNoKey);
            } else {
                FastRowOps().Copy(d + i, s + u, run, 1, kNoKey);
            }
            i += run;
            u = 0;
        }
    }
}

void TCustomDIBX::FillPatternZoom(const TRect& clip, const TRect& rect, int32_t zoomX,
                                  int32_t alpha, bool flipV, bool flipH, int32_t offsetY,
                                  int32_t offsetX, TCustomDIBX& pattern, int32_t zoomY) {
    const dibx::AlphaRange range = dibx::ClassifyAlpha(alpha);
    if (range.mode == dibx::AlphaMode::None || zoomX <= 0 || zoomY <= 0 || BitCount() != 32) return;
    const dibx::Colour32 colour(pattern, *this);
    if (!colour.Valid()) return;
    const auto plan = ClipPattern(*this, clip, rect, offsetY, offsetX);
    if (!plan) return;
    auto walk = [&](auto&& op) {
        ForEachPatternPixel(*this, *plan, colour.Surface(), nullptr, zoomX, zoomY, flipV, flipH,
                            op);
    };
    dibx::WithPixelOp(range, kNoKey, walk);
}

void TCustomDIBX::FillPatternZoomMask(const TRect& clip, const TRect& rect, int32_t zoomX,
                                      int32_t alpha, TCustomDIBX& mask, bool flipV, bool flipH,
                                      int32_t offsetY, int32_t offsetX, TCustomDIBX& pattern,
                                      int32_t zoomY) {
    const dibx::AlphaRange range = dibx::ClassifyAlpha(alpha);
    TCustomDIBX* m = dibx::AsMask(mask);
    if (range.mode == dibx::AlphaMode::None || !m || zoomX <= 0 || zoomY <= 0 || BitCount() != 32)
        return;
    const dibx::Colour32 colour(pattern, *this);
    if (!colour.Valid()) return;
    const auto plan = ClipPattern(*this, clip, rect, offsetY, offsetX);
    if (!plan) return;
    auto walk = [&](auto&& op) {
        ForEachPatternPixel(*this, *plan, colour.Surface(), m, zoomX, zoomY, flipV, flipH, op);
    };
    dibx::WithMaskPixelOp(range, walk);
}

}  // namespace kivo
