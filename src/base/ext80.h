#pragma once
// The 80-bit extended floating-point values of the file formats (10 bytes, little-endian:
// 64-bit mantissa with an explicit integer bit, then sign and 15-bit exponent). Values are
// kept as their raw bytes so that files read and written again stay byte-identical; the
// conversions to and from double are exact where double can hold the value and round to
// nearest-even otherwise.
//
// Script floats compute in Extended, the compiler's long double. On x86-64 that is the x87
// extended format itself, so the games' sums, comparisons and texts come out as they did on
// the machine they were made for; on another architecture long double has another precision
// and results round differently (docs/formats.md).

#include <array>
#include <cstdint>

namespace kivo {

using Extended = long double;

struct Ext80 {
    std::array<uint8_t, 10> bytes{};

    [[nodiscard]] static Ext80 FromDouble(double value);
    [[nodiscard]] double ToDouble() const;
    // True when FromDouble(ToDouble()) gives these bytes back.
    [[nodiscard]] bool IsExactDouble() const;

    // Exact both ways where long double is the x87 format. Unnormals and pseudo-denormals,
    // which no writer makes but damaged files may hold, read by the value their bits spell
    // (an unnormal with an exponent of all ones reads as infinity or NaN).
    [[nodiscard]] static Ext80 FromExtended(Extended value);
    [[nodiscard]] Extended ToExtended() const;
    // The same conversions by arithmetic alone, for a long double of any format (rounding to
    // its precision); the x87 build checks them against the direct ones.
    [[nodiscard]] static Ext80 FromExtendedByValue(Extended value);
    [[nodiscard]] Extended ToExtendedByValue() const;

    friend bool operator==(const Ext80&, const Ext80&) = default;
};

}  // namespace kivo
