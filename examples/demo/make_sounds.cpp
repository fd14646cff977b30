// Writes the demo's sounds into the folder given: tune.mid, a short melody of format 0 that the
// demo loops as its background music, and click.wav, a 60 ms tone that fades away, played on a
// click. Both are made here so the demo needs no outside sound files.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

void PutBig(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutLittle(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A MIDI variable-length number.
void PutVarLen(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t groups[5];
    int count = 0;
    do {
        groups[count++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (count > 1)
        out.push_back(static_cast<uint8_t>(groups[--count] | 0x80));
    out.push_back(groups[0]);
}

std::vector<uint8_t> Tune() {
    constexpr uint32_t kDivision = 480;  // ticks per quarter note
    std::vector<uint8_t> track;
    // 120 beats a minute, a music box on channel 0.
    PutVarLen(track, 0);
    track.insert(track.end(), {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});
    PutVarLen(track, 0);
    track.insert(track.end(), {0xC0, 10});
    const uint8_t notes[] = {72, 76, 79, 76, 74, 77, 81, 77, 72, 76, 79, 84, 83, 79, 74, 71};
    for (uint8_t note : notes) {
        PutVarLen(track, 0);
        track.insert(track.end(), {0x90, note, 80});
        PutVarLen(track, kDivision / 2);
        track.insert(track.end(), {0x80, note, 0});
    }
    PutVarLen(track, 0);
    track.insert(track.end(), {0xFF, 0x2F, 0x00});

    std::vector<uint8_t> file = {'M', 'T', 'h', 'd'};
    PutBig(file, 6, 4);
    PutBig(file, 0, 2);  // format 0
    PutBig(file, 1, 2);  // one track
    PutBig(file, kDivision, 2);
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    PutBig(file, static_cast<uint32_t>(track.size()), 4);
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

std::vector<uint8_t> Click() {
    constexpr uint32_t kRate = 44100;
    constexpr uint32_t kFrames = kRate * 60 / 1000;
    std::vector<uint8_t> samples;
    for (uint32_t i = 0; i < kFrames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double fade = 1.0 - static_cast<double>(i) / kFrames;
        const auto value =
            static_cast<int16_t>(12000 * fade * std::sin(2 * 3.14159265358979 * 1760 * t));
        PutLittle(samples, static_cast<uint16_t>(value), 2);
    }
    std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
    PutLittle(file, static_cast<uint32_t>(36 + samples.size()), 4);
    file.insert(file.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLittle(file, 16, 4);
    PutLittle(file, 1, 2);  // PCM
    PutLittle(file, 1, 2);  // mono
    PutLittle(file, kRate, 4);
    PutLittle(file, kRate * 2, 4);
    PutLittle(file, 2, 2);
    PutLittle(file, 16, 2);
    file.insert(file.end(), {'d', 'a', 't', 'a'});
    PutLittle(file, static_cast<uint32_t>(samples.size()), 4);
    file.insert(file.end(), samples.begin(), samples.end());
    return file;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sounds FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    if (!WriteFile(folder + "/tune.mid", Tune()) || !WriteFile(folder + "/click.wav", Click())) {
        std::fprintf(stderr, "make_sounds: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
