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

}  // namespace kivo
