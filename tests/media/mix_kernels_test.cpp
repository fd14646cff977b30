// The mix arithmetic: exact cases of the scaled add, and every SIMD set held to the scalar one
// over random samples, gains and lengths.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "media/mix_kernels.h"

namespace kivo {
namespace {

TEST(MixKernels, ScaledAddRoundsHalfUpAndSaturatesEachAddition) {
    struct Case {
        int16_t dst;
        int16_t src;
        int32_t gain;
        int16_t expected;
    };
    const std::vector<Case> cases = {
        {0, 12345, kUnityGain, 12345},    // unity is exact
        {0, -32768, kUnityGain, -32768},  //
        {0, 3, 8192, 2},                  // 1.5 rounds up
        {0, -3, 8192, -1},                // -1.5 rounds up too
        {0, 32767, 0, 0},                 // silence
        {30000, 30000, kUnityGain, 32767},
        {-30000, -30000, 8192, -32768},  // -30000 - 15000 clips
        {-30000, -30000, kUnityGain, -32768},
    };
    for (const MixOps* ops : {&ScalarMixOps(), &FastMixOps()}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.dst << " + " << c.src << " x " << c.gain);
            // Both channels and more than one SIMD width, so vector and tail code both run.
            std::vector<int16_t> dst(70, c.dst);
            const std::vector<int16_t> src(70, c.src);
            ops->AddScaled(dst.data(), src.data(), 35, c.gain, c.gain);
            EXPECT_EQ(dst, std::vector<int16_t>(70, c.expected));
        }
    }
}

TEST(MixKernels, EverySetGivesTheScalarSamples) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> sample(-32768, 32767);
    std::uniform_int_distribution<int> gain(0, kUnityGain);
    for (const MixOps* ops : {Sse2MixOps(), Avx2MixOps()}) {
        if (ops == nullptr) continue;
        for (size_t frames : {0u, 1u, 3u, 4u, 7u, 8u, 9u, 31u, 1000u}) {
            SCOPED_TRACE(frames);
            std::vector<int16_t> src(frames * 2);
            std::vector<int16_t> dst(frames * 2);
            for (auto& s : src)
                s = static_cast<int16_t>(sample(random));
            for (auto& d : dst)
                d = static_cast<int16_t>(sample(random));
            std::vector<int16_t> want = dst;
            std::vector<int16_t> got = dst;
            ScalarMixOps().Add(want.data(), src.data(), src.size());
            ops->Add(got.data(), src.data(), src.size());
            ASSERT_EQ(got, want);
            const int32_t left = gain(random);
            const int32_t right = gain(random);
            for (const auto& [l, r] : {std::pair{left, right}, std::pair{kUnityGain, 0}}) {
                want = dst;
                got = dst;
                ScalarMixOps().AddScaled(want.data(), src.data(), frames, l, r);
                ops->AddScaled(got.data(), src.data(), frames, l, r);
                ASSERT_EQ(got, want) << l << " " << r;
            }
        }
    }
}

}  // namespace
}  // namespace kivo
