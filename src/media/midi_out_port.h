#pragma once
// Where the sequencer's MIDI messages go. The first port is always the mapper, a software
// synthesizer that renders into the player's own mix; further ports are the host's MIDI
// outputs (external or hardware synthesizers), which make their sound themselves.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// The name of port 0 in every port list, as the system has always called it.
inline constexpr std::string_view kMidiMapperName = "MIDIマッパー";

class MidiOutPort {
  public:
    virtual ~MidiOutPort() = default;

    // All calls come from the sequencer under its player lock: on the main thread for control
    // operations, on the audio thread (mapper) or the sequencer's timer thread (host ports)
    // while a song plays. None may block for long.

    // One channel message: the status byte and its one or two data bytes.
    virtual void SendShort(std::span<const uint8_t> message) = 0;
    // One system-exclusive message as the song stores it: F0 and the data (normally ending
    // with F7), or F7 and bytes to send as they are.
    virtual void SendLong(std::span<const uint8_t> message) = 0;
    // Silences every channel at once; called before the port is closed.
    virtual void Reset() = 0;
    // Called after a GS reset was sent while chasing, before the next message: a device that
    // needs time to carry out a reset waits here.
    virtual void SettleAfterReset() {}

    // A synthesizer port renders its sound into the mix: frames interleaved stereo samples
    // into out, replacing what is there. Ports that play on their own return false and leave
    // out alone. Called under the player lock, in pieces split at the times of the messages.
    [[nodiscard]] virtual bool RendersAudio() const { return false; }
    virtual void Render(int16_t* out, size_t frames) { (void)out, (void)frames; }
    // A synthesizer that carries out messages only at the start of its internal blocks asks
    // for them this many frames early (half a block), so each one sounds within half a block
    // of its time instead of up to a whole block late.
    [[nodiscard]] virtual int32_t LeadFrames() const { return 0; }
};

// Opens the ports. One provider serves a player for its whole run.
class MidiPortProvider {
  public:
    virtual ~MidiPortProvider() = default;

    // The names of the host's output ports (the mapper not included), in the order OpenPort
    // numbers them. Called on the main thread when a sequencer is created.
    [[nodiscard]] virtual std::vector<std::string> HostPortNames() = 0;
    // Opens the mapper rendering at sampleRate; null when it cannot be opened.
    [[nodiscard]] virtual std::unique_ptr<MidiOutPort> OpenMapper(int32_t sampleRate) = 0;
    // Opens host port index of HostPortNames; null when it cannot be opened.
    [[nodiscard]] virtual std::unique_ptr<MidiOutPort> OpenHostPort(size_t index) = 0;
};

// The ports of a player without a MIDI backend: no host ports, and a mapper that cannot be
// opened, so songs run their course in silence.
class NoMidiPorts final : public MidiPortProvider {
  public:
    [[nodiscard]] std::vector<std::string> HostPortNames() override { return {}; }
    [[nodiscard]] std::unique_ptr<MidiOutPort> OpenMapper(int32_t) override { return nullptr; }
    [[nodiscard]] std::unique_ptr<MidiOutPort> OpenHostPort(size_t) override { return nullptr; }
};

}  // namespace kivo
