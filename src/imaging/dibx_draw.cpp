// Unscaled draws of TCustomDIBX: copies, constant alpha, masks, additive draws and FillMask.

#include <algorithm>

#include "imaging/dibx.h"
#include "imaging/dibx_support.h"
#include "imaging/row_ops.h"

namespace kivo {

namespace {

using dibx::BlitPlan;
using dibx::DirectAccess;

// Calls row(dst, src, mask) for every row of a clipped draw; mask rows are null without a
// mask. Rows of memory surfaces are walked by their pitch; the rows of any other surface come
// from PixelAddress one by one, and a failed access draws nothing more.
template <typename Pixel, typename Row>
void ForEachBlitRow(TCustomDIBX& destination, TCustomDIBX& source, TCustomDIBX* mask,
                    const BlitPlan& plan, Row&& row) {
    DirectAccess dst(destination);
    DirectAccess src(source);
    std::optional<DirectAccess> msk;
    if (mask) msk.emplace(*mask);
    const auto dstRows = dibx::EvenRows(dst, plan.dstX, plan.dstY, 1, plan.height);
    const auto srcRows = dibx::EvenRows(src, plan.srcX, plan.srcY, plan.stepY, plan.height);
    const auto mskRows = msk ? dibx::EvenRows(*msk, plan.srcX, plan.srcY, plan.stepY, plan.height)
                             : std::optional<dibx::RowWalk>(dibx::RowWalk{});
    if (dstRows && srcRows && mskRows) {
        uint8_t* d = dstRows->first;
        const uint8_t* s = srcRows->first;
        const uint8_t* m = mskRows->first;
        for (int32_t r = 0; r < plan.height; ++r) {
            row(reinterpret_cast<Pixel*>(d), reinterpret_cast<const Pixel*>(s), m);
            d += dstRows->stride;
            s += srcRows->stride;
            if (m) m += mskRows->stride;
        }
        return;
    }
    for (int32_t r = 0; r < plan.height; ++r) {
        const int32_t sy = plan.srcY + r * plan.stepY;
        auto* d = reinterpret_cast<Pixel*>(dst.At(plan.dstX, plan.dstY + r));
        const auto* s = reinterpret_cast<const Pixel*>(src.At(plan.srcX, sy));
        const uint8_t* m = msk ? msk->At(plan.srcX, sy) : nullptr;
        if (!d || !s || (mask && !m)) return;
        row(d, s, m);
    }
}

// The common road of the 32-bit draws: widen the source, clip, and run a row kernel.
template <typename Kernel>
void BlitColour(TCustomDIBX& destination, const TRect& clip, int32_t x, int32_t y, bool flipV,
                bool flipH, const TRect& srcRect, TCustomDIBX& source, TCustomDIBX* mask,
                TColorKey drawKey, Kernel&& kernel) {
    if (destination.BitCount() != 32) return;
    const dibx::Colour32 colour(source, destination, drawKey);
    if (!colour.Valid()) return;
    const auto plan = dibx::ClipBlit(destination.DrawingRect(clip), x, y, srcRect,
                                     dibx::ReadableBounds(colour.Surface(), mask), flipV, flipH);
    if (!plan) return;
    const uint64_t key = colour.Key();
    const RowOps& ops = FastRowOps();
    ForEachBlitRow<uint32_t>(destination, colour.Surface(), mask, *plan,
                             [&](uint32_t* d, const uint32_t* s, const uint8_t* m) {
                                 kernel(ops, d, s, m, plan->width, plan->stepX, key);
                             });
}

// Copies and additive draws between 8-bit surfaces (masks and glyph coverage).
void Blit8(TCustomDIBX& destination, const TRect& clip, int32_t x, int32_t y, bool flipV,
           bool flipH, const TRect& srcRect, TCustomDIBX& source, TColorKey keyed, bool add) {
    if (source.BitCount() != 8 || &source == &destination) return;
    const auto plan = dibx::ClipBlit(destination.DrawingRect(clip), x, y, srcRect,
                                     source.ClientRect(), flipV, flipH);
    if (!plan) return;
    const uint32_t key = keyed.Pixel();
    const bool useKey = key <= 0xFF;
    ForEachBlitRow<uint8_t>(
        destination, source, nullptr, *plan, [&](uint8_t* d, const uint8_t* s, const uint8_t*) {
            for (int32_t i = 0; i < plan->width; ++i, s += plan->stepX) {
                if (useKey && *s == key) continue;
                d[i] = add ? static_cast<uint8_t>(std::min(d[i] + *s, 255)) : *s;
            }
        });
}

}  // namespace

void TCustomDIBX::Assign(TCustomDIBX& source) {
    const TRect area = ClientRect();
    Draw(area, area.Left, area.Top, false, false, TColorKey{}, source.ClientRect(), source);
}

void TCustomDIBX::Draw(const TRect& clip, int32_t x, int32_t y, bool flipV, bool flipH,
                       TColorKey key, const TRect& srcRect, TCustomDIBX& source) {
    if (BitCount() == 8) {
        Blit8(*this, clip, x, y, flipV, flipH, srcRect, source, key, false);
        return;
    }
    BlitColour(*this, clip, x, y, flipV, flipH, srcRect, source, nullptr, key,
               [](const RowOps& ops, uint32_t* d, const uint32_t* s, const uint8_t*, int32_t n,
                  int32_t step, uint64_t k) {
                   if (k == kNoKey && step == 1) {
                       dibx::CopyForwardRow(ops, d, s, n);
                   } else {
                       ops.Copy(d, s, n, step, k);
                   }
               });
}

void TCustomDIBX::DrawMask(const TRect& clip, int32_t x, int32_t y, TCustomDIBX& mask, bool flipV,
                           bool flipH, const TRect& srcRect, TCustomDIBX& source) {
    TCustomDIBX* m = dibx::AsMask(mask);
    if (!m) return;
    BlitColour(*this, clip, x, y, flipV, flipH, srcRect, source, m, TColorKey{},
               [](const RowOps& ops, uint32_t* d, const uint32_t* s, const uint8_t* mk, int32_t n,
                  int32_t step, uint64_t) { ops.Mask(d, s, mk, n, step); });
}

void TCustomDIBX::DrawAlpha(const TRect& clip, int32_t x, int32_t y, int32_t alpha, bool flipV,
                            bool flipH, TColorKey key, const TRect& srcRect, TCustomDIBX& source) {
    // Alphas above 255 blend as 255; there is no additive range here.
    const uint32_t w = dibx::Strength(alpha, 255);
    if (w == 0) return;
    BlitColour(*this, clip, x, y, flipV, flipH, srcRect, source, nullptr, key,
               [w](const RowOps& ops, uint32_t* d, const uint32_t* s, const uint8_t*, int32_t n,
                   int32_t step, uint64_t k) { ops.Alpha(d, s, n, step, w, k); });
}

void TCustomDIBX::DrawMaskAlpha(const TRect& clip, int32_t x, int32_t y, int32_t alpha,
                                TCustomDIBX& mask, bool flipV, bool flipH, const TRect& srcRect,
                                TCustomDIBX& source) {
    const uint32_t a = dibx::Strength(alpha, 255);
    TCustomDIBX* m = dibx::AsMask(mask);
    if (a == 0 || !m) return;
    BlitColour(*this, clip, x, y, flipV, flipH, srcRect, source, m, TColorKey{},
               [a](const RowOps& ops, uint32_t* d, const uint32_t* s, const uint8_t* mk, int32_t n,
                   int32_t step, uint64_t) { ops.MaskAlpha(d, s, mk, n, step, a); });
}

void TCustomDIBX::DrawAdd(const TRect& clip, int32_t x, int32_t y, int32_t amount, bool flipV,
                          bool flipH, TColorKey key, const TRect& srcRect, TCustomDIBX& source) {
    const uint32_t w = dibx::Strength(amount, 256);
    if (w == 0) return;
    if (BitCount() == 8) {
        // Coverage adds as a plain sum; the amount does not scale it.
        Blit8(*this, clip, x, y, flipV, flipH, srcRect, source, key, true);
        return;
    }
    BlitColour(*this, clip, x, y, flipV, flipH, srcRect, source, nullptr, key,
               [w](const RowOps& ops, uint32_t* d, const uint32_t* s, const uint8_t*, int32_t n,
                   int32_t step, uint64_t k) { ops.Add(d, s, n, step, w, k); });
}

void TCustomDIBX::DrawMaskAdd(const TRect& clip, int32_t x, int32_t y, int32_t amount,
                              TCustomDIBX& mask, bool flipV, bool flipH, const TRect& srcRect,
                              TCustomDIBX& source) {
    const uint32_t w = dibx::Strength(amount, 256);
    TCustomDIBX* m = dibx::AsMask(mask);
    if (w == 0 || !m) return;
    BlitColour(*this, clip, x, y, flipV, flipH, srcRect, source, m, TColorKey{},
               [w](const RowOps& ops, uint32_t* d, const uint32_t* s, const uint8_t* mk, int32_t n,
                   int32_t step, uint64_t) { ops.MaskAdd(d, s, mk, n, step, w); });
}

void TCustomDIBX::FillMask(const TRect& clip, int32_t x, int32_t y, int32_t alpha, uint32_t pixel,
                           bool flipV, bool flipH, const TRect& srcRect, TCustomDIBX& mask) {
    TCustomDIBX* m = dibx::AsMask(mask);
    if (alpha <= 0 || !m || BitCount() != 32) return;
    // A rectangle that does not lie inside the mask draws nothing rather than being clipped.
    if (srcRect.Left < 0 || srcRect.Top < 0 || srcRect.Right > m->Width() ||
        srcRect.Bottom > m->Height())
        return;
    const auto plan =
        dibx::ClipBlit(DrawingRect(clip), x, y, srcRect, m->ClientRect(), flipV, flipH);
    if (!plan) return;
    const auto a = static_cast<uint32_t>(alpha);
    const RowOps& ops = FastRowOps();
    ForEachBlitRow<uint8_t>(
        *this, *m, nullptr, *plan, [&](uint8_t* d, const uint8_t* mk, const uint8_t*) {
            ops.FillMask(reinterpret_cast<uint32_t*>(d), mk, plan->width, plan->stepX, pixel, a);
        });
}

}  // namespace kivo
