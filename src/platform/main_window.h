#pragma once
// The main window and its frame presentation: a toolbar dock on top of the scene panel. The
// scene composes into a 32-bit frame buffer (bytes B, G, R, X per pixel) and hands the changed
// rectangles to the presenter, which shows them in the panel.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/frame_view.h"
#include "base/rect.h"

namespace kivo {

// What the dock's menu offers of the player's own comforts (games know nothing of them); each
// reaches the shell as an InputKind::ComfortMenu event.
enum class ComfortAction {
    ToggleFullScreen,
    SaveState,  // slot 1 ... 9 in the event's x
    LoadState,  // likewise
    ToggleFastForward,
    Screenshot,
    ToggleMute,
    VolumeUp,
    VolumeDown,
};

// The comforts as the dock shows them.
struct ComfortStatus {
    bool fastForward = false;
    bool muted = false;
    int32_t volumePercent = 100;
    // When each save state was taken ("2026-12-10 21:30"), empty for a free slot.
    std::array<std::string, 9> stateTimes;
};

// Short notices the dock shows for a moment after a comfort acted; the window words them in
// the user's language. value is the slot or the volume in percent where one applies.
enum class ComfortNotice {
    StateSaved,
    StateLoaded,
    StateFailed,  // not saved or not restored; the reason went to stderr
    ScreenshotSaved,
    ScreenshotFailed,
    Volume,
    Muted,
    FastForwardOn,
    FastForwardOff,
};

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

    // The state of the comforts for the dock's menu and its fast-forward mark. Called by the
    // shell at start-up and whenever one changes; a window without a menu ignores it.
    virtual void ShowComforts(const ComfortStatus& status) { (void)status; }
    // Shows a notice in the dock for a moment. Called by the shell after a comfort acted.
    virtual void Notify(ComfortNotice notice, int32_t value) {
        (void)notice;
        (void)value;
    }
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
