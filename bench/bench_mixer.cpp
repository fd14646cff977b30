// The sound mixer rendering one second of 1, 8 and 32 looping voices in the audio callback's
// blocks (decoding into the rings included), at unity gain and with gain and pan, against a
// plain saturating 16-bit add (SSE2) of the same samples into the same blocks.

#include <benchmark/benchmark.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "media/sound_mixer.h"
#include "ratio_reporter.h"

namespace {

constexpr size_t kRate = 44100;
constexpr size_t kBlock = 1024;
constexpr size_t kSoundFrames = 3 * kRate;

// Stereo noise of one voice: different for each voice, so no add is the same as another.
std::vector<int16_t> VoiceSamples(size_t voice) {
    std::vector<int16_t> out(kSoundFrames * 2);
    uint32_t x = 0x9E3779B9u * static_cast<uint32_t>(voice + 1);
    for (auto& s : out) {
        x = x * 1664525u + 1013904223u;
        s = static_cast<int16_t>(x >> 16);
    }
    return out;
}

// Sound already in the mix's form, read from memory.
class MemorySound final : public kivo::SoundDecoder {
  public:
    explicit MemorySound(const std::vector<int16_t>& samples) : samples_(samples) {}
    [[nodiscard]] const kivo::WaveFormat& Format() const override { return format_; }
    [[nodiscard]] int64_t Read(uint8_t* out, int64_t count) override {
        const int64_t frames = std::min<int64_t>(count / 4, FrameCount() - frame_);
        std::memcpy(out, samples_.data() + frame_ * 2, static_cast<size_t>(frames) * 4);
        frame_ += frames;
        return frames * 4;
    }
    void Seek(int64_t frame) override { frame_ = std::clamp<int64_t>(frame, 0, FrameCount()); }
    [[nodiscard]] int64_t Position() const override { return frame_; }
    [[nodiscard]] int64_t FrameCount() const override {
        return static_cast<int64_t>(samples_.size() / 2);
    }

  private:
    const std::vector<int16_t>& samples_;
    kivo::WaveFormat format_ = kivo::PcmFormat(2, kRate, 16);
    int64_t frame_ = 0;
};

const std::vector<std::vector<int16_t>>& Sounds() {
    static const std::vector<std::vector<int16_t>> sounds = [] {
        std::vector<std::vector<int16_t>> out;
        for (size_t v = 0; v < 32; ++v)
            out.push_back(VoiceSamples(v));
        return out;
    }();
    return sounds;
}

// The mixer and its voices are made once: each iteration mixes the next second of the looping
// voices, as the audio callback does, with the rings and their memory in use already.
void BM_Mixer(benchmark::State& state, bool gainAndPan) {
    const auto voices = static_cast<size_t>(state.range(0));
    std::vector<int16_t> block(kBlock * 2);
    kivo::TSoundMixer mixer(kRate, nullptr);
    std::vector<std::shared_ptr<kivo::TSoundVoice>> playing;
    for (size_t v = 0; v < voices; ++v) {
        auto voice = mixer.AddVoice(std::make_unique<MemorySound>(Sounds()[v]));
        if (gainAndPan)
            voice->SetGains(kivo::AttenuationGains(-300 - static_cast<int32_t>(v) * 20,
                                                   static_cast<int32_t>(v % 5) * 1000 - 2000));
        voice->SetLoop(true);
        voice->Play();
        playing.push_back(std::move(voice));
    }
    mixer.Render(block.data(), kBlock, 2);
    for (auto _ : state) {
        for (size_t done = 0; done < kRate; done += kBlock) {
            mixer.Render(block.data(), std::min(kBlock, kRate - done), 2);
            benchmark::DoNotOptimize(block.data());
        }
    }
    for (const auto& voice : playing)
        mixer.RemoveVoice(voice);
}

// dst += src, saturating: SSE2's saturating add, eight samples at a time.
void SaturatingAdd(int16_t* dst, const int16_t* src, size_t samples) {
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 8 <= samples; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_adds_epi16(a, b));
    }
#endif
    for (; i < samples; ++i)
        dst[i] = static_cast<int16_t>(std::clamp(dst[i] + src[i], -32768, 32767));
}

// The same samples added into the same blocks, each addition saturating.
void BM_PlainAdd(benchmark::State& state) {
    const auto voices = static_cast<size_t>(state.range(0));
    std::vector<int16_t> block(kBlock * 2);
    for (auto _ : state) {
        for (size_t done = 0; done < kRate; done += kBlock) {
            const size_t samples = std::min(kBlock, kRate - done) * 2;
            std::fill_n(block.data(), samples, int16_t{0});
            for (size_t v = 0; v < voices; ++v)
                SaturatingAdd(block.data(), Sounds()[v].data() + done * 2, samples);
            benchmark::DoNotOptimize(block.data());
        }
    }
}

BENCHMARK_CAPTURE(BM_Mixer, Unity, false)->Arg(1)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Mixer, GainPan, true)->Arg(1)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainAdd)->Arg(1)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    std::vector<kivo::bench::RatioReporter::Ratio> ratios;
    for (const char* n : {"1", "8", "32"}) {
        const std::string voices = n;
        ratios.push_back({"mixer " + voices + " voices, unity / plain saturating add",
                          "BM_Mixer/Unity/" + voices, "BM_PlainAdd/" + voices, "at most 1.5"});
        ratios.push_back({"mixer " + voices + " voices, gain and pan / plain saturating add",
                          "BM_Mixer/GainPan/" + voices, "BM_PlainAdd/" + voices, "at most 2.0"});
    }
    kivo::bench::RatioReporter reporter(std::move(ratios));
    return kivo::bench::RunWithRatios(argc, argv, reporter);
}
