#pragma once
// The window as the scene root and the scripts see it: the pointer's picture and position, full
// screen and the display modes, answered through the player's screen manager and display
// device; and for the screen functions, the desktop background and the game's folders. The frame
// loop's toolbar button "画面切替" and the scripts' @FullScr and
// @DisplayModeIndex all switch through here, on the main thread.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/display_device.h"
#include "scene/scene_window.h"
#include "script/screen_port.h"

namespace kivo {

class Player;

// The colour pointer of a cursor file (.cur, or an .ico used as one); nullopt when the bytes
// are no picture we can read. source names the file in errors.
[[nodiscard]] std::optional<CursorImage> DecodeCursor(std::span<const uint8_t> bytes,
                                                      const std::string& source);

class PlayerScreen final : public SceneWindow, public ScreenPort {
  public:
    explicit PlayerScreen(Player& player) : player_(player) {}

    // Loads the cursor file through the game's files; a missing or unreadable file shows the
    // arrow (the scene asks again only when the wanted cursor changes).
    void ShowCursor(std::string_view fileName) override;
    void MovePointer(int32_t x, int32_t y) override;

    [[nodiscard]] bool FullScreen() const override;
    // Switches between the window and full screen in the chosen mode; without a screen
    // manager or a suitable mode the window stays as it is.
    void SetFullScreen(bool fullScreen) override;
    [[nodiscard]] int32_t DisplayModeCount() const override;
    [[nodiscard]] int32_t DisplayModeIndex() const override;
    // Records the mode and, in full screen, switches to it.
    void SetDisplayModeIndex(int32_t index) override;

    // ---- ScreenPort ----

    [[nodiscard]] std::optional<DisplayMode> DisplayModeAt(int32_t index) const override;
    bool LoadPicture(std::string_view name, TDIBSurface& picture) override;
    [[nodiscard]] bool SetWallPaper(std::span<const uint8_t> bitmapFile, int32_t mode) override;
    // The files' loose-file folder when it exists as a folder.
    [[nodiscard]] std::filesystem::path LooseFolder() const override;
    // The loose-file folder when the player may write there, else the save folder (made when
    // missing), which the game's files then search first.
    [[nodiscard]] std::filesystem::path WriteFolder() override;
    void StoreMemoryEntry(std::string_view name, std::vector<uint8_t> bytes) override;
    // Drops the name from the files' content cache and the scene's image cache.
    void ForgetPicture(std::string_view name) override;

  private:
    Player& player_;
};

}  // namespace kivo
