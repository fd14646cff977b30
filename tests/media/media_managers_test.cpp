// The media managers: routing by file name, pausing on focus changes and the sound switch, the
// library's Ogg/WAV items heard through the mixer, the wave-output items' volume and bad data,
// and the MIDI items' play order, ends and ports.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "base/error.h"
#include "media/backend/backend_media_codecs.h"
#include "media/media_managers.h"
#include "media_fakes.h"
#include "platform/headless/headless_platform.h"
#include "support/scratch_folder.h"
#include "support/smf_writer.h"
#include "support/wave_writer.h"

namespace kivo {
namespace {

void WriteGameFile(TVrFileManager& files, const std::string& name,
                   const std::vector<uint8_t>& bytes) {
    std::ofstream out(files.Folder() / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

TEST(MediaManagers, SoundFilesGoToTheManagerOfTheirType) {
    struct Case {
        const char* name;
        MediaRoute route;
    };
    const std::vector<Case> cases = {
        {"bgm.mid", MediaRoute::Midi},
        {"BGM.MID", MediaRoute::Midi},
        {"song.sgt", MediaRoute::Midi},
        {"a.midi", MediaRoute::None},
        {"x.id", MediaRoute::None},
        {"voice.wma", MediaRoute::WindowsMedia},
        {"op.ASF", MediaRoute::WindowsMedia},
        {"op.wmv", MediaRoute::WindowsMedia},
        {"se.ogg", MediaRoute::Ogg},
        {"se\\hit.Wav", MediaRoute::Ogg},
        {"CD_3", MediaRoute::Cdda},
        {"CD_", MediaRoute::Cdda},
        {"cd_3", MediaRoute::None},
        {"CD_1.txt", MediaRoute::Cdda},
        {"music.mp3", MediaRoute::None},
        {"dir.mid\\noext", MediaRoute::None},
        {"", MediaRoute::None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RouteSoundFile(c.name), c.route) << c.name;
}

// An item that plays and pauses as told and counts its Play calls; like the sound items, it
// only records a Play while its manager is inactive.
class FakeItem final : public TDMediaItem {
  public:
    explicit FakeItem(const TMediaManager& manager) : manager_(manager) {}
    [[nodiscard]] bool IsPlaying() override { return playing; }
    [[nodiscard]] bool IsPaused() override { return paused; }
    [[nodiscard]] bool IsEnd() override { return ended; }
    void Play() override {
        if (!manager_.Active()) {
            playRequested = true;
            return;
        }
        ++plays;
        playing = true;
        paused = false;
    }
    void Pause() override { paused = true; }

    bool playing = false;
    bool paused = false;
    bool ended = false;
    int plays = 0;

  private:
    const TMediaManager& manager_;
};

class FakeManager final : public TMediaManager {
  public:
    using TMediaManager::TMediaManager;
    FakeItem& Add() { return static_cast<FakeItem&>(*Append(std::make_unique<FakeItem>(*this))); }
};

TEST(MediaManagers, FocusLossPausesWhatPlaysAndResumesExactlyThat) {
    FakeManager manager;
    FakeItem& playing = manager.Add();
    FakeItem& pausedByScript = manager.Add();
    FakeItem& ended = manager.Add();
    FakeItem& idle = manager.Add();
    playing.Play();
    pausedByScript.Play();
    pausedByScript.Pause();
    ended.Play();
    ended.ended = true;
    const int before = playing.plays + pausedByScript.plays + ended.plays + idle.plays;

    manager.Suspend();
    EXPECT_TRUE(manager.Suspended());
    EXPECT_TRUE(playing.paused);
    EXPECT_FALSE(ended.paused);
    manager.Suspend();  // a second loss changes nothing
    manager.Resume();
    EXPECT_FALSE(manager.Suspended());
    EXPECT_FALSE(playing.paused);
    EXPECT_EQ(playing.plays, 2);
    EXPECT_TRUE(pausedByScript.paused);
    EXPECT_EQ(playing.plays + pausedByScript.plays + ended.plays + idle.plays, before + 1);
    manager.Resume();  // not suspended: nothing
    EXPECT_EQ(playing.plays, 2);

    // The video manager has no sound switch: it suspends whatever its Active mark says.
    FakeManager videos(false);
    FakeItem& film = videos.Add();
    film.Play();
    videos.SetActive(false);
    EXPECT_TRUE(videos.Active());
    videos.Suspend();
    EXPECT_TRUE(film.paused);
}

TEST(MediaManagers, TheSoundSwitchSuspendsAndAnInactiveManagerIgnoresFocus) {
    FakeManager manager;
    FakeItem& music = manager.Add();
    music.Play();
    manager.SetActive(false);
    EXPECT_FALSE(manager.Active());
    EXPECT_TRUE(music.paused);
    // Focus changes while the sound is off play nothing: the Play only waits for the sound.
    manager.Suspend();
    manager.Resume();
    EXPECT_TRUE(music.paused);
    EXPECT_EQ(music.plays, 1);
    FakeItem& jingle = manager.Add();
    jingle.Play();
    EXPECT_EQ(jingle.plays, 0);
    manager.SetActive(true);
    EXPECT_TRUE(manager.Active());
    EXPECT_FALSE(music.paused);
    EXPECT_EQ(music.plays, 2);
    EXPECT_EQ(jingle.plays, 1);
    manager.SetActive(true);  // no change
    EXPECT_EQ(music.plays, 2);
}

// The library's Ogg/WAV player and the wave output over files in the memory collection,
// mixed headless.
class OggHarness {
  public:
    explicit OggHarness(bool directSound)
        : library(&codecs, mixer, clock), manager(library, files, directSound, 500, clock, false) {
        library.Init(false);
        files.SetFolder(folder.Path());
    }
    ~OggHarness() { manager.Clear(); }
    OggHarness(const OggHarness&) = delete;
    OggHarness& operator=(const OggHarness&) = delete;

    void Put(const std::string& name, const std::vector<uint8_t>& bytes) {
        WriteGameFile(files, name, bytes);
    }
    std::vector<int16_t> Render(size_t frames) {
        std::vector<int16_t> out(frames * 2);
        mixer.Render(out.data(), frames, 2);
        return out;
    }

    test::ScratchFolder folder{"kivo_media_ogg"};
    BackendMediaCodecs codecs;
    TSoundMixer mixer{44100, nullptr};
    HeadlessClock clock;
    TVrFileManager files;
    MediaLibrary library;
    TOggManager manager;
};

std::vector<uint8_t> SineWave(uint32_t rate, size_t frames, double hz, double amplitude) {
    test::WaveSpec shape{.channels = 2, .rate = rate, .bits = 16};
    shape.data = test::PackSamples(test::Sine(frames, 2, rate, hz, amplitude), 16);
    return test::WriteWave(shape);
}

TEST(MediaManagers, LibraryOggItemsPlayResampledWithGainAndPanAndReportTheEndOnce) {
    OggHarness h(true);
    // A 48 kHz sine, resampled to the mix rate, 6 dB down and panned right: the left side is
    // 6 dB further down.
    h.Put("se.wav", SineWave(48000, 24000, 1000, 16000));
    TDMediaItem* item = h.manager.Add("se.wav");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->GetLength(), 500);
    item->SetVolume(-600);
    item->SetPan(600);
    item->Play();
    const std::vector<int16_t> got = h.Render(44100);
    const double left = 16000 * std::pow(10.0, -1200 / 2000.0);
    const double right = 16000 * std::pow(10.0, -600 / 2000.0);
    // Allow the resampler's delay of a few frames.
    double bestError = 1e9;
    for (int delay = -40; delay <= 40; ++delay) {
        double worst = 0;
        for (size_t i = 1000; i < 21000; ++i) {
            const double phase =
                6.283185307179586 * 1000 * (static_cast<double>(i) + delay) / 44100;
            worst = std::max({worst, std::abs(got[2 * i] - left * std::sin(phase)),
                              std::abs(got[2 * i + 1] - right * std::sin(phase))});
        }
        bestError = std::min(bestError, worst);
    }
    EXPECT_LT(bestError, 0.02 * left);
    // Half a second of sound, then silence: the rest of the second is quiet.
    for (size_t i = 22300; i < 44100; ++i)
        ASSERT_EQ(got[2 * i], 0) << i;

    EXPECT_TRUE(item->IsEnd());
    EXPECT_FALSE(item->IsEnd());  // reported once
    item->SetPosition(-100);      // re-arms it, from the start
    EXPECT_FALSE(item->IsEnd());
    item->Play();
    (void)h.Render(30000);
    EXPECT_TRUE(item->IsEnd());
    EXPECT_FALSE(item->IsEnd());
}

TEST(MediaManagers, PlayWhileTheSoundIsOffWaitsForItToComeBack) {
    OggHarness h(true);
    h.Put("bgm.ogg", SineWave(44100, 44100, 500, 8000));  // wave data under an Ogg name
    TDMediaItem* item = h.manager.Add("bgm.ogg");
    h.manager.SetActive(false);
    item->Play();
    EXPECT_FALSE(item->IsPlaying());
    const std::vector<int16_t> silent = h.Render(2000);
    EXPECT_TRUE(std::all_of(silent.begin(), silent.end(), [](int16_t s) { return s == 0; }));
    h.manager.SetActive(true);
    EXPECT_TRUE(item->IsPlaying());

    // A missing or undecodable file still gives an item, which ends as soon as it plays.
    h.Put("bad.wav", {'R', 'I', 'F', 'F', 1, 2, 3});
    for (const char* name : {"missing.ogg", "bad.wav"}) {
        TDMediaItem* broken = h.manager.Add(name);
        ASSERT_NE(broken, nullptr) << name;
        broken->Play();
        (void)h.Render(100);
        EXPECT_TRUE(broken->IsEnd()) << name;
        EXPECT_EQ(broken->GetLength(), 0) << name;
    }
}

TEST(MediaManagers, WaveOutputItemsScaleTheirVolumeAndRefuseBadData) {
    struct Case {
        int32_t volume;
        int32_t gain;
    };
    for (const Case c :
         {Case{0, 256}, Case{-2500, 128}, Case{-5000, 0}, Case{-9000, 0}, Case{-1, 255}}) {
        EXPECT_EQ(TOggWaveItem::GainOf(c.volume), c.gain) << c.volume;
    }
    OggHarness h(false);
    h.Put("bad.wav", {'R', 'I', 'F', 'F', 1, 2, 3});
    try {
        (void)h.manager.Add("bad.wav");
        ADD_FAILURE() << "bad data made an item";
    } catch (const KivoError& error) {
        EXPECT_NE(std::string(error.what()).find("サウンドデータが不正です"), std::string::npos);
    }
    // 22050 Hz mono 16-bit: 44100 bytes a second, so 250 ms is byte 11025 floored to a frame.
    test::WaveSpec shape{.channels = 1, .rate = 22050, .bits = 16};
    shape.data = test::PackSamples(test::Sine(22050, 1, 22050, 300, 5000), 16);
    h.Put("voice.wav", test::WriteWave(shape));
    TDMediaItem* item = h.manager.Add("voice.wav");
    EXPECT_EQ(item->GetLength(), 1000);
    item->SetPosition(250);
    EXPECT_EQ(item->GetPosition(), 249);  // byte 11024 of 44100 a second
    item->SetVolume(-5000);
    item->Play();
    EXPECT_EQ(item->GetVolume(), -5000);
}

class MidiHarness {
  public:
    explicit MidiHarness(std::vector<std::string> hostPorts = {})
        : ports(std::move(hostPorts)), manager(files, ports, mixer, nullptr, nullptr) {
        files.SetFolder(folder.Path());
    }
    ~MidiHarness() { manager.Clear(); }
    MidiHarness(const MidiHarness&) = delete;
    MidiHarness& operator=(const MidiHarness&) = delete;

    void Put(const std::string& name, const std::vector<uint8_t>& bytes) {
        WriteGameFile(files, name, bytes);
    }
    void Render(size_t frames) {
        std::vector<int16_t> out(frames * 2);
        mixer.Render(out.data(), frames, 2);
    }
    std::vector<std::vector<uint8_t>> Sent() const {
        std::vector<std::vector<uint8_t>> out;
        if (ports.log)
            for (const auto& m : ports.log->messages)
                out.push_back(m.bytes);
        return out;
    }

    test::ScratchFolder folder{"kivo_media_midi"};
    TSoundMixer mixer{44100, nullptr};
    TVrFileManager files;
    test::RecordingPorts ports;
    TMidiManager manager;
};

// Volume 100 on channel 1, a note at once and another after half a second (500 ms at 120 bpm).
std::vector<uint8_t> TwoNoteSong() {
    test::SmfFile file{.format = 0, .division = 480};
    file.tracks.push_back(test::SmfTrack()
                              .Tempo(0, 500000)
                              .Event(0, {0xB0, 7, 100})
                              .Event(0, {0x90, 60, 100})
                              .Event(480, {0x80, 60, 0})
                              .Event(0, {0x90, 64, 100})
                              .Event(480, {0x80, 64, 0})
                              .End(0));
    return test::WriteSmf(file);
}

TEST(MediaManagers, MidiPlayResetsTheSynthesizerAndScalesTheSongsVolume) {
    MidiHarness h;
    h.Put("bgm.mid", TwoNoteSong());
    TDMediaItem* item = h.manager.Add("bgm.mid");
    EXPECT_EQ(item->GetLength(), 1000);  // known before it plays, without loading it
    EXPECT_TRUE(h.ports.opened.empty());
    item->SetVolume(-5000);  // half the songs' own volume
    item->Play();
    h.Render(4410);
    ASSERT_EQ(h.ports.opened, std::vector<std::string>{"mapper@44100"});
    const auto sent = h.Sent();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[0], (std::vector<uint8_t>{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
    EXPECT_NE(std::find(sent.begin(), sent.end(), std::vector<uint8_t>{0xB0, 7, 50}), sent.end());
    EXPECT_EQ(std::find(sent.begin(), sent.end(), std::vector<uint8_t>{0xB0, 7, 100}), sent.end());
    EXPECT_TRUE(item->IsPlaying());

    // Paused at about 300 ms and played again, the song goes on from there: the second note
    // comes about 200 ms later, not 500.
    h.Render(13230 - 4410);
    item->Pause();
    EXPECT_TRUE(item->IsPaused());
    EXPECT_FALSE(item->IsPlaying());
    EXPECT_NEAR(item->GetPosition(), 300, 15);
    const size_t before = h.Sent().size();
    item->Play();
    h.Render(13000);
    const auto after = h.Sent();
    EXPECT_NE(std::find(after.begin() + static_cast<std::ptrdiff_t>(before), after.end(),
                        std::vector<uint8_t>{0x90, 64, 100}),
              after.end());
    h.Render(44100);
    EXPECT_TRUE(item->IsEnd());
}

TEST(MediaManagers, AnEmptyMidiFileReportsItsEndOnce) {
    MidiHarness h;
    h.Put("empty.mid", {});
    for (const char* name : {"empty.mid", "missing.mid"}) {
        TDMediaItem* item = h.manager.Add(name);
        EXPECT_EQ(item->GetLength(), 0) << name;
        item->Play();
        EXPECT_FALSE(item->IsPlaying()) << name;
        EXPECT_TRUE(item->IsEnd()) << name;
        EXPECT_FALSE(item->IsEnd()) << name;
        EXPECT_FALSE(item->IsEnd()) << name;
    }
    EXPECT_TRUE(h.ports.opened.empty());
}

TEST(MediaManagers, MidiPortsListTheMapperFirstAndAChangeMovesThePlayingSong) {
    MidiHarness h({"Synth A", "Synth B"});
    EXPECT_EQ(h.manager.PortNames(),
              (std::vector<std::string>{"MIDIマッパー", "Synth A", "Synth B"}));
    h.Put("bgm.mid", TwoNoteSong());
    TDMediaItem* item = h.manager.Add("bgm.mid");
    item->Play();
    h.Render(4410);
    EXPECT_TRUE(h.manager.SelectPortByName("Synth B"));
    EXPECT_EQ(h.manager.SelectedPort(), 2);
    EXPECT_EQ(h.ports.opened, (std::vector<std::string>{"mapper@44100", "Synth B"}));
    EXPECT_TRUE(item->IsPlaying());
    EXPECT_FALSE(h.manager.SelectPortByName("Synth C"));
    h.manager.SelectPort(99);  // clamped to the last port, which opens again
    EXPECT_EQ(h.manager.SelectedPort(), 2);
    EXPECT_EQ(h.ports.opened.size(), 3u);

    // A full-screen switch closes the device and opens it again; the song goes on.
    h.manager.BeforeScreenSwitch();
    EXPECT_FALSE(h.manager.Sequencer().IsDeviceOpen());
    h.manager.AfterScreenSwitch();
    EXPECT_EQ(h.ports.opened.back(), "Synth B");
    EXPECT_EQ(h.ports.opened.size(), 4u);
    EXPECT_TRUE(item->IsPlaying());
    EXPECT_EQ(h.Sent().front(), (std::vector<uint8_t>{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));

    // Removing the playing item stops the song and lets go of the device.
    h.manager.Remove(item);
    EXPECT_FALSE(h.manager.Sequencer().IsRunning());
    EXPECT_FALSE(h.manager.Sequencer().IsDeviceOpen());
}

}  // namespace
}  // namespace kivo
