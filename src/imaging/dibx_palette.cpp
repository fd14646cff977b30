// Palette draws of TCustomDIBX: 4-bit and 8-bit index sources mapped through a table of
// native pixels.

#include <algorithm>
#include <array>

#include "imaging/dibx.h"
#include "imaging/dibx_support.h"
#include "imaging/row_ops.h"

namespace kivo {

namespace {

// Calls pixel(dst, index) for every pixel of a clipped draw of a 4-bit or 8-bit source.
template <typename Pixel>
void ForEachIndex(TCustomDIBX& destination, const TRect& clip, int32_t x, int32_t y, bool flipV,
                  bool flipH, const TRect& srcRect, TCustomDIBX& source, Pixel&& pixel) {
    const int bits = source.BitCount();
    const auto plan = dibx::ClipBlit(destination.DrawingRect(clip), x, y, srcRect,
                                     source.ClientRect(), flipV, flipH);
    if (!plan) return;
    dibx::DirectAccess dst(destination);
    dibx::DirectAccess src(source);
    for (int32_t r = 0; r < plan->height; ++r) {
        uint32_t* d = dst.Row32(plan->dstX, plan->dstY + r);
        const uint8_t* s = src.At(0, plan->srcY + r * plan->stepY);
        if (!d || !s) return;
        int32_t sx = plan->srcX;
        for (int32_t i = 0; i < plan->width; ++i, sx += plan->stepX) {
            // A 4-bit row holds the left pixel of each pair in the high nibble.
            const uint32_t index =
                bits == 8 ? s[sx] : (sx & 1 ? s[sx >> 1] & 0xF : s[sx >> 1] >> 4);
            pixel(d[i], index);
        }
    }
}

}  // namespace

void TCustomDIBX::DrawPalette16(const TRect& clip, int32_t x, int32_t y,
                                const std::array<uint32_t, 16>& table, int32_t alpha, bool flipV,
                                bool flipH, TColorKey colorKey, const TRect& srcRect,
                                TCustomDIBX& source) {
    const dibx::AlphaRange range = dibx::ClassifyAlpha(alpha);
    if (range.mode == dibx::AlphaMode::None || BitCount() != 32 || source.BitCount() != 4) return;
    const uint32_t key = colorKey.Pixel();
    const uint32_t w = range.value;
    switch (range.mode) {
        case dibx::AlphaMode::Copy:
            ForEachIndex(*this, clip, x, y, flipV, flipH, srcRect, source,
                         [&](uint32_t& d, uint32_t v) {
                             if (v != key) d = table[v];
                         });
            break;
        case dibx::AlphaMode::Blend:
            ForEachIndex(*this, clip, x, y, flipV, flipH, srcRect, source,
                         [&](uint32_t& d, uint32_t v) {
                             if (v != key && d != table[v]) d = BlendPixel(d, table[v], w);
                         });
            break;
        case dibx::AlphaMode::Add:
            // A destination already white stays as it is.
            ForEachIndex(*this, clip, x, y, flipV, flipH, srcRect, source,
                         [&](uint32_t& d, uint32_t v) {
                             if (v != key && (d & kColorMask) != kColorMask)
                                 d = AddPixel(d, table[v], w);
                         });
            break;
        case dibx::AlphaMode::None:
            break;
    }
}

void TCustomDIBX::DrawPaletteAdd(const TRect& clip, int32_t x, int32_t y,
                                 const std::array<uint32_t, 256>& table, int32_t amount, bool flipV,
                                 bool flipH, int32_t minIndex, const TRect& srcRect,
                                 TCustomDIBX& source) {
    const uint32_t w = dibx::Strength(amount, 256);
    if (w == 0 || BitCount() != 32 || source.BitCount() != 8) return;
    const auto plan =
        dibx::ClipBlit(DrawingRect(clip), x, y, srcRect, source.ClientRect(), flipV, flipH);
    if (!plan) return;
    // The table is scaled by the amount once rather than every pixel.
    std::array<uint32_t, 256> scaled{};
    for (size_t v = 0; v < scaled.size(); ++v)
        scaled[v] = AddPixel(0, table[v], w);
    const RowOps& ops = FastRowOps();
    dibx::DirectAccess dst(*this);
    dibx::DirectAccess src(source);
    for (int32_t r = 0; r < plan->height; ++r) {
        uint32_t* d = dst.Row32(plan->dstX, plan->dstY + r);
        const uint8_t* s = src.At(0, plan->srcY + r * plan->stepY);
        if (!d || !s) return;
        ops.AddIndexed(d, s + plan->srcX, plan->width, plan->stepX, scaled.data(), minIndex);
    }
}

namespace {

// Larger factors would overflow the sample counts; no caller shrinks that far.
constexpr int32_t kMaxReduceFactor = 4096;

// Walks a reduced draw: srcRect shrinks by factor, and every destination pixel inside the
// drawing rectangle gets visit(dx, dy, left, top) with the top-left corner of the factor x
// factor source block it covers, flipped as asked. Blocks may reach outside the source.
template <typename Visit>
void ForEachReducedBlock(const TRect& drawing, int32_t x, int32_t y, int32_t factor, bool flipV,
                         bool flipH, const TRect& srcRect, Visit&& visit) {
    const int64_t width = dibx::Width64(srcRect) / factor;
    const int64_t height = dibx::Height64(srcRect) / factor;
    if (width <= 0 || height <= 0) return;
    const TRect area =
        Intersect(drawing, {dibx::ClampToInt32(x), dibx::ClampToInt32(y),
                            dibx::ClampToInt32(x + width), dibx::ClampToInt32(y + height)});
    if (area.IsEmpty()) return;
    for (int32_t dy = area.Top; dy < area.Bottom; ++dy) {
        const int64_t row = dy - int64_t{y};
        const int64_t top = srcRect.Top + (flipV ? height - 1 - row : row) * factor;
        for (int32_t dx = area.Left; dx < area.Right; ++dx) {
            const int64_t col = dx - int64_t{x};
            visit(dx, dy, srcRect.Left + (flipH ? width - 1 - col : col) * factor, top);
        }
    }
}

// Calls sample(value) for each pixel of the factor x factor block at (left, top) that lies
// inside the source.
template <typename Sample>
void ForEachSample(TCustomDIBX& source, int64_t left, int64_t top, int32_t factor,
                   Sample&& sample) {
    const int64_t bottom = std::min<int64_t>(top + factor, source.Height());
    const int64_t right = std::min<int64_t>(left + factor, source.Width());
    for (int64_t sy = std::max<int64_t>(top, 0); sy < bottom; ++sy) {
        for (int64_t sx = std::max<int64_t>(left, 0); sx < right; ++sx)
            sample(source.GetPixel(static_cast<int32_t>(sx), static_cast<int32_t>(sy)));
    }
}

// The channel masks of a destination, all zero when it has no colour channels.
std::array<uint32_t, 3> ChannelMasks(const TCustomDIBX& surface) {
    return {surface.RedMask(), surface.GreenMask(), surface.BlueMask()};
}

// Per channel: (sum of weights[i] x pixels[i] + d x the samples left) / samples, or with add
// set, d plus the weighted pixels alone, saturating.
template <size_t N>
uint32_t MixByCounts(const std::array<uint32_t, 3>& masks, uint32_t d,
                     const std::array<uint32_t, N>& pixels, const std::array<int64_t, N>& weights,
                     int64_t samples, bool add) {
    int64_t covered = 0;
    for (const int64_t w : weights)
        covered += w;
    uint32_t out = 0;
    for (const uint32_t m : masks) {
        uint64_t mixed = 0;
        for (size_t i = 0; i < N; ++i)
            mixed += uint64_t{pixels[i] & m} * static_cast<uint64_t>(weights[i]);
        if (add) {
            mixed = std::min<uint64_t>(uint64_t{d & m} + mixed / static_cast<uint64_t>(samples), m);
        } else {
            mixed = (mixed + uint64_t{d & m} * static_cast<uint64_t>(samples - covered)) /
                    static_cast<uint64_t>(samples);
        }
        out |= static_cast<uint32_t>(mixed) & m;
    }
    return out;
}

}  // namespace

void TCustomDIBX::DrawMonoReduced(const TRect& clip, int32_t x, int32_t y, int32_t factor,
                                  int32_t alpha, bool flipV, bool flipH, uint32_t pixel,
                                  const TRect& srcRect, TCustomDIBX& source) {
    if (factor < 1 || factor > kMaxReduceFactor || alpha <= 0 || source.BitCount() != 1) return;
    const auto masks = ChannelMasks(*this);
    if ((masks[0] | masks[1] | masks[2]) == 0) return;
    const int64_t samples = int64_t{factor} * factor;
    ForEachReducedBlock(
        DrawingRect(clip), x, y, factor, flipV, flipH, srcRect,
        [&](int32_t dx, int32_t dy, int64_t left, int64_t top) {
            int64_t covered = 0;
            ForEachSample(source, left, top, factor, [&](uint32_t bit) { covered += bit == 0; });
            if (alpha < 255) covered = (alpha * covered) >> 8;
            if (covered == 0) return;
            SetPixel(dx, dy,
                     MixByCounts<1>(masks, GetPixel(dx, dy), {pixel}, {covered}, samples, false));
        });
}

void TCustomDIBX::DrawQuadReduced(const TRect& clip, int32_t x, int32_t y, int32_t factor,
                                  int32_t alpha, bool flipV, bool flipH,
                                  const std::array<uint32_t, 4>& pixels, const TRect& srcRect,
                                  TCustomDIBX& source) {
    if (factor < 1 || factor > kMaxReduceFactor || alpha <= 0 || source.BitCount() != 2) return;
    const auto masks = ChannelMasks(*this);
    if ((masks[0] | masks[1] | masks[2]) == 0) return;
    const int64_t samples = int64_t{factor} * factor;
    // Alpha 256 and above adds the mix; the amount above 255 does not scale it further.
    const bool add = alpha > 255;
    ForEachReducedBlock(
        DrawingRect(clip), x, y, factor, flipV, flipH, srcRect,
        [&](int32_t dx, int32_t dy, int64_t left, int64_t top) {
            std::array<int64_t, 4> counts{};
            ForEachSample(source, left, top, factor, [&](uint32_t code) { ++counts[code & 3]; });
            if (alpha < 255) {
                for (int64_t& c : counts)
                    c = (alpha * c) >> 8;
            }
            if (counts == std::array<int64_t, 4>{}) return;
            SetPixel(dx, dy, MixByCounts(masks, GetPixel(dx, dy), pixels, counts, samples, add));
        });
}

}  // namespace kivo
