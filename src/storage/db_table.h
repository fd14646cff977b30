#pragma once
// The scripts' in-memory data tables: fixed-layout records of typed fields, a current record,
// searches, a multi-key sort, loading from tab-separated text and the stream form of save data.
//
// A record is a run of raw bytes, the fields laid out one after the other in declaration order:
// integers as 4 little-endian bytes, floats as the 10-byte extended form, booleans as one byte
// and strings as zero-terminated Shift-JIS bytes in a slot of the declared length plus one.
// The records of a table sit back to back in one buffer. Reading and writing a field converts
// between the value given or wanted and the field's type by one table (ConvertDBValue), so a
// field reads the same whichever operation wrote it. No operation fails towards the script:
// missing fields or records answer false, -1 or nothing; only the readers of outside data
// (the stream form, tab-separated files) raise errors, naming what they read.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/byte_io.h"
#include "base/ext80.h"

namespace kivo {

enum class DBFieldType : uint8_t { Integer = 1, Float = 2, Boolean = 3, String = 4 };

// A value given to or read from a field; the alternatives follow the field types in order.
using DBValue = std::variant<int32_t, Extended, bool, std::string>;

// The value converted to the type wanted. Floats become integers rounded to nearest with ties
// to even (NaN reads 0, values beyond int32 saturate), texts read as numbers give 0 when they
// are not numbers, and a text reads as true only when it is exactly "TRUE".
[[nodiscard]] DBValue ConvertDBValue(const DBValue& value, DBFieldType wanted);

// The largest record, record count and table the player keeps. A script may declare any
// string length and the stream form and text files carry their own sizes; none of the games
// needs more, and damaged data must not exhaust memory.
inline constexpr int32_t kMaxDBRecordSize = 1 << 24;
inline constexpr int32_t kMaxDBRecordCount = 1 << 24;
inline constexpr int64_t kMaxDBTableBytes = int64_t{1} << 28;

struct TDBField {
    int32_t size = 0;  // bytes in a record
    std::string name;
    DBFieldType type = DBFieldType::Integer;
};

// The fields of one table in order; field i lies at the sum of the sizes before it.
class TDBFieldList {
  public:
    [[nodiscard]] int32_t Count() const { return static_cast<int32_t>(fields_.size()); }
    [[nodiscard]] const TDBField& At(int32_t index) const {
        return fields_[static_cast<size_t>(index)];
    }
    [[nodiscard]] int32_t Offset(int32_t index) const {
        return offsets_[static_cast<size_t>(index)];
    }
    [[nodiscard]] int32_t RecordSize() const { return recordSize_; }
    // The first field of that name, ASCII case ignored; -1 when none.
    [[nodiscard]] int32_t IndexOf(std::string_view name) const;
    // Same count and, per field, the same name (exact), type and size.
    [[nodiscard]] bool SameLayout(const TDBFieldList& other) const;

    // The size of a field of that type and declared string length; nullopt when the type code
    // is not 1-4 or a string length is negative or too large.
    [[nodiscard]] static std::optional<int32_t> FieldSize(int32_t typeCode, int32_t length);
    // Appends a field whose size is known to fit; the caller checks the record size.
    void Append(TDBField field);
    void Clear();

  private:
    std::vector<TDBField> fields_;
    std::vector<int32_t> offsets_;
    int32_t recordSize_ = 0;
};

// Record selection: every record where each key field, read as the type of its value, equals
// that value. Without keys or values every record matches.
struct DBSearch {
    std::vector<std::string> keys;
    std::vector<DBValue> values;
    // Texts compared without ASCII case (trail bytes never folded).
    bool ignoreCase = false;
    // A text value matches when it occurs in the field text, starting on a character.
    bool partial = false;
};

// One key of a sort: a field name and the direction.
struct DBSortKey {
    std::string field;
    bool descending = false;
};

// A table: name, keep flag and fields. Kept tables survive the Reset command and are saved
// with the status data, the others with each game.
class TDBCustomTable {
  public:
    TDBCustomTable(std::string name, bool keep) : name_(std::move(name)), keep_(keep) {}
    virtual ~TDBCustomTable() = default;
    TDBCustomTable(const TDBCustomTable&) = delete;
    TDBCustomTable& operator=(const TDBCustomTable&) = delete;

    [[nodiscard]] const std::string& Name() const { return name_; }
    [[nodiscard]] bool Keep() const { return keep_; }
    [[nodiscard]] const TDBFieldList& Fields() const { return fields_; }

    // The kind byte of the stream form.
    [[nodiscard]] virtual uint8_t KindCode() const = 0;
    [[nodiscard]] virtual int32_t RecordCount() const = 0;
    // The current record, -1 when none.
    [[nodiscard]] virtual int32_t CurrentIndex() const = 0;
    [[nodiscard]] virtual std::span<const uint8_t> RecordBytes(int32_t record) const = 0;

    // Adds a field (type code 1-4; length counts for strings only) and grows every record by
    // its size, the new bytes zero. Returns the field's index, -1 when a field of that name
    // exists, the type is unknown, the length is negative or the records would grow too large.
    virtual int32_t AddField(std::string_view name, int32_t typeCode, int32_t length) = 0;
    // Appends a zero-filled record and makes it current; false only at the size limits.
    virtual bool AddRecord() = 0;
    // Appends a record holding a copy of bytes (the record size); false at the size limits.
    virtual bool AppendRecordBytes(std::span<const uint8_t> bytes) = 0;
    // Removes the current record; the current index stays, or moves to the new last record.
    virtual bool DeleteCurrent() = 0;
    virtual bool First() = 0;
    virtual bool Last() = 0;
    virtual bool Next() = 0;
    virtual bool Prior() = 0;
    // Refused at or beyond the record count; a negative record makes no record current.
    virtual bool SetCurrent(int32_t record) = 0;

    // A field of a record read as the type wanted; nullopt when the record or field is missing.
    [[nodiscard]] virtual std::optional<DBValue> GetAt(int32_t record, int32_t field,
                                                       DBFieldType wanted) const = 0;
    // Writes a field of a record, converting to the field's type; false when either is missing.
    virtual bool SetAt(int32_t record, int32_t field, const DBValue& value) = 0;
    // The same on the current record, the field named (ASCII case ignored).
    [[nodiscard]] std::optional<DBValue> Get(std::string_view field, DBFieldType wanted) const {
        return GetAt(CurrentIndex(), Fields().IndexOf(field), wanted);
    }
    bool Set(std::string_view field, const DBValue& value) {
        return SetAt(CurrentIndex(), Fields().IndexOf(field), value);
    }

    // The indexes of the matching records in record order.
    [[nodiscard]] virtual std::vector<int32_t> Search(const DBSearch& search) const = 0;
    // Orders the records by the keys, in order until one differs (keys naming no field are
    // skipped); records equal in every key end up in any order. The current index stays: it
    // now names whatever record sits there.
    virtual void Sort(std::span<const DBSortKey> keys) = 0;

    // Replaces fields and records by the tab-separated text; raises KivoError naming fileName
    // when the header declares a field that cannot be made (the table is then left empty).
    virtual void LoadTsv(std::string_view text, std::string_view fileName) = 0;
    // Removes fields and records.
    virtual void Clear() = 0;
    virtual void ClearRecords() = 0;

    // The stream form after the kind byte: name, keep flag, fields, records, current index.
    virtual void Save(ByteWriter& writer) const = 0;

  protected:
    std::string name_;
    bool keep_;
    TDBFieldList fields_;
};

class TDBTable final : public TDBCustomTable {
  public:
    using TDBCustomTable::TDBCustomTable;

    // Reads the stream form written by Save, checking every count, size and index against the
    // fields and the bytes left.
    [[nodiscard]] static std::unique_ptr<TDBTable> Load(ByteReader& reader);

    [[nodiscard]] uint8_t KindCode() const override { return 0; }
    [[nodiscard]] int32_t RecordCount() const override { return recordCount_; }
    [[nodiscard]] int32_t CurrentIndex() const override { return current_; }
    [[nodiscard]] std::span<const uint8_t> RecordBytes(int32_t record) const override;

    int32_t AddField(std::string_view name, int32_t typeCode, int32_t length) override;
    bool AddRecord() override;
    bool AppendRecordBytes(std::span<const uint8_t> bytes) override;
    bool DeleteCurrent() override;
    bool First() override;
    bool Last() override;
    bool Next() override;
    bool Prior() override;
    bool SetCurrent(int32_t record) override;

    [[nodiscard]] std::optional<DBValue> GetAt(int32_t record, int32_t field,
                                               DBFieldType wanted) const override;
    bool SetAt(int32_t record, int32_t field, const DBValue& value) override;

    [[nodiscard]] std::vector<int32_t> Search(const DBSearch& search) const override;
    void Sort(std::span<const DBSortKey> keys) override;

    void LoadTsv(std::string_view text, std::string_view fileName) override;
    void Clear() override;
    void ClearRecords() override;

    void Save(ByteWriter& writer) const override;

  private:
    [[nodiscard]] bool RecordFits(int32_t count, int32_t recordSize) const;
    [[nodiscard]] uint8_t* MutableRecord(int32_t record) {
        return records_.data() +
               static_cast<size_t>(record) * static_cast<size_t>(fields_.RecordSize());
    }
    [[nodiscard]] const uint8_t* Record(int32_t record) const {
        return records_.data() +
               static_cast<size_t>(record) * static_cast<size_t>(fields_.RecordSize());
    }
    [[nodiscard]] bool ValidRecord(int32_t record) const {
        return record >= 0 && record < recordCount_;
    }
    [[nodiscard]] bool ValidField(int32_t field) const {
        return field >= 0 && field < fields_.Count();
    }
    void AddTsvField(std::string_view column, std::string_view fileName,
                     std::vector<int32_t>& columnFields);
    void AppendTsvRecord(std::string_view line, std::span<const int32_t> columnFields);

    std::vector<uint8_t> records_;
    int32_t recordCount_ = 0;
    int32_t current_ = -1;
};

// Field access on raw record bytes, for code that walks many records (sort, search, loading).
namespace db_field {
// The field read as its own type.
[[nodiscard]] DBValue Read(const TDBField& field, const uint8_t* bytes);
// The text of a string field: up to its terminator, never past the field's end.
[[nodiscard]] std::string_view ReadText(const TDBField& field, const uint8_t* bytes);
// Stores value (already of the field's type); texts are cut to the declared length on a
// character boundary and the rest of the slot is zeroed.
void Write(const TDBField& field, uint8_t* bytes, const DBValue& value);
// Stores a text converted to the field's type.
void WriteText(const TDBField& field, uint8_t* bytes, std::string_view text);
}  // namespace db_field

}  // namespace kivo
