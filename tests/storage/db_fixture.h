#pragma once
// Small tables for the data-table tests: fields declared in one call, rows given as values.

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "base/sjis.h"
#include "storage/db_table.h"

namespace kivo::test {

// Shift-JIS bytes of a UTF-8 literal.
inline std::string Sjis(std::string_view utf8) {
    return sjis::FromUtf8(utf8).value();
}

struct FieldSpec {
    const char* name;
    DBFieldType type;
    int32_t length = 0;  // strings only
};

inline void AddFields(TDBCustomTable& table, std::initializer_list<FieldSpec> fields) {
    for (const FieldSpec& f : fields) {
        ASSERT_GE(table.AddField(f.name, static_cast<int32_t>(f.type), f.length), 0) << f.name;
    }
}

// Appends a record and writes the values into fields 0, 1, ... in order.
inline void AddRow(TDBCustomTable& table, std::initializer_list<DBValue> values) {
    ASSERT_TRUE(table.AddRecord());
    int32_t field = 0;
    for (const DBValue& value : values) {
        ASSERT_TRUE(table.SetAt(table.CurrentIndex(), field++, value));
    }
}

inline int32_t IntAt(const TDBCustomTable& table, int32_t record, int32_t field) {
    return std::get<int32_t>(table.GetAt(record, field, DBFieldType::Integer).value());
}

inline std::string TextAt(const TDBCustomTable& table, int32_t record, int32_t field) {
    return std::get<std::string>(table.GetAt(record, field, DBFieldType::String).value());
}

// One field of every record read as text, in record order.
inline std::vector<std::string> Column(const TDBCustomTable& table, int32_t field) {
    std::vector<std::string> texts;
    for (int32_t r = 0; r < table.RecordCount(); ++r)
        texts.push_back(TextAt(table, r, field));
    return texts;
}

}  // namespace kivo::test
