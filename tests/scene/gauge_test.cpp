// Gauges: the drawn fill follows the value in every orientation, a falling value leaves a
// trail that waits and then sweeps away, a rising one grows, and the save record.

#include <climits>

#include "picture_fixture.h"
#include "scene/kivo_gauge.h"
#include "scene_fixture.h"

namespace kivo::test {
namespace {

constexpr int32_t kRed = 0x0000FF, kGreen = 0x00FF00;

class GaugeTest : public SceneTest {
  protected:
    GaugeTest() {
        root.SetSize(24, 24);
        // Pieces of 4 x 4: the fill red, the trail green.
        pictures.specs["gauge.gal"] = {8, 4, {{kRed, kGreen}}};
        root.SetPictures(&pictures);
    }

    TKivoGauge& Make(int32_t min, int32_t max, int32_t value) {
        TKivoGauge& g = root.Create<TKivoGauge>();
        g.Rename("g");
        g.SetParent(&root.ActiveLayer());
        g.SetAlpha(255);
        g.SetSource("gauge.gal");
        g.SetBarSize(20);
        g.SetMin(min);
        g.SetMax(max);
        g.SetValue(value);
        root.FrameAdvance();  // without a sweep time the value shows at once
        return g;
    }
    void Frames(int count) {
        for (int i = 0; i < count; ++i)
            root.FrameAdvance();
    }

    SolidPictures pictures;
};

TEST_F(GaugeTest, TheDrawnFillFollowsTheValueInEveryOrientation) {
    struct Case {
        int32_t value, orientation;
        bool reverse;
        std::vector<std::string> rows;  // the rows and columns the gauge covers
    };
    const Case cases[] = {
        {5, 0, false, {"RRRRRRRRRR.........."}},
        {5, 0, true, {"..........RRRRRRRRRR"}},
        {10, 0, false, {"RRRRRRRRRRRRRRRRRRRR"}},
        {15, 0, false, {"RRRRRRRRRRRRRRRRRRRR"}},  // drawn clamped to max
        {-3, 0, false, {"...................."}},
        {3, 0, false, {"RRRRRR.............."}},
        // Vertical: from the bottom up, or from the top down when reversed (one column).
        {5, 1, false, {"..........RRRRRRRRRR"}},
        {5, 1, true, {"RRRRRRRRRR.........."}},
    };
    for (const Case& c : cases) {
        root.Reset();
        TKivoGauge& g = Make(0, 10, 0);
        g.SetOrientation(c.orientation);
        g.SetReverse(c.reverse);
        g.SetValue(c.value);
        root.FrameAdvance();
        const std::vector<std::string> picture = Picture();
        std::string line;
        for (int32_t i = 0; i < 20; ++i)
            line += c.orientation == 0 ? picture[1][static_cast<size_t>(i)]
                                       : picture[static_cast<size_t>(i)][1];
        EXPECT_EQ(line, c.rows[0]) << c.value << " " << c.orientation << " " << c.reverse;
        EXPECT_EQ(g.Width(), c.orientation == 0 ? 20 : 4);
    }
}

TEST_F(GaugeTest, AFallingValueLeavesATrailThatWaitsAndThenSweepsAway) {
    TKivoGauge& g = Make(50, 100, 100);
    g.SetSweepTime(1000);
    g.SetTrailWait(160);
    g.SetValue(75);
    EXPECT_EQ(Picture()[1].substr(0, 20), "RRRRRRRRRRGGGGGGGGGG");
    // 160 ms of 16 ms frames the trail waits; then it shrinks 0.8 a frame, gone by half the
    // sweep time, since it covers half the range.
    Frames(10);
    EXPECT_EQ(g.Trail(), 25);
    Frames(1);
    EXPECT_EQ(g.Trail(), 24);
    Frames(16);
    EXPECT_EQ(g.Trail(), 11);  // 25 - 17 x 0.8, rounded
    EXPECT_EQ(Picture()[1].substr(0, 20), "RRRRRRRRRRGGGG......");
    Frames(13);
    EXPECT_GT(g.Trail(), 0);
    Frames(1);
    EXPECT_EQ(g.Trail(), 0);
    EXPECT_EQ(g.AnimationPhase(), TKivoGauge::kSettled);
    EXPECT_EQ(Picture()[1].substr(0, 20), "RRRRRRRRRR..........");
}

TEST_F(GaugeTest, ARisingValueGrowsTheFillAtTheSweepRate) {
    TKivoGauge& g = Make(50, 100, 75);
    g.SetSweepTime(1000);
    g.SetValue(100);
    EXPECT_EQ(g.ShownValue(), 75);
    Frames(16);
    EXPECT_EQ(g.ShownValue(), 88);  // 75 + 16 x 0.8, rounded
    Frames(16);
    EXPECT_EQ(g.ShownValue(), 100);
    EXPECT_EQ(g.AnimationPhase(), TKivoGauge::kSettled);
    // Without a sweep time, or without a range, the change shows at once.
    g.SetSweepTime(0);
    g.SetValue(60);
    Frames(1);
    EXPECT_EQ(g.ShownValue(), 60);
    EXPECT_EQ(g.Trail(), 0);
}

TEST_F(GaugeTest, TheWholeInt32RangeAndAnEmptyRangeDrawInsideTheGauge) {
    TKivoGauge& g = Make(INT32_MIN, INT32_MAX, 0);
    EXPECT_EQ(g.FillLength(), 10);
    g.SetValue(INT32_MAX);
    root.FrameAdvance();
    EXPECT_EQ(g.FillLength(), 20);
    g.SetMin(10);
    g.SetMax(10);
    EXPECT_EQ(g.FillLength(), 0);
    EXPECT_EQ(Picture()[1].substr(0, 21), std::string(21, '.'));
}

TEST_F(GaugeTest, TheSaveRecordRestoresTheGaugeWithoutAnimating) {
    TKivoGauge& g = Make(0, 10, 10);
    g.SetSweepTime(500);
    g.SetTrailWait(100);
    g.SetReverse(true);
    g.SetIdleHandler("idle.ksb");
    g.SetValue(4);
    const std::unique_ptr<TKivoBaseList> copy = RoundTrip(root, state, pictures);
    auto* loaded = dynamic_cast<TKivoGauge*>(copy->FindComponent("g"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Value(), 4);
    EXPECT_EQ(loaded->ShownValue(), 4);
    EXPECT_EQ(loaded->Trail(), 0);
    EXPECT_EQ(loaded->SweepTime(), 500);
    EXPECT_EQ(loaded->TrailWait(), 100);
    EXPECT_TRUE(loaded->Reverse());
    EXPECT_EQ(loaded->BarSize(), 20);
    EXPECT_EQ(loaded->Width(), 20);
}

}  // namespace
}  // namespace kivo::test
