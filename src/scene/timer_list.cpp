#include "scene/timer_list.h"

#include <algorithm>

namespace kivo {

TTimerData* TTimerList::FirstPending() {
    for (TTimerData& entry : entries_) {
        if (entry.level == 0) return &entry;
    }
    return nullptr;
}

void TTimerList::Post(TTimerData entry) {
    CountIn(entry);
    entries_.push_back(std::move(entry));
}

void TTimerList::Clear() {
    entries_.clear();
    counts_.clear();
}

void TTimerList::CountIn(const TTimerData& entry) {
    ++counts_[KeyOf(entry.sender, entry.kind)];
}

void TTimerList::CountOut(const TTimerData& entry) {
    const auto found = counts_.find(KeyOf(entry.sender, entry.kind));
    if (found != counts_.end() && --found->second == 0) counts_.erase(found);
}

template <typename Pred>
void TTimerList::RemoveIf(Pred pred) {
    const auto gone = std::remove_if(entries_.begin(), entries_.end(), [&](const TTimerData& e) {
        if (!pred(e)) return false;
        CountOut(e);
        return true;
    });
    entries_.erase(gone, entries_.end());
}

void TTimerList::Remove(const TTimerData* entry) {
    RemoveIf([entry](const TTimerData& e) { return &e == entry; });
}

void TTimerList::RemoveLevel(int32_t level) {
    RemoveIf([level](const TTimerData& entry) { return entry.level == level; });
}

void TTimerList::RemoveLevels(int32_t low, int32_t high) {
    RemoveIf([low, high](const TTimerData& e) { return e.level >= low && e.level <= high; });
}

void TTimerList::RemoveStarted() {
    RemoveIf([](const TTimerData& entry) { return entry.level != 0; });
}

void TTimerList::RemovePending(ObjectHandle sender) {
    RemoveIf([sender](const TTimerData& e) { return e.level == 0 && e.sender == sender; });
}

bool TTimerList::Contains(ObjectHandle sender, uint8_t kind) const {
    return counts_.contains(KeyOf(sender, kind));
}

void TTimerList::Save(ByteWriter& writer, const ObjectDirectory& objects) const {
    writer.WriteI32(static_cast<int32_t>(entries_.size()));
    for (const TTimerData& entry : entries_) {
        writer.WriteCountedString(entry.handler);
        writer.WriteCountedString(objects.NameOf(entry.sender).value_or(std::string()));
        writer.WriteU8(entry.kind);
        writer.WriteI32(entry.level);
        writer.WriteCountedStrings(entry.arguments);
    }
}

void TTimerList::Load(ByteReader& reader, int32_t version, const ObjectDirectory& objects) {
    // handler and name counts, the kind, the shortest level and the argument count
    const size_t minEntryBytes = 4 + 4 + 1 + 1 + 4;
    const uint32_t count = reader.ReadCount(minEntryBytes);
    std::deque<TTimerData> loaded;
    for (uint32_t i = 0; i < count; ++i) {
        TTimerData entry;
        entry.handler = reader.ReadCountedString();
        entry.sender = objects.FindByName(reader.ReadCountedString());
        entry.kind = reader.ReadU8();
        entry.level = version <= kSaveVersionByteEventLevel ? (reader.ReadU8() != 0 ? 1 : 0)
                                                            : reader.ReadI32();
        entry.arguments = reader.ReadCountedStrings();
        loaded.push_back(std::move(entry));
    }
    entries_ = std::move(loaded);
    counts_.clear();
    for (const TTimerData& entry : entries_)
        CountIn(entry);
}

}  // namespace kivo
