// The multi-key sort of a table's records. Each record's keys are first encoded, as far as
// they go, into a short byte string whose plain unsigned order is the order of the keys (the
// sort prefix), and these prefixes are sorted beside the record indexes, so most comparisons
// are one or two integer compares that never touch the records. Records whose prefixes are
// equal are compared key by key from the records. The records are then moved once into their
// new order.

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

Extended ReadFloat(const uint8_t* bytes) {
    Ext80 value;
    std::memcpy(value.bytes.data(), bytes, value.bytes.size());
    return value.ToExtended();
}

// NaN sorts after every number in both directions, which keeps the order strict and weak.
int CompareFloats(Extended a, Extended b, bool descending) {
    const bool aNaN = std::isnan(a), bNaN = std::isnan(b);
    if (aNaN || bNaN) return ThreeWay(aNaN, bNaN);
    return descending ? ThreeWay(b, a) : ThreeWay(a, b);
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
        case DBFieldType::String: {
            const int c =
                db_field::ReadText(key.field, a).compare(db_field::ReadText(key.field, b));
            order = (c > 0) - (c < 0);
            break;
        }
    }
    return key.descending ? -order : order;
}

int CompareRecords(std::span<const SortKey> keys, const uint8_t* a, const uint8_t* b) {
    for (const SortKey& key : keys) {
        if (const int order = CompareKey(key, a, b); order != 0) return order;
    }
    return 0;
}

// ---- Sort prefixes --------------------------------------------------------------------------

// A key takes as many bytes in the prefix as in the record: the whole value for numbers and
// flags, the whole slot for texts (a slot read from outside may lack its terminator).
size_t EncodedWidth(const SortKey& key) {
    return static_cast<size_t>(key.field.size);
}

// The order-preserving bytes of a float: big-endian sign, exponent and mantissa, with the sign
// bit set for positive values and every bit flipped for negative ones. Zero has one form, and
// NaN is all ones, above every number.
void EncodeFloat(Extended value, uint8_t* out) {
    if (std::isnan(value)) {
        std::memset(out, 0xFF, 10);
        return;
    }
    if (value == 0) value = 0;  // -0 sorts as 0
    const Ext80 bits = Ext80::FromExtended(value);
    for (int i = 0; i < 10; ++i)
        out[i] = bits.bytes[static_cast<size_t>(9 - i)];
    if (out[0] & 0x80) {
        for (int i = 0; i < 10; ++i)
            out[i] = static_cast<uint8_t>(~out[i]);
    } else {
        out[0] |= 0x80;
    }
}

// Writes the keys of a record into out (width bytes, zero beyond the keys), each in its
// direction. Texts hold no zero byte, so the padding keeps a shorter text first.
void EncodePrefix(std::span<const SortKey> keys, const uint8_t* record, uint8_t* out,
                  size_t width) {
    std::memset(out, 0, width);
    size_t pos = 0;
    for (const SortKey& key : keys) {
        if (pos >= width) return;
        uint8_t bytes[10];
        std::span<const uint8_t> encoded;
        const uint8_t* field = record + key.offset;
        bool flip = key.descending;
        switch (key.field.type) {
            case DBFieldType::Integer: {
                const uint32_t v = LoadLE32(field) ^ 0x80000000u;
                for (int i = 0; i < 4; ++i)
                    bytes[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
                encoded = {bytes, 4};
                break;
            }
            case DBFieldType::Float: {
                const Extended value = ReadFloat(field);
                EncodeFloat(value, bytes);
                // NaN stays last when the other values turn round.
                if (std::isnan(value)) flip = false;
                encoded = {bytes, 10};
                break;
            }
            case DBFieldType::Boolean:
                bytes[0] = field[0] != 0 ? 1 : 0;
                encoded = {bytes, 1};
                break;
            case DBFieldType::String: {
                const std::string_view text = db_field::ReadText(key.field, field);
                encoded = {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
                break;
            }
        }
        const size_t slot = std::min(EncodedWidth(key), width - pos);
        const size_t n = std::min(encoded.size(), slot);
        for (size_t i = 0; i < n; ++i)
            out[pos + i] = flip ? static_cast<uint8_t>(~encoded[i]) : encoded[i];
        // A descending text shorter than its slot pads with ones, so that it comes after the
        // longer texts it begins.
        if (flip) std::memset(out + pos + n, 0xFF, slot - n);
        pos += EncodedWidth(key);
    }
}

// Prefixes of 4, 8 or 16 bytes held as integers that compare like the bytes.
struct Prefix16 {
    uint64_t high, low;
    friend bool operator<(const Prefix16& a, const Prefix16& b) {
        return a.high != b.high ? a.high < b.high : a.low < b.low;
    }
};

uint64_t LoadBE64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = v << 8 | p[i];
    return v;
}

template <typename Prefix>
Prefix LoadPrefix(const uint8_t* bytes) {
    if constexpr (std::is_same_v<Prefix, uint32_t>) {
        return static_cast<uint32_t>(LoadBE64(bytes) >> 32);
    } else if constexpr (std::is_same_v<Prefix, uint64_t>) {
        return LoadBE64(bytes);
    } else {
        return {LoadBE64(bytes), LoadBE64(bytes + 8)};
    }
}

template <typename Prefix>
struct Entry {
    Prefix prefix;
    uint32_t index;
};

template <typename Prefix>
std::vector<uint32_t> SortedOrder(std::span<const SortKey> keys, bool prefixIsWhole, int32_t count,
                                  const uint8_t* records, size_t recordSize) {
    std::vector<Entry<Prefix>> entries(static_cast<size_t>(count));
    uint8_t bytes[16] = {};
    for (uint32_t i = 0; i < entries.size(); ++i) {
        EncodePrefix(keys, records + i * recordSize, bytes, sizeof(Prefix));
        entries[i] = {LoadPrefix<Prefix>(bytes), i};
    }
    std::sort(entries.begin(), entries.end(), [&](const Entry<Prefix>& a, const Entry<Prefix>& b) {
        if (a.prefix < b.prefix) return true;
        if (b.prefix < a.prefix || prefixIsWhole) return false;
        return CompareRecords(keys, records + a.index * recordSize,
                              records + b.index * recordSize) < 0;
    });
    std::vector<uint32_t> order(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        order[i] = entries[i].index;
    return order;
}

}  // namespace

void TDBTable::Sort(std::span<const DBSortKey> keys) {
    std::vector<SortKey> sortKeys;
    size_t width = 0;
    for (const DBSortKey& key : keys) {
        const int32_t field = fields_.IndexOf(key.field);
        if (field < 0) continue;
        sortKeys.push_back({fields_.At(field), fields_.Offset(field), key.descending});
        width += EncodedWidth(sortKeys.back());
    }
    if (sortKeys.empty() || recordCount_ < 2) return;

    const auto recordSize = static_cast<size_t>(fields_.RecordSize());
    const uint8_t* records = records_.data();
    std::vector<uint32_t> order;
    if (width <= 4) {
        order = SortedOrder<uint32_t>(sortKeys, true, recordCount_, records, recordSize);
    } else if (width <= 8) {
        order = SortedOrder<uint64_t>(sortKeys, true, recordCount_, records, recordSize);
    } else {
        order = SortedOrder<Prefix16>(sortKeys, width <= 16, recordCount_, records, recordSize);
    }
    std::vector<uint8_t> sorted(records_.size());
    for (size_t i = 0; i < order.size(); ++i)
        std::memcpy(sorted.data() + i * recordSize, records + order[i] * recordSize, recordSize);
    records_ = std::move(sorted);
}

}  // namespace kivo
