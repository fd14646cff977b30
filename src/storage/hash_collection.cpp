#include "storage/hash_collection.h"

#include <cassert>
#include <cstring>

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
    // Eight bytes at a time while they are all ASCII (names of games mostly are), folded
    // with word arithmetic; from the first word with a byte of 0x80 or above on, byte by byte
    // so that a lead byte takes its trail byte along unfolded. Names that differ only in the
    // case of ASCII letters take the same path and hash alike.
    constexpr uint64_t kHighBits = 0x8080808080808080ull;
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    const auto* bytes = reinterpret_cast<const uint8_t*>(name.data());
    const size_t size = name.size();
    uint64_t h = size * kMultiplier;
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        if (word & kHighBits) break;
        // Per byte: high bit of (b + 0x80 - 'A') is b >= 'A', of (b + 0x80 - 'Z' - 1) is
        // b > 'Z'; no byte carries into the next because every byte is below 0x80.
        const uint64_t atLeastA = word + kOnes * (0x80 - 'A');
        const uint64_t aboveZ = word + kOnes * (0x80 - 'Z' - 1);
        word |= ((atLeastA & ~aboveZ) & kHighBits) >> 2;
        h = (h ^ word) * kMultiplier;
        h ^= h >> 32;
    }
    for (; i < size; ++i) {
        const uint8_t b = bytes[i];
        if (sjis::IsLeadByte(b) && i + 1 < size) {
            h = (h ^ (uint64_t{b} << 8 | bytes[++i]) ^ 0x10000) * kMultiplier;
        } else {
            h = (h ^ sjis::LowerAsciiByte(b)) * kMultiplier;
        }
        h ^= h >> 32;
    }
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    return static_cast<uint32_t>(h);
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

void THashCollection::Reserve(size_t count) {
    items_.reserve(count);
    while (buckets_.size() < count)
        Grow();
}

void THashCollection::Clear() {
    items_.clear();
    buckets_.assign(kMinimumBuckets, nullptr);
}

bool THashCollection::NameMatches(const THashCollectionItem& item, std::string_view name) {
    // Scripts mostly spell a name the way it was declared.
    return item.name_ == name || sjis::EqualsIgnoreCase(item.name_, name);
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
