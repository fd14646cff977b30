#pragma once
// Bounded arithmetic for layout and reveal. Sizes, borders and waits come from scripts and
// stored streams, so sums are taken in 64 bits and saturated instead of wrapping.

#include <algorithm>
#include <cstdint>
#include <limits>

namespace kivo::text_math {

// The largest width or height a glyph measures; far above any scene, far below overflow when
// thousands of cells are added up.
inline constexpr int64_t kMaxExtent = 1 << 20;

[[nodiscard]] constexpr int32_t Saturate(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}
[[nodiscard]] constexpr int32_t Add(int32_t a, int64_t b) {
    return Saturate(int64_t{a} + b);
}
[[nodiscard]] constexpr int32_t Extent(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, 0, kMaxExtent));
}

}  // namespace kivo::text_math
