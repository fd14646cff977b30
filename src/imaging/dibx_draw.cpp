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
// mask. Each row's addresses come from PixelAddress; a failed access draws nothing more.
template <typename Pixel, typename Row>
void ForEachBlitRow(TCustomDIBX& destination, TCustomDIBX& source, TCustomDIBX* mask,
                    const BlitPlan& plan, Row&& row) {
    DirectAccess dst(destination);
    DirectAccess src(source);
    std::optional<DirectAccess> msk;
    if (mask) msk.emplace(*mask);
    for (int32_t r = 0; r < plan.height; ++r) {
        const int32_t sy = plan.srcY + r * plan.stepY;
        auto* d = reinterpret_cast<Pixel*>(dst.At(plan.dstX, plan.dstY + r));
        const auto* s = reinterpret_cast<const Pixel*>(src.At(plan.srcX, sy));
        const uint8_t* m = msk ? msk->At(plan.srcX, sy) : nullptr;
        if (!d || !s || (mask && !m)) return;
        row(d, s, m);
    }
}

// An 8-bit alpha mask, or null when the surface cannot serve as one.
// The common road of the 32-bit draws: widen the source, clip, and run a row kernel.
template <typename Kernel>
void BlitColour(TCustomDIBX& destination, int32_t x, int32_t y, bool flipV, bool flipH,
                const TRect& srcRect, TCustomDIBX& source, TCustomDIBX* mask, bool transparent,
                Kernel&& kernel) {
    if (destination.BitCount() != 32) return;
    const dibx::Colour32 colour(source, destination);
    if (!colour.Valid()) return;
    const auto plan = dibx::ClipBlit(destination.DrawingRect(), x, y, srcRect,
                                     dibx::ReadableBounds(colour.Surface(), mask), flipV, flipH);
    if (!plan) return;
    const uint64_t key = colour.Key(transparent);
    ForEachBlitRow<uint32_t>(destination, colour.Surface(), mask, *plan,
                             [&](uint32_t* d, const uint32_t* s, const uint8_t* m) {
                                 kernel(d, s, m, plan->width, plan->stepX, key);
                             });
}

// Copies and additive draws between 8-bit surfaces (masks and glyph coverage).
void Blit8(TCustomDIBX& destination, int32_t x, int32_t y, bool flipV, bool flipH,
           const TRect& srcRect, TCustomDIBX& source, bool keyed, bool add) {
    if (source.BitCount() != 8 || &source == &destination) return;
    const auto plan =
        dibx::ClipBlit(destination.DrawingRect(), x, y, srcRect, source.ClientRect(), flipV, flipH);
    if (!plan) return;
    const uint32_t key = source.TransparentColor;
    const bool useKey = keyed && key <= 0xFF;
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
    Draw(area.Left, area.Top, false, false, false, source.ClientRect(), source);
}

void TCustomDIBX::Draw(int32_t x, int32_t y, bool flipV, bool flipH, bool transparent,
                       const TRect& srcRect, TCustomDIBX& source) {
    if (BitCount() == 8) {
        Blit8(*this, x, y, flipV, flipH, srcRect, source, transparent, false);
        return;
    }
    BlitColour(*this, x, y, flipV, flipH, srcRect, source, nullptr, transparent,
               [](uint32_t* d, const uint32_t* s, const uint8_t*, int32_t n, int32_t step,
                  uint64_t key) { FastRowOps().Copy(d, s, n, step, key); });
}

void TCustomDIBX::DrawMask(int32_t x, int32_t y, TCustomDIBX& mask, bool flipV, bool flipH,
                           const TRect& srcRect, TCustomDIBX& source) {
    TCustomDIBX* m = dibx::AsMask(mask);
    if (!m) return;
    BlitColour(*this, x, y, flipV, flipH, srcRect, source, m, false,
               [](uint32_t* d, const uint32_t* s, const uint8_t* mk, int32_t n, int32_t step,
                  uint64_t) { FastRowOps().Mask(d, s, mk, n, step); });
}

void TCustomDIBX::DrawAlpha(int32_t x, int32_t y, int32_t alpha, bool flipV, bool flipH,
                            bool transparent, const TRect& srcRect, TCustomDIBX& source) {
    // Alphas above 255 blend as 255; there is no additive range here.
    const uint32_t w = dibx::Strength(alpha, 255);
    if (w == 0) return;
    BlitColour(*this, x, y, flipV, flipH, srcRect, source, nullptr, transparent,
               [w](uint32_t* d, const uint32_t* s, const uint8_t*, int32_t n, int32_t step,
                   uint64_t key) { FastRowOps().Alpha(d, s, n, step, w, key); });
}

void TCustomDIBX::DrawMaskAlpha(int32_t x, int32_t y, int32_t alpha, TCustomDIBX& mask, bool flipV,
                                bool flipH, const TRect& srcRect, TCustomDIBX& source) {
    const uint32_t a = dibx::Strength(alpha, 255);
    TCustomDIBX* m = dibx::AsMask(mask);
    if (a == 0 || !m) return;
    BlitColour(*this, x, y, flipV, flipH, srcRect, source, m, false,
               [a](uint32_t* d, const uint32_t* s, const uint8_t* mk, int32_t n, int32_t step,
                   uint64_t) { FastRowOps().MaskAlpha(d, s, mk, n, step, a); });
}

void TCustomDIBX::DrawAdd(int32_t x, int32_t y, int32_t amount, bool flipV, bool flipH,
                          const TRect& srcRect, TCustomDIBX& source) {
    const uint32_t w = dibx::Strength(amount, 256);
    if (w == 0) return;
    if (BitCount() == 8) {
        // Coverage adds as a plain sum; the amount does not scale it.
        Blit8(*this, x, y, flipV, flipH, srcRect, source, true, true);
        return;
    }
    BlitColour(*this, x, y, flipV, flipH, srcRect, source, nullptr, true,
               [w](uint32_t* d, const uint32_t* s, const uint8_t*, int32_t n, int32_t step,
                   uint64_t key) { FastRowOps().Add(d, s, n, step, w, key); });
}

void TCustomDIBX::DrawMaskAdd(int32_t x, int32_t y, int32_t amount, TCustomDIBX& mask, bool flipV,
                              bool flipH, const TRect& srcRect, TCustomDIBX& source) {
    const uint32_t w = dibx::Strength(amount, 256);
    TCustomDIBX* m = dibx::AsMask(mask);
    if (w == 0 || !m) return;
    BlitColour(*this, x, y, flipV, flipH, srcRect, source, m, false,
               [w](uint32_t* d, const uint32_t* s, const uint8_t* mk, int32_t n, int32_t step,
                   uint64_t) { FastRowOps().MaskAdd(d, s, mk, n, step, w); });
}

void TCustomDIBX::FillMask(int32_t x, int32_t y, int32_t alpha, uint32_t pixel, bool flipV,
                           bool flipH, const TRect& srcRect, TCustomDIBX& mask) {
    TCustomDIBX* m = dibx::AsMask(mask);
    if (alpha <= 0 || !m || BitCount() != 32) return;
    // A rectangle that does not lie inside the mask draws nothing rather than being clipped.
    if (srcRect.Left < 0 || srcRect.Top < 0 || srcRect.Right > m->Width() ||
        srcRect.Bottom > m->Height())
        return;
    const auto plan = dibx::ClipBlit(DrawingRect(), x, y, srcRect, m->ClientRect(), flipV, flipH);
    if (!plan) return;
    const auto a = static_cast<uint32_t>(alpha);
    ForEachBlitRow<uint8_t>(*this, *m, nullptr, *plan,
                            [&](uint8_t* d, const uint8_t* mk, const uint8_t*) {
                                FastRowOps().FillMask(reinterpret_cast<uint32_t*>(d), mk,
                                                      plan->width, plan->stepX, pixel, a);
                            });
}

}  // namespace kivo
