// The desktop window, run under a virtual X server: its title, its client area (scene plus
// dock), the toolbar as drawn, and presented frames.

#include "platform/desktop/sdl_window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>

#include <vector>

#include "platform/fonts/freetype_font_engine.h"
#include "platform/platform.h"

namespace kivo {
namespace {

constexpr uint32_t kFace = 0xD4D0C8;

uint32_t Rgb(uint32_t pixel) {
    return pixel & 0xFFFFFF;
}

TEST(SdlWindow, TheSceneFillsTheLargestRectangleOfItsShapeCentredInTheArea) {
    const struct {
        int32_t sceneWidth, sceneHeight, areaWidth, areaHeight;
        TRect expected;
    } cases[] = {
        {320, 240, 320, 240, {0, 0, 320, 240}},    // its own size
        {320, 240, 800, 480, {80, 0, 720, 480}},   // bars left and right
        {320, 240, 640, 960, {0, 240, 640, 720}},  // bars above and below
        {640, 480, 321, 241, {0, 0, 321, 240}},    // rounded down, never beyond the area
        {320, 240, 0, 100, {}},                    // a minimised window
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FitScene(c.sceneWidth, c.sceneHeight, c.areaWidth, c.areaHeight), c.expected)
            << c.areaWidth << " x " << c.areaHeight;
    }
}

TEST(SdlWindow, OpensAtSceneSizePlusDockWithTheTitleAndDrawsTheToolbar) {
    FreeTypeFontEngine fonts(FontSet::Fixed);
    SdlWindow window(fonts);
    window.SetTitle("テストゲーム");
    window.ShowWithSceneSize(320, 240);

    int32_t width = 0;
    int32_t height = 0;
    const std::vector<uint32_t> pixels = window.CaptureClientArea(width, height);
    ASSERT_EQ(width, 320);
    ASSERT_EQ(height, 240 + kDockHeight);
    const auto at = [&](int32_t x, int32_t y) {
        return Rgb(pixels[static_cast<size_t>(y * width + x)]);
    };

    // The dock below the buttons and right of them is the button face; the buttons have a light
    // top-left edge and a dark bottom-right edge.
    EXPECT_EQ(at(260, 10), kFace);
    EXPECT_EQ(at(10, 21), kFace);
    EXPECT_EQ(at(10, 2), 0xFFFFFFu);
    EXPECT_EQ(at(10, 2 + kToolbarButtonHeight - 1), 0x404040u);
    EXPECT_EQ(at(kToolbarButtonWidth + 10, 2), 0xFFFFFFu);
    // The labels put dark glyph pixels inside their buttons (the third is the menu).
    for (int32_t left : {0, kToolbarButtonWidth, 2 * kToolbarButtonWidth}) {
        int32_t dark = 0;
        for (int32_t y = 4; y < 18; ++y) {
            for (int32_t x = left + 4; x < left + kToolbarButtonWidth - 4; ++x)
                dark += at(x, y) < 0x606060 ? 1 : 0;
        }
        EXPECT_GT(dark, 10) << "no label on the button at " << left;
    }
    // The panel is black until a frame arrives.
    EXPECT_EQ(at(160, kDockHeight + 120), 0u);
}

TEST(SdlWindow, TakesTheFirstFrameWholeThenOnlyTheDirtyRectangles) {
    FreeTypeFontEngine fonts(FontSet::Fixed);
    SdlWindow window(fonts);
    window.ShowWithSceneSize(64, 48);
    int32_t width = 0;
    int32_t height = 0;
    const auto panelAt = [&](const std::vector<uint32_t>& pixels, int32_t x, int32_t y) {
        return Rgb(pixels[static_cast<size_t>((kDockHeight + y) * width + x)]);
    };
    std::vector<uint32_t> frame(64 * 48, 0x00336699);
    const TRect dirty[] = {{0, 0, 8, 8}};
    window.Present(FrameView{frame.data(), 64, 48, 64}, dirty);
    std::vector<uint32_t> pixels = window.CaptureClientArea(width, height);
    ASSERT_EQ(height, 48 + kDockHeight);
    EXPECT_EQ(panelAt(pixels, 3, 3), 0x336699u);
    EXPECT_EQ(panelAt(pixels, 20, 20), 0x336699u) << "the new texture took the frame whole";

    std::fill(frame.begin(), frame.end(), 0x00112233u);
    window.Present(FrameView{frame.data(), 64, 48, 64}, dirty);
    pixels = window.CaptureClientArea(width, height);
    EXPECT_EQ(panelAt(pixels, 3, 3), 0x112233u);
    EXPECT_EQ(panelAt(pixels, 20, 20), 0x336699u) << "only the dirty rectangle is uploaded";
}

TEST(SdlWindow, AppearingActivatesAndToolbarClicksBecomeButtonEvents) {
    FreeTypeFontEngine fonts(FontSet::Fixed);
    SdlWindow window(fonts);
    window.ShowWithSceneSize(320, 240);
    InputEvent event;
    ASSERT_TRUE(window.PollEvent(event));
    EXPECT_EQ(event.kind, InputKind::Activate);

    const auto click = [&](int32_t x, int32_t y) {
        for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
            SDL_Event raw{};
            raw.type = type;
            raw.button.button = SDL_BUTTON_LEFT;
            raw.button.x = x;
            raw.button.y = y;
            SDL_PushEvent(&raw);
        }
    };
    // Collects the button and click events until the wanted number arrived (at most ten
    // seconds), leaving out what the window system adds on its own (pointer motion, focus).
    const auto collect = [&](size_t wanted) {
        std::vector<InputKind> kinds;
        const Uint64 giveUpAt = SDL_GetTicks64() + 10000;
        while (kinds.size() < wanted && SDL_GetTicks64() < giveUpAt) {
            InputEvent e;
            while (window.PollEvent(e)) {
                if (e.kind != InputKind::PointerMove && e.kind != InputKind::Activate &&
                    e.kind != InputKind::Deactivate) {
                    kinds.push_back(e.kind);
                }
            }
            SDL_Delay(10);
        }
        return kinds;
    };
    click(10, 10);
    click(kToolbarButtonWidth + 10, 10);
    click(100, kDockHeight + 5);              // the panel
    click(kToolbarButtonWidth * 3 + 10, 10);  // the dock beside the buttons: nothing
    // The menu button opens the menu below it; its third row takes a screenshot.
    click(kToolbarButtonWidth * 2 + 10, 10);
    click(kToolbarButtonWidth * 2 + 20, kDockHeight + 18 * 2 + 9);
    click(100, kDockHeight + 5);  // the menu closed: the panel again
    EXPECT_EQ(collect(7), (std::vector<InputKind>{
                              InputKind::QuitButton, InputKind::ScreenSwitchButton,
                              InputKind::LeftDown, InputKind::LeftUp, InputKind::ComfortMenu,
                              InputKind::LeftDown, InputKind::LeftUp}));
}

}  // namespace
}  // namespace kivo
