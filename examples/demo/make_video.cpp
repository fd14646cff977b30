// Writes the demo's video, made at build time with the Debian libraries' encoders through our
// own fixture writer: two seconds of colour fields, one colour per frame, with a soft tone.
// Run by the build:
//   make_video <folder>    writes <folder>/clip.wmv

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/media/media_encoders.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_video FOLDER\n");
        return 2;
    }
    const std::vector<uint8_t> film = kivo::test::EncodeFilm(
        {.width = 128, .height = 96, .framesPerSecond = 10, .frames = 20, .soundHz = 330});
    const std::filesystem::path path = std::filesystem::path(argv[1]) / "clip.wmv";
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(film.data()),
              static_cast<std::streamsize>(film.size()));
    if (!out) {
        std::fprintf(stderr, "make_video: cannot write %s\n", path.string().c_str());
        return 1;
    }
    return 0;
}
