#include "support/map_writer.h"

#include "base/byte_io.h"

namespace kivo::test {

std::vector<uint8_t> WriteMap(const MapFile& map) {
    ByteWriter writer;
    writer.WriteI32(map.countOverride.value_or(static_cast<int32_t>(map.regions.size())));
    for (const MapRegion& region : map.regions) {
        writer.WriteCountedString(region.name);
        writer.WriteU8(region.kind);
        if (region.kind == 0 || region.kind == 1) {
            for (size_t i = 0; i < 2; ++i) {
                const auto [x, y] =
                    i < region.points.size() ? region.points[i] : std::pair<int32_t, int32_t>{};
                writer.WriteI32(x);
                writer.WriteI32(y);
            }
        } else {
            writer.WriteI32(static_cast<int32_t>(region.points.size()));
            for (const auto& [x, y] : region.points) {
                writer.WriteI32(x);
                writer.WriteI32(y);
            }
        }
    }
    return writer.Take();
}

std::vector<uint8_t> WriteMap(std::vector<MapRegion> regions) {
    MapFile map;
    map.regions = std::move(regions);
    return WriteMap(map);
}

}  // namespace kivo::test
