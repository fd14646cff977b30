#pragma once
// The MIDI sequencer: plays a standard MIDI file on one output port.
//
// Song time runs in exact microseconds and advances in one of two ways:
// - pulled by the mix: the sequencer is an audio source, and each Render advances the song by
//   the frames rendered, split at the times of the messages, so the mapper synthesizer hears
//   each message at its own sample. Headless runs use this for every port, so their song time
//   follows the game's audio time and the messages sent are the same on every run.
// - ticked by a timer thread every 10 ms on the host clock, for a host port that plays on its
//   own (desktop runs only).
//
// Everything the song state holds is guarded by the player lock. Control operations run on the
// main thread and hold the timer (when there is one) before taking the lock; none of them
// waits for a device.

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "media/midi_out_port.h"
#include "media/midi_v.h"
#include "media/mm_timer.h"
#include "platform/audio_output.h"
#include "platform/clock.h"
#include "platform/trace_sink.h"

namespace kivo {

// The fastest the song may run against the time rendered or ticked.
inline constexpr int32_t kMaxMidiRate = 16;

// A host output port the sequencer can open (device id = its index).
struct TMidiDevice {
    std::string Name;
};
using TMidiDevices = std::vector<TMidiDevice>;

class TMidiPlayV final : public AudioSource {
  public:
    // ports opens the devices and lists the host ports, which form Devices(). sampleRate is the
    // rate of the mix that calls Render. hostClock, when given, paces a timer thread for host
    // ports; without it (headless runs, tests) every port is pulled by Render and nothing
    // reads a clock.
    TMidiPlayV(MidiPortProvider& ports, int32_t sampleRate, Clock* hostClock = nullptr);
    ~TMidiPlayV() override;
    TMidiPlayV(const TMidiPlayV&) = delete;
    TMidiPlayV& operator=(const TMidiPlayV&) = delete;

    // Stops, then replaces the song (parsed before the lock is taken). Controller 7 of every
    // channel is taken as 127 until the song sets it. Damaged data raise KivoError naming
    // fileName and leave an empty song.
    void LoadFromStream(std::span<const uint8_t> bytes, std::string_view fileName);

    // id -1 opens the mapper, 0 and up the host ports of Devices(). An open device is closed
    // first. False when the port cannot be opened.
    [[nodiscard]] bool OpenDevice(int32_t id);
    void CloseDevice();
    [[nodiscard]] bool IsDeviceOpen() const;

    // Sends General MIDI System On (F0 7E 7F 09 01 F7).
    void SendSystemOn();
    // Starts playing at ms, clamped to 0..song length: notes are turned off, the song's
    // messages other than notes are sent from the start up to the position (the chase, so
    // programs and controllers are right even after a reset), the event just before the
    // position follows at once, and playing goes on from the position.
    void PlayFrom(int32_t ms);
    // Stops and turns the notes off; the position is kept.
    void Stop();

    [[nodiscard]] bool IsRunning() const;
    // True once the next event to play is the song's last (or the song is empty) and the song
    // does not loop. A looping song of length 0 plays once and ends, as it cannot loop.
    [[nodiscard]] bool IsAtEnd() const;
    [[nodiscard]] int32_t GetClock() const;
    void SetClock(int32_t ms);
    [[nodiscard]] bool GetLooping() const;
    void SetLooping(bool looping);
    [[nodiscard]] int32_t SongLength() const;

    // The song runs rate times as fast as the frames rendered or the host clock's time (the
    // player's fast-forward; 1 in normal play, clamped to 1 ... kMaxMidiRate). The
    // synthesizer keeps its pitch: the messages just fall due sooner. A change applies from
    // the present position on, so the song neither jumps nor stalls when the rate changes.
    void SetRate(int32_t rate);
    [[nodiscard]] int32_t Rate() const;

    // Scales controller `controller` of all channels by percent (the MIDI item passes 7 with
    // its volume); sent at once while the song plays. Values sent stay within 0..127.
    void SetControllerScale(int32_t controller, int32_t percent);

    [[nodiscard]] const TMidiDevices& Devices() const { return devices_; }

    // Writes one line per MIDI message sent to sink (null: none): the song time in whole
    // milliseconds, rounded, a space, and the bytes in lower-case hex ("500 903c64"). The sink
    // is called under the player lock, so only this sequencer may write to it.
    void SetTrace(TraceSink* sink);

    // The mix pulls frames of interleaved stereo (other channel counts are folded from
    // stereo): the mapper's sound (silence for other ports), while the song advances by
    // exactly the frames rendered.
    void Render(int16_t* out, size_t frames, int32_t channels) override;

    // One step of the timer thread: advances the song by the host clock's time since the last
    // step (at most one second) and sends what fell due. Public for tests that step it.
    void Tick();

  private:
    void SendEvent(const TMidiMsgEvent& event);
    void SendShort(uint8_t status, uint8_t data1, uint8_t data2, size_t length);
    void SendLong(std::span<const uint8_t> message);
    void TraceMessage(std::span<const uint8_t> message);
    void AllNotesOff();
    [[nodiscard]] uint8_t ScaledController(int channel, int controller) const;
    void DispatchDue();
    [[nodiscard]] bool LoopsLocked() const;
    [[nodiscard]] bool PulledByRender() const;
    [[nodiscard]] int64_t MicrosecondsToNextEvent() const;
    // How far ahead of the song time a message goes out: the port's lead at the present rate.
    [[nodiscard]] int64_t SongLeadUs() const { return leadUs_ * rate_; }
    // Moves a host-ticked song that has messages left to the host clock's present time;
    // false (and nothing moves) for any other song.
    bool CatchUpWithHostClock();
    [[nodiscard]] size_t FramesToReach(int64_t microseconds) const;
    void AdvanceFrames(size_t frames);
    void StopLocked();
    [[nodiscard]] size_t PlayTarget(int32_t ms) const;

    MidiPortProvider& ports_;
    const int32_t sampleRate_;
    Clock* hostClock_;
    TMidiDevices devices_;

    mutable std::mutex lock_;  // the player lock
    TMidiV song_;
    std::unique_ptr<MidiOutPort> port_;
    std::unique_ptr<TMMTimer> timer_;  // only while a host port is open with a host clock
    bool running_ = false;
    bool looping_ = false;
    size_t currentIndex_ = 0;     // the next event to send; the event count once all are sent
    int64_t clockUs_ = 0;         // song time
    int64_t frameRemainder_ = 0;  // song microseconds x sample rate not yet whole microseconds
    int64_t leadUs_ = 0;          // how early the open port wants messages (its microseconds)
    int32_t rate_ = 1;            // song time per time rendered or ticked
    uint32_t lastTick_ = 0;
    std::array<std::array<uint8_t, 128>, 16> fileControllers_{};
    std::array<std::array<int32_t, 128>, 16> controllerScale_{};
    TraceSink* trace_ = nullptr;
    std::optional<int64_t> traceTimeUs_;  // while sending an event: its song time
};

// The port names a player shows: the mapper first, then the host ports of the sequencer.
[[nodiscard]] std::vector<std::string> MidiPortNames(const TMidiPlayV& sequencer);

// One trace line: "500 903c64".
[[nodiscard]] std::string FormatMidiTraceLine(int64_t songTimeUs, std::span<const uint8_t> message);

}  // namespace kivo
