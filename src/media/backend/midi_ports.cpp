#include "media/backend/midi_ports.h"

#include <iostream>

#include "base/error.h"
#include "media/backend/alsa_seq_port.h"
#include "media/backend/fluid_module.h"
#include "platform/shared_module.h"

namespace kivo {

BackendMidiPorts::BackendMidiPorts(std::string soundFont, bool hostPorts)
    : BackendMidiPorts(std::move(soundFont), hostPorts, SharedModule::ProgramModuleFolders(),
                       std::cerr) {}

BackendMidiPorts::BackendMidiPorts(std::string soundFont, bool hostPorts,
                                   std::vector<std::filesystem::path> moduleFolders,
                                   std::ostream& log)
    : soundFont_(std::move(soundFont)),
      moduleFolders_(std::move(moduleFolders)),
      log_(log),
      sequencer_(hostPorts ? AlsaSequencer::Open() : nullptr) {}

BackendMidiPorts::~BackendMidiPorts() = default;

std::vector<std::string> BackendMidiPorts::HostPortNames() {
    std::vector<std::string> names;
    if (!sequencer_) return names;
    for (AlsaSequencer::PortAddress& port : sequencer_->OutputPorts()) {
        names.push_back(std::move(port.name));
    }
    return names;
}

std::unique_ptr<MidiOutPort> BackendMidiPorts::OpenMapper(int32_t sampleRate) {
    if (synth_ == nullptr) {
        try {
            synth_ = &SharedModule::OpenTable<FluidSynthTable>(kFluidModuleFile, "MIDI music",
                                                               kFluidModuleEntry,
                                                               kFluidModuleVersion, moduleFolders_);
        } catch (const KivoError& error) {
            if (!moduleFailureReported_) log_ << "kivoplay: " << error.what() << '\n';
            moduleFailureReported_ = true;
            return nullptr;
        }
    }
    return synth_->openSynth(soundFont_, sampleRate);
}

std::unique_ptr<MidiOutPort> BackendMidiPorts::OpenHostPort(size_t index) {
    if (!sequencer_) return nullptr;
    // Listed again: ports come and go while the player runs.
    std::vector<AlsaSequencer::PortAddress> ports = sequencer_->OutputPorts();
    if (index >= ports.size()) return nullptr;
    return std::make_unique<AlsaSeqPort>(sequencer_, std::move(ports[index]));
}

}  // namespace kivo
