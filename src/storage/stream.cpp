#include "storage/stream.h"

#include <algorithm>
#include <cstring>

#include "base/byte_io.h"
#include "base/error.h"

namespace kivo {

void TTpMemoryStream::SetPosition(int64_t pos) {
    pos_ = std::max<int64_t>(pos, 0);
}

int64_t TTpMemoryStream::Read(void* buffer, int64_t count) {
    int64_t size = GetSize();
    if (count <= 0 || pos_ >= size) return 0;
    int64_t n = std::min(count, size - pos_);
    std::memcpy(buffer, bytes_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
}

int64_t TTpMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const auto* in = static_cast<const uint8_t*>(buffer);
    if (static_cast<size_t>(pos_) == bytes_.size()) {
        // Appending needs no zero fill first.
        bytes_.insert(bytes_.end(), in, in + count);
        pos_ += count;
        return count;
    }
    auto end = static_cast<size_t>(pos_ + count);
    if (end > bytes_.size()) bytes_.resize(end);
    std::memcpy(bytes_.data() + pos_, buffer, static_cast<size_t>(count));
    pos_ += count;
    return count;
}

int64_t CopyStream(TStream& destination, TStream& source, int64_t count) {
    std::vector<uint8_t> buffer(1 << 16);
    int64_t copied = 0;
    while (count < 0 || copied < count) {
        int64_t want = static_cast<int64_t>(buffer.size());
        if (count >= 0) want = std::min(want, count - copied);
        int64_t got = source.Read(buffer.data(), want);
        if (got <= 0) break;
        destination.Write(buffer.data(), got);
        copied += got;
    }
    return copied;
}

void ReadExact(TStream& stream, void* buffer, int64_t count) {
    if (count <= 0) return;
    if (stream.Read(buffer, count) != count)
        ThrowBadData(stream.SourceName(), "unexpected end of data");
}

void WriteInt(TStream& stream, int32_t value) {
    uint8_t bytes[4];
    StoreLE32(bytes, static_cast<uint32_t>(value));
    stream.Write(bytes, 4);
}

int32_t ReadInt(TStream& stream) {
    uint8_t bytes[4];
    ReadExact(stream, bytes, 4);
    return static_cast<int32_t>(LoadLE32(bytes));
}

void WriteByte(TStream& stream, uint8_t value) {
    stream.Write(&value, 1);
}

uint8_t ReadByte(TStream& stream) {
    uint8_t value = 0;
    ReadExact(stream, &value, 1);
    return value;
}

void WriteString(TStream& stream, std::string_view text) {
    WriteInt(stream, static_cast<int32_t>(text.size()));
    stream.Write(text.data(), static_cast<int64_t>(text.size()));
}

std::string ReadString(TStream& stream) {
    int32_t count = ReadInt(stream);
    if (count <= 0) return {};
    // A count larger than what is left is damage, not a reason to allocate gigabytes.
    if (count > stream.GetSize() - stream.GetPosition())
        ThrowBadData(stream.SourceName(), "string longer than the data");
    std::string text(static_cast<size_t>(count), '\0');
    ReadExact(stream, text.data(), count);
    return text;
}

}  // namespace kivo
