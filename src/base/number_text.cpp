#include "base/number_text.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace kivo {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

}  // namespace

std::string IntToString(int32_t value) {
    char buffer[16];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string FloatToString(Extended value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (value == 0.0) return "0";
    // Fifteen significant digits in scientific form give the digits and the exponent; the
    // text is then laid out in fixed or scientific notation from them.
    char buffer[40];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    std::string_view sci(buffer, static_cast<size_t>(result.ptr - buffer));
    bool negative = sci.front() == '-';
    if (negative) sci.remove_prefix(1);
    size_t ePos = sci.find('e');
    std::string digits;
    for (char c : sci.substr(0, ePos)) {
        if (c != '.') digits += c;
    }
    int exponent = 0;
    std::string_view expText = sci.substr(ePos + 1);
    if (!expText.empty() && expText.front() == '+') expText.remove_prefix(1);
    std::from_chars(expText.data(), expText.data() + expText.size(), exponent);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string text = negative ? "-" : "";
    if (exponent >= -5 && exponent < 15) {
        if (exponent < 0) {
            text += "0.";
            text.append(static_cast<size_t>(-exponent - 1), '0');
            text += digits;
        } else if (static_cast<size_t>(exponent) + 1 >= digits.size()) {
            text += digits;
            text.append(static_cast<size_t>(exponent) + 1 - digits.size(), '0');
        } else {
            text += digits.substr(0, static_cast<size_t>(exponent) + 1);
            text += '.';
            text += digits.substr(static_cast<size_t>(exponent) + 1);
        }
        return text;
    }
    text += digits.substr(0, 1);
    if (digits.size() > 1) {
        text += '.';
        text += digits.substr(1);
    }
    text += 'E';
    text += std::to_string(exponent);
    return text;
}

bool TryParseInt(std::string_view text, int32_t& value) {
    text = TrimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return false;
    uint64_t magnitude = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return false;
    if (base == 16) {
        // Hexadecimal text names the 32 bits, so $FFFFFFFF is -1.
        if (magnitude > 0xFFFFFFFFu) return false;
        auto bits = static_cast<uint32_t>(magnitude);
        value = static_cast<int32_t>(negative ? 0u - bits : bits);
        return true;
    }
    if (magnitude > (negative ? 2147483648u : 2147483647u)) return false;
    value = static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude)
                                          : static_cast<int64_t>(magnitude));
    return true;
}

bool TryParseFloat(std::string_view text, Extended& value) {
    text = TrimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Only digits, one point and an exponent: from_chars alone would also take "inf", "nan"
    // and hexadecimal forms.
    if (text.empty() ||
        !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '.')) {
        return false;
    }
    Extended parsed = 0;
    auto result =
        std::from_chars(text.data(), text.data() + text.size(), parsed, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return false;
    value = negative ? -parsed : parsed;
    return true;
}

int32_t StringToInt(std::string_view text) {
    int32_t value = 0;
    return TryParseInt(text, value) ? value : 0;
}

Extended StringToFloat(std::string_view text) {
    Extended value = 0;
    return TryParseFloat(text, value) ? value : 0.0;
}

}  // namespace kivo
