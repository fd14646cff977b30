#include "tools/script/text/text_syntax.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "base/error.h"
#include "base/sjis.h"

namespace kivo::script_text {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Decodes the UTF-8 sequence at pos; returns its length, 0 for a malformed sequence.
size_t DecodeUtf8(std::string_view text, size_t pos, uint32_t& cp) {
    auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    uint8_t lead = byte(pos);
    size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || pos + length > text.size() || lead > 0xF4) return 0;
    cp = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (byte(pos + i) & 0x3F);
    }
    static constexpr uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

// The Unicode character of the CP932 character at pos when it maps there and back to the same
// bytes; 0 otherwise (NUL itself is always escaped, so 0 is free to mean "none").
uint32_t ExactCodePoint(std::string_view cp932, size_t pos, size_t length) {
    uint32_t code = sjis::CharCode(cp932, pos);
    if (length == 1 && static_cast<uint8_t>(cp932[pos]) < 0x80) return code;
    if (length == 1 && sjis::IsLeadByte(static_cast<uint8_t>(cp932[pos]))) return 0;
    uint32_t cp = sjis::CodeToUnicode(code);
    return cp != 0 && sjis::UnicodeToCode(cp) == code ? cp : 0;
}

void AppendHexEscape(std::string& out, uint8_t b) {
    out += "\\x";
    out += kHexDigits[b >> 4];
    out += kHexDigits[b & 15];
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string QuoteCp932(std::string_view cp932) {
    std::string out = "\"";
    out.reserve(cp932.size() + 2);
    sjis::ForEachChar(cp932, [&](size_t pos, size_t length) {
        uint8_t b = static_cast<uint8_t>(cp932[pos]);
        if (length == 1 && b < 0x80) {
            switch (b) {
                case '"':
                    out += "\\\"";
                    return;
                case '\\':
                    out += "\\\\";
                    return;
                case '\n':
                    out += "\\n";
                    return;
                case '\r':
                    out += "\\r";
                    return;
                case '\t':
                    out += "\\t";
                    return;
                default:
                    break;
            }
            if (b < 0x20 || b == 0x7F) {
                AppendHexEscape(out, b);
            } else {
                out += static_cast<char>(b);
            }
            return;
        }
        uint32_t cp = ExactCodePoint(cp932, pos, length);
        if (cp == 0) {
            for (size_t i = 0; i < length; ++i)
                AppendHexEscape(out, static_cast<uint8_t>(cp932[pos + i]));
        } else {
            out += sjis::ToUtf8(cp932.substr(pos, length));
        }
    });
    out += '"';
    return out;
}

std::optional<std::string> ExactUtf8(std::string_view cp932) {
    std::string out;
    bool exact = true;
    sjis::ForEachChar(cp932, [&](size_t pos, size_t length) {
        uint32_t cp = ExactCodePoint(cp932, pos, length);
        if (cp == 0) exact = false;
        if (cp != 0) out += sjis::ToUtf8(cp932.substr(pos, length));
    });
    if (!exact) return std::nullopt;
    return out;
}

bool IsBareWord(std::string_view cp932) {
    if (cp932.empty()) return false;
    uint8_t first = static_cast<uint8_t>(cp932[0]);
    bool startsWell = first >= 0x80 || first == '_' || first == '@' ||
                      (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
    if (!startsWell) return false;
    std::optional<std::string> utf8 = ExactUtf8(cp932);
    if (!utf8) return false;
    for (char c : *utf8) {
        if (!LineScanner::IsWordChar(c)) return false;
    }
    return true;
}

std::string HexText(std::span<const uint8_t> bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

void AppendHexLines(std::string& out, std::string_view keyword, std::span<const uint8_t> bytes) {
    constexpr size_t kBytesPerLine = 48;
    for (size_t pos = 0; pos < bytes.size(); pos += kBytesPerLine) {
        out += keyword;
        out += ' ';
        out += HexText(bytes.subspan(pos, std::min(kBytesPerLine, bytes.size() - pos)));
        out += '\n';
    }
}

std::optional<std::vector<uint8_t>> ParseHex(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        int high = HexValue(text[i]);
        int low = HexValue(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return bytes;
}

namespace {
constexpr std::string_view kValueTypeNames[] = {"PT_NONE", "PT_INT", "PT_FLOAT", "PT_BOOL",
                                                "PT_STR"};
}  // namespace

std::string ValueTypeText(uint8_t type) {
    if (type < std::size(kValueTypeNames)) return std::string(kValueTypeNames[type]);
    return std::to_string(type);
}

std::string NameText(std::string_view cp932) {
    if (IsBareWord(cp932) && cp932 != "TRUE" && cp932 != "FALSE") return *ExactUtf8(cp932);
    return QuoteCp932(cp932);
}

void FailAt(std::string_view file, int line, int column, std::string_view message) {
    throw KivoError(std::string(file), "line " + std::to_string(line) + ", column " +
                                           std::to_string(column) + ": " + std::string(message));
}

bool LineScanner::IsWordChar(char c) {
    if (static_cast<uint8_t>(c) >= 0x80) return true;
    if (c <= ' ' || c == 0x7F) return false;
    return std::strchr("=,;[]{}()\"#<>", c) == nullptr;
}

void LineScanner::SkipSpaces() {
    while (pos_ < line_.size() && (line_[pos_] == ' ' || line_[pos_] == '\t'))
        ++pos_;
}

bool LineScanner::AtEnd() {
    SkipSpaces();
    return pos_ >= line_.size() || line_[pos_] == '#';
}

bool LineScanner::Accept(char c) {
    SkipSpaces();
    if (Peek() != c) return false;
    ++pos_;
    return true;
}

void LineScanner::Expect(char c) {
    if (!Accept(c)) Fail(std::string("expected '") + c + "'");
}

std::string LineScanner::ReadWord(std::string_view what) {
    SkipSpaces();
    size_t start = pos_;
    while (pos_ < line_.size() && IsWordChar(line_[pos_]))
        ++pos_;
    if (pos_ == start) Fail("expected " + std::string(what));
    return std::string(line_.substr(start, pos_ - start));
}

int32_t LineScanner::ReadInt(std::string_view what, bool allowUnsigned) {
    SkipSpaces();
    size_t start = pos_;
    std::string word = ReadWord(what);
    std::string_view digits = word;
    bool negative = !digits.empty() && digits[0] == '-';
    if (negative) digits.remove_prefix(1);
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    }
    uint64_t value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    uint64_t limit = negative ? 0x80000000u : allowUnsigned ? 0xFFFFFFFFu : 0x7FFFFFFFu;
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        value > limit) {
        FailAtOffset(start, "expected " + std::string(what) + ", found \"" + word + "\"");
    }
    uint32_t bits = static_cast<uint32_t>(value);
    return static_cast<int32_t>(negative ? 0u - bits : bits);
}

std::string LineScanner::ReadQuoted() {
    SkipSpaces();
    if (Peek() != '"') Fail("expected a quoted string");
    size_t start = pos_++;
    std::string out;
    for (;;) {
        if (pos_ >= line_.size()) FailAtOffset(start, "string is not closed");
        char c = line_[pos_];
        if (c == '"') {
            ++pos_;
            return out;
        }
        if (c == '\\') {
            char e = pos_ + 1 < line_.size() ? line_[pos_ + 1] : '\0';
            static constexpr std::string_view kSimple = "\"\\nrt";
            static constexpr std::string_view kBytes = "\"\\\n\r\t";
            if (size_t k = kSimple.find(e); e != '\0' && k != std::string_view::npos) {
                out += kBytes[k];
                pos_ += 2;
                continue;
            }
            int high = pos_ + 3 < line_.size() ? HexValue(line_[pos_ + 2]) : -1;
            int low = high >= 0 ? HexValue(line_[pos_ + 3]) : -1;
            if (e != 'x' || low < 0) Fail("unknown escape in string");
            out += static_cast<char>(high * 16 + low);
            pos_ += 4;
            continue;
        }
        uint32_t cp = 0;
        size_t length = DecodeUtf8(line_, pos_, cp);
        if (length == 0) Fail("text is not UTF-8");
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else {
            uint32_t code = sjis::UnicodeToCode(cp);
            if (code == 0) Fail("character cannot be written in code page 932");
            if (code > 0xFF) out += static_cast<char>(code >> 8);
            out += static_cast<char>(code & 0xFF);
        }
        pos_ += length;
    }
}

std::string LineScanner::ReadName(std::string_view what) {
    SkipSpaces();
    if (Peek() == '"') return ReadQuoted();
    size_t start = pos_;
    std::optional<std::string> cp932 = sjis::FromUtf8(ReadWord(what));
    if (!cp932) FailAtOffset(start, "name cannot be written in code page 932");
    return *cp932;
}

std::string_view LineScanner::ReadBraced() {
    SkipSpaces();
    if (Peek() != '{') Fail("expected '{'");
    size_t start = ++pos_;
    int depth = 1;
    bool inString = false;
    for (; pos_ < line_.size(); ++pos_) {
        char c = line_[pos_];
        if (inString) {
            if (c == '\\') {
                ++pos_;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            return line_.substr(start, pos_++ - start);
        }
    }
    FailAtOffset(start - 1, "'{' is not closed");
}

std::vector<uint8_t> LineScanner::ReadHex() {
    size_t start = (SkipSpaces(), pos_);
    std::optional<std::vector<uint8_t>> bytes = ParseHex(ReadWord("hexadecimal bytes"));
    if (!bytes) FailAtOffset(start, "expected hexadecimal bytes");
    return *bytes;
}

uint8_t LineScanner::ReadByteValue(std::string_view what) {
    SkipSpaces();
    size_t start = pos_;
    if (Peek() == 'P') {
        std::string word = ReadWord(what);
        for (size_t i = 0; i < std::size(kValueTypeNames); ++i) {
            if (kValueTypeNames[i] == word) return static_cast<uint8_t>(i);
        }
        FailAtOffset(start, "unknown value type \"" + word + "\"");
    }
    int32_t value = ReadInt(what);
    if (value < 0 || value > 255) FailAtOffset(start, std::string(what) + " is 0 to 255");
    return static_cast<uint8_t>(value);
}

int LineScanner::Column(size_t offset) const {
    int column = 1;
    for (size_t i = 0; i < offset && i < line_.size(); ++i) {
        if ((static_cast<uint8_t>(line_[i]) & 0xC0) != 0x80) ++column;
    }
    return column;
}

void LineScanner::FailAtOffset(size_t offset, std::string_view message) const {
    FailAt(file_, lineNumber_, Column(offset), message);
}

}  // namespace kivo::script_text
