// Controls holding pictures of the image cache under their own handles: each state's picture
// is one holding of the button, given back when the state changes picture and when the button
// goes, so that a file two states share stays in use until both have let it go.

#include <algorithm>

#include "picture_files.h"
#include "scene/gale_pictures.h"
#include "scene/kivo_button.h"
#include "scene/kivo_cg_label.h"
#include "scene/kivo_menu.h"
#include "scene_fixture.h"

namespace kivo::test {
namespace {

class GalePicturesTest : public SceneTest {
  protected:
    GalePicturesTest() {
        files.AddSolid("a.gal", 4, 4, 0xFF0000);
        files.AddSolid("b.gal", 4, 4, 0x00FF00);
        root.Images().SetFiles(&files);
        root.SetPictures(&pictures);
    }

    MemoryPictures files;
    TGalePictures pictures{root.Images()};
};

TEST_F(GalePicturesTest, AButtonHoldsOnePictureOncePerStateAndGivesItBack) {
    TKivoButton& button = root.Create<TKivoButton>();
    button.SetParent(&root.ActiveLayer());
    button.SetSource(TKivoButton::kNormal, "a.gal");
    button.SetSource(TKivoButton::kHover, "a.gal");
    button.SetSource(TKivoButton::kPressed, "b.gal");
    TGaleItem* a = root.Images().Find("a.gal");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->HoldingsOf(button.Handle()), 2);
    EXPECT_EQ(files.loads, 2);  // a.gal decoded once for both states

    // The hover state takes another picture: a.gal is still drawn by the normal state.
    button.SetSource(TKivoButton::kHover, "b.gal");
    EXPECT_EQ(a->HoldingsOf(button.Handle()), 1);
    EXPECT_TRUE(root.Images().ReleasedKeys().empty());

    root.Destroy(button);
    std::vector<std::string> released = root.Images().ReleasedKeys();
    std::sort(released.begin(), released.end());
    EXPECT_EQ(released, (std::vector<std::string>{"a.gal", "b.gal"}));
}

TEST_F(GalePicturesTest, ACGLabelHoldsItsSheetUnderItsOwnHandle) {
    TKivoCGLabel& label = root.Create<TKivoCGLabel>();
    label.SetParent(&root.ActiveLayer());
    label.SetSource("a.gal");
    TGaleItem* a = root.Images().Find("a.gal");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->HoldingsOf(label.Handle()), 1);
    label.SetSource("b.gal");
    EXPECT_EQ(a->HoldingsOf(label.Handle()), 0);
    EXPECT_EQ(root.Images().ReleasedKeys(), (std::vector<std::string>{"a.gal"}));
}

TEST_F(GalePicturesTest, ListBoxesSharingAPictureEachHoldItUntilTheyGo) {
    // Two open menus side by side whose top-left frame cell is the red a.gal.
    auto menuAt = [&](int32_t left) -> TKivoMenu& {
        TKivoMenu& menu = root.Create<TKivoMenu>();
        menu.SetParent(&root.ActiveLayer());
        menu.SetLeft(left);
        menu.SetCellSource(0, "a.gal");
        menu.SetText("x");
        menu.SetPlayState(TKivoMenu::kOpen);
        return menu;
    };
    TKivoMenu& first = menuAt(0);
    TKivoMenu& second = menuAt(8);
    TGaleItem* a = root.Images().Find("a.gal");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->HoldingsOf(first.Handle()), 1);
    EXPECT_EQ(a->HoldingsOf(second.Handle()), 1);
    EXPECT_EQ(a->HoldingsOf(ObjectHandle{}), 0);
    ASSERT_EQ(Picture()[0].substr(8, 4), "RRRR");

    root.Destroy(first);
    EXPECT_EQ(a->HoldingsOf(second.Handle()), 1);
    EXPECT_TRUE(root.Images().ReleasedKeys().empty());
    EXPECT_EQ(Picture()[0].substr(8, 4), "RRRR");

    root.Destroy(second);
    const std::vector<std::string> released = root.Images().ReleasedKeys();
    EXPECT_NE(std::find(released.begin(), released.end(), "a.gal"), released.end());
}

TEST_F(GalePicturesTest, InlineImagesOfMissingOrDamagedFilesAreNoPicture) {
    files.files["bad.gal"] = {'G', 'a', 'l', 'e', '1', '0', '6', 0, 0};
    EXPECT_EQ(pictures.Open("none.gal"), nullptr);
    EXPECT_EQ(pictures.Open("bad.gal"), nullptr);
    const std::unique_ptr<GlyphImage> image = pictures.Open("a.gal");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Width(), 4);
    EXPECT_FALSE(image->IsAnimated());
    // Nothing stays held for the pictures that were not given out.
    EXPECT_EQ(root.Images().Find("none.gal")->InUse(), false);
    EXPECT_TRUE(root.Images().Find("a.gal")->InUse());
}

}  // namespace
}  // namespace kivo::test
