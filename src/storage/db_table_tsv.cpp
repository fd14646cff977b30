// Loading a table from tab-separated text: a typed header line, then one record per line.
// Tabs, backslashes and line breaks are looked for character by character, so the second byte
// of a double-byte character is never taken for one of them.

#include <algorithm>
#include <bit>
#include <cstring>

#include "base/byte_io.h"

#include "base/error.h"
#include "base/number_text.h"
#include "base/sjis.h"
#include "storage/db_table.h"

namespace kivo {

namespace {

constexpr int32_t kDefaultTextLength = 80;

// Without the bytes up to the blank (0x20) at either end.
std::string_view TrimControls(std::string_view text) {
    while (!text.empty() && static_cast<uint8_t>(text.front()) <= 0x20)
        text.remove_prefix(1);
    while (!text.empty() && static_cast<uint8_t>(text.back()) <= 0x20)
        text.remove_suffix(1);
    return text;
}

// Calls fn(line) for each line; a line ends at CR LF, LF or CR.
template <typename Fn>
void ForEachLine(std::string_view text, Fn&& fn) {
    const char* const end = text.data() + text.size();
    for (const char* start = text.data(); start < end;) {
        const auto* lf =
            static_cast<const char*>(std::memchr(start, '\n', static_cast<size_t>(end - start)));
        const char* lineEnd = lf ? lf : end;
        if (const auto* cr = static_cast<const char*>(
                std::memchr(start, '\r', static_cast<size_t>(lineEnd - start)))) {
            lineEnd = cr;
        }
        fn(std::string_view(start, static_cast<size_t>(lineEnd - start)));
        if (lineEnd == end) return;
        start = lineEnd + 1;
        if (*lineEnd == '\r' && start < end && *start == '\n') ++start;
    }
}

int64_t CountByte(std::string_view text, char byte) {
    int64_t count = 0;
    const char* const end = text.data() + text.size();
    for (const char* p = text.data();
         (p = static_cast<const char*>(std::memchr(p, byte, static_cast<size_t>(end - p)))) !=
         nullptr;
         ++p) {
        ++count;
    }
    return count;
}

// The position of the first tab or byte above 0x7F at or after pos (line.size() when none),
// looked for eight bytes at a time: plain ASCII text is all most files hold between tabs.
size_t NextTabOrHighByte(std::string_view line, size_t pos) {
    constexpr uint64_t kOnes = 0x0101010101010101u, kHigh = 0x8080808080808080u;
    for (; pos + 8 <= line.size(); pos += 8) {
        const uint64_t bytes = LoadLE64(reinterpret_cast<const uint8_t*>(line.data() + pos));
        const uint64_t tabs = bytes ^ (kOnes * '\t');
        // The lowest byte flagged here is exact; bits above it may be false alarms.
        const uint64_t flags = ((tabs - kOnes) & ~tabs & kHigh) | (bytes & kHigh);
        if (flags != 0) return pos + static_cast<size_t>(std::countr_zero(flags) / 8);
    }
    for (; pos < line.size(); ++pos) {
        const auto byte = static_cast<uint8_t>(line[pos]);
        if (byte == '\t' || byte > 0x7F) return pos;
    }
    return pos;
}

// Calls fn(column) for each tab-separated column; two adjacent tabs give an empty column, a
// final tab adds none.
template <typename Fn>
void ForEachColumn(std::string_view line, Fn&& fn) {
    size_t start = 0;
    size_t pos = 0;
    while ((pos = NextTabOrHighByte(line, pos)) < line.size()) {
        const auto byte = static_cast<uint8_t>(line[pos]);
        if (byte == '\t') {
            fn(line.substr(start, pos - start));
            start = ++pos;
        } else {
            pos += sjis::IsLeadByte(byte) ? 2 : 1;
        }
    }
    if (start < line.size()) fn(line.substr(start));
}

// Backslash followed by a double quote or a backslash stands for that character; followed by
// n it is a line break (CR LF); any other backslash stays.
std::string Unescape(std::string_view line) {
    std::string text;
    text.reserve(line.size());
    for (size_t pos = 0; pos < line.size();) {
        const auto byte = static_cast<uint8_t>(line[pos]);
        if (sjis::IsLeadByte(byte)) {
            text.append(line.substr(pos, 2));
            pos += 2;
            continue;
        }
        if (byte == '\\' && pos + 1 < line.size()) {
            const char next = line[pos + 1];
            if (next == '"' || next == '\\') {
                text += next;
                pos += 2;
                continue;
            }
            if (next == 'n') {
                text += "\r\n";
                pos += 2;
                continue;
            }
        }
        text += static_cast<char>(byte);
        ++pos;
    }
    return text;
}

DBFieldType TypeOfWord(std::string_view word) {
    if (word == "int") return DBFieldType::Integer;
    if (word == "float") return DBFieldType::Float;
    if (word == "bool") return DBFieldType::Boolean;
    return DBFieldType::String;
}

}  // namespace

// A header column reads "name type length": the name up to the first blank, then the type
// word, then the declared length of a string (80 when absent or not a number).
void TDBTable::AddTsvField(std::string_view column, std::string_view fileName,
                           std::vector<int32_t>& columnFields) {
    const size_t nameEnd = column.find(' ');
    const std::string_view name = TrimControls(column.substr(0, nameEnd));
    if (name.empty()) {
        Clear();
        throw KivoError(std::string(fileName), "data table column without a field name");
    }
    std::string_view rest = nameEnd == std::string_view::npos
                                ? std::string_view{}
                                : TrimControls(column.substr(nameEnd + 1));
    const size_t typeEnd = rest.find(' ');
    const DBFieldType type = TypeOfWord(rest.substr(0, typeEnd));
    rest = typeEnd == std::string_view::npos ? std::string_view{}
                                             : TrimControls(rest.substr(typeEnd + 1));
    int32_t length = kDefaultTextLength;
    if (!TryParseInt(rest, length)) length = kDefaultTextLength;

    // A column that repeats a field's name adds nothing, and its data are skipped.
    if (fields_.IndexOf(name) >= 0) {
        columnFields.push_back(-1);
        return;
    }
    const int32_t index = AddField(name, static_cast<int32_t>(type), length);
    if (index < 0) {
        Clear();
        throw KivoError(std::string(fileName),
                        "data table field \"" + std::string(name) +
                            "\" has a bad length: " + std::to_string(length));
    }
    columnFields.push_back(index);
}

void TDBTable::AppendTsvRecord(std::string_view line, std::span<const int32_t> columnFields) {
    AddRecord();
    uint8_t* record = MutableRecord(current_);
    size_t column = 0;
    ForEachColumn(line, [&](std::string_view text) {
        if (column < columnFields.size() && columnFields[column] >= 0) {
            const int32_t field = columnFields[column];
            db_field::WriteText(fields_.At(field), record + fields_.Offset(field), text);
        }
        ++column;
    });
}

void TDBTable::LoadTsv(std::string_view text, std::string_view fileName) {
    Clear();
    // Room for a record per line, so that the records are not moved as they grow.
    const int64_t lines = std::max(CountByte(text, '\n'), CountByte(text, '\r'));
    bool header = true;
    std::vector<int32_t> columnFields;
    ForEachLine(text, [&](std::string_view line) {
        if (header) {
            header = false;
            ForEachColumn(line, [&](std::string_view column) {
                AddTsvField(column, fileName, columnFields);
            });
            records_.reserve(
                static_cast<size_t>(std::min(lines * fields_.RecordSize(), kMaxDBTableBytes)));
            return;
        }
        if (line.empty()) return;
        if (!RecordFits(recordCount_ + 1, fields_.RecordSize())) {
            Clear();
            throw KivoError(std::string(fileName), "data table too large");
        }
        if (std::memchr(line.data(), '\\', line.size()) == nullptr) {
            AppendTsvRecord(line, columnFields);
        } else {
            AppendTsvRecord(Unescape(line), columnFields);
        }
    });
}

}  // namespace kivo
