// Motion files named as the source of an image object or of a button state: the object shows
// the pictures the film's image tracks name, moves and zooms along it, ends, repeats and comes
// back from a save record; a button's hover and clicked states play their motions.

#include "picture_files.h"
#include "scene/gale_pictures.h"
#include "scene/kivo_button.h"
#include "scene/kivo_images.h"
#include "scene_fixture.h"
#include "storage/stream.h"
#include "storage/vr_file_manager.h"
#include "support/film_writer.h"

namespace kivo::test {
namespace {

// Frames 0-9 show red.gal moving right by one pixel a frame and growing from 100 % to 190 %;
// frames 10-19 show blue.gal standing at (20, 2).
FilmFile WalkFilm() {
    FilmImageTrack walk{
        .base = {.length = 10},
        .block = {.move = {.sx = 0, .sy = 2, .ex = 9, .ey = 2}, .startZoomX = 1.0, .endZoomX = 1.9},
        .file = "red.gal"};
    FilmImageTrack stand{.base = {.length = 10, .start = 10},
                         .block = {.move = {.sx = 20, .sy = 2, .ex = 20, .ey = 2}},
                         .file = "blue.gal"};
    return {.signature = "KivoMotion", .tracks = {walk, stand}};
}

class MotionSourceTest : public SceneTest {
  protected:
    MotionSourceTest() {
        root.SetSize(32, 10);
        Serve(root);
        AddPicture("red.gal", 0xFF0000);
        AddPicture("green.gal", 0x00FF00);
        AddPicture("blue.gal", 0x0000FF);
        AddFilm("walk.kmt", WalkFilm());
    }

    void Serve(TKivoBaseList& scene) {
        scene.SetServices({.files = &files});
        scene.Images().SetFiles(&pictures);
    }
    void AddFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        files.MemoryCollection().AddMemoryEntry(name).memory->Assign(bytes);
    }
    void AddFilm(const std::string& name, const FilmFile& film) { AddFile(name, WriteFilm(film)); }
    // A 4 x 4 picture of one colour (0xRRGGBB).
    void AddPicture(const std::string& name, uint32_t rgb) {
        pictures.AddSolid(name, 4, 4, rgb);
        AddFile(name, pictures.files[name]);
    }

    TKivoImages& Image(const std::string& source, TKivoBaseList* scene = nullptr) {
        TKivoBaseList& owner = scene != nullptr ? *scene : root;
        auto& image = *static_cast<TKivoImages*>(owner.CreateObject(LT_IMAGES));
        image.Rename("img");
        image.SetParent(&owner.ActiveLayer());
        image.SetPlayEndHandler("end.ksb");
        image.SetSource(source);
        return image;
    }
    void Frames(int count) {
        for (int i = 0; i < count; ++i)
            root.FrameAdvance();
    }
    // Row y of the shown picture.
    std::string Row(int32_t y) { return Picture()[static_cast<size_t>(y)]; }

    MemoryPictures pictures;
    TVrFileManager files;
};

TEST_F(MotionSourceTest, AnImageShowsMovesAndZoomsAlongItsMotionFile) {
    TKivoImages& image = Image("walk.kmt");
    ASSERT_NE(image.Motion(), nullptr);
    // The first frame shows at once, before any update.
    EXPECT_EQ(Row(2), "RRRR............................");
    EXPECT_EQ(ReadProperty(image, PR_COUNT), PropertyValue(20));

    // Time runs from the third update, 16 ms a step: after 10 updates 128 ms, frame 8, at
    // x 8 and zoom 256 + 8 * 230 / 9 = 460 (the zoom 1.9 is carried as 486).
    Frames(10);
    EXPECT_EQ(image.Motion()->Frame(), 8);
    EXPECT_EQ(image.Width(), 4 * (256 + 8 * (486 - 256) / 9) / 256);
    EXPECT_EQ(Row(2), "........RRRRRRR.................");
    EXPECT_EQ(Row(1), "................................");

    // Frame 11 (176 ms): the second track's picture, standing at x 20; the source stays the
    // film.
    Frames(3);
    EXPECT_EQ(image.Motion()->Frame(), 11);
    EXPECT_EQ(Row(2), "....................BBBB........");
    EXPECT_EQ(image.Source(), "walk.kmt");
    EXPECT_EQ(image.Width(), 4);  // the second track shows it unzoomed
}

TEST_F(MotionSourceTest, AnEndingMotionQueuesPlayEndOnceScrapsOrRestartsOnRepeat) {
    TKivoImages& image = Image("walk.kmt");
    Frames(40);
    EXPECT_EQ(image.Motion()->Frame(), 19);
    EXPECT_EQ(Queue(), (std::vector<std::string>{"img:43"}));
    EXPECT_FALSE(std::get<bool>(ReadProperty(image, PR_PLAYING)));

    // Repeat restarts the finished motion from its first frame.
    image.SetRepeat(true);
    Frames(1);
    EXPECT_EQ(image.Motion()->Frame(), 0);
    EXPECT_EQ(Row(2), "RRRR............................");
    EXPECT_TRUE(std::get<bool>(ReadProperty(image, PR_PLAYING)));

    TKivoImages& scrap = Image("walk.kmt");
    scrap.Rename("scrap");
    scrap.SetAutoScrap(true);
    const ObjectHandle handle = scrap.Handle();
    Frames(40);
    EXPECT_EQ(root.Resolve(handle), nullptr);
}

TEST_F(MotionSourceTest, ARelativeMotionStartsFromWhereTheScriptPlacesTheImage) {
    FilmFile film = WalkFilm();
    film.relative = true;
    film.originX = 0;
    film.originY = 2;
    AddFilm("rel.kmt", film);
    TKivoImages& image = Image("rel.kmt");
    // Placed after the source is set, in the same frame, as a creating command does.
    image.SetLeft(5);
    image.SetTop(4);
    Frames(10);
    EXPECT_EQ(image.AbsLeft(), 5 + 8);
    EXPECT_EQ(image.AbsTop(), 4);
    EXPECT_EQ(Row(4).substr(12, 9), ".RRRRRRR.");
}

TEST_F(MotionSourceTest, AMissingOrDamagedMotionShowsNothingAndAnotherSourceEndsTheMotion) {
    AddFile("bad.kmt", {'K', 'i', 'v', 'o', 'M', 'o', 't', 'i', 'o', 'n', '1'});
    for (const std::string source : {"none.kmt", "bad.kmt"}) {
        SCOPED_TRACE(source);
        TKivoImages& image = Image(source);
        EXPECT_EQ(image.Motion(), nullptr);
        EXPECT_EQ(image.Width(), 0);
        Frames(2);
        EXPECT_EQ(Row(2), "................................");
        root.Destroy(image);
    }
    TKivoImages& image = Image("walk.kmt");
    Frames(10);
    image.SetSource("green.gal");
    EXPECT_EQ(image.Motion(), nullptr);
    EXPECT_EQ(image.MotionX(), 0);
    EXPECT_EQ(image.AbsLeft(), 0);
    // What the film set stays set, as a script's settings do: here its zoom.
    EXPECT_EQ(Row(0), "GGGGGGG.........................");
}

TEST_F(MotionSourceTest, ALoadedImageRunsItsMotionAgainFromTheFirstFrame) {
    TKivoImages& image = Image("walk.kmt");
    Frames(15);
    ASSERT_GT(image.Motion()->Frame(), 10);
    ByteWriter writer;
    image.Save(writer);
    const std::vector<uint8_t> record = writer.Take();

    TKivoBaseList copy(state);
    copy.SetSize(32, 10);
    Serve(copy);
    auto& loaded = *static_cast<TKivoImages*>(copy.CreateObject(LT_IMAGES));
    loaded.SetParent(&copy.ActiveLayer());
    ByteReader reader(record, "save.dat");
    loaded.Load(reader, kSaveVersionCurrent);
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(loaded.Source(), "walk.kmt");
    ASSERT_NE(loaded.Motion(), nullptr);
    copy.FrameAdvance();
    EXPECT_EQ(loaded.Motion()->Frame(), 0);
    EXPECT_EQ(loaded.AbsLeft(), 0);
    std::vector<TRect> dirty;
    (void)copy.Draw(dirty);
    EXPECT_EQ(PictureOf(copy.BackBuffer())[2], "RRRR............................");
}

class ButtonMotionTest : public MotionSourceTest {
  protected:
    ButtonMotionTest() { root.SetPictures(&galePictures); }

    TKivoButton& Button() {
        TKivoButton& button = root.Create<TKivoButton>();
        button.Rename("b");
        button.SetParent(&root.ActiveLayer());
        button.SetLeft(2);
        button.SetTop(4);
        button.SetSource(TKivoButton::kNormal, "red.gal");
        button.SetNotifyHandler("b.ksb");
        button.SetPlayEndHandler("end.ksb");
        return button;
    }
    // A left press and release where the pointer stands.
    void Click() {
        root.SetButtonsHeld(true, false);
        root.SetClicks(true, false);
        root.InputPass();
        root.SetButtonsHeld(false, false);
        root.InputPass();
    }

    TGalePictures galePictures{root.Images()};
};

TEST_F(ButtonMotionTest, AHoverMotionLiftsTheButtonAndShowsItsPictureWhileHovered) {
    // Green, rising one pixel a frame for three frames from where the button stands, then
    // again from the top.
    AddFilm("hover.kmt",
            {.signature = "KivoMotion",
             .relative = true,
             .tracks = {FilmImageTrack{
                 .base = {.length = 4}, .block = {.move = {.ey = -3}}, .file = "green.gal"}}});
    TKivoButton& button = Button();
    button.SetSource(TKivoButton::kHover, "hover.kmt");
    ASSERT_TRUE(button.HasPicture(TKivoButton::kHover));
    EXPECT_EQ(Row(4), "..RRRR..........................");

    PointerFrame(3, 5);
    EXPECT_EQ(button.StateShown(), TKivoButton::kHover);
    EXPECT_EQ(Row(4), "..GGGG..........................");
    // Updates 3 and 4 reach frames 1 and 2 (16 and 32 ms); the hover state repeats, so the
    // motion goes on past its last frame.
    std::vector<int32_t> tops;
    for (int i = 0; i < 8; ++i) {
        root.FrameAdvance();
        tops.push_back(button.AbsTop());
    }
    EXPECT_EQ(tops, (std::vector<int32_t>{4, 4, 3, 2, 1, 4, 3, 2}));
    EXPECT_EQ(Row(2).substr(0, 7), "..GGGG.");
    EXPECT_EQ(Row(6).substr(0, 7), ".......");

    // Leaving the button ends the motion: back in its place with its normal picture.
    PointerFrame(30, 0);
    EXPECT_EQ(button.StateShown(), TKivoButton::kNormal);
    EXPECT_EQ(button.Motion(), nullptr);
    EXPECT_EQ(button.AbsTop(), 4);
    EXPECT_EQ(Row(4), "..RRRR..........................");
    EXPECT_EQ(Row(2), "................................");
}

TEST_F(ButtonMotionTest, TheClickedStateEndsWhenItsMotionDoes) {
    AddFilm("click.kmt",
            {.signature = "KivoMotion",
             .tracks = {FilmImageTrack{.base = {.length = 3},
                                       .block = {.move = {.sx = 2, .sy = 4, .ex = 2, .ey = 4}},
                                       .file = "blue.gal"}}});
    TKivoButton& button = Button();
    button.SetSource(TKivoButton::kClicked, "click.kmt");
    PointerFrame(3, 5);
    Click();
    EXPECT_EQ(button.StateShown(), TKivoButton::kClicked);
    EXPECT_EQ(Row(4), "..BBBB..........................");
    EXPECT_EQ(ReadProperty(button, PR_COUNT), PropertyValue(3));
    // The motion's time runs from the third update and reaches frame 3, its end, at 48 ms.
    for (int i = 0; i < 4; ++i) {
        root.FrameAdvance();
        EXPECT_EQ(button.StateShown(), TKivoButton::kClicked) << i;
    }
    root.FrameAdvance();
    EXPECT_EQ(Queue(), (std::vector<std::string>{"b:33", "b:43"}));
    EXPECT_EQ(button.StateShown(), TKivoButton::kNormal);
    EXPECT_EQ(Row(4), "..RRRR..........................");

    // With auto-scrap the end of the clicked motion ends the button.
    button.SetAutoScrap(true);
    Click();
    const ObjectHandle handle = button.Handle();
    for (int i = 0; i < 5; ++i)
        root.FrameAdvance();
    EXPECT_EQ(root.Resolve(handle), nullptr);
}

TEST_F(ButtonMotionTest, AHoverMotionWithoutFramesNeverEndsTheButton) {
    AddFilm("empty.kmt", {.signature = "KivoMotion"});
    TKivoButton& button = Button();
    button.SetAutoScrap(true);
    button.SetSource(TKivoButton::kHover, "empty.kmt");
    PointerFrame(3, 5);
    EXPECT_EQ(button.StateShown(), TKivoButton::kHover);
    const ObjectHandle handle = button.Handle();
    for (int i = 0; i < 3; ++i)
        root.FrameAdvance();
    EXPECT_NE(root.Resolve(handle), nullptr);
    EXPECT_TRUE(Queue().empty());
}

}  // namespace
}  // namespace kivo::test
