#pragma once
// What the screen functions (GetDisplayMode, SetWallPaper, SaveScreen) reach beyond the scene:
// the screen manager's display modes, the desktop background, the game's loose-file folder and
// memory entries, and the caches that must forget a picture a script rewrote. The shell
// implements it; a context without one (tests of other families) makes those functions answer
// false.
//
// Called on the main thread by the interpreter while a function runs.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "imaging/dib_surface.h"
#include "platform/display_device.h"

namespace kivo {

class ScreenPort {
  public:
    virtual ~ScreenPort() = default;

    // The listed display mode of index, nullopt outside the list or without a screen.
    [[nodiscard]] virtual std::optional<DisplayMode> DisplayModeAt(int32_t index) const = 0;

    // The first frame of a picture file of the game (GAL, PNG or BMP) as a bitmap; false when
    // it cannot be read.
    virtual bool LoadPicture(std::string_view name, TDIBSurface& picture) = 0;
    // Makes the bitmap file the desktop background (mode 0 centred, 1 tiled, other stretched);
    // whether the desktop took it.
    [[nodiscard]] virtual bool SetWallPaper(std::span<const uint8_t> bitmapFile, int32_t mode) = 0;

    // The game's loose-file folder; empty when the game has none.
    [[nodiscard]] virtual std::filesystem::path LooseFolder() const = 0;
    // The folder the game's files are written into: the loose-file folder, or where the
    // player keeps them when that folder is read-only (the game then finds them there).
    [[nodiscard]] virtual std::filesystem::path WriteFolder() { return LooseFolder(); }
    // Stores the bytes as the memory entry name, emptying an existing entry of that name.
    virtual void StoreMemoryEntry(std::string_view name, std::vector<uint8_t> bytes) = 0;
    // Forgets every cached copy of the picture file name (decoded pictures, file contents),
    // so that the next use reads what was just written.
    virtual void ForgetPicture(std::string_view name) = 0;
};

}  // namespace kivo
