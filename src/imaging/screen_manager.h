#pragma once
// TScreenManager: puts the scene's frame buffer on the screen, in the window or full screen.
// It lists the display modes once, picks the one full screen would use, switches between the
// window and full screen, and presents only the areas that changed (the whole frame after a
// switch). The frame buffer itself is the scene root's: one 32-bit picture of the scene size,
// whatever the display; full screen is the desktop's own mode with the scene scaled into it, so
// the back buffer never changes with the mode.
//
// One instance exists, made by the shell's media start-up once the scene size is known and
// used on the main thread by the frame loop (Present), the full-screen switch and the scripts'
// display variables and functions.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "base/frame_view.h"
#include "base/rect.h"
#include "platform/display_device.h"
#include "platform/main_window.h"

namespace kivo {

class TScreenManager {
  public:
    // Mode values besides the indexes of the list.
    static constexpr int32_t kModeNone = -2;
    static constexpr int32_t kModeWindowed = -1;

    // Lists the device's modes of at least minWidth x minHeight and more than 15 bits and
    // chooses the full-screen mode: preferably of the preferred size, then of the desktop's
    // bit count, then of the lowest refresh rate. Starts windowed.
    TScreenManager(DisplayDevice& device, Presenter& presenter, int32_t minWidth, int32_t minHeight,
                   int32_t preferredWidth, int32_t preferredHeight);
    TScreenManager(const TScreenManager&) = delete;
    TScreenManager& operator=(const TScreenManager&) = delete;

    [[nodiscard]] int32_t ModeCount() const { return static_cast<int32_t>(modes_.size()); }
    // The mode of index, nullopt outside 0 .. ModeCount() - 1.
    [[nodiscard]] std::optional<DisplayMode> ModeAt(int32_t index) const;
    [[nodiscard]] bool ValidMode(int32_t index) const { return index >= 0 && index < ModeCount(); }
    // The mode full screen uses, -1 when no mode suits.
    [[nodiscard]] int32_t ChosenMode() const { return chosenMode_; }
    // Records another mode for full screen; an index outside the list is ignored.
    void SetChosenMode(int32_t index);

    // -2 released, -1 windowed, an index while full screen.
    [[nodiscard]] int32_t Mode() const { return mode_; }
    [[nodiscard]] bool FullScreen() const { return mode_ >= 0; }
    // Windowed for -1, full screen in the listed mode of that index. An index outside the list
    // gives the window. Full screen the device refuses falls back to the window too.
    void SetMode(int32_t mode);
    // Lets go of the screen before the window changes between windowed and full screen;
    // nothing is presented until the next SetMode.
    void Release();

    // Shows the rectangles of the frame that changed; after a mode change the whole frame.
    // Called once per drawn frame.
    void Present(const FrameView& frame, std::span<const TRect> dirty);

  private:
    void ListModes(std::span<const DisplayMode> reported, int32_t desktopBitCount);
    [[nodiscard]] bool Preferred(const DisplayMode& mode) const;
    void Build();

    DisplayDevice& device_;
    Presenter& presenter_;
    std::vector<DisplayMode> modes_;
    int32_t mode_ = kModeNone;
    int32_t minWidth_;
    int32_t minHeight_;
    int32_t preferredWidth_;
    int32_t preferredHeight_;
    int32_t chosenMode_ = -1;
    bool wholeFrameDue_ = true;
};

}  // namespace kivo
