// Pictures from the image cache played headless end to end: a button shows its hover and
// pressed pictures under the pointer, a message window draws an inline image where the text
// lays it out, and a picture a script rewrites with SaveScreen is what the next image of that
// name shows, while an image that held the old picture keeps it.

#include "scene_game_fixture.h"
#include "support/gal_builder.h"

namespace kivo {
namespace {

// A w x h picture of one colour (0xRRGGBB); keyTopLeft makes its top-left pixel the
// transparent colour (a colour used nowhere else in it).
std::vector<uint8_t> SolidGal(int32_t w, int32_t h, uint32_t rgb, bool keyTopLeft = false) {
    constexpr uint32_t kKey = 0xFF00FF;
    std::vector<uint32_t> pixels(static_cast<size_t>(w * h), rgb);
    if (keyTopLeft) pixels[0] = kKey;
    test::GalFile file;
    file.frames.push_back(test::RgbFrame(w, h, pixels, 100, keyTopLeft ? int32_t{kKey} : -1));
    return test::WriteGal(file);
}

class PictureGame : public SceneGame {
  protected:
    // The rectangle of the pixels of colour (a script colour), as "left,top,right,bottom"
    // with right and bottom exclusive, and how many there are.
    [[nodiscard]] std::pair<std::string, int32_t> Extent(uint32_t colour) const {
        int32_t left = width_, top = INT32_MAX, right = -1, bottom = -1, count = 0;
        const int32_t height = static_cast<int32_t>(frame_.size()) / width_;
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width_; ++x) {
                if (At(x, y) != Pixel(colour)) continue;
                ++count;
                left = std::min(left, x);
                top = std::min(top, y);
                right = std::max(right, x + 1);
                bottom = std::max(bottom, y + 1);
            }
        }
        if (count == 0) return {"none", 0};
        return {std::to_string(left) + "," + std::to_string(top) + "," + std::to_string(right) +
                    "," + std::to_string(bottom),
                count};
    }
};

TEST_F(PictureGame, AButtonShowsItsHoverAndPressedPicturesUnderThePointer) {
    // Script colours are 0xBBGGRR, GAL pixels 0xRRGGBB: red, green and blue pictures.
    WriteData("n.gal", SolidGal(8, 6, 0xFF0000, true));
    WriteData("h.gal", SolidGal(8, 6, 0x00FF00));
    WriteData("p.gal", SolidGal(8, 6, 0x0000FF));
    Write(
        "BoxNew PR_NAME={\"under\"} PR_LEFT={0} PR_TOP={0} PR_WIDTH={32} PR_HEIGHT={16} "
        "PR_COLOR={0xFFFFFF}\n"
        "Button PR_NAME={\"go\"} PR_LEFT={4} PR_TOP={4} PR_SOURCE={\"n.gal\"} "
        "PR_HOVERSOURCE={\"h.gal\"} PR_PRESSEDSOURCE={\"p.gal\"} PR_PRIORITY={1}\n"
        "Label \"loop\"\nDoEvent\nJump \"main.ksb\" target=<loop> condition={TRUE}\n");
    struct Case {
        const char* input;
        int64_t frames;
        uint32_t shown;
    };
    const Case cases[] = {
        {"", 4, kRed},                                            // nothing over it: normal
        {"2 move 6 6\n", 5, kGreen},                              // the pointer over it: hover
        {"2 move 6 6\n3 ldown\n", 6, kBlue},                      // held down on it: pressed
        {"2 move 6 6\n4 move 20 12\n", 8, kRed},                  // the pointer gone: normal again
        {"2 move 6 6\n3 ldown\n4 lup\n6 move 20 12\n", 9, kRed},  // clicked and left
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        ASSERT_EQ(Play(c.frames, c.input), 0);
        // The button takes its picture's size: 8 x 6 at (4, 4).
        const uint32_t white = Pixel(kWhite);
        EXPECT_EQ(Extent(c.shown).first, "4,4,12,10");
        EXPECT_EQ(At(12, 6), white);
        EXPECT_EQ(At(6, 10), white);
        // Only the normal picture keys its top-left pixel: the box shows through.
        EXPECT_EQ(At(4, 4), c.shown == kRed ? white : Pixel(c.shown));
    }
}

TEST_F(PictureGame, AButtonWhosePictureIsMissingShowsNothingButStillClicks) {
    Write(
        "VarNew \"clicks\" type=PT_INT\n"
        "BoxNew PR_NAME={\"under\"} PR_LEFT={0} PR_TOP={0} PR_WIDTH={32} PR_HEIGHT={16} "
        "PR_COLOR={0xFFFFFF}\n"
        "Button PR_NAME={\"go\"} PR_LEFT={4} PR_TOP={4} PR_SOURCE={\"none.gal\"} "
        "PR_PRIORITY={1} PR_ONNOTIFY={\"ev.kss:click\"}\n"
        "Label \"loop\"\nDoEvent\nJump \"main.ksb\" target=<loop> condition={TRUE}\n",
        32, 16, "Label \"click\"\nCalc {clicks = clicks + 1}\nExit condition={TRUE}\n");
    ASSERT_EQ(Play(8, "2 move 6 6\n3 ldown\n4 lup\n"), 0);
    // The cache's stand-in is a transparent 8 x 8 frame.
    EXPECT_EQ(Extent(kWhite).second, 32 * 16);
    EXPECT_EQ(Var("clicks"), "1");
}

TEST_F(PictureGame, AMessageWindowDrawsItsInlineImageFromTheCache) {
    WriteData("dot.gal", SolidGal(8, 8, 0x00FF00, true));
    Write(
        "MesNew PR_NAME={\"mes\"} PR_LEFT={10} PR_TOP={4} PR_WIDTH={120} PR_HEIGHT={24} "
        "PR_FONTHEIGHT={16} PR_FONTCOLOR={0xFFFFFF} PR_TEXTDELAY={0}\n"
        "TextIns \"<IMG SRC=\\\"dot.gal\\\"><IMG SRC=\\\"none.gal\\\"><IMG "
        "SRC=\\\"dot.gal\\\">\" object={\"mes\"}\n"
        "Label \"idle\"\nWait time={0}\n",
        160, 32);
    ASSERT_EQ(Play(10), 0);
    // Two images side by side at the window's origin, the missing one taking no room; each
    // lacks its keyed top-left pixel.
    const auto [extent, count] = Extent(kGreen);
    EXPECT_EQ(extent, "10,4,26,12");
    EXPECT_EQ(count, 2 * 64 - 2);
    EXPECT_NE(At(10, 4), Pixel(kGreen));
    EXPECT_NE(At(18, 4), Pixel(kGreen));
}

TEST_F(PictureGame, SaveScreenReplacesTheCachedPictureOfItsName) {
    WriteData("shot.gal", SolidGal(16, 16, 0x00FF00));
    // "old" holds shot.gal (green) and stays on top at the right; the screen is then saved
    // over the same name with a red box on the left, and "new" shows the saved picture.
    Write(
        "VarNew \"saved\" type=PT_BOOL\n"
        "ImgNew PR_NAME={\"old\"} PR_SOURCE={\"shot.gal\"} PR_LEFT={16} PR_TOP={0} "
        "PR_PRIORITY={5}\n"
        "BoxNew PR_NAME={\"box\"} PR_LEFT={0} PR_TOP={0} PR_WIDTH={16} PR_HEIGHT={16} "
        "PR_COLOR={0x0000FF}\n"
        "Wait time={20}\n"
        "Calc {saved = SaveScreen(\"shot.gal\")}\n"
        "ObjDel object={\"box\"}\n"
        "ImgNew PR_NAME={\"new\"} PR_SOURCE={\"shot.gal\"} PR_LEFT={0} PR_TOP={0}\n"
        "Label \"idle\"\nWait time={0}\n",
        32, 16);
    ASSERT_EQ(Play(10), 0);
    EXPECT_EQ(Var("saved"), "true");
    // The saved picture is the whole 32 x 16 screen: red left, green right.
    EXPECT_EQ(Extent(kRed).first, "0,0,16,16");
    EXPECT_EQ(Extent(kGreen).first, "16,0,32,16");
    ASSERT_TRUE(std::filesystem::exists(folder_ / "shot.gal"));
    EXPECT_GT(std::filesystem::file_size(folder_ / "shot.gal"), 0u);
}

}  // namespace
}  // namespace kivo
