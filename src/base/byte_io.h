#pragma once
// Bounds-checked little-endian reading and writing of in-memory bytes. Every read is checked
// against the bytes left; a short read raises KivoError naming the source, never reads past.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/ext80.h"

namespace kivo {

// Plain little-endian loads and stores on raw memory the caller has checked.
[[nodiscard]] inline uint16_t LoadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
[[nodiscard]] inline uint32_t LoadLE32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
[[nodiscard]] inline uint64_t LoadLE64(const uint8_t* p) { return uint64_t{LoadLE32(p)} | uint64_t{LoadLE32(p + 4)} << 32; }
inline void StoreLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreLE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void StoreLE64(uint8_t* p, uint64_t v) {
    StoreLE32(p, static_cast<uint32_t>(v));
    StoreLE32(p + 4, static_cast<uint32_t>(v >> 32));
}

class ByteReader {
public:
    // source names the data in error messages (usually a file name).
    ByteReader(std::span<const uint8_t> data, std::string source)
        : data_(data), source_(std::move(source)) {}

    [[nodiscard]] size_t Position() const { return pos_; }
    [[nodiscard]] size_t Size() const { return data_.size(); }
    [[nodiscard]] size_t Remaining() const { return data_.size() - pos_; }
    [[nodiscard]] bool AtEnd() const { return pos_ == data_.size(); }
    [[nodiscard]] const std::string& Source() const { return source_; }
    void Seek(size_t pos);
    void Skip(size_t count);

    [[nodiscard]] uint8_t ReadU8();
    [[nodiscard]] bool ReadBool() { return ReadU8() != 0; }
    [[nodiscard]] uint16_t ReadU16();
    [[nodiscard]] int16_t ReadI16() { return static_cast<int16_t>(ReadU16()); }
    [[nodiscard]] uint32_t ReadU32();
    [[nodiscard]] int32_t ReadI32() { return static_cast<int32_t>(ReadU32()); }
    [[nodiscard]] uint64_t ReadU64();
    [[nodiscard]] int64_t ReadI64() { return static_cast<int64_t>(ReadU64()); }
    [[nodiscard]] Ext80 ReadExt80();
    // The next count bytes as a view into the data.
    [[nodiscard]] std::span<const uint8_t> ReadBytes(size_t count);
    // int32 byte count, then that many bytes; a count of 0 or less is the empty string.
    [[nodiscard]] std::string ReadCountedString();
    // int32 count, then that many counted strings (the string-array form of save data).
    [[nodiscard]] std::vector<std::string> ReadCountedStrings();
    // A count (int32) that must be non-negative and, at minBytesEach bytes an element,
    // fit in what is left.
    [[nodiscard]] uint32_t ReadCount(size_t minBytesEach);

    // Raises the error for damaged data at the current position.
    [[noreturn]] void Fail(std::string_view what) const;

private:
    void Need(size_t count) const;

    std::span<const uint8_t> data_;
    size_t pos_ = 0;
    std::string source_;
};

class ByteWriter {
public:
    void WriteU8(uint8_t v) { bytes_.push_back(v); }
    void WriteBool(bool v) { bytes_.push_back(v ? 1 : 0); }
    void WriteU16(uint16_t v);
    void WriteI16(int16_t v) { WriteU16(static_cast<uint16_t>(v)); }
    void WriteU32(uint32_t v);
    void WriteI32(int32_t v) { WriteU32(static_cast<uint32_t>(v)); }
    void WriteU64(uint64_t v);
    void WriteI64(int64_t v) { WriteU64(static_cast<uint64_t>(v)); }
    void WriteExt80(const Ext80& v) { WriteBytes(v.bytes); }
    void WriteBytes(std::span<const uint8_t> data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
    void WriteCountedString(std::string_view text);
    void WriteCountedStrings(const std::vector<std::string>& strings);

    [[nodiscard]] size_t Size() const { return bytes_.size(); }
    [[nodiscard]] const std::vector<uint8_t>& Bytes() const { return bytes_; }
    [[nodiscard]] std::vector<uint8_t> Take() { return std::move(bytes_); }
    // Patches a little-endian int32 written earlier at offset.
    void PatchI32(size_t offset, int32_t v);

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace kivo
