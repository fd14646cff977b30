// Every transition style played through Flip in a headless game of 32 x 16 pixels: a red
// screen gives way to a blue one over 320 ms. Each style is looked at in its first frame, half
// way (elapsed 160) at two points whose pixels are worked out from the style's own arithmetic,
// and after its time, when the new layer shows alone.

#include <algorithm>
#include <string>
#include <vector>

#include "scene_game_fixture.h"
#include "storage/tp_random.h"

namespace kivo {
namespace {

constexpr uint32_t kOld = 0xFF0000;  // the red screen, as presented (0xRRGGBB)
constexpr uint32_t kNew = 0x0000FF;  // the blue one

// Frames of the game: the flip begins timing in its second frame and a frame lasts 16 ms.
constexpr int64_t kFirstFrame = 2;
constexpr int64_t kHalfWay = 12;  // elapsed 160 of 320
constexpr int64_t kAfter = 40;

class TransitionGame : public SceneGame {
  protected:
    // "new" (blue) is moved to the other layer by FL_OUT of "old"; red shows until the flip.
    void WriteFlip(int32_t code, const std::string& params) {
        Write(
            "BoxNew PR_NAME={\"new\"} PR_WIDTH={32} PR_HEIGHT={16} PR_COLOR={0xFF0000}\n"
            "BoxNew PR_NAME={\"old\"} PR_WIDTH={32} PR_HEIGHT={16} PR_COLOR={0x0000FF}\n"
            "Flip wipe={" +
            std::to_string(code) + "} time={320} mode={0} names=({\"old\"})" + params +
            "\n"
            "VarNew \"done\" type=PT_BOOL value={InPrimary(\"new\")}\n"
            "Label \"idle\"\nWait time={0}\n");
    }
};

struct Probe {
    int32_t x, y;
    uint32_t first, half;
};

struct StyleCase {
    const char* name;
    int32_t code;
    std::string params;
    Probe a, b;
};

// Grey added to or taken from every channel, saturating.
uint32_t Lighter(uint32_t p, uint32_t grey) {
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8)
        out |= std::min<uint32_t>(255, ((p >> shift) & 0xFF) + grey) << shift;
    return out;
}
uint32_t Darker(uint32_t p, uint32_t grey) {
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t c = (p >> shift) & 0xFF;
        out |= (c > grey ? c - grey : 0) << shift;
    }
    return out;
}
// (w x over + (255 - w) x under) >> 8 per channel.
uint32_t Mixed(uint32_t under, uint32_t over, uint32_t w) {
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        out |= ((w * ((over >> shift) & 0xFF) + (255 - w) * ((under >> shift) & 0xFF)) >> 8)
               << shift;
    }
    return out;
}

// The half-way numbers below, for W = 32, H = 16, t = 160, T = 320.
const std::vector<StyleCase>& StyleCases() {
    static const std::vector<StyleCase> cases = {
        // alpha t x 256 / T = 128 everywhere.
        {"fade",
         1,
         "",
         {5, 5, kOld, Mixed(kOld, kNew, 128)},
         {31, 15, kOld, Mixed(kOld, kNew, 128)}},
        // Slats of 20, soft 1, hard: level (1 + 40 - 2) x t / T = 19; column/row 5 starts at
        // 10 (open), 15 or 12 at 30 or 24 (shut).
        {"blindh", 2, "", {5, 5, kOld, kNew}, {15, 5, kOld, kOld}},
        {"blindv", 3, "", {5, 5, kOld, kNew}, {5, 12, kOld, kOld}},
        // Groups of 30: level ((2 + 28) x 16 + 1) / 2 = 240 across, (29 x 16 + 1) / 2 = 232
        // down; column 5 starts at 80, column 20 at 320, row 15 at 240.
        {"curtainh", 4, "", {5, 5, kOld, kNew}, {20, 5, kOld, kOld}},
        {"curtainv", 5, "", {5, 5, kOld, kNew}, {5, 15, kOld, kOld}},
        // Pushed by W x t / T = 16 across, 8 down.
        {"scrollh", 6, "", {10, 5, kOld, kOld}, {20, 5, kOld, kNew}},
        {"scrollv", 7, "", {5, 3, kOld, kOld}, {5, 12, kOld, kNew}},
        // Blocks of 8, soft 1: 4 x 2 blocks, span round(sqrt(1 + 9)) x 4 = 12, level
        // (1 + 12 - 4) / 2 = 4: only the corner block (order 0) is open.
        {"grid", 8, " param0={8} param1={1}", {3, 3, kOld, kNew}, {12, 3, kOld, kOld}},
        // Blocks of 8, soft 30, one block row repeated: span 16, level (30 + 12) / 2 = 21; the
        // first block's square is min(8, 21 x 8 / 30) = 5 wide at offset 1 with mask
        // 21 x 255 / 30 = 178; its corner pixel lies outside the square.
        {"gridh",
         9,
         " param0={8} param1={30}",
         {3, 11, kOld, Mixed(kOld, kNew, 178)},
         {0, 0, kOld, kOld}},
        // Blocks of 8, soft 1, rows: span 8, level (1 + 4) / 2 = 2: the top block row is open.
        {"gridv", 10, " param0={8} param1={1}", {20, 3, kOld, kNew}, {20, 12, kOld, kOld}},
        // a = t x 511 / T = 255: the old picture plus grey 255.
        {"white", 12, "", {5, 5, kOld, 0xFFFFFF}, {30, 2, kOld, 0xFFFFFF}},
        {"black", 13, "", {5, 5, kOld, 0x000000}, {30, 2, kOld, 0x000000}},
        // The new picture plus grey 255 - t x 255 / T = 128; white at first.
        {"flash",
         14,
         "",
         {5, 5, 0xFFFFFF, Lighter(kNew, 128)},
         {30, 2, 0xFFFFFF, Lighter(kNew, 128)}},
        // L = 511: the new picture reduced over the old with alpha (511 - 256) / 4 = 63.
        {"mosaic",
         15,
         "",
         {5, 5, kOld, Mixed(kOld, kNew, 63)},
         {30, 14, kOld, Mixed(kOld, kNew, 63)}},
        // p = 63 x t / T = 31 < 32 (15 < 16): still the old picture's phase.
        {"sudareh", 16, "", {0, 5, kOld, kOld}, {31, 5, kOld, kOld}},
        {"sudarev", 17, "", {5, 0, kOld, kOld}, {5, 15, kOld, kOld}},
        // Span round(sqrt(8^2 + 16^2)) + 512 = 530, g = 265: the centre (f = 0) has turned,
        // lit by 0 - 265 + 511 = 246; (0, 8) at f = 16 has not, lit by 265 - 16 = 249.
        {"spot", 18, "", {16, 8, kOld, Lighter(kNew, 246)}, {0, 8, kOld, Lighter(kOld, 249)}},
        // No rule picture: the rule is white and every pixel switches together (level 256 + 255
        // - 256 = 255 at half way); through white/black the level t x 768 / T - 1 = 383 shows
        // the new picture with grey 511 - 383 = 128.
        {"maskfade", 19, "", {5, 5, kOld, kNew}, {30, 14, kOld, kNew}},
        {"maskwhite", 20, "", {5, 5, kOld, Lighter(kNew, 128)}, {30, 14, kOld, Lighter(kNew, 128)}},
        {"maskblack", 21, "", {5, 5, kOld, Darker(kNew, 128)}, {30, 14, kOld, Darker(kNew, 128)}},
        // The old picture shrinks on the new one with zoom and alpha round(159 / 320 x 255) =
        // 127 (254 in the first frame, when the corner already shows the new picture).
        {"small",
         22,
         "",
         {16, 8, Mixed(kNew, kOld, 254), Mixed(kNew, kOld, 127)},
         {0, 0, kNew, kNew}},
        // The new picture grows over the old with round(160 / 320 x 255) = 128.
        {"big", 23, "", {16, 8, kOld, Mixed(kOld, kNew, 128)}, {0, 0, kOld, kOld}},
        // Profile of L = 5, ring R = 160 x (18 + 5) / 320 = 11: the centre lies inside it (from
        // the start), the corner at 18 outside.
        {"ripple", 24, "", {16, 8, kNew, kNew}, {0, 0, kOld, kOld}},
        // Blur radius 0; L = 319: the old picture plus grey (319 - 256) x 4 = 252.
        {"blurwhite", 25, "", {16, 8, kOld, Lighter(kOld, 252)}, {3, 3, kOld, Lighter(kOld, 252)}},
        {"blurblack", 26, "", {16, 8, kOld, Darker(kOld, 252)}, {3, 3, kOld, Darker(kOld, 252)}},
        // phi = 3 pi / 4: the top row (cos < 0) shows the new row, 23 wide from x = 4; the
        // bottom row (d = 0.28 pi) the old one, 20 wide from x = 6; outside them black.
        {"twisth", 27, "", {16, 0, kOld, kNew}, {16, 15, kOld, kOld}},
        {"twistv", 28, "", {0, 8, kOld, kNew}, {31, 8, kOld, kOld}},
        // One tile of 64: fall time 311, tau = 155, the tile is 112 pixels up and gone.
        {"crack", 29, "", {16, 8, kOld, kNew}, {0, 15, kOld, kNew}},
        // c = 1: a one-pixel window of the old picture over the whole screen.
        {"zoomin", 30, "", {16, 8, kOld, kOld}, {0, 0, kOld, kOld}},
        // From 12 o'clock half a turn clockwise: the right half.
        {"clockhand", 31, "", {24, 8, kOld, kNew}, {8, 8, kOld, kOld}},
        // p = 31: a band of 1 ending at the last column, still the old picture.
        {"rubberh", 32, "", {0, 5, kOld, kOld}, {31, 5, kOld, kOld}},
        {"rubberv", 33, "", {5, 0, kOld, kOld}, {5, 15, kOld, kOld}},
        // Half a turn around 12 o'clock: the top half; two quarter turns: up and down cones.
        {"fan", 34, "", {16, 2, kOld, kNew}, {16, 13, kOld, kOld}},
        {"wfan", 35, "", {16, 2, kOld, kNew}, {1, 8, kOld, kOld}},
        // Radius round(17.9 / 2) = 9.
        {"circle", 36, "", {16, 8, kOld, kNew}, {0, 0, kOld, kOld}},
        // Blocks of min(60, 32, 16) = 16, two of them: the first (left) is open from the start.
        {"blockcoil", 37, "", {8, 8, kNew, kNew}, {24, 8, kOld, kOld}},
    };
    return cases;
}

TEST_F(TransitionGame, EveryStyleStartsMixesAndEndsByItsRule) {
    for (const StyleCase& c : StyleCases()) {
        WriteFlip(c.code, c.params);
        ASSERT_EQ(Play(kFirstFrame), 0) << c.name;
        EXPECT_EQ(At(c.a.x, c.a.y), c.a.first) << c.name << " first";
        EXPECT_EQ(At(c.b.x, c.b.y), c.b.first) << c.name << " first";
        ASSERT_EQ(Play(kHalfWay), 0) << c.name;
        EXPECT_EQ(At(c.a.x, c.a.y), c.a.half) << c.name << " half way";
        EXPECT_EQ(At(c.b.x, c.b.y), c.b.half) << c.name << " half way";
        EXPECT_EQ(Var("done"), "missing") << c.name;
        ASSERT_EQ(Play(kAfter), 0) << c.name;
        EXPECT_EQ(At(c.a.x, c.a.y), kNew) << c.name << " after";
        EXPECT_EQ(At(c.b.x, c.b.y), kNew) << c.name << " after";
        EXPECT_EQ(Var("done"), "true") << c.name;
    }
}

TEST_F(TransitionGame, RandomStylesSwitchTheirShareOfTheScreen) {
    // Dither: the generator seeded 12341 deals the cells of a 64 x 64 tile; half way 2048 of
    // them are open.
    TTpRandom random(12341);
    random.Shuffle(4096);
    std::vector<bool> open(4096, false);
    for (int32_t i = 0; i < 2048; ++i) {
        const int32_t v = random.Draw();
        open[static_cast<size_t>((v / 64) * 64 + v % 64)] = true;
    }
    WriteFlip(11, "");
    ASSERT_EQ(Play(kFirstFrame), 0);
    EXPECT_EQ(At(0, 0), kOld);
    ASSERT_EQ(Play(kHalfWay), 0);
    int32_t opened = 0;
    for (int32_t y = 0; y < 16; ++y) {
        for (int32_t x = 0; x < 32; ++x) {
            const bool isOpen = open[static_cast<size_t>(y * 64 + x)];
            opened += isOpen;
            ASSERT_EQ(At(x, y), isOpen ? kNew : kOld) << x << ", " << y;
        }
    }
    EXPECT_GT(opened, 0);
    EXPECT_LT(opened, 32 * 16);

    // Blocks in random order: of the two blocks of 16, exactly one is open half way.
    WriteFlip(38, "");
    ASSERT_EQ(Play(kHalfWay), 0);
    EXPECT_NE(At(8, 8), At(24, 8));
    for (const uint32_t p : {At(8, 8), At(24, 8)})
        EXPECT_TRUE(p == kOld || p == kNew) << std::hex << p;
    ASSERT_EQ(Play(kAfter), 0);
    EXPECT_EQ(At(8, 8), kNew);
    EXPECT_EQ(At(24, 8), kNew);
}

}  // namespace
}  // namespace kivo
