#include "base/byte_io.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "base/error.h"

namespace kivo {
namespace {

TEST(ByteIo, WriterAndReaderAgree) {
    ByteWriter w;
    w.WriteI32(-2);
    w.WriteU8(7);
    w.WriteCountedString("abc");
    w.WriteI32(0);  // empty string
    w.WriteI64(-5);
    ByteReader r(w.Bytes(), "t.bin");
    EXPECT_EQ(r.ReadI32(), -2);
    EXPECT_EQ(r.ReadU8(), 7);
    EXPECT_EQ(r.ReadCountedString(), "abc");
    EXPECT_EQ(r.ReadCountedString(), "");
    EXPECT_EQ(r.ReadI64(), -5);
    EXPECT_TRUE(r.AtEnd());
}

TEST(ByteIo, ShortOrHostileInputNamesTheFile) {
    const uint8_t longString[] = {0xFF, 0xFF, 0xFF, 0x7F, 'a'};  // count far past the end
    const uint8_t negativeCount[] = {0xFF, 0xFF, 0xFF, 0xFF};
    const uint8_t twoBytes[] = {1, 2};
    try {
        (void)ByteReader(longString, "page.ksb").ReadCountedString();
        FAIL();
    } catch (const KivoError& e) {
        EXPECT_EQ(e.File(), "page.ksb");
    }
    EXPECT_EQ(ByteReader(negativeCount, "x").ReadCountedString(), "");
    EXPECT_THROW((void)ByteReader(negativeCount, "x").ReadCount(1), KivoError);
    EXPECT_THROW((void)ByteReader(twoBytes, "x").ReadI32(), KivoError);
    const uint8_t bigCount[] = {10, 0, 0, 0, 1, 2, 3};
    EXPECT_THROW((void)ByteReader(bigCount, "x").ReadCount(1), KivoError);
}

TEST(Ext80, EncodesKnownValuesExactly) {
    struct Case {
        double value;
        std::array<uint8_t, 10> bytes;
    } cases[] = {
        {1.0, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}},
        {-2.5, {0, 0, 0, 0, 0, 0, 0, 0xA0, 0x00, 0xC0}},
        {0.0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {0.1, {0x00, 0xD0, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFB, 0x3F}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Ext80::FromDouble(c.value).bytes, c.bytes) << c.value;
        EXPECT_EQ(Ext80{c.bytes}.ToDouble(), c.value);
    }
}

TEST(Ext80, RoundTripsEdgeValuesAndRoundsExtraPrecision) {
    const double values[] = {std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::max(),
                             -std::numeric_limits<double>::infinity(), 1e-300, 123456.789};
    for (double v : values)
        EXPECT_EQ(Ext80::FromDouble(v).ToDouble(), v);
    EXPECT_TRUE(std::isnan(Ext80::FromDouble(std::nan("")).ToDouble()));
    // The extended 0.1 (mantissa 0xCCCCCCCCCCCCCCCD) rounds to the double 0.1.
    Ext80 tenth{{0xCD, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFB, 0x3F}};
    EXPECT_EQ(tenth.ToDouble(), 0.1);
    EXPECT_FALSE(tenth.IsExactDouble());
    // Beyond the double range: infinity and signed zero, never garbage.
    const Ext80 huge{{0, 0, 0, 0, 0, 0, 0, 0x80, 0xFE, 0x7F}};
    const Ext80 tiny{{0, 0, 0, 0, 0, 0, 0, 0x80, 0x01, 0x80}};
    EXPECT_TRUE(std::isinf(huge.ToDouble()));
    EXPECT_EQ(tiny.ToDouble(), 0.0);
    EXPECT_TRUE(std::signbit(tiny.ToDouble()));
}

TEST(Ext80, ExtendedValuesKeepEveryBit) {
    using B = std::array<uint8_t, 10>;
    const B cases[] = {
        {0xCD, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFB, 0x3F},  // 0.1, extended nearest
        {0x01, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F},                    // 1 + 2^-63
        {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFE, 0x7F},                       // largest power of two
        {0, 0, 0, 0, 0, 0, 0, 0x80, 0x01, 0x80},                       // -least normal
        {0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0},                             // least denormal
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80},                             // -0
        {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0xFF},                       // -infinity
    };
    for (const B& bytes : cases) {
        const Ext80 value{bytes};
        const Extended extended = value.ToExtended();
        EXPECT_EQ(Ext80::FromExtended(extended).bytes, bytes);
        // The portable conversions agree with the direct ones bit for bit.
        EXPECT_EQ(Ext80::FromExtendedByValue(extended).bytes, bytes);
        EXPECT_EQ(Ext80::FromExtended(value.ToExtendedByValue()).bytes, bytes);
    }
    EXPECT_EQ(Ext80{cases[0]}.ToExtended(), 0.1L);
    EXPECT_EQ(Ext80{cases[1]}.ToExtended() - 1, std::ldexp(1.0L, -63));
    EXPECT_TRUE(std::isnan(Ext80::FromExtended(std::nanl("")).ToExtended()));
    EXPECT_TRUE(std::isnan(Ext80::FromExtendedByValue(std::nanl("")).ToExtended()));

    // Bit patterns no writer makes read by their value: an unnormal (integer bit clear) and a
    // pseudo-denormal (exponent 0, integer bit set).
    const Ext80 unnormalHalf{{0, 0, 0, 0, 0, 0, 0, 0x40, 0xFF, 0x3F}};
    EXPECT_EQ(unnormalHalf.ToExtended(), 0.5L);
    const Ext80 pseudoDenormal{{0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0}};
    EXPECT_EQ(pseudoDenormal.ToExtended(), std::numeric_limits<long double>::min());
}

}  // namespace
}  // namespace kivo
