// The backend's decoders on sound and films made at test time: Ogg Vorbis, WAVE in PCM and in
// a coding of the codec library, Windows Media sound and pictures, resampling and mixing down,
// and damaged files.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>

#include "base/error.h"
#include "media/backend/backend_media_codecs.h"
#include "storage/stream.h"
#include "support/media/media_encoders.h"
#include "support/wave_writer.h"

namespace kivo {
namespace {

using test::EncodeFilm;
using test::EncodeOgg;
using test::FrameColor;
using test::WaveSpec;

std::unique_ptr<TStream> StreamOf(std::vector<uint8_t> bytes, std::string name = "sound") {
    return std::make_unique<TTpMemoryStream>(std::move(bytes), std::move(name));
}

std::vector<int16_t> DecodeAll(SoundDecoder& decoder) {
    EXPECT_EQ(decoder.Format().bitsPerSample, 16);
    std::vector<int16_t> out;
    std::vector<uint8_t> buffer(4096 * decoder.Format().blockAlign);
    for (int64_t got;
         (got = decoder.Read(buffer.data(), static_cast<int64_t>(buffer.size()))) > 0;) {
        const size_t at = out.size();
        out.resize(at + static_cast<size_t>(got) / 2);
        std::memcpy(out.data() + at, buffer.data(), static_cast<size_t>(got));
    }
    return out;
}

std::vector<int16_t> To16(const std::vector<int32_t>& samples) {
    return {samples.begin(), samples.end()};
}

// The largest difference between got (channel c of width channels) and a sine of hz at rate
// with peak amplitude, over frames [from, to), after the best delay up to maxDelay frames.
double SineError(const std::vector<int16_t>& got, int channels, int c, uint32_t rate, double hz,
                 double amplitude, size_t from, size_t to, int maxDelay) {
    double best = 1e9;
    for (int delay = -maxDelay; delay <= maxDelay; ++delay) {
        double worst = 0;
        for (size_t i = from; i < to; ++i) {
            const double t = (static_cast<double>(i) + delay) / rate;
            const double want = amplitude * std::sin(6.283185307179586 * hz * t);
            worst = std::max(
                worst,
                std::abs(got[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] - want));
        }
        best = std::min(best, worst);
    }
    return best;
}

TEST(SoundDecoders, OggVorbisDecodesSeeksAndEnds) {
    BackendMediaCodecs codecs;
    const std::vector<int16_t> sine = To16(test::Sine(44100, 2, 44100, 440, 12000));
    auto decoder = codecs.OpenSound(StreamOf(EncodeOgg(sine, 2, 44100)), SoundContainer::Ogg);
    EXPECT_EQ(decoder->Format().channels, 2);
    EXPECT_EQ(decoder->Format().samplesPerSec, 44100u);
    EXPECT_EQ(decoder->FrameCount(), 44100);
    const std::vector<int16_t> got = DecodeAll(*decoder);
    ASSERT_EQ(got.size(), sine.size());
    // A lossy coding: the sine comes back within a few hundredths of its height.
    EXPECT_LT(SineError(got, 2, 0, 44100, 440, 12000, 1000, 43000, 0), 600);
    decoder->Seek(22050);
    EXPECT_EQ(decoder->Position(), 22050);
    std::vector<uint8_t> frame(4);
    ASSERT_EQ(decoder->Read(frame.data(), 4), 4);
    int16_t left;
    std::memcpy(&left, frame.data(), 2);
    EXPECT_NEAR(left, got[22050 * 2], 2);
}

TEST(SoundDecoders, EveryRateDepthAndLayoutBecomesStereoAtTheMixRate) {
    BackendMediaCodecs codecs;
    struct Case {
        const char* name;
        SoundContainer container;
        std::vector<uint8_t> file;
        uint32_t rate;
        int channels;
    };
    const auto wave = [](uint16_t channels, uint32_t rate, uint16_t bits) {
        WaveSpec shape{.channels = channels, .rate = rate, .bits = bits};
        std::vector<int32_t> samples = test::Sine(rate / 2, channels, rate, 1000, 12000);
        if (bits == 8) {
            for (auto& s : samples)
                s /= 256;
        } else if (bits == 24) {
            for (auto& s : samples)
                s *= 256;
        }
        shape.data = test::PackSamples(samples, bits);
        return test::WriteWave(shape);
    };
    const std::vector<Case> cases = {
        {"48 kHz", SoundContainer::Wave, wave(2, 48000, 16), 48000, 2},
        {"32 kHz 24-bit", SoundContainer::Wave, wave(2, 32000, 24), 32000, 2},
        {"11 kHz 8-bit mono", SoundContainer::Wave, wave(1, 11025, 8), 11025, 1},
        {"5.1 at 44.1 kHz", SoundContainer::Wave, wave(6, 44100, 16), 44100, 6},
        {"Ogg 5.1 at 48 kHz", SoundContainer::Ogg,
         EncodeOgg(To16(test::Sine(24000, 6, 48000, 1000, 12000)), 6, 48000), 48000, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto decoder =
            codecs.ToStereo16(codecs.OpenSound(StreamOf(c.file), c.container), 44100, c.name);
        EXPECT_EQ(decoder->Format().channels, 2);
        EXPECT_EQ(decoder->Format().samplesPerSec, 44100u);
        // Half a second at the source's rate, counted at the mix rate (floored).
        const int64_t frames = int64_t{c.rate / 2} * 44100 / c.rate;
        EXPECT_EQ(decoder->FrameCount(), frames);
        const std::vector<int16_t> got = DecodeAll(*decoder);
        EXPECT_NEAR(static_cast<double>(got.size()) / 2, static_cast<double>(frames), 64);
        // The sine keeps its pitch; mixing several channels down keeps it in phase, so only its
        // height may change (up to the mix-down's gain), never its shape.
        double peak = 0;
        for (size_t i = 2000; i < 20000; ++i)
            peak = std::max(peak, std::abs(static_cast<double>(got[2 * i])));
        ASSERT_GT(peak, 3000);
        // Mono and stereo keep their level (mono on both sides at full height); only a
        // mix-down of more channels may scale it.
        if (c.channels <= 2) {
            EXPECT_NEAR(peak, 12000, 600);
        }
        const double tolerance = c.container == SoundContainer::Ogg ? 0.08 : 0.03;
        EXPECT_LT(SineError(got, 2, 0, 44100, 1000, peak, 2000, 20000, 40), tolerance * peak);
        EXPECT_LT(SineError(got, 2, 1, 44100, 1000, peak, 2000, 20000, 40), tolerance * peak);
    }
    // A sound in the mix's own form is passed through as it is.
    auto plain = codecs.OpenSound(StreamOf(wave(2, 44100, 16)), SoundContainer::Wave);
    SoundDecoder* original = plain.get();
    EXPECT_EQ(codecs.ToStereo16(std::move(plain), 44100, "plain").get(), original);
}

TEST(SoundDecoders, WaveCodingsOtherThanPcmGoToTheCodecLibrary) {
    BackendMediaCodecs codecs;
    const std::vector<int32_t> sine = test::Sine(8000, 1, 8000, 500, 20000);
    WaveSpec shape{.formatTag = 7, .channels = 1, .rate = 8000, .bits = 8};
    for (const int32_t s : sine)
        shape.data.push_back(test::MuLaw(static_cast<int16_t>(s)));
    auto decoder = codecs.OpenSound(StreamOf(test::WriteWave(shape)), SoundContainer::Wave);
    EXPECT_EQ(decoder->Format().samplesPerSec, 8000u);
    EXPECT_EQ(decoder->FrameCount(), 8000);
    const std::vector<int16_t> got = DecodeAll(*decoder);
    ASSERT_EQ(got.size(), 8000u);
    // mu-law keeps about 2 % of a sample's size.
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_NEAR(got[i], sine[i], std::abs(sine[i]) / 30 + 8) << i;
    decoder->Seek(4000);
    EXPECT_EQ(DecodeAll(*decoder).size(), 4000u);
    // A coding nobody knows.
    shape.formatTag = 0x7777;
    EXPECT_THROW((void)codecs.OpenSound(StreamOf(test::WriteWave(shape)), SoundContainer::Wave),
                 KivoError);
}

TEST(SoundDecoders, WindowsMediaSoundAndPictures) {
    BackendMediaCodecs codecs;
    const std::vector<uint8_t> film =
        EncodeFilm({.framesPerSecond = 10, .frames = 10, .soundHz = 440});
    auto sound = codecs.OpenSound(StreamOf(film, "op.wmv"), SoundContainer::Media);
    EXPECT_EQ(sound->Format().samplesPerSec, 22050u);
    EXPECT_EQ(sound->Format().channels, 1);
    EXPECT_NEAR(static_cast<double>(DecodeAll(*sound).size()), 22050, 4096);

    auto video = codecs.OpenVideo(StreamOf(film, "op.wmv"));
    EXPECT_EQ(video->Width(), 64);
    EXPECT_EQ(video->Height(), 48);
    EXPECT_NEAR(static_cast<double>(video->DurationMs()), 1000, 100);
    const auto center = [&] { return video->Pixels()[24 * 64 + 32] & 0xFFFFFF; };
    const auto near = [](uint32_t got, uint32_t want) {
        for (int shift : {0, 8, 16}) {
            const int a = static_cast<int>(got >> shift & 255);
            const int b = static_cast<int>(want >> shift & 255);
            if (std::abs(a - b) > 12) return false;
        }
        return true;
    };
    for (int32_t k : {0, 3, 4, 9, 2}) {  // forward, then back in time
        SCOPED_TRACE(k);
        EXPECT_TRUE(video->ShowAt(k * 100 + 50));
        EXPECT_TRUE(near(center(), FrameColor(k))) << std::hex << center() << " " << FrameColor(k);
    }
    EXPECT_FALSE(video->ShowAt(260));  // still frame 2
}

TEST(SoundDecoders, DamagedFilesFailNamingTheFileOrEndEarly) {
    BackendMediaCodecs codecs;
    std::mt19937 random(3);
    std::vector<uint8_t> noise(5000);
    for (auto& b : noise)
        b = static_cast<uint8_t>(random());
    for (const SoundContainer container :
         {SoundContainer::Ogg, SoundContainer::Wave, SoundContainer::Media}) {
        try {
            (void)codecs.OpenSound(StreamOf(noise, "noise.bin"), container);
            ADD_FAILURE() << "noise decoded";
        } catch (const KivoError& error) {
            EXPECT_EQ(error.File(), "noise.bin");
        }
    }
    EXPECT_THROW((void)codecs.OpenVideo(StreamOf(noise, "noise.bin")), KivoError);
    // A file cut in half plays what is left of it and ends. Noise, so that the sound and not
    // the headers fill the file.
    std::vector<int16_t> hiss(3 * 44100);
    for (auto& s : hiss)
        s = static_cast<int16_t>(static_cast<int32_t>(random() % 16000) - 8000);
    std::vector<uint8_t> ogg = EncodeOgg(hiss, 1, 44100);
    ogg.resize(ogg.size() / 2);
    auto cut = codecs.OpenSound(StreamOf(ogg, "cut.ogg"), SoundContainer::Ogg);
    const size_t frames = DecodeAll(*cut).size();
    EXPECT_GT(frames, 30000u);
    EXPECT_LT(frames, 3 * 44100u * 3 / 4);
}

// Without the codec and resampling modules, what needs them fails naming the file, the module
// and the feature, and Ogg and PCM sound, which never load them, still decode; sound already in
// the mix's format plays as it is.
TEST(SoundDecoders, WithoutTheModulesOnlyTheirFormatsFail) {
    BackendMediaCodecs codecs(std::vector<std::filesystem::path>{"/nonexistent/kivo-modules"});
    const auto expectModuleError = [](const std::function<void()>& open, const char* file,
                                      const char* module, const char* feature) {
        try {
            open();
            ADD_FAILURE() << file << " opened without the module";
        } catch (const KivoError& error) {
            EXPECT_EQ(error.File(), file);
            const std::string message = error.what();
            EXPECT_NE(message.find(module), std::string::npos) << message;
            EXPECT_NE(message.find(feature), std::string::npos) << message;
        }
    };
    const std::vector<uint8_t> film = EncodeFilm({.framesPerSecond = 10, .frames = 2});
    expectModuleError([&] { (void)codecs.OpenVideo(StreamOf(film, "op.wmv")); }, "op.wmv",
                      "kivo_av.so", "video");
    expectModuleError(
        [&] { (void)codecs.OpenSound(StreamOf(film, "bgm.wma"), SoundContainer::Media); },
        "bgm.wma", "kivo_av.so", "Windows Media");
    WaveSpec coded{.formatTag = 7, .channels = 1, .rate = 8000, .bits = 8};
    coded.data.assign(800, 0xFF);
    expectModuleError(
        [&] {
            (void)codecs.OpenSound(StreamOf(test::WriteWave(coded), "se.wav"),
                                   SoundContainer::Wave);
        },
        "se.wav", "kivo_av.so", "not PCM");

    const std::vector<int16_t> sine = To16(test::Sine(4410, 2, 44100, 440, 12000));
    auto ogg = codecs.OpenSound(StreamOf(EncodeOgg(sine, 2, 44100)), SoundContainer::Ogg);
    EXPECT_EQ(DecodeAll(*ogg).size(), sine.size());
    WaveSpec pcm{.channels = 1, .rate = 22050, .bits = 16};
    pcm.data = test::PackSamples(test::Sine(2205, 1, 22050, 440, 9000), 16);
    auto wave = codecs.OpenSound(StreamOf(test::WriteWave(pcm), "pcm.wav"), SoundContainer::Wave);
    EXPECT_EQ(DecodeAll(*wave).size(), 2205u);
    expectModuleError([&] { (void)codecs.ToStereo16(std::move(wave), 44100, "pcm.wav"); },
                      "pcm.wav", "kivo_resample.so", "channel count");
    expectModuleError([&] { (void)codecs.ToStereo16(std::move(ogg), 22050, "bgm.ogg"); }, "bgm.ogg",
                      "kivo_resample.so", "another rate");
    auto same = codecs.OpenSound(StreamOf(EncodeOgg(sine, 2, 44100)), SoundContainer::Ogg);
    const SoundDecoder* original = same.get();
    EXPECT_EQ(codecs.ToStereo16(std::move(same), 44100, "same").get(), original);
}

}  // namespace
}  // namespace kivo
