// Picture buttons: the states the pointer and keys drive, clicks, the clicked picture that
// plays once, auto-scrap, groups of exclusive buttons and the save record.

#include "base/error.h"
#include "picture_fixture.h"
#include "scene/kivo_button.h"
#include "scene_fixture.h"

namespace kivo::test {
namespace {

constexpr int32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF,
                  kYellow = 0x00FFFF;

class ButtonTest : public SceneTest {
  protected:
    ButtonTest() {
        pictures.specs["n.gal"] = {4, 4, {{kRed}}};
        pictures.specs["h.gal"] = {4, 4, {{kGreen}}};
        pictures.specs["p.gal"] = {4, 4, {{kBlue}}};
        pictures.specs["c.gal"] = {4, 4, {{kWhite}, {kYellow}}, 32};
        root.SetPictures(&pictures);
    }

    TKivoButton& Button(std::string name, int32_t left, bool clicked = false) {
        TKivoButton& button = root.Create<TKivoButton>();
        button.Rename(std::move(name));
        button.SetParent(&root.ActiveLayer());
        button.SetSource(TKivoButton::kNormal, "n.gal");
        button.SetSource(TKivoButton::kHover, "h.gal");
        button.SetSource(TKivoButton::kPressed, "p.gal");
        if (clicked) button.SetSource(TKivoButton::kClicked, "c.gal");
        button.SetLeft(left);
        button.SetTop(2);
        button.SetNotifyHandler(button.Name() + ".ksb");
        button.SetPlayEndHandler("end.ksb");
        return button;
    }

    void Move(int32_t x, int32_t y) { PointerFrame(x, y); }
    void Press() {
        root.SetButtonsHeld(true, false);
        root.SetClicks(true, false);
        root.InputPass();
    }
    void Release() {
        root.SetButtonsHeld(false, false);
        root.InputPass();
    }
    void ClickAt(int32_t x, int32_t y) {
        Move(x, y);
        Press();
        Release();
    }
    // The script colour of the pixel, or -1 for one of another colour.
    int32_t ColourAt(int32_t x, int32_t y) {
        const std::vector<std::string> rows = Picture();
        const char letter = rows[static_cast<size_t>(y)][static_cast<size_t>(x)];
        const auto found = kPictureColors.find(letter);
        return found != kPictureColors.end() ? found->second : -1;
    }
    size_t Count(const std::string& entry) const {
        const std::vector<std::string> queue = Queue();
        return static_cast<size_t>(std::count(queue.begin(), queue.end(), entry));
    }

    SolidPictures pictures;
};

TEST_F(ButtonTest, ThePointerDrivesTheStatesAndOnlyAReleaseOverTheButtonClicks) {
    TKivoButton& b = Button("b", 2);
    b.SetHandlerText(Handler::LeftDown, "down.ksb");
    b.SetHandlerText(Handler::LeftUp, "up.ksb");
    EXPECT_EQ(b.Width(), 4);  // the size of its picture
    EXPECT_EQ(ColourAt(3, 3), kRed);

    struct Step {
        std::string action;
        int32_t state;
        int32_t colour;
        size_t clicks;
    };
    const Step steps[] = {
        {"over", TKivoButton::kHover, kGreen, 0},   {"press", TKivoButton::kPressed, kBlue, 0},
        {"off", TKivoButton::kNormal, kRed, 0},     // held, dragged off
        {"back", TKivoButton::kPressed, kBlue, 0},  // and back over it
        {"release", TKivoButton::kNormal, kRed, 1}, {"over again", TKivoButton::kHover, kGreen, 1},
        {"press", TKivoButton::kPressed, kBlue, 1}, {"off", TKivoButton::kNormal, kRed, 1},
        {"release", TKivoButton::kNormal, kRed, 1},  // released elsewhere: no click
    };
    for (const Step& step : steps) {
        if (step.action == "over" || step.action == "back") Move(3, 3);
        if (step.action == "over again") Move(4, 4);
        if (step.action == "off") Move(12, 10);
        if (step.action == "press") {
            Press();
            // The button takes the press: scripts see no click and no left-down is queued.
            EXPECT_FALSE(root.ActiveLayer().Pointer().leftClick);
        }
        if (step.action == "release") Release();
        EXPECT_EQ(b.StateShown(), step.state) << step.action;
        EXPECT_EQ(ColourAt(3, 3), step.colour) << step.action;
        EXPECT_EQ(Count("b:33"), step.clicks) << step.action;
    }
    EXPECT_EQ(Count("b:36"), 0u);
    EXPECT_EQ(Count("b:37"), 0u);
}

TEST_F(ButtonTest, TheClickedPicturePlaysOnceAndReturnsOrScrapsTheButton) {
    for (const bool autoScrap : {false, true}) {
        root.Reset();
        TKivoButton& b = Button("b", 2, true);
        b.SetAutoScrap(autoScrap);
        const ObjectHandle handle = b.Handle();
        ClickAt(3, 3);
        EXPECT_EQ(b.StateShown(), TKivoButton::kClicked);
        EXPECT_EQ(ColourAt(3, 3), kWhite);
        // The pointer moving over it meanwhile is remembered for the end of the animation.
        Move(4, 4);
        EXPECT_EQ(b.RememberedState(), TKivoButton::kHover);
        // Two frames of 32 ms at 16 ms an update.
        for (int frame = 0; frame < 3; ++frame) {
            root.FrameAdvance();
            ASSERT_NE(root.Resolve(handle), nullptr) << autoScrap << frame;
        }
        EXPECT_EQ(ColourAt(3, 3), kYellow);
        root.FrameAdvance();
        if (autoScrap) {
            EXPECT_EQ(root.Resolve(handle), nullptr);
            EXPECT_EQ(Count("b:43"), 0u);
        } else {
            EXPECT_EQ(b.StateShown(), TKivoButton::kHover);
            EXPECT_EQ(ColourAt(3, 3), kGreen);
            EXPECT_EQ(Count("b:43"), 1u);
        }
    }
}

TEST_F(ButtonTest, AutoScrapWithoutAClickedPictureEndsTheButtonInTheNextUpdate) {
    TKivoButton& b = Button("b", 2);
    b.SetAutoScrap(true);
    const ObjectHandle handle = b.Handle();
    ClickAt(3, 3);
    EXPECT_EQ(Count("b:33"), 1u);
    ASSERT_NE(root.Resolve(handle), nullptr);
    root.FrameAdvance();
    EXPECT_EQ(root.Resolve(handle), nullptr);
}

TEST_F(ButtonTest, AFocusedButtonClicksOnEveryEnterOrSpaceTrigger) {
    for (const int32_t key : {13, 32}) {
        root.Reset();
        TKivoButton& b = Button("b", 2);
        b.SetHandleKey(true);
        b.SetHandlerText(Handler::KeyRepeat, "repeat.ksb");
        root.InputPass();
        ASSERT_EQ(root.FocusedControl(), &b);
        root.SetKeyDown(key, true);
        root.MarkKeyPressed(key);
        // 640 ms held: the press, then 300 ms later and every 50 ms after.
        for (int frame = 0; frame < 40; ++frame)
            root.InputPass();
        root.SetKeyDown(key, false);
        root.InputPass();
        EXPECT_EQ(Count("b:33"), 8u) << key;
        EXPECT_EQ(Count("b:33"), Count("b:146")) << key;
    }
    // Another key clicks nothing.
    root.Reset();
    TKivoButton& b = Button("b", 2);
    b.SetHandleKey(true);
    root.InputPass();
    root.SetKeyDown(65, true);
    root.MarkKeyPressed(65);
    root.InputPass();
    EXPECT_EQ(Count("b:33"), 0u);
}

TEST_F(ButtonTest, AGroupKeepsOneButtonSelectedUnlessAllMayBeUp) {
    for (const bool allowAllUp : {false, true}) {
        root.Reset();
        TKivoButton& a = Button("a", 2);
        TKivoButton& b = Button("b", 8);
        TKivoButton& loner = Button("loner", 12);
        a.SetGroupIndex(1);
        b.SetGroupIndex(1);
        loner.SetGroupIndex(2);
        a.SetAllowAllUp(allowAllUp);
        // Given to every member, not to other groups.
        EXPECT_EQ(b.AllowAllUp(), allowAllUp);
        EXPECT_FALSE(loner.AllowAllUp());
        a.SetSelected(true);
        EXPECT_TRUE(a.Selected());
        EXPECT_EQ(ColourAt(3, 3), kBlue);

        ClickAt(9, 3);  // the unselected one
        EXPECT_TRUE(b.Selected()) << allowAllUp;
        EXPECT_FALSE(a.Selected()) << allowAllUp;
        EXPECT_EQ(ColourAt(3, 3), kRed);
        EXPECT_EQ(ColourAt(9, 3), kBlue);
        EXPECT_EQ(Count("b:33"), 1u);

        ClickAt(9, 3);  // the selected one again
        EXPECT_EQ(b.Selected(), !allowAllUp) << allowAllUp;
        EXPECT_FALSE(a.Selected()) << allowAllUp;
        EXPECT_EQ(ColourAt(9, 3), allowAllUp ? kRed : kBlue) << allowAllUp;
        // A group of one that may not be all up keeps its only button selected.
        EXPECT_TRUE(loner.Selected());
    }
}

TEST_F(ButtonTest, AnUngroupedButtonIsNeverSelected) {
    TKivoButton& b = Button("b", 2);
    b.SetSelected(true);
    EXPECT_FALSE(b.Selected());
    EXPECT_EQ(ColourAt(3, 3), kRed);
}

TEST_F(ButtonTest, TheSaveRecordKeepsSourcesHandlersAndTheGroup) {
    TKivoButton& a = Button("a", 2, true);
    TKivoButton& b = Button("b", 8);
    a.SetGroupIndex(3);
    b.SetGroupIndex(3);
    b.SetSelected(true);
    a.SetAllowAllUp(true);
    a.SetIdleHandler("idle.ksb");
    a.SetAlpha(128);
    const std::unique_ptr<TKivoBaseList> copy = RoundTrip(root, state, pictures);
    auto* la = dynamic_cast<TKivoButton*>(copy->FindComponent("a"));
    auto* lb = dynamic_cast<TKivoButton*>(copy->FindComponent("b"));
    ASSERT_NE(la, nullptr);
    ASSERT_NE(lb, nullptr);
    EXPECT_EQ(la->Source(TKivoButton::kClicked), "c.gal");
    EXPECT_EQ(la->Source(TKivoButton::kHover), "h.gal");
    EXPECT_EQ(la->NotifyHandler(), "a.ksb");
    EXPECT_EQ(la->IdleHandler(), "idle.ksb");
    EXPECT_EQ(la->Alpha(), 128);
    EXPECT_EQ(la->GroupIndex(), 3);
    EXPECT_TRUE(la->AllowAllUp());
    EXPECT_FALSE(la->Selected());
    EXPECT_TRUE(lb->Selected());
    EXPECT_EQ(lb->StateShown(), TKivoButton::kPressed);
    copy->FrameAdvance();
    EXPECT_TRUE(lb->Selected());
    EXPECT_FALSE(la->Selected());
}

}  // namespace
}  // namespace kivo::test
