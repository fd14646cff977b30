// Writes the demo's opening film with our own film writer: a title bar slides in from the
// left while a band below it grows and fades, an emblem of two frames rolls in under the band
// and a flame burns along the bottom of the window, zoomed four times from a small buffer.
// The emblem's picture is written with our own GAL writer. Run by the build:
//   make_film <folder>    writes <folder>/opening.kcn and <folder>/emblem.gal

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "support/film_writer.h"
#include "support/gal_builder.h"

namespace {

using kivo::test::FilmBoxTrack;
using kivo::test::FilmFile;
using kivo::test::FilmFireTrack;
using kivo::test::FilmImageTrack;

constexpr int32_t kEmblemSide = 32;

// A diamond on a keyed black ground, gold in one frame and orange in the next, a quarter of a
// second each.
kivo::test::GalFile EmblemPicture() {
    kivo::test::GalFile file;
    for (const uint32_t colour : {0xF0C030u, 0xF07020u}) {
        std::vector<uint32_t> pixels(kEmblemSide * kEmblemSide, 0);
        for (int32_t y = 0; y < kEmblemSide; ++y) {
            for (int32_t x = 0; x < kEmblemSide; ++x) {
                const int32_t half = kEmblemSide / 2;
                if (std::abs(2 * x + 1 - kEmblemSide) + std::abs(2 * y + 1 - kEmblemSide) <
                    2 * half) {
                    pixels[static_cast<size_t>(y * kEmblemSide + x)] = colour;
                }
            }
        }
        file.frames.push_back(kivo::test::RgbFrame(kEmblemSide, kEmblemSide, pixels, 250, 0));
    }
    return file;
}

FilmFile OpeningFilm() {
    FilmFile film{.width = 640, .height = 480};
    // The title bar: in from beyond the left edge over a second, slowing as it arrives
    // (mode 2), then resting for two seconds in a second track chained to the first.
    const auto titleBar = [](kivo::test::FilmBase base, int32_t fromX) {
        return FilmBoxTrack{.base = base,
                            .move = {.sx = fromX, .sy = 60, .ex = 60, .ey = 60, .modeX = 2},
                            .startWidth = 520,
                            .startHeight = 60,
                            .endWidth = 520,
                            .endHeight = 60,
                            .startColor = 0x603018,
                            .endColor = 0x603018,
                            .startBorderWidth = 3,
                            .endBorderWidth = 3,
                            .startBorderColor = 0xFFFFFF,
                            .endBorderColor = 0xFFFFFF};
    };
    film.tracks.push_back(titleBar({.length = 60, .priority = 2}, -520));
    film.tracks.push_back(titleBar({.parent = 0, .length = 120, .priority = 2}, 60));
    // A band that widens under the title and fades from opaque to nothing.
    film.tracks.push_back(FilmBoxTrack{.base = {.length = 180, .start = 30, .priority = 1},
                                       .move = {.sx = 320, .sy = 130, .ex = 60, .ey = 130},
                                       .startAlpha = 255,
                                       .endAlpha = 1,
                                       .startWidth = 0,
                                       .startHeight = 8,
                                       .endWidth = 520,
                                       .endHeight = 8,
                                       .startColor = 0x30C0F0,
                                       .endColor = 0xF0C030});
    // The emblem rolls in from the right under the band, turning once and growing to full
    // size, its frames alternating by their own times.
    film.tracks.push_back(
        FilmImageTrack{.base = {.length = 150, .start = 30, .priority = 3},
                       .block = {.anchorX = kEmblemSide / 2,
                                 .anchorY = kEmblemSide / 2,
                                 .move = {.sx = 660, .sy = 190, .ex = 320, .ey = 190, .modeX = 2},
                                 .startAngle = 360,
                                 .startZoomX = 0.5,
                                 .endZoomX = 1.5,
                                 .startZoomY = 0.5,
                                 .endZoomY = 1.5},
                       .file = "emblem.gal"});
    // The flame: 160 x 40 cells shown four times as large along the bottom edge.
    film.tracks.push_back(FilmFireTrack{.base = {.length = 180},
                                        .move = {.sy = 320, .ey = 320},
                                        .startWidth = 160,
                                        .startHeight = 40,
                                        .endWidth = 160,
                                        .endHeight = 40,
                                        .power = 160});
    return film;
}

bool WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) std::fprintf(stderr, "make_film: cannot write %s\n", path.string().c_str());
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_film <folder>\n");
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    const bool written = WriteBytes(folder / "opening.kcn", kivo::test::WriteFilm(OpeningFilm())) &&
                         WriteBytes(folder / "emblem.gal", kivo::test::WriteGal(EmblemPicture()));
    return written ? 0 : 1;
}
