#pragma once
// The rectangle of every surface, clip and layout computation: (Left, Top, Right, Bottom) in
// 32-bit signed pixels, Right and Bottom exclusive.

#include <algorithm>
#include <cstdint>

namespace kivo {

struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;

    // Widths are computed in 64 bits by callers that take rectangles from outside data; inside
    // the player a rectangle spans at most a surface, so 32 bits hold them.
    [[nodiscard]] constexpr int32_t Width() const { return Right - Left; }
    [[nodiscard]] constexpr int32_t Height() const { return Bottom - Top; }
    [[nodiscard]] constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    [[nodiscard]] constexpr bool Contains(int32_t x, int32_t y) const {
        return x >= Left && x < Right && y >= Top && y < Bottom;
    }

    friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

// The common part of two rectangles; empty (and possibly inverted) when they do not meet.
[[nodiscard]] constexpr TRect Intersect(const TRect& a, const TRect& b) {
    return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
}

// The smallest rectangle holding both.
[[nodiscard]] constexpr TRect Union(const TRect& a, const TRect& b) {
    return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
            std::max(a.Bottom, b.Bottom)};
}

}  // namespace kivo
