// The video decoder of the media backend showing every frame of a film read through our
// streams, against libavformat, libavcodec and libswscale alone decoding the same film from
// memory into the same pixel format.

#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "media/backend/backend_media_codecs.h"
#include "ratio_reporter.h"
#include "storage/stream.h"
#include "support/media/media_encoders.h"

namespace {

constexpr int32_t kFramesPerSecond = 25;
constexpr int32_t kFrames = 100;

const std::vector<uint8_t>& Film() {
    static const std::vector<uint8_t> film = kivo::test::EncodeFilm(
        {.width = 320, .height = 240, .framesPerSecond = kFramesPerSecond, .frames = kFrames});
    return film;
}

void BM_VideoDecoder(benchmark::State& state) {
    kivo::BackendMediaCodecs codecs;
    for (auto _ : state) {
        auto video = codecs.OpenVideo(std::make_unique<kivo::TTpMemoryStream>(Film(), "film.wmv"));
        for (int32_t k = 0; k < kFrames; ++k) {
            benchmark::DoNotOptimize(video->ShowAt(k * 1000 / kFramesPerSecond + 1));
            benchmark::DoNotOptimize(video->Pixels().data());
        }
    }
}

struct MemoryReader {
    const std::vector<uint8_t>* bytes;
    size_t at = 0;
};

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
    auto* reader = static_cast<MemoryReader*>(opaque);
    const size_t left = reader->bytes->size() - reader->at;
    const size_t take = std::min(left, static_cast<size_t>(size));
    if (take == 0) return AVERROR_EOF;
    std::memcpy(buffer, reader->bytes->data() + reader->at, take);
    reader->at += take;
    return static_cast<int>(take);
}

int64_t SeekTo(void* opaque, int64_t offset, int whence) {
    auto* reader = static_cast<MemoryReader*>(opaque);
    const auto size = static_cast<int64_t>(reader->bytes->size());
    if (whence == AVSEEK_SIZE) return size;
    int64_t target = offset;
    if ((whence & ~AVSEEK_FORCE) == SEEK_CUR) target += static_cast<int64_t>(reader->at);
    if ((whence & ~AVSEEK_FORCE) == SEEK_END) target += size;
    if (target < 0 || target > size) return -1;
    reader->at = static_cast<size_t>(target);
    return target;
}

// Every frame decoded and converted to 32-bit BGR, the library calls alone.
void BM_LibavDecodeScale(benchmark::State& state) {
    for (auto _ : state) {
        MemoryReader reader{&Film()};
        auto* ioBuffer = static_cast<uint8_t*>(av_malloc(32768));
        AVIOContext* io =
            avio_alloc_context(ioBuffer, 32768, 0, &reader, ReadPacket, nullptr, SeekTo);
        AVFormatContext* format = avformat_alloc_context();
        format->pb = io;
        if (avformat_open_input(&format, nullptr, nullptr, nullptr) < 0 ||
            avformat_find_stream_info(format, nullptr) < 0)
            throw std::runtime_error("film");
        const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        AVStream* stream = format->streams[index];
        const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
        AVCodecContext* codec = avcodec_alloc_context3(decoder);
        avcodec_parameters_to_context(codec, stream->codecpar);
        codec->thread_count = 1;
        avcodec_open2(codec, decoder, nullptr);
        const int width = codec->width, height = codec->height;
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
        SwsContext* scaler = nullptr;
        AVPacket* packet = av_packet_alloc();
        AVFrame* frame = av_frame_alloc();
        const auto drain = [&] {
            while (avcodec_receive_frame(codec, frame) == 0) {
                scaler = sws_getCachedContext(
                    scaler, width, height, static_cast<AVPixelFormat>(frame->format), width, height,
                    AV_PIX_FMT_BGR0, SWS_POINT, nullptr, nullptr, nullptr);
                uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(pixels.data()), nullptr, nullptr,
                                      nullptr};
                int strides[4] = {width * 4, 0, 0, 0};
                sws_scale(scaler, frame->data, frame->linesize, 0, height, planes, strides);
                benchmark::DoNotOptimize(pixels.data());
            }
        };
        while (av_read_frame(format, packet) >= 0) {
            if (packet->stream_index == index && avcodec_send_packet(codec, packet) >= 0) drain();
            av_packet_unref(packet);
        }
        avcodec_send_packet(codec, nullptr);
        drain();
        av_frame_free(&frame);
        av_packet_free(&packet);
        sws_freeContext(scaler);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
}

BENCHMARK(BM_VideoDecoder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibavDecodeScale)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    kivo::bench::RatioReporter reporter(
        {{"video decoder / libavcodec + libswscale alone", "BM_VideoDecoder", "BM_LibavDecodeScale",
          "at most 1.15"}});
    return kivo::bench::RunWithRatios(argc, argv, reporter);
}
