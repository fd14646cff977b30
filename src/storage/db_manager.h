#pragma once
// The one set of data tables of a player and its active table. Table names compare without
// ASCII case. The stream forms carry either the kept tables (status data) or the others (each
// game save, followed by the active table's name).

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_io.h"
#include "storage/db_table.h"

namespace kivo {

class TDBManager {
  public:
    // The format number written before the tables.
    static constexpr int32_t kStreamFormat = 100;

    [[nodiscard]] int32_t Count() const { return static_cast<int32_t>(tables_.size()); }
    [[nodiscard]] TDBCustomTable& At(int32_t index) const {
        return *tables_[static_cast<size_t>(index)];
    }
    // The first table of that name; -1 when none.
    [[nodiscard]] int32_t IndexOf(std::string_view name) const;
    [[nodiscard]] TDBCustomTable* Find(std::string_view name) const;
    [[nodiscard]] int32_t ActiveIndex() const { return active_; }
    [[nodiscard]] TDBCustomTable* Active() const {
        return active_ < 0 ? nullptr : tables_[static_cast<size_t>(active_)].get();
    }

    // An unknown name appends a new table with that keep flag; a known one is made active and,
    // when keep is false, emptied of fields and records. Returns the table's index, -1 for an
    // empty name.
    int32_t CreateOrActivate(std::string_view name, bool keep);
    bool SetActive(std::string_view name);
    // Frees the named table; the active table stays active by name, or none is.
    void Delete(std::string_view name);
    // The Reset command: frees every table not kept; none is active.
    void DeleteNonKept();
    void Clear();

    // The first record of the named table that the search selects, with the field named; a
    // get answers nullopt and a set false when the table, a matching record or the field is
    // missing. The active table does not change.
    [[nodiscard]] std::optional<DBValue> DirectGet(std::string_view table, const DBSearch& search,
                                                   std::string_view field,
                                                   DBFieldType wanted) const;
    bool DirectSet(std::string_view table, const DBSearch& search, std::string_view field,
                   const DBValue& value);

    // Empties the target (another table than the active one), gives it the active table's
    // fields and appends copies of the active table's records found, in order.
    bool CopyRecordsTo(std::string_view target, std::span<const int32_t> found);
    // Appends to the active table copies of the source's records found; the source must have
    // the same fields. The source may be the active table itself.
    bool InsertRecordsFrom(std::string_view source, std::span<const int32_t> found);
    // Appends to the target (of the same fields, possibly the active table itself) a copy of
    // the active table's current record and makes it current there.
    bool CopyCurrentRecordTo(std::string_view target);

    // The tables whose keep flag equals kept, in order; for the game form (kept false) the
    // active table's name follows, empty when none.
    void Save(ByteWriter& writer, bool kept) const;
    // Replaces the tables whose keep flag equals kept by those of the stream. The whole stream
    // is read before anything changes, so damaged data raise an error and leave the tables as
    // they were. The last table read becomes active; the game form then activates the table
    // of the stored name (none when it is missing).
    void Load(ByteReader& reader, bool kept);

  private:
    std::vector<std::unique_ptr<TDBCustomTable>> tables_;
    int32_t active_ = -1;
};

}  // namespace kivo
