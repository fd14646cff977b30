#pragma once
// A media container opened from a stream of the virtual file system through an I/O context of
// our own, so that nothing is extracted to a work file. Only the demuxers a game's media can
// need are allowed, and none may open further files or network resources.

#include <memory>
#include <string>

#include "storage/stream.h"

struct AVFormatContext;
struct AVIOContext;

namespace kivo {

class AvInput {
  public:
    // Opens and probes the container in stream. Raises KivoError naming the stream's file when
    // it is not a container we read.
    explicit AvInput(std::unique_ptr<TStream> stream);
    ~AvInput();
    AvInput(const AvInput&) = delete;
    AvInput& operator=(const AvInput&) = delete;

    [[nodiscard]] AVFormatContext* Context() const { return context_; }
    [[nodiscard]] std::string Name() const { return stream_->SourceName(); }

  private:
    void Release();

    std::unique_ptr<TStream> stream_;
    AVIOContext* io_ = nullptr;
    AVFormatContext* context_ = nullptr;
};

// Quiets the libraries' own logging: damaged input is reported through our errors.
void QuietMediaLibraries();

}  // namespace kivo
