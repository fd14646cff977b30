// Palette draws of TCustomDIBX: 4-bit and 8-bit index sources mapped through a table of
// native pixels.

#include "imaging/dibx.h"
#include "imaging/dibx_support.h"
#include "imaging/row_ops.h"

namespace kivo {

namespace {

// Calls pixel(dst, index) for every pixel of a clipped draw of a 4-bit or 8-bit source.
template <typename Pixel>
void ForEachIndex(TCustomDIBX& destination, int32_t x, int32_t y, bool flipV, bool flipH,
                  const TRect& srcRect, TCustomDIBX& source, Pixel&& pixel) {
    const int bits = source.BitCount();
    const auto plan =
        dibx::ClipBlit(destination.DrawingRect(), x, y, srcRect, source.ClientRect(), flipV, flipH);
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

void TCustomDIBX::DrawPalette16(int32_t x, int32_t y, const std::array<uint32_t, 16>& table,
                                int32_t alpha, bool flipV, bool flipH, const TRect& srcRect,
                                TCustomDIBX& source) {
    const dibx::AlphaRange range = dibx::ClassifyAlpha(alpha);
    if (range.mode == dibx::AlphaMode::None || BitCount() != 32 || source.BitCount() != 4) return;
    const uint32_t key = source.TransparentColor;
    const uint32_t w = range.value;
    switch (range.mode) {
        case dibx::AlphaMode::Copy:
            ForEachIndex(*this, x, y, flipV, flipH, srcRect, source, [&](uint32_t& d, uint32_t v) {
                if (v != key) d = table[v];
            });
            break;
        case dibx::AlphaMode::Blend:
            ForEachIndex(*this, x, y, flipV, flipH, srcRect, source, [&](uint32_t& d, uint32_t v) {
                if (v != key && d != table[v]) d = BlendPixel(d, table[v], w);
            });
            break;
        case dibx::AlphaMode::Add:
            // A destination already white stays as it is.
            ForEachIndex(*this, x, y, flipV, flipH, srcRect, source, [&](uint32_t& d, uint32_t v) {
                if (v != key && (d & kColorMask) != kColorMask) d = AddPixel(d, table[v], w);
            });
            break;
        case dibx::AlphaMode::None:
            break;
    }
}

void TCustomDIBX::DrawPaletteAdd(int32_t x, int32_t y, const std::array<uint32_t, 256>& table,
                                 int32_t amount, bool flipV, bool flipH, int32_t minIndex,
                                 const TRect& srcRect, TCustomDIBX& source) {
    const uint32_t w = dibx::Strength(amount, 256);
    if (w == 0 || BitCount() != 32 || source.BitCount() != 8) return;
    ForEachIndex(*this, x, y, flipV, flipH, srcRect, source, [&](uint32_t& d, uint32_t v) {
        if (static_cast<int32_t>(v) >= minIndex) d = AddPixel(d, table[v], w);
    });
}

void TCustomDIBX::DrawMonoReduced(int32_t x, int32_t y, int32_t factor, int32_t alpha, bool flipV,
                                  bool flipH, uint32_t pixel, const TRect& srcRect,
                                  TCustomDIBX& source) {
    // Larger factors would overflow the sample count; no caller shrinks that far.
    constexpr int32_t kMaxFactor = 4096;
    if (factor < 1 || factor > kMaxFactor || alpha <= 0 || source.BitCount() != 1) return;
    const uint32_t masks[3] = {RedMask(), GreenMask(), BlueMask()};
    if ((masks[0] | masks[1] | masks[2]) == 0) return;
    const int64_t width = dibx::Width64(srcRect) / factor;
    const int64_t height = dibx::Height64(srcRect) / factor;
    if (width <= 0 || height <= 0) return;
    const TRect area =
        Intersect(DrawingRect(), {dibx::ClampToInt32(x), dibx::ClampToInt32(y),
                                  dibx::ClampToInt32(x + width), dibx::ClampToInt32(y + height)});
    if (area.IsEmpty()) return;
    const int64_t samples = int64_t{factor} * factor;
    for (int32_t dy = area.Top; dy < area.Bottom; ++dy) {
        const int64_t row = dy - int64_t{y};
        const int64_t top = srcRect.Top + (flipV ? height - 1 - row : row) * factor;
        for (int32_t dx = area.Left; dx < area.Right; ++dx) {
            const int64_t col = dx - int64_t{x};
            const int64_t left = srcRect.Left + (flipH ? width - 1 - col : col) * factor;
            int64_t covered = 0;
            for (int64_t sy = top; sy < top + factor; ++sy) {
                if (sy < 0 || sy >= source.Height()) continue;
                for (int64_t sx = left; sx < left + factor; ++sx) {
                    if (sx < 0 || sx >= source.Width()) continue;
                    if (source.GetPixel(static_cast<int32_t>(sx), static_cast<int32_t>(sy)) == 0) {
                        ++covered;
                    }
                }
            }
            if (alpha < 255) covered = (alpha * covered) >> 8;
            if (covered == 0) continue;
            const uint32_t d = GetPixel(dx, dy);
            uint32_t out = 0;
            for (const uint32_t m : masks) {
                const uint64_t mixed =
                    (uint64_t{pixel & m} * static_cast<uint64_t>(covered) +
                     uint64_t{d & m} * static_cast<uint64_t>(samples - covered)) /
                    static_cast<uint64_t>(samples);
                out |= static_cast<uint32_t>(mixed) & m;
            }
            SetPixel(dx, dy, out);
        }
    }
}

}  // namespace kivo
