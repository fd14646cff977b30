#include "text/glyph_rows.h"

#include <algorithm>
#include <cstring>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kivo {
namespace {

std::unique_ptr<CoverageTables> MakeCoverageTables() {
    auto tables = std::make_unique<CoverageTables>();
    for (uint32_t c = 0; c < 256; ++c) {
        for (uint32_t m = 0; m < 256; ++m) {
            tables->united[c][m] = static_cast<uint8_t>(m + c * (255 - m) / 255);
            tables->weight[c][m] = static_cast<uint8_t>(m == 0 ? 255 : std::min(255u, c * 255 / m));
        }
    }
    return tables;
}

void SolidMaxScalar(uint32_t* colour, uint8_t* mask, const uint8_t* coverage, int32_t count,
                    uint32_t pixel) {
    for (int32_t i = 0; i < count; ++i) {
        if (coverage[i] != 0) colour[i] = pixel;
        mask[i] = std::max(mask[i], coverage[i]);
    }
}

void BlendScalar(uint32_t* colour, uint8_t* mask, const uint8_t* coverage, int32_t count,
                 uint32_t pixel) {
    const CoverageTables& tables = GlyphCoverageTables();
    for (int32_t i = 0; i < count; ++i)
        BlendCoverage(tables, colour[i], mask[i], coverage[i], pixel);
}

constexpr GlyphRowOps kScalarOps{SolidMaxScalar, BlendScalar};

#if defined(__SSE2__)

// Sixteen pixels a step: the mask by an unsigned byte maximum, the colour chosen per pixel by
// whether its coverage byte is 0.
void SolidMaxSse2(uint32_t* colour, uint8_t* mask, const uint8_t* coverage, int32_t count,
                  uint32_t pixel) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i ink = _mm_set1_epi32(static_cast<int>(pixel));
    int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i cov = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coverage + i));
        const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(mask + i), _mm_max_epu8(old, cov));
        // 0xFF per byte where the coverage is 0, widened to one lane per pixel.
        const __m128i blank8 = _mm_cmpeq_epi8(cov, zero);
        const __m128i blank16lo = _mm_unpacklo_epi8(blank8, blank8);
        const __m128i blank16hi = _mm_unpackhi_epi8(blank8, blank8);
        const __m128i blanks[4] = {
            _mm_unpacklo_epi16(blank16lo, blank16lo), _mm_unpackhi_epi16(blank16lo, blank16lo),
            _mm_unpacklo_epi16(blank16hi, blank16hi), _mm_unpackhi_epi16(blank16hi, blank16hi)};
        for (int q = 0; q < 4; ++q) {
            auto* p = reinterpret_cast<__m128i*>(colour + i + 4 * q);
            const __m128i d = _mm_loadu_si128(p);
            _mm_storeu_si128(
                p, _mm_or_si128(_mm_and_si128(blanks[q], d), _mm_andnot_si128(blanks[q], ink)));
        }
    }
    SolidMaxScalar(colour + i, mask + i, coverage + i, count - i, pixel);
}

// Four 8-bit values as four 32-bit lanes.
__m128i Widen4(const uint8_t* bytes) {
    uint32_t four;
    std::memcpy(&four, bytes, 4);
    const __m128i zero = _mm_setzero_si128();
    return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(four)), zero),
                              zero);
}

__m128i Select(__m128i where, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(where, yes), _mm_andnot_si128(where, no));
}

// The blend rule four pixels a step. The coverage union divides by 255 as
// (t + 1 + (t >> 8)) >> 8, exact below 65280; the ink's share C x 255 / union is a float
// quotient truncated, exact because no quotient of such small integers lies within float
// rounding of an integer it does not equal.
void BlendSse2(uint32_t* colour, uint8_t* mask, const uint8_t* coverage, int32_t count,
               uint32_t pixel) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i ff = _mm_set1_epi32(255);
    const __m128i one = _mm_set1_epi32(1);
    const __m128i source = _mm_set1_epi32(static_cast<int>(pixel));
    const __m128i source16 = _mm_unpacklo_epi8(source, zero);
    const __m128i colourMask = _mm_set1_epi32(0x00FFFFFF);
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        uint32_t four;
        std::memcpy(&four, coverage + i, 4);
        if (four == 0) continue;
        if (four == 0xFFFFFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(colour + i), source);
            std::memcpy(mask + i, &four, 4);
            continue;
        }
        const __m128i c = Widen4(coverage + i);
        const __m128i m = Widen4(mask + i);
        const __m128i t = _mm_mullo_epi16(c, _mm_sub_epi32(ff, m));
        const __m128i united = _mm_add_epi32(
            m, _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(t, one), _mm_srli_epi32(t, 8)), 8));
        const __m128i weight = _mm_cvttps_epi32(_mm_div_ps(
            _mm_cvtepi32_ps(_mm_mullo_epi16(c, ff)), _mm_cvtepi32_ps(_mm_max_epi16(united, one))));
        // Weights spread over the four channels of their pixel, 16 bits each.
        const __m128i w16 = _mm_packs_epi32(weight, weight);
        const __m128i wPairs = _mm_unpacklo_epi16(w16, w16);
        const __m128i wLo = _mm_unpacklo_epi32(wPairs, wPairs);
        const __m128i wHi = _mm_unpackhi_epi32(wPairs, wPairs);
        const __m128i ff16 = _mm_set1_epi16(255);
        auto* p = reinterpret_cast<__m128i*>(colour + i);
        const __m128i d = _mm_loadu_si128(p);
        const __m128i dLo = _mm_unpacklo_epi8(d, zero), dHi = _mm_unpackhi_epi8(d, zero);
        const __m128i lo =
            _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(dLo, _mm_sub_epi16(ff16, wLo)),
                                         _mm_mullo_epi16(source16, wLo)),
                           8);
        const __m128i hi =
            _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(dHi, _mm_sub_epi16(ff16, wHi)),
                                         _mm_mullo_epi16(source16, wHi)),
                           8);
        const __m128i blended = _mm_and_si128(_mm_packus_epi16(lo, hi), colourMask);
        const __m128i blank = _mm_cmpeq_epi32(c, zero);
        const __m128i full = _mm_cmpeq_epi32(c, ff);
        _mm_storeu_si128(p, Select(full, source, Select(blank, d, blended)));
        const __m128i newMask = Select(full, ff, Select(blank, m, united));
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(newMask, zero), zero);
        const uint32_t maskBytes = static_cast<uint32_t>(_mm_cvtsi128_si32(bytes));
        std::memcpy(mask + i, &maskBytes, 4);
    }
    BlendScalar(colour + i, mask + i, coverage + i, count - i, pixel);
}

constexpr GlyphRowOps kSse2Ops{SolidMaxSse2, BlendSse2};

#endif

}  // namespace

const CoverageTables& GlyphCoverageTables() {
    // Built once on first use and never changed.
    static const std::unique_ptr<CoverageTables> tables = MakeCoverageTables();
    return *tables;
}

const GlyphRowOps& ScalarGlyphRowOps() {
    return kScalarOps;
}

const GlyphRowOps& FastGlyphRowOps() {
#if defined(__SSE2__)
    return kSse2Ops;
#else
    return kScalarOps;
#endif
}

}  // namespace kivo
