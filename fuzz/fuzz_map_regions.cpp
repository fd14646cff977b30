// Feeds arbitrary bytes to the map-file reader of map images, then asks every region it
// accepted for its rows and points: damaged maps must fail with KivoError, accepted ones must
// answer without reaching outside their data.

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/error.h"
#include "scene/map_region_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const kivo::TMapRegionList regions =
            kivo::TMapRegionList::Read(std::span<const uint8_t>(data, size), "fuzz.map");
        for (int32_t i = 0; i < regions.Count(); ++i) {
            const kivo::TRect bounds = regions.Region(i).Bounds();
            // A few rows across the region, as a hover mask would ask for them.
            for (int64_t y = bounds.Top; y < bounds.Bottom && y < int64_t{bounds.Top} + 4; ++y)
                (void)regions.Region(i).RowSpans(y);
        }
        (void)regions.RegionAt(0, 0);
        (void)regions.RegionAt(5, 5);
    } catch (const kivo::KivoError&) {
    }
    return 0;
}
