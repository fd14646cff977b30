#pragma once
// The lexical layer of the script text forms: quoting CP932 strings as UTF-8 text with escapes
// that give every byte back, and a scanner over one line of text that reports errors with the
// file, line and column where they stand.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kivo::script_text {

// Writes CP932 bytes as a double-quoted UTF-8 string. Characters that code page 932 maps to
// Unicode and back to the same bytes are written as themselves; quotes, backslashes, control
// bytes and every byte that does not survive that trip are written as escapes (\" \\ \n \r \t
// \xHH), so the quoted form always reads back to the same bytes.
[[nodiscard]] std::string QuoteCp932(std::string_view cp932);

// True when name can be written as a bare word (see LineScanner::IsWordChar): it is not
// empty, starts with a letter, '_', '@' or a non-ASCII character, and every character is a
// word character that survives the trip to UTF-8 and back.
[[nodiscard]] bool IsBareWord(std::string_view cp932);

// A name as it stands in the text: the bare word (in UTF-8) when IsBareWord allows it and it
// cannot be taken for a flag constant, else quoted.
[[nodiscard]] std::string NameText(std::string_view cp932);

// CP932 -> UTF-8 when every character survives the trip back unchanged; nullopt otherwise.
[[nodiscard]] std::optional<std::string> ExactUtf8(std::string_view cp932);

// Bytes as lowercase hexadecimal digits, and back (nullopt for anything else).
[[nodiscard]] std::string HexText(std::span<const uint8_t> bytes);
[[nodiscard]] std::optional<std::vector<uint8_t>> ParseHex(std::string_view text);

// Appends bytes as lines "keyword HEX", 48 bytes to a line (nothing for no bytes).
void AppendHexLines(std::string& out, std::string_view keyword, std::span<const uint8_t> bytes);

// The names of the value types (PT_NONE ... PT_STR), written for type bytes 0 to 4.
[[nodiscard]] std::string ValueTypeText(uint8_t type);

// Calls fn(lineNumber, line) for each line of text (counted from 1; "\n" or "\r\n" ends a
// line; a leading UTF-8 byte order mark is skipped).
template <typename Fn>
void ForEachLine(std::string_view text, Fn&& fn) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    int number = 1;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) line.remove_suffix(1);
        fn(number++, line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

// "file: line L, column C: message" as raised by every reader of the text forms.
[[noreturn]] void FailAt(std::string_view file, int line, int column, std::string_view message);

// A cursor over one line of a text form (UTF-8). Offsets are byte offsets into the line;
// errors are reported at character columns counted from 1.
class LineScanner {
  public:
    LineScanner(std::string_view file, int lineNumber, std::string_view line)
        : file_(file), lineNumber_(lineNumber), line_(line) {}

    [[nodiscard]] static bool IsWordChar(char c);

    void SkipSpaces();
    // True at the end of the line or at a comment ('#' outside strings and braces).
    [[nodiscard]] bool AtEnd();
    [[nodiscard]] char Peek() const { return pos_ < line_.size() ? line_[pos_] : '\0'; }
    [[nodiscard]] size_t Offset() const { return pos_; }
    void Seek(size_t offset) { pos_ = offset; }
    // Consumes c (after spaces) when it is next.
    [[nodiscard]] bool Accept(char c);
    void Expect(char c);

    // A run of word characters; fails with what was expected when there is none.
    [[nodiscard]] std::string ReadWord(std::string_view what);
    // A word that must be a decimal or 0x-hexadecimal integer in the int32 range (or, with
    // allowUnsigned, up to 0xFFFFFFFF, stored as its two's complement).
    [[nodiscard]] int32_t ReadInt(std::string_view what, bool allowUnsigned = false);
    // A quoted string, returned as CP932 bytes.
    [[nodiscard]] std::string ReadQuoted();
    // A name as CP932 bytes: a quoted string, or a bare word converted from UTF-8.
    [[nodiscard]] std::string ReadName(std::string_view what);
    // The text between '{' and its matching '}', skipping over quoted strings inside.
    [[nodiscard]] std::string_view ReadBraced();
    // A word of hexadecimal digits, as bytes.
    [[nodiscard]] std::vector<uint8_t> ReadHex();
    // A byte value: 0 to 255, or one of the value type names.
    [[nodiscard]] uint8_t ReadByteValue(std::string_view what);

    [[noreturn]] void Fail(std::string_view message) const { FailAtOffset(pos_, message); }
    [[noreturn]] void FailAtOffset(size_t offset, std::string_view message) const;
    // The character column (from 1) of a byte offset.
    [[nodiscard]] int Column(size_t offset) const;

    [[nodiscard]] const std::string& File() const { return file_; }
    [[nodiscard]] int LineNumber() const { return lineNumber_; }

  private:
    std::string file_;
    int lineNumber_;
    std::string_view line_;
    size_t pos_ = 0;
};

}  // namespace kivo::script_text
