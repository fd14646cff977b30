#pragma once
// The sample arithmetic of the mix: 16-bit stereo sources added into the output with
// saturation, either as they are or scaled by a gain per channel.
//
// Gains are fixed point with 14 fraction bits: 16384 is unity, 0 silence. A scaled sample is
// (s x g + 8192) >> 14, rounded half up, so unity leaves every sample exactly as it is. Each
// addition saturates to -32768..32767 on its own, as the wave output's blocks do.
//
// As with the raster kernels there is a plain scalar set that states the arithmetic and SIMD
// sets (SSE2, and AVX2 chosen at run time) that give the same samples.

#include <cstddef>
#include <cstdint>

namespace kivo {

inline constexpr int32_t kUnityGain = 16384;

[[nodiscard]] constexpr int16_t SaturateSample(int32_t s) {
    return static_cast<int16_t>(s < -32768 ? -32768 : s > 32767 ? 32767 : s);
}

[[nodiscard]] constexpr int32_t ScaleSample(int32_t s, int32_t gain) {
    return (s * gain + 8192) >> 14;
}

struct MixOps {
    // dst[i] += src[i] over samples values, saturating.
    void (*Add)(int16_t* dst, const int16_t* src, size_t samples);
    // Interleaved stereo: dst left += scaled src left (gainLeft), right likewise, saturating.
    // Gains are 0..16384.
    void (*AddScaled)(int16_t* dst, const int16_t* src, size_t frames, int32_t gainLeft,
                      int32_t gainRight);
};

[[nodiscard]] const MixOps& ScalarMixOps();
// The fastest set the processor runs.
[[nodiscard]] const MixOps& FastMixOps();
// The SIMD sets, null when the build or the processor lacks them (for the tests).
[[nodiscard]] const MixOps* Sse2MixOps();
[[nodiscard]] const MixOps* Avx2MixOps();

}  // namespace kivo
