#include "media/mm_timer.h"

namespace kivo {

TMMTimer::TMMTimer(Clock& clock, uint32_t intervalMs, std::function<void()> callback)
    : clock_(clock), callback_(std::move(callback)), interval_(intervalMs) {
    thread_ = std::thread([this] { Run(); });
}

TMMTimer::~TMMTimer() {
    {
        std::lock_guard guard(lock_);
        terminated_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void TMMTimer::SetEnabled(bool enabled) {
    {
        std::lock_guard guard(lock_);
        enabled_ = enabled;
    }
    changed_.notify_all();
}

bool TMMTimer::IsEnabled() const {
    std::lock_guard guard(lock_);
    return enabled_;
}

void TMMTimer::SetInterval(uint32_t intervalMs) {
    std::lock_guard guard(lock_);
    interval_ = intervalMs;
}

void TMMTimer::Hold() {
    std::unique_lock guard(lock_);
    held_ = true;
    changed_.wait(guard, [this] { return !running_; });
}

void TMMTimer::Release() {
    std::lock_guard guard(lock_);
    held_ = false;
}

void TMMTimer::Run() {
    std::unique_lock guard(lock_);
    while (true) {
        // A disabled timer waits for a change instead of waking every interval.
        changed_.wait(guard, [this] { return terminated_ || enabled_; });
        if (terminated_) return;
        const uint32_t interval = interval_;
        guard.unlock();
        clock_.SleepMs(interval);
        guard.lock();
        if (terminated_) return;
        if (!enabled_ || held_) continue;
        running_ = true;
        guard.unlock();
        callback_();
        guard.lock();
        running_ = false;
        changed_.notify_all();
    }
}

}  // namespace kivo
