#include "scene/clip_list.h"

namespace kivo {

namespace {

// True when rect overlaps held grown by the merge distance on every side. Computed in 64 bits:
// a held rectangle may touch the int32 limits after clipping to a huge scene.
bool IsNear(const TRect& held, const TRect& rect) {
    const int64_t d = TClipList::kMergeDistance;
    return int64_t{rect.Left} < int64_t{held.Right} + d &&
           int64_t{rect.Right} > int64_t{held.Left} - d &&
           int64_t{rect.Top} < int64_t{held.Bottom} + d &&
           int64_t{rect.Bottom} > int64_t{held.Top} - d;
}

bool Holds(const TRect& outer, const TRect& inner) {
    return inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
           inner.Bottom <= outer.Bottom;
}

}  // namespace

void TClipList::Add(const TRect& rect) {
    TRect merged = Intersect(rect, TRect{0, 0, width_, height_});
    if (merged.IsEmpty()) return;
    // A union can reach rectangles the new one did not, so it is merged again until it lies
    // near none; each pass removes one rectangle, so the loop ends.
    for (size_t i = 0; i < rects_.size();) {
        if (!IsNear(rects_[i], merged)) {
            ++i;
            continue;
        }
        if (Holds(rects_[i], merged)) return;
        merged = Union(rects_[i], merged);
        rects_.erase(rects_.begin() + static_cast<std::ptrdiff_t>(i));
        i = 0;
    }
    rects_.push_back(merged);
}

}  // namespace kivo
