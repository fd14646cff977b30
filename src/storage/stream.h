#pragma once
// Ordinary byte streams and the field routines every save and load routine is built on.
// A stream has one read and one write primitive; the little-endian fields and counted strings
// are plain functions on top of them.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kivo {

// An allocator whose new elements are left as they are: a byte buffer that is about to be
// overwritten by a read or by inflating is not filled with zeros first.
template <typename T>
struct TUninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = TUninitialisedAllocator<U>;
    };
    TUninitialisedAllocator() = default;
    template <typename U>
    TUninitialisedAllocator(const TUninitialisedAllocator<U>&) noexcept {}

    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// Bytes whose resize leaves new bytes undefined until written.
using TByteBuffer = std::vector<uint8_t, TUninitialisedAllocator<uint8_t>>;

class TStream {
  public:
    TStream() = default;
    virtual ~TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    [[nodiscard]] virtual int64_t GetSize() const = 0;
    [[nodiscard]] virtual int64_t GetPosition() const = 0;
    // Moves to pos, clamped to [0, size] by streams that cannot grow.
    virtual void SetPosition(int64_t pos) = 0;
    // Reads up to count bytes; returns the bytes read (fewer only at the end).
    [[nodiscard]] virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Writes count bytes; returns the bytes written (0 for read-only streams).
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // What the stream reads, for error messages (usually a file name).
    [[nodiscard]] virtual std::string SourceName() const { return {}; }
};

// A growable in-memory stream: the content of memory entries, cached files and save data.
class TTpMemoryStream : public TStream {
  public:
    TTpMemoryStream() = default;
    explicit TTpMemoryStream(std::vector<uint8_t> bytes, std::string name = {})
        : bytes_(std::move(bytes)), name_(std::move(name)) {}

    [[nodiscard]] int64_t GetSize() const override { return static_cast<int64_t>(bytes_.size()); }
    [[nodiscard]] int64_t GetPosition() const override { return pos_; }
    void SetPosition(int64_t pos) override;
    [[nodiscard]] int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    [[nodiscard]] std::string SourceName() const override { return name_; }

    void Clear() {
        bytes_.clear();
        pos_ = 0;
    }
    void SetName(std::string name) { name_ = std::move(name); }
    [[nodiscard]] std::span<const uint8_t> Bytes() const { return bytes_; }
    [[nodiscard]] std::vector<uint8_t>& Storage() { return bytes_; }
    // Replaces the content and rewinds.
    void Assign(std::vector<uint8_t> bytes) {
        bytes_ = std::move(bytes);
        pos_ = 0;
    }
    [[nodiscard]] std::vector<uint8_t> Take() {
        pos_ = 0;
        return std::move(bytes_);
    }

  private:
    std::vector<uint8_t> bytes_;
    int64_t pos_ = 0;
    std::string name_;
};

// Copies count bytes (or everything left when count < 0) from source's position to
// destination; returns the bytes copied.
int64_t CopyStream(TStream& destination, TStream& source, int64_t count);

// Little-endian fields. A short read raises KivoError naming the stream's source.
void WriteInt(TStream& stream, int32_t value);
[[nodiscard]] int32_t ReadInt(TStream& stream);
void WriteByte(TStream& stream, uint8_t value);
[[nodiscard]] uint8_t ReadByte(TStream& stream);
// int32 byte count, then the bytes; a count of 0 or less is the empty string.
void WriteString(TStream& stream, std::string_view text);
[[nodiscard]] std::string ReadString(TStream& stream);
// Reads exactly count bytes or raises the short-read error.
void ReadExact(TStream& stream, void* buffer, int64_t count);

}  // namespace kivo
