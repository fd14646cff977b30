#pragma once
// The entry of the synthesizer module (kivo_fluid.so): the mapper's FluidSynth port, which the
// player opens when the first MIDI song plays. Runs without MIDI music never load it.

#include <cstdint>
#include <memory>
#include <string>

#include "media/midi_out_port.h"

namespace kivo {

inline constexpr const char* kFluidModuleFile = "kivo_fluid.so";
inline constexpr const char* kFluidModuleEntry = "kivo_fluid_synth";
// Raised whenever the table below changes, so a stale module left from another build is
// refused by name instead of being called with the wrong layout.
inline constexpr uint32_t kFluidModuleVersion = 1;

struct FluidSynthTable {
    uint32_t version;
    // Loads soundFont into a synthesizer rendering at sampleRate; null when either fails.
    std::unique_ptr<MidiOutPort> (*openSynth)(const std::string& soundFont, int32_t sampleRate);
};

}  // namespace kivo

extern "C" {
// The module's one export.
const kivo::FluidSynthTable* kivo_fluid_synth();
}
