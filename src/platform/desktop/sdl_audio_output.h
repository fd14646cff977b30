#pragma once
// The desktop audio device: SDL2 audio pulling 16-bit samples from the player's source on
// SDL's audio thread. Without a usable device the player runs silent after one line on stderr;
// the sound system's own complaints (ALSA's, when there is no sound card) are kept off the
// terminal.
//
// The device is opened on a thread of its own: asking the sound server (or finding there is
// none) takes tens of milliseconds that the first frame need not wait for. Until it is open the
// source is only remembered, so a game's first sounds start a little later, not elsewhere.

#include <cstdint>
#include <mutex>
#include <thread>

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
    // Runs on opener_: opens the device and starts it unless the player paused meanwhile.
    void OpenDevice();
    // Waits until the device is open or known to be missing.
    void FinishOpening();

    std::thread opener_;
    // Guards device_, subsystem_ and paused_ between the opener and the main thread, and
    // source_ while there is no device to lock.
    std::mutex mutex_;
    uint32_t device_ = 0;
    bool subsystem_ = false;
    bool paused_ = false;
    AudioFormat format_;
    AudioSource* source_ = nullptr;  // read by the audio thread under SDL's device lock
};

}  // namespace kivo
