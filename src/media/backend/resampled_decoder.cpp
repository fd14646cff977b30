#include "media/backend/resampled_decoder.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/error.h"

namespace kivo {

namespace {

constexpr int64_t kChunkFrames = 2048;

class ResampledDecoder final : public SoundDecoder {
  public:
    ResampledDecoder(std::unique_ptr<SoundDecoder> source, int32_t rate, std::string name)
        : source_(std::move(source)), name_(std::move(name)) {
        format_ = PcmFormat(2, static_cast<uint32_t>(rate), 16);
        Configure();
    }
    ~ResampledDecoder() override { swr_free(&resampler_); }
    ResampledDecoder(const ResampledDecoder&) = delete;
    ResampledDecoder& operator=(const ResampledDecoder&) = delete;

    [[nodiscard]] const WaveFormat& Format() const override { return format_; }
    [[nodiscard]] int64_t Position() const override { return position_; }
    [[nodiscard]] int64_t FrameCount() const override {
        return av_rescale(source_->FrameCount(), format_.samplesPerSec,
                          source_->Format().samplesPerSec);
    }

    [[nodiscard]] int64_t Read(uint8_t* out, int64_t count) override {
        const int64_t wanted = count / 4 * 4;
        int64_t done = 0;
        while (done < wanted) {
            if (pendingAt_ == pending_.size() && !ConvertMore()) break;
            const auto take = static_cast<size_t>(std::min<int64_t>(
                wanted - done, static_cast<int64_t>(pending_.size() - pendingAt_)));
            std::memcpy(out + done, pending_.data() + pendingAt_, take);
            pendingAt_ += take;
            done += static_cast<int64_t>(take);
        }
        position_ += done / 4;
        return done;
    }

    void Seek(int64_t frame) override {
        const int64_t target = std::clamp<int64_t>(frame, 0, FrameCount());
        source_->Seek(av_rescale(target, source_->Format().samplesPerSec, format_.samplesPerSec));
        swr_free(&resampler_);
        Configure();
        drained_ = false;
        pending_.clear();
        pendingAt_ = 0;
        position_ = target;
    }

  private:
    void Configure() {
        const WaveFormat& in = source_->Format();
        AVChannelLayout inLayout{};
        AVChannelLayout outLayout{};
        av_channel_layout_default(&inLayout, in.channels);
        av_channel_layout_default(&outLayout, 2);
        const AVSampleFormat inFormat =
            in.bitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
        int made = swr_alloc_set_opts2(
            &resampler_, &outLayout, AV_SAMPLE_FMT_S16, static_cast<int>(format_.samplesPerSec),
            &inLayout, inFormat, static_cast<int>(in.samplesPerSec), 0, nullptr);
        av_channel_layout_uninit(&inLayout);
        av_channel_layout_uninit(&outLayout);
        // A mono sound plays at full level on both sides, as it always did; the library's
        // default would take a centre channel 3 dB down.
        static constexpr double kMonoToBoth[2] = {1.0, 1.0};
        if (made >= 0 && in.channels == 1) made = swr_set_matrix(resampler_, kMonoToBoth, 1);
        if (made < 0 || swr_init(resampler_) < 0) {
            swr_free(&resampler_);
            ThrowBadData(name_, "sound in a format that cannot be converted");
        }
    }

    // Converts the next chunk of the source into pending_; at its end, drains what the
    // resampler still holds. False when nothing more comes.
    bool ConvertMore() {
        pending_.clear();
        pendingAt_ = 0;
        const int64_t frameBytes = source_->Format().blockAlign;
        while (!drained_) {
            scratch_.resize(static_cast<size_t>(kChunkFrames * frameBytes));
            const int64_t got = source_->Read(scratch_.data(), kChunkFrames * frameBytes);
            const int inFrames = static_cast<int>(std::max<int64_t>(got, 0) / frameBytes);
            if (inFrames == 0) drained_ = true;
            const int room = swr_get_out_samples(resampler_, inFrames);
            if (room <= 0) continue;
            pending_.resize(static_cast<size_t>(room) * 4);
            uint8_t* target = pending_.data();
            const uint8_t* input = scratch_.data();
            const int made = drained_ ? swr_convert(resampler_, &target, room, nullptr, 0)
                                      : swr_convert(resampler_, &target, room, &input, inFrames);
            if (made < 0) ThrowBadData(name_, "damaged sound data");
            pending_.resize(static_cast<size_t>(made) * 4);
            if (made > 0) return true;
        }
        return false;
    }

    std::unique_ptr<SoundDecoder> source_;
    std::string name_;
    WaveFormat format_;
    SwrContext* resampler_ = nullptr;
    std::vector<uint8_t> scratch_;
    std::vector<uint8_t> pending_;
    size_t pendingAt_ = 0;
    int64_t position_ = 0;
    bool drained_ = false;
};

}  // namespace

std::unique_ptr<SoundDecoder> ResampleToStereo16(std::unique_ptr<SoundDecoder> source, int32_t rate,
                                                 const std::string& name) {
    if (IsStereo16At(source->Format(), rate)) return source;
    return std::make_unique<ResampledDecoder>(std::move(source), rate, name);
}

}  // namespace kivo
