#pragma once
// Fixture writer for standard MIDI files. It lays the bytes out itself, chunk by chunk, so the
// reader and sequencer tests can also write what a careless or damaged file holds: wrong or
// zero track lengths, missing end-of-track events, foreign chunks, long headers.
//
//   SmfFile file{.division = 480};
//   file.tracks.push_back(SmfTrack().Tempo(0, 250000).Event(480, {0x90, 60, 100}).End(0));
//   std::vector<uint8_t> bytes = WriteSmf(file);

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace kivo::test {

// A variable-length number of the format (7 bits a byte, most significant first).
[[nodiscard]] std::vector<uint8_t> Vlq(uint32_t value);

class SmfTrack {
  public:
    // A delta time, then bytes as given (leave the status out to use running status).
    SmfTrack& Event(uint32_t delta, std::initializer_list<uint8_t> bytes);
    SmfTrack& Meta(uint32_t delta, uint8_t type, const std::vector<uint8_t>& data);
    SmfTrack& Tempo(uint32_t delta, uint32_t microsecondsPerQuarter);
    // F0 (or F7), the length, then body as given.
    SmfTrack& SysEx(uint32_t delta, const std::vector<uint8_t>& body, uint8_t status = 0xF0);
    SmfTrack& End(uint32_t delta);
    // Bytes with no delta time in front.
    SmfTrack& Raw(const std::vector<uint8_t>& bytes);

    std::string tag = "MTrk";
    // The length written in the chunk header; the true length when not set.
    std::optional<uint32_t> declaredLength;
    std::vector<uint8_t> bytes;
};

struct SmfFile {
    uint16_t format = 1;
    uint16_t division = 480;
    // The track count of the header; the number of chunks when not set.
    std::optional<uint16_t> trackCount = {};
    std::vector<uint8_t> headerExtra = {};  // header bytes past the six known ones
    std::vector<SmfTrack> tracks = {};
};

[[nodiscard]] std::vector<uint8_t> WriteSmf(const SmfFile& file);

}  // namespace kivo::test
