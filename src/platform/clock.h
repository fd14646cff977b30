#pragma once
// The frame clock: millisecond readings and sleeping, as the frame loop and the media layer use
// them. Readings are unsigned 32-bit milliseconds that wrap after about 49.7 days, so callers
// always measure with unsigned subtraction (now - then), which stays right across the wrap.

#include <cstdint>

namespace kivo {

class Clock {
  public:
    virtual ~Clock() = default;

    // A monotonic reading in milliseconds. Called on the main thread, two or three times per
    // frame by the frame loop; cheap.
    [[nodiscard]] virtual uint32_t NowMs() = 0;

    // Blocks the calling thread for about ms milliseconds. Called at most once per frame by the
    // frame loop's pacing, and by the media layer's timer threads (the MIDI sequencer's tick for
    // host ports, the wave output's pump) on desktop runs, so the system clock allows any
    // thread. A headless clock returns at once.
    virtual void SleepMs(uint32_t ms) = 0;
};

// The host's monotonic clock: CLOCK_MONOTONIC truncated to 32 bits, nanosleep for sleeping.
class SystemClock final : public Clock {
  public:
    [[nodiscard]] uint32_t NowMs() override;
    void SleepMs(uint32_t ms) override;
};

}  // namespace kivo
