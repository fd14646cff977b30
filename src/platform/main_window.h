#pragma once
// The main window and its frame presentation: a toolbar dock on top of the scene panel. The
// scene composes into a 32-bit frame buffer (bytes B, G, R, X per pixel) and hands the changed
// rectangles to the presenter, which shows them in the panel.

#include <cstdint>
#include <span>
#include <string_view>

#include "base/frame_view.h"
#include "base/rect.h"

namespace kivo {

class MainWindow {
  public:
    virtual ~MainWindow() = default;

    // Sets the title bar text (UTF-8). Called by the shell at start-up once the project title
    // is known; rarely.
    virtual void SetTitle(std::string_view utf8Title) = 0;

    // Sizes the window so that its client area is the scene plus the toolbar dock above it,
    // centres it on the work area and shows it. Called by the shell once at start-up (and
    // again after a switch back from full screen).
    virtual void ShowWithSceneSize(int32_t sceneWidth, int32_t sceneHeight) = 0;

    // The height of the toolbar dock in pixels: the button height plus 4.
    [[nodiscard]] virtual int32_t DockHeight() const = 0;
};

class Presenter {
  public:
    virtual ~Presenter() = default;

    // Shows the dirty rectangles of frame (clipped to it) in the scene panel. The view is
    // borrowed for the call only. Called on the main thread by the shell at most once per
    // frame, after the scene has drawn; an empty rectangle list presents nothing new.
    virtual void Present(const FrameView& frame, std::span<const TRect> dirty) = 0;
};

}  // namespace kivo
