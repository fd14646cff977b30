#include "scene/map_region_list.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/byte_io.h"

namespace kivo {

namespace {

constexpr uint8_t kRectangleKind = 0;
constexpr uint8_t kEllipseKind = 1;

int32_t ClampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// The pixels whose centres lie in [from, to).
TMapRegion::Span CentresWithin(double from, double to) {
    return {static_cast<int64_t>(std::ceil(from - 0.5)), static_cast<int64_t>(std::ceil(to - 0.5))};
}

}  // namespace

TMapRegion::TMapRegion(std::string name, Shape shape, std::vector<Point> points)
    : name_(std::move(name)), shape_(shape), points_(std::move(points)) {
    if (points_.empty()) return;
    left_ = top_ = std::numeric_limits<int64_t>::max();
    right_ = bottom_ = std::numeric_limits<int64_t>::min();
    for (const Point& p : points_) {
        left_ = std::min<int64_t>(left_, p.x);
        top_ = std::min<int64_t>(top_, p.y);
        right_ = std::max<int64_t>(right_, p.x);
        bottom_ = std::max<int64_t>(bottom_, p.y);
    }
    // Rectangles and ellipses include their right and bottom edges.
    ++right_;
    ++bottom_;
}

std::vector<TMapRegion::Span> TMapRegion::RowSpans(int64_t y) const {
    std::vector<Span> spans;
    if (y < top_ || y >= bottom_) return spans;
    switch (shape_) {
        case Shape::Rectangle:
            spans.emplace_back(left_, right_);
            break;
        case Shape::Ellipse: {
            const double centreX = static_cast<double>(left_ + right_) / 2.0;
            const double centreY = static_cast<double>(top_ + bottom_) / 2.0;
            const double radiusX = static_cast<double>(right_ - left_) / 2.0;
            const double radiusY = static_cast<double>(bottom_ - top_) / 2.0;
            const double dy = (static_cast<double>(y) + 0.5 - centreY) / radiusY;
            if (std::abs(dy) > 1.0) break;
            const double half = radiusX * std::sqrt(1.0 - dy * dy);
            // Centres on the outline belong to the ellipse.
            const Span span{static_cast<int64_t>(std::ceil(centreX - half - 0.5)),
                            static_cast<int64_t>(std::floor(centreX + half - 0.5)) + 1};
            if (span.first < span.second) spans.push_back(span);
            break;
        }
        case Shape::Polygon: {
            struct Crossing {
                double x;
                int winding;
            };
            std::vector<Crossing> crossings;
            const double centreY = static_cast<double>(y) + 0.5;
            for (size_t i = 0; i < points_.size(); ++i) {
                const Point& a = points_[i];
                const Point& b = points_[(i + 1) % points_.size()];
                // A row centre never equals an integer y, so no edge touches it at an end.
                if ((a.y <= centreY) == (b.y <= centreY)) continue;
                const double t = (centreY - a.y) / (static_cast<double>(b.y) - a.y);
                crossings.push_back(
                    {a.x + t * (static_cast<double>(b.x) - a.x), b.y > a.y ? 1 : -1});
            }
            std::sort(crossings.begin(), crossings.end(),
                      [](const Crossing& l, const Crossing& r) { return l.x < r.x; });
            int winding = 0;
            for (size_t i = 0; i + 1 < crossings.size(); ++i) {
                winding += crossings[i].winding;
                if (winding == 0) continue;
                const Span span = CentresWithin(crossings[i].x, crossings[i + 1].x);
                if (span.first >= span.second) continue;
                if (!spans.empty() && spans.back().second >= span.first) {
                    spans.back().second = std::max(spans.back().second, span.second);
                } else {
                    spans.push_back(span);
                }
            }
            break;
        }
    }
    return spans;
}

bool TMapRegion::Contains(int32_t x, int32_t y) const {
    if (x < left_ || x >= right_) return false;
    for (const Span& span : RowSpans(y)) {
        if (x >= span.first && x < span.second) return true;
    }
    return false;
}

TRect TMapRegion::Bounds() const {
    if (points_.empty()) return {};
    return {ClampToInt32(left_), ClampToInt32(top_), ClampToInt32(right_), ClampToInt32(bottom_)};
}

TMapRegionList TMapRegionList::Read(std::span<const uint8_t> bytes, std::string_view fileName) {
    ByteReader reader(bytes, std::string(fileName));
    TMapRegionList list;
    // A region takes at least its name's count and its kind byte.
    const uint32_t count = reader.ReadCount(5);
    list.regions_.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        std::string name = reader.ReadCountedString();
        const uint8_t kind = reader.ReadU8();
        std::vector<TMapRegion::Point> points;
        TMapRegion::Shape shape = TMapRegion::Shape::Polygon;
        if (kind == kRectangleKind || kind == kEllipseKind) {
            shape =
                kind == kRectangleKind ? TMapRegion::Shape::Rectangle : TMapRegion::Shape::Ellipse;
            const int32_t left = reader.ReadI32();
            const int32_t top = reader.ReadI32();
            const int32_t right = reader.ReadI32();
            const int32_t bottom = reader.ReadI32();
            points = {{left, top}, {right, bottom}};
        } else {
            const uint32_t pointCount = reader.ReadCount(8);
            points.reserve(pointCount);
            for (uint32_t p = 0; p < pointCount; ++p) {
                const int32_t x = reader.ReadI32();
                points.push_back({x, reader.ReadI32()});
            }
        }
        list.regions_.emplace_back(std::move(name), shape, std::move(points));
    }
    return list;
}

int32_t TMapRegionList::RegionAt(int32_t x, int32_t y) const {
    for (size_t i = 0; i < regions_.size(); ++i) {
        if (regions_[i].Contains(x, y)) return static_cast<int32_t>(i);
    }
    return -1;
}

}  // namespace kivo
