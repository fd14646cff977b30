#pragma once
// The values the shell keeps for the whole run and every layer reads: the game clock and
// frame timing, the pacing settings, the sound settings read from game.ini and the quit
// request. One instance lives in the shell's Player context and is passed down by reference;
// there is no global copy, so tests can run any number of players in one process.

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

namespace kivo {

struct PlayerState {
    bool quitRequest = false;
    int32_t gameClock = 0;       // sum of all accepted frame deltas, ms
    int32_t frameDelta = 0;      // ms of the last accepted tick; animations step by it
    uint32_t lastTick = 0;       // clock reading of the last accepted tick
    int32_t frameCounter = 0;    // interpreted frames (@UpdateCount)
    int32_t frameInterval = 16;  // pacing target of one frame, ms
    int32_t skipDivisor = 1;     // only every n-th interpreted frame is drawn
    bool directSound = true;     // game.ini [Sound] DirectSound
    int32_t soundDelay = 500;    // game.ini [Sound] DelayTime, wave output buffer length
    std::string soundFont;       // game.ini [Sound] SoundFont: the MIDI mapper's, empty: default
    bool oggThreading = true;
    bool smoothScaling = false;  // game.ini [Screen] Smooth: linear scaling of the scene
    std::vector<std::string> pendingExitDeletions;  // host paths deleted when the process ends

    // Raised asynchronously by SIGINT or SIGTERM (the platform layer owns the flag); null when
    // no handler is installed. Loops that may run long test QuitRequested, not quitRequest
    // alone, so that a script stuck in an endless loop can still be stopped.
    const volatile std::sig_atomic_t* quitSignal = nullptr;

    [[nodiscard]] bool QuitRequested() const noexcept {
        return quitRequest || (quitSignal != nullptr && *quitSignal != 0);
    }
};

}  // namespace kivo
