#pragma once
// Standard MIDI files (formats 0 and 1): the reader that turns a file into one list of events in
// playing order, each with its song time in milliseconds. The sequencer plays from this list.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kivo {

enum class MidiEventKind : uint8_t {
    Channel = 0,          // a channel message (status 0x80..0xEF)
    SystemExclusive = 1,  // status F0 or F7
    Meta = 2,             // status FF
};

enum class MidiEventType : uint8_t {
    Other,
    NoteOn,         // 9n with a velocity above 0
    NoteOff,        // 8n, or 9n with velocity 0
    ControlChange,  // Bn
    Tempo,          // FF 51 with three data bytes
    EndOfTrack,     // FF 2F
    GsReset,        // exactly F0 41 10 42 12 40 00 7F 00 41 F7
};

struct TMidiMsgEvent {
    int64_t Tick = 0;      // absolute ticks from the start of the event's track
    int32_t Time = 0;      // song time in milliseconds
    int32_t Sequence = 0;  // running number over the whole file in reading order
    // The message bytes inside the song's data: the status, then the data bytes; for a meta
    // event FF, the type and the data; for system exclusive the status and the data. Length
    // fields are not stored.
    uint32_t DataOffset = 0;
    uint32_t DataLength = 0;
    MidiEventKind Kind = MidiEventKind::Channel;
    MidiEventType EventType = MidiEventType::Other;
};

class TMidiV {
  public:
    // Replaces the song with the file in bytes. Data that do not begin with "MThd", and a
    // division of 0, give an empty song. Damaged data raise KivoError naming fileName and
    // leave the song empty.
    //
    // A track is read to its end-of-track event, whatever length its chunk declares, so files
    // written with wrong track lengths play. The declared length is used to step over chunks
    // that are not tracks, and it bounds a track only when no end-of-track event comes before
    // the end of the data.
    void LoadFromBytes(std::span<const uint8_t> bytes, std::string_view fileName);
    void Clear();

    // The events sorted by tick, ties in reading order (lower tracks first).
    [[nodiscard]] const std::vector<TMidiMsgEvent>& Events() const { return events_; }
    [[nodiscard]] std::span<const uint8_t> Data(const TMidiMsgEvent& event) const {
        return std::span<const uint8_t>(data_).subspan(event.DataOffset, event.DataLength);
    }
    // The time of the last event in milliseconds; 0 for an empty song.
    [[nodiscard]] int32_t SongLength() const { return events_.empty() ? 0 : events_.back().Time; }

    [[nodiscard]] uint16_t Format() const { return format_; }
    [[nodiscard]] uint16_t TrackCount() const { return trackCount_; }
    [[nodiscard]] uint16_t Division() const { return division_; }

  private:
    void Parse(std::span<const uint8_t> bytes, std::string_view fileName);
    void ComputeTimes();

    std::vector<TMidiMsgEvent> events_;
    std::vector<uint8_t> data_;
    uint16_t format_ = 0;
    uint16_t trackCount_ = 0;
    uint16_t division_ = 0;
};

}  // namespace kivo
