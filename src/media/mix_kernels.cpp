#include "media/mix_kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define KIVO_MIX_AVX2 1
// Compiled for AVX2 alone and run only when the processor has it.
#define KIVO_AVX2 __attribute__((target("avx2")))
#endif

namespace kivo {
namespace {

void AddScalar(int16_t* dst, const int16_t* src, size_t samples) {
    for (size_t i = 0; i < samples; ++i)
        dst[i] = SaturateSample(dst[i] + src[i]);
}

void AddScaledScalar(int16_t* dst, const int16_t* src, size_t frames, int32_t gainLeft,
                     int32_t gainRight) {
    for (size_t i = 0; i < frames; ++i) {
        dst[2 * i] = SaturateSample(dst[2 * i] + ScaleSample(src[2 * i], gainLeft));
        dst[2 * i + 1] = SaturateSample(dst[2 * i + 1] + ScaleSample(src[2 * i + 1], gainRight));
    }
}

constexpr MixOps kScalarOps{AddScalar, AddScaledScalar};

#if defined(__SSE2__)

void AddSse2(int16_t* dst, const int16_t* src, size_t samples) {
    size_t i = 0;
    for (; i + 8 <= samples; i += 8) {
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_adds_epi16(d, s));
    }
    AddScalar(dst + i, src + i, samples - i);
}

// Each sample s pairs with 1 and each gain g with the rounding 8192, so one multiply-add gives
// s x g + 8192 in 32 bits.
void AddScaledSse2(int16_t* dst, const int16_t* src, size_t frames, int32_t gainLeft,
                   int32_t gainRight) {
    const __m128i gains =
        _mm_setr_epi16(static_cast<int16_t>(gainLeft), 8192, static_cast<int16_t>(gainRight), 8192,
                       static_cast<int16_t>(gainLeft), 8192, static_cast<int16_t>(gainRight), 8192);
    const __m128i ones = _mm_set1_epi16(1);
    const size_t samples = frames * 2;
    size_t i = 0;
    for (; i + 8 <= samples; i += 8) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i low = _mm_srai_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(s, ones), gains), 14);
        const __m128i high = _mm_srai_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(s, ones), gains), 14);
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                         _mm_adds_epi16(d, _mm_packs_epi32(low, high)));
    }
    AddScaledScalar(dst + i, src + i, (samples - i) / 2, gainLeft, gainRight);
}

constexpr MixOps kSse2Ops{AddSse2, AddScaledSse2};

#endif

#if defined(KIVO_MIX_AVX2) && defined(__SSE2__)

KIVO_AVX2 void AddAvx2(int16_t* dst, const int16_t* src, size_t samples) {
    size_t i = 0;
    for (; i + 16 <= samples; i += 16) {
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_adds_epi16(d, s));
    }
    AddScalar(dst + i, src + i, samples - i);
}

// Unpacking and packing stay within each 128-bit lane, so the samples come back in order.
KIVO_AVX2 void AddScaledAvx2(int16_t* dst, const int16_t* src, size_t frames, int32_t gainLeft,
                             int32_t gainRight) {
    const auto l = static_cast<int16_t>(gainLeft);
    const auto r = static_cast<int16_t>(gainRight);
    const __m256i gains =
        _mm256_setr_epi16(l, 8192, r, 8192, l, 8192, r, 8192, l, 8192, r, 8192, l, 8192, r, 8192);
    const __m256i ones = _mm256_set1_epi16(1);
    const size_t samples = frames * 2;
    size_t i = 0;
    for (; i + 16 <= samples; i += 16) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i low =
            _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(s, ones), gains), 14);
        const __m256i high =
            _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(s, ones), gains), 14);
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i),
                            _mm256_adds_epi16(d, _mm256_packs_epi32(low, high)));
    }
    AddScaledScalar(dst + i, src + i, (samples - i) / 2, gainLeft, gainRight);
}

constexpr MixOps kAvx2Ops{AddAvx2, AddScaledAvx2};

#endif

}  // namespace

const MixOps& ScalarMixOps() {
    return kScalarOps;
}

const MixOps* Sse2MixOps() {
#if defined(__SSE2__)
    return &kSse2Ops;
#else
    return nullptr;
#endif
}

const MixOps* Avx2MixOps() {
#if defined(KIVO_MIX_AVX2) && defined(__SSE2__)
    static const bool supported = __builtin_cpu_supports("avx2") != 0;
    return supported ? &kAvx2Ops : nullptr;
#else
    return nullptr;
#endif
}

const MixOps& FastMixOps() {
    static const MixOps* const fastest = [] {
        if (const MixOps* avx2 = Avx2MixOps()) return avx2;
        if (const MixOps* sse2 = Sse2MixOps()) return sse2;
        return &kScalarOps;
    }();
    return *fastest;
}

}  // namespace kivo
