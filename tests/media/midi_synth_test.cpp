// The mapper: the sequencer playing through FluidSynth with the player's SoundFont, rendered
// offline as the mix pulls it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

#include "media/backend/midi_ports.h"
#include "media/midi_play_v.h"
#include "support/smf_writer.h"

namespace kivo {
namespace {

using test::SmfTrack;

constexpr int32_t kRate = 44100;

std::vector<uint8_t> MsSong(const SmfTrack& notes) {
    SmfTrack track = SmfTrack().Tempo(0, 1000000);
    track.bytes.insert(track.bytes.end(), notes.bytes.begin(), notes.bytes.end());
    return test::WriteSmf({.format = 0, .division = 1000, .tracks = {track}});
}

struct Synth {
    explicit Synth(const std::vector<uint8_t>& song) {
        sequencer.LoadFromStream(song, "song.mid");
        opened = sequencer.OpenDevice(-1);
    }
    std::vector<int16_t> Render(size_t frames, size_t block = 1024) {
        std::vector<int16_t> out(frames * 2);
        for (size_t done = 0; done < frames; done += block) {
            sequencer.Render(out.data() + done * 2, std::min(block, frames - done), 2);
        }
        return out;
    }

    BackendMidiPorts ports{kDefaultSoundFont, false};
    TMidiPlayV sequencer{ports, kRate};
    bool opened = false;
};

int Peak(const std::vector<int16_t>& samples) {
    int peak = 0;
    for (const int16_t s : samples)
        peak = std::max(peak, std::abs(int{s}));
    return peak;
}

TEST(MidiSynth, HeadlessRunsListOnlyTheMapper) {
    BackendMidiPorts ports(kDefaultSoundFont, false);
    EXPECT_TRUE(ports.HostPortNames().empty());
    EXPECT_EQ(MidiPortNames(TMidiPlayV(ports, kRate)), std::vector<std::string>{"MIDIマッパー"});
    BackendMidiPorts missing("/nonexistent/none.sf2", false);
    EXPECT_EQ(missing.OpenMapper(kRate), nullptr);
}

// Without the synthesizer module the mapper does not open, so songs play silent instead of
// ending the game, and the log names the module and what it is for, once however often the
// mapper is asked for. The port list needs no module.
TEST(MidiSynth, WithoutTheSynthesizerModuleTheMapperStaysClosedAndSaysWhy) {
    std::ostringstream log;
    BackendMidiPorts ports(kDefaultSoundFont, false,
                           std::vector<std::filesystem::path>{"/nonexistent/kivo-modules"}, log);
    TMidiPlayV sequencer(ports, kRate);
    EXPECT_EQ(MidiPortNames(sequencer), std::vector<std::string>{"MIDIマッパー"});
    EXPECT_FALSE(sequencer.OpenDevice(-1));
    EXPECT_FALSE(sequencer.OpenDevice(-1));
    EXPECT_FALSE(sequencer.IsDeviceOpen());
    const std::string message = log.str();
    EXPECT_NE(message.find("kivo_fluid.so"), std::string::npos) << message;
    EXPECT_NE(message.find("MIDI music"), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
}

TEST(MidiSynth, PlaysANoteAndFallsSilentAfterAllNotesOff) {
    Synth synth(MsSong(SmfTrack().Event(0, {0xC0, 0}).Event(100, {0x90, 60, 100}).End(5000)));
    ASSERT_TRUE(synth.opened);
    synth.sequencer.SendSystemOn();
    synth.sequencer.PlayFrom(0);
    EXPECT_EQ(Peak(synth.Render(4410)), 0);
    EXPECT_GT(Peak(synth.Render(22050)), 300);
    synth.sequencer.Stop();
    (void)synth.Render(kRate * 3);
    EXPECT_EQ(Peak(synth.Render(4410)), 0);
}

TEST(MidiSynth, NoteOnsetsFallWithinOneSynthesisBlockOfTheirTime) {
    // Notes at times that fall at every phase of the synthesizer's 64-frame blocks.
    SmfTrack notes;
    const std::vector<int32_t> times = {500, 3501, 6503, 9507, 12513};
    int32_t previous = -200;
    for (const int32_t t : times) {
        notes.Event(static_cast<uint32_t>(t - previous - 200), {0x90, 72, 120});
        notes.Event(200, {0x80, 72, 0});
        previous = t;
    }
    Synth synth(MsSong(notes.End(1000)));
    ASSERT_TRUE(synth.opened);
    synth.sequencer.PlayFrom(0);
    const std::vector<int16_t> out = synth.Render(kRate * 14, 735);
    for (const int32_t t : times) {
        SCOPED_TRACE(t);
        const auto exact = static_cast<size_t>(int64_t{t} * kRate / 1000);
        // Silence (the previous note has died away) until shortly before the exact time ...
        for (size_t f = exact - 2000; f < exact - 64; ++f)
            ASSERT_EQ(out[f * 2], 0) << f;
        size_t onset = exact - 64;
        while (onset < exact + 4410 && out[onset * 2] == 0 && out[onset * 2 + 1] == 0)
            ++onset;
        // ... and the note sounds within 64 frames of it.
        EXPECT_LE(std::abs(static_cast<int64_t>(onset) - static_cast<int64_t>(exact)), 64);
    }
}

// Fast-forward: at four times the rate a note of 2000 ms sounds after 500 ms of sound, and
// at the pitch it has in normal play (the same count of zero crossings over 200 ms of it).
TEST(MidiSynth, ARaisedRateBringsNotesSoonerAtTheirOwnPitch) {
    const std::vector<uint8_t> song =
        MsSong(SmfTrack().Event(0, {0xC0, 19}).Event(2000, {0x90, 69, 110}).End(3000));
    struct Heard {
        size_t onset = 0;
        int32_t crossings = 0;
    };
    const auto listen = [&](int32_t rate) {
        Synth synth(song);
        EXPECT_TRUE(synth.opened);
        synth.sequencer.SetRate(rate);
        synth.sequencer.PlayFrom(0);
        const std::vector<int16_t> out = synth.Render(kRate * 3);
        Heard heard;
        while (heard.onset < kRate * 3 && out[heard.onset * 2] == 0)
            ++heard.onset;
        // From 50 ms after the onset, past the attack.
        const size_t from = heard.onset + kRate / 20;
        for (size_t f = from + 1; f < from + kRate / 5 && f < kRate * 3; ++f) {
            if ((out[f * 2 - 2] < 0) != (out[f * 2] < 0)) ++heard.crossings;
        }
        return heard;
    };
    const Heard normal = listen(1);
    const Heard fast = listen(4);
    EXPECT_LE(std::abs(static_cast<int64_t>(normal.onset) - 2 * kRate), 64);
    EXPECT_LE(std::abs(static_cast<int64_t>(fast.onset) - kRate / 2), 64);
    // An A at 440 Hz crosses zero about 176 times in 200 ms.
    EXPECT_GT(normal.crossings, 150);
    EXPECT_NEAR(fast.crossings, normal.crossings, 4);
}

TEST(MidiSynth, RendersTheSameSamplesEveryRun) {
    const std::vector<uint8_t> song = MsSong(SmfTrack()
                                                 .Event(0, {0xC0, 48})
                                                 .Event(10, {0x90, 60, 90})
                                                 .Event(0, {0x90, 64, 90})
                                                 .Event(700, {0x80, 60, 0})
                                                 .End(300));
    Synth first(song);
    Synth second(song);
    first.sequencer.PlayFrom(0);
    second.sequencer.PlayFrom(0);
    EXPECT_EQ(first.Render(kRate, 512), second.Render(kRate, 1000));
}

}  // namespace
}  // namespace kivo
