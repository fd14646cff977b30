// The screen manager: which display modes are listed and which one full screen uses, mode
// switches with indexes out of range and refused full screen, and what is presented after a
// switch.

#include "imaging/screen_manager.h"

#include <gtest/gtest.h>

#include <vector>

namespace kivo {
namespace {

class FakeDevice final : public DisplayDevice {
  public:
    std::vector<DisplayMode> Modes() override { return modes; }
    int32_t DesktopBitCount() override { return desktopBits; }
    bool SetFullScreen(bool value) override {
        if (value && refuseFullScreen) return false;
        fullScreen = value;
        return true;
    }
    void SetSmoothScaling(bool) override {}
    void ShowCursor(const CursorImage*) override {}
    void MovePointer(int32_t, int32_t) override {}

    std::vector<DisplayMode> modes;
    int32_t desktopBits = 32;
    bool refuseFullScreen = false;
    bool fullScreen = false;
};

class RecordingPresenter final : public Presenter {
  public:
    void Present(const FrameView&, std::span<const TRect> dirty) override {
        presented.emplace_back(dirty.begin(), dirty.end());
    }
    std::vector<std::vector<TRect>> presented;
};

struct ChoiceCase {
    const char* name;
    std::vector<DisplayMode> reported;
    int32_t desktopBits;
    int32_t preferredWidth, preferredHeight;
    std::vector<DisplayMode> listed;
    int32_t chosen;
};

TEST(ScreenManagerTest, ListsModesAtLeastSceneSizedAndAbove15BitsAndChoosesOne) {
    const ChoiceCase cases[] = {
        {"the lowest refresh rate of the preferred size at the desktop's depth",
         {{800, 600, 32, 75}, {800, 600, 32, 60}},
         32,
         800,
         600,
         {{800, 600, 32, 75}, {800, 600, 32, 60}},
         1},
        {"15 bits and less and too small modes are never listed",
         {{640, 480, 32, 60}, {800, 600, 15, 60}, {800, 600, 8, 60}, {1024, 768, 16, 60}},
         32,
         1024,
         768,
         {{1024, 768, 16, 60}},
         0},
        {"the preferred size wins over the first mode whatever its depth",
         {{1024, 768, 32, 60}, {800, 600, 16, 60}, {800, 600, 32, 85}},
         32,
         800,
         600,
         {{1024, 768, 32, 60}, {800, 600, 16, 60}, {800, 600, 32, 85}},
         2},
        {"of the preferred size, the desktop's depth wins over a lower refresh rate",
         {{800, 600, 32, 75}, {800, 600, 16, 60}},
         32,
         800,
         600,
         {{800, 600, 32, 75}, {800, 600, 16, 60}},
         0},
        {"without the preferred size the first listed mode stays",
         {{1280, 720, 32, 60}, {1920, 1080, 32, 60}},
         32,
         800,
         600,
         {{1280, 720, 32, 60}, {1920, 1080, 32, 60}},
         0},
        {"nothing listed, nothing chosen", {{640, 480, 32, 60}}, 32, 800, 600, {}, -1},
    };
    for (const ChoiceCase& c : cases) {
        FakeDevice device;
        device.modes = c.reported;
        device.desktopBits = c.desktopBits;
        RecordingPresenter presenter;
        const TScreenManager screen(device, presenter, 800, 600, c.preferredWidth,
                                    c.preferredHeight);
        std::vector<DisplayMode> listed;
        for (int32_t i = 0; i < screen.ModeCount(); ++i)
            listed.push_back(*screen.ModeAt(i));
        EXPECT_EQ(listed, c.listed) << c.name;
        EXPECT_EQ(screen.ChosenMode(), c.chosen) << c.name;
        EXPECT_EQ(screen.Mode(), TScreenManager::kModeWindowed) << c.name;
        EXPECT_FALSE(screen.ModeAt(screen.ModeCount()).has_value()) << c.name;
        EXPECT_FALSE(screen.ModeAt(-1).has_value()) << c.name;
    }
}

TEST(ScreenManagerTest, IndexesOutsideTheListNeverSwitchOrChoose) {
    FakeDevice device;
    device.modes = {{800, 600, 32, 60}, {1024, 768, 32, 60}};
    RecordingPresenter presenter;
    TScreenManager screen(device, presenter, 800, 600, 800, 600);
    for (int32_t bad : {2, 99, -3, INT32_MIN, INT32_MAX}) {
        screen.SetChosenMode(bad);
        EXPECT_EQ(screen.ChosenMode(), 0) << bad;
        screen.SetMode(bad);
        EXPECT_EQ(screen.Mode(), TScreenManager::kModeWindowed) << bad;
        EXPECT_FALSE(device.fullScreen) << bad;
    }
    screen.SetChosenMode(1);
    screen.SetMode(screen.ChosenMode());
    EXPECT_EQ(screen.Mode(), 1);
    EXPECT_TRUE(device.fullScreen);
    screen.SetMode(TScreenManager::kModeWindowed);
    EXPECT_FALSE(device.fullScreen);
}

TEST(ScreenManagerTest, RefusedFullScreenFallsBackToTheWindow) {
    FakeDevice device;
    device.modes = {{800, 600, 32, 60}};
    device.refuseFullScreen = true;
    RecordingPresenter presenter;
    TScreenManager screen(device, presenter, 800, 600, 800, 600);
    screen.Release();
    screen.SetMode(0);
    EXPECT_EQ(screen.Mode(), TScreenManager::kModeWindowed);
    EXPECT_FALSE(screen.FullScreen());
    EXPECT_FALSE(device.fullScreen);
}

TEST(ScreenManagerTest, PresentsTheWholeFrameAfterASwitchAndOnlyChangesOtherwise) {
    FakeDevice device;
    device.modes = {{800, 600, 32, 60}};
    RecordingPresenter presenter;
    TScreenManager screen(device, presenter, 4, 3, 800, 600);
    std::vector<uint32_t> pixels(12, 0);
    const FrameView frame{pixels.data(), 4, 3, 4};
    const TRect changed[] = {{1, 1, 2, 2}};
    screen.Present(frame, changed);
    screen.Present(frame, changed);
    screen.Release();
    screen.Present(frame, changed);  // released: nothing shown
    screen.SetMode(0);
    screen.Present(frame, {});
    const std::vector<std::vector<TRect>> expected{{{0, 0, 4, 3}}, {{1, 1, 2, 2}}, {{0, 0, 4, 3}}};
    EXPECT_EQ(presenter.presented, expected);
}

}  // namespace
}  // namespace kivo
