// Sliders and scroll bars: their geometry from the picture strips, dragging the thumb,
// pressing the buttons and the track, keys, what they draw and the save record.

#include <climits>

#include "picture_fixture.h"
#include "scene/kivo_slider.h"
#include "scene_fixture.h"

namespace kivo::test {
namespace {

constexpr int32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF,
                  kYellow = 0x00FFFF, kMagenta = 0xFF00FF, kCyan = 0xFFFF00;

class SliderTest : public SceneTest {
  protected:
    SliderTest() {
        root.SetSize(32, 24);
        // Track pieces of 4 x 4: red after the thumb, green before it.
        pictures.specs["track.gal"] = {8, 4, {{kRed, kGreen}}};
        // Thumb pieces of 2 x 6: normal, hover, pressed.
        pictures.specs["thumb.gal"] = {6, 6, {{kBlue, kWhite, kYellow}}};
        // Button pieces of 3 x 4: the first button's states, then the second's.
        pictures.specs["buttons.gal"] = {
            18, 4, {{kMagenta, kCyan, kWhite, kYellow, kBlue, kGreen}}};
        root.SetPictures(&pictures);
    }

    template <typename T = TKivoSlider>
    T& Make(int32_t orientation = 0, int32_t barSize = 10) {
        T& slider = root.Create<T>();
        slider.Rename("s");
        slider.SetParent(&root.ActiveLayer());
        slider.SetAlpha(255);
        slider.SetOrientation(orientation);
        slider.SetBarSize(barSize);
        slider.SetSource("track.gal");
        slider.SetThumbSource("thumb.gal");
        slider.SetButtonSource("buttons.gal");
        slider.SetMax(10);
        slider.SetValue(5);
        slider.SetSmallChange(1);
        slider.SetNotifyHandler("notify.ksb");
        slider.SetHoldHandler("hold.ksb");
        slider.SetReleaseHandler("release.ksb");
        return slider;
    }

    void Press(int32_t x, int32_t y) {
        root.SetPointer(x, y);
        root.SetButtonsHeld(true, false);
        root.SetClicks(true, false);
        root.InputPass();
    }
    void Release() {
        root.SetButtonsHeld(false, false);
        root.InputPass();
    }
    std::vector<std::string> Notified() const {
        std::vector<std::string> values;
        const std::string prefix = "s:" + std::to_string(PR_ONNOTIFY) + "(";
        for (const std::string& entry : Queue()) {
            if (entry.starts_with(prefix))
                values.push_back(entry.substr(prefix.size(), entry.size() - prefix.size() - 1));
        }
        return values;
    }
    size_t CountOf(int32_t code) const {
        const std::vector<std::string> queue = Queue();
        return static_cast<size_t>(
            std::count(queue.begin(), queue.end(), "s:" + std::to_string(code)));
    }

    SolidPictures pictures;
};

TEST_F(SliderTest, GeometryFollowsTheStripsTheBarSizeAndTheOrientation) {
    struct Case {
        const char* name;
        bool scrollbar;
        int32_t orientation, barSize, value;
        int32_t width, height;
        TRect track, thumb, first, second;
    };
    const Case cases[] = {
        // Track 10 between the buttons, with half a thumb over each end; value 5 of 10 puts
        // the thumb's left edge 5 pixels along.
        {"horizontal slider",
         false,
         0,
         10,
         5,
         18,
         6,
         {4, 1, 14, 5},
         {8, 0, 10, 6},
         {0, 1, 3, 5},
         {15, 1, 18, 5}},
        // The piece's own length without a bar size; the value clamps to max.
        {"piece length",
         false,
         0,
         0,
         99,
         12,
         6,
         {4, 1, 8, 5},
         {7, 0, 9, 6},
         {0, 1, 3, 5},
         {9, 1, 12, 5}},
        // Values grow upward: 3 of 10 over 10 pixels is 3 above the bottom position.
        {"vertical slider",
         false,
         1,
         10,
         3,
         4,
         24,
         {0, 7, 4, 17},
         {1, 11, 3, 17},
         {0, 0, 3, 4},
         {0, 20, 3, 24}},
        // The thumb travels inside the track: 5 of 10 over 10 - 2 pixels.
        {"horizontal scroll bar",
         true,
         0,
         10,
         5,
         16,
         6,
         {3, 1, 13, 5},
         {7, 0, 9, 6},
         {0, 1, 3, 5},
         {13, 1, 16, 5}},
        {"vertical scroll bar",
         true,
         1,
         10,
         10,
         4,
         18,
         {0, 4, 4, 14},
         {1, 8, 3, 14},
         {0, 0, 3, 4},
         {0, 14, 3, 18}},
    };
    for (const Case& c : cases) {
        root.Reset();
        TKivoSlider& s = c.scrollbar ? Make<TKivoScrollbar>(c.orientation, c.barSize)
                                     : Make<TKivoSlider>(c.orientation, c.barSize);
        s.SetValue(c.value);
        EXPECT_EQ(s.Width(), c.width) << c.name;
        EXPECT_EQ(s.Height(), c.height) << c.name;
        EXPECT_EQ(s.TrackRect(), c.track) << c.name;
        EXPECT_EQ(s.ThumbRect(), c.thumb) << c.name;
        EXPECT_EQ(s.ButtonRect(0), c.first) << c.name;
        EXPECT_EQ(s.ButtonRect(1), c.second) << c.name;
    }
}

TEST_F(SliderTest, WithoutATrackPictureTheSliderHasNoSizeAndDrawsNothing) {
    TKivoSlider& s = Make();
    s.SetSource("missing.gal");
    EXPECT_EQ(s.Width(), 0);
    EXPECT_EQ(s.Height(), 0);
    for (const std::string& row : Picture())
        EXPECT_EQ(row, std::string(32, '.'));
}

TEST_F(SliderTest, DrawsTheTrackEitherSideOfTheThumbAndTheButtonsInTheirStates) {
    Make();
    // Before the thumb green, after it red; the thumb blue; the buttons' normal pieces.
    EXPECT_EQ(Picture()[2].substr(0, 18), "MMM.GGGGBBRRRR.YYY");
    PointerFrame(9, 3);
    EXPECT_EQ(Picture()[2].substr(0, 18), "MMM.GGGGWWRRRR.YYY");
    PointerFrame(16, 3);
    EXPECT_EQ(Picture()[2].substr(0, 18), "MMM.GGGGBBRRRR.BBB");
}

TEST_F(SliderTest, DraggingTheThumbChangesTheValueAndRaisesTheEvents) {
    TKivoSlider& s = Make();
    Press(9, 3);
    EXPECT_EQ(s.Dragging(), TKivoSlider::kDragging);
    EXPECT_EQ(s.ThumbState(), 2);
    EXPECT_EQ(CountOf(PR_ONHOLD), 1u);
    for (const int32_t x : {12, 13, 13, 2, 30})
        PointerFrame(x, 3);
    EXPECT_EQ(s.Value(), 10);
    // An unchanged value raises nothing; past the ends the value stops at min and max.
    EXPECT_EQ(Notified(), (std::vector<std::string>{"8", "9", "0", "10"}));
    Release();
    EXPECT_EQ(CountOf(PR_ONRELEASE), 1u);
    EXPECT_EQ(s.Dragging(), TKivoSlider::kIdle);
    // The vertical slider counts up from its bottom end.
    root.Reset();
    TKivoSlider& v = Make(1);
    Press(2, 14);
    PointerFrame(2, 10);
    // Four pixels up from the press, less the one pixel every vertical slider counts short.
    EXPECT_EQ(v.Value(), 5 + 4 - 1);
}

TEST_F(SliderTest, PressingTheTrackJumpsTheSliderAndPagesTheScrollBar) {
    TKivoSlider& s = Make();
    Press(5, 3);
    EXPECT_EQ(s.Value(), 1);
    EXPECT_EQ(s.Dragging(), TKivoSlider::kDragging);
    Release();

    root.Reset();
    auto& bar = Make<TKivoScrollbar>();
    bar.SetLargeChange(3);
    bar.SetValue(0);
    // Pressed past the thumb: a page at once, then every 50 ms after 300 while the thumb
    // has not reached the pointer.
    Press(11, 3);
    EXPECT_EQ(bar.Value(), 3);
    EXPECT_EQ(bar.Dragging(), TKivoSlider::kPagingToMax);
    for (int frame = 0; frame < 40; ++frame)
        root.InputPass();
    EXPECT_EQ(bar.Value(), 9);
    Release();
    EXPECT_EQ(Notified(), (std::vector<std::string>{"3", "6", "9"}));
    EXPECT_EQ(CountOf(PR_ONRELEASE), 0u);
}

TEST_F(SliderTest, HoldingAButtonStepsAtThePressAfter300MsAndThenEvery50) {
    TKivoSlider& s = Make();
    Press(1, 3);
    EXPECT_EQ(s.Value(), 4);
    EXPECT_EQ(s.ButtonState(0), 2);
    std::vector<int32_t> values;
    for (int frame = 1; frame <= 22; ++frame) {
        root.InputPass();
        values.push_back(s.Value());
    }
    // 16 ms frames: the timer runs out in frame 19 and then in frame 22.
    EXPECT_EQ(values[17], 4);
    EXPECT_EQ(values[18], 3);
    EXPECT_EQ(values[20], 3);
    EXPECT_EQ(values[21], 2);
    // Off the button the timer fires without stepping.
    root.SetPointer(20, 20);
    for (int frame = 0; frame < 10; ++frame)
        root.InputPass();
    EXPECT_EQ(s.Value(), 2);
    EXPECT_EQ(s.ButtonState(0), 0);
    Release();
    // The second button of a vertical slider steps down.
    root.Reset();
    TKivoSlider& v = Make(1);
    Press(1, 22);
    EXPECT_EQ(v.Value(), 4);
}

TEST_F(SliderTest, KeysStepByTheSmallChangeInTheDirectionOfTheOrientation) {
    struct Case {
        bool scrollbar;
        int32_t orientation, key, expected;
    };
    const Case cases[] = {
        {false, 0, 39, 7}, {false, 0, 37, 3}, {false, 1, 38, 7}, {false, 1, 40, 3},
        {true, 1, 40, 7},  {true, 1, 38, 3},  {false, 0, 38, 5},
    };
    for (const Case& c : cases) {
        root.Reset();
        TKivoSlider& s =
            c.scrollbar ? Make<TKivoScrollbar>(c.orientation) : Make<TKivoSlider>(c.orientation);
        s.SetSmallChange(2);
        s.SetHandleKey(true);
        root.InputPass();
        ASSERT_EQ(root.FocusedControl(), &s);
        root.SetKeyDown(c.key, true);
        root.MarkKeyPressed(c.key);
        root.InputPass();
        root.SetKeyDown(c.key, false);
        EXPECT_EQ(s.Value(), c.expected) << c.key;
        EXPECT_EQ(Notified().size(), c.expected != 5 ? 1u : 0u) << c.key;
    }
}

TEST_F(SliderTest, RangesAtTheLimitsOfInt32AndATrackNoLongerThanTheThumbStayInside) {
    TKivoSlider& s = Make();
    s.SetMin(INT32_MIN);
    s.SetMax(INT32_MAX);
    s.SetValue(INT32_MAX);
    EXPECT_EQ(s.ThumbPosition(), 10);
    Press(14, 3);
    PointerFrame(30, 3);
    EXPECT_EQ(s.Value(), INT32_MAX);
    PointerFrame(0, 3);
    EXPECT_EQ(s.Value(), INT32_MIN);
    Release();
    // A scroll bar whose thumb fills its track has nowhere to move it.
    root.Reset();
    auto& bar = Make<TKivoScrollbar>(0, 2);
    EXPECT_EQ(bar.ThumbPosition(), 0);
    Press(4, 3);
    PointerFrame(7, 3);
    Release();
    EXPECT_EQ(bar.Value(), 5);
}

TEST_F(SliderTest, TheSaveRecordKeepsPicturesRangeAndHandlers) {
    auto& bar = Make<TKivoScrollbar>(1, 12);
    bar.SetLargeChange(4);
    bar.SetCaptureMask(true);
    bar.SetIdleHandler("idle.ksb");
    const std::unique_ptr<TKivoBaseList> copy = RoundTrip(root, state, pictures);
    auto* loaded = dynamic_cast<TKivoScrollbar*>(copy->FindComponent("s"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->ThumbSource(), "thumb.gal");
    EXPECT_EQ(loaded->Value(), 5);
    EXPECT_EQ(loaded->LargeChange(), 4);
    EXPECT_EQ(loaded->BarSize(), 12);
    EXPECT_EQ(loaded->Orientation(), 1);
    EXPECT_TRUE(loaded->CaptureMask());
    EXPECT_EQ(loaded->ReleaseHandler(), "release.ksb");
    EXPECT_EQ(loaded->Height(), bar.Height());
}

}  // namespace
}  // namespace kivo::test
