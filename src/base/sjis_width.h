#pragma once
// Half-width and full-width forms of Shift-JIS text: ASCII and half-width katakana against
// their JIS X 0208 counterparts, as the string functions HanToZen and ZenToHan use them.

#include <string>
#include <string_view>

namespace kivo::sjis {

// Single bytes become their full-width characters; a half-width kana followed by a voiced or
// semi-voiced mark becomes one voiced character where that character exists (never for u).
// Double-byte characters stay; single bytes without a full-width form (control bytes, 0x7F,
// 0x80, 0xA0, 0xFD-0xFF, a lone lead byte at the end) are dropped.
[[nodiscard]] std::string ToFullWidth(std::string_view text);
// The reverse: full-width characters with a half-width form become it (a voiced kana becomes
// two bytes), single bytes stay, every other double-byte character (kanji, hiragana, other
// symbols) is dropped.
[[nodiscard]] std::string ToHalfWidth(std::string_view text);

}  // namespace kivo::sjis
