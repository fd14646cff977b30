#pragma once
// The desktop audio device: SDL2 audio pulling 16-bit samples from the player's mixer on
// SDL's audio thread.

#include <cstdint>

#include "platform/audio_output.h"

namespace kivo {

class SdlAudioOutput final : public AudioOutput {
  public:
    SdlAudioOutput() = default;
    ~SdlAudioOutput() override;
    SdlAudioOutput(const SdlAudioOutput&) = delete;
    SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

    [[nodiscard]] bool Open(const AudioFormat& format, AudioSource& source) override;
    void Close() override;
    void SetPaused(bool paused) override;
    void OnFrame(int32_t) override {}

  private:
    uint32_t device_ = 0;
    bool subsystem_ = false;
    AudioSource* source_ = nullptr;
};

}  // namespace kivo
