#pragma once
// The audio device: one interleaved 16-bit stream that the player's mixer fills.

#include <cstddef>
#include <cstdint>

namespace kivo {

struct AudioFormat {
    int32_t sampleRate = 44100;
    int32_t channels = 2;
};

class AudioSource {
  public:
    virtual ~AudioSource() = default;

    // Fills frames sample frames (frames * channels interleaved int16 values) into out. Called
    // by the output whenever it needs data: on the device's own thread on the desktop (so the
    // source guards its state with its own lock), on the main thread in headless runs. Must
    // not block; silence when nothing plays.
    virtual void Render(int16_t* out, size_t frames) = 0;
};

class AudioOutput {
  public:
    virtual ~AudioOutput() = default;

    // Starts pulling from source in the given format; the source must outlive the output or
    // the next Close. Returns false when no device could be opened (the player then runs
    // silent). Called once on the main thread at start-up.
    [[nodiscard]] virtual bool Open(const AudioFormat& format, AudioSource& source) = 0;

    // Stops pulling; after it returns the source is never called again. Idempotent.
    virtual void Close() = 0;

    // Pauses or resumes pulling, when the window loses or regains the focus.
    virtual void SetPaused(bool paused) = 0;

    // Called by the shell once per frame with the frame delta. A device that runs on its own
    // clock ignores it; the headless sink consumes exactly that much game time of samples.
    virtual void OnFrame(int32_t frameDeltaMs) = 0;
};

}  // namespace kivo
