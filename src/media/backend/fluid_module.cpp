#include "media/backend/fluid_module.h"

#include "media/backend/fluid_synth_port.h"

namespace {

std::unique_ptr<kivo::MidiOutPort> OpenSynth(const std::string& soundFont, int32_t sampleRate) {
    return kivo::FluidSynthPort::Open(soundFont, sampleRate);
}

}  // namespace

const kivo::FluidSynthTable* kivo_fluid_synth() {
    static const kivo::FluidSynthTable table{kivo::kFluidModuleVersion, OpenSynth};
    return &table;
}
