#pragma once
// 64-bit streams: a file that may be split into 1 GiB volumes, an in-memory stream, and the
// read-ahead buffer the archive directory is read through.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/host_files.h"
#include "storage/stream.h"

namespace kivo {

// The abstract 64-bit stream. Sizes, positions and counts are int64; the base answers 0 and
// does nothing, and each kind overrides what it supports.
class TTpBigStream {
  public:
    TTpBigStream() = default;
    virtual ~TTpBigStream() = default;
    TTpBigStream(const TTpBigStream&) = delete;
    TTpBigStream& operator=(const TTpBigStream&) = delete;

    [[nodiscard]] virtual int64_t GetSize() const { return 0; }
    [[nodiscard]] virtual int64_t GetPosition() const { return 0; }
    virtual void SetPosition(int64_t /*pos*/) {}
    virtual int64_t Write(const void* /*buffer*/, int64_t /*count*/) { return 0; }
    [[nodiscard]] virtual int64_t Read(void* /*buffer*/, int64_t /*count*/) { return 0; }
    // Copies count bytes of source from its start (0 = all of it); returns the bytes copied.
    virtual int64_t CopyFromBig(TTpBigStream& /*source*/, int64_t /*count*/) { return 0; }
    // Copies count bytes of source from its position (0 = rewind it and copy all of it).
    virtual int64_t CopyFromStream(TStream& /*source*/, int64_t /*count*/) { return 0; }
    // Copies count bytes from the current position into destination.
    virtual int64_t CopyToStream(TStream& /*destination*/, int64_t /*count*/) { return 0; }
    // What the stream reads, for error messages.
    [[nodiscard]] virtual std::string SourceName() const { return {}; }
};

// A file, or a set of split volumes: volume 0 is the file itself, volume i the name with its
// extension replaced by ".%03d" of i (game.dat, game.001, game.002, ...). Every volume but the
// last is exactly volumeSize bytes long.
class TTpBigFileStream : public TTpBigStream {
  public:
    static constexpr int64_t kVolumeSize = 0x40000000;
    static constexpr int64_t kCopyBufferSize = 1048576;

    enum class Mode { Read, Create };

    // Read: opens the file and the volumes that follow a full one; raises KivoError naming
    // the file when volume 0 cannot be opened. Create: writes new volumes through temporary
    // files beside them; Commit puts them in place, and without Commit nothing on disk changes.
    TTpBigFileStream(std::filesystem::path path, Mode mode, int64_t volumeSize = kVolumeSize);
    ~TTpBigFileStream() override;

    // The path of volume index of the set named path.
    [[nodiscard]] static std::filesystem::path VolumePath(const std::filesystem::path& path,
                                                          int32_t index);

    [[nodiscard]] int64_t GetSize() const override { return size_; }
    [[nodiscard]] int64_t GetPosition() const override { return position_; }
    // Positions past the end are clamped to the size.
    void SetPosition(int64_t pos) override;
    int64_t Write(const void* buffer, int64_t count) override;
    [[nodiscard]] int64_t Read(void* buffer, int64_t count) override;
    int64_t CopyFromBig(TTpBigStream& source, int64_t count) override;
    int64_t CopyFromStream(TStream& source, int64_t count) override;
    int64_t CopyToStream(TStream& destination, int64_t count) override;
    [[nodiscard]] std::string SourceName() const override { return path_.string(); }

    // Reads count bytes at pos without moving the position (for range streams and the
    // manager's loads, which keep their own positions).
    [[nodiscard]] int64_t ReadAt(int64_t pos, void* buffer, int64_t count) const;
    [[nodiscard]] int32_t VolumeCount() const { return static_cast<int32_t>(volumes_.size()); }
    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    // Flushes every written volume and renames it over its target; raises KivoError naming
    // the file on failure (the old files then stay as they were).
    void Commit();

  private:
    host::HostFile& VolumeForWrite(int32_t index);

    std::filesystem::path path_;
    Mode mode_;
    int64_t volumeSize_;
    int64_t size_ = 0;
    int64_t position_ = 0;
    std::vector<host::HostFile> volumes_;
    std::vector<std::unique_ptr<host::ReplacingFile>> pending_;
    bool failed_ = false;
};

// A 64-bit face over a memory stream, with whole-file load and save.
class TTpBigMemoryStream : public TTpBigStream {
  public:
    TTpBigMemoryStream() = default;
    explicit TTpBigMemoryStream(std::vector<uint8_t> bytes, std::string name = {})
        : memory_(std::move(bytes), std::move(name)) {}

    [[nodiscard]] int64_t GetSize() const override { return memory_.GetSize(); }
    [[nodiscard]] int64_t GetPosition() const override { return memory_.GetPosition(); }
    void SetPosition(int64_t pos) override { memory_.SetPosition(pos); }
    int64_t Write(const void* buffer, int64_t count) override {
        return memory_.Write(buffer, count);
    }
    [[nodiscard]] int64_t Read(void* buffer, int64_t count) override {
        return memory_.Read(buffer, count);
    }
    // Only another memory stream can be copied from; anything else copies nothing.
    int64_t CopyFromBig(TTpBigStream& source, int64_t count) override;
    int64_t CopyFromStream(TStream& source, int64_t count) override;
    int64_t CopyToStream(TStream& destination, int64_t count) override;
    [[nodiscard]] std::string SourceName() const override { return memory_.SourceName(); }

    // Replaces the content with the file's bytes; raises KivoError naming the file on failure.
    void LoadFromFile(const std::filesystem::path& path);
    // Writes the content through a temporary file renamed over path.
    void SaveToFile(const std::filesystem::path& path) const;
    [[nodiscard]] TTpMemoryStream& Memory() { return memory_; }

  private:
    TTpMemoryStream memory_;
};

// Read-ahead over a big stream. When it goes away with unread bytes in its buffer, it moves
// the source back by that many, so the source continues right after the last byte consumed.
class TTpBuffBigStream {
  public:
    static constexpr int64_t kBufferSize = 102400;

    explicit TTpBuffBigStream(TTpBigStream& source) : source_(source) {}
    ~TTpBuffBigStream();
    TTpBuffBigStream(const TTpBuffBigStream&) = delete;
    TTpBuffBigStream& operator=(const TTpBuffBigStream&) = delete;

    // Reads up to count bytes, refilling from the source whenever the buffer runs dry.
    [[nodiscard]] int64_t ReadBuffered(void* buffer, int64_t count);

  private:
    TTpBigStream& source_;
    std::vector<uint8_t> buffer_;
    size_t used_ = 0;
};

}  // namespace kivo
