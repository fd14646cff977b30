// The standard MIDI file reader: song times, event order, track structure and damaged files.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/error.h"
#include "media/midi_v.h"
#include "support/smf_writer.h"

namespace kivo {
namespace {

using test::SmfFile;
using test::SmfTrack;
using test::WriteSmf;

TMidiV Load(const std::vector<uint8_t>& bytes) {
    TMidiV song;
    song.LoadFromBytes(bytes, "song.mid");
    return song;
}

// (time, first data byte) of every channel event, which is how the fixtures tell notes apart.
std::vector<std::pair<int32_t, int>> ChannelEvents(const TMidiV& song) {
    std::vector<std::pair<int32_t, int>> out;
    for (const TMidiMsgEvent& e : song.Events()) {
        if (e.Kind == MidiEventKind::Channel) out.emplace_back(e.Time, song.Data(e)[1]);
    }
    return out;
}

std::string LoadError(const std::vector<uint8_t>& bytes) {
    try {
        (void)Load(bytes);
    } catch (const KivoError& error) {
        EXPECT_EQ(error.File(), "song.mid");
        return error.Message();
    }
    return "";
}

TEST(MidiReader, TimesFollowTheTempoMapExactly) {
    struct Case {
        const char* name;
        uint16_t division;
        SmfTrack track;
        std::vector<std::pair<int32_t, int>> expected;
    };
    const std::vector<Case> cases = {
        {"tempo halves at tick 960, from the next interval on",
         480,
         SmfTrack()
             .Event(480, {0x90, 1, 100})
             .Tempo(480, 250000)
             .Event(0, {0x90, 2, 100})
             .Event(480, {0x90, 3, 100})
             .End(0),
         {{500, 1}, {1000, 2}, {1250, 3}}},
        // 5.208333 ms a tick: rounding every interval would give 5, 10, 15 ... and lose 40 ms
        // over 960 ticks; the sum is exact and rounded once, ties to even (15.625 -> 16).
        {"a tick that is not a whole millisecond never drifts",
         96,
         [] {
             SmfTrack t;
             t.Event(1, {0x90, 1, 1}).Event(1, {0x90, 2, 1}).Event(1, {0x90, 3, 1});
             for (int i = 3; i < 959; ++i)
                 t.Event(1, {0xA0, 4, 1});
             return t.Event(1, {0x90, 5, 1}).End(0);
         }(),
         {{5, 1}, {10, 2}, {16, 3}, {5000, 5}}},
        {"24 frames of 10 ticks: 240 ticks a second, tempo ignored",
         0xE80A,
         SmfTrack().Tempo(0, 250000).Event(120, {0x90, 1, 1}).Event(240, {0x90, 2, 1}).End(0),
         {{500, 1}, {1500, 2}}},
        {"25 frames of 40 ticks: a tick a millisecond",
         0xE728,
         SmfTrack().Event(1500, {0x90, 1, 1}).End(0),
         {{1500, 1}}},
        {"drop-frame 30 is 29.97 frames a second",
         0xE301,
         SmfTrack().Event(2997, {0x90, 1, 1}).End(0),
         {{100000, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TMidiV song =
            Load(WriteSmf({.format = 0, .division = c.division, .tracks = {c.track}}));
        std::vector<std::pair<int32_t, int>> got;
        for (const auto& event : ChannelEvents(song)) {
            if (event.second != 4) got.push_back(event);
        }
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(song.SongLength(), song.Events().back().Time);
    }
}

TEST(MidiReader, SortsByTickThenTrackThenFileOrder) {
    SmfFile file;
    file.tracks.push_back(SmfTrack()
                              .Event(0, {0x90, 10, 1})
                              .Event(480, {0x90, 11, 1})
                              .Event(0, {0x90, 12, 1})
                              .End(0));
    file.tracks.push_back(SmfTrack().Event(480, {0x91, 20, 1}).Event(0, {0x91, 21, 1}).End(0));
    file.tracks.push_back(SmfTrack().Event(240, {0x92, 30, 1}).End(0));
    const TMidiV song = Load(WriteSmf(file));
    const std::vector<std::pair<int32_t, int>> expected = {{0, 10},   {250, 30}, {500, 11},
                                                           {500, 12}, {500, 20}, {500, 21}};
    EXPECT_EQ(ChannelEvents(song), expected);
    EXPECT_EQ(song.TrackCount(), 3);
}

TEST(MidiReader, ClassifiesEvents) {
    const std::vector<uint8_t> gs = {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
    std::vector<uint8_t> almostGs = gs;
    almostGs[8] = 0x42;
    const TMidiV song =
        Load(WriteSmf({.format = 0,
                       .tracks = {SmfTrack()
                                      .Event(0, {0x90, 60, 100})
                                      .Event(0, {0x90, 60, 0})
                                      .Event(0, {0x80, 60, 64})
                                      .Event(0, {0xB3, 7, 90})
                                      .Event(0, {0xC3, 5})
                                      .SysEx(0, gs)
                                      .SysEx(0, almostGs)
                                      .Meta(0, 0x51, {1, 2})  // a tempo needs three bytes
                                      .Tempo(0, 600000)
                                      .End(0)}}));
    using T = MidiEventType;
    const std::vector<MidiEventType> expected = {
        T::NoteOn,  T::NoteOff, T::NoteOff, T::ControlChange, T::Other,
        T::GsReset, T::Other,   T::Other,   T::Tempo,         T::EndOfTrack};
    std::vector<MidiEventType> got;
    for (const TMidiMsgEvent& e : song.Events())
        got.push_back(e.EventType);
    EXPECT_EQ(got, expected);
    // Lengths are not stored: a system-exclusive message is its status and body.
    const TMidiMsgEvent& reset = song.Events()[5];
    EXPECT_EQ(reset.Kind, MidiEventKind::SystemExclusive);
    ASSERT_EQ(song.Data(reset).size(), 11u);
    EXPECT_EQ(song.Data(reset)[0], 0xF0);
    EXPECT_EQ(song.Data(song.Events()[4]).size(), 2u);  // program change: one data byte
}

TEST(MidiReader, RunningStatusComesFromChannelMessagesOnly) {
    // After a meta event and a system-exclusive message the last channel status still runs.
    const TMidiV song = Load(WriteSmf({.format = 0,
                                       .tracks = {SmfTrack()
                                                      .Event(0, {0x91, 60, 100})
                                                      .Meta(0, 0x01, {'x'})
                                                      .Event(10, {61, 100})
                                                      .SysEx(0, {0x7E, 0xF7})
                                                      .Event(10, {62, 0})
                                                      .End(0)}}));
    std::vector<std::vector<uint8_t>> channel;
    for (const TMidiMsgEvent& e : song.Events()) {
        if (e.Kind == MidiEventKind::Channel)
            channel.emplace_back(song.Data(e).begin(), song.Data(e).end());
    }
    const std::vector<std::vector<uint8_t>> expected = {
        {0x91, 60, 100}, {0x91, 61, 100}, {0x91, 62, 0}};
    EXPECT_EQ(channel, expected);

    // A data byte after a meta event with no channel message before it has no status to reuse.
    EXPECT_NE(
        LoadError(WriteSmf(
            {.format = 0, .tracks = {SmfTrack().Meta(0, 0x01, {'x'}).Event(0, {60, 100}).End(0)}})),
        "");
}

TEST(MidiReader, HeaderCases) {
    EXPECT_TRUE(Load({'R', 'I', 'F', 'F', 0, 0, 0, 0}).Events().empty());
    EXPECT_TRUE(Load({}).Events().empty());
    const SmfTrack note = SmfTrack().Event(0, {0x90, 60, 1}).Event(480, {0x80, 60, 0}).End(0);
    EXPECT_TRUE(Load(WriteSmf({.division = 0, .tracks = {note}})).Events().empty());
    EXPECT_TRUE(Load(WriteSmf({.division = 0x8000, .tracks = {note}})).Events().empty());
    // Header fields of a later version are stepped over.
    const TMidiV longHeader = Load(WriteSmf({.headerExtra = {1, 2, 3, 4}, .tracks = {note}}));
    EXPECT_EQ(longHeader.Events().size(), 3u);
    EXPECT_EQ(longHeader.SongLength(), 500);
    EXPECT_NE(LoadError({'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1}), "");
    std::vector<uint8_t> pastEnd = WriteSmf({.tracks = {note}});
    pastEnd[7] = 200;
    EXPECT_NE(LoadError(pastEnd), "");
}

TEST(MidiReader, TrackChunks) {
    const SmfTrack a = SmfTrack().Event(0, {0x90, 1, 1}).Event(480, {0x80, 1, 0}).End(0);
    const SmfTrack b = SmfTrack().Event(240, {0x91, 2, 1}).End(0);
    auto withLength = [](SmfTrack t, uint32_t length) {
        t.declaredLength = length;
        return t;
    };
    SmfTrack foreign;
    foreign.tag = "XFIH";
    foreign.Raw({0x90, 0x90, 0x90, 0xFF});  // would not parse as events

    struct Case {
        const char* name;
        SmfFile file;
        std::vector<std::pair<int32_t, int>> expected;
    };
    const std::vector<Case> cases = {
        {"a track of length 0 adds nothing and is followed from its header",
         {.tracks = {withLength(SmfTrack(), 0), b}},
         {{250, 2}}},
        {"a foreign chunk is stepped over and is not a track",
         {.trackCount = 2, .tracks = {a, foreign, b}},
         {{0, 1}, {250, 2}, {500, 1}}},
        {"a declared length too long is read to the end-of-track",
         {.tracks = {withLength(a, 1000), b}},
         {{0, 1}, {250, 2}, {500, 1}}},
        {"a declared length too short is read to the end-of-track",
         {.tracks = {withLength(a, 3), b}},
         {{0, 1}, {250, 2}, {500, 1}}},
        {"more tracks announced than present",
         {.trackCount = 5, .tracks = {a}},
         {{0, 1}, {500, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ChannelEvents(Load(WriteSmf(c.file))), c.expected);
    }
}

TEST(MidiReader, DeclaredLengthBoundsATrackWithoutEndOfTrack) {
    // The first track has no end-of-track event and is followed by bytes that are no events:
    // its declared length ends it, and the second track is read from there.
    SmfTrack open = SmfTrack().Event(0, {0x90, 1, 1}).Event(480, {0x80, 1, 0});
    const std::vector<uint8_t> trailer = {0xF4, 0xF4};
    SmfFile file{.trackCount = 1, .tracks = {open}};
    std::vector<uint8_t> bytes = WriteSmf(file);
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    const TMidiV song = Load(bytes);
    const std::vector<std::pair<int32_t, int>> expected = {{0, 1}, {500, 1}};
    EXPECT_EQ(ChannelEvents(song), expected);
    EXPECT_EQ(song.Events().size(), 2u);

    // The last track of a file cut short after a whole event: what is there plays.
    const TMidiV cut = Load(WriteSmf({.tracks = {open}}));
    EXPECT_EQ(ChannelEvents(cut), expected);
}

TEST(MidiReader, ManyTracksWithoutEndOfTrackAreEachBoundedByTheirLength) {
    // Each track's search for an end-of-track runs on through the tracks after it (their bytes
    // parse as events) to the end of the data; every track still gets only its own note.
    SmfFile file{.format = 1};
    for (int i = 0; i < 3000; ++i)
        file.tracks.push_back(SmfTrack().Event(0, {0x90, 60, 64}));
    const TMidiV song = Load(WriteSmf(file));
    ASSERT_EQ(song.Events().size(), 3000u);
    for (const TMidiMsgEvent& e : song.Events()) {
        ASSERT_EQ(e.Time, 0);
        ASSERT_EQ(song.Data(e)[1], 60);
    }
}

TEST(MidiReader, DamagedEventsAreErrorsNamingTheFile) {
    struct Case {
        const char* name;
        SmfTrack track;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"five-byte delta time", SmfTrack().Raw({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 1}).End(0),
         "longer than four bytes"},
        {"system-exclusive length past the data", SmfTrack().Raw({0, 0xF0, 0x20, 1, 2}),
         "event length past"},
        {"meta length past the data", SmfTrack().Raw({0, 0xFF, 0x01, 0x83, 0x00, 'a'}),
         "event length past"},
        {"data byte with no status", SmfTrack().Event(0, {60, 100}).End(0),
         "without a running status"},
        {"status byte inside a channel message", SmfTrack().Event(0, {0x90, 60, 0x90}).End(0),
         "status byte where a data byte"},
        {"a real-time status", SmfTrack().Event(0, {0xF8}).End(0), "cannot hold"},
        {"event cut by the end of the data", SmfTrack().Raw({0, 0x90, 60}), "middle of an event"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string message = LoadError(WriteSmf({.format = 0, .tracks = {c.track}}));
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
}

TEST(MidiReader, EveryTruncationFailsCleanlyOrPlaysWhatIsThere) {
    SmfFile file;
    file.tracks.push_back(
        SmfTrack()
            .Tempo(0, 400000)
            .SysEx(0, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7})
            .Event(0, {0xB0, 7, 100})
            .Event(0, {0x90, 60, 100})
            .Event(96, {60, 0})
            .Meta(0, 0x03, {'t', 'r', 'a', 'c', 'k'})
            .End(0));
    file.tracks.push_back(SmfTrack().Event(0x3FFF, {0xC1, 5}).Event(0, {0xE1, 0, 64}).End(0));
    const std::vector<uint8_t> whole = WriteSmf(file);
    const size_t fullCount = Load(whole).Events().size();
    for (size_t size = 0; size < whole.size(); ++size) {
        SCOPED_TRACE(size);
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(size));
        TMidiV song;
        song.LoadFromBytes(whole, "song.mid");
        try {
            song.LoadFromBytes(cut, "song.mid");
            EXPECT_LT(song.Events().size(), fullCount);
        } catch (const KivoError& error) {
            EXPECT_EQ(error.File(), "song.mid");
            EXPECT_TRUE(song.Events().empty());
        }
    }
}

}  // namespace
}  // namespace kivo
