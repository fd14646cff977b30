#include "media/midi_v.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string>

#include "base/error.h"

namespace kivo {

namespace {

constexpr int32_t kDefaultTempo = 500000;  // microseconds per quarter note
constexpr size_t kMaxFileSize = 0x7FFFFFFF;
constexpr std::array<uint8_t, 11> kGsReset = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40,
                                              0x00, 0x7F, 0x00, 0x41, 0xF7};

[[nodiscard]] uint32_t LoadBE32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}
[[nodiscard]] uint16_t LoadBE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

// One track's events before they join the song: the data bytes are appended to the song's pool
// as they are read, so a track that is read again only has to cut the pool back.
struct TrackEvent {
    int64_t tick;
    uint32_t offset;
    uint32_t length;
    MidiEventKind kind;
    MidiEventType type;
};

enum class TrackEnd { EndOfTrack, Bound };

// Reads the events of one track from bytes[pos, end). Offsets in errors are file offsets.
class TrackReader {
  public:
    TrackReader(std::span<const uint8_t> bytes, size_t pos, size_t end, std::string_view file,
                std::vector<uint8_t>& pool, std::vector<TrackEvent>& events)
        : bytes_(bytes), pos_(pos), end_(end), file_(file), pool_(pool), events_(events) {}

    // Reads up to the end-of-track event (its position is then Position()) or, when
    // stopAtBound is set, up to the bound as long as the last event ends exactly there.
    TrackEnd Read(bool stopAtBound) {
        int64_t tick = 0;
        uint8_t runningStatus = 0;
        while (true) {
            if (stopAtBound && pos_ == end_) return TrackEnd::Bound;
            tick += ReadVlq();
            if (ReadEvent(tick, runningStatus)) return TrackEnd::EndOfTrack;
        }
    }

    [[nodiscard]] size_t Position() const { return pos_; }

  private:
    [[noreturn]] void Fail(std::string_view what) const {
        ThrowBadData(file_, std::string(what) + " at offset " + std::to_string(pos_));
    }

    uint8_t ReadByte() {
        if (pos_ >= end_) Fail("track data end in the middle of an event");
        return bytes_[pos_++];
    }

    // Variable-length numbers of the standard: 7 bits a byte, at most four bytes.
    uint32_t ReadVlq() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const uint8_t b = ReadByte();
            value = value << 7 | (b & 0x7F);
            if ((b & 0x80) == 0) return value;
        }
        Fail("variable-length number longer than four bytes");
    }

    uint8_t ReadDataByte() {
        const uint8_t b = ReadByte();
        if (b & 0x80) Fail("status byte where a data byte belongs");
        return b;
    }

    void AppendEvent(int64_t tick, size_t start, MidiEventKind kind, MidiEventType type) {
        events_.push_back(TrackEvent{tick, static_cast<uint32_t>(start),
                                     static_cast<uint32_t>(pool_.size() - start), kind, type});
    }

    // Copies a length-prefixed body (system exclusive or meta data) after what is pooled.
    void ReadBody() {
        const uint32_t length = ReadVlq();
        if (length > end_ - pos_) Fail("event length past the end of the track data");
        pool_.insert(pool_.end(), bytes_.begin() + static_cast<ptrdiff_t>(pos_),
                     bytes_.begin() + static_cast<ptrdiff_t>(pos_ + length));
        pos_ += length;
    }

    // Returns true for the end-of-track event.
    bool ReadEvent(int64_t tick, uint8_t& runningStatus) {
        const size_t start = pool_.size();
        uint8_t status = ReadByte();
        bool haveFirstData = false;
        uint8_t firstData = 0;
        if ((status & 0x80) == 0) {
            // Running status comes only from channel messages: system exclusive and meta
            // events neither set it nor are ever repeated by it.
            if (runningStatus == 0) Fail("data byte without a running status");
            firstData = status;
            haveFirstData = true;
            status = runningStatus;
        }
        if (status < 0xF0) {
            runningStatus = status;
            const uint8_t d1 = haveFirstData ? firstData : ReadDataByte();
            const bool oneByte = (status & 0xE0) == 0xC0;  // program change, channel pressure
            const uint8_t d2 = oneByte ? 0 : ReadDataByte();
            pool_.push_back(status);
            pool_.push_back(d1);
            if (!oneByte) pool_.push_back(d2);
            MidiEventType type = MidiEventType::Other;
            switch (status & 0xF0) {
                case 0x80:
                    type = MidiEventType::NoteOff;
                    break;
                case 0x90:
                    type = d2 > 0 ? MidiEventType::NoteOn : MidiEventType::NoteOff;
                    break;
                case 0xB0:
                    type = MidiEventType::ControlChange;
                    break;
                default:
                    break;
            }
            AppendEvent(tick, start, MidiEventKind::Channel, type);
            return false;
        }
        if (status == 0xF0 || status == 0xF7) {
            pool_.push_back(status);
            ReadBody();
            const bool gsReset = pool_.size() - start == kGsReset.size() &&
                                 std::equal(kGsReset.begin(), kGsReset.end(),
                                            pool_.begin() + static_cast<ptrdiff_t>(start));
            AppendEvent(tick, start, MidiEventKind::SystemExclusive,
                        gsReset ? MidiEventType::GsReset : MidiEventType::Other);
            return false;
        }
        if (status == 0xFF) {
            const uint8_t metaType = ReadByte();
            pool_.push_back(status);
            pool_.push_back(metaType);
            ReadBody();
            const size_t bodyLength = pool_.size() - start - 2;
            MidiEventType type = MidiEventType::Other;
            if (metaType == 0x51 && bodyLength == 3) type = MidiEventType::Tempo;
            if (metaType == 0x2F) type = MidiEventType::EndOfTrack;
            AppendEvent(tick, start, MidiEventKind::Meta, type);
            return type == MidiEventType::EndOfTrack;
        }
        Fail("system message that a MIDI file cannot hold");
    }

    std::span<const uint8_t> bytes_;
    size_t pos_;
    size_t end_;
    std::string_view file_;
    std::vector<uint8_t>& pool_;
    std::vector<TrackEvent>& events_;
};

// Song time in milliseconds as a fraction scaled / divisor: every tick adds perTick to scaled.
// Sums are exact 64-bit integers, so each event's time is rounded once and long songs never
// drift; a song past 2^31 ms stops at that time.
class SongClock {
  public:
    explicit SongClock(uint16_t division) {
        if (division & 0x8000) {
            // SMPTE: the high byte is minus the frames per second (29 is 30 drop-frame, that
            // is 30000/1001), the low byte the ticks per frame. Tempo events do not apply.
            const int fpsCode = -static_cast<int8_t>(division >> 8);
            const int64_t ticksPerFrame = division & 0xFF;
            const bool dropFrame = fpsCode == 29;
            const int64_t fpsNumerator = dropFrame ? 30000 : fpsCode;
            const int64_t fpsDenominator = dropFrame ? 1001 : 1;
            perTick_ = 1000 * fpsDenominator;
            divisor_ = fpsNumerator * ticksPerFrame;
            smpte_ = true;
        } else {
            perTick_ = kDefaultTempo;
            divisor_ = int64_t{division} * 1000;
        }
        limit_ = int64_t{std::numeric_limits<int32_t>::max()} * divisor_;
    }

    [[nodiscard]] bool Valid() const { return divisor_ > 0; }

    int32_t Advance(int64_t ticks) {
        if (ticks > 0 && perTick_ > 0) {
            const int64_t room = limit_ - scaled_;
            scaled_ = ticks > room / perTick_ ? limit_ : scaled_ + ticks * perTick_;
        }
        return RoundHalfEven();
    }

    void SetTempo(int32_t microsecondsPerQuarter) {
        if (!smpte_) perTick_ = microsecondsPerQuarter;
    }

  private:
    [[nodiscard]] int32_t RoundHalfEven() const {
        int64_t q = scaled_ / divisor_;
        const int64_t twice = 2 * (scaled_ % divisor_);
        if (twice > divisor_ || (twice == divisor_ && (q & 1) != 0)) ++q;
        return static_cast<int32_t>(q);
    }

    int64_t perTick_ = 0;
    int64_t divisor_ = 0;
    int64_t scaled_ = 0;
    int64_t limit_ = 0;
    bool smpte_ = false;
};

}  // namespace

void TMidiV::Clear() {
    events_.clear();
    data_.clear();
    format_ = trackCount_ = division_ = 0;
}

void TMidiV::LoadFromBytes(std::span<const uint8_t> bytes, std::string_view fileName) {
    Clear();
    try {
        Parse(bytes, fileName);
    } catch (...) {
        Clear();
        throw;
    }
}

void TMidiV::Parse(std::span<const uint8_t> bytes, std::string_view fileName) {
    if (bytes.size() < 4 || std::memcmp(bytes.data(), "MThd", 4) != 0) return;
    if (bytes.size() > kMaxFileSize) ThrowBadData(fileName, "MIDI file too large");
    if (bytes.size() < 14) ThrowBadData(fileName, "MIDI header is too short");
    const uint32_t headerLength = LoadBE32(&bytes[4]);
    format_ = LoadBE16(&bytes[8]);
    trackCount_ = LoadBE16(&bytes[10]);
    division_ = LoadBE16(&bytes[12]);
    // Header fields past the three we know belong to later versions of the format.
    if (headerLength > bytes.size() - 8) ThrowBadData(fileName, "MIDI header length past the end");
    if (!SongClock(division_).Valid()) return;  // division 0: nothing can be timed

    std::vector<TrackEvent> trackEvents;
    int32_t sequence = 0;
    // Searching past a track's declared end for its end-of-track event could read the rest of
    // the file once per track; a file made to do that is cut short after a few passes over
    // its size, and its remaining tracks are bounded by their lengths.
    size_t searchBudget = 4 * bytes.size() + 65536;
    size_t pos = 8 + std::max<size_t>(headerLength, 6);
    for (int track = 0; track < trackCount_ && bytes.size() - pos >= 8;) {
        const bool isTrack = std::memcmp(&bytes[pos], "MTrk", 4) == 0;
        const uint64_t declaredEnd = uint64_t{pos} + 8 + LoadBE32(&bytes[pos + 4]);
        if (!isTrack) {
            pos = static_cast<size_t>(std::min<uint64_t>(declaredEnd, bytes.size()));
            continue;
        }
        ++track;
        const size_t start = pos + 8;
        trackEvents.clear();
        const size_t poolMark = data_.size();
        size_t next = static_cast<size_t>(std::min<uint64_t>(declaredEnd, bytes.size()));
        if (declaredEnd > start) {
            // First to the end-of-track event, as far as the data go; only when there is
            // none does the declared length bound the track.
            bool found = false;
            const size_t searchEnd = start + std::min(bytes.size() - start, searchBudget);
            TrackReader reader(bytes, start, searchEnd, fileName, data_, trackEvents);
            try {
                reader.Read(false);
                next = reader.Position();
                found = true;
            } catch (const KivoError&) {
            }
            searchBudget -= reader.Position() - start;
            if (!found) {
                trackEvents.clear();
                data_.resize(poolMark);
                TrackReader bounded(bytes, start, next, fileName, data_, trackEvents);
                (void)bounded.Read(true);
            }
        }
        for (const TrackEvent& e : trackEvents) {
            events_.push_back(TMidiMsgEvent{.Tick = e.tick,
                                            .Sequence = sequence++,
                                            .DataOffset = e.offset,
                                            .DataLength = e.length,
                                            .Kind = e.kind,
                                            .EventType = e.type});
        }
        pos = next;
    }
    std::sort(events_.begin(), events_.end(), [](const TMidiMsgEvent& a, const TMidiMsgEvent& b) {
        return a.Tick != b.Tick ? a.Tick < b.Tick : a.Sequence < b.Sequence;
    });
    ComputeTimes();
}

void TMidiV::ComputeTimes() {
    SongClock clock(division_);
    int64_t previousTick = 0;
    for (TMidiMsgEvent& event : events_) {
        event.Time = clock.Advance(event.Tick - previousTick);
        previousTick = event.Tick;
        if (event.EventType == MidiEventType::Tempo) {
            const uint8_t* tempo = &data_[event.DataOffset + 2];
            clock.SetTempo(tempo[0] << 16 | tempo[1] << 8 | tempo[2]);
        }
    }
}

}  // namespace kivo
