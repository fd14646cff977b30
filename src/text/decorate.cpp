#include "text/decorate.h"

#include <algorithm>

namespace kivo {

TDecorate* TDecorateList::Find(const DecorateValues& values) const {
    for (const auto& record : records_) {
        if (record->values == values) return record.get();
    }
    return nullptr;
}

TDecorate* TDecorateList::Acquire(const DecorateValues& values) {
    TDecorate* record = Find(values);
    if (record == nullptr) record = AppendUnshared(values);
    ++record->refCount;
    return record;
}

void TDecorateList::Release(TDecorate* record) {
    if (record == nullptr || --record->refCount > 0) return;
    std::erase_if(records_, [record](const auto& r) { return r.get() == record; });
}

TDecorate* TDecorateList::Change(TDecorate* record, const DecorateValues& values) {
    if (record != nullptr && record->values == values) return record;
    if (TDecorate* existing = Find(values)) {
        ++existing->refCount;
        Release(record);
        return existing;
    }
    if (record != nullptr && record->refCount == 1) {
        record->values = values;
        return record;
    }
    if (record != nullptr) --record->refCount;
    return Acquire(values);
}

int32_t TDecorateList::IndexOf(const TDecorate* record) const {
    for (size_t i = 0; i < records_.size(); ++i) {
        if (records_[i].get() == record) return static_cast<int32_t>(i);
    }
    return -1;
}

TDecorate* TDecorateList::AppendUnshared(const DecorateValues& values) {
    records_.push_back(std::make_unique<TDecorate>(TDecorate{0, values}));
    return records_.back().get();
}

void TDecorateList::DropUnused() {
    std::erase_if(records_, [](const auto& r) { return r->refCount <= 0; });
}

}  // namespace kivo
