#pragma once
// The desktop background (the SetWallPaper function). The desktop player writes the picture
// as "kivowall.bmp" into the per-user data folder ($XDG_DATA_HOME/kivoplay, else
// ~/.local/share/kivoplay) and asks the desktop to show it through gsettings; where there is
// no gsettings it says so once on stderr and leaves the file. A headless run keeps the picture
// in memory and writes one trace line; it touches nothing on the host.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace kivo {

class TraceSink;

class Wallpaper {
  public:
    virtual ~Wallpaper() = default;
    // Makes the Windows bitmap file bitmapFile the desktop background: mode 0 centred, 1
    // tiled, any other stretched. Returns whether the desktop took it. Called on the main
    // thread by the interpreter; waits for the desktop's answer (a fraction of a second).
    [[nodiscard]] virtual bool Set(std::span<const uint8_t> bitmapFile, int32_t mode) = 0;
};

// gsettings' picture-options value for a mode.
[[nodiscard]] std::string WallpaperOption(int32_t mode);

class DesktopWallpaper final : public Wallpaper {
  public:
    [[nodiscard]] bool Set(std::span<const uint8_t> bitmapFile, int32_t mode) override;

  private:
    bool toldMissing_ = false;
};

class TracedWallpaper final : public Wallpaper {
  public:
    explicit TracedWallpaper(TraceSink& trace) : trace_(trace) {}
    // Writes "SetWallPaper <option> <bytes>" to the trace and keeps the picture.
    [[nodiscard]] bool Set(std::span<const uint8_t> bitmapFile, int32_t mode) override;

    [[nodiscard]] const std::vector<uint8_t>& Bitmap() const { return bitmap_; }
    [[nodiscard]] int32_t Mode() const { return mode_; }
    [[nodiscard]] int32_t Calls() const { return calls_; }

  private:
    TraceSink& trace_;
    std::vector<uint8_t> bitmap_;
    int32_t mode_ = -1;
    int32_t calls_ = 0;
};

}  // namespace kivo
