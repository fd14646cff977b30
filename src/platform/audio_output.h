#pragma once
// The audio device: one interleaved 16-bit stream pulled from a source. The shell opens the
// output once at start-up with a silent source; the media layer later hands it its mixer with
// SetSource, and hands the silence back before the mixer goes.

#include <cstddef>
#include <cstdint>

namespace kivo {

struct AudioFormat {
    int32_t sampleRate = 44100;
    // Every sink pulls this many interleaved channels; the shell opens with 2.
    int32_t channels = 2;
    // The wave output's buffer length in milliseconds (game.ini "DelayTime", 100 to 500): how
    // far ahead the mixer renders. The device keeps its own, shorter buffer.
    int32_t bufferMs = 500;
};

class AudioSource {
  public:
    virtual ~AudioSource() = default;

    // Fills frames sample frames (frames * channels interleaved int16 values) into out. Called
    // by the output whenever it needs data: on the device's own thread on the desktop (so the
    // source guards its state with its own lock), on the main thread in headless runs. Must
    // not block; silence when nothing plays.
    virtual void Render(int16_t* out, size_t frames, int32_t channels) = 0;
};

// For sources that mix in stereo: renders source (asked for 2 channels) into an output of
// another channel count. Mono takes the mean of left and right; more channels get left and
// right, then silence. Allocates nothing, so it may run on the device's thread.
void RenderStereoAs(AudioSource& source, int16_t* out, size_t frames, int32_t channels);

class AudioOutput {
  public:
    virtual ~AudioOutput() = default;

    // Starts pulling from source in the given format; the source must outlive the output or
    // the next Close or SetSource. Returns false when no device could be opened (the player
    // then runs silent; the output says so once on stderr); an output that opens its device
    // in the background returns true and says so only on stderr. Called once on the main
    // thread at start-up.
    [[nodiscard]] virtual bool Open(const AudioFormat& format, AudioSource& source) = 0;

    // Pulls from source from now on. Safe against the pulling thread: once it returns, the
    // previous source is never called again, so its owner may free it. Called on the main
    // thread when the media layer installs its mixer and again when it removes it.
    virtual void SetSource(AudioSource& source) = 0;

    // The format asked for at Open (the defaults before).
    [[nodiscard]] virtual AudioFormat Format() const = 0;

    // Stops pulling; after it returns the source is never called again. Idempotent.
    virtual void Close() = 0;

    // Pauses or resumes pulling, when the window loses or regains the focus.
    virtual void SetPaused(bool paused) = 0;

    // Called by the shell once per frame with the frame delta. A device that runs on its own
    // clock ignores it; the headless sink consumes exactly that much game time of samples.
    virtual void OnFrame(int32_t frameDeltaMs) = 0;
};

}  // namespace kivo
