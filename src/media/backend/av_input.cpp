#include "media/backend/av_input.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstdio>

#include "base/error.h"

namespace kivo {

namespace {

constexpr int kBufferSize = 1 << 15;
// The containers of game media: Windows Media, the sound formats of ripped discs, and the
// common video files.
constexpr const char* kFormats =
    "asf,wav,flac,ogg,mp3,aiff,avi,mpeg,mpegts,mpegvideo,mov,mp4,m4a,matroska,webm";

int ReadPacket(void* opaque, uint8_t* into, int size) {
    auto* stream = static_cast<TStream*>(opaque);
    const int64_t got = stream->Read(into, size);
    return got > 0 ? static_cast<int>(got) : AVERROR_EOF;
}

int64_t SeekStream(void* opaque, int64_t offset, int whence) {
    auto* stream = static_cast<TStream*>(opaque);
    const int64_t size = stream->GetSize();
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return size;
        case SEEK_SET:
            break;
        case SEEK_CUR:
            offset += stream->GetPosition();
            break;
        case SEEK_END:
            offset += size;
            break;
        default:
            return AVERROR(EINVAL);
    }
    if (offset < 0 || offset > size) return AVERROR(EINVAL);
    stream->SetPosition(offset);
    return offset;
}

}  // namespace

void QuietMediaLibraries() {
    av_log_set_level(AV_LOG_QUIET);
}

AvInput::AvInput(std::unique_ptr<TStream> stream) : stream_(std::move(stream)) {
    const std::string name = stream_->SourceName();
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (buffer == nullptr) throw KivoError(name, "out of memory");
    io_ =
        avio_alloc_context(buffer, kBufferSize, 0, stream_.get(), ReadPacket, nullptr, SeekStream);
    if (io_ == nullptr) {
        av_free(buffer);
        throw KivoError(name, "out of memory");
    }
    context_ = avformat_alloc_context();
    if (context_ == nullptr) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
        throw KivoError(name, "out of memory");
    }
    context_->pb = io_;
    context_->flags |= AVFMT_FLAG_CUSTOM_IO;
    context_->format_whitelist = av_strdup(kFormats);
    // No demuxer may open anything beside the stream (playlists, references, the network).
    context_->protocol_whitelist = av_strdup("none");
    if (avformat_open_input(&context_, nullptr, nullptr, nullptr) < 0) {
        // The context was freed by the failed open; the I/O context is ours.
        context_ = nullptr;
        av_freep(&io_->buffer);
        avio_context_free(&io_);
        ThrowBadData(name, "not a media file that can be played");
    }
    if (avformat_find_stream_info(context_, nullptr) < 0) {
        Release();
        ThrowBadData(name, "damaged media file");
    }
}

AvInput::~AvInput() {
    Release();
}

void AvInput::Release() {
    if (context_ != nullptr) avformat_close_input(&context_);
    if (io_ != nullptr) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
}

}  // namespace kivo
