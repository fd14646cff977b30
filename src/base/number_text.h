#pragma once
// The texts of numbers and flags as scripts see them: what a value reads as when it is shown
// or stored as a string, and what a string reads as when a number is wanted. Script values and
// the data tables share these rules.

#include <cstdint>
#include <string>
#include <string_view>

#include "base/ext80.h"

namespace kivo {

// Decimal text of an integer.
[[nodiscard]] std::string IntToString(int32_t value);
// General format with 15 significant digits and '.' as the decimal point whatever the locale:
// fixed notation from 1E-5 up to 15 digits before the point, scientific ("1.5E20") beyond.
[[nodiscard]] std::string FloatToString(Extended value);
// Decimal (or "$"/"0x" hexadecimal) integer text with optional sign and surrounding blanks;
// false when the text is not such a number or does not fit in int32.
[[nodiscard]] bool TryParseInt(std::string_view text, int32_t& value);
// Decimal float text with optional sign, fraction and exponent, independent of the locale;
// false otherwise (also for "inf" and "nan").
[[nodiscard]] bool TryParseFloat(std::string_view text, Extended& value);
// The readings of a string as integer and float: 0 when the text is not a number.
[[nodiscard]] int32_t StringToInt(std::string_view text);
[[nodiscard]] Extended StringToFloat(std::string_view text);
// A string reads as a true flag only when it is exactly "TRUE".
[[nodiscard]] inline bool StringToFlag(std::string_view text) {
    return text == "TRUE";
}
[[nodiscard]] inline std::string_view FlagToString(bool value) {
    return value ? "TRUE" : "FALSE";
}

}  // namespace kivo
