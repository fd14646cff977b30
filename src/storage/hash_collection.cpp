#include "storage/hash_collection.h"

#include <cassert>

#include "base/sjis.h"

namespace kivo {
namespace {

// The byte at target after ASCII lower-casing; a trail byte is never folded.
uint8_t FoldedByteAt(std::string_view text, size_t target) {
    size_t pos = 0;
    for (size_t len = sjis::CharLength(text, pos); pos + len <= target; len = sjis::CharLength(text, pos)) {
        pos += len;
    }
    auto b = static_cast<uint8_t>(text[target]);
    return pos == target ? sjis::LowerAsciiByte(b) : b;
}

}  // namespace

void THashCollectionItem::SetName(std::string name) {
    if (name == name_) return;
    if (collection_) collection_->Unlink(*this);
    name_ = std::move(name);
    if (collection_) collection_->Link(*this);
}

THashCollection::~THashCollection() = default;

uint8_t THashCollection::Hash(std::string_view name) {
    // Lower-casing keeps the length, so the two bytes can be folded where they stand.
    uint32_t h = static_cast<uint32_t>(name.size()) * 16;
    if (name.size() >= 2) h += FoldedByteAt(name, 0) + FoldedByteAt(name, name.size() - 2);
    return static_cast<uint8_t>(h);
}

THashCollectionItem& THashCollection::Add(std::unique_ptr<THashCollectionItem> item) {
    item->collection_ = this;
    item->index_ = Count();
    THashCollectionItem& ref = *item;
    items_.push_back(std::move(item));
    Link(ref);
    return ref;
}

THashCollectionItem& THashCollection::Add(std::unique_ptr<THashCollectionItem> item, std::string name) {
    THashCollectionItem& ref = Add(std::move(item));
    ref.SetName(std::move(name));
    return ref;
}

void THashCollection::Delete(int32_t index) {
    assert(index >= 0 && index < Count());
    for (int32_t i = index + 1; i < Count(); ++i) --items_[static_cast<size_t>(i)]->index_;
    Unlink(*items_[static_cast<size_t>(index)]);
    items_.erase(items_.begin() + index);
}

void THashCollection::Clear() {
    items_.clear();
    buckets_.fill(nullptr);
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
    item.bucket_ = Hash(item.name_);
    THashCollectionItem*& head = buckets_[static_cast<size_t>(item.bucket_)];
    item.prev_ = nullptr;
    item.next_ = head;
    if (head) head->prev_ = &item;
    head = &item;
}

void THashCollection::Unlink(THashCollectionItem& item) {
    if (item.prev_) {
        item.prev_->next_ = item.next_;
    } else {
        buckets_[static_cast<size_t>(item.bucket_)] = item.next_;
    }
    if (item.next_) item.next_->prev_ = item.prev_;
    item.prev_ = item.next_ = nullptr;
}

void TIntList::Put(int32_t index, int64_t value) {
    if (index < 0) return;
    if (static_cast<size_t>(index) >= values_.size()) values_.resize(static_cast<size_t>(index) + 1, 0);
    values_[static_cast<size_t>(index)] = value;
}

int32_t TIntList::Add(int64_t value) {
    values_.push_back(value);
    return Count() - 1;
}

}  // namespace kivo
