// The multi-key sort of a table's records. The first key's values are taken out of the records
// beside each record's index and sorted there, so most comparisons never touch the records;
// ties go on to the other keys, read from the records. The records are then moved once into
// their new order.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "storage/db_table.h"

namespace kivo {

namespace {

struct SortKey {
    TDBField field;
    int32_t offset;
    bool descending;
};

template <typename T>
int ThreeWay(const T& a, const T& b) {
    return (b < a) - (a < b);
}

// NaN sorts after every number in both directions, which keeps the order strict and weak.
int CompareFloats(Extended a, Extended b, bool descending) {
    const bool aNaN = std::isnan(a), bNaN = std::isnan(b);
    if (aNaN || bNaN) return ThreeWay(aNaN, bNaN);
    return descending ? ThreeWay(b, a) : ThreeWay(a, b);
}

Extended ReadFloat(const uint8_t* bytes) {
    Ext80 value;
    std::memcpy(value.bytes.data(), bytes, value.bytes.size());
    return value.ToExtended();
}

int CompareKey(const SortKey& key, const uint8_t* a, const uint8_t* b) {
    a += key.offset;
    b += key.offset;
    int order = 0;
    switch (key.field.type) {
        case DBFieldType::Integer:
            order = ThreeWay(static_cast<int32_t>(LoadLE32(a)), static_cast<int32_t>(LoadLE32(b)));
            break;
        case DBFieldType::Float:
            return CompareFloats(ReadFloat(a), ReadFloat(b), key.descending);
        case DBFieldType::Boolean:
            order = ThreeWay(*a != 0, *b != 0);
            break;
        case DBFieldType::String:
            order = ThreeWay(db_field::ReadText(key.field, a), db_field::ReadText(key.field, b));
            break;
    }
    return key.descending ? -order : order;
}

// The first key's value of each record with its index.
template <typename Value>
struct Entry {
    Value value;
    uint32_t index;
};

template <typename Value, typename Extract, typename Compare>
std::vector<uint32_t> SortedOrder(int32_t count, Extract extract, Compare compare,
                                  std::span<const SortKey> rest, const uint8_t* records,
                                  size_t recordSize) {
    std::vector<Entry<Value>> entries(static_cast<size_t>(count));
    for (uint32_t i = 0; i < entries.size(); ++i)
        entries[i] = {extract(records + i * recordSize), i};
    auto tieBreak = [&](uint32_t a, uint32_t b) {
        for (const SortKey& key : rest) {
            const int order = CompareKey(key, records + a * recordSize, records + b * recordSize);
            if (order != 0) return order < 0;
        }
        return false;
    };
    std::sort(entries.begin(), entries.end(), [&](const Entry<Value>& a, const Entry<Value>& b) {
        const int order = compare(a.value, b.value);
        if (order != 0 || rest.empty()) return order < 0;
        return tieBreak(a.index, b.index);
    });
    std::vector<uint32_t> order(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        order[i] = entries[i].index;
    return order;
}

std::vector<uint32_t> SortedOrder(std::span<const SortKey> keys, int32_t count,
                                  const uint8_t* records, size_t recordSize) {
    const SortKey& first = keys.front();
    const auto rest = keys.subspan(1);
    const int32_t offset = first.offset;
    switch (first.field.type) {
        // Integers and booleans: the complement reverses the order without overflowing.
        case DBFieldType::Integer:
        case DBFieldType::Boolean:
            return SortedOrder<int32_t>(
                count,
                [&](const uint8_t* r) {
                    const int32_t v = first.field.type == DBFieldType::Integer
                                          ? static_cast<int32_t>(LoadLE32(r + offset))
                                          : (r[offset] != 0 ? 1 : 0);
                    return first.descending ? ~v : v;
                },
                [](int32_t a, int32_t b) { return ThreeWay(a, b); }, rest, records, recordSize);
        case DBFieldType::Float:
            return SortedOrder<Extended>(
                count, [&](const uint8_t* r) { return ReadFloat(r + offset); },
                [&](Extended a, Extended b) { return CompareFloats(a, b, first.descending); }, rest,
                records, recordSize);
        case DBFieldType::String:
            return SortedOrder<std::string_view>(
                count,
                [&](const uint8_t* r) { return db_field::ReadText(first.field, r + offset); },
                [&](std::string_view a, std::string_view b) {
                    const int order = ThreeWay(a, b);
                    return first.descending ? -order : order;
                },
                rest, records, recordSize);
    }
    return {};
}

}  // namespace

void TDBTable::Sort(std::span<const DBSortKey> keys) {
    std::vector<SortKey> sortKeys;
    for (const DBSortKey& key : keys) {
        const int32_t field = fields_.IndexOf(key.field);
        if (field >= 0)
            sortKeys.push_back({fields_.At(field), fields_.Offset(field), key.descending});
    }
    if (sortKeys.empty() || recordCount_ < 2) return;

    const auto recordSize = static_cast<size_t>(fields_.RecordSize());
    const std::vector<uint32_t> order =
        SortedOrder(sortKeys, recordCount_, records_.data(), recordSize);
    std::vector<uint8_t> sorted(records_.size());
    for (size_t i = 0; i < order.size(); ++i)
        std::memcpy(sorted.data() + i * recordSize, records_.data() + order[i] * recordSize,
                    recordSize);
    records_ = std::move(sorted);
}

}  // namespace kivo
