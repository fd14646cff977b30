// Writes the demo's map page with our own writers: a small map of a lake and a forest on a
// meadow, the same map lit for the region under the pointer, and the map file that names the
// two regions. Run by the build:
//   make_map <folder>    writes map.gal, map_hover.gal and map.map into <folder>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "demo_files.h"
#include "support/gal_builder.h"
#include "support/map_writer.h"

namespace {

using kivo::test::MapRegion;

constexpr int kWidth = 176;
constexpr int kHeight = 64;

// The regions, in the map's pixels. The lake is the ellipse inside its box; the forest is a
// five-sided hill. Drawing and map share these numbers, so the lit parts fall on the regions.
constexpr int kLakeLeft = 8, kLakeTop = 16, kLakeRight = 83, kLakeBottom = 60;
const std::vector<std::pair<int32_t, int32_t>> kForest = {
    {100, 58}, {104, 24}, {134, 4}, {166, 24}, {170, 58}};

bool InLake(int x, int y) {
    const double cx = (kLakeLeft + kLakeRight) / 2.0;
    const double cy = (kLakeTop + kLakeBottom) / 2.0;
    const double rx = (kLakeRight - kLakeLeft) / 2.0;
    const double ry = (kLakeBottom - kLakeTop) / 2.0;
    const double dx = (x - cx) / rx;
    const double dy = (y - cy) / ry;
    return dx * dx + dy * dy <= 1.0;
}

// Even-odd crossing test; the hill is convex, so every fill rule agrees on it.
bool InForest(int x, int y) {
    bool inside = false;
    for (size_t i = 0, j = kForest.size() - 1; i < kForest.size(); j = i++) {
        const auto [xi, yi] = kForest[i];
        const auto [xj, yj] = kForest[j];
        if ((yi > y) != (yj > y) && x < (xj - xi) * static_cast<double>(y - yi) / (yj - yi) + xi) {
            inside = !inside;
        }
    }
    return inside;
}

uint32_t Lighter(uint32_t colour) {
    uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t channel = (colour >> shift) & 0xFF;
        result |= (channel + (255 - channel) / 2) << shift;
    }
    return result;
}

// The map as 0xRRGGBB pixels; lit gives the hover picture, every part lighter.
std::vector<uint32_t> MapPixels(bool lit) {
    std::vector<uint32_t> pixels(static_cast<size_t>(kWidth * kHeight));
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            uint32_t colour = ((x / 8 + y / 8) % 2 == 0) ? 0x5A8A3A : 0x52823A;
            if (InLake(x, y)) colour = ((x + 2 * y) % 11 == 0) ? 0x80B0F0 : 0x3060C0;
            if (InForest(x, y)) colour = ((x * 7 + y * 3) % 9 < 3) ? 0x184018 : 0x286028;
            // The path from the lake to the forest.
            if (y >= 36 && y <= 39 && x > kLakeRight && x < 102) colour = 0xA07840;
            if (x == 0 || y == 0 || x == kWidth - 1 || y == kHeight - 1) colour = 0xE0E0C0;
            pixels[static_cast<size_t>(y * kWidth + x)] = lit ? Lighter(colour) : colour;
        }
    }
    return pixels;
}

using demo::WriteFile;

bool WriteMapPicture(const std::string& path, bool lit) {
    kivo::test::GalFile file;
    file.frames.push_back(kivo::test::RgbFrame(kWidth, kHeight, MapPixels(lit)));
    return WriteFile(path, kivo::test::WriteGal(file));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_map <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::vector<MapRegion> regions{
        MapRegion::Ellipse("lake", kLakeLeft, kLakeTop, kLakeRight, kLakeBottom),
        MapRegion::Polygon("forest", kForest)};
    const bool written = WriteMapPicture(folder + "/map.gal", false) &&
                         WriteMapPicture(folder + "/map_hover.gal", true) &&
                         WriteFile(folder + "/map.map", kivo::test::WriteMap(regions));
    if (!written) {
        std::fprintf(stderr, "make_map: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
