// Scaled and rotated draws of TCustomDIBX. Both sample the nearest source pixel and step
// through the source in 16.16 fixed point; positions are kept in 64 bits so that large
// coordinates and zooms cannot overflow them.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <optional>
#include <span>
#include <vector>

#include "imaging/dibx.h"
#include "imaging/dibx_support.h"
#include "imaging/row_ops.h"

namespace kivo {

namespace dibx {

bool MapStretchAxis(const StretchSpan& span, int32_t& first, std::vector<int32_t>& map) {
    map.clear();
    const int64_t dstLen = int64_t{span.dstEnd} - span.dstStart;
    const int64_t srcLen = int64_t{span.srcEnd} - span.srcStart;
    if (dstLen < 1 || srcLen < 1) return false;
    const int64_t lo = std::max<int64_t>(span.dstStart, span.clipStart);
    const int64_t hi = std::min<int64_t>(span.dstEnd, span.clipEnd);
    if (hi <= lo) return false;

    // The scale factor is exact in floating point; the walk truncates it to 16.16 and starts
    // at the position of the first visible pixel, whole part and fraction apart.
    const double factor = static_cast<double>(srcLen) / static_cast<double>(dstLen);
    const auto step = static_cast<int64_t>(factor * 65536.0);
    const double start = static_cast<double>(lo - span.dstStart) * factor;
    if (start >= static_cast<double>(srcLen)) return false;
    const double whole = std::floor(start);
    const auto fraction = static_cast<int64_t>((start - whole) * 65536.0);
    const auto base = static_cast<int64_t>(whole);

    for (int64_t i = 0; i < hi - lo; ++i) {
        const int64_t u = base + ((fraction + i * step) >> 16);
        if (u >= srcLen) break;
        const int64_t s = span.flip ? span.srcEnd - 1 - u : span.srcStart + u;
        // The mapping is monotonic, so the readable samples form one run.
        if (s < span.readStart || s >= span.readEnd) {
            if (map.empty()) continue;
            break;
        }
        if (map.empty()) first = static_cast<int32_t>(lo + i);
        map.push_back(static_cast<int32_t>(s));
    }
    return !map.empty();
}

}  // namespace dibx

namespace {

using dibx::DirectAccess;

// Calls row(dst, srcRow, maskRow, columns) for each destination row of a clipped stretch,
// where columns holds the source x of each destination pixel from the row's first. The
// column table is as long as the visible span.
template <typename Pixel, typename Row>
void ForEachStretchRow(TCustomDIBX& destination, const TRect& clip, const TRect& dstRect,
                       TCustomDIBX& source, TCustomDIBX* mask, bool flipV, bool flipH,
                       const TRect& srcRect, Row&& row) {
    const TRect drawing = destination.DrawingRect(clip);
    const TRect readable = dibx::ReadableBounds(source, mask);
    int32_t firstX = 0, firstY = 0;
    std::vector<int32_t> columns, rows;
    if (!dibx::MapStretchAxis({dstRect.Left, dstRect.Right, srcRect.Left, srcRect.Right,
                               drawing.Left, drawing.Right, readable.Left, readable.Right, flipH},
                              firstX, columns) ||
        !dibx::MapStretchAxis({dstRect.Top, dstRect.Bottom, srcRect.Top, srcRect.Bottom,
                               drawing.Top, drawing.Bottom, readable.Top, readable.Bottom, flipV},
                              firstY, rows)) {
        return;
    }
    DirectAccess dst(destination);
    DirectAccess src(source);
    std::optional<DirectAccess> msk;
    if (mask) msk.emplace(*mask);
    for (size_t r = 0; r < rows.size(); ++r) {
        auto* d = dst.Row32(firstX, firstY + static_cast<int32_t>(r));
        const auto* s = reinterpret_cast<const Pixel*>(src.At(0, rows[r]));
        const uint8_t* m = msk ? msk->At(0, rows[r]) : nullptr;
        if (!d || !s || (mask && !m)) return;
        row(d, s, m, std::span<const int32_t>(columns));
    }
}

template <typename Pixel>
void Gather(Pixel* out, const Pixel* row, std::span<const int32_t> columns) {
    for (size_t i = 0; i < columns.size(); ++i)
        out[i] = row[columns[i]];
}

// The common road of the 32-bit scaled draws: sampled source (and mask) pixels of a row are
// gathered and handed to a row kernel.
template <typename Kernel>
void StretchColour(TCustomDIBX& destination, const TRect& clip, const TRect& dstRect,
                   TCustomDIBX& source, TCustomDIBX* mask, bool flipV, bool flipH,
                   TColorKey drawKey, const TRect& srcRect, Kernel&& kernel) {
    if (destination.BitCount() != 32) return;
    const dibx::Colour32 colour(source, destination, drawKey);
    if (!colour.Valid()) return;
    const uint64_t key = colour.Key();
    std::vector<uint32_t> samples;
    std::vector<uint8_t> coverage;
    ForEachStretchRow<uint32_t>(
        destination, clip, dstRect, colour.Surface(), mask, flipV, flipH, srcRect,
        [&](uint32_t* d, const uint32_t* s, const uint8_t* m, std::span<const int32_t> cols) {
            samples.resize(cols.size());
            Gather(samples.data(), s, cols);
            if (m) {
                coverage.resize(cols.size());
                Gather(coverage.data(), m, cols);
            }
            kernel(d, samples.data(), coverage.data(), static_cast<int32_t>(cols.size()), key);
        });
}

}  // namespace

void TCustomDIBX::StretchDraw(const TRect& clip, const TRect& dstRect, TCustomDIBX& source,
                              int32_t alpha, bool flipV, bool flipH, TColorKey key,
                              const TRect& srcRect) {
    if (alpha <= 0 || BitCount() != 32) return;
    if (alpha >= 255 && !key.IsSet()) {
        // The plain scaled copy samples straight into the destination row; a row that
        // samples the same source row as the one above it is a copy of that row.
        const dibx::Colour32 colour(source, *this);
        if (!colour.Valid()) return;
        const uint32_t* previousSource = nullptr;
        const uint32_t* previousRow = nullptr;
        ForEachStretchRow<uint32_t>(
            *this, clip, dstRect, colour.Surface(), nullptr, flipV, flipH, srcRect,
            [&](uint32_t* d, const uint32_t* s, const uint8_t*, std::span<const int32_t> cols) {
                if (s == previousSource) {
                    FastRowOps().Copy(d, previousRow, static_cast<int32_t>(cols.size()), 1, kNoKey);
                } else {
                    Gather(d, s, cols);
                }
                previousSource = s;
                previousRow = d;
            });
        return;
    }
    const auto w = static_cast<uint32_t>(alpha);
    StretchColour(*this, clip, dstRect, source, nullptr, flipV, flipH, key, srcRect,
                  [w](uint32_t* d, const uint32_t* s, const uint8_t*, int32_t n, uint64_t k) {
                      if (w >= 255) {
                          FastRowOps().Copy(d, s, n, 1, k);
                      } else {
                          FastRowOps().Alpha(d, s, n, 1, w, k);
                      }
                  });
}

void TCustomDIBX::StretchDrawMask(const TRect& clip, const TRect& dstRect, TCustomDIBX& source,
                                  int32_t alpha, TCustomDIBX& mask, bool flipV, bool flipH,
                                  const TRect& srcRect) {
    TCustomDIBX* m = dibx::AsMask(mask);
    if (alpha <= 0 || !m) return;
    const auto a = static_cast<uint32_t>(std::min(alpha, 255));
    StretchColour(*this, clip, dstRect, source, m, flipV, flipH, TColorKey{}, srcRect,
                  [a](uint32_t* d, const uint32_t* s, const uint8_t* mk, int32_t n, uint64_t) {
                      if (a == 255) {
                          FastRowOps().Mask(d, s, mk, n, 1);
                      } else {
                          FastRowOps().MaskAlpha(d, s, mk, n, 1, a);
                      }
                  });
}

void TCustomDIBX::StretchDrawAdd(const TRect& clip, const TRect& dstRect, TCustomDIBX& source,
                                 int32_t amount, bool flipV, bool flipH, TColorKey key,
                                 const TRect& srcRect) {
    const uint32_t w = dibx::Strength(amount, 256);
    if (w == 0) return;
    StretchColour(*this, clip, dstRect, source, nullptr, flipV, flipH, key, srcRect,
                  [w](uint32_t* d, const uint32_t* s, const uint8_t*, int32_t n, uint64_t k) {
                      FastRowOps().Add(d, s, n, 1, w, k);
                  });
}

void TCustomDIBX::StretchDrawMaskAdd(const TRect& clip, const TRect& dstRect, TCustomDIBX& source,
                                     int32_t amount, TCustomDIBX& mask, bool flipV, bool flipH,
                                     const TRect& srcRect) {
    const uint32_t w = dibx::Strength(amount, 256);
    TCustomDIBX* m = dibx::AsMask(mask);
    if (w == 0 || !m) return;
    StretchColour(*this, clip, dstRect, source, m, flipV, flipH, TColorKey{}, srcRect,
                  [w](uint32_t* d, const uint32_t* s, const uint8_t* mk, int32_t n, uint64_t) {
                      FastRowOps().MaskAdd(d, s, mk, n, 1, w);
                  });
}

void TCustomDIBX::StretchDrawPaletteAdd(const TRect& clip, const TRect& dstRect,
                                        TCustomDIBX& source, const std::array<uint32_t, 256>& table,
                                        int32_t amount, bool flipV, bool flipH, int32_t minIndex,
                                        const TRect& srcRect) {
    const uint32_t w = dibx::Strength(amount, 256);
    if (w == 0 || BitCount() != 32 || source.BitCount() != 8) return;
    // As in the unscaled draw, the table is scaled by the amount once; each destination row
    // then picks its indices (once for the rows a zoom repeats) and adds them through the row
    // kernel.
    std::array<uint32_t, 256> scaled{};
    for (size_t v = 0; v < scaled.size(); ++v)
        scaled[v] = AddPixel(0, table[v], w);
    const RowOps& ops = FastRowOps();
    std::vector<uint8_t> indices;
    const uint8_t* picked = nullptr;
    ForEachStretchRow<uint8_t>(
        *this, clip, dstRect, source, nullptr, flipV, flipH, srcRect,
        [&](uint32_t* d, const uint8_t* s, const uint8_t*, std::span<const int32_t> cols) {
            if (s != picked || indices.size() != cols.size()) {
                indices.resize(cols.size());
                for (size_t i = 0; i < cols.size(); ++i)
                    indices[i] = s[cols[i]];
                picked = s;
            }
            ops.AddIndexed(d, indices.data(), static_cast<int32_t>(indices.size()), 1,
                           scaled.data(), minIndex);
        });
}

// ---- Rotation ----

namespace {

// A rotated draw laid out: the destination pixels to visit and the 16.16 source position
// (relative to srcRect's corner) at the area's top-left, with its change per column and row.
struct RotatePlan {
    TRect area;
    int64_t startX = 0, startY = 0;
    int64_t columnX = 0, columnY = 0;
    int64_t rowX = 0, rowY = 0;
};

struct Rotation {
    double cosine, sine, zoomX, zoomY;
};

Rotation MakeRotation(int32_t angle, int32_t zoomY, int32_t zoomX) {
    const double theta = static_cast<double>(angle) * 2.0 * std::numbers::pi / 256.0;
    return {std::cos(theta), std::sin(theta), zoomX / 256.0, zoomY / 256.0};
}

int32_t ClampCoordinate(double v) {
    return static_cast<int32_t>(std::clamp(v, -2147483648.0, 2147483647.0));
}

TRect BoundsOf(const Rotation& rot, int32_t x, int32_t y, int32_t pivotY, int32_t pivotX,
               const TRect& srcRect) {
    const double left = -static_cast<double>(pivotX), top = -static_cast<double>(pivotY);
    const double right = left + static_cast<double>(dibx::Width64(srcRect));
    const double bottom = top + static_cast<double>(dibx::Height64(srcRect));
    double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
    for (const auto& [cx, cy] :
         {std::pair{left, top}, {right, top}, {left, bottom}, {right, bottom}}) {
        const double sx = rot.zoomX * cx, sy = rot.zoomY * cy;
        const double px = x + rot.cosine * sx - rot.sine * sy;
        const double py = y + rot.sine * sx + rot.cosine * sy;
        minX = std::min(minX, px), maxX = std::max(maxX, px);
        minY = std::min(minY, py), maxY = std::max(maxY, py);
    }
    return {ClampCoordinate(std::floor(minX)), ClampCoordinate(std::floor(minY)),
            ClampCoordinate(std::trunc(maxX) + 1), ClampCoordinate(std::trunc(maxY) + 1)};
}

std::optional<RotatePlan> PlanRotate(const TRect& drawing, int32_t x, int32_t y, int32_t angle,
                                     int32_t pivotY, int32_t pivotX, const TRect& srcRect,
                                     int32_t zoomY, int32_t zoomX) {
    if (zoomX <= 0 || zoomY <= 0 || srcRect.IsEmpty()) return std::nullopt;
    const Rotation rot = MakeRotation(angle, zoomY, zoomX);
    RotatePlan plan;
    plan.area = Intersect(BoundsOf(rot, x, y, pivotY, pivotX, srcRect), drawing);
    if (plan.area.IsEmpty()) return std::nullopt;
    plan.columnX = static_cast<int64_t>(rot.cosine / rot.zoomX * 65536.0);
    plan.columnY = static_cast<int64_t>(-rot.sine / rot.zoomY * 65536.0);
    plan.rowX = static_cast<int64_t>(rot.sine / rot.zoomX * 65536.0);
    plan.rowY = static_cast<int64_t>(rot.cosine / rot.zoomY * 65536.0);
    const int64_t offsetX = int64_t{plan.area.Left} - x, offsetY = int64_t{plan.area.Top} - y;
    plan.startX = int64_t{pivotX} * 65536 + offsetX * plan.columnX + offsetY * plan.rowX;
    plan.startY = int64_t{pivotY} * 65536 + offsetX * plan.columnY + offsetY * plan.rowY;
    return plan;
}

// Walks the destination area of a rotated draw and calls op(dst, src, maskValue) for every
// pixel whose sample falls inside srcRect and the readable bounds.
template <typename Op>
void ForEachRotatedPixel(TCustomDIBX& destination, const RotatePlan& plan, TCustomDIBX& source,
                         TCustomDIBX* mask, const TRect& srcRect, bool flipV, bool flipH, Op&& op) {
    const TRect readable = dibx::ReadableBounds(source, mask);
    DirectAccess dst(destination);
    DirectAccess src(source);
    std::optional<DirectAccess> msk;
    if (mask) msk.emplace(*mask);
    const uint8_t* srcBase = src.At(0, 0);
    const uint8_t* maskBase = msk ? msk->At(0, 0) : nullptr;
    if (!srcBase || (mask && !maskBase)) return;
    const int64_t srcPitch = src.Pitch(), maskPitch = msk ? msk->Pitch() : 0;
    const int64_t width = dibx::Width64(srcRect), height = dibx::Height64(srcRect);
    for (int32_t y = plan.area.Top; y < plan.area.Bottom; ++y) {
        uint32_t* d = dst.Row32(plan.area.Left, y);
        if (!d) return;
        const int64_t r = y - plan.area.Top;
        int64_t px = plan.startX + r * plan.rowX;
        int64_t py = plan.startY + r * plan.rowY;
        for (int32_t i = 0; i < plan.area.Width(); ++i, px += plan.columnX, py += plan.columnY) {
            if (px < 0 || py < 0) continue;
            const int64_t u = px >> 16, v = py >> 16;
            if (u >= width || v >= height) continue;
            const int64_t sx = flipH ? srcRect.Right - 1 - u : srcRect.Left + u;
            const int64_t sy = flipV ? srcRect.Bottom - 1 - v : srcRect.Top + v;
            if (!readable.Contains(static_cast<int32_t>(sx), static_cast<int32_t>(sy))) continue;
            uint32_t s;
            std::memcpy(&s, srcBase + sy * srcPitch + sx * 4, 4);
            const uint8_t m = maskBase ? maskBase[sy * maskPitch + sx] : 255;
            op(d[i], s, m);
        }
    }
}

// A rotated draw without a turn (or with half a turn) samples one source row per destination
// row, through the same columns in every row: the samples of a row are gathered and handed to
// kernel(dst, samples, count). The mapping is monotonic, so the readable samples of a row form
// one run.
template <typename Kernel>
void DrawUnturned(TCustomDIBX& destination, const RotatePlan& plan, TCustomDIBX& source,
                  const TRect& srcRect, bool flipV, bool flipH, Kernel&& kernel) {
    const TRect readable = source.ClientRect();
    const int64_t width = dibx::Width64(srcRect), height = dibx::Height64(srcRect);
    std::vector<int32_t> columns;
    int32_t first = 0;
    for (int32_t i = 0; i < plan.area.Width(); ++i) {
        const int64_t px = plan.startX + i * plan.columnX;
        const int64_t u = px >> 16;
        const int64_t sx = flipH ? srcRect.Right - 1 - u : srcRect.Left + u;
        if (px < 0 || u >= width || sx < readable.Left || sx >= readable.Right) {
            if (!columns.empty()) break;
            continue;
        }
        if (columns.empty()) first = i;
        columns.push_back(static_cast<int32_t>(sx));
    }
    if (columns.empty()) return;
    DirectAccess dst(destination);
    DirectAccess src(source);
    const uint8_t* srcBase = src.At(0, 0);
    if (!srcBase) return;
    std::vector<uint32_t> samples(columns.size());
    for (int32_t y = plan.area.Top; y < plan.area.Bottom; ++y) {
        const int64_t py = plan.startY + (y - plan.area.Top) * plan.rowY;
        const int64_t v = py >> 16;
        const int64_t sy = flipV ? srcRect.Bottom - 1 - v : srcRect.Top + v;
        if (py < 0 || v >= height || sy < readable.Top || sy >= readable.Bottom) continue;
        uint32_t* d = dst.Row32(plan.area.Left + first, y);
        if (!d) return;
        Gather(samples.data(), reinterpret_cast<const uint32_t*>(srcBase + sy * src.Pitch()),
               std::span<const int32_t>(columns));
        kernel(d, samples.data(), static_cast<int32_t>(samples.size()));
    }
}

}  // namespace

TRect TCustomDIBX::RotatedBounds(int32_t x, int32_t y, int32_t angle, int32_t pivotY,
                                 int32_t pivotX, const TRect& srcRect, int32_t zoomY,
                                 int32_t zoomX) {
    if (zoomX <= 0 || zoomY <= 0 || srcRect.IsEmpty()) return {};
    return BoundsOf(MakeRotation(angle, zoomY, zoomX), x, y, pivotY, pivotX, srcRect);
}

void TCustomDIBX::DrawRotate(const TRect& clip, int32_t x, int32_t y, int32_t alpha, bool flipV,
                             bool flipH, TColorKey key, int32_t angle, int32_t pivotY,
                             int32_t pivotX, const TRect& srcRect, TCustomDIBX& source,
                             int32_t zoomY, int32_t zoomX) {
    const dibx::AlphaRange range = dibx::ClassifyAlpha(alpha);
    if (range.mode == dibx::AlphaMode::None || BitCount() != 32) return;
    const auto plan =
        PlanRotate(DrawingRect(clip), x, y, angle, pivotY, pivotX, srcRect, zoomY, zoomX);
    if (!plan) return;
    const dibx::Colour32 colour(source, *this, key);
    if (!colour.Valid()) return;
    const uint64_t kernelKey = colour.Key();
    if (plan->columnY == 0 && plan->rowX == 0) {
        const uint32_t w = range.value;
        DrawUnturned(*this, *plan, colour.Surface(), srcRect, flipV, flipH,
                     [&](uint32_t* d, const uint32_t* s, int32_t n) {
                         switch (range.mode) {
                             case dibx::AlphaMode::Copy:
                                 FastRowOps().Copy(d, s, n, 1, kernelKey);
                                 break;
                             case dibx::AlphaMode::Blend:
                                 FastRowOps().Alpha(d, s, n, 1, w, kernelKey);
                                 break;
                             case dibx::AlphaMode::Add:
                                 FastRowOps().Add(d, s, n, 1, w, kernelKey);
                                 break;
                             case dibx::AlphaMode::None:
                                 break;
                         }
                     });
        return;
    }
    auto walk = [&](auto&& op) {
        ForEachRotatedPixel(*this, *plan, colour.Surface(), nullptr, srcRect, flipV, flipH, op);
    };
    dibx::WithPixelOp(range, colour.Key(), walk);
}

void TCustomDIBX::DrawRotateMask(const TRect& clip, int32_t x, int32_t y, int32_t alpha,
                                 TCustomDIBX& mask, bool flipV, bool flipH, int32_t angle,
                                 int32_t pivotY, int32_t pivotX, const TRect& srcRect,
                                 TCustomDIBX& source, int32_t zoomY, int32_t zoomX) {
    const dibx::AlphaRange range = dibx::ClassifyAlpha(alpha);
    TCustomDIBX* m = dibx::AsMask(mask);
    if (range.mode == dibx::AlphaMode::None || !m || BitCount() != 32) return;
    const auto plan =
        PlanRotate(DrawingRect(clip), x, y, angle, pivotY, pivotX, srcRect, zoomY, zoomX);
    if (!plan) return;
    const dibx::Colour32 colour(source, *this);
    if (!colour.Valid()) return;
    auto walk = [&](auto&& op) {
        ForEachRotatedPixel(*this, *plan, colour.Surface(), m, srcRect, flipV, flipH, op);
    };
    dibx::WithMaskPixelOp(range, walk);
}

}  // namespace kivo
