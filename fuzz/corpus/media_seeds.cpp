// Seeds of the MIDI and RIFF WAVE targets. MIDI: standard MIDI files of every format and time
// division, with every kind of channel message, running status, system exclusive and meta events, a
// header longer than the known fields and a chunk the reader skips. WAVE: PCM of every depth,
// floating point, the extensible header, a coding left to the codec library, and chunks in unusual
// places.

#include <string>

#include "corpus_seeds.h"
#include "support/smf_writer.h"
#include "support/wave_writer.h"

namespace kivo::corpus {

namespace {

using test::SmfFile;
using test::SmfTrack;

// A conductor track: tempo, time and key signatures, a name, a marker.
SmfTrack Conductor() {
    SmfTrack track;
    track.Tempo(0, 500000)
        .Meta(0, 0x58, {4, 2, 24, 8})
        .Meta(0, 0x59, {0xFE, 0})
        .Meta(0, 0x03, {'s', 'o', 'n', 'g'})
        .Tempo(960, 250000)
        .Meta(0, 0x06, {'l', 'o', 'o', 'p'})
        .End(0);
    return track;
}

// One channel's notes with every channel message, using running status after the first note.
SmfTrack Notes(uint8_t channel) {
    SmfTrack track;
    track.Event(0, {static_cast<uint8_t>(0xC0 | channel), 5})
        .Event(0, {static_cast<uint8_t>(0xB0 | channel), 7, 100})
        .Event(0, {static_cast<uint8_t>(0x90 | channel), 60, 100})
        .Event(240, {64, 90})
        .Event(240, {60, 0})
        .Event(0, {static_cast<uint8_t>(0x80 | channel), 64, 64})
        .Event(10, {static_cast<uint8_t>(0xE0 | channel), 0, 0x40})
        .Event(10, {static_cast<uint8_t>(0xD0 | channel), 30})
        .Event(10, {static_cast<uint8_t>(0xA0 | channel), 60, 20})
        .End(480);
    return track;
}

}  // namespace

void MidiSeeds(SeedFolder& seeds) {
    SmfFile single{.format = 0, .division = 96};
    single.tracks.push_back(Notes(0));
    seeds.Add("format0.mid", test::WriteSmf(single));

    SmfFile song{.format = 1, .division = 480};
    song.tracks = {Conductor(), Notes(0), Notes(9)};
    song.tracks[1].SysEx(0, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});
    song.tracks[2].SysEx(0, {0x7E, 0x7F, 0x09, 0x01}, 0xF7);
    seeds.Add("format1.mid", test::WriteSmf(song));

    SmfFile patterns{.format = 2, .division = 120};
    patterns.tracks = {Notes(1), Notes(2)};
    seeds.Add("format2.mid", test::WriteSmf(patterns));

    // Time in frames: 25 frames a second of 40 ticks, and 30 drop-frame of 80.
    for (const auto& [name, division] :
         {std::pair{"smpte25.mid", uint16_t{0xE728}}, std::pair{"smpte29.mid", uint16_t{0xE350}}}) {
        SmfFile timed{.format = 1, .division = division};
        timed.tracks = {Conductor(), Notes(3)};
        seeds.Add(name, test::WriteSmf(timed));
    }

    SmfFile unusual{.format = 1, .division = 480, .headerExtra = {0, 0}};
    SmfTrack foreign;
    foreign.tag = "XFIH";
    foreign.Raw({1, 2, 3, 4});
    unusual.tracks = {foreign, Conductor(), Notes(4)};
    unusual.trackCount = 2;
    seeds.Add("long_header_foreign_chunk.mid", test::WriteSmf(unusual));
}

void RiffWaveSeeds(SeedFolder& seeds) {
    for (const uint16_t bits : {uint16_t{8}, uint16_t{16}, uint16_t{24}, uint16_t{32}}) {
        test::WaveSpec shape{.channels = 2, .rate = 22050, .bits = bits};
        shape.data = test::PackSamples(test::Sine(64, 2, 22050, 1000, bits == 8 ? 100 : 8000), bits);
        seeds.Add("pcm" + std::to_string(bits) + ".wav", test::WriteWave(shape));
    }
    test::WaveSpec floats{.formatTag = 3, .channels = 1, .rate = 48000, .bits = 32};
    floats.data = test::PackFloats({0.0, 0.5, -0.5, 1.5, -1.5}, 32);
    seeds.Add("float32.wav", test::WriteWave(floats));

    test::WaveSpec surround{.channels = 6, .rate = 44100, .bits = 16, .extensible = true};
    surround.data = test::PackSamples(test::Sine(16, 6, 44100, 440, 4000), 16);
    seeds.Add("extensible51.wav", test::WriteWave(surround));

    test::WaveSpec careless{.channels = 1, .rate = 11025, .bits = 16};
    careless.chunksBefore = {{"LIST", {'I', 'N', 'F', 'O'}}};
    careless.data = test::PackSamples({1, -1, 300, -300}, 16);
    careless.declaredDataSize = 0xFFFFFFFF;
    careless.dataBeforeFormat = true;
    seeds.Add("data_first_long_size.wav", test::WriteWave(careless));

    test::WaveSpec mulaw{.formatTag = 7, .channels = 1, .rate = 8000, .bits = 8};
    mulaw.data = {0xFF, 0x80, 0x00, 0x7F};
    seeds.Add("mulaw.wav", test::WriteWave(mulaw));
}

}  // namespace kivo::corpus
