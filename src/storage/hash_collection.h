#pragma once
// A collection of named items kept in insertion order with a hash index over the names: the
// base of the variable table, the archive file table, the image cache and the read marks.
// Lookups fold ASCII case (never a trail byte); of several items with one name the one named
// last is found. The index has a power-of-two number of buckets that doubles whenever the
// items outnumber them, so a lookup is one hash and a walk of one short chain at any size.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

class THashCollection;

class THashCollectionItem {
  public:
    THashCollectionItem() = default;
    virtual ~THashCollectionItem() = default;
    THashCollectionItem(const THashCollectionItem&) = delete;
    THashCollectionItem& operator=(const THashCollectionItem&) = delete;

    [[nodiscard]] const std::string& Name() const { return name_; }
    // Renames the item and moves it to the head of the new name's chain (nothing when
    // unchanged).
    virtual void SetName(std::string name);
    [[nodiscard]] int32_t Index() const { return index_; }
    [[nodiscard]] THashCollection* Collection() const { return collection_; }

  private:
    friend class THashCollection;

    std::string name_;
    THashCollection* collection_ = nullptr;
    uint32_t hash_ = 0;  // Hash(name_) when it was linked
    int32_t index_ = -1;
    THashCollectionItem* prev_ = nullptr;
    THashCollectionItem* next_ = nullptr;
};

class THashCollection {
  public:
    static constexpr size_t kMinimumBuckets = 256;

    THashCollection();
    virtual ~THashCollection();
    THashCollection(const THashCollection&) = delete;
    THashCollection& operator=(const THashCollection&) = delete;

    // The hash of a name with single-byte characters ASCII-lower-cased: names that compare
    // equal ignoring case hash alike.
    [[nodiscard]] static uint32_t Hash(std::string_view name);

    // Appends an item (linked under the empty name until it is named).
    THashCollectionItem& Add(std::unique_ptr<THashCollectionItem> item);
    // Appends an item and names it.
    THashCollectionItem& Add(std::unique_ptr<THashCollectionItem> item, std::string name);
    // Frees the item at index; the items after it move down by one.
    void Delete(int32_t index);
    // Frees every item for which select is true, in one pass over the collection; the others
    // keep their order and move down.
    void DeleteIf(const std::function<bool(const THashCollectionItem&)>& select);
    void Clear();
    // Makes room for count items, so that adding them neither moves the item list nor grows
    // the index (an archive directory knows its entry count before it adds the entries).
    void Reserve(size_t count);

    [[nodiscard]] int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    [[nodiscard]] THashCollectionItem& At(int32_t index) const {
        return *items_[static_cast<size_t>(index)];
    }
    // Index of the item named last with this name (ASCII case ignored), or -1.
    [[nodiscard]] virtual int32_t IndexOf(std::string_view name) const;
    // Calls fn(item) for each item of the name, newest first; stops when fn returns true.
    template <typename Fn>
    void ForEachNamed(std::string_view name, Fn&& fn) const;

    // The size of the index, for measurements.
    [[nodiscard]] size_t BucketCount() const { return buckets_.size(); }
    [[nodiscard]] size_t BucketOf(std::string_view name) const {
        return Hash(name) & (buckets_.size() - 1);
    }

  private:
    friend class THashCollectionItem;

    void Link(THashCollectionItem& item);
    void Unlink(THashCollectionItem& item);
    void Grow();
    static bool NameMatches(const THashCollectionItem& item, std::string_view name);

    std::vector<std::unique_ptr<THashCollectionItem>> items_;
    std::vector<THashCollectionItem*> buckets_;
};

// Typed view over a hashed collection whose items are all of type T.
template <typename T>
class HashCollection : public THashCollection {
  public:
    T& Add(std::unique_ptr<T> item, std::string name) {
        return static_cast<T&>(THashCollection::Add(std::move(item), std::move(name)));
    }
    [[nodiscard]] T& At(int32_t index) const { return static_cast<T&>(THashCollection::At(index)); }
    [[nodiscard]] T* Find(std::string_view name) const {
        int32_t i = IndexOf(name);
        return i < 0 ? nullptr : &At(i);
    }
};

template <typename Fn>
void THashCollection::ForEachNamed(std::string_view name, Fn&& fn) const {
    const uint32_t hash = Hash(name);
    for (const THashCollectionItem* item = buckets_[hash & (buckets_.size() - 1)]; item;
         item = item->next_) {
        if (item->hash_ == hash && NameMatches(*item, name) && fn(*item)) return;
    }
}

// A list of integers that grows with zeros when written past its end.
class TIntList {
  public:
    [[nodiscard]] int64_t Get(int32_t index) const {
        return values_.at(static_cast<size_t>(index));
    }
    void Put(int32_t index, int64_t value);
    int32_t Add(int64_t value);
    [[nodiscard]] int32_t Count() const { return static_cast<int32_t>(values_.size()); }

  private:
    std::vector<int64_t> values_;
};

// A growable int32 array.
class TIntArray {
  public:
    void Add(int32_t value) { values_.push_back(value); }
    [[nodiscard]] int32_t Count() const { return static_cast<int32_t>(values_.size()); }
    [[nodiscard]] int32_t Get(int32_t index) const {
        return values_.at(static_cast<size_t>(index));
    }

  private:
    std::vector<int32_t> values_;
};

}  // namespace kivo
