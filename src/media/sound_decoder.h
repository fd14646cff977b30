#pragma once
// Decoded sound and video as the media layer sees them. The decoders themselves live in the
// media backend (Ogg, the codecs of the media container library, resampling, video frames);
// our own RIFF reader is here. The backend hands them out through MediaCodecs.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "media/wave_format.h"
#include "storage/stream.h"

namespace kivo {

// PCM frames read in order from a file. Format() tells what Read gives: integer PCM of 8
// (unsigned) or 16 (signed) bits, interleaved. Every call comes from one thread at a time: the
// main thread, or the mixer's decoding thread once the sound plays.
class SoundDecoder {
  public:
    virtual ~SoundDecoder() = default;

    [[nodiscard]] virtual const WaveFormat& Format() const = 0;
    // Reads whole frames, at most count bytes; 0 only at the end. Raises KivoError naming the
    // file when the data turn out to be damaged.
    [[nodiscard]] virtual int64_t Read(uint8_t* out, int64_t count) = 0;
    // The next Read starts at frame, clamped to 0..FrameCount().
    virtual void Seek(int64_t frame) = 0;
    // The frame the next Read starts at.
    [[nodiscard]] virtual int64_t Position() const = 0;
    // The number of frames from the start to the end.
    [[nodiscard]] virtual int64_t FrameCount() const = 0;
};

// Which reader a sound file needs.
enum class SoundContainer {
    Ogg,    // Ogg Vorbis
    Wave,   // RIFF WAVE: PCM read by our reader, other codings by the codec library
    Media,  // anything the media container library reads (ASF/WMA/WMV, FLAC, ...)
};

// Video frames of a file, converted to 32-bit B, G, R, X pixels at the video's size.
class VideoDecoder {
  public:
    virtual ~VideoDecoder() = default;

    [[nodiscard]] virtual int32_t Width() const = 0;
    [[nodiscard]] virtual int32_t Height() const = 0;
    [[nodiscard]] virtual int64_t DurationMs() const = 0;
    // Decodes up to the frame on show at ms (a time before the last one decoded starts again
    // from the beginning). True when the picture changed. A damaged frame leaves the last
    // good picture.
    [[nodiscard]] virtual bool ShowAt(int64_t ms) = 0;
    // Width() x Height() pixels, black until the first frame.
    [[nodiscard]] virtual std::span<const uint32_t> Pixels() const = 0;
};

// The decoders of the backend. Calls come from the main thread.
class MediaCodecs {
  public:
    virtual ~MediaCodecs() = default;

    // Opens the sound in stream (owned by the decoder from now on). Raises KivoError naming
    // the file when it holds no sound that can be decoded.
    [[nodiscard]] virtual std::unique_ptr<SoundDecoder> OpenSound(std::unique_ptr<TStream> stream,
                                                                  SoundContainer container) = 0;
    // A decoder giving the sound of source as 16-bit stereo at rate (resampled, and mixed
    // down or up as needed). Returns source itself when it is in that form already.
    // fileName names the file in errors.
    [[nodiscard]] virtual std::unique_ptr<SoundDecoder> ToStereo16(
        std::unique_ptr<SoundDecoder> source, int32_t rate, const std::string& fileName) = 0;
    // Opens the first video stream of stream. Raises KivoError naming the file.
    [[nodiscard]] virtual std::unique_ptr<VideoDecoder> OpenVideo(
        std::unique_ptr<TStream> stream) = 0;
};

// A borrowed stream as an owned one: for decoders reading a stream whose owner outlives them.
class BorrowedStream final : public TStream {
  public:
    explicit BorrowedStream(TStream& stream) : stream_(stream) {}
    [[nodiscard]] int64_t GetSize() const override { return stream_.GetSize(); }
    [[nodiscard]] int64_t GetPosition() const override { return stream_.GetPosition(); }
    void SetPosition(int64_t pos) override { stream_.SetPosition(pos); }
    [[nodiscard]] int64_t Read(void* buffer, int64_t count) override {
        return stream_.Read(buffer, count);
    }
    int64_t Write(const void*, int64_t) override { return 0; }
    [[nodiscard]] std::string SourceName() const override { return stream_.SourceName(); }

  private:
    TStream& stream_;
};

}  // namespace kivo
