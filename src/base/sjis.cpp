#include "base/sjis.h"

#include <algorithm>
#include <iterator>

namespace kivo::sjis {
namespace {

#include "cp932_table.inc"

constexpr int kTrailCount = 0xFC - 0x40 + 1;

int LeadIndex(uint8_t lead) { return lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + (0x9F - 0x81 + 1); }

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::optional<std::string> ToUtf8Impl(std::string_view text, bool strict) {
    std::string out;
    out.reserve(text.size() * 3 / 2);
    for (size_t pos = 0; pos < text.size();) {
        size_t len = CharLength(text, pos);
        uint32_t c = CodeToUnicode(CharCode(text, pos));
        if (c == 0 && text[pos] != '\0') {
            if (strict) return std::nullopt;
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
        pos += len;
    }
    return out;
}

std::optional<std::string> FromUtf8Impl(std::string_view utf8, bool lossy) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t pos = 0; pos < utf8.size();) {
        std::optional<uint32_t> c = NextUtf8(utf8, pos);
        uint32_t code = c ? UnicodeToCode(*c) : 0;
        if (!c || (code == 0 && *c != 0)) {
            if (!lossy) return std::nullopt;
            if (!c) ++pos;
            out += '?';
            continue;
        }
        if (code > 0xFF) out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
    }
    return out;
}

}  // namespace

std::optional<uint32_t> NextUtf8(std::string_view s, size_t& pos) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
    uint8_t b0 = byte(pos);
    size_t len = b0 < 0x80 ? 1 : (b0 >> 5) == 6 ? 2 : (b0 >> 4) == 14 ? 3 : (b0 >> 3) == 30 ? 4 : 0;
    if (len == 0 || pos + len > s.size()) return std::nullopt;
    uint32_t c = len == 1 ? b0 : len == 2 ? (b0 & 0x1Fu) : len == 3 ? (b0 & 0x0Fu) : (b0 & 0x07u);
    for (size_t i = 1; i < len; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) return std::nullopt;
        c = (c << 6) | (byte(pos + i) & 0x3Fu);
    }
    static constexpr uint32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMinimum[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    pos += len;
    return c;
}

size_t CharLength(std::string_view text, size_t pos) {
    if (pos >= text.size()) return 0;
    return IsLeadByte(static_cast<uint8_t>(text[pos])) && pos + 1 < text.size() ? 2 : 1;
}

uint32_t CharCode(std::string_view text, size_t pos) {
    size_t len = CharLength(text, pos);
    if (len == 0) return 0;
    uint32_t code = static_cast<uint8_t>(text[pos]);
    if (len == 2) code = code << 8 | static_cast<uint8_t>(text[pos + 1]);
    return code;
}

size_t CharCount(std::string_view text) {
    size_t count = 0;
    ForEachChar(text, [&](size_t, size_t) { ++count; });
    return count;
}

std::string ToUpperAscii(std::string_view text) {
    std::string out(text);
    ForEachChar(text, [&](size_t pos, size_t len) {
        if (len == 1) out[pos] = static_cast<char>(UpperAsciiByte(static_cast<uint8_t>(out[pos])));
    });
    return out;
}

std::string ToLowerAscii(std::string_view text) {
    std::string out(text);
    ForEachChar(text, [&](size_t pos, size_t len) {
        if (len == 1) out[pos] = static_cast<char>(LowerAsciiByte(static_cast<uint8_t>(out[pos])));
    });
    return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t pos = 0; pos < a.size();) {
        size_t len = CharLength(a, pos);
        if (len == 2) {
            if (a[pos] != b[pos] || a[pos + 1] != b[pos + 1]) return false;
        } else if (LowerAsciiByte(static_cast<uint8_t>(a[pos])) !=
                   LowerAsciiByte(static_cast<uint8_t>(b[pos]))) {
            return false;
        }
        pos += len;
    }
    return true;
}

size_t FindLastDelimiter(std::string_view text) {
    size_t found = std::string_view::npos;
    ForEachChar(text, [&](size_t pos, size_t len) {
        if (len == 1 && IsDelimiterByte(static_cast<uint8_t>(text[pos]))) found = pos;
    });
    return found;
}

size_t FindLastChar(std::string_view text, char c) {
    size_t found = std::string_view::npos;
    ForEachChar(text, [&](size_t pos, size_t len) {
        if (len == 1 && text[pos] == c) found = pos;
    });
    return found;
}

uint32_t CodeToUnicode(uint32_t code) {
    if (code < 0x80) return code;
    if (code >= 0xA1 && code <= 0xDF) return 0xFF61 + (code - 0xA1);
    if (code <= 0xFF) return 0;
    uint8_t lead = static_cast<uint8_t>(code >> 8), trail = static_cast<uint8_t>(code);
    if (!IsLeadByte(lead) || trail < 0x40 || trail > 0xFC) return 0;
    return kCp932DoubleByte[LeadIndex(lead) * kTrailCount + (trail - 0x40)];
}

uint32_t UnicodeToCode(uint32_t codePoint) {
    if (codePoint < 0x80) return codePoint;
    auto it = std::lower_bound(std::begin(kCp932Reverse), std::end(kCp932Reverse), codePoint,
                               [](const unsigned short(&entry)[2], uint32_t c) { return entry[0] < c; });
    if (it == std::end(kCp932Reverse) || (*it)[0] != codePoint) return 0;
    return (*it)[1];
}

std::string ToUtf8(std::string_view cp932) { return *ToUtf8Impl(cp932, false); }
std::optional<std::string> ToUtf8Strict(std::string_view cp932) { return ToUtf8Impl(cp932, true); }
std::optional<std::string> FromUtf8(std::string_view utf8) { return FromUtf8Impl(utf8, false); }
std::string FromUtf8Lossy(std::string_view utf8) { return *FromUtf8Impl(utf8, true); }

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

}  // namespace kivo::sjis
