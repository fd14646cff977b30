#pragma once
// Read-only windows onto part of a big stream, through which media decoders read entries in
// place. Positions are relative to the window; every read and seek holds the stream's own
// lock for the whole operation, and each window owns its own file handle, so decoder threads
// never share a position.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>

#include "storage/big_stream.h"
#include "storage/stream.h"

namespace kivo {

class TRangeStream : public TStream {
  public:
    // The window [start, start + length) of source, cut to the source's end.
    TRangeStream(std::unique_ptr<TTpBigStream> source, int64_t start, int64_t length);

    [[nodiscard]] int64_t GetSize() const override { return length_; }
    [[nodiscard]] int64_t GetPosition() const override;
    // Clamped to [0, length].
    void SetPosition(int64_t pos) override;
    // Returns only bytes inside the window.
    [[nodiscard]] int64_t Read(void* buffer, int64_t count) override;
    // Range streams are read-only: nothing is written.
    int64_t Write(const void* buffer, int64_t count) override;
    [[nodiscard]] std::string SourceName() const override;

    [[nodiscard]] int64_t Start() const { return start_; }

  private:
    mutable std::mutex lock_;
    std::unique_ptr<TTpBigStream> source_;
    int64_t start_;
    int64_t length_;
    int64_t position_ = 0;
};

// A window onto a file (or a split-volume set) that the stream opens itself.
class TFileRangeStream : public TRangeStream {
  public:
    // The window [start, start + length) of the file; raises KivoError naming the file when
    // it cannot be opened. A zero length is an empty window.
    TFileRangeStream(const std::filesystem::path& path, int64_t start, int64_t length);
    // The whole file.
    explicit TFileRangeStream(const std::filesystem::path& path);
};

}  // namespace kivo
