#pragma once
// What the scene root asks of the window around it: the pointer's cursor, moving the pointer,
// and the full-screen state and display modes scripts read and choose. The shell implements it
// (the screen manager answers the display questions); a scene without a window answers the
// display questions with a windowed player and no modes, and shows no cursor.
//
// All calls come from the scene root on the main thread, during the input pass or while a
// script reads or writes a system variable.

#include <cstdint>
#include <string_view>

namespace kivo {

class SceneWindow {
  public:
    virtual ~SceneWindow() = default;

    // Shows the cursor loaded from that virtual file over the scene, or the standard arrow for
    // an empty name. Called only when the cursor to show changes, so a file that cannot be
    // loaded is not tried again every frame.
    virtual void ShowCursor(std::string_view fileName) = 0;
    // Moves the system pointer to (x, y) in scene pixels.
    virtual void MovePointer(int32_t x, int32_t y) = 0;

    [[nodiscard]] virtual bool FullScreen() const = 0;
    virtual void SetFullScreen(bool fullScreen) = 0;
    [[nodiscard]] virtual int32_t DisplayModeCount() const = 0;
    // The mode used for full screen, -1 when none is chosen.
    [[nodiscard]] virtual int32_t DisplayModeIndex() const = 0;
    // index is always within 0 .. DisplayModeCount() - 1; the scene drops other values.
    virtual void SetDisplayModeIndex(int32_t index) = 0;
};

}  // namespace kivo
