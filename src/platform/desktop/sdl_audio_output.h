#pragma once
// The desktop audio device: SDL2 audio pulling 16-bit samples from the player's source on
// SDL's audio thread. Without a usable device the player runs silent after one line on stderr;
// the sound system's own complaints (ALSA's, when there is no sound card) are kept off the
// terminal.

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
    void SetSource(AudioSource& source) override;
    [[nodiscard]] AudioFormat Format() const override { return format_; }
    void Close() override;
    void SetPaused(bool paused) override;
    void OnFrame(int32_t) override {}

  private:
    static void Pull(void* self, uint8_t* stream, int length);

    uint32_t device_ = 0;
    bool subsystem_ = false;
    AudioFormat format_;
    AudioSource* source_ = nullptr;  // read by the audio thread under SDL's device lock
};

}  // namespace kivo
