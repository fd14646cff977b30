#pragma once
// Writer of map files, the regions of map images. Fields are written as given, so a test can
// also write what a damaged map holds (a count larger than the regions that follow).
//
//   MapFile map;
//   map.regions.push_back(MapRegion::Rectangle("door", 0, 0, 9, 9));
//   std::vector<uint8_t> bytes = WriteMap(map);

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kivo::test {

struct MapRegion {
    std::string name;
    uint8_t kind = 0;  // 0 rectangle, 1 ellipse, anything else a polygon
    // Two corners (left, top) and (right, bottom) for kinds 0 and 1, else the polygon's points.
    std::vector<std::pair<int32_t, int32_t>> points;

    static MapRegion Rectangle(std::string name, int32_t left, int32_t top, int32_t right,
                               int32_t bottom) {
        return {std::move(name), 0, {{left, top}, {right, bottom}}};
    }
    static MapRegion Ellipse(std::string name, int32_t left, int32_t top, int32_t right,
                             int32_t bottom) {
        return {std::move(name), 1, {{left, top}, {right, bottom}}};
    }
    static MapRegion Polygon(std::string name, std::vector<std::pair<int32_t, int32_t>> points) {
        return {std::move(name), 2, std::move(points)};
    }
};

struct MapFile {
    std::vector<MapRegion> regions;
    // Written in place of the number of regions when set.
    std::optional<int32_t> countOverride;
};

[[nodiscard]] std::vector<uint8_t> WriteMap(const MapFile& map);
// A well-formed map of these regions.
[[nodiscard]] std::vector<uint8_t> WriteMap(std::vector<MapRegion> regions);

}  // namespace kivo::test
