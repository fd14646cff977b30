// Writes the demo's opening film with our own film writer: a title bar slides in from the
// left while a band below it grows and fades, and a flame burns along the bottom of the
// window, zoomed four times from a small buffer. Run by the build:
//   make_film <folder>    writes <folder>/opening.kcn

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/film_writer.h"

namespace {

using kivo::test::FilmBoxTrack;
using kivo::test::FilmFile;
using kivo::test::FilmFireTrack;

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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_film <folder>\n");
        return 2;
    }
    const std::filesystem::path path = std::filesystem::path(argv[1]) / "opening.kcn";
    const std::vector<uint8_t> bytes = kivo::test::WriteFilm(OpeningFilm());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "make_film: cannot write %s\n", path.string().c_str());
        return 1;
    }
    return 0;
}
