#pragma once
// The session driver of headless runs: activates the window at the first frame, applies the
// scripted input of each frame and advances the clock by frameMs per frame, after the input,
// so that the activation at the first frame measures the first frame's delta from its own
// reading. The screenshot is the last frame the memory screen was given.

#include <cstdint>
#include <vector>

#include "platform/headless/headless_platform.h"
#include "shell/input_script.h"
#include "shell/session.h"

namespace kivo {

class HeadlessDriver final : public SessionDriver {
  public:
    HeadlessDriver(HeadlessPlatform& platform, std::vector<ScriptedInput> script, int32_t frameMs);
    // Queues the dialog answers of frame 0. The program calls it early, for the game folder
    // chooser; the session's call then finds nothing more to queue.
    void BeforeStartup() override;
    void BeforePass(int64_t frame) override;
    void BeforeIdle() override;
    [[nodiscard]] bool Headless() const override { return true; }
    [[nodiscard]] bool Capture(std::vector<uint32_t>& pixels, int32_t& width,
                               int32_t& height) override;

  private:
    HeadlessPlatform& platform_;
    std::vector<ScriptedInput> script_;
    size_t next_ = 0;
    int32_t frameMs_;
};

}  // namespace kivo
