#include "base/ext80.h"

#include <bit>
#include <cstring>

namespace kivo {
namespace {

constexpr int kDoubleBias = 1023;
constexpr int kExtBias = 16383;

void Store(Ext80& out, uint64_t mantissa, uint16_t signExponent) {
    for (int i = 0; i < 8; ++i) out.bytes[i] = static_cast<uint8_t>(mantissa >> (8 * i));
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
            int shift = std::countl_zero(fraction) ;
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
    for (int i = 0; i < 8; ++i) mantissa |= uint64_t{bytes[i]} << (8 * i);
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
    return std::bit_cast<double>(sign | (uint64_t(biased) << 52) | (kept & ((uint64_t{1} << 52) - 1)));
}

bool Ext80::IsExactDouble() const { return FromDouble(ToDouble()) == *this; }

}  // namespace kivo
