#include "support/media/media_encoders.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
}
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace kivo::test {

namespace {

void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("test encoder: ") + what);
}

void AppendPage(std::vector<uint8_t>& out, const ogg_page& page) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

}  // namespace

std::vector<uint8_t> EncodeOgg(const std::vector<int16_t>& samples, uint16_t channels,
                               uint32_t rate) {
    vorbis_info info;
    vorbis_info_init(&info);
    Check(vorbis_encode_init_vbr(&info, channels, static_cast<long>(rate), 0.5f) == 0, "vorbis");
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1);
    std::vector<uint8_t> out;
    ogg_packet header, commentHeader, codeHeader;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentHeader);
    ogg_stream_packetin(&stream, &codeHeader);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0)
        AppendPage(out, page);

    const size_t frames = samples.size() / channels;
    const auto drain = [&] {
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0)
                    AppendPage(out, page);
            }
        }
    };
    constexpr size_t kChunk = 1024;
    for (size_t done = 0; done < frames; done += kChunk) {
        const size_t n = std::min(kChunk, frames - done);
        float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
        for (size_t i = 0; i < n; ++i)
            for (uint16_t c = 0; c < channels; ++c)
                buffer[c][i] = samples[(done + i) * channels + c] / 32768.0f;
        vorbis_analysis_wrote(&dsp, static_cast<int>(n));
        drain();
    }
    vorbis_analysis_wrote(&dsp, 0);
    drain();
    while (ogg_stream_flush(&stream, &page) != 0)
        AppendPage(out, page);
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

uint32_t FrameColor(int32_t k) {
    const auto r = static_cast<uint32_t>((k * 97 + 40) % 200 + 30);
    const auto g = static_cast<uint32_t>((k * 53 + 160) % 200 + 30);
    const auto b = static_cast<uint32_t>((k * 151 + 90) % 200 + 30);
    return r << 16 | g << 8 | b;
}

namespace {

struct Encoder {
    AVCodecContext* context = nullptr;
    AVStream* stream = nullptr;
    ~Encoder() { avcodec_free_context(&context); }
};

void Drain(AVFormatContext* format, Encoder& encoder, AVFrame* frame) {
    Check(avcodec_send_frame(encoder.context, frame) >= 0, "send frame");
    AVPacket* packet = av_packet_alloc();
    while (avcodec_receive_packet(encoder.context, packet) == 0) {
        av_packet_rescale_ts(packet, encoder.context->time_base, encoder.stream->time_base);
        packet->stream_index = encoder.stream->index;
        Check(av_interleaved_write_frame(format, packet) >= 0, "write packet");
    }
    av_packet_free(&packet);
}

void FillColor(AVFrame* frame, uint32_t rgb) {
    const double r = rgb >> 16 & 255, g = rgb >> 8 & 255, b = rgb & 255;
    const auto y = static_cast<uint8_t>(std::lround(16 + 0.257 * r + 0.504 * g + 0.098 * b));
    const auto u = static_cast<uint8_t>(std::lround(128 - 0.148 * r - 0.291 * g + 0.439 * b));
    const auto v = static_cast<uint8_t>(std::lround(128 + 0.439 * r - 0.368 * g - 0.071 * b));
    for (int row = 0; row < frame->height; ++row)
        std::fill_n(frame->data[0] + row * frame->linesize[0], frame->width, y);
    for (int row = 0; row < frame->height / 2; ++row) {
        std::fill_n(frame->data[1] + row * frame->linesize[1], frame->width / 2, u);
        std::fill_n(frame->data[2] + row * frame->linesize[2], frame->width / 2, v);
    }
}

}  // namespace

std::vector<uint8_t> EncodeFilm(const FilmSpec& shape) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("kivo_film_" + std::to_string(getpid()) + ".wmv");
    AVFormatContext* format = nullptr;
    Check(avformat_alloc_output_context2(&format, nullptr, "asf", path.c_str()) >= 0, "asf");
    Encoder video;
    Encoder audio;
    if (shape.withVideo) {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMV2);
        Check(codec != nullptr, "wmv2 encoder");
        video.stream = avformat_new_stream(format, nullptr);
        video.context = avcodec_alloc_context3(codec);
        video.context->width = shape.width;
        video.context->height = shape.height;
        video.context->pix_fmt = AV_PIX_FMT_YUV420P;
        video.context->time_base = AVRational{1, shape.framesPerSecond};
        video.context->framerate = AVRational{shape.framesPerSecond, 1};
        video.context->gop_size = 5;
        video.context->bit_rate = 400000;
        if (format->oformat->flags & AVFMT_GLOBALHEADER)
            video.context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        Check(avcodec_open2(video.context, codec, nullptr) >= 0, "open wmv2");
        Check(avcodec_parameters_from_context(video.stream->codecpar, video.context) >= 0, "params");
        video.stream->time_base = video.context->time_base;
    }
    if (shape.soundHz > 0) {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
        Check(codec != nullptr, "wmav2 encoder");
        audio.stream = avformat_new_stream(format, nullptr);
        audio.context = avcodec_alloc_context3(codec);
        audio.context->sample_fmt = AV_SAMPLE_FMT_FLTP;
        audio.context->sample_rate = static_cast<int>(shape.soundRate);
        av_channel_layout_default(&audio.context->ch_layout, 1);
        audio.context->bit_rate = 64000;
        audio.context->time_base = AVRational{1, static_cast<int>(shape.soundRate)};
        if (format->oformat->flags & AVFMT_GLOBALHEADER)
            audio.context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        Check(avcodec_open2(audio.context, codec, nullptr) >= 0, "open wmav2");
        Check(avcodec_parameters_from_context(audio.stream->codecpar, audio.context) >= 0, "params");
        audio.stream->time_base = audio.context->time_base;
    }
    Check(avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0, "open output");
    Check(avformat_write_header(format, nullptr) >= 0, "header");

    AVFrame* frame = av_frame_alloc();
    if (shape.withVideo) {
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = shape.width;
        frame->height = shape.height;
        Check(av_frame_get_buffer(frame, 0) >= 0, "picture");
        for (int32_t k = 0; k < shape.frames; ++k) {
            Check(av_frame_make_writable(frame) >= 0, "writable");
            FillColor(frame, FrameColor(k));
            frame->pts = k;
            Drain(format, video, frame);
        }
        Drain(format, video, nullptr);
        av_frame_unref(frame);
    }
    if (shape.soundHz > 0) {
        const int64_t total = int64_t{shape.frames} * shape.soundRate / shape.framesPerSecond;
        const int chunk = audio.context->frame_size;
        frame->format = AV_SAMPLE_FMT_FLTP;
        frame->nb_samples = chunk;
        frame->sample_rate = static_cast<int>(shape.soundRate);
        av_channel_layout_default(&frame->ch_layout, 1);
        Check(av_frame_get_buffer(frame, 0) >= 0, "sound");
        for (int64_t done = 0; done < total; done += chunk) {
            Check(av_frame_make_writable(frame) >= 0, "writable");
            auto* samples = reinterpret_cast<float*>(frame->data[0]);
            for (int i = 0; i < chunk; ++i) {
                samples[i] = static_cast<float>(
                    0.5 * std::sin(6.283185307179586 * shape.soundHz * static_cast<double>(done + i) /
                                   shape.soundRate));
            }
            frame->pts = done;
            Drain(format, audio, frame);
        }
        Drain(format, audio, nullptr);
    }
    av_frame_free(&frame);
    Check(av_write_trailer(format) >= 0, "trailer");
    avio_closep(&format->pb);
    avformat_free_context(format);
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    return bytes;
}

}  // namespace kivo::test
