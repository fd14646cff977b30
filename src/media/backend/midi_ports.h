#pragma once
// The player's MIDI ports: the FluidSynth mapper, then the ALSA sequencer's output ports.

#include <memory>
#include <string>

#include "media/midi_out_port.h"

namespace kivo {

class AlsaSequencer;

// The SoundFont the mapper plays with unless the player is told otherwise.
inline constexpr const char* kDefaultSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

class BackendMidiPorts final : public MidiPortProvider {
  public:
    // hostPorts: list and open the host's sequencer ports (desktop runs). Headless runs pass
    // false, so their port list is the mapper alone whatever the host has.
    BackendMidiPorts(std::string soundFont, bool hostPorts);
    ~BackendMidiPorts() override;

    [[nodiscard]] std::vector<std::string> HostPortNames() override;
    [[nodiscard]] std::unique_ptr<MidiOutPort> OpenMapper(int32_t sampleRate) override;
    [[nodiscard]] std::unique_ptr<MidiOutPort> OpenHostPort(size_t index) override;

  private:
    std::string soundFont_;
    std::shared_ptr<AlsaSequencer> sequencer_;  // null without host ports
};

}  // namespace kivo
