#pragma once
// The player's MIDI ports: the FluidSynth mapper, then the ALSA sequencer's output ports. The
// synthesizer lives in its own module, opened when the mapper is first opened.

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "media/midi_out_port.h"

namespace kivo {

class AlsaSequencer;
struct FluidSynthTable;

// The SoundFont the mapper plays with unless the player is told otherwise.
inline constexpr const char* kDefaultSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

class BackendMidiPorts final : public MidiPortProvider {
  public:
    // hostPorts: list and open the host's sequencer ports (desktop runs). Headless runs pass
    // false, so their port list is the mapper alone whatever the host has.
    // The synthesizer module is looked for in the program's module folders; a module that
    // cannot be opened is reported on stderr.
    BackendMidiPorts(std::string soundFont, bool hostPorts);
    BackendMidiPorts(std::string soundFont, bool hostPorts,
                     std::vector<std::filesystem::path> moduleFolders, std::ostream& log);
    ~BackendMidiPorts() override;

    [[nodiscard]] std::vector<std::string> HostPortNames() override;
    // Null when the SoundFont or the synthesizer module cannot be loaded: the song then plays
    // silent, as it does without a SoundFont, rather than ending the game. A missing module is
    // reported on log once, naming it; the next call tries again.
    [[nodiscard]] std::unique_ptr<MidiOutPort> OpenMapper(int32_t sampleRate) override;
    [[nodiscard]] std::unique_ptr<MidiOutPort> OpenHostPort(size_t index) override;

  private:
    std::string soundFont_;
    std::vector<std::filesystem::path> moduleFolders_;
    const FluidSynthTable* synth_ = nullptr;  // the module's table once opened
    std::ostream& log_;
    bool moduleFailureReported_ = false;
    std::shared_ptr<AlsaSequencer> sequencer_;  // null without host ports
};

}  // namespace kivo
