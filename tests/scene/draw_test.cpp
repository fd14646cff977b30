// Exact pictures of small scenes of boxes: drawing order, clipping, placement, hiding,
// deleting, blending and flipping layers.

#include "imaging/draw_context.h"
#include "scene/scene_root.h"
#include "scene_fixture.h"

namespace kivo::test {
namespace {

using Rows = std::vector<std::string>;

class DrawTest : public SceneTest {
  protected:
    DrawTest() { root.SetSize(8, 5); }
};

TEST_F(DrawTest, SiblingsDrawByPriorityThenName) {
    TKivoBox& a = Box("a", 1, 1, 4, 3, 0x0000FF);
    Box("b", 3, 0, 4, 3, 0x00FF00);
    EXPECT_EQ(Picture(), (Rows{
                             "...GGGG.",
                             ".RRGGGG.",
                             ".RRGGGG.",
                             ".RRRR...",
                             "........",
                         }));
    a.SetPriority(1);
    EXPECT_EQ(Picture(), (Rows{
                             "...GGGG.",
                             ".RRRRGG.",
                             ".RRRRGG.",
                             ".RRRR...",
                             "........",
                         }));
}

TEST_F(DrawTest, ChildrenAreClippedToTheParentAndTheirClipRectangle) {
    TKivoBox& parent = Box("p", 1, 1, 4, 3, 0xFF0000);
    Box("c", 2, 1, 5, 4, 0x00FF00, &parent);  // reaches past the parent's right and bottom
    TKivoBox& clipped = Box("d", 6, 0, 2, 5, 0xFFFFFF);
    clipped.SetClip({0, 1, 1, 2});  // one column, two rows, relative to the box
    EXPECT_EQ(Picture(), (Rows{
                             "........",
                             ".BBBB.W.",
                             ".BBGG.W.",
                             ".BBGG...",
                             "........",
                         }));
}

TEST_F(DrawTest, OffsetAndPlusShiftTheBoxButNotItsSize) {
    TKivoBox& box = Box("a", 4, 2, 2, 2);
    box.SetOffsetX(3);
    box.SetOffsetY(2);
    box.SetPlusX(1);
    EXPECT_EQ(Picture(), (Rows{
                             "..RR....",
                             "..RR....",
                             "........",
                             "........",
                             "........",
                         }));
}

TEST_F(DrawTest, HidingAParentHidesItsChildrenAndRepaintsTheBackground) {
    TKivoBox& parent = Box("p", 0, 0, 4, 4, 0xFF0000);
    Box("c", 1, 1, 2, 2, 0x00FF00, &parent);
    ASSERT_EQ(Picture()[1], "BGGB....");
    parent.SetVisible(false);
    EXPECT_EQ(Picture(), (Rows(5, "........")));
    parent.SetVisible(true);
    EXPECT_EQ(Picture()[1], "BGGB....");
}

TEST_F(DrawTest, DeletingRepaintsTheLayerBackground) {
    root.ActiveLayer().SetColor(0xFFFFFF);
    TKivoBox& box = Box("a", 1, 1, 3, 2);
    ASSERT_EQ(Picture()[1], "WRRRWWWW");
    root.Destroy(box);
    EXPECT_EQ(Picture(), (Rows(5, "WWWWWWWW")));
}

TEST_F(DrawTest, WithoutABackgroundWhatLayBelowADeletedBoxIsRedrawn) {
    // No background: the area is drawn again, but only the objects left paint it, so the
    // deleted box's pixels stay where nothing covers them.
    root.ActiveLayer().SetColor(-1);
    TKivoBox& under = Box("a", 0, 0, 3, 3, 0x00FF00);
    TKivoBox& over = Box("b", 1, 1, 3, 3, 0x0000FF);
    ASSERT_EQ(Picture()[1], "GRRR....");
    root.Destroy(over);
    EXPECT_EQ(Picture(), (Rows{
                             "GGG.....",
                             "GGGR....",
                             "GGGR....",
                             ".RRR....",
                             "........",
                         }));
    (void)under;
}

TEST_F(DrawTest, MovingABoxRedrawsItsOldAndNewPlaceOnly) {
    TKivoBox& box = Box("a", 0, 0, 2, 2);
    Box("far", 6, 3, 2, 2, 0x00FF00);
    (void)Picture();
    box.SetLeft(3);
    const std::vector<TRect> dirty = root.ActiveLayer().Dirty().Rects();
    EXPECT_EQ(dirty, (std::vector<TRect>{{0, 0, 5, 2}}));
    EXPECT_EQ(Picture(), (Rows{
                             "...RR...",
                             "...RR...",
                             "........",
                             "......GG",
                             "......GG",
                         }));
}

TEST_F(DrawTest, UnnamedChildrenAreNotDrawn) {
    Box("", 0, 0, 2, 2);
    EXPECT_EQ(Picture(), (Rows(5, "........")));
}

TEST_F(DrawTest, BorderFramesTheInsideAndMinusOneMeansNone) {
    TKivoBox& framed = Box("a", 0, 0, 5, 4, 0x0000FF);
    framed.SetBorderWidth(1);
    framed.SetBorderColor(0xFFFFFF);
    TKivoBox& outline = Box("b", 5, 0, 3, 3, -1);
    outline.SetBorderWidth(1);
    outline.SetBorderColor(0x00FF00);
    TKivoBox& thick = Box("c", 5, 3, 3, 2, 0xFF0000);
    thick.SetBorderWidth(5);  // thicker than the box: all border
    thick.SetBorderColor(0x00FFFF);
    EXPECT_EQ(Picture(), (Rows{
                             "WWWWWGGG",
                             "WRRRWG.G",
                             "WRRRWGGG",
                             "WWWWWYYY",
                             ".....YYY",
                         }));
}

TEST_F(DrawTest, AlphaBlendsAndAbove255Adds) {
    root.ActiveLayer().SetColor(0x404040);
    TKivoBox& blended = Box("a", 0, 0, 1, 1, 0x0000FF);
    blended.SetAlpha(128);
    TKivoBox& added = Box("b", 1, 0, 1, 1, 0x0000FF);
    added.SetAlpha(256 + 128);  // adds half the colour
    TKivoBox& none = Box("c", 2, 0, 1, 1, 0x0000FF);
    none.SetAlpha(0);
    TKivoBox& beyond = Box("d", 3, 0, 1, 1, 0x0000FF);
    beyond.SetAlpha(512);
    (void)Picture();
    const TDIBX& back = root.BackBuffer();
    // The blend is the raster fill's own, at the box's alpha.
    TDIBX reference(1, 1, 32);
    TDrawContext referenceDraw(reference);
    referenceDraw.Fill(0x404040);
    referenceDraw.FillRectAlpha({0, 0, 1, 1}, 0xFF0000, 128);
    EXPECT_EQ(back.GetPixel(0, 0), reference.GetPixel(0, 0));
    EXPECT_NE(back.GetPixel(0, 0), 0x404040u);
    EXPECT_EQ(back.GetPixel(1, 0), 0xBF4040u);  // 0x40 + 0xFF * 128 / 256 in red
    EXPECT_EQ(back.GetPixel(2, 0), 0x404040u);
    EXPECT_EQ(back.GetPixel(3, 0), 0x404040u);
}

TEST_F(DrawTest, FlippingShowsTheOtherLayerWhole) {
    Box("front", 0, 0, 2, 2, 0x0000FF);
    Box("back", 4, 0, 2, 2, 0x00FF00, &root.InactiveLayer());
    root.InactiveLayer().SetColor(0xFFFFFF);
    ASSERT_EQ(Picture()[0], "RR......");
    root.SetActiveLayer(1);
    EXPECT_EQ(Picture(), (Rows{
                             "WWWWGGWW",
                             "WWWWGGWW",
                             "WWWWWWWW",
                             "WWWWWWWW",
                             "WWWWWWWW",
                         }));
    // The layer now hidden kept drawing into its own surface.
    EXPECT_EQ(PictureOf(root.Layer(0).OwnSurface())[1], "RR......");
}

}  // namespace
}  // namespace kivo::test

namespace kivo::test {
namespace {

TEST(SceneRootCapture, TakesTheShownOrTheOtherLayerAtSceneSize) {
    PlayerState state;
    TTimerList events;
    SceneRoot scene(state, events, nullptr);
    scene.SetSize(6, 4);
    scene.Root().Layer(0).SetColor(0x0000FF);
    scene.Root().Layer(1).SetColor(0x00FF00);
    TDIBSurface shown;
    TDIBSurface other;
    ASSERT_TRUE(scene.CaptureLayer(false, shown));
    ASSERT_TRUE(scene.CaptureLayer(true, other));
    ASSERT_EQ(shown.Width(), 6);
    ASSERT_EQ(shown.Height(), 4);
    EXPECT_EQ(shown.PixelToColor(shown.GetPixel(5, 3)), 0x0000FFu);
    EXPECT_EQ(other.PixelToColor(other.GetPixel(0, 0)), 0x00FF00u);
    scene.SetActiveLayer(1, -1, 0, false, 0, 0);
    ASSERT_TRUE(scene.CaptureLayer(false, shown));
    EXPECT_EQ(shown.PixelToColor(shown.GetPixel(2, 2)), 0x00FF00u);
}

}  // namespace
}  // namespace kivo::test
