#include "media/backend/av_sound_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "base/error.h"
#include "media/backend/av_input.h"

namespace kivo {

namespace {

// Packets in a row that fail to decode before the data count as damaged.
constexpr int kMaxBadPackets = 64;
constexpr int kMaxChannels = 32;

// Decodes packets handed in by a subclass and converts the frames to interleaved 16-bit PCM.
class AvAudioDecoder : public SoundDecoder {
  public:
    ~AvAudioDecoder() override {
        swr_free(&resampler_);
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        avcodec_free_context(&codec_);
    }
    AvAudioDecoder(const AvAudioDecoder&) = delete;
    AvAudioDecoder& operator=(const AvAudioDecoder&) = delete;

    [[nodiscard]] const WaveFormat& Format() const override { return format_; }
    [[nodiscard]] int64_t Position() const override { return position_; }
    [[nodiscard]] int64_t FrameCount() const override { return frameCount_; }

    [[nodiscard]] int64_t Read(uint8_t* out, int64_t count) override {
        const int64_t frameBytes = format_.blockAlign;
        count -= count % frameBytes;
        int64_t done = 0;
        while (done < count) {
            if (pendingAt_ == pending_.size() && !Refill()) break;
            const auto take = static_cast<size_t>(std::min<int64_t>(
                count - done, static_cast<int64_t>(pending_.size() - pendingAt_)));
            std::memcpy(out + done, pending_.data() + pendingAt_, take);
            pendingAt_ += take;
            done += static_cast<int64_t>(take);
        }
        position_ += done / frameBytes;
        return done;
    }

    void Seek(int64_t frame) override {
        const int64_t target =
            std::max<int64_t>(0, frameCount_ > 0 ? std::min(frame, frameCount_) : frame);
        avcodec_flush_buffers(codec_);
        swr_free(&resampler_);
        pending_.clear();
        pendingAt_ = 0;
        flushed_ = false;
        finished_ = false;
        SeekSource(target);
        seekTarget_ = target;
        position_ = target;
    }

  protected:
    explicit AvAudioDecoder(std::string name) : name_(std::move(name)) {}

    // The next packet of the sound into packet; false at the end of the data.
    [[nodiscard]] virtual bool NextPacket(AVPacket* packet) = 0;
    // Moves the source to a packet at or before frame.
    virtual void SeekSource(int64_t frame) = 0;
    // The sample index of the decoded frame's first sample, when the source knows it.
    [[nodiscard]] virtual std::optional<int64_t> FrameStart(const AVFrame* frame) const = 0;

    // Opens the codec with the parameters set in codec_ by the subclass.
    void OpenCodec(const AVCodec* decoder) {
        if (decoder == nullptr || avcodec_open2(codec_, decoder, nullptr) < 0)
            ThrowBadData(name_, "sound in a coding that cannot be played");
        const int channels = codec_->ch_layout.nb_channels;
        if (channels < 1 || channels > kMaxChannels || codec_->sample_rate < 1 ||
            codec_->sample_rate > 768000) {
            ThrowBadData(name_, "sound in a format that cannot be played");
        }
        format_ = PcmFormat(static_cast<uint16_t>(std::min(channels, 2)),
                            static_cast<uint32_t>(codec_->sample_rate), 16);
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (frame_ == nullptr || packet_ == nullptr) throw KivoError(name_, "out of memory");
    }

    std::string name_;
    AVCodecContext* codec_ = nullptr;
    int64_t frameCount_ = 0;

  private:
    // Decodes until some converted samples are pending; false at the end.
    bool Refill() {
        pending_.clear();
        pendingAt_ = 0;
        int bad = 0;
        while (!finished_) {
            const int received = avcodec_receive_frame(codec_, frame_);
            if (received == 0) {
                Convert();
                av_frame_unref(frame_);
                if (pendingAt_ < pending_.size()) return true;
                continue;
            }
            if (received == AVERROR_EOF) {
                finished_ = true;
                break;
            }
            if (received != AVERROR(EAGAIN) && ++bad > kMaxBadPackets)
                ThrowBadData(name_, "damaged sound data");
            if (flushed_) {
                finished_ = true;
                break;
            }
            if (!NextPacket(packet_)) {
                avcodec_send_packet(codec_, nullptr);  // drains the decoder
                flushed_ = true;
                continue;
            }
            const int sent = avcodec_send_packet(codec_, packet_);
            av_packet_unref(packet_);
            if (sent < 0 && sent != AVERROR(EAGAIN) && ++bad > kMaxBadPackets)
                ThrowBadData(name_, "damaged sound data");
        }
        return false;
    }

    bool ConfigureResampler() {
        AVChannelLayout in{};
        if (frame_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC ||
            frame_->ch_layout.nb_channels < 1) {
            av_channel_layout_default(
                &in, std::max(frame_->ch_layout.nb_channels, codec_->ch_layout.nb_channels));
        } else if (av_channel_layout_copy(&in, &frame_->ch_layout) < 0) {
            return false;
        }
        AVChannelLayout out{};
        av_channel_layout_default(&out, format_.channels);
        const int rate = frame_->sample_rate > 0 ? frame_->sample_rate : codec_->sample_rate;
        const int made = swr_alloc_set_opts2(
            &resampler_, &out, AV_SAMPLE_FMT_S16, static_cast<int>(format_.samplesPerSec), &in,
            static_cast<AVSampleFormat>(frame_->format), rate, 0, nullptr);
        av_channel_layout_uninit(&in);
        av_channel_layout_uninit(&out);
        if (made < 0 || swr_init(resampler_) < 0) {
            swr_free(&resampler_);
            return false;
        }
        inputFormat_ = frame_->format;
        inputRate_ = rate;
        inputChannels_ = frame_->ch_layout.nb_channels;
        return true;
    }

    void Convert() {
        if (frame_->nb_samples <= 0) return;
        const int rate = frame_->sample_rate > 0 ? frame_->sample_rate : codec_->sample_rate;
        if (resampler_ == nullptr || frame_->format != inputFormat_ || rate != inputRate_ ||
            frame_->ch_layout.nb_channels != inputChannels_) {
            swr_free(&resampler_);
            if (!ConfigureResampler())
                ThrowBadData(name_, "sound in a format that cannot be played");
        }
        const int room = swr_get_out_samples(resampler_, frame_->nb_samples);
        if (room <= 0) return;
        pending_.resize(static_cast<size_t>(room) * format_.blockAlign);
        uint8_t* out = pending_.data();
        const int made =
            swr_convert(resampler_, &out, room, const_cast<const uint8_t**>(frame_->extended_data),
                        frame_->nb_samples);
        if (made < 0) ThrowBadData(name_, "damaged sound data");
        pending_.resize(static_cast<size_t>(made) * format_.blockAlign);
        pendingAt_ = 0;
        if (seekTarget_) DropBeforeSeekTarget();
    }

    // After a seek, the samples of the first frames that lie before the target are dropped.
    void DropBeforeSeekTarget() {
        const std::optional<int64_t> start = FrameStart(frame_);
        if (!start || *start >= *seekTarget_) {
            seekTarget_.reset();
            return;
        }
        const int64_t have = static_cast<int64_t>(pending_.size()) / format_.blockAlign;
        const int64_t drop = std::min(have, *seekTarget_ - *start);
        pendingAt_ = static_cast<size_t>(drop) * format_.blockAlign;
        if (drop < have) seekTarget_.reset();
    }

    WaveFormat format_;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwrContext* resampler_ = nullptr;
    int inputFormat_ = -1;
    int inputRate_ = 0;
    int inputChannels_ = 0;
    std::vector<uint8_t> pending_;
    size_t pendingAt_ = 0;
    int64_t position_ = 0;
    bool flushed_ = false;
    bool finished_ = false;
    std::optional<int64_t> seekTarget_;
};

class ContainerSound final : public AvAudioDecoder {
  public:
    explicit ContainerSound(std::unique_ptr<TStream> stream)
        : AvAudioDecoder(stream->SourceName()), input_(std::move(stream)) {
        AVFormatContext* context = input_.Context();
        const AVCodec* decoder = nullptr;
        streamIndex_ = av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
        if (streamIndex_ < 0) ThrowBadData(name_, "media file without sound");
        const AVStream* audio = context->streams[streamIndex_];
        codec_ = avcodec_alloc_context3(decoder);
        if (codec_ == nullptr || avcodec_parameters_to_context(codec_, audio->codecpar) < 0)
            throw KivoError(name_, "out of memory");
        OpenCodec(decoder);
        timeBase_ = audio->time_base;
        const int64_t rate = codec_->sample_rate;
        if (audio->duration > 0 && timeBase_.den > 0) {
            frameCount_ =
                av_rescale_q(audio->duration, timeBase_, AVRational{1, static_cast<int>(rate)});
        } else if (context->duration > 0) {
            frameCount_ = av_rescale(context->duration, rate, AV_TIME_BASE);
        }
    }

  private:
    bool NextPacket(AVPacket* packet) override {
        for (;;) {
            if (av_read_frame(input_.Context(), packet) < 0) return false;
            if (packet->stream_index == streamIndex_) return true;
            av_packet_unref(packet);
        }
    }

    void SeekSource(int64_t frame) override {
        const int64_t stamp = av_rescale_q(frame, AVRational{1, codec_->sample_rate}, timeBase_);
        if (av_seek_frame(input_.Context(), streamIndex_, stamp, AVSEEK_FLAG_BACKWARD) < 0)
            av_seek_frame(input_.Context(), streamIndex_, 0, AVSEEK_FLAG_BACKWARD);
    }

    std::optional<int64_t> FrameStart(const AVFrame* frame) const override {
        const int64_t stamp = frame->best_effort_timestamp;
        if (stamp == AV_NOPTS_VALUE) return std::nullopt;
        return av_rescale_q(stamp, timeBase_, AVRational{1, codec_->sample_rate});
    }

    AvInput input_;
    int streamIndex_ = -1;
    AVRational timeBase_{1, 1};
};

class CodedWave final : public AvAudioDecoder {
  public:
    CodedWave(std::unique_ptr<TStream> stream, const RiffWave& wave)
        : AvAudioDecoder(stream->SourceName()), stream_(std::move(stream)), wave_(wave) {
        const AVCodecTag* const tags[] = {avformat_get_riff_audio_tags(), nullptr};
        const AVCodecID id = av_codec_get_id(tags, wave.formatTag);
        const AVCodec* decoder = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
        if (decoder == nullptr) ThrowBadData(name_, "WAVE file in a coding that cannot be played");
        codec_ = avcodec_alloc_context3(decoder);
        if (codec_ == nullptr) throw KivoError(name_, "out of memory");
        codec_->sample_rate = static_cast<int>(wave.sampleRate);
        av_channel_layout_default(&codec_->ch_layout, wave.channels);
        codec_->block_align = wave.blockAlign;
        codec_->bit_rate = int64_t{wave.avgBytesPerSec} * 8;
        codec_->bits_per_coded_sample = wave.bitsPerSample;
        if (!wave.codecData.empty()) {
            codec_->extradata = static_cast<uint8_t*>(
                av_mallocz(wave.codecData.size() + AV_INPUT_BUFFER_PADDING_SIZE));
            if (codec_->extradata == nullptr) throw KivoError(name_, "out of memory");
            std::memcpy(codec_->extradata, wave.codecData.data(), wave.codecData.size());
            codec_->extradata_size = static_cast<int>(wave.codecData.size());
        }
        parser_ = av_parser_init(decoder->id);
        OpenCodec(decoder);
        // Packets are whole blocks of the coding, or parsed from a few blocks' worth of bytes.
        const int64_t block = std::max<int64_t>(wave.blockAlign, 1);
        chunk_ = std::max<int64_t>(block, 4096 / block * block);
        if (wave.avgBytesPerSec > 0) {
            frameCount_ = av_rescale(wave.dataSize, wave.sampleRate, wave.avgBytesPerSec);
        }
    }
    ~CodedWave() override { av_parser_close(parser_); }
    CodedWave(const CodedWave&) = delete;
    CodedWave& operator=(const CodedWave&) = delete;

  private:
    bool NextPacket(AVPacket* packet) override {
        if (parser_ == nullptr) return readAt_ < wave_.dataSize && ReadBlockInto(packet);
        return !parserDrained_ && Parse(packet);
    }

    // Cuts the next packet out of the bytes read so far, reading more when needed; at the end
    // of the data the parser gives up what it still holds.
    bool Parse(AVPacket* packet) {
        for (;;) {
            uint8_t* data = nullptr;
            int size = 0;
            if (parsedAt_ == parsed_.size() && readAt_ < wave_.dataSize) FillParseBuffer();
            if (parsedAt_ == parsed_.size()) {
                av_parser_parse2(parser_, codec_, &data, &size, nullptr, 0, AV_NOPTS_VALUE,
                                 AV_NOPTS_VALUE, 0);
                parserDrained_ = true;
                return size > 0 && CopyPacket(packet, data, size);
            }
            const int used = av_parser_parse2(
                parser_, codec_, &data, &size, parsed_.data() + parsedAt_,
                static_cast<int>(parsed_.size() - parsedAt_), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (used < 0) ThrowBadData(name_, "damaged sound data");
            parsedAt_ += static_cast<size_t>(used);
            if (size > 0) return CopyPacket(packet, data, size);
        }
    }

    bool CopyPacket(AVPacket* packet, const uint8_t* data, int size) {
        if (av_new_packet(packet, size) < 0) throw KivoError(name_, "out of memory");
        std::memcpy(packet->data, data, static_cast<size_t>(size));
        return true;
    }

    void FillParseBuffer() {
        const int64_t want = std::min(chunk_, wave_.dataSize - readAt_);
        parsed_.assign(static_cast<size_t>(want) + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        stream_->SetPosition(wave_.dataOffset + readAt_);
        const int64_t got = std::max<int64_t>(stream_->Read(parsed_.data(), want), 0);
        // A read that comes back short ends the data there.
        if (got < want) wave_.dataSize = readAt_ + got;
        readAt_ += got;
        parsed_.resize(static_cast<size_t>(got));
        parsedAt_ = 0;
    }

    bool ReadBlockInto(AVPacket* packet) {
        const int64_t want = std::min(chunk_, wave_.dataSize - readAt_);
        if (av_new_packet(packet, static_cast<int>(want)) < 0)
            throw KivoError(name_, "out of memory");
        stream_->SetPosition(wave_.dataOffset + readAt_);
        const int64_t got = std::max<int64_t>(stream_->Read(packet->data, want), 0);
        if (got < want) wave_.dataSize = readAt_ + got;
        readAt_ += got;
        if (got <= 0) {
            av_packet_unref(packet);
            return false;
        }
        av_shrink_packet(packet, static_cast<int>(got));
        // The first sample of the packet, from its byte offset.
        packet->pts = wave_.avgBytesPerSec > 0
                          ? av_rescale(readAt_ - got, wave_.sampleRate, wave_.avgBytesPerSec)
                          : AV_NOPTS_VALUE;
        return true;
    }

    void SeekSource(int64_t frame) override {
        const int64_t block = std::max<int64_t>(wave_.blockAlign, 1);
        const int64_t byte = wave_.avgBytesPerSec > 0
                                 ? av_rescale(frame, wave_.avgBytesPerSec, wave_.sampleRate)
                                 : 0;
        readAt_ = std::clamp<int64_t>(byte / block * block, 0, wave_.dataSize);
        parsed_.clear();
        parsedAt_ = 0;
        parserDrained_ = false;
        if (parser_ != nullptr) {
            av_parser_close(parser_);
            parser_ = av_parser_init(codec_->codec_id);
        }
    }

    std::optional<int64_t> FrameStart(const AVFrame* frame) const override {
        if (frame->pts == AV_NOPTS_VALUE) return std::nullopt;
        return frame->pts;
    }

    std::unique_ptr<TStream> stream_;
    RiffWave wave_;
    AVCodecParserContext* parser_ = nullptr;
    int64_t chunk_ = 4096;
    int64_t readAt_ = 0;  // bytes of the data chunk read so far
    std::vector<uint8_t> parsed_;
    size_t parsedAt_ = 0;
    bool parserDrained_ = false;
};

}  // namespace

std::unique_ptr<SoundDecoder> OpenContainerSound(std::unique_ptr<TStream> stream) {
    return std::make_unique<ContainerSound>(std::move(stream));
}

std::unique_ptr<SoundDecoder> OpenCodedWave(std::unique_ptr<TStream> stream, const RiffWave& wave) {
    return std::make_unique<CodedWave>(std::move(stream), wave);
}

}  // namespace kivo
