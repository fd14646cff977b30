// Merging of dirty rectangles.

#include <gtest/gtest.h>

#include "scene/clip_list.h"

namespace kivo::test {
namespace {

TEST(ClipListTest, RectanglesMergeWithinTwentyPixels) {
    struct Case {
        const char* what;
        std::vector<TRect> added;
        std::vector<TRect> expected;
    };
    const Case cases[] = {
        {"15 apart merge", {{0, 0, 10, 10}, {25, 0, 35, 10}}, {{0, 0, 35, 10}}},
        {"25 apart stay", {{0, 0, 10, 10}, {35, 0, 45, 10}}, {{0, 0, 10, 10}, {35, 0, 45, 10}}},
        {"exactly 20 apart stay",
         {{0, 0, 10, 10}, {30, 0, 40, 10}},
         {{0, 0, 10, 10}, {30, 0, 40, 10}}},
        {"19 apart merge", {{0, 0, 10, 10}, {29, 0, 39, 10}}, {{0, 0, 39, 10}}},
        {"diagonal near", {{0, 0, 10, 10}, {25, 25, 30, 30}}, {{0, 0, 30, 30}}},
        {"inside changes nothing", {{0, 0, 50, 50}, {10, 10, 20, 20}}, {{0, 0, 50, 50}}},
        {"clipped to the area",
         {{-10, -10, 5, 5}, {190, 90, 300, 300}},
         {{0, 0, 5, 5}, {190, 90, 200, 100}}},
        {"empty and outside dropped", {{5, 5, 5, 9}, {300, 0, 310, 10}, {9, 9, 3, 3}}, {}},
        // The last one reaches only the second, but their union reaches the first.
        {"unions merge again",
         {{0, 0, 10, 10}, {0, 40, 70, 50}, {100, 0, 110, 10}, {50, 0, 60, 25}},
         {{100, 0, 110, 10}, {0, 0, 70, 50}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TClipList list;
        list.SetBounds(200, 100);
        for (const TRect& rect : c.added)
            list.Add(rect);
        EXPECT_EQ(list.Rects(), c.expected);
    }
}

TEST(ClipListTest, HugeRectanglesDoNotOverflowTheDistanceCheck) {
    TClipList list;
    list.SetBounds(INT32_MAX, INT32_MAX);
    list.Add({INT32_MAX - 5, INT32_MAX - 5, INT32_MAX, INT32_MAX});
    list.Add({0, 0, 1, 1});
    EXPECT_EQ(list.Rects().size(), 2u);
}

}  // namespace
}  // namespace kivo::test
