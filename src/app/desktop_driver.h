#pragma once
// The session driver of the desktop player: the window brings its own events and clock; the
// screenshot is the window's client area as shown, toolbar included.

#include "platform/desktop/sdl_window.h"
#include "shell/session.h"

namespace kivo {

class DesktopDriver final : public SessionDriver {
  public:
    explicit DesktopDriver(SdlWindow& window) : window_(window) {}
    void BeforeStartup() override {}
    void BeforePass(int64_t) override {}
    void BeforeIdle() override {}
    [[nodiscard]] bool Headless() const override { return false; }
    [[nodiscard]] bool Capture(std::vector<uint32_t>& pixels, int32_t& width,
                               int32_t& height) override {
        pixels = window_.CaptureClientArea(width, height);
        return !pixels.empty();
    }

  private:
    SdlWindow& window_;
};

}  // namespace kivo
