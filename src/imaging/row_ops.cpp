#include "imaging/row_ops.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define KIVO_ROW_OPS_AVX2 1
// The AVX2 kernels are compiled for AVX2 alone and only run when the processor has it.
#define KIVO_AVX2 __attribute__((target("avx2")))
#endif

namespace kivo {
namespace {

// ---- Scalar kernels: the formulas exactly as stated, one pixel at a time. ----

void CopyScalar(uint32_t* dst, const uint32_t* src, int32_t count, int32_t step, uint64_t key) {
    if (key == kNoKey && step == 1) {
        std::memcpy(dst, src, static_cast<size_t>(count) * 4);
        return;
    }
    for (int32_t i = 0; i < count; ++i, src += step) {
        if (*src != key) dst[i] = *src;
    }
}

void AlphaScalar(uint32_t* dst, const uint32_t* src, int32_t count, int32_t step, uint32_t weight,
                 uint64_t key) {
    for (int32_t i = 0; i < count; ++i, src += step) {
        const uint32_t s = *src;
        if (s != key && s != dst[i]) dst[i] = BlendPixel(dst[i], s, weight);
    }
}

void MaskScalar(uint32_t* dst, const uint32_t* src, const uint8_t* mask, int32_t count,
                int32_t step) {
    for (int32_t i = 0; i < count; ++i, src += step, mask += step) {
        const uint32_t m = *mask;
        if (m == 0) continue;
        if (m == 255) {
            dst[i] = *src;
        } else if (*src != dst[i]) {
            dst[i] = BlendPixel(dst[i], *src, m);
        }
    }
}

void MaskAlphaScalar(uint32_t* dst, const uint32_t* src, const uint8_t* mask, int32_t count,
                     int32_t step, uint32_t alpha) {
    for (int32_t i = 0; i < count; ++i, src += step, mask += step) {
        const uint32_t w = MaskAlphaWeight(alpha, *mask);
        if (w != 0 && *src != dst[i]) dst[i] = BlendPixel(dst[i], *src, w);
    }
}

void AddScalar(uint32_t* dst, const uint32_t* src, int32_t count, int32_t step, uint32_t amount,
               uint64_t key) {
    for (int32_t i = 0; i < count; ++i, src += step) {
        if (*src != key) dst[i] = AddPixel(dst[i], *src, amount);
    }
}

void MaskAddScalar(uint32_t* dst, const uint32_t* src, const uint8_t* mask, int32_t count,
                   int32_t step, uint32_t amount) {
    for (int32_t i = 0; i < count; ++i, src += step, mask += step) {
        if (*mask != 0) dst[i] = AddPixel(dst[i], *src, MaskAlphaWeight(amount, *mask));
    }
}

void FillScalar(uint32_t* dst, int32_t count, uint32_t pixel) {
    std::fill_n(dst, count, pixel);
}

void FillAlphaScalar(uint32_t* dst, int32_t count, uint32_t pixel, uint32_t weight) {
    for (int32_t i = 0; i < count; ++i) {
        if (dst[i] != pixel) dst[i] = BlendPixel(dst[i], pixel, weight);
    }
}

void FillAddScalar(uint32_t* dst, int32_t count, uint32_t pixel) {
    for (int32_t i = 0; i < count; ++i)
        dst[i] = AddSaturate(dst[i], pixel);
}

void FillSubScalar(uint32_t* dst, int32_t count, uint32_t pixel) {
    for (int32_t i = 0; i < count; ++i)
        dst[i] = SubSaturate(dst[i], pixel);
}

// The weight FillMask uses for mask value m; 0 means the pixel is left alone.
constexpr uint32_t FillMaskWeight(uint32_t alpha, uint32_t m) {
    return alpha >= 255 ? m : MaskAlphaWeight(alpha, m);
}

void FillMaskScalar(uint32_t* dst, const uint8_t* mask, int32_t count, int32_t step, uint32_t pixel,
                    uint32_t alpha) {
    for (int32_t i = 0; i < count; ++i, mask += step) {
        const uint32_t w = FillMaskWeight(alpha, *mask);
        if (w != 0 && dst[i] != pixel) dst[i] = BlendPixel(dst[i], pixel, w);
    }
}

void MixScalar(uint32_t* dst, const uint32_t* from, const uint32_t* to, int32_t count,
               uint32_t weight) {
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t f = from[i], t = to[i];
        dst[i] = t == f ? f : BlendPixel(f, t, weight);
    }
}

void MaskMixScalar(uint32_t* dst, const uint32_t* from, const uint32_t* to, const uint8_t* mask,
                   int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t m = mask[i];
        dst[i] = m == 0 ? from[i] : m == 255 ? to[i] : BlendPixel(from[i], to[i], m);
    }
}

void MaskSelectScalar(uint32_t* dst, const uint32_t* from, const uint32_t* to, const uint8_t* mask,
                      int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        dst[i] = mask[i] != 0 ? to[i] : from[i];
}

void CopyAddScalar(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t pixel) {
    for (int32_t i = 0; i < count; ++i)
        dst[i] = AddSaturate(src[i], pixel);
}

void CopySubScalar(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t pixel) {
    for (int32_t i = 0; i < count; ++i)
        dst[i] = SubSaturate(src[i], pixel);
}

void RampTintScalar(uint32_t* dst, const uint32_t* from, const uint32_t* to, const uint16_t* level,
                    int32_t count, int32_t offset, bool subtract) {
    for (int32_t i = 0; i < count; ++i) {
        const int32_t k = level[i] + offset;
        if (k < 0) {
            dst[i] = from[i];
        } else if (k > 511) {
            dst[i] = to[i];
        } else {
            const bool second = k > 255;
            const uint32_t grey = static_cast<uint32_t>(second ? 511 - k : k) * 0x010101u;
            const uint32_t p = second ? to[i] : from[i];
            dst[i] = subtract ? SubSaturate(p, grey) : AddSaturate(p, grey);
        }
    }
}

void ShiftBytesScalar(uint8_t* dst, const uint8_t* src, int32_t count, int32_t amount) {
    for (int32_t i = 0; i < count; ++i)
        dst[i] = static_cast<uint8_t>(std::clamp(src[i] + amount, 0, 255));
}

void AddIndexedScalar(uint32_t* dst, const uint8_t* index, int32_t count, int32_t step,
                      const uint32_t* table, int32_t minIndex) {
    for (int32_t i = 0; i < count; ++i, index += step) {
        if (*index >= minIndex) dst[i] = AddSaturate(dst[i], table[*index]);
    }
}

constexpr RowOps kScalarOps{CopyScalar,     AlphaScalar,      MaskScalar,      MaskAlphaScalar,
                            AddScalar,      MaskAddScalar,    FillScalar,      FillAlphaScalar,
                            FillAddScalar,  FillSubScalar,    FillMaskScalar,  MixScalar,
                            MaskMixScalar,  MaskSelectScalar, CopyAddScalar,   CopySubScalar,
                            RampTintScalar, ShiftBytesScalar, AddIndexedScalar};

#if defined(__SSE2__)

// ---- SSE2 kernels: four pixels per step, the scalar kernels finish the tail. ----

// Four source pixels in destination order: a backward step loads the four below and reverses.
template <int Step>
__m128i Load4(const uint32_t* src) {
    if constexpr (Step == 1) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    } else {
        return _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src - 3)),
                                 _MM_SHUFFLE(0, 1, 2, 3));
    }
}

// Four mask bytes in destination order, the first in the lowest byte.
template <int Step>
uint32_t LoadMask4(const uint8_t* mask) {
    uint32_t m;
    if constexpr (Step == 1) {
        std::memcpy(&m, mask, 4);
    } else {
        std::memcpy(&m, mask - 3, 4);
        m = __builtin_bswap32(m);
    }
    return m;
}

void Store4(uint32_t* dst, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), v);
}

// Picks d where keep is all ones, else v.
__m128i Select(__m128i keep, __m128i d, __m128i v) {
    return _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, v));
}

// Four mask bytes as two registers of 16-bit weights, each pixel's weight in its four lanes.
struct Weights {
    __m128i lo;   // pixels 0 and 1
    __m128i hi;   // pixels 2 and 3
    __m128i w32;  // each 32-bit lane non-zero exactly when its pixel's weight is
};

Weights SpreadWeights(__m128i w16) {  // w16: weights of the four pixels in 16-bit lanes 0..3
    const __m128i pairs = _mm_unpacklo_epi16(w16, w16);
    return {_mm_unpacklo_epi32(pairs, pairs), _mm_unpackhi_epi32(pairs, pairs), pairs};
}

__m128i MaskLanes(uint32_t m4) {
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(m4)), _mm_setzero_si128());
}

// MaskAlphaWeight on four 16-bit lanes.
__m128i MaskAlphaLanes(__m128i m16, __m128i alpha16) {
    const __m128i full = _mm_cmpeq_epi16(m16, _mm_set1_epi16(255));
    const __m128i scaled = _mm_srli_epi16(_mm_mullo_epi16(m16, alpha16), 8);
    return Select(full, alpha16, scaled);
}

// d x (255 - w) + s x w of one channel in each 16-bit lane, computed as 255 d + (s - d) w:
// one multiply instead of two. The terms wrap modulo 2^16 but the sum lies in 0..65025, so the
// wrapped result is exact.
__m128i BlendLanes(__m128i d16, __m128i s16, __m128i w) {
    return _mm_add_epi16(_mm_sub_epi16(_mm_slli_epi16(d16, 8), d16),
                         _mm_mullo_epi16(_mm_sub_epi16(s16, d16), w));
}

// BlendPixel on four pixels with per-pixel weights.
__m128i Blend4(__m128i d, __m128i s, __m128i wLo, __m128i wHi) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = BlendLanes(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero), wLo);
    const __m128i hi = BlendLanes(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero), wHi);
    const __m128i packed = _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8));
    return _mm_and_si128(packed, _mm_set1_epi32(static_cast<int>(kColorMask)));
}

// AddPixel on four pixels with per-pixel amounts.
__m128i Add4(__m128i d, __m128i s, __m128i wLo, __m128i wHi) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), wLo), 8);
    const __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), wHi), 8);
    return _mm_and_si128(_mm_adds_epu8(d, _mm_packus_epi16(lo, hi)),
                         _mm_set1_epi32(static_cast<int>(kColorMask)));
}

template <int Step>
void CopySse2(uint32_t* dst, const uint32_t* src, int32_t count, uint64_t key) {
    int32_t i = 0;
    if (key == kNoKey) {
        for (; i + 4 <= count; i += 4, src += 4 * Step)
            Store4(dst + i, Load4<Step>(src));
    } else {
        const __m128i k = _mm_set1_epi32(static_cast<int>(static_cast<uint32_t>(key)));
        for (; i + 4 <= count; i += 4, src += 4 * Step) {
            const __m128i s = Load4<Step>(src);
            const __m128i keep = _mm_cmpeq_epi32(s, k);
            const int bits = _mm_movemask_epi8(keep);
            if (bits == 0xFFFF) continue;
            if (bits == 0) {
                Store4(dst + i, s);
            } else {
                const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
                Store4(dst + i, Select(keep, d, s));
            }
        }
    }
    CopyScalar(dst + i, src, count - i, Step, key);
}

// A plain forward row copy. The library's memcpy switches to string moves for rows of this
// length, which some processors run several times slower than plain vector moves.
void CopyForward(uint32_t* dst, const uint32_t* src, int32_t count) {
    int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 4));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 8));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 12));
        Store4(dst + i, a);
        Store4(dst + i + 4, b);
        Store4(dst + i + 8, c);
        Store4(dst + i + 12, d);
    }
    for (; i + 4 <= count; i += 4)
        Store4(dst + i, _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)));
    for (; i < count; ++i)
        dst[i] = src[i];
}

void CopyFast(uint32_t* dst, const uint32_t* src, int32_t count, int32_t step, uint64_t key) {
    if (step == 1 && key == kNoKey) {
        CopyForward(dst, src, count);
    } else if (step == 1) {
        CopySse2<1>(dst, src, count, key);
    } else {
        CopySse2<-1>(dst, src, count, key);
    }
}

template <int Step>
void AlphaSse2(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t weight, uint64_t key) {
    const __m128i w = _mm_set1_epi16(static_cast<int16_t>(weight));
    const bool keyed = key != kNoKey;
    const __m128i k = _mm_set1_epi32(static_cast<int>(static_cast<uint32_t>(key)));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4, src += 4 * Step) {
        const __m128i s = Load4<Step>(src);
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        __m128i keep = _mm_cmpeq_epi32(s, d);
        if (keyed) keep = _mm_or_si128(keep, _mm_cmpeq_epi32(s, k));
        if (_mm_movemask_epi8(keep) == 0xFFFF) continue;
        Store4(dst + i, Select(keep, d, Blend4(d, s, w, w)));
    }
    AlphaScalar(dst + i, src, count - i, Step, weight, key);
}

void AlphaFast(uint32_t* dst, const uint32_t* src, int32_t count, int32_t step, uint32_t weight,
               uint64_t key) {
    step == 1 ? AlphaSse2<1>(dst, src, count, weight, key)
              : AlphaSse2<-1>(dst, src, count, weight, key);
}

// How the next 16 mask bytes (in reading order) look: all 0, all 255, or mixed. Sprite masks
// are mostly one of the first two, which lets whole blocks be skipped or copied.
enum class MaskBlock { Clear, Opaque, Mixed };

template <int Step>
MaskBlock ClassifyMask16(const uint8_t* mask) {
    const auto* at = reinterpret_cast<const __m128i*>(Step == 1 ? mask : mask - 15);
    const __m128i m = _mm_loadu_si128(at);
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(m, _mm_setzero_si128())) == 0xFFFF)
        return MaskBlock::Clear;
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(m, _mm_set1_epi8(-1))) == 0xFFFF) return MaskBlock::Opaque;
    return MaskBlock::Mixed;
}

template <int Step>
void MaskSse2(uint32_t* dst, const uint32_t* src, const uint8_t* mask, int32_t count) {
    int32_t i = 0;
    for (; i + 4 <= count; i += 4, src += 4 * Step, mask += 4 * Step) {
        if (i % 16 == 0 && i + 16 <= count) {
            const MaskBlock block = ClassifyMask16<Step>(mask);
            if (block != MaskBlock::Mixed) {
                if (block == MaskBlock::Opaque) {
                    for (int32_t k = 0; k < 16; k += 4)
                        Store4(dst + i + k, Load4<Step>(src + k * Step));
                }
                i += 12, src += 12 * Step, mask += 12 * Step;
                continue;
            }
        }
        const uint32_t m4 = LoadMask4<Step>(mask);
        if (m4 == 0) continue;
        const __m128i s = Load4<Step>(src);
        if (m4 == 0xFFFFFFFF) {
            Store4(dst + i, s);
            continue;
        }
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        const Weights w = SpreadWeights(MaskLanes(m4));
        const __m128i zero = _mm_cmpeq_epi32(w.w32, _mm_setzero_si128());
        const __m128i full = _mm_cmpeq_epi32(w.w32, _mm_set1_epi32(0x00FF00FF));
        const __m128i keep = _mm_or_si128(zero, _mm_andnot_si128(full, _mm_cmpeq_epi32(s, d)));
        const __m128i blended = Select(full, s, Blend4(d, s, w.lo, w.hi));
        Store4(dst + i, Select(keep, d, blended));
    }
    MaskScalar(dst + i, src, mask, count - i, Step);
}

void MaskFast(uint32_t* dst, const uint32_t* src, const uint8_t* mask, int32_t count,
              int32_t step) {
    step == 1 ? MaskSse2<1>(dst, src, mask, count) : MaskSse2<-1>(dst, src, mask, count);
}

template <int Step>
void MaskAlphaSse2(uint32_t* dst, const uint32_t* src, const uint8_t* mask, int32_t count,
                   uint32_t alpha) {
    const __m128i alpha16 = _mm_set1_epi16(static_cast<int16_t>(alpha));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4, src += 4 * Step, mask += 4 * Step) {
        if (i % 16 == 0 && i + 16 <= count && ClassifyMask16<Step>(mask) == MaskBlock::Clear) {
            i += 12, src += 12 * Step, mask += 12 * Step;
            continue;
        }
        const uint32_t m4 = LoadMask4<Step>(mask);
        if (m4 == 0) continue;
        const __m128i s = Load4<Step>(src);
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        if (m4 == 0xFFFFFFFF) {
            // Full coverage weighs every pixel with the alpha itself.
            Store4(dst + i, Select(_mm_cmpeq_epi32(s, d), d, Blend4(d, s, alpha16, alpha16)));
            continue;
        }
        const Weights w = SpreadWeights(MaskAlphaLanes(MaskLanes(m4), alpha16));
        const __m128i keep =
            _mm_or_si128(_mm_cmpeq_epi32(w.w32, _mm_setzero_si128()), _mm_cmpeq_epi32(s, d));
        if (_mm_movemask_epi8(keep) == 0xFFFF) continue;
        Store4(dst + i, Select(keep, d, Blend4(d, s, w.lo, w.hi)));
    }
    MaskAlphaScalar(dst + i, src, mask, count - i, Step, alpha);
}

void MaskAlphaFast(uint32_t* dst, const uint32_t* src, const uint8_t* mask, int32_t count,
                   int32_t step, uint32_t alpha) {
    step == 1 ? MaskAlphaSse2<1>(dst, src, mask, count, alpha)
              : MaskAlphaSse2<-1>(dst, src, mask, count, alpha);
}

template <int Step>
void AddSse2(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t amount, uint64_t key) {
    const __m128i w = _mm_set1_epi16(static_cast<int16_t>(amount));
    const bool keyed = key != kNoKey;
    const __m128i k = _mm_set1_epi32(static_cast<int>(static_cast<uint32_t>(key)));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4, src += 4 * Step) {
        const __m128i s = Load4<Step>(src);
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        const __m128i sum = Add4(d, s, w, w);
        Store4(dst + i, keyed ? Select(_mm_cmpeq_epi32(s, k), d, sum) : sum);
    }
    AddScalar(dst + i, src, count - i, Step, amount, key);
}

void AddFast(uint32_t* dst, const uint32_t* src, int32_t count, int32_t step, uint32_t amount,
             uint64_t key) {
    step == 1 ? AddSse2<1>(dst, src, count, amount, key)
              : AddSse2<-1>(dst, src, count, amount, key);
}

template <int Step>
void MaskAddSse2(uint32_t* dst, const uint32_t* src, const uint8_t* mask, int32_t count,
                 uint32_t amount) {
    const __m128i amount16 = _mm_set1_epi16(static_cast<int16_t>(amount));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4, src += 4 * Step, mask += 4 * Step) {
        const uint32_t m4 = LoadMask4<Step>(mask);
        if (m4 == 0) continue;
        const __m128i m16 = MaskLanes(m4);
        const Weights w = SpreadWeights(MaskAlphaLanes(m16, amount16));
        const __m128i skip = _mm_cmpeq_epi32(SpreadWeights(m16).w32, _mm_setzero_si128());
        const __m128i s = Load4<Step>(src);
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        Store4(dst + i, Select(skip, d, Add4(d, s, w.lo, w.hi)));
    }
    MaskAddScalar(dst + i, src, mask, count - i, Step, amount);
}

void MaskAddFast(uint32_t* dst, const uint32_t* src, const uint8_t* mask, int32_t count,
                 int32_t step, uint32_t amount) {
    step == 1 ? MaskAddSse2<1>(dst, src, mask, count, amount)
              : MaskAddSse2<-1>(dst, src, mask, count, amount);
}

void FillAlphaFast(uint32_t* dst, int32_t count, uint32_t pixel, uint32_t weight) {
    const __m128i c = _mm_set1_epi32(static_cast<int>(pixel));
    const __m128i w = _mm_set1_epi16(static_cast<int16_t>(weight));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        Store4(dst + i, Select(_mm_cmpeq_epi32(d, c), d, Blend4(d, c, w, w)));
    }
    FillAlphaScalar(dst + i, count - i, pixel, weight);
}

template <bool Subtract>
void FillAddSubFast(uint32_t* dst, int32_t count, uint32_t pixel) {
    const __m128i c = _mm_set1_epi32(static_cast<int>(pixel));
    const __m128i colour = _mm_set1_epi32(static_cast<int>(kColorMask));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        const __m128i r = Subtract ? _mm_subs_epu8(d, c) : _mm_adds_epu8(d, c);
        Store4(dst + i, _mm_and_si128(r, colour));
    }
    Subtract ? FillSubScalar(dst + i, count - i, pixel) : FillAddScalar(dst + i, count - i, pixel);
}

template <int Step>
void FillMaskSse2(uint32_t* dst, const uint8_t* mask, int32_t count, uint32_t pixel,
                  uint32_t alpha) {
    const __m128i c = _mm_set1_epi32(static_cast<int>(pixel));
    const __m128i alpha16 = _mm_set1_epi16(static_cast<int16_t>(alpha));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4, mask += 4 * Step) {
        const uint32_t m4 = LoadMask4<Step>(mask);
        if (m4 == 0) continue;
        const __m128i m16 = MaskLanes(m4);
        const Weights w = SpreadWeights(alpha >= 255 ? m16 : MaskAlphaLanes(m16, alpha16));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        const __m128i keep =
            _mm_or_si128(_mm_cmpeq_epi32(w.w32, _mm_setzero_si128()), _mm_cmpeq_epi32(d, c));
        Store4(dst + i, Select(keep, d, Blend4(d, c, w.lo, w.hi)));
    }
    FillMaskScalar(dst + i, mask, count - i, Step, pixel, alpha);
}

void FillMaskFast(uint32_t* dst, const uint8_t* mask, int32_t count, int32_t step, uint32_t pixel,
                  uint32_t alpha) {
    step == 1 ? FillMaskSse2<1>(dst, mask, count, pixel, alpha)
              : FillMaskSse2<-1>(dst, mask, count, pixel, alpha);
}

void MixFast(uint32_t* dst, const uint32_t* from, const uint32_t* to, int32_t count,
             uint32_t weight) {
    const __m128i w = _mm_set1_epi16(static_cast<int16_t>(weight));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(to + i));
        Store4(dst + i, Select(_mm_cmpeq_epi32(t, f), f, Blend4(f, t, w, w)));
    }
    MixScalar(dst + i, from + i, to + i, count - i, weight);
}

// Sixteen pixels taken whole from one picture: the mask decides which, and the other picture's
// memory is not read at all.
void Copy16(uint32_t* dst, const uint32_t* src) {
    for (int32_t k = 0; k < 16; k += 4)
        Store4(dst + k, _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k)));
}

void MaskMixFast(uint32_t* dst, const uint32_t* from, const uint32_t* to, const uint8_t* mask,
                 int32_t count) {
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        if (i % 16 == 0 && i + 16 <= count) {
            const MaskBlock block = ClassifyMask16<1>(mask + i);
            if (block != MaskBlock::Mixed) {
                Copy16(dst + i, block == MaskBlock::Clear ? from + i : to + i);
                i += 12;
                continue;
            }
        }
        const uint32_t m4 = LoadMask4<1>(mask + i);
        const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(to + i));
        const Weights w = SpreadWeights(MaskLanes(m4));
        const __m128i zero = _mm_cmpeq_epi32(w.w32, _mm_setzero_si128());
        const __m128i full = _mm_cmpeq_epi32(w.w32, _mm_set1_epi32(0x00FF00FF));
        const __m128i mixed = Select(full, t, Blend4(f, t, w.lo, w.hi));
        Store4(dst + i, Select(zero, f, mixed));
    }
    MaskMixScalar(dst + i, from + i, to + i, mask + i, count - i);
}

void MaskSelectFast(uint32_t* dst, const uint32_t* from, const uint32_t* to, const uint8_t* mask,
                    int32_t count) {
    const __m128i zero = _mm_setzero_si128();
    int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + i));
        const __m128i clear = _mm_cmpeq_epi8(m, zero);  // all ones where from shows
        const int bits = _mm_movemask_epi8(clear);
        if (bits == 0xFFFF || bits == 0) {
            Copy16(dst + i, bits == 0 ? to + i : from + i);
            continue;
        }
        const __m128i lo = _mm_unpacklo_epi8(clear, clear), hi = _mm_unpackhi_epi8(clear, clear);
        const __m128i keep[4] = {_mm_unpacklo_epi16(lo, lo), _mm_unpackhi_epi16(lo, lo),
                                 _mm_unpacklo_epi16(hi, hi), _mm_unpackhi_epi16(hi, hi)};
        for (int32_t k = 0; k < 4; ++k) {
            const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 4 * k));
            const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(to + i + 4 * k));
            Store4(dst + i + 4 * k, Select(keep[k], f, t));
        }
    }
    MaskSelectScalar(dst + i, from + i, to + i, mask + i, count - i);
}

template <bool Subtract>
void CopyAddSubFast(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t pixel) {
    const __m128i c = _mm_set1_epi32(static_cast<int>(pixel));
    const __m128i colour = _mm_set1_epi32(static_cast<int>(kColorMask));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i r = Subtract ? _mm_subs_epu8(s, c) : _mm_adds_epu8(s, c);
        Store4(dst + i, _mm_and_si128(r, colour));
    }
    Subtract ? CopySubScalar(dst + i, src + i, count - i, pixel)
             : CopyAddScalar(dst + i, src + i, count - i, pixel);
}

void RampTintFast(uint32_t* dst, const uint32_t* from, const uint32_t* to, const uint16_t* level,
                  int32_t count, int32_t offset, bool subtract) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i off = _mm_set1_epi32(offset);
    const __m128i c255 = _mm_set1_epi32(255), c511 = _mm_set1_epi32(511);
    const __m128i colour = _mm_set1_epi32(static_cast<int>(kColorMask));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i levels = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(level + i));
        const __m128i k = _mm_add_epi32(_mm_unpacklo_epi16(levels, zero), off);
        const __m128i low = _mm_cmplt_epi32(k, zero);
        const __m128i high = _mm_cmpgt_epi32(k, c511);
        const __m128i second = _mm_cmpgt_epi32(k, c255);
        // The grey level, only used where neither end is taken, so always 0..255 there.
        const __m128i g = Select(second, _mm_sub_epi32(c511, k), k);
        const __m128i grey =
            _mm_or_si128(_mm_or_si128(g, _mm_slli_epi32(g, 8)), _mm_slli_epi32(g, 16));
        const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(to + i));
        const __m128i p = Select(second, t, f);
        const __m128i tinted =
            _mm_and_si128(subtract ? _mm_subs_epu8(p, grey) : _mm_adds_epu8(p, grey), colour);
        Store4(dst + i, Select(high, t, Select(low, f, tinted)));
    }
    RampTintScalar(dst + i, from + i, to + i, level + i, count - i, offset, subtract);
}

// A saturating add or subtract of one amount: beyond 255 either way every byte ends at the
// same bound, so the amount is limited first.
void ShiftBytesFast(uint8_t* dst, const uint8_t* src, int32_t count, int32_t amount) {
    const int32_t limited = std::clamp(amount, -255, 255);
    const __m128i step = _mm_set1_epi8(static_cast<char>(static_cast<uint8_t>(std::abs(limited))));
    int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i r = limited >= 0 ? _mm_adds_epu8(v, step) : _mm_subs_epu8(v, step);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), r);
    }
    ShiftBytesScalar(dst + i, src + i, count - i, amount);
}

// Four pixels a store; the plain loop is not vectorised at the optimisation level we build at.
void FillFast(uint32_t* dst, int32_t count, uint32_t pixel) {
    const __m128i v = _mm_set1_epi32(static_cast<int>(pixel));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), v);
    FillScalar(dst + i, count - i, pixel);
}

// Sixteen indices at a time: a block below the floor throughout (the cold part of a flame)
// is passed over without touching the destination.
template <int Step>
void AddIndexedSse2(uint32_t* dst, const uint8_t* index, int32_t count, const uint32_t* table,
                    int32_t minIndex) {
    if (minIndex > 255) return;
    const int32_t floor = std::max(minIndex, 0);
    const __m128i floor8 = _mm_set1_epi8(static_cast<char>(floor));
    const __m128i floor32 = _mm_set1_epi32(floor);
    const __m128i colour = _mm_set1_epi32(static_cast<int>(kColorMask));
    int32_t i = 0;
    for (; i + 16 <= count; i += 16, index += 16 * Step) {
        const __m128i v =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(Step == 1 ? index : index - 15));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(v, floor8), v)) == 0) continue;
        for (int32_t g = 0; g < 16; g += 4) {
            const uint8_t* q = index + g * Step;
            const int a = q[0], b = q[Step], c = q[2 * Step], e = q[3 * Step];
            const __m128i s =
                _mm_setr_epi32(static_cast<int>(table[a]), static_cast<int>(table[b]),
                               static_cast<int>(table[c]), static_cast<int>(table[e]));
            const __m128i skip = _mm_cmplt_epi32(_mm_setr_epi32(a, b, c, e), floor32);
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i + g));
            Store4(dst + i + g, Select(skip, d, _mm_and_si128(_mm_adds_epu8(d, s), colour)));
        }
    }
    AddIndexedScalar(dst + i, index, count - i, Step, table, minIndex);
}

void AddIndexedFast(uint32_t* dst, const uint8_t* index, int32_t count, int32_t step,
                    const uint32_t* table, int32_t minIndex) {
    step == 1 ? AddIndexedSse2<1>(dst, index, count, table, minIndex)
              : AddIndexedSse2<-1>(dst, index, count, table, minIndex);
}

constexpr RowOps kFastOps{CopyFast,
                          AlphaFast,
                          MaskFast,
                          MaskAlphaFast,
                          AddFast,
                          MaskAddFast,
                          FillFast,
                          FillAlphaFast,
                          FillAddSubFast<false>,
                          FillAddSubFast<true>,
                          FillMaskFast,
                          MixFast,
                          MaskMixFast,
                          MaskSelectFast,
                          CopyAddSubFast<false>,
                          CopyAddSubFast<true>,
                          RampTintFast,
                          ShiftBytesFast,
                          AddIndexedFast};
#endif

#if defined(KIVO_ROW_OPS_AVX2) && defined(__SSE2__)

// ---- AVX2 kernels: eight pixels per step, the scalar kernels finish the tail. ----
//
// A blend takes one multiply-add per channel: the destination and source bytes, moved to the
// signed range by subtracting 128, are interleaved and multiplied pairwise with the unsigned
// byte weights 255 - w and w. That gives d (255 - w) + s w - 128 x 255, which lies in
// -32640..32385 (no saturation); adding 128 x 255 back restores the exact sum in 0..65025.

// Eight source pixels in destination order: a backward step loads the eight below and reverses.
template <int Step>
KIVO_AVX2 inline __m256i Load8(const uint32_t* src) {
    if constexpr (Step == 1) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
    } else {
        return _mm256_permutevar8x32_epi32(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src - 7)),
            _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0));
    }
}

KIVO_AVX2 inline __m256i LoadDst8(const uint32_t* dst) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst));
}

KIVO_AVX2 inline void Store8(uint32_t* dst, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), v);
}

// Eight mask bytes in destination order, the first in the lowest byte.
template <int Step>
inline uint64_t LoadMask8(const uint8_t* mask) {
    uint64_t m;
    if constexpr (Step == 1) {
        std::memcpy(&m, mask, 8);
    } else {
        std::memcpy(&m, mask - 7, 8);
        m = __builtin_bswap64(m);
    }
    return m;
}

// The byte weights of eight pixels laid out like the interleaved destination and source bytes
// of _mm256_unpacklo_epi8 (lo: pixels 0, 1, 4, 5) and _mm256_unpackhi_epi8 (hi: 2, 3, 6, 7).
// The fourth byte of each pixel gets weight 0 on both sides.
struct Pairs8 {
    __m256i lo, hi;
};

// w16: the weights of eight pixels in 16-bit lanes, each 0..255.
KIVO_AVX2 inline Pairs8 SpreadPairs(__m128i w16) {
    // In each lane the low byte 255 - w goes with the destination, the high byte w with the source.
    const __m128i pairs =
        _mm_add_epi16(_mm_slli_epi16(w16, 8), _mm_sub_epi16(_mm_set1_epi16(255), w16));
    const __m256i both = _mm256_broadcastsi128_si256(pairs);
    const char z = -128;  // a shuffle index that gives 0
    const __m256i lo = _mm256_setr_epi8(0, 1, 0, 1, 0, 1, z, z, 2, 3, 2, 3, 2, 3, z, z,  //
                                        8, 9, 8, 9, 8, 9, z, z, 10, 11, 10, 11, 10, 11, z, z);
    const __m256i hi = _mm256_setr_epi8(4, 5, 4, 5, 4, 5, z, z, 6, 7, 6, 7, 6, 7, z, z,  //
                                        12, 13, 12, 13, 12, 13, z, z, 14, 15, 14, 15, 14, 15, z, z);
    return {_mm256_shuffle_epi8(both, lo), _mm256_shuffle_epi8(both, hi)};
}

// BlendPixel on eight pixels; the fourth byte comes out 0.
KIVO_AVX2 inline __m256i Blend8(__m256i d, __m256i s, const Pairs8& w) {
    const __m256i bias = _mm256_set1_epi8(-128);
    const __m256i ds = _mm256_xor_si256(d, bias);
    const __m256i ss = _mm256_xor_si256(s, bias);
    // 128 x 255 on the three channels, 0 on the fourth (whose weights are 0).
    const __m256i offset = _mm256_set1_epi64x(0x00007F807F807F80);
    const __m256i lo =
        _mm256_add_epi16(_mm256_maddubs_epi16(w.lo, _mm256_unpacklo_epi8(ds, ss)), offset);
    const __m256i hi =
        _mm256_add_epi16(_mm256_maddubs_epi16(w.hi, _mm256_unpackhi_epi8(ds, ss)), offset);
    return _mm256_packus_epi16(_mm256_srli_epi16(lo, 8), _mm256_srli_epi16(hi, 8));
}

// Picks d where keep is all ones, else v.
KIVO_AVX2 inline __m256i Select8(__m256i keep, __m256i d, __m256i v) {
    return _mm256_blendv_epi8(v, d, keep);
}

// Eight mask bytes as 16-bit lanes.
KIVO_AVX2 inline __m128i MaskLanes8(uint64_t m8) {
    return _mm_cvtepu8_epi16(_mm_cvtsi64_si128(static_cast<long long>(m8)));
}

// MaskAlphaWeight on eight 16-bit lanes; alphaHigh holds alpha << 8, so that the high half of
// the product is (alpha x m) >> 8.
KIVO_AVX2 inline __m128i MaskAlphaLanes8(__m128i m16, __m128i alpha16, __m128i alphaHigh) {
    const __m128i full = _mm_cmpeq_epi16(m16, _mm_set1_epi16(255));
    return _mm_blendv_epi8(_mm_mulhi_epu16(m16, alphaHigh), alpha16, full);
}

// All ones in the 32-bit lane of each pixel whose 16-bit weight is 0.
KIVO_AVX2 inline __m256i ZeroWeights8(__m128i w16) {
    return _mm256_cvtepi16_epi32(_mm_cmpeq_epi16(w16, _mm_setzero_si128()));
}

template <int Step>
KIVO_AVX2 void AlphaAvx2(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t weight,
                         uint64_t key) {
    const Pairs8 w = SpreadPairs(_mm_set1_epi16(static_cast<int16_t>(weight)));
    const bool keyed = key != kNoKey;
    const __m256i k = _mm256_set1_epi32(static_cast<int>(static_cast<uint32_t>(key)));
    int32_t i = 0;
    for (; i + 8 <= count; i += 8, src += 8 * Step) {
        const __m256i s = Load8<Step>(src);
        const __m256i d = LoadDst8(dst + i);
        __m256i keep = _mm256_cmpeq_epi32(s, d);
        if (keyed) keep = _mm256_or_si256(keep, _mm256_cmpeq_epi32(s, k));
        Store8(dst + i, Select8(keep, d, Blend8(d, s, w)));
    }
    AlphaScalar(dst + i, src, count - i, Step, weight, key);
}

KIVO_AVX2 void AlphaFastAvx2(uint32_t* dst, const uint32_t* src, int32_t count, int32_t step,
                             uint32_t weight, uint64_t key) {
    step == 1 ? AlphaAvx2<1>(dst, src, count, weight, key)
              : AlphaAvx2<-1>(dst, src, count, weight, key);
}

template <int Step>
KIVO_AVX2 void MaskAvx2(uint32_t* dst, const uint32_t* src, const uint8_t* mask, int32_t count) {
    int32_t i = 0;
    for (; i + 8 <= count; i += 8, src += 8 * Step, mask += 8 * Step) {
        const uint64_t m8 = LoadMask8<Step>(mask);
        if (m8 == 0) continue;
        const __m256i s = Load8<Step>(src);
        if (m8 == ~uint64_t{0}) {
            Store8(dst + i, s);
            continue;
        }
        const __m256i d = LoadDst8(dst + i);
        const __m128i m16 = MaskLanes8(m8);
        const __m256i full = _mm256_cvtepi16_epi32(_mm_cmpeq_epi16(m16, _mm_set1_epi16(255)));
        const __m256i keep =
            _mm256_or_si256(ZeroWeights8(m16), _mm256_andnot_si256(full, _mm256_cmpeq_epi32(s, d)));
        const __m256i blended = Select8(full, s, Blend8(d, s, SpreadPairs(m16)));
        Store8(dst + i, Select8(keep, d, blended));
    }
    MaskScalar(dst + i, src, mask, count - i, Step);
}

KIVO_AVX2 void MaskFastAvx2(uint32_t* dst, const uint32_t* src, const uint8_t* mask, int32_t count,
                            int32_t step) {
    step == 1 ? MaskAvx2<1>(dst, src, mask, count) : MaskAvx2<-1>(dst, src, mask, count);
}

template <int Step>
KIVO_AVX2 void MaskAlphaAvx2(uint32_t* dst, const uint32_t* src, const uint8_t* mask, int32_t count,
                             uint32_t alpha) {
    const __m128i alpha16 = _mm_set1_epi16(static_cast<int16_t>(alpha));
    const __m128i alphaHigh =
        _mm_set1_epi16(static_cast<int16_t>(static_cast<uint16_t>(alpha << 8)));
    const Pairs8 opaque = SpreadPairs(alpha16);
    int32_t i = 0;
    for (; i + 8 <= count; i += 8, src += 8 * Step, mask += 8 * Step) {
        const uint64_t m8 = LoadMask8<Step>(mask);
        if (m8 == 0) continue;
        const __m256i s = Load8<Step>(src);
        const __m256i d = LoadDst8(dst + i);
        const __m256i same = _mm256_cmpeq_epi32(s, d);
        if (m8 == ~uint64_t{0}) {
            // Full coverage weighs every pixel with the alpha itself.
            Store8(dst + i, Select8(same, d, Blend8(d, s, opaque)));
            continue;
        }
        const __m128i w16 = MaskAlphaLanes8(MaskLanes8(m8), alpha16, alphaHigh);
        const __m256i keep = _mm256_or_si256(ZeroWeights8(w16), same);
        Store8(dst + i, Select8(keep, d, Blend8(d, s, SpreadPairs(w16))));
    }
    MaskAlphaScalar(dst + i, src, mask, count - i, Step, alpha);
}

KIVO_AVX2 void MaskAlphaFastAvx2(uint32_t* dst, const uint32_t* src, const uint8_t* mask,
                                 int32_t count, int32_t step, uint32_t alpha) {
    step == 1 ? MaskAlphaAvx2<1>(dst, src, mask, count, alpha)
              : MaskAlphaAvx2<-1>(dst, src, mask, count, alpha);
}

// The plain forward copy in 32-byte moves, which keep up better than 16-byte ones when a row
// is put together from pieces of several pictures.
KIVO_AVX2 void CopyForwardAvx2(uint32_t* dst, const uint32_t* src, int32_t count) {
    int32_t i = 0;
    for (; i + 32 <= count; i += 32) {
        const __m256i a = LoadDst8(src + i), b = LoadDst8(src + i + 8);
        const __m256i c = LoadDst8(src + i + 16), d = LoadDst8(src + i + 24);
        Store8(dst + i, a);
        Store8(dst + i + 8, b);
        Store8(dst + i + 16, c);
        Store8(dst + i + 24, d);
    }
    for (; i + 8 <= count; i += 8)
        Store8(dst + i, LoadDst8(src + i));
    for (; i < count; ++i)
        dst[i] = src[i];
}

// A keyed copy eight pixels at a time: a group without key pixels is stored whole and a group
// of key pixels alone is passed over, which is most of a glyph cell's background.
template <int Step>
KIVO_AVX2 void CopyKeyedAvx2(uint32_t* dst, const uint32_t* src, int32_t count, uint64_t key) {
    const __m256i k = _mm256_set1_epi32(static_cast<int>(static_cast<uint32_t>(key)));
    int32_t i = 0;
    for (; i + 8 <= count; i += 8, src += 8 * Step) {
        const __m256i s = Load8<Step>(src);
        const __m256i keyed = _mm256_cmpeq_epi32(s, k);
        const int bits = _mm256_movemask_epi8(keyed);
        if (bits == -1) continue;
        Store8(dst + i, bits == 0 ? s : Select8(keyed, LoadDst8(dst + i), s));
    }
    CopyScalar(dst + i, src, count - i, Step, key);
}

KIVO_AVX2 void CopyFastAvx2(uint32_t* dst, const uint32_t* src, int32_t count, int32_t step,
                            uint64_t key) {
    if (key == kNoKey) {
        step == 1 ? CopyForwardAvx2(dst, src, count) : CopyFast(dst, src, count, step, key);
    } else {
        step == 1 ? CopyKeyedAvx2<1>(dst, src, count, key)
                  : CopyKeyedAvx2<-1>(dst, src, count, key);
    }
}

KIVO_AVX2 void MixAvx2(uint32_t* dst, const uint32_t* from, const uint32_t* to, int32_t count,
                       uint32_t weight) {
    const Pairs8 w = SpreadPairs(_mm_set1_epi16(static_cast<int16_t>(weight)));
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i f = LoadDst8(from + i);
        const __m256i t = LoadDst8(to + i);
        Store8(dst + i, Select8(_mm256_cmpeq_epi32(t, f), f, Blend8(f, t, w)));
    }
    MixScalar(dst + i, from + i, to + i, count - i, weight);
}

KIVO_AVX2 inline void Copy16Avx2(uint32_t* dst, const uint32_t* src) {
    Store8(dst, LoadDst8(src));
    Store8(dst + 8, LoadDst8(src + 8));
}

KIVO_AVX2 void MaskMixAvx2(uint32_t* dst, const uint32_t* from, const uint32_t* to,
                           const uint8_t* mask, int32_t count) {
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const uint64_t m8 = LoadMask8<1>(mask + i);
        if (m8 == 0 || m8 == ~uint64_t{0}) {
            Store8(dst + i, LoadDst8((m8 == 0 ? from : to) + i));
            continue;
        }
        const __m256i f = LoadDst8(from + i);
        const __m256i t = LoadDst8(to + i);
        const __m128i m16 = MaskLanes8(m8);
        const __m256i full = _mm256_cvtepi16_epi32(_mm_cmpeq_epi16(m16, _mm_set1_epi16(255)));
        const __m256i mixed = Select8(full, t, Blend8(f, t, SpreadPairs(m16)));
        Store8(dst + i, Select8(ZeroWeights8(m16), f, mixed));
    }
    MaskMixScalar(dst + i, from + i, to + i, mask + i, count - i);
}

KIVO_AVX2 void MaskSelectAvx2(uint32_t* dst, const uint32_t* from, const uint32_t* to,
                              const uint8_t* mask, int32_t count) {
    const __m128i zero = _mm_setzero_si128();
    int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + i));
        const __m128i clear = _mm_cmpeq_epi8(m, zero);  // all ones where from shows
        const int bits = _mm_movemask_epi8(clear);
        if (bits == 0xFFFF || bits == 0) {
            Copy16Avx2(dst + i, bits == 0 ? to + i : from + i);
            continue;
        }
        const __m256i keepLo = _mm256_cvtepi8_epi32(clear);
        const __m256i keepHi = _mm256_cvtepi8_epi32(_mm_srli_si128(clear, 8));
        Store8(dst + i, Select8(keepLo, LoadDst8(from + i), LoadDst8(to + i)));
        Store8(dst + i + 8, Select8(keepHi, LoadDst8(from + i + 8), LoadDst8(to + i + 8)));
    }
    MaskSelectScalar(dst + i, from + i, to + i, mask + i, count - i);
}

KIVO_AVX2 void RampTintAvx2(uint32_t* dst, const uint32_t* from, const uint32_t* to,
                            const uint16_t* level, int32_t count, int32_t offset, bool subtract) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i off = _mm256_set1_epi32(offset);
    const __m256i c255 = _mm256_set1_epi32(255), c511 = _mm256_set1_epi32(511);
    const __m256i colour = _mm256_set1_epi32(static_cast<int>(kColorMask));
    const __m256i spread = _mm256_set1_epi32(0x010101);
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i levels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(level + i));
        const __m256i k = _mm256_add_epi32(_mm256_cvtepu16_epi32(levels), off);
        const __m256i low = _mm256_cmpgt_epi32(zero, k);
        const __m256i high = _mm256_cmpgt_epi32(k, c511);
        const __m256i second = _mm256_cmpgt_epi32(k, c255);
        const __m256i g = Select8(second, _mm256_sub_epi32(c511, k), k);
        const __m256i grey = _mm256_mullo_epi32(g, spread);
        const __m256i f = LoadDst8(from + i);
        const __m256i t = LoadDst8(to + i);
        const __m256i p = Select8(second, t, f);
        const __m256i tinted = _mm256_and_si256(
            subtract ? _mm256_subs_epu8(p, grey) : _mm256_adds_epu8(p, grey), colour);
        Store8(dst + i, Select8(high, t, Select8(low, f, tinted)));
    }
    RampTintScalar(dst + i, from + i, to + i, level + i, count - i, offset, subtract);
}

// Sixteen indices at a time as two groups of eight; a block of sixteen below the floor (the
// cold part of a flame) is passed over without touching the destination. The colours are
// looked up one by one: a gather from the table is slower than eight loads on the processors
// we measured.
template <int Step>
KIVO_AVX2 void AddIndexedAvx2(uint32_t* dst, const uint8_t* index, int32_t count,
                              const uint32_t* table, int32_t minIndex) {
    if (minIndex > 255) return;
    const int32_t floor = std::max(minIndex, 0);
    const __m128i floor8 = _mm_set1_epi8(static_cast<char>(floor));
    const __m256i belowFloor = _mm256_set1_epi32(floor - 1);
    const __m256i colour = _mm256_set1_epi32(static_cast<int>(kColorMask));
    int32_t i = 0;
    for (; i + 16 <= count; i += 16, index += 16 * Step) {
        const __m128i v =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(Step == 1 ? index : index - 15));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(v, floor8), v)) == 0) continue;
        for (int32_t g = 0; g < 16; g += 8) {
            const uint8_t* q = index + g * Step;
            const __m256i lanes =
                _mm256_setr_epi32(q[0], q[Step], q[2 * Step], q[3 * Step], q[4 * Step],
                                  q[5 * Step], q[6 * Step], q[7 * Step]);
            const __m256i s = _mm256_setr_epi32(
                static_cast<int>(table[q[0]]), static_cast<int>(table[q[Step]]),
                static_cast<int>(table[q[2 * Step]]), static_cast<int>(table[q[3 * Step]]),
                static_cast<int>(table[q[4 * Step]]), static_cast<int>(table[q[5 * Step]]),
                static_cast<int>(table[q[6 * Step]]), static_cast<int>(table[q[7 * Step]]));
            const __m256i drawn = _mm256_cmpgt_epi32(lanes, belowFloor);
            const __m256i d = LoadDst8(dst + i + g);
            const __m256i sum = _mm256_and_si256(_mm256_adds_epu8(d, s), colour);
            Store8(dst + i + g, _mm256_blendv_epi8(d, sum, drawn));
        }
    }
    AddIndexedScalar(dst + i, index, count - i, Step, table, minIndex);
}

KIVO_AVX2 void AddIndexedFastAvx2(uint32_t* dst, const uint8_t* index, int32_t count,
                                  int32_t step, const uint32_t* table, int32_t minIndex) {
    step == 1 ? AddIndexedAvx2<1>(dst, index, count, table, minIndex)
              : AddIndexedAvx2<-1>(dst, index, count, table, minIndex);
}

constexpr RowOps kAvx2Ops{CopyFastAvx2,         AlphaFastAvx2,  MaskFastAvx2,
                          MaskAlphaFastAvx2,    AddFast,        MaskAddFast,
                          FillFast,             FillAlphaFast,  FillAddSubFast<false>,
                          FillAddSubFast<true>, FillMaskFast,   MixAvx2,
                          MaskMixAvx2,          MaskSelectAvx2, CopyAddSubFast<false>,
                          CopyAddSubFast<true>, RampTintAvx2,   ShiftBytesFast,
                          AddIndexedFastAvx2};

#endif

}  // namespace

const RowOps& ScalarRowOps() {
    return kScalarOps;
}

const RowOps* Sse2RowOps() {
#if defined(__SSE2__)
    return &kFastOps;
#else
    return nullptr;
#endif
}

const RowOps* Avx2RowOps() {
#if defined(KIVO_ROW_OPS_AVX2) && defined(__SSE2__)
    static const bool supported = __builtin_cpu_supports("avx2") != 0;
    return supported ? &kAvx2Ops : nullptr;
#else
    return nullptr;
#endif
}

const RowOps& FastRowOps() {
    // Chosen once, on the first call.
    static const RowOps* const fastest = [] {
        if (const RowOps* avx2 = Avx2RowOps()) return avx2;
        if (const RowOps* sse2 = Sse2RowOps()) return sse2;
        return &kScalarOps;
    }();
    return *fastest;
}

}  // namespace kivo
