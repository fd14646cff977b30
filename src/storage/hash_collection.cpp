#include "storage/hash_collection.h"

#include <cassert>

#include "base/sjis.h"

namespace kivo {

void THashCollectionItem::SetName(std::string name) {
    if (name == name_) return;
    if (collection_) collection_->Unlink(*this);
    name_ = std::move(name);
    if (collection_) collection_->Link(*this);
}

THashCollection::THashCollection() : buckets_(kMinimumBuckets, nullptr) {}

THashCollection::~THashCollection() = default;

uint32_t THashCollection::Hash(std::string_view name) {
    // FNV-1a over the folded bytes, then a final mix so that the low bits, which pick the
    // bucket, depend on every byte. A lead byte and its trail byte go in as they are.
    uint32_t h = 2166136261u;
    const auto* bytes = reinterpret_cast<const uint8_t*>(name.data());
    const size_t size = name.size();
    for (size_t i = 0; i < size; ++i) {
        const uint8_t b = bytes[i];
        if (sjis::IsLeadByte(b) && i + 1 < size) {
            h = (h ^ b) * 16777619u;
            h = (h ^ bytes[++i]) * 16777619u;
        } else {
            h = (h ^ sjis::LowerAsciiByte(b)) * 16777619u;
        }
    }
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

THashCollectionItem& THashCollection::Add(std::unique_ptr<THashCollectionItem> item) {
    item->collection_ = this;
    item->index_ = Count();
    THashCollectionItem& ref = *item;
    items_.push_back(std::move(item));
    if (items_.size() > buckets_.size()) Grow();
    Link(ref);
    return ref;
}

THashCollectionItem& THashCollection::Add(std::unique_ptr<THashCollectionItem> item,
                                          std::string name) {
    THashCollectionItem& ref = Add(std::move(item));
    ref.SetName(std::move(name));
    return ref;
}

void THashCollection::Delete(int32_t index) {
    assert(index >= 0 && index < Count());
    for (int32_t i = index + 1; i < Count(); ++i)
        --items_[static_cast<size_t>(i)]->index_;
    Unlink(*items_[static_cast<size_t>(index)]);
    items_.erase(items_.begin() + index);
}

void THashCollection::DeleteIf(const std::function<bool(const THashCollectionItem&)>& select) {
    size_t kept = 0;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (select(*items_[i])) {
            Unlink(*items_[i]);
            items_[i].reset();
            continue;
        }
        items_[i]->index_ = static_cast<int32_t>(kept);
        if (kept != i) items_[kept] = std::move(items_[i]);
        ++kept;
    }
    items_.resize(kept);
}

void THashCollection::Clear() {
    items_.clear();
    buckets_.assign(kMinimumBuckets, nullptr);
}

bool THashCollection::NameMatches(const THashCollectionItem& item, std::string_view name) {
    return sjis::EqualsIgnoreCase(item.name_, name);
}

int32_t THashCollection::IndexOf(std::string_view name) const {
    int32_t found = -1;
    ForEachNamed(name, [&](const THashCollectionItem& item) {
        found = item.index_;
        return true;
    });
    return found;
}

void THashCollection::Link(THashCollectionItem& item) {
    item.hash_ = Hash(item.name_);
    THashCollectionItem*& head = buckets_[item.hash_ & (buckets_.size() - 1)];
    item.prev_ = nullptr;
    item.next_ = head;
    if (head) head->prev_ = &item;
    head = &item;
}

void THashCollection::Unlink(THashCollectionItem& item) {
    if (item.prev_) {
        item.prev_->next_ = item.next_;
    } else {
        buckets_[item.hash_ & (buckets_.size() - 1)] = item.next_;
    }
    if (item.next_) item.next_->prev_ = item.prev_;
    item.prev_ = item.next_ = nullptr;
}

void THashCollection::Grow() {
    // Doubling splits each chain into two; moving every chain tail first onto the heads of
    // the new chains keeps the newest-first order among the items that share a name.
    std::vector<THashCollectionItem*> old(buckets_.size() * 2, nullptr);
    old.swap(buckets_);
    const size_t mask = buckets_.size() - 1;
    for (THashCollectionItem* head : old) {
        THashCollectionItem* tail = head;
        while (tail && tail->next_)
            tail = tail->next_;
        for (THashCollectionItem* item = tail; item;) {
            THashCollectionItem* before = item->prev_;
            THashCollectionItem*& newHead = buckets_[item->hash_ & mask];
            item->prev_ = nullptr;
            item->next_ = newHead;
            if (newHead) newHead->prev_ = item;
            newHead = item;
            item = before;
        }
    }
}

void TIntList::Put(int32_t index, int64_t value) {
    if (index < 0) return;
    if (static_cast<size_t>(index) >= values_.size())
        values_.resize(static_cast<size_t>(index) + 1, 0);
    values_[static_cast<size_t>(index)] = value;
}

int32_t TIntList::Add(int64_t value) {
    values_.push_back(value);
    return Count() - 1;
}

}  // namespace kivo
