#pragma once
// The dirty rectangles of a layer: the areas drawn again on the next draw and presented after
// it. Nearby rectangles merge, so a moving object costs one rectangle, not two, and the list
// never holds two rectangles that lie within the merge distance of each other.

#include <cstdint>
#include <vector>

#include "base/rect.h"

namespace kivo {

class TClipList {
  public:
    // Rectangles this close (or closer) to one another merge into their union.
    static constexpr int32_t kMergeDistance = 20;

    // The area rectangles are clipped to; rectangles already held are kept as they are.
    void SetBounds(int32_t width, int32_t height) {
        width_ = width;
        height_ = height;
    }

    // Clips rect to the bounds and merges it in; an empty result is dropped.
    void Add(const TRect& rect);
    // Marks the whole area dirty.
    void AddAll() { Add(TRect{0, 0, width_, height_}); }
    void Clear() { rects_.clear(); }

    [[nodiscard]] const std::vector<TRect>& Rects() const { return rects_; }
    [[nodiscard]] bool IsEmpty() const { return rects_.empty(); }

  private:
    std::vector<TRect> rects_;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

}  // namespace kivo
