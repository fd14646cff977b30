#pragma once
// The mapper port: a FluidSynth synthesizer with no audio driver of its own, rendered into the
// player's mix by the sequencer, piece by piece between messages.

#include <memory>
#include <string>
#include <vector>

#include "media/midi_out_port.h"

namespace kivo {

class FluidSynthPort final : public MidiOutPort {
  public:
    // Loads soundFont into a synthesizer running at sampleRate; null when either fails.
    [[nodiscard]] static std::unique_ptr<FluidSynthPort> Open(const std::string& soundFont,
                                                              int32_t sampleRate);
    ~FluidSynthPort() override;
    FluidSynthPort(const FluidSynthPort&) = delete;
    FluidSynthPort& operator=(const FluidSynthPort&) = delete;

    void SendShort(std::span<const uint8_t> message) override;
    void SendLong(std::span<const uint8_t> message) override;
    void Reset() override;
    [[nodiscard]] bool RendersAudio() const override { return true; }
    void Render(int16_t* out, size_t frames) override;
    [[nodiscard]] int32_t LeadFrames() const override { return leadFrames_; }

  private:
    struct Synth;
    explicit FluidSynthPort(std::unique_ptr<Synth> synth);

    std::unique_ptr<Synth> synth_;
    std::vector<float> mix_;  // interleaved float frames of one rendering step
    int32_t leadFrames_ = 0;
};

}  // namespace kivo
