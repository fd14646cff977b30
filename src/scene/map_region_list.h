#pragma once
// The regions of a map image, read from its map file: named rectangles, ellipses and polygons
// in picture pixels. A point belongs to the first region, in file order, that holds it.
//
// Map file (little-endian): int32 region count; per region a counted name, a kind byte, then
// for kind 0 a rectangle and for kind 1 the ellipse inside one, each as four int32 (left, top,
// right, bottom, right and bottom included), and for any other kind a polygon: int32 point
// count and that many (int32 x, int32 y) pairs, filled by the non-zero winding rule.
//
// Hit tests and the masks the map image draws through ask the same question, which pixels of
// a row a region covers, so the pointer and the picture always agree: a pixel belongs to a
// rectangle when it lies within its edges, and to an ellipse or a polygon when its centre
// lies inside the shape.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/rect.h"

namespace kivo {

class TMapRegion {
  public:
    enum class Shape : uint8_t { Rectangle, Ellipse, Polygon };
    struct Point {
        int32_t x = 0;
        int32_t y = 0;
    };
    // A run of covered pixels of one row, [begin, end).
    using Span = std::pair<int64_t, int64_t>;

    TMapRegion(std::string name, Shape shape, std::vector<Point> points);

    [[nodiscard]] const std::string& Name() const { return name_; }
    [[nodiscard]] Shape Kind() const { return shape_; }
    // The covered runs of row y, left to right, not overlapping.
    [[nodiscard]] std::vector<Span> RowSpans(int64_t y) const;
    [[nodiscard]] bool Contains(int32_t x, int32_t y) const;
    // The box around every pixel the region may cover (right and bottom excluded), cut to the
    // int32 range.
    [[nodiscard]] TRect Bounds() const;

  private:
    std::string name_;
    Shape shape_;
    // Two corners (normalised, right and bottom included) or the polygon's points.
    std::vector<Point> points_;
    int64_t left_ = 0;
    int64_t top_ = 0;
    int64_t right_ = 0;   // excluded
    int64_t bottom_ = 0;  // excluded
};

class TMapRegionList {
  public:
    // Reads a map file; a damaged one raises an error naming fileName.
    [[nodiscard]] static TMapRegionList Read(std::span<const uint8_t> bytes,
                                             std::string_view fileName);

    [[nodiscard]] int32_t Count() const { return static_cast<int32_t>(regions_.size()); }
    [[nodiscard]] const TMapRegion& Region(int32_t index) const {
        return regions_[static_cast<size_t>(index)];
    }
    // The index of the first region holding (x, y), -1 for none.
    [[nodiscard]] int32_t RegionAt(int32_t x, int32_t y) const;

  private:
    std::vector<TMapRegion> regions_;
};

}  // namespace kivo
