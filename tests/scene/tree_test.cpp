// The object tree: drawing order of siblings, re-parenting, visibility, absolute positions and
// the areas objects mark for redrawing.

#include <climits>

#include "scene/kivo_cabinet.h"
#include "scene_fixture.h"

namespace kivo::test {
namespace {

class TreeTest : public SceneTest {
  protected:
    std::vector<std::string> ChildNames(const TKivoControl& parent) {
        std::vector<std::string> names;
        for (const TKivoControl* child : parent.Children())
            names.push_back(child->Name());
        return names;
    }
};

TEST_F(TreeTest, ChildOrderPutsSystemObjectsFirstAndTheSnapshotLast) {
    struct Child {
        std::string name;
        int32_t priority;
        int32_t subPriority;
    };
    const Child children[] = {
        {std::string(kSnapshotName), -100, 0},
        {"b", 0, 0},
        {"a", 0, 0},
        {"B", 0, 0},  // upper case sorts before lower case by byte
        {"low", -1, 0},
        {"\x01sys", 50, 0},
        {"sub", 0, -1},
        {"\xE3\x81\x82", 0, 0},  // bytes above 0x7F sort after ASCII
        // Sums beyond int32: INT32_MAX + 1 must not wrap below the others.
        {"top", INT32_MAX, 1},
        {"bottom", INT32_MIN, -1},
    };
    for (const Child& c : children) {
        TKivoBox& box = Box(c.name, 0, 0, 1, 1);
        box.SetPriority(c.priority);
        box.SetSubPriority(c.subPriority);
    }
    EXPECT_EQ(ChildNames(root.ActiveLayer()),
              (std::vector<std::string>{"\x01sys", "bottom", "low", "sub", "B", "a", "b",
                                        "\xE3\x81\x82", "top", std::string(kSnapshotName)}));
}

TEST_F(TreeTest, ReParentingRefusesCyclesAndMovesTheSubtree) {
    TKivoBox& a = Box("a", 1, 1, 8, 8);
    TKivoBox& b = Box("b", 1, 1, 4, 4, 0, &a);
    TKivoBox& c = Box("c", 1, 1, 2, 2, 0, &b);
    a.SetParent(&c);  // a descendant
    a.SetParent(&a);
    EXPECT_EQ(a.Parent(), &root.ActiveLayer());
    EXPECT_EQ(c.AbsLeft(), 3);
    b.SetParent(&root.ActiveLayer());
    EXPECT_EQ(c.AbsLeft(), 2);
    EXPECT_EQ(ChildNames(root.ActiveLayer()), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(a.Children().empty());
}

TEST_F(TreeTest, VisibilityNeedsEveryAncestorAndALayer) {
    TKivoBox& parent = Box("p", 0, 0, 4, 4);
    TKivoBox& child = Box("c", 0, 0, 1, 1, 0, &parent);
    TKivoBox& detached = root.Create<TKivoBox>();
    TKivoCabinet& cabinet = root.Create<TKivoCabinet>();
    cabinet.SetParent(&root.Layer(0));
    TKivoBox& parked = Box("parked", 0, 0, 1, 1, 0, &cabinet);
    EXPECT_TRUE(child.Visible());
    EXPECT_FALSE(detached.Visible());
    EXPECT_FALSE(parked.Visible());
    EXPECT_TRUE(parked.InsideCabinet());
    root.ActiveLayer().SetVisible(false);
    EXPECT_FALSE(child.Visible());
    root.ActiveLayer().SetVisible(true);
    parent.SetVisible(false);
    EXPECT_FALSE(child.Visible());
    EXPECT_TRUE(root.InactiveLayer().Visible());
}

TEST_F(TreeTest, AbsolutePositionOfControls) {
    struct Case {
        const char* what;
        int32_t parentLeft, parentScroll;
        int32_t left, offset, plus, width, zoom;
        bool flip, positionZoomed, motion;
        int32_t motionX;
        int32_t expected;
    };
    const Case cases[] = {
        {"plain", 10, 0, 5, 0, 0, 8, 256, false, false, false, 0, 15},
        {"offset and plus", 10, 0, 5, 3, 2, 8, 256, false, false, false, 0, 14},
        {"zoomed offset", 10, 0, 5, 4, 0, 8, 512, false, false, false, 0, 7},
        {"negative zoomed offset truncates", 0, 0, 0, -3, 0, 8, 128, false, false, false, 0, 1},
        {"flipped", 10, 0, 5, 2, 0, 8, 256, true, false, false, 0, 10},
        {"flipped and zoomed", 10, 0, 5, 2, 0, 8, 512, true, false, false, 0, 12},
        {"position zoomed", 10, 0, 6, 0, 0, 8, 128, false, true, false, 0, 13},
        {"motion replaces left", 10, 0, 5, 1, 0, 8, 256, false, false, true, 30, 39},
        {"scrolled parent", 10, 4, 5, 0, 0, 8, 256, false, false, false, 0, 11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        root.Reset();
        PictureControl& parent = root.Create<PictureControl>();
        parent.SetParent(&root.ActiveLayer());
        parent.SetBounds(c.parentLeft, 0, 100, 100);
        struct Scrolled : PictureControl {
            using PictureControl::PictureControl;
            int32_t ScrollX() const override { return scroll; }
            int32_t scroll = 0;
        };
        Scrolled& scrolled = root.Create<Scrolled>();
        scrolled.SetParent(&root.ActiveLayer());
        scrolled.SetBounds(c.parentLeft, 0, 100, 100);
        scrolled.scroll = c.parentScroll;
        PictureControl& child = root.Create<PictureControl>();
        child.SetParent(&scrolled);
        child.SetBounds(c.left, 0, c.width, 1);
        child.SetOffsetX(c.offset);
        child.SetPlusX(c.plus);
        child.zoom = c.zoom;
        child.flipH = c.flip;
        child.SetPositionZoomed(c.positionZoomed);
        if (c.motion) {
            child.AssignMotion(std::make_unique<RecordingFilm>(1));
            child.SetMotionX(c.motionX);
        }
        EXPECT_EQ(child.AbsLeft(), c.expected);
    }
}

TEST_F(TreeTest, PositionZoomedInsideAPictureUsesTheParentsScaleIn1616) {
    PictureControl& parent = root.Create<PictureControl>();
    parent.SetParent(&root.ActiveLayer());
    parent.SetBounds(100, 0, 300, 300);  // the picture is 200 wide, shown 300 wide
    parent.surfaceWidth = 200;
    parent.zoom = 384;
    PictureControl& child = root.Create<PictureControl>();
    child.SetParent(&parent);
    child.surfaceWidth = 10;
    child.zoom = 384;
    child.SetPositionZoomed(true);
    struct Case {
        int32_t left, offset;
        bool flip;
        int32_t expected;
    };
    // scale = 65536 * 200 / 300 = 43690 (16.16); x = (left - offset) * 65536 / scale, rounded
    // up when the remainder is above half the scale.
    const Case cases[] = {
        {20, 0, false, 100 + 30},  // 1310720 / 43690 = 30 r 20
        {21, 1, false, 100 + 30},
        {7, 0, false, 100 + 11},   // 458752 / 43690 = 10 r 21852, just above half: rounds up
        {-7, 0, false, 100 - 10},  // truncated toward 0, never rounded
        // Flipped: (picture width + offset - left - own width) instead.
        {20, 0, true, 100 + 255},  // (200 - 20 - 10) * 65536 / 43690 = 255 r 170
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.left);
        child.SetLeft(c.left);
        child.SetOffsetX(c.offset);
        child.flipH = c.flip;
        EXPECT_EQ(child.AbsLeft(), c.expected);
    }
    // Huge positions neither overflow nor wrap.
    child.flipH = false;
    child.SetOffsetX(0);
    child.SetLeft(INT32_MAX);
    EXPECT_EQ(child.AbsLeft(), INT32_MAX);
    // A parent without width has no scale: the plain rule places the child.
    parent.SetWidth(0);
    child.SetLeft(20);
    EXPECT_EQ(child.AbsLeft(), 100 + 20 * 384 / 256);
}

TEST_F(TreeTest, InvalidateMarksTheVisibleAreaOnly) {
    root.ClearDirty();
    TKivoBox& parent = Box("p", 2, 2, 6, 6);
    TKivoBox& child = Box("c", 4, 4, 10, 10, 0, &parent);
    root.ClearDirty();
    child.Invalidate();
    EXPECT_EQ(root.ActiveLayer().Dirty().Rects(), (std::vector<TRect>{{6, 6, 8, 8}}));
    root.ClearDirty();
    child.SetClip({-10, -10, 11, 11});  // the clip leaves the child's top-left pixel
    root.ClearDirty();
    child.Invalidate();
    EXPECT_EQ(root.ActiveLayer().Dirty().Rects(), (std::vector<TRect>{{6, 6, 7, 7}}));
    root.ClearDirty();
    parent.SetVisible(false);
    root.ClearDirty();
    child.SetLeft(0);
    EXPECT_TRUE(root.ActiveLayer().Dirty().IsEmpty());
    // Objects on the hidden layer mark that layer.
    TKivoBox& back = Box("back", 1, 1, 2, 2, 0, &root.InactiveLayer());
    root.ClearDirty();
    back.SetTop(3);
    EXPECT_TRUE(root.ActiveLayer().Dirty().IsEmpty());
    EXPECT_EQ(root.InactiveLayer().Dirty().Rects(), (std::vector<TRect>{{1, 1, 3, 5}}));
}

}  // namespace
}  // namespace kivo::test
