// The MIDI sequencer playing through the FluidSynth mapper, against FluidSynth alone rendering
// the same messages from a list scheduled in advance; and the onset error of notes in the
// offline render.

#include <benchmark/benchmark.h>
#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "media/backend/midi_ports.h"
#include "media/midi_play_v.h"
#include "ratio_reporter.h"
#include "support/smf_writer.h"

namespace {

using kivo::test::SmfTrack;

constexpr int32_t kRate = 44100;
constexpr int32_t kSongSeconds = 30;
constexpr size_t kBlock = 1024;

// Eight channels of eighth notes at 120 beats a minute with controller and pitch-bend
// movement on every beat: a busy piece of game music.
std::vector<uint8_t> BusySong() {
    kivo::test::SmfFile file{.division = 480};
    file.tracks.push_back(SmfTrack().Tempo(0, 500000).End(0));
    for (uint8_t channel = 0; channel < 8; ++channel) {
        const auto status = [channel](uint8_t kind) {
            return static_cast<uint8_t>(kind | channel);
        };
        SmfTrack track;
        track.Event(0, {status(0xC0), static_cast<uint8_t>(channel * 8)});
        for (int eighth = 0; eighth < kSongSeconds * 4; ++eighth) {
            const auto note = static_cast<uint8_t>(48 + (eighth * 7 + channel * 5) % 24);
            if (eighth % 2 == 0) {
                track.Event(0, {status(0xB0), 11, static_cast<uint8_t>(80 + eighth % 40)});
                track.Event(0, {status(0xE0), 0, static_cast<uint8_t>(60 + eighth % 8)});
            }
            track.Event(0, {status(0x90), note, 90});
            track.Event(220, {status(0x80), note, 0});
            track.Event(20, {status(0xB0), 10, static_cast<uint8_t>(eighth % 128)});
        }
        file.tracks.push_back(track.End(0));
    }
    return kivo::test::WriteSmf(file);
}

const std::vector<uint8_t>& Song() {
    static const std::vector<uint8_t> song = BusySong();
    return song;
}

void BM_SequencerFluidSynth(benchmark::State& state) {
    kivo::BackendMidiPorts ports(kivo::kDefaultSoundFont, false);
    kivo::TMidiPlayV sequencer(ports, kRate);
    sequencer.LoadFromStream(Song(), "bench.mid");
    if (!sequencer.OpenDevice(-1)) {
        state.SkipWithError("no sound font");
        return;
    }
    std::vector<int16_t> out(kBlock * 2);
    for (auto _ : state) {
        sequencer.PlayFrom(0);
        for (size_t done = 0; done < size_t{kSongSeconds} * kRate; done += kBlock) {
            sequencer.Render(out.data(), kBlock, 2);
        }
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_SequencerFluidSynth)->Unit(benchmark::kMillisecond);

// The reference: the song's messages turned into (frame, bytes) beforehand, and FluidSynth
// rendering between them on its own 16-bit output.
struct Scheduled {
    size_t frame;
    std::vector<uint8_t> bytes;
};

std::vector<Scheduled> Schedule() {
    kivo::TMidiV song;
    song.LoadFromBytes(Song(), "bench.mid");
    std::vector<Scheduled> out;
    for (const kivo::TMidiMsgEvent& e : song.Events()) {
        if (e.Kind != kivo::MidiEventKind::Channel) continue;
        const auto frame = static_cast<size_t>((int64_t{e.Time} * kRate + 999) / 1000);
        out.push_back({frame, {song.Data(e).begin(), song.Data(e).end()}});
    }
    return out;
}

void Send(fluid_synth_t* synth, const std::vector<uint8_t>& m) {
    const int channel = m[0] & 15;
    switch (m[0] & 0xF0) {
        case 0x80:
            fluid_synth_noteoff(synth, channel, m[1]);
            break;
        case 0x90:
            fluid_synth_noteon(synth, channel, m[1], m[2]);
            break;
        case 0xB0:
            fluid_synth_cc(synth, channel, m[1], m[2]);
            break;
        case 0xC0:
            fluid_synth_program_change(synth, channel, m[1]);
            break;
        case 0xE0:
            fluid_synth_pitch_bend(synth, channel, m[1] | m[2] << 7);
            break;
        default:
            break;
    }
}

void BM_FluidSynthPrescheduled(benchmark::State& state) {
    const std::vector<Scheduled> events = Schedule();
    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", kRate);
    fluid_settings_setint(settings, "synth.threadsafe-api", 0);
    fluid_synth_t* synth = new_fluid_synth(settings);
    if (fluid_synth_sfload(synth, kivo::kDefaultSoundFont, 1) == FLUID_FAILED) {
        state.SkipWithError("no sound font");
    }
    std::vector<int16_t> out(kBlock * 2);
    for (auto _ : state) {
        fluid_synth_all_notes_off(synth, -1);
        size_t next = 0;
        for (size_t done = 0; done < size_t{kSongSeconds} * kRate; done += kBlock) {
            for (size_t at = 0; at < kBlock;) {
                while (next < events.size() && events[next].frame <= done + at)
                    Send(synth, events[next++].bytes);
                size_t piece = kBlock - at;
                if (next < events.size()) piece = std::min(piece, events[next].frame - done - at);
                fluid_synth_write_s16(synth, static_cast<int>(piece), out.data() + at * 2, 0, 2,
                                      out.data() + at * 2, 1, 2);
                at += piece;
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
}
BENCHMARK(BM_FluidSynthPrescheduled)->Unit(benchmark::kMillisecond);

// Renders isolated notes at times of every phase and measures, in frames, how late the first
// sound of each note comes after its exact time.
void ReportOnsetError() {
    SmfTrack notes = SmfTrack().Tempo(0, 1000000);
    std::vector<int32_t> times;
    int32_t previous = -200;
    for (int i = 0; i < 20; ++i) {
        const int32_t t = 500 + i * 1500 + (i * 7) % 23;
        notes.Event(static_cast<uint32_t>(t - previous - 200), {0x90, 72, 120});
        notes.Event(200, {0x80, 72, 0});
        times.push_back(t);
        previous = t;
    }
    kivo::BackendMidiPorts ports(kivo::kDefaultSoundFont, false);
    kivo::TMidiPlayV sequencer(ports, kRate);
    sequencer.LoadFromStream(
        kivo::test::WriteSmf({.format = 0, .division = 1000, .tracks = {notes.End(1000)}}),
        "onsets.mid");
    if (!sequencer.OpenDevice(-1)) return;
    sequencer.PlayFrom(0);
    const size_t frames = static_cast<size_t>(times.back() + 1000) * kRate / 1000;
    std::vector<int16_t> out(frames * 2);
    for (size_t done = 0; done < frames; done += 512) {
        sequencer.Render(out.data() + done * 2, std::min<size_t>(512, frames - done), 2);
    }
    double worst = 0;
    double sum = 0;
    for (const int32_t t : times) {
        const double exact = double(t) * kRate / 1000;
        auto onset = static_cast<size_t>(exact) - 64;
        while (onset < frames && out[onset * 2] == 0 && out[onset * 2 + 1] == 0)
            ++onset;
        const double error = double(onset) - exact;
        worst = std::max(worst, std::abs(error));
        sum += error;
    }
    std::printf(
        "MIDI onset error (first sound against the exact time): at most %.1f frames, %.1f on "
        "average, over %zu notes (target: within 64)\n",
        worst, sum / double(times.size()), times.size());
}

}  // namespace

int main(int argc, char** argv) {
    kivo::bench::RatioReporter reporter(
        {{"sequencer + FluidSynth / FluidSynth with pre-scheduled events", "BM_SequencerFluidSynth",
          "BM_FluidSynthPrescheduled", "at most 1.1"}},
        [](const kivo::bench::RatioReporter&) { ReportOnsetError(); });
    return kivo::bench::RunWithRatios(argc, argv, reporter);
}
