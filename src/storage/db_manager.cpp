#include "storage/db_manager.h"

#include <algorithm>

#include "base/sjis.h"

namespace kivo {

int32_t TDBManager::IndexOf(std::string_view name) const {
    for (size_t i = 0; i < tables_.size(); ++i) {
        if (sjis::EqualsIgnoreCase(tables_[i]->Name(), name)) return static_cast<int32_t>(i);
    }
    return -1;
}

TDBCustomTable* TDBManager::Find(std::string_view name) const {
    const int32_t index = IndexOf(name);
    return index < 0 ? nullptr : tables_[static_cast<size_t>(index)].get();
}

int32_t TDBManager::CreateOrActivate(std::string_view name, bool keep) {
    if (name.empty()) return -1;
    active_ = IndexOf(name);
    if (active_ < 0) {
        tables_.push_back(std::make_unique<TDBTable>(std::string(name), keep));
        active_ = Count() - 1;
    } else if (!keep) {
        At(active_).Clear();
    }
    return active_;
}

bool TDBManager::SetActive(std::string_view name) {
    const int32_t index = IndexOf(name);
    if (index < 0) return false;
    active_ = index;
    return true;
}

void TDBManager::Delete(std::string_view name) {
    const std::string activeName = active_ < 0 ? std::string() : At(active_).Name();
    const int32_t index = IndexOf(name);
    if (index >= 0) tables_.erase(tables_.begin() + index);
    active_ = activeName.empty() ? -1 : IndexOf(activeName);
}

void TDBManager::DeleteNonKept() {
    active_ = -1;
    std::erase_if(tables_, [](const auto& table) { return !table->Keep(); });
}

void TDBManager::Clear() {
    tables_.clear();
    active_ = -1;
}

// ---- Direct access and copies ---------------------------------------------------------------

std::optional<DBValue> TDBManager::DirectGet(std::string_view table, const DBSearch& search,
                                             std::string_view field, DBFieldType wanted) const {
    const TDBCustomTable* t = Find(table);
    if (!t) return std::nullopt;
    const std::vector<int32_t> found = t->Search(search);
    if (found.empty()) return std::nullopt;
    return t->GetAt(found.front(), t->Fields().IndexOf(field), wanted);
}

bool TDBManager::DirectSet(std::string_view table, const DBSearch& search, std::string_view field,
                           const DBValue& value) {
    TDBCustomTable* t = Find(table);
    if (!t) return false;
    const std::vector<int32_t> found = t->Search(search);
    return !found.empty() && t->SetAt(found.front(), t->Fields().IndexOf(field), value);
}

namespace {

// Copies of the records before any is appended: source and target may be one table, whose
// record buffer moves as it grows.
std::vector<std::vector<uint8_t>> RecordSnapshot(const TDBCustomTable& table,
                                                 std::span<const int32_t> records) {
    std::vector<std::vector<uint8_t>> copies;
    copies.reserve(records.size());
    for (int32_t record : records) {
        if (record < 0 || record >= table.RecordCount()) continue;
        const auto bytes = table.RecordBytes(record);
        copies.emplace_back(bytes.begin(), bytes.end());
    }
    return copies;
}

bool AppendAll(TDBCustomTable& target, const std::vector<std::vector<uint8_t>>& records) {
    for (const auto& bytes : records) {
        if (!target.AppendRecordBytes(bytes)) return false;
    }
    return true;
}

}  // namespace

bool TDBManager::CopyRecordsTo(std::string_view target, std::span<const int32_t> found) {
    TDBCustomTable* active = Active();
    TDBCustomTable* to = Find(target);
    if (!active || !to || to == active) return false;
    to->Clear();
    const TDBFieldList& fields = active->Fields();
    for (int32_t i = 0; i < fields.Count(); ++i) {
        const TDBField& field = fields.At(i);
        to->AddField(field.name, static_cast<int32_t>(field.type), field.size - 1);
    }
    return AppendAll(*to, RecordSnapshot(*active, found));
}

bool TDBManager::InsertRecordsFrom(std::string_view source, std::span<const int32_t> found) {
    TDBCustomTable* active = Active();
    const TDBCustomTable* from = Find(source);
    if (!active || !from || !from->Fields().SameLayout(active->Fields())) return false;
    return AppendAll(*active, RecordSnapshot(*from, found));
}

bool TDBManager::CopyCurrentRecordTo(std::string_view target) {
    TDBCustomTable* active = Active();
    TDBCustomTable* to = Find(target);
    if (!active || !to || active->CurrentIndex() < 0 || !to->Fields().SameLayout(active->Fields()))
        return false;
    const int32_t current = active->CurrentIndex();
    if (!AppendAll(*to, RecordSnapshot(*active, std::span(&current, 1)))) return false;
    return to->SetCurrent(to->RecordCount() - 1);
}

// ---- Stream forms ---------------------------------------------------------------------------

void TDBManager::Save(ByteWriter& writer, bool kept) const {
    writer.WriteI32(kStreamFormat);
    writer.WriteI32(static_cast<int32_t>(std::count_if(
        tables_.begin(), tables_.end(), [&](const auto& t) { return t->Keep() == kept; })));
    for (const auto& table : tables_) {
        if (table->Keep() != kept) continue;
        writer.WriteU8(table->KindCode());
        table->Save(writer);
    }
    if (!kept) writer.WriteCountedString(active_ < 0 ? std::string_view{} : At(active_).Name());
}

void TDBManager::Load(ByteReader& reader, bool kept) {
    // The format number has only ever been 100; it is not checked.
    (void)reader.ReadI32();
    // Per table at least the kind, an empty name, the keep flag, two counts and the current
    // record.
    const uint32_t count = reader.ReadCount(18);
    std::vector<std::unique_ptr<TDBCustomTable>> loaded;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t kind = reader.ReadU8();
        if (kind != 0) reader.Fail("unknown data table kind " + std::to_string(kind));
        loaded.push_back(TDBTable::Load(reader));
    }
    const std::string activeName = kept ? std::string() : reader.ReadCountedString();

    std::erase_if(tables_, [&](const auto& table) { return table->Keep() == kept; });
    for (auto& table : loaded)
        tables_.push_back(std::move(table));
    active_ = count == 0 ? -1 : Count() - 1;
    if (!kept) active_ = activeName.empty() ? -1 : IndexOf(activeName);
}

}  // namespace kivo
