#include "platform/clock.h"

#include <ctime>

namespace kivo {

uint32_t SystemClock::NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    // Truncation to 32 bits is the point: readings wrap exactly like the original's.
    const uint64_t ms =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

void SystemClock::SleepMs(uint32_t ms) {
    timespec wanted{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
    // A signal (SIGINT sets the quit request) cuts the sleep short on purpose: the frame loop
    // then sees the request at once. The next frame measures its own delta, so nothing is lost.
    nanosleep(&wanted, nullptr);
}

}  // namespace kivo
