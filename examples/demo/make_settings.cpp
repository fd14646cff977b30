// Writes the pictures of the demo's settings page and its preview menu with our own writers:
// the volume slider's track, thumb and button strips, the level gauge's fill and trail, and a
// two-button menu (mute, full) with hover, click and disabled pictures. Run by the build:
//   make_settings <folder>    writes the .gal pictures and settings.kpm into <folder>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "demo_files.h"
#include "support/gal_builder.h"
#include "support/prev_menu_writer.h"

namespace {

using kivo::test::GalFile;
using kivo::test::RgbFrame;

// A strip of pieces side by side, each pieceWidth x height of one colour (0xRRGGBB), with a
// one-pixel darker rim so that the pieces read as parts.
std::vector<uint32_t> Strip(int pieceWidth, int height, const std::vector<uint32_t>& colours) {
    const int width = pieceWidth * static_cast<int>(colours.size());
    std::vector<uint32_t> pixels(static_cast<size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t colour = colours[static_cast<size_t>(x / pieceWidth)];
            const int px = x % pieceWidth;
            const bool rim = px == 0 || px == pieceWidth - 1 || y == 0 || y == height - 1;
            pixels[static_cast<size_t>(y * width + x)] = rim ? (colour >> 1) & 0x7F7F7F : colour;
        }
    }
    return pixels;
}

using demo::WriteFile;

bool WriteStrip(const std::string& path, int pieceWidth, int height,
                const std::vector<uint32_t>& colours) {
    GalFile file;
    file.frames.push_back(RgbFrame(pieceWidth * static_cast<int>(colours.size()), height,
                                   Strip(pieceWidth, height, colours)));
    return WriteFile(path, kivo::test::WriteGal(file));
}

bool WriteButtonPicture(const std::string& path, const std::vector<uint32_t>& frames) {
    GalFile file;
    for (const uint32_t colour : frames)
        file.frames.push_back(RgbFrame(80, 24, Strip(80, 24, {colour}), 80));
    return WriteFile(path, kivo::test::WriteGal(file));
}

kivo::test::PrevMenuFile SettingsMenu() {
    kivo::test::PrevMenuFile menu;
    menu.width = 180;
    menu.height = 32;
    for (const char* name : {"mute", "full"}) {
        kivo::test::PrevMenuButton button;
        button.x = menu.buttons.empty() ? 0 : 96;
        button.y = 4;
        button.name = name;
        button.normal = "menu_n.gal";
        button.hover = "menu_h.gal";
        button.click = "menu_c.gal";
        button.disabled = "menu_d.gal";
        menu.buttons.push_back(button);
    }
    return menu;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_settings <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    const bool written =
        // Track: after the thumb dark grey, before it orange.
        WriteStrip(folder + "/slider_track.gal", 8, 8, {0x404040, 0xF08020}) &&
        // Thumb: normal, hover, pressed.
        WriteStrip(folder + "/slider_thumb.gal", 12, 20, {0xE0E0E0, 0xFFFFA0, 0xFFD000}) &&
        // Buttons: the first's normal, hover, pressed, then the second's.
        WriteStrip(folder + "/slider_buttons.gal", 16, 16,
                   {0x808080, 0xB0B0B0, 0xFFFFFF, 0x808080, 0xB0B0B0, 0xFFFFFF}) &&
        // Gauge: the fill green, the trail red.
        WriteStrip(folder + "/gauge.gal", 8, 12, {0x30C040, 0xE03030}) &&
        WriteButtonPicture(folder + "/menu_n.gal", {0x2040A0}) &&
        WriteButtonPicture(folder + "/menu_h.gal", {0x4080F0}) &&
        WriteButtonPicture(folder + "/menu_c.gal", {0xFFFFFF, 0x4080F0, 0xFFFFFF}) &&
        WriteButtonPicture(folder + "/menu_d.gal", {0x505050}) &&
        WriteFile(folder + "/settings.kpm", kivo::test::WritePrevMenu(SettingsMenu()));
    if (!written) {
        std::fprintf(stderr, "make_settings: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
