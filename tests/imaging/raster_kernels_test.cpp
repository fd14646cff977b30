// The SSE2 row kernels must give the scalar kernels' bytes on any input. Random rows are
// biased towards the values the skip rules look at: destination equal to source, the key,
// mask values 0 and 255, and channels at 0 and 255.

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "imaging/row_ops.h"

namespace kivo {
namespace {

struct Rows {
    std::vector<uint32_t> dst, src;
    std::vector<uint8_t> mask;
    uint32_t key;
};

Rows RandomRows(std::mt19937& rng, int32_t count) {
    auto next = [&] { return static_cast<uint32_t>(rng()); };
    auto pick = [&](uint32_t bound) { return next() % bound; };
    Rows r;
    r.key = pick(4) == 0 ? 0xFFFFFFFF : next();
    const uint32_t palette[] = {0, 0xFFFFFFFF, 0x00FFFFFF, 0x00808080, r.key, next(), next()};
    for (int32_t i = 0; i < count; ++i) {
        r.src.push_back(pick(3) == 0 ? palette[pick(7)] : next());
        // A third of the destination pixels repeat their source pixel.
        r.dst.push_back(pick(3) == 0 ? r.src.back() : (pick(4) == 0 ? palette[pick(7)] : next()));
        const uint32_t m = pick(4);
        r.mask.push_back(static_cast<uint8_t>(m == 0 ? 0 : m == 1 ? 255 : next()));
    }
    // Whole blocks of 4, 8, 16 and 32 clear or opaque mask values take the kernels' shortcuts,
    // read from either end.
    for (int32_t block : {4, 8, 16, 32}) {
        if (count < block) break;
        const auto start = static_cast<int32_t>(pick(static_cast<uint32_t>(count - block + 1)));
        const uint32_t kind = pick(3);
        if (kind < 2)
            std::fill_n(r.mask.begin() + start, block, static_cast<uint8_t>(kind == 0 ? 0 : 255));
    }
    return r;
}

// Runs one kernel call on a copy of the rows; step -1 reads the source from its last pixel.
using Call = std::function<void(const RowOps&, uint32_t*, const uint32_t*, const uint8_t*, int32_t,
                                int32_t, const Rows&, uint32_t)>;

TEST(RasterKernels, FastKernelsEqualScalarKernels) {
    const std::pair<const char*, Call> kernels[] = {
        {"Copy", [](const RowOps& o, uint32_t* d, const uint32_t* s, const uint8_t*, int32_t n,
                    int32_t step, const Rows& r,
                    uint32_t) { o.Copy(d, s, n, step, r.key == 0xFFFFFFFF ? kNoKey : r.key); }},
        {"Alpha",
         [](const RowOps& o, uint32_t* d, const uint32_t* s, const uint8_t*, int32_t n,
            int32_t step, const Rows& r, uint32_t w) {
             o.Alpha(d, s, n, step, w % 255 + 1, r.key == 0xFFFFFFFF ? kNoKey : r.key);
         }},
        {"Mask", [](const RowOps& o, uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n,
                    int32_t step, const Rows&, uint32_t) { o.Mask(d, s, m, n, step); }},
        {"MaskAlpha",
         [](const RowOps& o, uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n,
            int32_t step, const Rows&, uint32_t w) { o.MaskAlpha(d, s, m, n, step, w % 255 + 1); }},
        {"Add",
         [](const RowOps& o, uint32_t* d, const uint32_t* s, const uint8_t*, int32_t n,
            int32_t step, const Rows& r, uint32_t w) {
             o.Add(d, s, n, step, w % 256 + 1, r.key == 0xFFFFFFFF ? kNoKey : r.key);
         }},
        {"MaskAdd",
         [](const RowOps& o, uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n,
            int32_t step, const Rows&, uint32_t w) { o.MaskAdd(d, s, m, n, step, w % 256 + 1); }},
        {"Fill", [](const RowOps& o, uint32_t* d, const uint32_t* s, const uint8_t*, int32_t n,
                    int32_t, const Rows&, uint32_t) { o.Fill(d, n, *s); }},
        {"FillAlpha",
         [](const RowOps& o, uint32_t* d, const uint32_t*, const uint8_t*, int32_t n, int32_t,
            const Rows& r, uint32_t w) { o.FillAlpha(d, n, r.dst[n / 2], w % 255 + 1); }},
        {"FillAdd", [](const RowOps& o, uint32_t* d, const uint32_t* s, const uint8_t*, int32_t n,
                       int32_t, const Rows&, uint32_t) { o.FillAdd(d, n, *s); }},
        {"FillSub", [](const RowOps& o, uint32_t* d, const uint32_t* s, const uint8_t*, int32_t n,
                       int32_t, const Rows&, uint32_t) { o.FillSub(d, n, *s); }},
        {"FillMask", [](const RowOps& o, uint32_t* d, const uint32_t*, const uint8_t* m, int32_t n,
                        int32_t step, const Rows& r,
                        uint32_t w) { o.FillMask(d, m, n, step, r.dst[n / 2], w % 300); }},
        // The mask bytes index a table made of the source row; the floor runs from below 0 to
        // above 255, and rows of 0 and 255 take the skips of whole blocks.
        {"AddIndexed", [](const RowOps& o, uint32_t* d, const uint32_t*, const uint8_t* m,
                          int32_t n, int32_t step, const Rows& r, uint32_t w) {
             std::vector<uint32_t> table(256);
             for (size_t i = 0; i < table.size(); ++i)
                 table[i] = r.src[i % r.src.size()];
             o.AddIndexed(d, m, n, step, table.data(), static_cast<int32_t>(w % 280) - 10);
         }},
    };
    // Every SIMD set this processor runs, and the one the surfaces use.
    std::vector<std::pair<const char*, const RowOps*>> sets{{"fast", &FastRowOps()}};
    if (Sse2RowOps()) sets.emplace_back("SSE2", Sse2RowOps());
    if (Avx2RowOps()) sets.emplace_back("AVX2", Avx2RowOps());
    for (const auto& [setName, ops] : sets) {
        std::mt19937 rng(20261210);
        for (const auto& [name, call] : kernels) {
            for (int trial = 0; trial < 600; ++trial) {
                // Mostly short rows, which end in every tail length, and some longer ones.
                const auto count = static_cast<int32_t>(1 + rng() % (trial % 4 == 0 ? 200 : 70));
                const Rows rows = RandomRows(rng, count);
                const auto weight = static_cast<uint32_t>(rng());
                for (int32_t step : {1, -1}) {
                    const int32_t first = step == 1 ? 0 : count - 1;
                    std::vector<uint32_t> expected = rows.dst, actual = rows.dst;
                    call(ScalarRowOps(), expected.data(), rows.src.data() + first,
                         rows.mask.data() + first, count, step, rows, weight);
                    call(*ops, actual.data(), rows.src.data() + first, rows.mask.data() + first,
                         count, step, rows, weight);
                    ASSERT_EQ(actual, expected)
                        << setName << " " << name << " trial " << trial << " step " << step;
                }
            }
        }
    }
}

// The masked blends over every mask value and alpha, each pixel blending a random destination
// with a random source (and with itself), so that no weight escapes the comparison.
TEST(RasterKernels, MaskedBlendsEqualScalarOverAllWeights) {
    std::vector<const RowOps*> sets{&FastRowOps()};
    if (Sse2RowOps()) sets.push_back(Sse2RowOps());
    if (Avx2RowOps()) sets.push_back(Avx2RowOps());
    std::mt19937 rng(4711);
    constexpr int32_t kCount = 256;
    std::vector<uint32_t> src(kCount), dst(kCount);
    std::vector<uint8_t> mask(kCount);
    for (const RowOps* ops : sets) {
        for (uint32_t alpha = 1; alpha <= 255; ++alpha) {
            for (int32_t i = 0; i < kCount; ++i) {
                src[static_cast<size_t>(i)] = static_cast<uint32_t>(rng());
                dst[static_cast<size_t>(i)] =
                    i % 7 == 0 ? src[static_cast<size_t>(i)] : static_cast<uint32_t>(rng());
                mask[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 97 + alpha);
            }
            for (int32_t step : {1, -1}) {
                const int32_t first = step == 1 ? 0 : kCount - 1;
                std::vector<uint32_t> expected = dst, actual = dst;
                ScalarRowOps().MaskAlpha(expected.data(), src.data() + first, mask.data() + first,
                                         kCount, step, alpha);
                ops->MaskAlpha(actual.data(), src.data() + first, mask.data() + first, kCount, step,
                               alpha);
                ASSERT_EQ(actual, expected) << "MaskAlpha alpha " << alpha << " step " << step;
                expected = dst, actual = dst;
                ScalarRowOps().Mask(expected.data(), src.data() + first, mask.data() + first,
                                    kCount, step);
                ops->Mask(actual.data(), src.data() + first, mask.data() + first, kCount, step);
                ASSERT_EQ(actual, expected) << "Mask step " << step;
                expected = dst, actual = dst;
                ScalarRowOps().Alpha(expected.data(), src.data() + first, kCount, step, alpha,
                                     kNoKey);
                ops->Alpha(actual.data(), src.data() + first, kCount, step, alpha, kNoKey);
                ASSERT_EQ(actual, expected) << "Alpha alpha " << alpha << " step " << step;
            }
            std::vector<uint32_t> expected(kCount), actual(kCount);
            ScalarRowOps().Mix(expected.data(), dst.data(), src.data(), kCount, alpha);
            ops->Mix(actual.data(), dst.data(), src.data(), kCount, alpha);
            ASSERT_EQ(actual, expected) << "Mix weight " << alpha;
            ScalarRowOps().MaskMix(expected.data(), dst.data(), src.data(), mask.data(), kCount);
            ops->MaskMix(actual.data(), dst.data(), src.data(), mask.data(), kCount);
            ASSERT_EQ(actual, expected) << "MaskMix";
        }
    }
}

// The kernels that mix two pictures into a third row, on the same biased rows: from is the
// destination row above (a third of it equal to to), to the source row. The output starts as
// garbage, since every pixel is written.
TEST(RasterKernels, TransitionKernelsEqualScalarKernels) {
    using Mixer = std::function<void(const RowOps&, uint32_t*, const Rows&, int32_t, uint32_t)>;
    const std::pair<const char*, Mixer> kernels[] = {
        {"Mix", [](const RowOps& o, uint32_t* d, const Rows& r, int32_t n,
                   uint32_t w) { o.Mix(d, r.dst.data(), r.src.data(), n, w % 255 + 1); }},
        {"MaskMix", [](const RowOps& o, uint32_t* d, const Rows& r, int32_t n,
                       uint32_t) { o.MaskMix(d, r.dst.data(), r.src.data(), r.mask.data(), n); }},
        {"MaskSelect",
         [](const RowOps& o, uint32_t* d, const Rows& r, int32_t n, uint32_t) {
             o.MaskSelect(d, r.dst.data(), r.src.data(), r.mask.data(), n);
         }},
        {"CopyAdd", [](const RowOps& o, uint32_t* d, const Rows& r, int32_t n,
                       uint32_t w) { o.CopyAdd(d, r.src.data(), n, w); }},
        {"CopySub", [](const RowOps& o, uint32_t* d, const Rows& r, int32_t n,
                       uint32_t w) { o.CopySub(d, r.src.data(), n, w); }},
        // Levels from the mask bytes spread over 0..510 and an offset that puts them below,
        // inside and above the ramp.
        {"RampTint",
         [](const RowOps& o, uint32_t* d, const Rows& r, int32_t n, uint32_t w) {
             std::vector<uint16_t> levels;
             for (uint8_t m : r.mask)
                 levels.push_back(static_cast<uint16_t>(m * 2));
             o.RampTint(d, r.dst.data(), r.src.data(), levels.data(), n,
                        static_cast<int32_t>(w % 1100) - 300, (w >> 16) % 2 == 1);
         }},
        // Mask bytes moved by -300..299, written into the low bytes of the output row.
        {"ShiftBytes",
         [](const RowOps& o, uint32_t* d, const Rows& r, int32_t n, uint32_t w) {
             std::vector<uint8_t> out(static_cast<size_t>(n));
             o.ShiftBytes(out.data(), r.mask.data(), n, static_cast<int32_t>(w % 600) - 300);
             std::copy(out.begin(), out.end(), d);
         }},
    };
    std::vector<std::pair<const char*, const RowOps*>> sets{{"fast", &FastRowOps()}};
    if (Sse2RowOps()) sets.emplace_back("SSE2", Sse2RowOps());
    if (Avx2RowOps()) sets.emplace_back("AVX2", Avx2RowOps());
    for (const auto& [setName, ops] : sets) {
        std::mt19937 rng(77);
        for (const auto& [name, call] : kernels) {
            for (int trial = 0; trial < 600; ++trial) {
                const auto count = static_cast<int32_t>(1 + rng() % (trial % 4 == 0 ? 200 : 70));
                Rows rows = RandomRows(rng, count);
                // Rows where the mask holds one value over every 16-pixel block, as the
                // transitions' masks mostly do, next to rows of mixed values.
                if (trial % 3 == 0) {
                    for (size_t i = 0; i < rows.mask.size(); ++i)
                        rows.mask[i] = rows.mask[i / 16 * 16];
                }
                const auto weight = static_cast<uint32_t>(rng());
                std::vector<uint32_t> expected(static_cast<size_t>(count), 0xDEADBEEF);
                std::vector<uint32_t> actual = expected;
                call(ScalarRowOps(), expected.data(), rows, count, weight);
                call(*ops, actual.data(), rows, count, weight);
                ASSERT_EQ(actual, expected) << setName << " " << name << " trial " << trial;
                // Written over one of its own inputs, a kernel gives the same pixels.
                Rows aliased = rows;
                call(*ops, aliased.src.data(), aliased, count, weight);
                ASSERT_EQ(aliased.src, expected) << setName << " " << name << " in place";
            }
        }
    }
}

TEST(RasterKernels, PixelFormulas) {
    // Channels are computed in place and the fourth byte of a blend or sum is always 0.
    EXPECT_EQ(BlendPixel(0x00FF8000, 0x000080FF, 128), 0x007E7F7Fu);
    EXPECT_EQ(BlendPixel(0xFF000000, 0xFFFFFFFF, 255), 0x00FEFEFEu);
    EXPECT_EQ(AddPixel(0x00FF0102, 0xFF01FFFE, 256), 0x00FFFFFFu);
    EXPECT_EQ(AddPixel(0x00000000, 0x00FFFFFF, 255), 0x00FEFEFEu);
    EXPECT_EQ(SubSaturate(0xFF102030, 0x00201010), 0x00001020u);
    EXPECT_EQ(MaskAlphaWeight(200, 255), 200u);
    EXPECT_EQ(MaskAlphaWeight(200, 254), 198u);
}

}  // namespace
}  // namespace kivo
