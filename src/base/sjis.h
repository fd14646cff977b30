#pragma once
// Shift-JIS (code page 932) text. Text stays in CP932 bytes inside the player; these helpers
// walk it by character (a lead byte and its trail byte are one character), fold ASCII case
// without ever touching a trail byte, and convert to and from UTF-8 at the edges.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo::sjis {

// True for the first byte of a double-byte character (0x81-0x9F, 0xE0-0xFC).
[[nodiscard]] constexpr bool IsLeadByte(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Byte length of the character starting at pos: 2 for a lead byte followed by another byte,
// else 1 (a lead byte at the very end is a character of its own). 0 at or past the end.
[[nodiscard]] size_t CharLength(std::string_view text, size_t pos);

// The character code at pos: lead * 256 + trail for a double-byte character, else the byte.
[[nodiscard]] uint32_t CharCode(std::string_view text, size_t pos);

// Number of characters in text.
[[nodiscard]] size_t CharCount(std::string_view text);

// Calls fn(pos, length) for each character in order.
template <typename Fn>
void ForEachChar(std::string_view text, Fn&& fn) {
    for (size_t pos = 0; pos < text.size();) {
        size_t len = CharLength(text, pos);
        fn(pos, len);
        pos += len;
    }
}

// Splits text into lines at CR, LF or CR LF; a final line break adds no empty line. Neither
// byte is ever a trail byte, so the split never cuts a character.
[[nodiscard]] std::vector<std::string> SplitLines(std::string_view text);

// ASCII-only case folding of single-byte characters; trail bytes are never changed.
[[nodiscard]] std::string ToUpperAscii(std::string_view text);
[[nodiscard]] std::string ToLowerAscii(std::string_view text);
[[nodiscard]] constexpr uint8_t LowerAsciiByte(uint8_t b) {
    return (b >= 'A' && b <= 'Z') ? static_cast<uint8_t>(b + 32) : b;
}
[[nodiscard]] constexpr uint8_t UpperAsciiByte(uint8_t b) {
    return (b >= 'a' && b <= 'z') ? static_cast<uint8_t>(b - 32) : b;
}
// Comparison ignoring ASCII case, character by character.
[[nodiscard]] bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Path delimiters: '\' and '/' as single-byte characters (a trail byte 0x5C never counts).
[[nodiscard]] constexpr bool IsDelimiterByte(uint8_t b) { return b == '\\' || b == '/'; }
// Position of the last delimiter character, or npos.
[[nodiscard]] size_t FindLastDelimiter(std::string_view text);
// Position of the last occurrence of the single-byte character c, or npos.
[[nodiscard]] size_t FindLastChar(std::string_view text, char c);

// CP932 -> UTF-8. Bytes with no mapping become U+FFFD unless strict, where they fail.
[[nodiscard]] std::string ToUtf8(std::string_view cp932);
[[nodiscard]] std::optional<std::string> ToUtf8Strict(std::string_view cp932);
// UTF-8 -> CP932. Characters the code page cannot hold (or bad UTF-8) give nullopt.
[[nodiscard]] std::optional<std::string> FromUtf8(std::string_view utf8);
// UTF-8 -> CP932 replacing what cannot be held by '?'.
[[nodiscard]] std::string FromUtf8Lossy(std::string_view utf8);

// Decodes the UTF-8 character at pos and advances pos past it; nullopt (pos unchanged) for a
// bad or overlong sequence, a surrogate or a value above U+10FFFF.
[[nodiscard]] std::optional<uint32_t> NextUtf8(std::string_view s, size_t& pos);

// Single code conversions (0 when unmapped). Code is a byte or lead * 256 + trail.
[[nodiscard]] uint32_t CodeToUnicode(uint32_t code);
[[nodiscard]] uint32_t UnicodeToCode(uint32_t codePoint);

}  // namespace kivo::sjis
