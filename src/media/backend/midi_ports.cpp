#include "media/backend/midi_ports.h"

#include "media/backend/alsa_seq_port.h"
#include "media/backend/fluid_synth_port.h"

namespace kivo {

BackendMidiPorts::BackendMidiPorts(std::string soundFont, bool hostPorts)
    : soundFont_(std::move(soundFont)), sequencer_(hostPorts ? AlsaSequencer::Open() : nullptr) {}

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
    return FluidSynthPort::Open(soundFont_, sampleRate);
}

std::unique_ptr<MidiOutPort> BackendMidiPorts::OpenHostPort(size_t index) {
    if (!sequencer_) return nullptr;
    // Listed again: ports come and go while the player runs.
    std::vector<AlsaSequencer::PortAddress> ports = sequencer_->OutputPorts();
    if (index >= ports.size()) return nullptr;
    return std::make_unique<AlsaSeqPort>(sequencer_, std::move(ports[index]));
}

}  // namespace kivo
