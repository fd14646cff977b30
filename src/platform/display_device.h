#pragma once
// The monitor under the main window and how the scene is shown on it: the display modes the
// host reports, desktop full screen, the scaling filter, and the pointer's shape. Full screen
// covers the monitor with the window at the monitor's own resolution and scales the scene into
// it with black bars; the monitor's real mode is never changed, so a chosen display mode is a
// record of the game's wish, not a switch of the hardware.
//
// All calls come from the shell on the main thread: the modes once at start-up, the rest when
// a script or the toolbar asks for them (rarely, never per frame).

#include <cstdint>
#include <vector>

namespace kivo {

struct DisplayMode {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitCount = 0;
    int32_t refreshRate = 0;  // Hz, 0 when the host does not say

    friend bool operator==(const DisplayMode&, const DisplayMode&) = default;
};

// A colour pointer picture: rows of width x height pixels 0xAARRGGBB (straight alpha) and the
// hot spot, the pixel that points.
struct CursorImage {
    int32_t width = 0;
    int32_t height = 0;
    int32_t hotX = 0;
    int32_t hotY = 0;
    std::vector<uint32_t> pixels;
};

class DisplayDevice {
  public:
    virtual ~DisplayDevice() = default;

    // Every mode of the display the window is on, as the host reports them (unfiltered, in
    // its order), and the bit count of the desktop's own mode.
    [[nodiscard]] virtual std::vector<DisplayMode> Modes() = 0;
    [[nodiscard]] virtual int32_t DesktopBitCount() = 0;

    // Covers the monitor with the window, or gives the window back its border and size.
    // Returns whether the window is now in the state asked for.
    [[nodiscard]] virtual bool SetFullScreen(bool fullScreen) = 0;
    // Nearest-pixel scaling (sharp, the default) or linear scaling (smooth).
    virtual void SetSmoothScaling(bool smooth) = 0;

    // Shows the picture as the pointer over the scene, or the standard arrow for null. The
    // picture is copied.
    virtual void ShowCursor(const CursorImage* image) = 0;
    // Moves the pointer to (x, y) in scene pixels.
    virtual void MovePointer(int32_t x, int32_t y) = 0;
};

}  // namespace kivo
