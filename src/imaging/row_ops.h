#pragma once
// The pixel arithmetic of the 32-bit raster surfaces and the row kernels built on it.
//
// Pixels are native 32-bit values B, G, R, X (0x00RRGGBB when read little-endian). Every blend
// works on the three channels in place, each masked by its channel mask, and ORs them, so a
// blended or added pixel always has a zero fourth byte while a copied one keeps the source's.
// The weights of a blend add up to 255 and the sum is shifted by 8 rather than divided by 255:
// full weight leaves channel 255 at 254. Images that must stay exact are drawn with copies.
//
// The row kernels exist as a plain scalar set and SIMD sets (SSE2, and AVX2 chosen at run time)
// that give the same bytes; the surfaces use FastRowOps() and the tests hold every set the
// processor can run against the scalar one.

#include <cstdint>

namespace kivo {

inline constexpr uint32_t kRedBlueMask = 0x00FF00FF;
inline constexpr uint32_t kGreenMask = 0x0000FF00;
inline constexpr uint32_t kColorMask = 0x00FFFFFF;

// Weighted mix of source s into destination d with weight w in 0..255.
[[nodiscard]] constexpr uint32_t BlendPixel(uint32_t d, uint32_t s, uint32_t w) {
    const uint32_t inverse = 255 - w;
    const uint32_t rb =
        (((d & kRedBlueMask) * inverse + (s & kRedBlueMask) * w) >> 8) & kRedBlueMask;
    const uint32_t g = (((d & kGreenMask) * inverse + (s & kGreenMask) * w) >> 8) & kGreenMask;
    return rb | g;
}

// Adds the source scaled by amount/256 (amount 0..256) to d, each channel limited to 255.
[[nodiscard]] constexpr uint32_t AddPixel(uint32_t d, uint32_t s, uint32_t amount) {
    const uint32_t srb = (((s & kRedBlueMask) * amount) >> 8) & kRedBlueMask;
    const uint32_t sg = (((s & kGreenMask) * amount) >> 8) & kGreenMask;
    uint32_t r = (d & 0xFF0000) + (srb & 0xFF0000);
    uint32_t g = (d & 0xFF00) + sg;
    uint32_t b = (d & 0xFF) + (srb & 0xFF);
    if (r > 0xFF0000) r = 0xFF0000;
    if (g > 0xFF00) g = 0xFF00;
    if (b > 0xFF) b = 0xFF;
    return r | g | b;
}

// Plain channel-wise sum, each channel limited to 255 (the fills' add).
[[nodiscard]] constexpr uint32_t AddSaturate(uint32_t d, uint32_t s) {
    return AddPixel(d, s, 256);
}

// Channel-wise difference with a floor of 0 (the fills' subtract).
[[nodiscard]] constexpr uint32_t SubSaturate(uint32_t d, uint32_t s) {
    const uint32_t r = (d & 0xFF0000) > (s & 0xFF0000) ? (d & 0xFF0000) - (s & 0xFF0000) : 0;
    const uint32_t g = (d & 0xFF00) > (s & 0xFF00) ? (d & 0xFF00) - (s & 0xFF00) : 0;
    const uint32_t b = (d & 0xFF) > (s & 0xFF) ? (d & 0xFF) - (s & 0xFF) : 0;
    return r | g | b;
}

// The weight of a masked blend with a constant alpha below 255: mask 255 stands for full
// coverage and gives the alpha itself, anything else scales it down by the >> 8 product.
[[nodiscard]] constexpr uint32_t MaskAlphaWeight(uint32_t alpha, uint32_t m) {
    return m == 255 ? alpha : (alpha * m) >> 8;
}

// A colour key as the kernels take it: a 32-bit pixel value, or kNoKey when nothing is skipped.
inline constexpr uint64_t kNoKey = uint64_t{1} << 32;

// Row kernels over count pixels. The destination runs left to right; the source (and a mask,
// which is aligned with the source) is read from src going by step, +1 or -1, so that a
// flipped draw passes a pointer to the rightmost source pixel and step -1. The callers have
// applied the "draws nothing" rules (alpha 0, empty rows); weights here are 1..255 unless said.
struct RowOps {
    // Copy; keyed pixels (src == key) are skipped.
    void (*Copy)(uint32_t* dst, const uint32_t* src, int32_t count, int32_t step, uint64_t key);
    // Constant-weight blend; pixels equal to the key or to the destination are skipped.
    void (*Alpha)(uint32_t* dst, const uint32_t* src, int32_t count, int32_t step, uint32_t weight,
                  uint64_t key);
    // Mask blend: m 0 skips, 255 copies, a source equal to the destination is skipped, else
    // blend with weight m.
    void (*Mask)(uint32_t* dst, const uint32_t* src, const uint8_t* mask, int32_t count,
                 int32_t step);
    // Mask times a constant alpha (1..255): m 0 skips, a source equal to the destination is
    // skipped, weight MaskAlphaWeight(alpha, m) and weight 0 skips.
    void (*MaskAlpha)(uint32_t* dst, const uint32_t* src, const uint8_t* mask, int32_t count,
                      int32_t step, uint32_t alpha);
    // Additive with amount 1..256; keyed pixels are skipped.
    void (*Add)(uint32_t* dst, const uint32_t* src, int32_t count, int32_t step, uint32_t amount,
                uint64_t key);
    // Additive through a mask: m 0 skips, weight MaskAlphaWeight(amount, m) (amount 1..256).
    void (*MaskAdd)(uint32_t* dst, const uint32_t* src, const uint8_t* mask, int32_t count,
                    int32_t step, uint32_t amount);
    void (*Fill)(uint32_t* dst, int32_t count, uint32_t pixel);
    // Blend of a colour with weight 1..255; pixels already equal to the colour are left alone.
    void (*FillAlpha)(uint32_t* dst, int32_t count, uint32_t pixel, uint32_t weight);
    void (*FillAdd)(uint32_t* dst, int32_t count, uint32_t pixel);
    void (*FillSub)(uint32_t* dst, int32_t count, uint32_t pixel);
    // A colour through a mask read by step: m 0 skips, a destination equal to the colour is
    // skipped; alpha 255 or more blends with weight m, lower alphas with MaskAlphaWeight and
    // weight 0 skips.
    void (*FillMask)(uint32_t* dst, const uint8_t* mask, int32_t count, int32_t step,
                     uint32_t pixel, uint32_t alpha);

    // Kernels of the transitions, which mix two pictures into a third row, all read forward.
    // The destination may be one of the two pictures.
    // A picture drawn over another with weight 1..255 (a copy of from with to drawn by
    // Alpha): pixels where to equals from stay from, others blend.
    void (*Mix)(uint32_t* dst, const uint32_t* from, const uint32_t* to, int32_t count,
                uint32_t weight);
    // Mask composition: m 0 takes from, 255 takes to, anything else blends with weight m,
    // also where the two pictures agree.
    void (*MaskMix)(uint32_t* dst, const uint32_t* from, const uint32_t* to, const uint8_t* mask,
                    int32_t count);
    // Hard mask composition: to where m is not 0, else from.
    void (*MaskSelect)(uint32_t* dst, const uint32_t* from, const uint32_t* to, const uint8_t* mask,
                       int32_t count);
    // A copy of src with a colour added (subtracted) per channel, saturating.
    void (*CopyAdd)(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t pixel);
    void (*CopySub)(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t pixel);
    // A ramp through white (black when subtract) driven by a level per pixel: k = level +
    // offset; below 0 takes from, 0..255 is from plus (minus) grey k, 256..511 to plus
    // (minus) grey 511 - k, above 511 takes to.
    void (*RampTint)(uint32_t* dst, const uint32_t* from, const uint32_t* to, const uint16_t* level,
                     int32_t count, int32_t offset, bool subtract);
    // Bytes (mask values) moved by amount, limited to 0..255.
    void (*ShiftBytes)(uint8_t* dst, const uint8_t* src, int32_t count, int32_t amount);

    // 8-bit indices read by step, each at or above minIndex adding its table entry at full
    // amount (the palette draws scale their table once instead of every pixel).
    void (*AddIndexed)(uint32_t* dst, const uint8_t* index, int32_t count, int32_t step,
                       const uint32_t* table, int32_t minIndex);
};

// The plain formulas, one pixel at a time.
[[nodiscard]] const RowOps& ScalarRowOps();
// The fastest set this build and processor have (AVX2 or SSE2 on x86-64), equal to the scalar
// set byte for byte. Chosen once, on the first call.
[[nodiscard]] const RowOps& FastRowOps();
// The single SIMD sets, null when the build or the processor lacks them (for the tests and
// benchmarks, which hold each against the scalar set). The AVX2 set has AVX2 kernels where they
// pay and the SSE2 kernels elsewhere.
[[nodiscard]] const RowOps* Sse2RowOps();
[[nodiscard]] const RowOps* Avx2RowOps();

}  // namespace kivo
