// Writes the demo's motion files with our own film and GAL writers: an orb that walks to and fro
// along the top of the window, and the hover motion of the orb button, which lights the orb up
// and lets it bob while the pointer is over it. Run by the build:
//   make_motions <folder>    writes <folder>/walk.kmt, orb_hover.kmt, orb.gal and orb_glow.gal

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "support/film_writer.h"
#include "support/gal_builder.h"

namespace {

using kivo::test::FilmFile;
using kivo::test::FilmImageTrack;

constexpr int32_t kOrbSide = 24;

// A disc of colour on a keyed black ground.
kivo::test::GalFile OrbPicture(uint32_t colour) {
    std::vector<uint32_t> pixels(kOrbSide * kOrbSide, 0);
    for (int32_t y = 0; y < kOrbSide; ++y) {
        for (int32_t x = 0; x < kOrbSide; ++x) {
            const int32_t dx = 2 * x + 1 - kOrbSide;
            const int32_t dy = 2 * y + 1 - kOrbSide;
            if (dx * dx + dy * dy < kOrbSide * kOrbSide)
                pixels[static_cast<size_t>(y * kOrbSide + x)] = colour;
        }
    }
    kivo::test::GalFile file;
    file.frames.push_back(kivo::test::RgbFrame(kOrbSide, kOrbSide, pixels, 100, 0));
    return file;
}

// Relative to where the script places the orb: 100 pixels to the right over a second, slowing
// at the end, and back again in a second track chained to the first.
FilmFile WalkMotion() {
    FilmFile film{.signature = "KivoMotion", .relative = true};
    film.tracks.push_back(FilmImageTrack{
        .base = {.length = 60}, .block = {.move = {.ex = 100, .modeX = 2}}, .file = "orb.gal"});
    film.tracks.push_back(FilmImageTrack{.base = {.parent = 0, .length = 60},
                                         .block = {.move = {.sx = 100, .modeX = 2}},
                                         .file = "orb.gal"});
    return film;
}

// The lit orb rising four pixels and sinking again, twice a second.
FilmFile HoverMotion() {
    FilmFile film{.signature = "KivoMotion", .relative = true};
    film.tracks.push_back(FilmImageTrack{
        .base = {.length = 15}, .block = {.move = {.ey = -4, .modeY = 2}}, .file = "orb_glow.gal"});
    film.tracks.push_back(FilmImageTrack{.base = {.parent = 0, .length = 15},
                                         .block = {.move = {.sy = -4, .modeY = 1}},
                                         .file = "orb_glow.gal"});
    return film;
}

bool WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) std::fprintf(stderr, "make_motions: cannot write %s\n", path.string().c_str());
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_motions <folder>\n");
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    const bool written =
        WriteBytes(folder / "walk.kmt", kivo::test::WriteFilm(WalkMotion())) &&
        WriteBytes(folder / "orb_hover.kmt", kivo::test::WriteFilm(HoverMotion())) &&
        WriteBytes(folder / "orb.gal", kivo::test::WriteGal(OrbPicture(0x4080F0))) &&
        WriteBytes(folder / "orb_glow.gal", kivo::test::WriteGal(OrbPicture(0xA0E0FF)));
    return written ? 0 : 1;
}
