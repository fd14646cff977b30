#include "base/ext80.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace kivo {
namespace {

constexpr int kDoubleBias = 1023;
constexpr int kExtBias = 16383;

void Store(Ext80& out, uint64_t mantissa, uint16_t signExponent) {
    for (int i = 0; i < 8; ++i)
        out.bytes[i] = static_cast<uint8_t>(mantissa >> (8 * i));
    out.bytes[8] = static_cast<uint8_t>(signExponent);
    out.bytes[9] = static_cast<uint8_t>(signExponent >> 8);
}

}  // namespace

Ext80 Ext80::FromDouble(double value) {
    uint64_t bits = std::bit_cast<uint64_t>(value);
    uint16_t sign = static_cast<uint16_t>((bits >> 63) << 15);
    int exponent = static_cast<int>((bits >> 52) & 0x7FF);
    uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
    Ext80 out;
    if (exponent == 0x7FF) {  // infinity or NaN: explicit integer bit set
        Store(out, (uint64_t{1} << 63) | (fraction << 11), static_cast<uint16_t>(sign | 0x7FFF));
    } else if (exponent == 0) {
        if (fraction == 0) {
            Store(out, 0, sign);
        } else {  // subnormal double: normalise, the extended range holds it
            int shift = std::countl_zero(fraction);
            uint64_t mantissa = fraction << shift;
            int e = 1 - kDoubleBias - (shift - 11) + kExtBias;
            Store(out, mantissa, static_cast<uint16_t>(sign | e));
        }
    } else {
        uint64_t mantissa = (uint64_t{1} << 63) | (fraction << 11);
        Store(out, mantissa, static_cast<uint16_t>(sign | (exponent - kDoubleBias + kExtBias)));
    }
    return out;
}

double Ext80::ToDouble() const {
    uint64_t mantissa = 0;
    for (int i = 0; i < 8; ++i)
        mantissa |= uint64_t{bytes[i]} << (8 * i);
    uint16_t signExponent = static_cast<uint16_t>(bytes[8] | bytes[9] << 8);
    uint64_t sign = static_cast<uint64_t>(signExponent >> 15) << 63;
    int exponent = signExponent & 0x7FFF;
    if (exponent == 0x7FFF) {
        uint64_t fraction = (mantissa << 1) >> 12;  // drop the integer bit
        if ((mantissa << 1) == 0) return std::bit_cast<double>(sign | (uint64_t{0x7FF} << 52));
        return std::bit_cast<double>(sign | (uint64_t{0x7FF} << 52) | (fraction ? fraction : 1) |
                                     (uint64_t{1} << 51));
    }
    if (mantissa == 0) return std::bit_cast<double>(sign);
    // Normalise (an unnormal with the integer bit clear is read by its value).
    int shift = std::countl_zero(mantissa);
    mantissa <<= shift;
    int e = exponent - kExtBias - shift;  // value = 1.xxx * 2^e
    int biased = e + kDoubleBias;
    int dropBits = 11;
    if (biased <= 0) {  // subnormal result: drop more bits
        dropBits += 1 - biased;
        biased = 0;
        if (dropBits > 64) return std::bit_cast<double>(sign);
    }
    uint64_t kept = dropBits >= 64 ? 0 : mantissa >> dropBits;
    uint64_t rest = dropBits >= 64 ? mantissa : mantissa << (64 - dropBits);
    constexpr uint64_t kHalf = uint64_t{1} << 63;
    if (rest > kHalf || (rest == kHalf && (kept & 1))) ++kept;  // round to nearest, ties to even
    if (biased == 0) {
        // kept holds the subnormal fraction; a carry into bit 52 makes it the smallest normal
        return std::bit_cast<double>(sign | kept);
    }
    if (kept >> 53) {  // rounding carried out of the mantissa
        kept >>= 1;
        ++biased;
    }
    if (biased >= 0x7FF) return std::bit_cast<double>(sign | (uint64_t{0x7FF} << 52));
    return std::bit_cast<double>(sign | (uint64_t(biased) << 52) |
                                 (kept & ((uint64_t{1} << 52) - 1)));
}

bool Ext80::IsExactDouble() const {
    return FromDouble(ToDouble()) == *this;
}

namespace {

// True when long double is the x87 80-bit format, stored little-endian in its first 10 bytes.
constexpr bool kLongDoubleIsExt80 = std::numeric_limits<long double>::digits == 64 &&
                                    std::numeric_limits<long double>::radix == 2 &&
                                    std::numeric_limits<long double>::max_exponent == 16384 &&
                                    sizeof(long double) >= 10 &&
                                    std::endian::native == std::endian::little;

uint64_t MantissaOf(const Ext80& value) {
    uint64_t mantissa = 0;
    for (int i = 0; i < 8; ++i)
        mantissa |= uint64_t{value.bytes[i]} << (8 * i);
    return mantissa;
}

uint16_t SignExponentOf(const Ext80& value) {
    return static_cast<uint16_t>(value.bytes[8] | value.bytes[9] << 8);
}

// Values the hardware takes as they are: zero and denormals (exponent 0, integer bit clear),
// normals (integer bit set), and infinities and NaNs with the integer bit set.
bool IsCanonical(const Ext80& value) {
    const int exponent = SignExponentOf(value) & 0x7FFF;
    const bool integerBit = (MantissaOf(value) >> 63) != 0;
    return exponent == 0 ? !integerBit : integerBit;
}

}  // namespace

Ext80 Ext80::FromExtendedByValue(Extended value) {
    Ext80 out;
    const uint16_t sign = std::signbit(value) ? 0x8000 : 0;
    if (std::isnan(value)) {
        Store(out, (uint64_t{1} << 63) | (uint64_t{1} << 62), static_cast<uint16_t>(sign | 0x7FFF));
        return out;
    }
    if (std::isinf(value)) {
        Store(out, uint64_t{1} << 63, static_cast<uint16_t>(sign | 0x7FFF));
        return out;
    }
    if (value == 0) {
        Store(out, 0, sign);
        return out;
    }
    int exponent = 0;
    // |value| = fraction * 2^exponent with fraction in [0.5, 1): the top mantissa bit is the
    // fraction's first bit, so the biased exponent is exponent - 1 + bias.
    const Extended fraction = std::frexp(std::fabs(value), &exponent);
    int biased = exponent - 1 + kExtBias;
    int shift = 64;
    if (biased <= 0) {  // a denormal of the extended range: the exponent stays at its least
        shift += biased - 1;
        biased = 0;
    }
    if (biased >= 0x7FFF) {
        Store(out, uint64_t{1} << 63, static_cast<uint16_t>(sign | 0x7FFF));
        return out;
    }
    const Extended scaled = std::nearbyint(std::ldexp(fraction, shift));
    uint64_t mantissa = 0;
    if (scaled >= std::ldexp(Extended{1}, 64)) {
        // Rounding carried out of the mantissa: one more in the exponent.
        mantissa = uint64_t{1} << 63;
        ++biased;
    } else {
        mantissa = static_cast<uint64_t>(scaled);
        // A denormal that rounded up to the integer bit is the least normal.
        if (biased == 0 && (mantissa >> 63) != 0) biased = 1;
    }
    if (biased >= 0x7FFF) mantissa = uint64_t{1} << 63;  // infinity
    Store(out, mantissa, static_cast<uint16_t>(sign | std::min(biased, 0x7FFF)));
    return out;
}

Extended Ext80::ToExtendedByValue() const {
    const uint64_t mantissa = MantissaOf(*this);
    const uint16_t signExponent = SignExponentOf(*this);
    const bool negative = (signExponent >> 15) != 0;
    const int exponent = signExponent & 0x7FFF;
    Extended magnitude;
    if (exponent == 0x7FFF) {
        magnitude = (mantissa << 1) == 0 ? std::numeric_limits<Extended>::infinity()
                                         : std::numeric_limits<Extended>::quiet_NaN();
    } else {
        // Denormals and pseudo-denormals share the least exponent, 1 - bias.
        const int e = (exponent == 0 ? 1 : exponent) - kExtBias - 63;
        magnitude = std::ldexp(static_cast<Extended>(mantissa), e);
    }
    return negative ? -magnitude : magnitude;
}

Ext80 Ext80::FromExtended(Extended value) {
    if constexpr (kLongDoubleIsExt80) {
        Ext80 out;
        std::memcpy(out.bytes.data(), &value, out.bytes.size());
        return out;
    } else {
        return FromExtendedByValue(value);
    }
}

Extended Ext80::ToExtended() const {
    if constexpr (kLongDoubleIsExt80) {
        if (IsCanonical(*this)) {
            Extended value = 0;
            std::memcpy(&value, bytes.data(), bytes.size());
            return value;
        }
    }
    return ToExtendedByValue();
}

}  // namespace kivo
