#include "media/backend/vorbis_decoder.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "base/error.h"

namespace kivo {

namespace {

size_t ReadCallback(void* into, size_t size, size_t count, void* source) {
    auto* stream = static_cast<TStream*>(source);
    const int64_t got = stream->Read(into, static_cast<int64_t>(size * count));
    return size == 0 ? 0 : static_cast<size_t>(std::max<int64_t>(got, 0)) / size;
}

int SeekCallback(void* source, ogg_int64_t offset, int whence) {
    auto* stream = static_cast<TStream*>(source);
    int64_t target = offset;
    if (whence == SEEK_CUR) target += stream->GetPosition();
    if (whence == SEEK_END) target += stream->GetSize();
    if (target < 0 || target > stream->GetSize()) return -1;
    stream->SetPosition(target);
    return 0;
}

long TellCallback(void* source) {
    return static_cast<long>(static_cast<TStream*>(source)->GetPosition());
}

// Vorbis keeps the centre next to the front left and the low-frequency channel last; wave data
// (and the mix-down after the decoder) put front left, front right, centre, low frequency, then
// the back and side channels. Entry i of the row for n channels is the Vorbis channel that goes
// to place i; rows without an entry need no change.
constexpr std::array<std::array<uint8_t, 8>, 9> kWaveOrderOfVorbis = {{
    {},
    {},
    {},
    {0, 2, 1},
    {},
    {0, 2, 1, 3, 4},
    {0, 2, 1, 5, 3, 4},
    {0, 2, 1, 6, 5, 3, 4},
    {0, 2, 1, 7, 5, 6, 3, 4},
}};

void ToWaveOrder(uint8_t* data, int64_t frames, uint16_t channels) {
    if (channels >= kWaveOrderOfVorbis.size()) return;
    const auto& order = kWaveOrderOfVorbis[channels];
    if (order[1] == 0) return;
    std::array<int16_t, 8> frame{};
    auto* samples = reinterpret_cast<int16_t*>(data);
    for (int64_t f = 0; f < frames; ++f, samples += channels) {
        std::memcpy(frame.data(), samples, channels * sizeof(int16_t));
        for (uint16_t c = 0; c < channels; ++c)
            samples[c] = frame[order[c]];
    }
}

class VorbisDecoder final : public SoundDecoder {
  public:
    explicit VorbisDecoder(std::unique_ptr<TStream> stream) : stream_(std::move(stream)) {
        const ov_callbacks callbacks{ReadCallback, SeekCallback, nullptr, TellCallback};
        if (ov_open_callbacks(stream_.get(), &file_, nullptr, 0, callbacks) < 0)
            ThrowBadData(stream_->SourceName(), "not an Ogg Vorbis file");
        open_ = true;
        const vorbis_info* info = ov_info(&file_, -1);
        if (info == nullptr || info->channels < 1 || info->channels > 255 || info->rate < 1 ||
            info->rate > 768000) {
            ThrowBadData(stream_->SourceName(), "Ogg Vorbis file with an unplayable format");
        }
        format_ =
            PcmFormat(static_cast<uint16_t>(info->channels), static_cast<uint32_t>(info->rate), 16);
        const ogg_int64_t total = ov_pcm_total(&file_, -1);
        frameCount_ = total > 0 ? total : 0;
    }
    ~VorbisDecoder() override {
        if (open_) ov_clear(&file_);
    }
    VorbisDecoder(const VorbisDecoder&) = delete;
    VorbisDecoder& operator=(const VorbisDecoder&) = delete;

    [[nodiscard]] const WaveFormat& Format() const override { return format_; }

    [[nodiscard]] int64_t Read(uint8_t* out, int64_t count) override {
        const int64_t frameBytes = format_.blockAlign;
        count -= count % frameBytes;
        int64_t done = 0;
        while (done < count) {
            // A chained stream whose next part has another format ends here: its samples
            // would be read in the wrong layout.
            const vorbis_info* info = ov_info(&file_, -1);
            if (info == nullptr || info->channels != format_.channels ||
                info->rate != static_cast<long>(format_.samplesPerSec)) {
                break;
            }
            int section = 0;
            const int chunk = static_cast<int>(std::min<int64_t>(count - done, 1 << 16));
            const long got =
                ov_read(&file_, reinterpret_cast<char*>(out + done), chunk, 0, 2, 1, &section);
            if (got == OV_HOLE) continue;  // a gap in the data: the samples after it follow
            if (got < 0) ThrowBadData(stream_->SourceName(), "damaged Ogg Vorbis data");
            if (got == 0) break;
            done += got;
        }
        done -= done % frameBytes;
        ToWaveOrder(out, done / frameBytes, format_.channels);
        position_ += done / frameBytes;
        return done;
    }

    void Seek(int64_t frame) override {
        const int64_t target = std::clamp<int64_t>(frame, 0, frameCount_);
        if (ov_pcm_seek(&file_, target) == 0) {
            position_ = target;
        } else {
            // An unseekable or damaged stream: what can be played is from the start.
            ov_raw_seek(&file_, 0);
            position_ = 0;
        }
    }

    [[nodiscard]] int64_t Position() const override { return position_; }
    [[nodiscard]] int64_t FrameCount() const override { return frameCount_; }

  private:
    std::unique_ptr<TStream> stream_;
    OggVorbis_File file_{};
    bool open_ = false;
    WaveFormat format_;
    int64_t frameCount_ = 0;
    int64_t position_ = 0;
};

}  // namespace

std::unique_ptr<SoundDecoder> OpenVorbis(std::unique_ptr<TStream> stream) {
    return std::make_unique<VorbisDecoder>(std::move(stream));
}

}  // namespace kivo
