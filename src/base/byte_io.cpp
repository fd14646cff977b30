#include "base/byte_io.h"

#include "base/error.h"

namespace kivo {

void ByteReader::Fail(std::string_view what) const {
    ThrowBadData(source_, std::string(what) + " at offset " + std::to_string(pos_));
}

void ByteReader::Need(size_t count) const {
    if (count > Remaining()) Fail("unexpected end of data");
}

void ByteReader::Seek(size_t pos) {
    if (pos > data_.size()) Fail("position past the end");
    pos_ = pos;
}

void ByteReader::Skip(size_t count) {
    Need(count);
    pos_ += count;
}

uint8_t ByteReader::ReadU8() {
    Need(1);
    return data_[pos_++];
}

uint16_t ByteReader::ReadU16() {
    Need(2);
    uint16_t v = LoadLE16(&data_[pos_]);
    pos_ += 2;
    return v;
}

uint32_t ByteReader::ReadU32() {
    Need(4);
    uint32_t v = LoadLE32(&data_[pos_]);
    pos_ += 4;
    return v;
}

uint64_t ByteReader::ReadU64() {
    Need(8);
    uint64_t v = LoadLE64(&data_[pos_]);
    pos_ += 8;
    return v;
}

Ext80 ByteReader::ReadExt80() {
    Need(10);
    Ext80 v;
    for (size_t i = 0; i < 10; ++i) v.bytes[i] = data_[pos_ + i];
    pos_ += 10;
    return v;
}

std::span<const uint8_t> ByteReader::ReadBytes(size_t count) {
    Need(count);
    auto view = data_.subspan(pos_, count);
    pos_ += count;
    return view;
}

std::string ByteReader::ReadCountedString() {
    int32_t count = ReadI32();
    if (count <= 0) return {};
    auto bytes = ReadBytes(static_cast<size_t>(count));
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> ByteReader::ReadCountedStrings() {
    // Each string takes at least its 4-byte count, so the count is checked against that.
    const uint32_t count = ReadCount(4);
    std::vector<std::string> strings;
    strings.reserve(count);
    for (uint32_t i = 0; i < count; ++i) strings.push_back(ReadCountedString());
    return strings;
}

uint32_t ByteReader::ReadCount(size_t minBytesEach) {
    int32_t count = ReadI32();
    if (count < 0) Fail("negative count");
    if (minBytesEach > 0 && static_cast<uint64_t>(count) * minBytesEach > Remaining()) {
        Fail("count larger than the data");
    }
    return static_cast<uint32_t>(count);
}

void ByteWriter::WriteU16(uint16_t v) {
    uint8_t b[2];
    StoreLE16(b, v);
    WriteBytes(b);
}

void ByteWriter::WriteU32(uint32_t v) {
    uint8_t b[4];
    StoreLE32(b, v);
    WriteBytes(b);
}

void ByteWriter::WriteU64(uint64_t v) {
    uint8_t b[8];
    StoreLE64(b, v);
    WriteBytes(b);
}

void ByteWriter::WriteCountedString(std::string_view text) {
    WriteI32(static_cast<int32_t>(text.size()));
    WriteBytes(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void ByteWriter::WriteCountedStrings(const std::vector<std::string>& strings) {
    WriteI32(static_cast<int32_t>(strings.size()));
    for (const std::string& text : strings) WriteCountedString(text);
}

void ByteWriter::PatchI32(size_t offset, int32_t v) { StoreLE32(&bytes_[offset], static_cast<uint32_t>(v)); }

}  // namespace kivo
