#include "support/smf_writer.h"

namespace kivo::test {

namespace {

void PutBE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

std::vector<uint8_t> Vlq(uint32_t value) {
    std::vector<uint8_t> out{static_cast<uint8_t>(value & 0x7F)};
    while ((value >>= 7) != 0)
        out.insert(out.begin(), static_cast<uint8_t>(0x80 | (value & 0x7F)));
    return out;
}

SmfTrack& SmfTrack::Event(uint32_t delta, std::initializer_list<uint8_t> data) {
    Append(bytes, Vlq(delta));
    bytes.insert(bytes.end(), data.begin(), data.end());
    return *this;
}

SmfTrack& SmfTrack::Meta(uint32_t delta, uint8_t type, const std::vector<uint8_t>& data) {
    Append(bytes, Vlq(delta));
    bytes.push_back(0xFF);
    bytes.push_back(type);
    Append(bytes, Vlq(static_cast<uint32_t>(data.size())));
    Append(bytes, data);
    return *this;
}

SmfTrack& SmfTrack::Tempo(uint32_t delta, uint32_t microsecondsPerQuarter) {
    return Meta(delta, 0x51,
                {static_cast<uint8_t>(microsecondsPerQuarter >> 16),
                 static_cast<uint8_t>(microsecondsPerQuarter >> 8),
                 static_cast<uint8_t>(microsecondsPerQuarter)});
}

SmfTrack& SmfTrack::SysEx(uint32_t delta, const std::vector<uint8_t>& body, uint8_t status) {
    Append(bytes, Vlq(delta));
    bytes.push_back(status);
    Append(bytes, Vlq(static_cast<uint32_t>(body.size())));
    Append(bytes, body);
    return *this;
}

SmfTrack& SmfTrack::End(uint32_t delta) {
    return Meta(delta, 0x2F, {});
}

SmfTrack& SmfTrack::Raw(const std::vector<uint8_t>& data) {
    Append(bytes, data);
    return *this;
}

std::vector<uint8_t> WriteSmf(const SmfFile& file) {
    std::vector<uint8_t> out{'M', 'T', 'h', 'd'};
    PutBE(out, static_cast<uint32_t>(6 + file.headerExtra.size()), 4);
    PutBE(out, file.format, 2);
    PutBE(out, file.trackCount.value_or(static_cast<uint16_t>(file.tracks.size())), 2);
    PutBE(out, file.division, 2);
    Append(out, file.headerExtra);
    for (const SmfTrack& track : file.tracks) {
        out.insert(out.end(), track.tag.begin(), track.tag.end());
        PutBE(out, track.declaredLength.value_or(static_cast<uint32_t>(track.bytes.size())), 4);
        Append(out, track.bytes);
    }
    return out;
}

}  // namespace kivo::test
