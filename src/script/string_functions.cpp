#include "script/string_functions.h"

#include <algorithm>
#include <cstdint>

#include "base/sjis.h"
#include "base/sjis_width.h"
#include "script/function_arguments.h"

namespace kivo {

namespace {

using sjis::CharLength;

[[nodiscard]] uint8_t ByteAt(std::string_view s, size_t pos) {
    return static_cast<uint8_t>(s[pos]);
}

// Whether byte pos (0-based) of s is a single-byte character: neither a lead byte nor the
// trail byte of the character before it.
[[nodiscard]] bool IsSingleByteAt(std::string_view s, size_t pos) {
    size_t at = 0;
    while (at < pos)
        at += CharLength(s, at);
    return at == pos && CharLength(s, pos) == 1;
}

// Byte offset of character number index (0-based); s.size() when s has fewer characters.
[[nodiscard]] size_t CharOffset(std::string_view s, int64_t index) {
    size_t pos = 0;
    for (int64_t i = 0; i < index && pos < s.size(); ++i)
        pos += CharLength(s, pos);
    return pos;
}

// Byte offset just past count characters from pos.
[[nodiscard]] size_t AdvanceChars(std::string_view s, size_t pos, int64_t count) {
    for (int64_t i = 0; i < count && pos < s.size(); ++i)
        pos += CharLength(s, pos);
    return pos;
}

// Whether s holds pattern at pos, comparing ASCII letters without case when ignoreCase.
[[nodiscard]] bool MatchesAt(std::string_view s, size_t pos, std::string_view pattern,
                             bool ignoreCase) {
    if (s.size() - pos < pattern.size()) return false;
    std::string_view window = s.substr(pos, pattern.size());
    return ignoreCase ? sjis::EqualsIgnoreCase(window, pattern) : window == pattern;
}

// Byte offset of the first match of pattern starting on a character boundary at or after
// from (itself a boundary), or npos.
[[nodiscard]] size_t FindAtBoundary(std::string_view s, std::string_view pattern, size_t from,
                                    bool ignoreCase) {
    if (pattern.empty()) return std::string_view::npos;
    if (ignoreCase) {
        for (size_t pos = from; pos + pattern.size() <= s.size(); pos += CharLength(s, pos)) {
            if (MatchesAt(s, pos, pattern, true)) return pos;
        }
        return std::string_view::npos;
    }
    // The library search finds candidates fast; the boundary walk only moves forward.
    size_t boundary = from;
    for (size_t found = s.find(pattern, from); found != std::string_view::npos;
         found = s.find(pattern, found + 1)) {
        while (boundary < found)
            boundary += CharLength(s, boundary);
        if (boundary == found) return found;
    }
    return std::string_view::npos;
}

// The byte range [from, from + count) of s as a 1-based start and an optional count, clipped
// to s: a start below 1 counts as 1, a negative count as 0.
struct ByteRange {
    size_t offset;
    size_t length;
};
[[nodiscard]] ByteRange ClipBytes(std::string_view s, int32_t from, const FunctionCall& call,
                                  size_t countIndex) {
    const size_t offset = std::min(static_cast<size_t>(std::max(from, 1) - 1), s.size());
    size_t length = s.size() - offset;
    if (HasArgument(call, countIndex)) {
        length = std::min(length, static_cast<size_t>(std::max(IntArgument(call, countIndex), 0)));
    }
    return {offset, length};
}

// Position of the last path delimiter ('\', '/' or the drive colon) as a character, or npos.
[[nodiscard]] size_t LastPathDelimiter(std::string_view path) {
    size_t found = std::string_view::npos;
    sjis::ForEachChar(path, [&](size_t pos, size_t length) {
        if (length == 1 && (sjis::IsDelimiterByte(ByteAt(path, pos)) || path[pos] == ':')) {
            found = pos;
        }
    });
    return found;
}

// Position of the extension's dot: the last '.' after every delimiter, or npos.
[[nodiscard]] size_t ExtensionDot(std::string_view path) {
    const size_t dot = sjis::FindLastChar(path, '.');
    const size_t delimiter = LastPathDelimiter(path);
    if (dot == std::string_view::npos) return dot;
    if (delimiter != std::string_view::npos && delimiter > dot) return std::string_view::npos;
    return dot;
}

// ---- Byte-wise ----

void Length(const FunctionCall& call) {
    call.target.SetInteger(static_cast<int32_t>(StringArgument(call, 0).size()));
}

void Copy(const FunctionCall& call) {
    const std::string s = StringArgument(call, 0);
    const ByteRange range = ClipBytes(s, IntArgument(call, 1), call, 2);
    call.target.SetString(std::string_view(s).substr(range.offset, range.length));
}

void Delete(const FunctionCall& call) {
    std::string s = StringArgument(call, 0);
    const int32_t from = IntArgument(call, 1);
    if (from < 1 || static_cast<size_t>(from) > s.size()) return;
    const ByteRange range = ClipBytes(s, from, call, 2);
    s.erase(range.offset, range.length);
    call.arguments[0]->SetString(s);
}

void Insert(const FunctionCall& call) {
    const std::string sub = StringArgument(call, 0);
    std::string s = StringArgument(call, 1);
    const int32_t index = std::max(IntArgument(call, 2), 1);
    CheckStringSize(static_cast<int64_t>(s.size()) + static_cast<int64_t>(sub.size()));
    s.insert(std::min(static_cast<size_t>(index - 1), s.size()), sub);
    call.arguments[1]->SetString(s);
}

void CompareStr(const FunctionCall& call) {
    const std::string a = StringArgument(call, 0);
    const std::string b = StringArgument(call, 1);
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        if (a[i] != b[i]) return call.target.SetInteger(ByteAt(a, i) - ByteAt(b, i));
    }
    call.target.SetInteger(static_cast<int32_t>(static_cast<int64_t>(a.size()) -
                                                static_cast<int64_t>(b.size())));
}

void CompareText(const FunctionCall& call) {
    call.target.SetInteger(
        CompareTextIgnoringCase(StringArgument(call, 0), StringArgument(call, 1)));
}

void Pos(const FunctionCall& call) {
    const std::string sub = StringArgument(call, 0);
    const std::string s = StringArgument(call, 1);
    const size_t found = sub.empty() ? std::string::npos : s.find(sub);
    call.target.SetInteger(found == std::string::npos ? 0 : static_cast<int32_t>(found + 1));
}

void Trim(const FunctionCall& call) {
    call.target.SetString(TrimBlanks(StringArgument(call, 0)));
}

void LowerCase(const FunctionCall& call) {
    call.target.SetString(sjis::ToLowerAscii(StringArgument(call, 0)));
}

void UpperCase(const FunctionCall& call) {
    call.target.SetString(sjis::ToUpperAscii(StringArgument(call, 0)));
}

void StringOfChar(const FunctionCall& call) {
    const std::string s = StringArgument(call, 0);
    const int32_t n = IntArgument(call, 1);
    std::string out;
    if (n > 0 && !s.empty()) {
        const int64_t total = static_cast<int64_t>(s.size()) * n;
        CheckStringSize(total);
        // Doubling: a one-byte text repeated millions of times costs a few copies, not
        // millions of appends.
        out.reserve(static_cast<size_t>(total));
        out = s;
        while (out.size() * 2 <= static_cast<size_t>(total))
            out += out;
        out.append(out, 0, static_cast<size_t>(total) - out.size());
    }
    call.target.SetString(out);
}

void StringReplace(const FunctionCall& call) {
    const std::string s = StringArgument(call, 0);
    const std::string old = StringArgument(call, 1);
    const std::string replacement = StringArgument(call, 2);
    const bool all = HasArgument(call, 3) && FlagArgument(call, 3);
    const bool ignoreCase = HasArgument(call, 4) && FlagArgument(call, 4);
    std::string out;
    size_t pos = 0;
    for (;;) {
        const size_t found = FindAtBoundary(s, old, pos, ignoreCase);
        if (found == std::string::npos) break;
        out.append(s, pos, found - pos);
        out += replacement;
        CheckStringSize(static_cast<int64_t>(out.size()));
        pos = found + old.size();
        if (!all) break;
    }
    out.append(s, pos);
    CheckStringSize(static_cast<int64_t>(out.size()));
    call.target.SetString(out);
}

void AddDelimiter(const FunctionCall& call) {
    const std::string a = StringArgument(call, 0);
    const std::string b = StringArgument(call, 1);
    call.target.SetString(b.empty() ? std::string() : b + a);
}

void ExtractFilePath(const FunctionCall& call) {
    const std::string path = StringArgument(call, 0);
    const size_t delimiter = LastPathDelimiter(path);
    call.target.SetString(delimiter == std::string::npos ? std::string()
                                                         : path.substr(0, delimiter + 1));
}

void ExtractFileName(const FunctionCall& call) {
    const std::string path = StringArgument(call, 0);
    const size_t delimiter = LastPathDelimiter(path);
    call.target.SetString(delimiter == std::string::npos ? path : path.substr(delimiter + 1));
}

void ExtractFileExt(const FunctionCall& call) {
    const std::string path = StringArgument(call, 0);
    const size_t dot = ExtensionDot(path);
    call.target.SetString(dot == std::string::npos ? std::string() : path.substr(dot));
}

void ChangeFileExt(const FunctionCall& call) {
    const std::string name = StringArgument(call, 0);
    const size_t dot = ExtensionDot(name);
    call.target.SetString(name.substr(0, dot) + StringArgument(call, 1));
}

// Whether byte i (1-based) of s is a single-byte character among delimiters.
[[nodiscard]] bool IsDelimiterAt(std::string_view delimiters, std::string_view s, int32_t i) {
    if (i < 1 || static_cast<size_t>(i) > s.size()) return false;
    const size_t pos = static_cast<size_t>(i - 1);
    return delimiters.find(s[pos]) != std::string_view::npos && IsSingleByteAt(s, pos);
}

void IsPathDelimiter(const FunctionCall& call) {
    call.target.SetFlag(IsDelimiterAt("\\", StringArgument(call, 0), IntArgument(call, 1)));
}

void IsDelimiter(const FunctionCall& call) {
    const std::string delimiters = StringArgument(call, 0);
    call.target.SetFlag(IsDelimiterAt(delimiters, StringArgument(call, 1), IntArgument(call, 2)));
}

void AddBackSlash(const FunctionCall& call) {
    std::string path = StringArgument(call, 0);
    if (!IsDelimiterAt("\\", path, static_cast<int32_t>(path.size()))) path += '\\';
    call.target.SetString(path);
}

// ---- Character-wise ----

void JLength(const FunctionCall& call) {
    call.target.SetInteger(static_cast<int32_t>(sjis::CharCount(StringArgument(call, 0))));
}

// The byte range of count characters (all the rest without count) from character from
// (1-based; below 1 counts as 1).
[[nodiscard]] ByteRange CharRange(std::string_view s, int32_t from, const FunctionCall& call,
                                  size_t countIndex) {
    const size_t offset = CharOffset(s, std::max(from, 1) - 1);
    size_t end = s.size();
    if (HasArgument(call, countIndex)) {
        end = AdvanceChars(s, offset, std::max(IntArgument(call, countIndex), 0));
    }
    return {offset, end - offset};
}

void JCopy(const FunctionCall& call) {
    const std::string s = StringArgument(call, 0);
    const ByteRange range = CharRange(s, IntArgument(call, 1), call, 2);
    call.target.SetString(std::string_view(s).substr(range.offset, range.length));
}

void JDelete(const FunctionCall& call) {
    std::string s = StringArgument(call, 0);
    const ByteRange range = CharRange(s, IntArgument(call, 1), call, 2);
    if (range.offset >= s.size()) return;
    s.erase(range.offset, range.length);
    call.arguments[0]->SetString(s);
}

void JInsert(const FunctionCall& call) {
    const std::string sub = StringArgument(call, 0);
    std::string s = StringArgument(call, 1);
    CheckStringSize(static_cast<int64_t>(s.size()) + static_cast<int64_t>(sub.size()));
    s.insert(CharOffset(s, std::max(IntArgument(call, 2), 1) - 1), sub);
    call.arguments[1]->SetString(s);
}

void JPos(const FunctionCall& call) {
    const std::string sub = StringArgument(call, 0);
    const std::string s = StringArgument(call, 1);
    const size_t found = FindAtBoundary(s, sub, 0, false);
    if (found == std::string::npos) return call.target.SetInteger(0);
    call.target.SetInteger(static_cast<int32_t>(sjis::CharCount(std::string_view(s).substr(0, found)) + 1));
}

void JTrim(const FunctionCall& call) {
    const std::string s = StringArgument(call, 0);
    // The first and one past the last character that is not a blank.
    size_t first = std::string::npos;
    size_t end = 0;
    sjis::ForEachChar(s, [&](size_t pos, size_t length) {
        const bool blank = (length == 1 && s[pos] == ' ') ||
                           (length == 2 && ByteAt(s, pos) == 0x81 && ByteAt(s, pos + 1) == 0x40);
        if (blank) return;
        if (first == std::string::npos) first = pos;
        end = pos + length;
    });
    call.target.SetString(first == std::string::npos ? std::string()
                                                     : s.substr(first, end - first));
}

void FixStr(const FunctionCall& call) {
    std::string s = StringArgument(call, 0);
    if (s.size() >= 2) {
        size_t last = 0;
        sjis::ForEachChar(s, [&](size_t pos, size_t) { last = pos; });
        if (last == s.size() - 1 && sjis::IsLeadByte(ByteAt(s, last))) s.pop_back();
    }
    call.target.SetString(s);
}

void HanToZen(const FunctionCall& call) {
    call.target.SetString(sjis::ToFullWidth(StringArgument(call, 0)));
}

void ZenToHan(const FunctionCall& call) {
    call.target.SetString(sjis::ToHalfWidth(StringArgument(call, 0)));
}

}  // namespace

int CompareTextIgnoringCase(std::string_view a, std::string_view b) {
    size_t pos = 0;
    const size_t common = std::min(a.size(), b.size());
    while (pos < common) {
        // Both texts are walked together: once they agree up to pos, pos is a character
        // boundary of both and a trail byte is never folded.
        const size_t length = CharLength(a, pos);
        for (size_t i = pos; i < pos + length && i < common; ++i) {
            uint8_t x = ByteAt(a, i);
            uint8_t y = ByteAt(b, i);
            if (length == 1) {
                x = sjis::UpperAsciiByte(x);
                y = sjis::UpperAsciiByte(y);
            }
            if (x != y) return x - y;
        }
        pos += length;
    }
    return static_cast<int>(static_cast<int64_t>(a.size()) - static_cast<int64_t>(b.size()));
}

std::string_view TrimBlanks(std::string_view text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && ByteAt(text, first) <= 0x20)
        ++first;
    while (last > first && ByteAt(text, last - 1) <= 0x20)
        --last;
    return text.substr(first, last - first);
}

void RegisterStringFunctions(SystemFunctionRegistry& registry) {
    RegisterFunctions(registry, {
        {"Length", Length},
        {"Copy", Copy},
        {"Delete", Delete},
        {"Insert", Insert},
        {"CompareStr", CompareStr},
        {"CompareText", CompareText},
        {"Pos", Pos},
        {"Trim", Trim},
        {"LowerCase", LowerCase},
        {"UpperCase", UpperCase},
        {"StringOfChar", StringOfChar},
        {"StringReplace", StringReplace},
        {"AddDelimiter", AddDelimiter},
        {"ExtractFilePath", ExtractFilePath},
        {"ExtractFileName", ExtractFileName},
        {"ExtractFileExt", ExtractFileExt},
        {"IsPathDelimiter", IsPathDelimiter},
        {"AddBackSlash", AddBackSlash},
        {"ChangeFileExt", ChangeFileExt},
        {"IsDelimiter", IsDelimiter},
        {"JLength", JLength},
        {"JCopy", JCopy},
        {"JDelete", JDelete},
        {"JInsert", JInsert},
        {"JPos", JPos},
        {"JTrim", JTrim},
        {"FixStr", FixStr},
        {"HanToZen", HanToZen},
        {"ZenToHan", ZenToHan},
    });
}

}  // namespace kivo
