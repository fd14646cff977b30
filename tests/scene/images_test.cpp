// Pictures on the scene: images placed, zoomed, flipped and blended, animated by their frame
// times, brightened without losing their key, tiled with scroll and distance, and saved.

#include <gtest/gtest.h>

#include <algorithm>

#include "scene/kivo_images.h"
#include "scene/kivo_tile.h"
#include "scene/picture_files.h"
#include "scene/scene_fixture.h"

namespace kivo::test {
namespace {

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

class ImagesTest : public SceneTest {
  protected:
    ImagesTest() {
        root.Images().SetFiles(&files);
        files.Add("rg.gal", OneFrame(2, 1, {kRed, kGreen}));
        files.Add("rgb.gal", OneFrame(3, 1, {kRed, kGreen, kBlue}));
        GalFile frames;
        frames.frames.push_back(RgbFrame(1, 1, {kRed}, 50));
        frames.frames.push_back(RgbFrame(1, 1, {kGreen}, 30));
        frames.frames.push_back(RgbFrame(1, 1, {kBlue}, 20));
        files.Add("anim.gal", frames);
    }

    static GalFile OneFrame(int width, int height, std::vector<uint32_t> pixels, int32_t key = -1) {
        GalFile file;
        file.frames.push_back(RgbFrame(width, height, pixels, 100, key));
        return file;
    }

    TKivoImages& Image(const std::string& source, int32_t left, int32_t top) {
        TKivoImages& image = root.Create<TKivoImages>();
        image.SetParent(&root.ActiveLayer());
        image.SetSource(source);
        image.SetLeft(left);
        image.SetTop(top);
        return image;
    }

    std::string Row(int32_t y) { return Picture()[static_cast<size_t>(y)].substr(0, 8); }

    MemoryPictures files;
};

TEST_F(ImagesTest, PlacementZoomFlipAndGivenSizes) {
    TKivoImages& image = Image("rg.gal", 1, 1);
    EXPECT_EQ(image.Width(), 2);
    EXPECT_EQ(Row(1), ".RG.....");
    // Flipped, the picture mirrors about its reference point, one pixel in from its right.
    image.SetFlipH(true);
    EXPECT_EQ(Row(1), "GR......");
    image.SetFlipH(false);
    WriteProperty(image, PR_ZOOMX, int32_t{512});
    EXPECT_EQ(image.Width(), 4);
    EXPECT_EQ(Row(1), ".RRGG...");
    // A width set directly stretches the picture and reads as zoom 0; a new picture keeps it.
    WriteProperty(image, PR_WIDTH, int32_t{6});
    EXPECT_EQ(std::get<int32_t>(ReadProperty(image, PR_ZOOMX)), 0);
    const std::string stretched = Row(1);
    EXPECT_EQ(stretched.front(), '.');
    EXPECT_EQ(stretched.substr(1, 1), "R");
    EXPECT_EQ(stretched.substr(6, 2), "G.");
    EXPECT_EQ(std::count(stretched.begin(), stretched.end(), 'R') +
                  std::count(stretched.begin(), stretched.end(), 'G'),
              6);
    image.SetSource("rgb.gal");
    EXPECT_EQ(image.Width(), 6);
    EXPECT_EQ(Row(1), ".RRGGBB.");  // 3 to 6: exactly two each
    // A zoom of 0 or less written by a script becomes 1.
    WriteProperty(image, PR_ZOOMY, int32_t{-5});
    EXPECT_EQ(std::get<int32_t>(ReadProperty(image, PR_ZOOMY)), 1);
    EXPECT_EQ(std::get<int32_t>(ReadProperty(image, PR_ORIGWIDTH)), 3);
}

TEST_F(ImagesTest, AlphaBlendsCopiesOrAdds) {
    TKivoImages& image = Image("rg.gal", 0, 0);
    const auto redAt = [&](int32_t x) {
        std::vector<TRect> dirty;
        (void)root.Draw(dirty);
        root.ClearDirty();
        return (root.BackBuffer().GetPixel(x, 0) >> 16) & 0xFF;
    };
    // Over black: 300 adds red at strength 44 (255 x 44 / 256), 511 at 255.
    struct Case {
        int32_t alpha;
        uint32_t red;
    };
    for (const Case& c :
         {Case{255, 255}, Case{300, 43}, Case{511, 254}, Case{0, 0}, Case{600, 254}}) {
        image.SetAlpha(c.alpha);
        EXPECT_EQ(redAt(0), c.red) << c.alpha;
    }
    EXPECT_EQ(image.Alpha(), 511);
    // A blend mixes with what lies below.
    image.SetAlpha(128);
    const uint32_t half = redAt(0);
    EXPECT_GT(half, 120u);
    EXPECT_LT(half, 135u);
}

TEST_F(ImagesTest, MissingPicturesShowNothingAndRaiseNothing) {
    TKivoImages& image = Image("none.gal", 0, 0);
    EXPECT_EQ(image.Width(), 8);
    EXPECT_EQ(Row(0), "........");
    image.SetSource("picture.bmp.txt");
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(std::get<int32_t>(ReadProperty(image, PR_COUNT)), 0);
}

TEST_F(ImagesTest, FramesFollowTheirTimesAndPlayEndIsQueuedOnce) {
    // Frames of 50, 30 and 20 ms at 16 ms a frame: the first leaves after four frames (its
    // time drops to -14), the second shows for the next 16 ms that remain of it.
    struct Case {
        bool repeat;
        std::vector<int32_t> indexes;
        size_t playEnds;
    };
    for (const Case& c : {Case{false, {0, 0, 0, 1, 2, 2, 2, 2, 2}, 1},
                          Case{true, {0, 0, 0, 1, 2, 2, 0, 0, 0}, 0}}) {
        root.Reset();
        TKivoImages& image = Image("anim.gal", 0, 0);
        image.Rename("anim");
        image.SetRepeat(c.repeat);
        image.SetPlayEndHandler("page:end");
        std::vector<int32_t> seen;
        for (size_t frame = 0; frame < c.indexes.size(); ++frame) {
            root.FrameAdvance();
            seen.push_back(image.Index());
        }
        EXPECT_EQ(seen, c.indexes) << c.repeat;
        EXPECT_EQ(Queue().size(), c.playEnds);
        EXPECT_EQ(image.FramesPlaying(), c.repeat);
    }
}

TEST_F(ImagesTest, BrightnessKeepsTheOriginalKeysTransparency) {
    // Brightened fully, the red pixel turns white, the key's own colour: it must still show,
    // and the keyed pixel must still not.
    files.Add("keyed.gal", OneFrame(2, 1, {kWhite, kRed}, static_cast<int32_t>(kWhite)));
    Box("under", 0, 0, 4, 1, 0xFF0000);  // blue
    TKivoImages& image = Image("keyed.gal", 0, 0);
    image.SetPriority(1);
    EXPECT_EQ(Row(0).substr(0, 3), "BRB");
    WriteProperty(image, PR_BRIGHTNESS, int32_t{300});
    EXPECT_EQ(image.Brightness(), 255);
    EXPECT_EQ(Row(0).substr(0, 3), "BWB");
    image.SetBrightness(0);
    EXPECT_EQ(Row(0).substr(0, 3), "BRB");
}

TEST_F(ImagesTest, TilesRepeatFromMinusTheScrollWithDistance) {
    struct Case {
        int32_t scroll, distance, zoom;
        std::string row;
    };
    for (const Case& c :
         {Case{0, 0, 256, "RGBRGBRG"}, Case{1, 0, 256, "GBRGBRGB"}, Case{-1, 0, 256, "BRGBRGBR"},
          Case{0, 4, 256, "RGB.RGB."}, Case{-5, 4, 256, ".RGB.RGB"}, Case{0, 0, 512, "RRGGBBRR"}}) {
        root.Reset();
        TKivoTile& tile = root.Create<TKivoTile>();
        tile.SetParent(&root.ActiveLayer());
        tile.SetSource("rgb.gal");
        tile.SetBounds(0, 0, 8, 1);
        tile.SetScrollX(c.scroll);
        tile.SetDistanceX(c.distance);
        tile.SetZoomX(c.zoom);
        EXPECT_EQ(tile.Width(), 8);
        EXPECT_EQ(Row(0), c.row) << c.scroll << " " << c.distance << " " << c.zoom;
        EXPECT_TRUE(std::get<bool>(ReadProperty(tile, PR_REPEAT)));
    }
}

TEST_F(ImagesTest, SavedImagesAndTilesComeBackAtTheirFrame) {
    TKivoImages& image = Image("anim.gal", 2, 0);
    image.Rename("anim");
    image.SetRepeat(true);
    for (int i = 0; i < 4; ++i)
        root.FrameAdvance();
    ASSERT_EQ(image.Index(), 1);
    const int32_t remaining = image.RemainingTime();
    TKivoTile& tile = root.Create<TKivoTile>();
    tile.Rename("tile");
    tile.SetParent(&root.ActiveLayer());
    tile.SetSource("rgb.gal");
    tile.SetBounds(3, 0, 5, 1);
    tile.SetScrollX(2);
    tile.SetDistanceX(4);
    const std::string before = Row(0);
    ByteWriter writer;
    root.Save(writer);

    PlayerState otherState;
    TKivoBaseList other(otherState);
    other.Images().SetFiles(&files);
    ByteReader reader(writer.Bytes(), "save");
    other.Load(reader, 130);
    auto* loaded = dynamic_cast<TKivoImages*>(other.FindComponent("anim"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Index(), 1);
    EXPECT_EQ(loaded->RemainingTime(), remaining);
    EXPECT_TRUE(loaded->Repeat());
    std::vector<TRect> dirty;
    (void)other.Draw(dirty);
    EXPECT_EQ(PictureOf(other.BackBuffer())[0].substr(0, 8), before);
    EXPECT_EQ(before, "..GB.RGB");
}

}  // namespace
}  // namespace kivo::test
