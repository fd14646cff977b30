// GetDisplayMode, SetWallPaper and SaveScreen: the display modes as written to variables,
// screenshots read back as GAL pictures at exact pixels, names that are refused, memory
// entries, and the installation record that keeps every other field when a name is added.

#include <gtest/gtest.h>

#include <map>

#include "function_call.h"
#include "imaging/bmp_codec.h"
#include "imaging/gale_frame_list.h"
#include "interpreter_harness.h"
#include "platform/host_files.h"
#include "storage/install_data.h"
#include "support/scratch_folder.h"

namespace kivo::test {
namespace {

// The shown layer is a 4 x 2 picture of distinct colours; the other layer is white.
class PictureScene final : public NullSceneCommands {
  public:
    bool CaptureLayer(bool back, TDIBSurface& picture) override {
        ++captures;
        picture.SetSize(4, 2, 32);
        for (int32_t y = 0; y < 2; ++y) {
            for (int32_t x = 0; x < 4; ++x)
                picture.SetPixel(x, y, back ? 0xFFFFFF : Pixel(x, y));
        }
        return true;
    }
    static uint32_t Pixel(int32_t x, int32_t y) { return 0x102030u * (1 + x) + 0x400000u * y; }
    int32_t captures = 0;
};

class FakeScreen final : public ScreenPort {
  public:
    std::optional<DisplayMode> DisplayModeAt(int32_t index) const override {
        if (index < 0 || index >= static_cast<int32_t>(modes.size())) return std::nullopt;
        return modes[static_cast<size_t>(index)];
    }
    bool LoadPicture(std::string_view name, TDIBSurface& picture) override {
        if (name != "pic.bmp") return false;
        picture.SetSize(2, 1, 24);
        picture.SetPixel(0, 0, 0x00FF00);
        return true;
    }
    bool SetWallPaper(std::span<const uint8_t> bitmapFile, int32_t mode) override {
        wallpaper.assign(bitmapFile.begin(), bitmapFile.end());
        wallpaperMode = mode;
        return true;
    }
    std::filesystem::path LooseFolder() const override { return folder; }
    void StoreMemoryEntry(std::string_view name, std::vector<uint8_t> bytes) override {
        memory[std::string(name)] = std::move(bytes);
    }
    void ForgetPicture(std::string_view name) override { forgotten.emplace_back(name); }

    std::vector<DisplayMode> modes{{800, 600, 32, 60}, {1024, 768, 16, 75}};
    std::filesystem::path folder;
    std::vector<uint8_t> wallpaper;
    int32_t wallpaperMode = -1;
    std::map<std::string, std::vector<uint8_t>> memory;
    std::vector<std::string> forgotten;
};

class ScreenFunctions : public ::testing::Test {
  protected:
    ScreenFunctions() {
        screen.folder = scratch.Path();
        context.screen = &screen;
    }
    bool Call(std::string_view name, const std::vector<Arg>& args) {
        return caller.Call(name, args, &context)->AsFlag();
    }
    static TGaleFrameList ReadGal(std::span<const uint8_t> bytes) {
        TGaleFrameList gal;
        gal.LoadFromBytes(bytes, "shot");
        return gal;
    }

    ScratchFolder scratch{"screen_functions"};
    Harness h;
    PictureScene scene;
    FakeScreen screen;
    FunctionCaller caller;
    ScriptContext context{h.player, h.clock, h.calendar, h.random, scene, h.media, h.saves, h.urls};
};

TEST_F(ScreenFunctions, GetDisplayModeWritesTheModeOrAnswersFalse) {
    for (const char* name : {"w", "hgt", "bits", "hz"})
        caller.Declare(name, PT_INT);
    EXPECT_TRUE(Call("GetDisplayMode", {1, V("w"), V("hgt"), V("bits"), V("hz")}));
    EXPECT_EQ(caller.Var("w").AsInteger(), 1024);
    EXPECT_EQ(caller.Var("hgt").AsInteger(), 768);
    EXPECT_EQ(caller.Var("bits").AsInteger(), 16);
    EXPECT_EQ(caller.Var("hz").AsInteger(), 75);
    for (int32_t bad : {2, -1}) {
        EXPECT_FALSE(Call("GetDisplayMode", {bad, V("w"), V("hgt"), V("bits"), V("hz")}));
        EXPECT_EQ(caller.Var("w").AsInteger(), 1024);
    }
}

TEST_F(ScreenFunctions, SaveScreenWritesTheLayerAsAGalThatReadsBackPixelForPixel) {
    ASSERT_TRUE(Call("SaveScreen", {S("Shot.GAL")}));
    const TGaleFrameList gal = ReadGal(host::ReadFileBytes(scratch / "Shot.GAL"));
    ASSERT_EQ(gal.Count(), 1u);
    const TDIBSurface& picture = gal[0].Bitmap;
    ASSERT_EQ(picture.Width(), 4);
    ASSERT_EQ(picture.Height(), 2);
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < 4; ++x) {
            EXPECT_EQ(picture.PixelToColor(picture.GetPixel(x, y)),
                      TDIBSurface(1, 1, 32).PixelToColor(PictureScene::Pixel(x, y)))
                << x << "," << y;
        }
    }
    EXPECT_EQ(screen.forgotten, std::vector<std::string>{"Shot.GAL"});

    // The other layer, resized, into a memory entry.
    ASSERT_TRUE(Call("SaveScreen", {S("MEM:small.gal"), 2, 1, true}));
    ASSERT_EQ(screen.memory.count("MEM:small.gal"), 1u);
    const TGaleFrameList small = ReadGal(screen.memory["MEM:small.gal"]);
    ASSERT_EQ(small[0].Bitmap.Width(), 2);
    EXPECT_EQ(small[0].Bitmap.PixelToColor(small[0].Bitmap.GetPixel(1, 0)), 0xFFFFFFu);
    EXPECT_FALSE(std::filesystem::exists(scratch / "MEM:small.gal"));
}

TEST_F(ScreenFunctions, SaveScreenRefusesWhatItMustNotWrite) {
    struct Refused {
        const char* why;
        std::vector<Arg> args;
    };
    const Refused cases[] = {
        {"not a GAL name", {S("shot.png")}},
        {"outside the game folder", {S("..\\escape.gal")}},
        {"an absolute name", {S("/tmp/escape.gal")}},
        {"a width below 1", {S("w.gal"), -5, 0}},
        {"above 256 MiB", {S("huge.gal"), 20000, 20000}},
    };
    for (const Refused& c : cases) {
        EXPECT_FALSE(Call("SaveScreen", c.args)) << c.why;
    }
    EXPECT_TRUE(std::filesystem::is_empty(scratch.Path()));
    EXPECT_FALSE(std::filesystem::exists(scratch.Path().parent_path() / "escape.gal"));
    screen.folder.clear();
    EXPECT_FALSE(Call("SaveScreen", {S("shot.gal")}));
    EXPECT_TRUE(std::filesystem::is_empty(scratch.Path()));
}

TEST_F(ScreenFunctions, KeepOneDeletesAtExitAndKeepTwoJoinsTheInstallationRecord) {
    ASSERT_TRUE(Call("SaveScreen", {S("a.gal"), 0, 0, false, 1}));
    ASSERT_TRUE(Call("SaveScreen", {S("a.gal"), 0, 0, false, 1}));
    EXPECT_EQ(h.player.pendingExitDeletions,
              std::vector<std::string>{(scratch / "a.gal").string()});

    TInstallData record;
    record.version = 107;
    record.discIndex = 1;
    record.projectTitle = "title";
    record.texts = {"x", "y", "z"};
    record.groups = {{1, 2, 3, 4}};
    record.files = {"old.png"};
    record.allDataInstalled = 1;
    record.moreFiles = {"more"};
    record.text7 = "last";
    record.SaveToFile(scratch / "install.dat");
    TTpMemoryStream expected;
    TInstallData withName = record;
    withName.files.push_back("b.gal");
    withName.Write(expected);

    ASSERT_TRUE(Call("SaveScreen", {S("b.gal"), 0, 0, false, 2}));
    ASSERT_TRUE(Call("SaveScreen", {S("b.gal"), 0, 0, false, 2}));
    const std::vector<uint8_t> written = host::ReadFileBytes(scratch / "install.dat");
    EXPECT_TRUE(std::ranges::equal(written, expected.Bytes()));
    // No temporary file is left beside it.
    int32_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(scratch.Path()))
        ++files;
    EXPECT_EQ(files, 3);  // a.gal, b.gal, install.dat
}

TEST_F(ScreenFunctions, SetWallPaperHandsTheDesktopABitmapOfTheImageOrTheLayer) {
    EXPECT_TRUE(Call("SetWallPaper", {S("pic.bmp"), 1}));
    EXPECT_EQ(screen.wallpaperMode, 1);
    TDIBSurface wall = DecodeBmp(screen.wallpaper, "wall");
    EXPECT_EQ(wall.Width(), 2);
    EXPECT_EQ(wall.PixelToColor(wall.GetPixel(0, 0)), 0x00FF00u);

    EXPECT_TRUE(Call("SetWallPaper", {S(""), 2}));
    wall = DecodeBmp(screen.wallpaper, "wall");
    EXPECT_EQ(wall.Width(), 4);
    EXPECT_EQ(scene.captures, 1);

    screen.wallpaper.clear();
    EXPECT_FALSE(Call("SetWallPaper", {S("missing.bmp"), 0}));
    EXPECT_TRUE(screen.wallpaper.empty());
}

}  // namespace
}  // namespace kivo::test
