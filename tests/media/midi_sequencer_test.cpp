// The sequencer against recording ports: the messages sent, their song times (the lines of the
// MIDI trace), chasing, looping, volume scaling and the end of a song.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "base/error.h"
#include "media/midi_play_v.h"
#include "media/mm_timer.h"
#include "media_fakes.h"
#include "support/recording_trace.h"
#include "support/smf_writer.h"

namespace kivo {
namespace {

using test::PortLog;
using test::RecordingPorts;
using test::SmfFile;
using test::SmfTrack;
using test::SteppingClock;

constexpr int32_t kRate = 44100;

// Division 1000 at one second a quarter note: one tick is one millisecond.
std::vector<uint8_t> MsSong(SmfTrack track) {
    SmfTrack timed = SmfTrack().Tempo(0, 1000000);
    timed.bytes.insert(timed.bytes.end(), track.bytes.begin(), track.bytes.end());
    return test::WriteSmf({.format = 0, .division = 1000, .tracks = {timed}});
}

// The trace with each run of sixteen all-notes-off messages written as "T off".
std::vector<std::string> Collapse(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const size_t space = line.find(' ');
        if (line.size() == space + 7 && line.compare(space + 3, 4, "7b00") == 0 &&
            line[space + 2] == '0') {
            out.push_back(line.substr(0, space) + " off");
            i += 15;
            continue;
        }
        out.push_back(line);
    }
    return out;
}

struct Player {
    explicit Player(const std::vector<uint8_t>& song, int32_t device = -1, int32_t mapperLead = 0) {
        ports.mapperLead = mapperLead;
        sequencer.SetTrace(&trace);
        sequencer.LoadFromStream(song, "song.mid");
        EXPECT_TRUE(sequencer.OpenDevice(device));
    }
    // Renders ms of sound in blocks of the given number of frames.
    void RenderMs(int32_t ms, size_t block = 512) {
        std::vector<int16_t> buffer(block * 2);
        for (int64_t left = int64_t{ms} * kRate / 1000; left > 0;) {
            const size_t frames =
                static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(block)));
            sequencer.Render(buffer.data(), frames, 2);
            left -= static_cast<int64_t>(frames);
        }
    }
    [[nodiscard]] std::vector<std::string> Lines() const { return Collapse(trace.lines); }

    RecordingPorts ports;
    test::RecordingTrace trace;
    TMidiPlayV sequencer{ports, kRate};
};

TEST(MidiSequencer, TraceFollowsTheTempoMapAtAnyBlockSize) {
    const std::vector<uint8_t> song = test::WriteSmf({.format = 0,
                                                      .division = 480,
                                                      .tracks = {SmfTrack()
                                                                     .Event(480, {0x90, 60, 100})
                                                                     .Tempo(480, 250000)
                                                                     .Event(0, {0xB0, 7, 100})
                                                                     .Event(480, {0x80, 60, 0})
                                                                     .End(0)}});
    const std::vector<std::string> expected = {"0 off", "500 903c64", "1000 b00764", "1250 803c00"};
    for (const int32_t lead : {0, 32}) {
        for (const size_t block : {size_t{1}, size_t{100}, size_t{4410}, size_t{44100}}) {
            SCOPED_TRACE(testing::Message() << "block " << block << " lead " << lead);
            Player player(song, -1, lead);
            player.sequencer.PlayFrom(0);
            player.RenderMs(1300, block);
            EXPECT_EQ(player.Lines(), expected);
            // The mapper gets each message at its own sample (500 ms and 1250 ms at 44100 Hz),
            // or as many frames early as it asks.
            const auto& messages = player.ports.log->messages;
            ASSERT_EQ(messages.size(), 19u);
            EXPECT_EQ(messages[16].frame, 22050u - static_cast<uint64_t>(lead));
            EXPECT_EQ(messages[18].frame, 55125u - static_cast<uint64_t>(lead));
            EXPECT_EQ(player.ports.log->framesRendered, 1300u * 441 / 10);
        }
    }
}

TEST(MidiSequencer, LoopsRestartAfterTurningNotesOff) {
    Player player(MsSong(SmfTrack().Event(0, {0x90, 60, 100}).Event(400, {0x80, 60, 0}).End(600)));
    player.sequencer.SetLooping(true);
    player.sequencer.PlayFrom(0);
    player.RenderMs(2500);
    const std::vector<std::string> expected = {"0 off",    "0 903c64", "400 803c00",
                                               "1000 off", "0 903c64", "400 803c00",
                                               "1000 off", "0 903c64", "400 803c00"};
    EXPECT_EQ(player.Lines(), expected);
    EXPECT_FALSE(player.sequencer.IsAtEnd());
    EXPECT_EQ(player.sequencer.GetClock(), 500);
    // The end-of-track is next: the song stands at its end as soon as it stops looping.
    player.sequencer.SetLooping(false);
    EXPECT_TRUE(player.sequencer.IsAtEnd());
}

// The song on a host port, ticked by the timer thread on a clock the test steps.
struct TickedPlayer {
    explicit TickedPlayer(const std::vector<uint8_t>& song) {
        sequencer.SetTrace(&trace);
        sequencer.LoadFromStream(song, "song.mid");
        EXPECT_TRUE(sequencer.OpenDevice(0));
    }
    SteppingClock clock;
    RecordingPorts ports{{"Synth A"}};
    test::RecordingTrace trace;
    TMidiPlayV sequencer{ports, kRate, &clock};
    // Freed before the sequencer, whose timer thread may be asleep on the clock.
    struct FreeRunAtEnd {
        SteppingClock& clock;
        ~FreeRunAtEnd() { clock.FreeRun(); }
    } freeRun{clock};
};

TEST(MidiSequencer, TimerTicksCarryTheLoopOvershoot) {
    TickedPlayer player(MsSong(SmfTrack().Event(0, {0x90, 60, 100}).End(1005)));
    SteppingClock& clock = player.clock;
    TMidiPlayV& sequencer = player.sequencer;
    const test::RecordingTrace& trace = player.trace;
    sequencer.SetLooping(true);
    sequencer.PlayFrom(0);
    // A host port is ticked every 10 ms: the loop at 1010 carries 5 ms into the next pass,
    // so the second loop comes after 1000 ms more, at tick 201, not 202.
    for (int step = 0; step < 201; ++step)
        clock.Step();
    const std::vector<std::string> expected = {"0 off",    "10 903c64", "1010 off",
                                               "5 903c64", "1005 off",  "0 903c64"};
    EXPECT_EQ(Collapse(trace.lines), expected);
    // Rendering the mix does not move a host port's song.
    std::vector<int16_t> buffer(2 * 4410, 1);
    sequencer.Render(buffer.data(), 4410, 2);
    EXPECT_EQ(sequencer.GetClock(), 0);
    EXPECT_EQ(buffer, std::vector<int16_t>(2 * 4410, 0));
}

// Fast-forward: the song runs four times as fast between 500 and 750 ms of sound, so its
// message at 1000 ms sounds at 625 ms, and the one at 2000 ms at 1250 ms once the normal rate
// is back. The song times of the trace are those of any run.
TEST(MidiSequencer, ARaisedRateBringsMessagesSoonerAndEndsWithoutAJump) {
    const std::vector<uint8_t> song = MsSong(SmfTrack()
                                                 .Event(0, {0x90, 60, 100})
                                                 .Event(1000, {0x80, 60, 0})
                                                 .Event(1000, {0x90, 62, 100})
                                                 .End(1000));
    const std::vector<std::string> expected = {"0 off", "0 903c64", "1000 803c00", "2000 903e64"};
    for (const int32_t lead : {0, 32}) {
        for (const size_t block : {size_t{1}, size_t{100}, size_t{4410}}) {
            SCOPED_TRACE(testing::Message() << "block " << block << " lead " << lead);
            Player player(song, -1, lead);
            player.sequencer.PlayFrom(0);
            player.RenderMs(500, block);
            player.sequencer.SetRate(4);
            player.RenderMs(250, block);
            EXPECT_EQ(player.sequencer.GetClock(), 1500);
            player.sequencer.SetRate(1);
            player.RenderMs(550, block);
            EXPECT_EQ(player.sequencer.GetClock(), 2050);
            EXPECT_EQ(player.Lines(), expected);
            // 625 ms is 27562.5 frames: the message goes with the frame that reaches it.
            const auto& messages = player.ports.log->messages;
            ASSERT_EQ(messages.size(), 19u);
            EXPECT_EQ(messages[17].frame, 27563u - static_cast<uint64_t>(lead));
            EXPECT_EQ(messages[18].frame, 55125u - static_cast<uint64_t>(lead));
        }
    }
    // Rates outside 1 ... kMaxMidiRate are clamped.
    Player player(song);
    player.sequencer.SetRate(0);
    EXPECT_EQ(player.sequencer.Rate(), 1);
    player.sequencer.SetRate(1000);
    EXPECT_EQ(player.sequencer.Rate(), kMaxMidiRate);
}

// A host port's song moves by the host time of each tick times the rate; the time since the
// last tick when the rate changes still counts at the old rate.
TEST(MidiSequencer, TimerTicksFollowTheRate) {
    TickedPlayer player(MsSong(SmfTrack()
                                   .Event(0, {0x90, 60, 100})
                                   .Event(1000, {0x80, 60, 0})
                                   .Event(1000, {0x90, 62, 100})
                                   .End(1000)));
    SteppingClock& clock = player.clock;
    TMidiPlayV& sequencer = player.sequencer;
    const test::RecordingTrace& trace = player.trace;
    sequencer.PlayFrom(0);
    sequencer.SetRate(4);
    const auto steps = [&](int count) {
        for (int step = 0; step < count; ++step)
            clock.Step();
        return Collapse(trace.lines).size();
    };
    // Ticks of 10 ms at 40 ms each: the message at 1000 goes with the 25th.
    EXPECT_EQ(steps(24), 2u);
    EXPECT_EQ(sequencer.GetClock(), 960);
    EXPECT_EQ(steps(1), 3u);
    sequencer.SetRate(1);
    EXPECT_EQ(steps(99), 3u);
    EXPECT_EQ(sequencer.GetClock(), 1990);
    EXPECT_EQ(steps(1), 4u);
    // The first tick is already four times as long.
    const std::vector<std::string> expected = {"0 off", "40 903c64", "1000 803c00", "2000 903e64"};
    EXPECT_EQ(Collapse(trace.lines), expected);
}

TEST(MidiSequencer, PlayFromChasesFromTheStartEveryTime) {
    Player player(MsSong(SmfTrack()
                             .Event(0, {0xC0, 5})
                             .Event(0, {0xB0, 7, 100})
                             .Event(0, {0x90, 60, 100})
                             .Event(250, {0xB0, 10, 20})
                             .Event(250, {0x80, 60, 0})
                             .Event(100, {0x90, 62, 100})
                             .Event(300, {0x80, 62, 0})
                             .End(100)));
    player.sequencer.SetControllerScale(7, 50);
    player.sequencer.PlayFrom(400);
    EXPECT_EQ(player.sequencer.GetClock(), 400);
    // The position is resumed again after a reset: the programs and controllers come back.
    player.sequencer.SendSystemOn();
    player.sequencer.PlayFrom(400);
    player.RenderMs(300);
    const std::vector<std::string> expected = {
        "0 off", "0 c005", "0 b00732", "400 f07e7f0901f7", "400 off", "0 c005", "0 b00732",
        // The event just before the position follows at once; the notes before it do not.
        "400 b00a14", "500 803c00", "600 903e64"};
    EXPECT_EQ(player.Lines(), expected);
}

TEST(MidiSequencer, PlayFromPastTheEndStaysAtTheEnd) {
    Player player(MsSong(SmfTrack().Event(0, {0x90, 60, 100}).Event(500, {0x80, 60, 0}).End(500)));
    player.sequencer.PlayFrom(5000);
    EXPECT_EQ(player.sequencer.GetClock(), 1000);
    player.RenderMs(100);
    EXPECT_TRUE(player.sequencer.IsAtEnd());
    EXPECT_EQ(player.Lines(), std::vector<std::string>{"0 off"});
    player.sequencer.PlayFrom(-30);
    EXPECT_EQ(player.sequencer.GetClock(), 0);
    EXPECT_FALSE(player.sequencer.IsAtEnd());
}

TEST(MidiSequencer, ControllerScaleStaysWithinMidiRange) {
    Player player(MsSong(SmfTrack().Event(0, {0xB0, 7, 100}).End(1000)));
    player.sequencer.PlayFrom(0);
    player.RenderMs(10);
    struct Case {
        int32_t percent;
        const char* channel0;  // the song's 100
        const char* channel1;  // 127, taken until a song sets it
    };
    // The MIDI item passes volume / 100 + 100: -10000 gives 0, 0 gives 100, +5000 gives 150.
    const std::vector<Case> cases = {{50, "10 b00732", "10 b1073f"},
                                     {150, "10 b0077f", "10 b1077f"},
                                     {0, "10 b00700", "10 b10700"},
                                     {-20, "10 b00700", "10 b10700"},
                                     {100, "10 b00764", "10 b1077f"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.percent);
        player.trace.lines.clear();
        player.sequencer.SetControllerScale(7, c.percent);
        ASSERT_EQ(player.trace.lines.size(), 16u);
        EXPECT_EQ(player.trace.lines[0], c.channel0);
        EXPECT_EQ(player.trace.lines[1], c.channel1);
    }
    player.trace.lines.clear();
    player.sequencer.SetControllerScale(128, 50);  // no such controller
    player.sequencer.Stop();
    player.sequencer.SetControllerScale(7, 50);  // kept for the next play, not sent
    EXPECT_EQ(player.Lines(), std::vector<std::string>{"10 off"});
}

TEST(MidiSequencer, EndOfSong) {
    {
        SCOPED_TRACE("a trailing note-off is sent; the end is reported when it becomes next");
        // The last track has no end-of-track event, so its note-off is the song's last event.
        SmfTrack track = SmfTrack().Event(0, {0x90, 60, 100}).Event(500, {0x80, 60, 0});
        Player player(test::WriteSmf({.format = 0, .division = 500, .tracks = {track}}));
        player.sequencer.PlayFrom(0);
        EXPECT_FALSE(player.sequencer.IsAtEnd());
        player.RenderMs(10);
        EXPECT_TRUE(player.sequencer.IsAtEnd());
        player.RenderMs(600);
        EXPECT_EQ(player.Lines(), (std::vector<std::string>{"0 off", "0 903c64", "500 803c00"}));
        EXPECT_TRUE(player.sequencer.IsRunning());
        EXPECT_EQ(player.sequencer.GetClock(), 500);
    }
    {
        SCOPED_TRACE("a looping song of length 0 plays once and ends");
        Player player(MsSong(SmfTrack().Event(0, {0x90, 60, 100}).End(0)));
        player.sequencer.SetLooping(true);
        player.sequencer.PlayFrom(0);
        player.RenderMs(1000);
        EXPECT_EQ(player.Lines(), (std::vector<std::string>{"0 off", "0 903c64"}));
        EXPECT_TRUE(player.sequencer.IsAtEnd());
    }
    {
        SCOPED_TRACE("an empty song is at its end, looping or not");
        Player player({'R', 'I', 'F', 'F'});
        player.sequencer.SetLooping(true);
        player.sequencer.PlayFrom(0);
        player.RenderMs(100);
        EXPECT_TRUE(player.sequencer.IsAtEnd());
        EXPECT_EQ(player.sequencer.SongLength(), 0);
    }
}

TEST(MidiSequencer, StopKeepsThePosition) {
    Player player(MsSong(SmfTrack().Event(0, {0x90, 60, 100}).Event(800, {0x80, 60, 0}).End(0)));
    player.sequencer.PlayFrom(0);
    player.RenderMs(450);
    player.sequencer.Stop();
    player.RenderMs(1000);
    EXPECT_FALSE(player.sequencer.IsRunning());
    EXPECT_EQ(player.sequencer.GetClock(), 450);
    EXPECT_EQ(player.Lines(), (std::vector<std::string>{"0 off", "0 903c64", "450 off"}));
    // The mapper keeps rendering (its notes die away) while the song stands still.
    EXPECT_EQ(player.ports.log->framesRendered, 1450u * 441 / 10);
}

TEST(MidiSequencer, PortsAndDevices) {
    RecordingPorts none;
    EXPECT_EQ(MidiPortNames(TMidiPlayV(none, kRate)), std::vector<std::string>{"MIDIマッパー"});

    RecordingPorts ports({"Synth A", "Synth B"});
    TMidiPlayV sequencer(ports, kRate);
    EXPECT_EQ(MidiPortNames(sequencer),
              (std::vector<std::string>{"MIDIマッパー", "Synth A", "Synth B"}));
    ASSERT_TRUE(sequencer.OpenDevice(1));
    const std::shared_ptr<PortLog> hostLog = ports.log;
    ASSERT_TRUE(sequencer.OpenDevice(-1));
    EXPECT_EQ(ports.opened, (std::vector<std::string>{"Synth B", "mapper@44100"}));
    EXPECT_EQ(hostLog->resets, 1);  // the open device was closed first
    EXPECT_FALSE(sequencer.OpenDevice(2));
    EXPECT_FALSE(sequencer.IsDeviceOpen());

    // With no device the song still runs to its end, so nothing waits for it for ever.
    sequencer.LoadFromStream(
        MsSong(SmfTrack().Event(0, {0x90, 60, 100}).Event(300, {0x80, 60, 0}).End(0)), "song.mid");
    sequencer.PlayFrom(0);
    std::vector<int16_t> buffer(2 * 44100);
    sequencer.Render(buffer.data(), 44100, 2);
    EXPECT_TRUE(sequencer.IsAtEnd());
    EXPECT_EQ(sequencer.GetClock(), 300);

    RecordingPorts broken({}, false);
    TMidiPlayV withoutMapper(broken, kRate);
    EXPECT_FALSE(withoutMapper.OpenDevice(-1));
}

TEST(MidiSequencer, DamagedSongLeavesAnEmptySong) {
    Player player(MsSong(SmfTrack().Event(0, {0x90, 60, 100}).Event(800, {0x80, 60, 0}).End(0)));
    player.sequencer.PlayFrom(0);
    player.RenderMs(100);
    try {
        player.sequencer.LoadFromStream(test::WriteSmf({.tracks = {SmfTrack().Event(0, {60, 1})}}),
                                        "bad.mid");
        ADD_FAILURE() << "no error";
    } catch (const KivoError& error) {
        EXPECT_EQ(error.File(), "bad.mid");
    }
    EXPECT_FALSE(player.sequencer.IsRunning());
    EXPECT_TRUE(player.sequencer.IsAtEnd());
    EXPECT_EQ(player.sequencer.SongLength(), 0);
    EXPECT_EQ(player.Lines(), (std::vector<std::string>{"0 off", "0 903c64", "100 off"}));
}

TEST(MidiSequencer, ChasedGsResetGivesTheDeviceTime) {
    const std::vector<uint8_t> gs = {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
    Player player(
        MsSong(SmfTrack().SysEx(0, gs).Event(100, {0xC0, 1}).Event(100, {0xC0, 2}).End(100)));
    player.sequencer.PlayFrom(250);
    EXPECT_EQ(player.ports.log->settles, 1);
    EXPECT_EQ(player.Lines(),
              (std::vector<std::string>{"0 off", "0 f04110421240007f0041f7", "100 c001"}));
}

TEST(MidiTimer, HoldWaitsForARunningCallAndBlocksNewOnes) {
    SteppingClock clock;
    std::atomic<int> calls = 0;
    std::promise<void> entered;
    std::promise<void> letGo;
    std::shared_future<void> letGoFuture = letGo.get_future().share();
    TMMTimer timer(clock, 10, [&] {
        if (++calls == 1) {
            entered.set_value();
            letGoFuture.wait();
        }
    });
    struct FreeRunAtEnd {
        SteppingClock& clock;
        ~FreeRunAtEnd() { clock.FreeRun(); }
    } freeRun{clock};
    timer.SetEnabled(true);
    std::thread stepper([&] { clock.Step(); });  // returns once the first call has finished
    entered.get_future().wait();
    std::atomic<bool> held = false;
    std::thread holder([&] {
        timer.Hold();
        held = true;
    });
    // Hold cannot return while the call runs (the pause gives the holder time to try).
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(held.load());
    letGo.set_value();
    holder.join();
    stepper.join();
    EXPECT_TRUE(held.load());
    clock.Step();
    clock.Step();
    EXPECT_EQ(calls.load(), 1);
    timer.Release();
    clock.Step();
    EXPECT_EQ(calls.load(), 2);
}

}  // namespace
}  // namespace kivo
