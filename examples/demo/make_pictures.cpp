// Draws the demo game's pictures and writes them as PNG files into the folder given on the
// command line. Everything is computed here, so the demo carries no pictures from elsewhere.

#include <png.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Picture {
    int width;
    int height;
    std::vector<uint8_t> rgba;

    void Set(int x, int y, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
        uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
        p[0] = r;
        p[1] = g;
        p[2] = b;
        p[3] = a;
    }
};

bool WritePng(const std::string& path, const Picture& picture) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, picture.width, picture.height, 8, PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < picture.height; ++y) {
        png_write_row(png, &picture.rgba[static_cast<size_t>(y) * picture.width * 4]);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

// A night sky: a vertical gradient, a moon and a few stars placed by a fixed formula.
Picture Background() {
    Picture picture{640, 480, std::vector<uint8_t>(640 * 480 * 4)};
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            double t = y / 479.0;
            picture.Set(x, y, static_cast<uint8_t>(10 + 40 * t), static_cast<uint8_t>(20 + 60 * t),
                        static_cast<uint8_t>(60 + 120 * t));
            double dx = x - 480.0;
            double dy = y - 120.0;
            if (dx * dx + dy * dy < 50.0 * 50.0) picture.Set(x, y, 240, 236, 200);
        }
    }
    for (int i = 0; i < 60; ++i) {
        int x = (i * 97 + 13) % 640;
        int y = (i * 53 + 7) % 300;
        picture.Set(x, y, 255, 255, 255);
    }
    return picture;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_pictures FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
    if (!WritePng(folder + "/bg.png", Background())) {
        std::fprintf(stderr, "make_pictures: cannot write %s/bg.png\n", folder.c_str());
        return 1;
    }
    return 0;
}
