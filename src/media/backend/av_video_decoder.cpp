#include "media/backend/av_video_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <vector>

#include "base/error.h"
#include "media/backend/av_input.h"

namespace kivo {

namespace {

constexpr int kMaxSide = 4096;
constexpr int kMaxBadPackets = 64;

class ContainerVideo final : public VideoDecoder {
  public:
    explicit ContainerVideo(std::unique_ptr<TStream> stream)
        : name_(stream->SourceName()), input_(std::move(stream)) {
        AVFormatContext* context = input_.Context();
        const AVCodec* decoder = nullptr;
        streamIndex_ = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
        if (streamIndex_ < 0 || decoder == nullptr) ThrowBadData(name_, "media file without video");
        const AVStream* video = context->streams[streamIndex_];
        timeBase_ = video->time_base;
        codec_ = avcodec_alloc_context3(decoder);
        if (codec_ == nullptr || avcodec_parameters_to_context(codec_, video->codecpar) < 0)
            throw KivoError(name_, "out of memory");
        // The frames are pulled from the main thread; the decoder's own threads would only
        // compete with the mix.
        codec_->thread_count = 1;
        if (avcodec_open2(codec_, decoder, nullptr) < 0)
            ThrowBadData(name_, "video in a coding that cannot be played");
        if (codec_->width < 1 || codec_->height < 1 || codec_->width > kMaxSide ||
            codec_->height > kMaxSide) {
            ThrowBadData(name_, "video of an unplayable size");
        }
        width_ = codec_->width;
        height_ = codec_->height;
        pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0);
        if (video->duration > 0) {
            durationMs_ = av_rescale_q(video->duration, timeBase_, AVRational{1, 1000});
        } else if (context->duration > 0) {
            durationMs_ = av_rescale(context->duration, 1000, AV_TIME_BASE);
        }
        frame_ = av_frame_alloc();
        shown_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (frame_ == nullptr || shown_ == nullptr || packet_ == nullptr)
            throw KivoError(name_, "out of memory");
    }

    ~ContainerVideo() override {
        sws_freeContext(scaler_);
        av_frame_free(&frame_);
        av_frame_free(&shown_);
        av_packet_free(&packet_);
        avcodec_free_context(&codec_);
    }
    ContainerVideo(const ContainerVideo&) = delete;
    ContainerVideo& operator=(const ContainerVideo&) = delete;

    [[nodiscard]] int32_t Width() const override { return width_; }
    [[nodiscard]] int32_t Height() const override { return height_; }
    [[nodiscard]] int64_t DurationMs() const override { return durationMs_; }
    [[nodiscard]] std::span<const uint32_t> Pixels() const override { return pixels_; }

    [[nodiscard]] bool ShowAt(int64_t ms) override {
        if (ms < lastRequestMs_) Rewind();
        lastRequestMs_ = ms;
        bool changed = false;
        // A frame decoded ahead waits for its time.
        while (true) {
            if (!haveAhead_ && !DecodeNext()) break;
            haveAhead_ = true;
            const int64_t at = FrameMs(frame_);
            if (at > ms && shownMs_ != kNothingShown) break;
            // The first frame shows from the start even when its stamp is a little late.
            av_frame_unref(shown_);
            av_frame_move_ref(shown_, frame_);
            haveAhead_ = false;
            shownMs_ = std::max<int64_t>(at, 0);
            changed = true;
            if (at > ms) break;
        }
        if (changed) Convert(shown_);
        return changed;
    }

  private:
    static constexpr int64_t kNothingShown = -1;

    [[nodiscard]] int64_t FrameMs(const AVFrame* frame) const {
        const int64_t stamp = frame->best_effort_timestamp;
        if (stamp == AV_NOPTS_VALUE) return shownMs_ == kNothingShown ? 0 : shownMs_ + 1;
        return av_rescale_q(stamp, timeBase_, AVRational{1, 1000});
    }

    void Rewind() {
        av_seek_frame(input_.Context(), streamIndex_, 0, AVSEEK_FLAG_BACKWARD);
        avcodec_flush_buffers(codec_);
        haveAhead_ = false;
        finished_ = false;
        flushed_ = false;
        shownMs_ = kNothingShown;
    }

    bool DecodeNext() {
        int bad = 0;
        while (!finished_) {
            const int received = avcodec_receive_frame(codec_, frame_);
            if (received == 0) return true;
            if (received == AVERROR_EOF) {
                finished_ = true;
                break;
            }
            if (received != AVERROR(EAGAIN) && ++bad > kMaxBadPackets) {
                finished_ = true;
                break;
            }
            if (flushed_) {
                finished_ = true;
                break;
            }
            if (!NextPacket()) {
                avcodec_send_packet(codec_, nullptr);
                flushed_ = true;
                continue;
            }
            const int sent = avcodec_send_packet(codec_, packet_);
            av_packet_unref(packet_);
            // A damaged frame is skipped; the last good picture stays on show.
            if (sent < 0 && sent != AVERROR(EAGAIN) && ++bad > kMaxBadPackets) finished_ = true;
        }
        return false;
    }

    bool NextPacket() {
        for (;;) {
            if (av_read_frame(input_.Context(), packet_) < 0) return false;
            if (packet_->stream_index == streamIndex_) return true;
            av_packet_unref(packet_);
        }
    }

    void Convert(const AVFrame* frame) {
        if (frame->width != width_ || frame->height != height_) return;
        scaler_ = sws_getCachedContext(scaler_, width_, height_,
                                       static_cast<AVPixelFormat>(frame->format), width_, height_,
                                       AV_PIX_FMT_BGR0, SWS_POINT, nullptr, nullptr, nullptr);
        if (scaler_ == nullptr) return;
        uint8_t* planes[1] = {reinterpret_cast<uint8_t*>(pixels_.data())};
        const int strides[1] = {width_ * 4};
        sws_scale(scaler_, frame->data, frame->linesize, 0, height_, planes, strides);
    }

    std::string name_;
    AvInput input_;
    int streamIndex_ = -1;
    AVRational timeBase_{1, 1};
    AVCodecContext* codec_ = nullptr;
    SwsContext* scaler_ = nullptr;
    AVFrame* frame_ = nullptr;  // decoded ahead when haveAhead_
    AVFrame* shown_ = nullptr;
    AVPacket* packet_ = nullptr;
    bool haveAhead_ = false;
    bool finished_ = false;
    bool flushed_ = false;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int64_t durationMs_ = 0;
    int64_t shownMs_ = kNothingShown;
    int64_t lastRequestMs_ = 0;
    std::vector<uint32_t> pixels_;
};

}  // namespace

std::unique_ptr<VideoDecoder> OpenContainerVideo(std::unique_ptr<TStream> stream) {
    return std::make_unique<ContainerVideo>(std::move(stream));
}

}  // namespace kivo
