#include "storage/db_table.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/number_text.h"
#include "base/sjis.h"

namespace kivo {

namespace {

template <typename... Fn>
struct Overloaded : Fn... {
    using Fn::operator()...;
};
template <typename... Fn>
Overloaded(Fn...) -> Overloaded<Fn...>;

// Round to nearest, ties to even, as the runtime's rounding did; what int32 cannot hold
// saturates and NaN reads 0 rather than raising.
int32_t RoundToInt32(Extended x) {
    if (std::isnan(x)) return 0;
    const Extended rounded = std::nearbyint(x);
    if (rounded >= Extended{2147483647}) return std::numeric_limits<int32_t>::max();
    if (rounded <= Extended{-2147483648.0L}) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(rounded);
}

int32_t AsInteger(const DBValue& value) {
    return std::visit(
        Overloaded{[](int32_t v) { return v; }, [](Extended v) { return RoundToInt32(v); },
                   [](bool v) { return v ? 1 : 0; },
                   [](const std::string& v) { return StringToInt(v); }},
        value);
}

Extended AsFloat(const DBValue& value) {
    return std::visit(
        Overloaded{[](int32_t v) { return static_cast<Extended>(v); }, [](Extended v) { return v; },
                   [](bool v) { return v ? Extended{1} : Extended{0}; },
                   [](const std::string& v) { return StringToFloat(v); }},
        value);
}

bool AsBoolean(const DBValue& value) {
    return std::visit(
        Overloaded{[](int32_t v) { return v != 0; }, [](Extended v) { return v != 0; },
                   [](bool v) { return v; }, [](const std::string& v) { return StringToFlag(v); }},
        value);
}

std::string AsString(const DBValue& value) {
    return std::visit(Overloaded{[](int32_t v) { return IntToString(v); },
                                 [](Extended v) { return FloatToString(v); },
                                 [](bool v) { return std::string(FlagToString(v)); },
                                 [](const std::string& v) { return v; }},
                      value);
}

// The longest prefix of text within limit bytes that does not end inside a double-byte
// character.
std::string_view CutOnCharacter(std::string_view text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t length = sjis::CharLength(text, pos);
        if (pos + length > limit) break;
        pos += length;
    }
    return text.substr(0, pos);
}

// Whether needle occurs in text at the start of a character, never inside a double-byte one.
bool ContainsOnCharacter(std::string_view text, std::string_view needle) {
    if (needle.empty()) return true;
    for (size_t pos = 0; pos + needle.size() <= text.size(); pos += sjis::CharLength(text, pos)) {
        if (text.compare(pos, needle.size(), needle) == 0) return true;
    }
    return false;
}

std::optional<DBFieldType> FieldTypeOf(int32_t code) {
    if (code < 1 || code > 4) return std::nullopt;
    return static_cast<DBFieldType>(code);
}

// The field type a value belongs to: the alternatives follow the type codes.
DBFieldType TypeOf(const DBValue& value) {
    return static_cast<DBFieldType>(value.index() + 1);
}

}  // namespace

DBValue ConvertDBValue(const DBValue& value, DBFieldType wanted) {
    switch (wanted) {
        case DBFieldType::Integer:
            return AsInteger(value);
        case DBFieldType::Float:
            return AsFloat(value);
        case DBFieldType::Boolean:
            return AsBoolean(value);
        case DBFieldType::String:
            return AsString(value);
    }
    return value;
}

// ---- Raw fields -----------------------------------------------------------------------------

namespace db_field {

std::string_view ReadText(const TDBField& field, const uint8_t* bytes) {
    const auto* end =
        static_cast<const uint8_t*>(std::memchr(bytes, 0, static_cast<size_t>(field.size)));
    const size_t length = end ? static_cast<size_t>(end - bytes) : static_cast<size_t>(field.size);
    return {reinterpret_cast<const char*>(bytes), length};
}

DBValue Read(const TDBField& field, const uint8_t* bytes) {
    switch (field.type) {
        case DBFieldType::Integer:
            return static_cast<int32_t>(LoadLE32(bytes));
        case DBFieldType::Float: {
            Ext80 value;
            std::memcpy(value.bytes.data(), bytes, value.bytes.size());
            return value.ToExtended();
        }
        case DBFieldType::Boolean:
            return bytes[0] != 0;
        case DBFieldType::String:
            return std::string(ReadText(field, bytes));
    }
    return 0;
}

void Write(const TDBField& field, uint8_t* bytes, const DBValue& value) {
    switch (field.type) {
        case DBFieldType::Integer:
            StoreLE32(bytes, static_cast<uint32_t>(std::get<int32_t>(value)));
            return;
        case DBFieldType::Float: {
            const Ext80 stored = Ext80::FromExtended(std::get<Extended>(value));
            std::memcpy(bytes, stored.bytes.data(), stored.bytes.size());
            return;
        }
        case DBFieldType::Boolean:
            bytes[0] = std::get<bool>(value) ? 1 : 0;
            return;
        case DBFieldType::String:
            WriteText(field, bytes, std::get<std::string>(value));
            return;
    }
}

void WriteText(const TDBField& field, uint8_t* bytes, std::string_view text) {
    switch (field.type) {
        case DBFieldType::Integer:
            StoreLE32(bytes, static_cast<uint32_t>(StringToInt(text)));
            return;
        case DBFieldType::Float:
            Write(field, bytes, StringToFloat(text));
            return;
        case DBFieldType::Boolean:
            bytes[0] = StringToFlag(text) ? 1 : 0;
            return;
        case DBFieldType::String: {
            const std::string_view kept = CutOnCharacter(text, static_cast<size_t>(field.size - 1));
            std::memcpy(bytes, kept.data(), kept.size());
            std::memset(bytes + kept.size(), 0, static_cast<size_t>(field.size) - kept.size());
            return;
        }
    }
}

}  // namespace db_field

// ---- Fields ---------------------------------------------------------------------------------

int32_t TDBFieldList::IndexOf(std::string_view name) const {
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (sjis::EqualsIgnoreCase(fields_[i].name, name)) return static_cast<int32_t>(i);
    }
    return -1;
}

bool TDBFieldList::SameLayout(const TDBFieldList& other) const {
    return std::equal(fields_.begin(), fields_.end(), other.fields_.begin(), other.fields_.end(),
                      [](const TDBField& a, const TDBField& b) {
                          return a.name == b.name && a.type == b.type && a.size == b.size;
                      });
}

std::optional<int32_t> TDBFieldList::FieldSize(int32_t typeCode, int32_t length) {
    const std::optional<DBFieldType> type = FieldTypeOf(typeCode);
    if (!type) return std::nullopt;
    switch (*type) {
        case DBFieldType::Integer:
            return 4;
        case DBFieldType::Float:
            return 10;
        case DBFieldType::Boolean:
            return 1;
        case DBFieldType::String:
            if (length < 0 || length >= kMaxDBRecordSize) return std::nullopt;
            return length + 1;
    }
    return std::nullopt;
}

void TDBFieldList::Append(TDBField field) {
    offsets_.push_back(recordSize_);
    recordSize_ += field.size;
    fields_.push_back(std::move(field));
}

void TDBFieldList::Clear() {
    fields_.clear();
    offsets_.clear();
    recordSize_ = 0;
}

// ---- Records --------------------------------------------------------------------------------

bool TDBTable::RecordFits(int32_t count, int32_t recordSize) const {
    return recordSize <= kMaxDBRecordSize && count <= kMaxDBRecordCount &&
           int64_t{count} * recordSize <= kMaxDBTableBytes;
}

std::span<const uint8_t> TDBTable::RecordBytes(int32_t record) const {
    if (!ValidRecord(record)) return {};
    return {Record(record), static_cast<size_t>(fields_.RecordSize())};
}

int32_t TDBTable::AddField(std::string_view name, int32_t typeCode, int32_t length) {
    if (fields_.IndexOf(name) >= 0) return -1;
    const std::optional<int32_t> size = TDBFieldList::FieldSize(typeCode, length);
    if (!size || int64_t{fields_.RecordSize()} + *size > kMaxDBRecordSize ||
        !RecordFits(recordCount_, fields_.RecordSize() + *size)) {
        return -1;
    }
    const auto oldSize = static_cast<size_t>(fields_.RecordSize());
    const auto newSize = oldSize + static_cast<size_t>(*size);
    std::vector<uint8_t> grown(static_cast<size_t>(recordCount_) * newSize, 0);
    // Records made before the first field hold no bytes and have nothing to copy.
    for (size_t i = 0; oldSize > 0 && i < static_cast<size_t>(recordCount_); ++i) {
        std::memcpy(grown.data() + i * newSize, records_.data() + i * oldSize, oldSize);
    }
    records_ = std::move(grown);
    fields_.Append({*size, std::string(name), static_cast<DBFieldType>(typeCode)});
    return fields_.Count() - 1;
}

bool TDBTable::AddRecord() {
    if (!RecordFits(recordCount_ + 1, fields_.RecordSize())) return false;
    records_.resize(records_.size() + static_cast<size_t>(fields_.RecordSize()), 0);
    current_ = recordCount_++;
    return true;
}

bool TDBTable::AppendRecordBytes(std::span<const uint8_t> bytes) {
    if (bytes.size() != static_cast<size_t>(fields_.RecordSize()) ||
        !RecordFits(recordCount_ + 1, fields_.RecordSize())) {
        return false;
    }
    records_.insert(records_.end(), bytes.begin(), bytes.end());
    ++recordCount_;
    return true;
}

bool TDBTable::DeleteCurrent() {
    if (!ValidRecord(current_)) return false;
    const auto size = static_cast<ptrdiff_t>(fields_.RecordSize());
    const auto start = records_.begin() + current_ * size;
    records_.erase(start, start + size);
    --recordCount_;
    current_ = std::min(current_, recordCount_ - 1);
    return true;
}

bool TDBTable::First() {
    if (recordCount_ == 0) return false;
    current_ = 0;
    return true;
}

bool TDBTable::Last() {
    current_ = recordCount_ - 1;
    return recordCount_ > 0;
}

bool TDBTable::Next() {
    if (!ValidRecord(current_) || current_ == recordCount_ - 1) return false;
    ++current_;
    return true;
}

bool TDBTable::Prior() {
    if (!ValidRecord(current_) || current_ == 0) return false;
    --current_;
    return true;
}

bool TDBTable::SetCurrent(int32_t record) {
    if (record >= recordCount_) return false;
    current_ = std::max(record, -1);
    return true;
}

void TDBTable::Clear() {
    fields_.Clear();
    ClearRecords();
}

void TDBTable::ClearRecords() {
    records_.clear();
    recordCount_ = 0;
    current_ = -1;
}

// ---- Values ---------------------------------------------------------------------------------

std::optional<DBValue> TDBTable::GetAt(int32_t record, int32_t field, DBFieldType wanted) const {
    if (!ValidRecord(record) || !ValidField(field)) return std::nullopt;
    const TDBField& f = fields_.At(field);
    return ConvertDBValue(db_field::Read(f, Record(record) + fields_.Offset(field)), wanted);
}

bool TDBTable::SetAt(int32_t record, int32_t field, const DBValue& value) {
    if (!ValidRecord(record) || !ValidField(field)) return false;
    const TDBField& f = fields_.At(field);
    db_field::Write(f, MutableRecord(record) + fields_.Offset(field),
                    ConvertDBValue(value, f.type));
    return true;
}

// ---- Search ---------------------------------------------------------------------------------

std::vector<int32_t> TDBTable::Search(const DBSearch& search) const {
    const size_t n = std::min(search.keys.size(), search.values.size());
    std::vector<int32_t> fields(n);
    for (size_t i = 0; i < n; ++i) {
        fields[i] = fields_.IndexOf(search.keys[i]);
        // No record can match without reaching every key, so a key that names no field finds
        // nothing.
        if (fields[i] < 0) return {};
    }
    // Texts searched without case are upper-cased once.
    std::vector<std::string> texts(n);
    for (size_t i = 0; i < n; ++i) {
        if (const auto* text = std::get_if<std::string>(&search.values[i])) {
            texts[i] = search.ignoreCase ? sjis::ToUpperAscii(*text) : *text;
        }
    }
    auto matches = [&](int32_t record, size_t i) {
        const DBValue& wanted = search.values[i];
        const TDBField& field = fields_.At(fields[i]);
        const uint8_t* bytes = Record(record) + fields_.Offset(fields[i]);
        if (!std::holds_alternative<std::string>(wanted)) {
            return ConvertDBValue(db_field::Read(field, bytes), TypeOf(wanted)) == wanted;
        }
        std::string converted;
        std::string_view text;
        if (field.type == DBFieldType::String) {
            text = db_field::ReadText(field, bytes);
        } else {
            converted = AsString(db_field::Read(field, bytes));
            text = converted;
        }
        if (search.partial) {
            if (!search.ignoreCase) return ContainsOnCharacter(text, texts[i]);
            return ContainsOnCharacter(sjis::ToUpperAscii(text), texts[i]);
        }
        return search.ignoreCase ? sjis::EqualsIgnoreCase(text, texts[i]) : text == texts[i];
    };
    std::vector<int32_t> found;
    for (int32_t record = 0; record < recordCount_; ++record) {
        size_t i = 0;
        while (i < n && matches(record, i))
            ++i;
        if (i == n) found.push_back(record);
    }
    return found;
}

// ---- Stream form ----------------------------------------------------------------------------

void TDBTable::Save(ByteWriter& writer) const {
    writer.WriteCountedString(name_);
    writer.WriteBool(keep_);
    writer.WriteI32(fields_.Count());
    for (int32_t i = 0; i < fields_.Count(); ++i) {
        const TDBField& field = fields_.At(i);
        writer.WriteI32(field.size);
        writer.WriteCountedString(field.name);
        writer.WriteU8(static_cast<uint8_t>(field.type));
    }
    writer.WriteI32(recordCount_);
    writer.WriteBytes(records_);
    writer.WriteI32(current_);
}

std::unique_ptr<TDBTable> TDBTable::Load(ByteReader& reader) {
    std::string name = reader.ReadCountedString();
    const bool keep = reader.ReadBool();
    auto table = std::make_unique<TDBTable>(std::move(name), keep);
    // Per field at least a size, an empty name's count and the type byte.
    const uint32_t fieldCount = reader.ReadCount(9);
    for (uint32_t i = 0; i < fieldCount; ++i) {
        const int32_t size = reader.ReadI32();
        std::string fieldName = reader.ReadCountedString();
        const uint8_t typeCode = reader.ReadU8();
        // A field's size must be the one its type gives, or reads would run past it.
        const std::optional<int32_t> expected =
            TDBFieldList::FieldSize(typeCode, typeCode == 4 ? std::max(size, 0) - 1 : 0);
        if (!expected || *expected != size) reader.Fail("bad data table field");
        if (int64_t{table->fields_.RecordSize()} + size > kMaxDBRecordSize)
            reader.Fail("data table record too large");
        table->fields_.Append({size, std::move(fieldName), static_cast<DBFieldType>(typeCode)});
    }
    const int32_t recordSize = table->fields_.RecordSize();
    const uint32_t recordCount = reader.ReadCount(static_cast<size_t>(recordSize));
    if (recordCount > static_cast<uint32_t>(kMaxDBRecordCount) ||
        !table->RecordFits(static_cast<int32_t>(recordCount), recordSize)) {
        reader.Fail("data table too large");
    }
    const auto bytes = reader.ReadBytes(size_t{recordCount} * static_cast<size_t>(recordSize));
    table->records_.assign(bytes.begin(), bytes.end());
    table->recordCount_ = static_cast<int32_t>(recordCount);
    const int32_t current = reader.ReadI32();
    if (current < -1 || current >= table->recordCount_)
        reader.Fail("data table current record out of range");
    table->current_ = current;
    return table;
}

}  // namespace kivo
