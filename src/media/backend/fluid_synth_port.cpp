#include "media/backend/fluid_synth_port.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>

namespace kivo {

namespace {

constexpr size_t kStepFrames = 1024;

}  // namespace

struct FluidSynthPort::Synth {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;

    ~Synth() {
        if (synth) delete_fluid_synth(synth);
        if (settings) delete_fluid_settings(settings);
    }
};

std::unique_ptr<FluidSynthPort> FluidSynthPort::Open(const std::string& soundFont,
                                                     int32_t sampleRate) {
    auto synth = std::make_unique<Synth>();
    synth->settings = new_fluid_settings();
    if (!synth->settings) return nullptr;
    fluid_settings_setnum(synth->settings, "synth.sample-rate", sampleRate);
    // Every call comes from the sequencer under its player lock, so the synthesizer's own
    // locking would only cost time.
    fluid_settings_setint(synth->settings, "synth.threadsafe-api", 0);
    synth->synth = new_fluid_synth(synth->settings);
    if (!synth->synth) return nullptr;
    if (fluid_synth_sfload(synth->synth, soundFont.c_str(), 1) == FLUID_FAILED) return nullptr;
    return std::unique_ptr<FluidSynthPort>(new FluidSynthPort(std::move(synth)));
}

FluidSynthPort::FluidSynthPort(std::unique_ptr<Synth> synth)
    : synth_(std::move(synth)),
      mix_(kStepFrames * 2),
      leadFrames_(fluid_synth_get_internal_bufsize(synth_->synth) / 2) {}

FluidSynthPort::~FluidSynthPort() = default;

void FluidSynthPort::SendShort(std::span<const uint8_t> message) {
    if (message.size() < 2) return;
    fluid_synth_t* s = synth_->synth;
    const int channel = message[0] & 15;
    const int d1 = message[1];
    const int d2 = message.size() > 2 ? message[2] : 0;
    switch (message[0] & 0xF0) {
        case 0x80:
            fluid_synth_noteoff(s, channel, d1);
            break;
        case 0x90:
            fluid_synth_noteon(s, channel, d1, d2);
            break;  // velocity 0 is a note-off
        case 0xA0:
            fluid_synth_key_pressure(s, channel, d1, d2);
            break;
        case 0xB0:
            fluid_synth_cc(s, channel, d1, d2);
            break;
        case 0xC0:
            fluid_synth_program_change(s, channel, d1);
            break;
        case 0xD0:
            fluid_synth_channel_pressure(s, channel, d1);
            break;
        case 0xE0:
            fluid_synth_pitch_bend(s, channel, d1 | d2 << 7);
            break;
        default:
            break;
    }
}

void FluidSynthPort::SendLong(std::span<const uint8_t> message) {
    // The synthesizer takes the bytes between F0 and F7; escaped (F7) packets mean nothing
    // to it.
    if (message.size() < 2 || message[0] != 0xF0) return;
    std::span<const uint8_t> body = message.subspan(1);
    if (!body.empty() && body.back() == 0xF7) body = body.first(body.size() - 1);
    fluid_synth_sysex(synth_->synth, reinterpret_cast<const char*>(body.data()),
                      static_cast<int>(body.size()), nullptr, nullptr, nullptr, 0);
}

void FluidSynthPort::Reset() {
    fluid_synth_all_sounds_off(synth_->synth, -1);
}

void FluidSynthPort::Render(int16_t* out, size_t frames) {
    // Rendered as floats and rounded here: the synthesizer's own 16-bit output adds dither
    // noise, which would make silence not silent.
    while (frames > 0) {
        const size_t step = std::min(frames, kStepFrames);
        fluid_synth_write_float(synth_->synth, static_cast<int>(step), mix_.data(), 0, 2,
                                mix_.data(), 1, 2);
        for (size_t i = 0; i < step * 2; ++i) {
            const float scaled = std::clamp(mix_[i] * 32768.0f, -32768.0f, 32767.0f);
            out[i] = static_cast<int16_t>(std::lrint(scaled));
        }
        out += step * 2;
        frames -= step;
    }
}

}  // namespace kivo
