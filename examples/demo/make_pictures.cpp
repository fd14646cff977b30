// Draws the demo game's pictures and writes them as PNG files into the folder given on the
// command line. Everything is computed here, so the demo carries no pictures from elsewhere.

#include <png.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
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

// The title buttons' plates, 120 x 40 with rounded (transparent) corners and a mark in the
// middle: a triangle for Start, two for Continue, a cross for Quit. The styles are the
// button's states: 0 normal (slate), 1 hover (lighter, gold rim), 2 pressed (darker, mark
// shifted down a pixel as if pushed in).
enum class Mark { kStart, kContinue, kQuit };

bool InTriangle(int x, int y, int left, int middle) {
    // Pointing right, 12 wide, 16 tall, centred on middle.
    const int dx = x - left;
    const int dy = y - middle;
    return dx >= 0 && dx < 12 && std::abs(dy) * 12 <= (12 - dx) * 8;
}

bool OnMark(Mark mark, int x, int y) {
    const int middle = 20;
    switch (mark) {
        case Mark::kStart:
            return InTriangle(x, y, 54, middle);
        case Mark::kContinue:
            return InTriangle(x, y, 47, middle) || InTriangle(x, y, 60, middle);
        case Mark::kQuit: {
            const int dx = x - 60;
            const int dy = y - middle;
            return std::abs(dx) <= 8 && std::abs(dy) <= 8 &&
                   (std::abs(dx - dy) <= 1 || std::abs(dx + dy) <= 1);
        }
    }
    return false;
}

Picture Plate(Mark mark, int style) {
    Picture picture{120, 40, std::vector<uint8_t>(120 * 40 * 4)};
    const int radius = 8;
    const int push = style == 2 ? 1 : 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            // Distance into the rounded rectangle's corner circles.
            const int cx = x < radius ? radius - x : (x >= 120 - radius ? x - (119 - radius) : 0);
            const int cy = y < radius ? radius - y : (y >= 40 - radius ? y - (39 - radius) : 0);
            const int d2 = cx * cx + cy * cy;
            if (d2 > radius * radius) {
                picture.Set(x, y, 0, 0, 0, 0);
                continue;
            }
            const bool rim =
                d2 > (radius - 2) * (radius - 2) || x < 2 || x > 117 || y < 2 || y > 37;
            const double t = y / 39.0;
            uint8_t r, g, b;
            if (style == 1) {
                r = static_cast<uint8_t>(110 - 40 * t);
                g = static_cast<uint8_t>(140 - 40 * t);
                b = static_cast<uint8_t>(190 - 50 * t);
            } else if (style == 2) {
                r = static_cast<uint8_t>(30 + 20 * t);
                g = static_cast<uint8_t>(40 + 25 * t);
                b = static_cast<uint8_t>(70 + 30 * t);
            } else {
                r = static_cast<uint8_t>(70 - 30 * t);
                g = static_cast<uint8_t>(85 - 35 * t);
                b = static_cast<uint8_t>(120 - 40 * t);
            }
            if (rim) {
                if (style == 1) {
                    r = 240, g = 200, b = 80;
                } else {
                    r = 200, g = 210, b = 230;
                }
            }
            if (OnMark(mark, x, y - push)) r = 250, g = 250, b = 250;
            picture.Set(x, y, r, g, b);
        }
    }
    return picture;
}

// A small five-pointed star, 16 x 16, for the story text; its outside is transparent.
Picture Star() {
    Picture picture{16, 16, std::vector<uint8_t>(16 * 16 * 4)};
    const double pi = 3.14159265358979;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const double dx = x + 0.5 - 8.0;
            const double dy = y + 0.5 - 8.5;
            const double angle = std::atan2(dx, -dy);
            // The star's edge: between radius 3.2 and 7.8, five points.
            const double phase = std::fmod(std::fabs(angle) + 2 * pi, 2 * pi / 5) / (2 * pi / 5);
            const double edge = 3.2 + 4.6 * std::fabs(1.0 - 2.0 * phase);
            const bool inside = std::sqrt(dx * dx + dy * dy) <= edge;
            if (inside) {
                picture.Set(x, y, 255, static_cast<uint8_t>(200 + 3 * y), 60);
            } else {
                picture.Set(x, y, 0, 0, 0, 0);
            }
        }
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
    struct Output {
        std::string name;
        Picture picture;
    };
    std::vector<Output> outputs;
    outputs.push_back({"bg", Background()});
    outputs.push_back({"star", Star()});
    const std::pair<const char*, Mark> marks[] = {
        {"start", Mark::kStart}, {"continue", Mark::kContinue}, {"quit", Mark::kQuit}};
    const char* const suffixes[] = {"", "_hover", "_pressed"};
    for (const auto& [name, mark] : marks) {
        for (int style = 0; style < 3; ++style)
            outputs.push_back({std::string(name) + suffixes[style], Plate(mark, style)});
    }
    for (const Output& output : outputs) {
        const std::string path = folder + "/" + output.name + ".png";
        if (!WritePng(path, output.picture)) {
            std::fprintf(stderr, "make_pictures: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
