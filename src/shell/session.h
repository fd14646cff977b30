#pragma once
// One run of the player from start-up to shutdown: the program's message loop around
// TFormView, the frame count of --frames, the observations of an input script taken after the
// frames they name, and the outputs written at exit (the variable dump before the variable
// table is freed, the scene dump before the scene is freed, the screenshot of the last
// presented frame). The platform's own part of a run (where events come from, how the last
// frame is read back) is a SessionDriver, implemented beside each platform by the program.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "shell/input_script.h"
#include "shell/player.h"

namespace kivo {

struct SessionOptions {
    std::optional<int64_t> frames;  // close normally after this many frame steps
    std::filesystem::path dumpVarsFile;
    std::filesystem::path dumpSceneFile;
    std::filesystem::path screenshotFile;
    std::vector<Observation> observations;  // sorted by frame
};

// What differs between a desktop and a headless run. Called on the main thread by RunSession.
class SessionDriver {
  public:
    virtual ~SessionDriver() = default;

    // Called once before start-up (scripted answers for start-up messages go in here).
    virtual void BeforeStartup() = 0;
    // Called before each pass of the loop, with the frame steps run so far, before the pending
    // window events are handled.
    virtual void BeforePass(int64_t frame) = 0;
    // Called after the pending window events were handled, right before the idle handler.
    virtual void BeforeIdle() = 0;
    // True for a headless run: every pass is a frame step, and nothing ever waits.
    [[nodiscard]] virtual bool Headless() const = 0;
    // The last presented picture (B, G, R, X); false when nothing was presented.
    [[nodiscard]] virtual bool Capture(std::vector<uint32_t>& pixels, int32_t& width,
                                       int32_t& height) = 0;
};

// Runs start-up, the loop and shutdown. Returns the process status: 0 after a normal run,
// 1 when start-up failed (its message has been shown), 2 when an output could not be written
// (the message is on stderr).
[[nodiscard]] int RunSession(Player& player, const SessionOptions& options, SessionDriver& driver);

// Writes pixels (B, G, R, X rows) as a PNG file; raises KivoError naming the file on failure.
void WriteScreenshot(const std::filesystem::path& path, const std::vector<uint32_t>& pixels,
                     int32_t width, int32_t height);

}  // namespace kivo
