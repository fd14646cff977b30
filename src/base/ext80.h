#pragma once
// The 80-bit extended floating-point values of the file formats (10 bytes, little-endian:
// 64-bit mantissa with an explicit integer bit, then sign and 15-bit exponent). Values are
// kept as their raw bytes so that files read and written again stay byte-identical; the
// conversions to and from double are exact where double can hold the value and round to
// nearest-even otherwise. Nothing here depends on the compiler's long double.

#include <array>
#include <cstdint>

namespace kivo {

struct Ext80 {
    std::array<uint8_t, 10> bytes{};

    [[nodiscard]] static Ext80 FromDouble(double value);
    [[nodiscard]] double ToDouble() const;
    // True when FromDouble(ToDouble()) gives these bytes back.
    [[nodiscard]] bool IsExactDouble() const;

    friend bool operator==(const Ext80&, const Ext80&) = default;
};

}  // namespace kivo
