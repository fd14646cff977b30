// Seeds of the map-file target: maps of every region kind, overlapping regions, reversed
// corners, an empty map and a polygon wound twice.

#include "corpus_seeds.h"
#include "support/map_writer.h"

namespace kivo::corpus {

void MapRegionsSeeds(SeedFolder& seeds) {
    using test::MapRegion;
    seeds.Add("empty.map", test::WriteMap(std::vector<MapRegion>{}));
    seeds.Add("rooms.map", test::WriteMap({MapRegion::Rectangle("a", 0, 0, 2, 2),
                                           MapRegion::Rectangle("b", 1, 1, 5, 4)}));
    seeds.Add("shapes.map",
              test::WriteMap({MapRegion::Rectangle("reversed", 13, 13, 11, 11),
                              MapRegion::Ellipse("ellipse", 20, 0, 29, 5),
                              MapRegion::Polygon("triangle", {{0, 20}, {8, 20}, {0, 28}})}));
    seeds.Add("star.map", test::WriteMap({MapRegion::Polygon(
                              "star", {{45, 20}, {48, 30}, {40, 24}, {50, 24}, {42, 30}})}));
}

}  // namespace kivo::corpus
