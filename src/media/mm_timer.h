#pragma once
// A periodic worker thread: calls its callback every interval while enabled. The MIDI
// sequencer ticks a host port's song from it, and the wave output runs its pump on it.
//
// The thread sleeps through the injected clock, so the pace is the platform's; Hold lets a
// control operation on another thread wait until no call is running and none starts before
// Release. Hold waits on a condition variable for the running call to return, never with a
// polling loop or a time limit.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/clock.h"

namespace kivo {

class TMMTimer {
  public:
    // The thread starts at once, disabled. clock.SleepMs is called from the timer's own
    // thread, so the clock must allow that (the system clock does).
    TMMTimer(Clock& clock, uint32_t intervalMs, std::function<void()> callback);
    // Ends the thread and waits for it: at most one interval plus a running call. Must not be
    // called while holding a lock that the callback takes.
    ~TMMTimer();
    TMMTimer(const TMMTimer&) = delete;
    TMMTimer& operator=(const TMMTimer&) = delete;

    void SetEnabled(bool enabled);
    [[nodiscard]] bool IsEnabled() const;
    void SetInterval(uint32_t intervalMs);

    // After Hold returns, the callback is not running and does not start until Release. Must
    // not be called from the callback or while holding a lock the callback takes.
    void Hold();
    void Release();

  private:
    void Run();

    Clock& clock_;
    std::function<void()> callback_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    uint32_t interval_;
    bool enabled_ = false;
    bool held_ = false;
    bool running_ = false;  // the callback is being called
    bool terminated_ = false;
    std::thread thread_;
};

// Holds a timer for a scope; does nothing for a null timer.
class TimerHold {
  public:
    explicit TimerHold(TMMTimer* timer) : timer_(timer) {
        if (timer_) timer_->Hold();
    }
    ~TimerHold() {
        if (timer_) timer_->Release();
    }
    TimerHold(const TimerHold&) = delete;
    TimerHold& operator=(const TimerHold&) = delete;

  private:
    TMMTimer* timer_;
};

}  // namespace kivo
