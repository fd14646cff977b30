// Transitions checked at exact pixels. Each style gets frames in the middle whose pixels are
// worked out here from the style's own arithmetic (levels, ramps, offsets, nearest samples),
// and the rules every style keeps (how it starts, that it ends without drawing, that a time
// always gives the same picture) run over all 38 codes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <optional>
#include <vector>

#include "imaging/custom_wipe.h"
#include "imaging/draw_context.h"
#include "imaging/raster_fixture.h"
#include "storage/tp_random.h"

namespace kivo {
namespace {

using test::MakeSurface;
using test::Pixels;

// ---- Pictures and per-channel arithmetic, written out independently of the player. ----

// Distinct colours in every pixel, and never the same in both pictures (blue differs).
uint32_t FromPixel(int32_t x, int32_t y) {
    return static_cast<uint32_t>(0x40 + x) << 16 | static_cast<uint32_t>(0x20 + y) << 8 | 0x10;
}
uint32_t ToPixel(int32_t x, int32_t y) {
    return static_cast<uint32_t>(0xA0 - x) << 16 | static_cast<uint32_t>(0xC0 - y) << 8 | 0xE0;
}

constexpr uint32_t kUntouched = 0x00ABCDEF;

int Channel(uint32_t p, int c) {
    return static_cast<int>((p >> (8 * c)) & 0xFF);
}

template <typename Op>
uint32_t PerChannel(Op op) {
    uint32_t out = 0;
    for (int c = 0; c < 3; ++c)
        out |= static_cast<uint32_t>(op(c)) << (8 * c);
    return out;
}

// (w x to + (255 - w) x from) >> 8 in each channel.
uint32_t Blend(uint32_t from, uint32_t to, int w) {
    return PerChannel(
        [&](int c) { return (w * Channel(to, c) + (255 - w) * Channel(from, c)) >> 8; });
}

// A picture drawn over another with alpha w: equal pixels stay, 255 and above copy.
uint32_t DrawnAlpha(uint32_t under, uint32_t over, int w) {
    if (w <= 0 || under == over) return under;
    return w >= 255 ? over : Blend(under, over, w);
}

// The mask composition: 0 the old picture, 255 the new one, anything between blends.
uint32_t Masked(uint32_t from, uint32_t to, int m) {
    return m == 0 ? from : m == 255 ? to : Blend(from, to, m);
}

uint32_t AddGrey(uint32_t p, int64_t g) {
    return PerChannel([&](int c) { return std::min<int64_t>(255, Channel(p, c) + g); });
}
uint32_t SubGrey(uint32_t p, int64_t g) {
    return PerChannel([&](int c) { return std::max<int64_t>(0, Channel(p, c) - g); });
}

// The source index a stretch from srcLen to dstLen samples at destination index i: the
// scale truncated to 16.16 fixed point, the sample the integer part.
int32_t Nearest(int64_t i, int64_t srcLen, int64_t dstLen) {
    const auto step =
        static_cast<int64_t>(static_cast<double>(srcLen) / static_cast<double>(dstLen) * 65536.0);
    return static_cast<int32_t>((i * step) >> 16);
}

int64_t RoundEven(double v) {
    return static_cast<int64_t>(std::nearbyint(v));
}

// ---- Running a style ----

struct WipeRun {
    int32_t code;
    int32_t width, height, duration;
    bool reverse = false;
    std::optional<int32_t> param0 = std::nullopt, param1 = std::nullopt;
    TCustomDIBX* rule = nullptr;
    int32_t seed = 5;
};

// The pictures, the destination (first filled with kUntouched) and the transition over them.
struct Stage {
    explicit Stage(const WipeRun& s)
        : setup(s),
          dest(MakeSurface(
              s.width, s.height,
              std::vector<uint32_t>(static_cast<size_t>(s.width * s.height), kUntouched))),
          from(Picture(s.width, s.height, FromPixel)),
          to(Picture(s.width, s.height, ToPixel)),
          random(s.seed) {
        wipe = CreateWipe(s.code, *dest, *from, *to, random);
        if (!wipe) return;
        wipe->SetDuration(s.duration);
        wipe->SetReverse(s.reverse);
        if (s.param0) wipe->SetParam(0, *s.param0);
        if (s.param1) wipe->SetParam(1, *s.param1);
        wipe->SetRulePicture(s.rule);
        wipe->Init();
    }

    static std::unique_ptr<TDIBX> Picture(int32_t w, int32_t h,
                                          uint32_t (*pixel)(int32_t, int32_t)) {
        auto p = std::make_unique<TDIBX>(w, h, 32);
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x)
                p->SetPixel(x, y, pixel(x, y));
        }
        return p;
    }

    // The destination after a Step at time t.
    std::vector<uint32_t> At(int64_t t) {
        wipe->SetElapsed(t);
        EXPECT_FALSE(wipe->Step()) << "code " << setup.code << " t " << t;
        return Pixels(*dest);
    }

    WipeRun setup;
    std::unique_ptr<TDIBX> dest, from, to;
    TTpRandom random;
    std::unique_ptr<TCustomWipe> wipe;
};

std::vector<uint32_t> Frame(const WipeRun& s, int64_t t) {
    Stage stage(s);
    return stage.At(t);
}

using PixelRule = std::function<uint32_t(int32_t x, int32_t y)>;

std::vector<uint32_t> Expect(int32_t width, int32_t height, const PixelRule& rule) {
    std::vector<uint32_t> out;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x)
            out.push_back(rule(x, y));
    }
    return out;
}

// Compares two frames and names the first pixel that differs; skip leaves pixels out (those
// on the edge of a drawn shape, which may fall either way).
::testing::AssertionResult SameFrame(const std::vector<uint32_t>& actual,
                                     const std::vector<uint32_t>& expected, int32_t width,
                                     const std::function<bool(int32_t, int32_t)>& skip = {}) {
    if (actual.size() != expected.size()) return ::testing::AssertionFailure() << "sizes differ";
    for (size_t i = 0; i < actual.size(); ++i) {
        const auto x = static_cast<int32_t>(i % static_cast<size_t>(width));
        const auto y = static_cast<int32_t>(i / static_cast<size_t>(width));
        if (skip && skip(x, y)) continue;
        if (actual[i] != expected[i]) {
            return ::testing::AssertionFailure()
                   << "pixel (" << x << ", " << y << ") is " << std::hex << actual[i]
                   << ", expected " << expected[i];
        }
    }
    return ::testing::AssertionSuccess();
}

std::vector<uint32_t> OldPicture(int32_t w, int32_t h) {
    return Expect(w, h, FromPixel);
}

// ---- Rules of every style ----

TEST(Transitions, CodesOutOfRangeCreateNothing) {
    TDIBX dest(4, 4, 32), from(4, 4, 32), to(4, 4, 32);
    TTpRandom random(1);
    for (const int32_t code : {0, -1, -38, INT32_MIN, 39, 50, INT32_MAX})
        EXPECT_EQ(CreateWipe(code, dest, from, to, random), nullptr) << code;
    for (int32_t code = 1; code < kWipeCount; ++code)
        EXPECT_NE(CreateWipe(code, dest, from, to, random), nullptr) << code;
}

TEST(Transitions, DefaultsAndParameterLimits) {
    // The defaults as stored: mask styles keep parameter 0 at 2 or more and 1 at 1 or more,
    // curtains both at 1 or more, the angle styles take them as given.
    struct Case {
        int32_t code, param0, param1;
    };
    const Case cases[] = {
        {WP_FADE, 0, 0},         {WP_BLINDH, 20, 1}, {WP_BLINDV, 20, 1}, {WP_CURTAINH, 30, 1},
        {WP_CURTAINV, 30, 1},    {WP_SCROLLH, 0, 0}, {WP_GRID, 80, 30},  {WP_GRIDH, 80, 30},
        {WP_GRIDV, 80, 30},      {WP_DITHER, 2, 1},  {WP_MOSAIC, 0, 0},  {WP_SPOT, 0, 0},
        {WP_MASKFADE, 2, 1},     {WP_RIPPLE, 5, 0},  {WP_CRACK, 64, 3},  {WP_CLOCKHAND, 0, 0},
        {WP_FAN, 0, 0},          {WP_WFAN, 0, 0},    {WP_CIRCLE, 2, 1},  {WP_BLOCKCOIL, 60, 1},
        {WP_BLOCKRANDOM, 60, 1},
    };
    TDIBX dest(4, 4, 32), from(4, 4, 32), to(4, 4, 32);
    TTpRandom random(1);
    for (const Case& c : cases) {
        auto wipe = CreateWipe(c.code, dest, from, to, random);
        EXPECT_EQ(wipe->GetParam(0), c.param0) << c.code;
        EXPECT_EQ(wipe->GetParam(1), c.param1) << c.code;
    }
    struct Limit {
        int32_t code, index, value, stored;
    };
    const Limit limits[] = {
        {WP_BLINDH, 0, -5, 2},   {WP_BLINDH, 1, 0, 1},        {WP_CURTAINH, 0, 0, 1},
        {WP_CURTAINV, 1, -3, 1}, {WP_CLOCKHAND, 0, -90, -90}, {WP_FADE, 1, -7, -7},
    };
    for (const Limit& l : limits) {
        auto wipe = CreateWipe(l.code, dest, from, to, random);
        wipe->SetParam(l.index, l.value);
        EXPECT_EQ(wipe->GetParam(l.index), l.stored) << l.code << " " << l.index;
    }
    // Indexes other than 0 and 1 read 0 and store nothing.
    auto fade = CreateWipe(WP_FADE, dest, from, to, random);
    fade->SetParam(-1, 9);
    fade->SetParam(2, 9);
    EXPECT_EQ(fade->GetParam(-1), 0);
    EXPECT_EQ(fade->GetParam(2), 0);
    EXPECT_EQ(fade->GetParam(0), 0);
}

TEST(Transitions, EveryStyleDrawsTheWholeScreenUntilItEnds) {
    for (int32_t code = 1; code < kWipeCount; ++code) {
        Stage stage({code, 24, 16, 40});
        stage.At(20);
        EXPECT_EQ(stage.wipe->UpdateRect(), (TRect{0, 0, 24, 16})) << code;
        EXPECT_FALSE(stage.wipe->Finished()) << code;
        // At the duration (and past it) the step draws nothing and says so.
        TDrawContext(*stage.dest).Fill(kUntouched);
        stage.wipe->SetElapsed(40);
        EXPECT_TRUE(stage.wipe->Step()) << code;
        stage.wipe->Advance(1000);
        EXPECT_TRUE(stage.wipe->Step()) << code;
        EXPECT_EQ(stage.wipe->Elapsed(), 40) << code;
        EXPECT_TRUE(stage.wipe->Finished()) << code;
        EXPECT_EQ(Pixels(*stage.dest), std::vector<uint32_t>(24 * 16, kUntouched)) << code;
    }
}

TEST(Transitions, MostStylesStartOnTheOldPicture) {
    // The others begin otherwise by their arithmetic: the flash starts white, the mosaic and
    // the shrinking picture at a scale just off 1, the ripple with its centre inside the
    // ring, and the block styles with their first block switched.
    const int32_t codes[] = {WP_FADE,      WP_BLINDH,    WP_BLINDV,    WP_CURTAINH,  WP_CURTAINV,
                             WP_SCROLLH,   WP_SCROLLV,   WP_GRID,      WP_GRIDH,     WP_GRIDV,
                             WP_DITHER,    WP_WHITE,     WP_BLACK,     WP_SUDAREH,   WP_SUDAREV,
                             WP_SPOT,      WP_MASKFADE,  WP_MASKWHITE, WP_MASKBLACK, WP_BIG,
                             WP_BLURWHITE, WP_BLURBLACK, WP_TWISTH,    WP_TWISTV,    WP_CRACK,
                             WP_ZOOMIN,    WP_CLOCKHAND, WP_RUBBERH,   WP_RUBBERV,   WP_FAN,
                             WP_WFAN,      WP_CIRCLE};
    for (const int32_t code : codes) {
        for (const bool reverse : {false, true}) {
            EXPECT_TRUE(SameFrame(Frame({code, 20, 12, 100, reverse}, 0), OldPicture(20, 12), 20))
                << "code " << code << " reverse " << reverse;
        }
    }
}

TEST(Transitions, TheSameTimeGivesTheSamePicture) {
    // A frame drawn on its own equals the frame drawn after another time was shown: levels,
    // work surfaces and rows left from the other time play no part.
    for (int32_t code = 1; code < kWipeCount; ++code) {
        for (const bool reverse : {false, true}) {
            const WipeRun setup{code, 24, 16, 90, reverse};
            const std::vector<uint32_t> alone = Frame(setup, 30);
            Stage stage(setup);
            stage.At(70);
            EXPECT_TRUE(SameFrame(stage.At(30), alone, 24)) << "code " << code << " " << reverse;
        }
    }
}

TEST(Transitions, LengthZeroAndLongRunsStayInRange) {
    // A length of 0 counts as 1 and does not divide by zero.
    Stage zero({WP_WHITE, 4, 2, 0});
    EXPECT_EQ(zero.wipe->Duration(), 1);
    EXPECT_EQ(zero.At(0), OldPicture(4, 2));
    zero.wipe->Advance(1);
    EXPECT_TRUE(zero.wipe->Step());

    // t x 511 leaves 32 bits after some minutes; halfway through a run of 23 days the white
    // style is at its whitest.
    Stage longRun({WP_WHITE, 4, 2, 2'000'000'000});
    EXPECT_EQ(longRun.At(1'000'000'000), std::vector<uint32_t>(8, 0x00FFFFFF));
    // Frame deltas add up without overflowing and stop at the end.
    longRun.wipe->Advance(INT32_MAX);
    longRun.wipe->Advance(INT32_MAX);
    EXPECT_EQ(longRun.wipe->Elapsed(), 2'000'000'000);
    EXPECT_TRUE(longRun.wipe->Finished());
}

TEST(Transitions, AbandonedTransitionsDrawNothingMore) {
    Stage stage({WP_MASKFADE, 8, 4, 100});
    stage.At(10);
    stage.wipe->Abandon();
    TDrawContext(*stage.dest).Fill(kUntouched);
    stage.wipe->SetElapsed(50);
    EXPECT_TRUE(stage.wipe->Finished());
    EXPECT_TRUE(stage.wipe->Step());
    EXPECT_EQ(Pixels(*stage.dest), std::vector<uint32_t>(32, kUntouched));
}

TEST(Transitions, StepPreparesTheStyleWhenInitWasNotCalled) {
    TDIBX dest(64, 2, 32);
    auto from = Stage::Picture(64, 2, FromPixel);
    auto to = Stage::Picture(64, 2, ToPixel);
    TTpRandom random(1);
    auto wipe = CreateWipe(WP_DITHER, dest, *from, *to, random);
    wipe->SetDuration(4096);
    wipe->SetElapsed(4095);
    EXPECT_FALSE(wipe->Step());
    EXPECT_EQ(Pixels(dest), Frame({WP_DITHER, 64, 2, 4096}, 4095));
}

// ---- The styles ----

TEST(Transitions, FadeSlidesTheNewPictureInWithRisingAlpha) {
    // T = 10, t = 5: k = 4/10, offset (round(1.6), round(-0.8)) = (2, -1), alpha 128.
    const auto frame = Frame({WP_FADE, 8, 4, 10, false, 4, -2}, 5);
    EXPECT_TRUE(SameFrame(frame,
                          Expect(8, 4,
                                 [](int32_t x, int32_t y) {
                                     const int32_t tx = x - 2, ty = y + 1;
                                     if (tx < 0 || ty >= 4) return FromPixel(x, y);
                                     return DrawnAlpha(FromPixel(x, y), ToPixel(tx, ty), 128);
                                 }),
                          8));
    // Without a slide, t = 9 of 10: alpha 230 over the whole picture.
    EXPECT_TRUE(SameFrame(Frame({WP_FADE, 8, 4, 10}, 9),
                          Expect(8, 4,
                                 [](int32_t x, int32_t y) {
                                     return DrawnAlpha(FromPixel(x, y), ToPixel(x, y), 230);
                                 }),
                          8));
}

TEST(Transitions, FadeLeavesPixelsTheTwoPicturesShare) {
    Stage stage({WP_FADE, 8, 1, 10});
    stage.to->SetPixel(3, 0, FromPixel(3, 0));
    const auto frame = stage.At(5);
    EXPECT_EQ(frame[3], FromPixel(3, 0));
    EXPECT_EQ(frame[4], Blend(FromPixel(4, 0), ToPixel(4, 0), 128));
}

// The soft ramp of the mask styles: 0 before start, then 255 / soft a level.
int Ramp(int64_t level, int64_t start, int64_t soft) {
    return level < start ? 0
                         : static_cast<int>(std::min<int64_t>(255, (level - start) * 255 / soft));
}

TEST(Transitions, BlindsOpenSlatBySlat) {
    // Slats of 4 with soft 3 at t = 5 of 10: level (3 + 8 - 2) x 5 / 10 = 4; columns start
    // at 2 (x mod 4), or 2 (3 - x mod 4) reversed.
    for (const bool reverse : {false, true}) {
        const auto frame = Frame({WP_BLINDH, 10, 2, 10, reverse, 4, 3}, 5);
        EXPECT_TRUE(SameFrame(frame,
                              Expect(10, 2,
                                     [&](int32_t x, int32_t y) {
                                         const int m = x % 4;
                                         const int m2 = Ramp(4, reverse ? 2 * (3 - m) : 2 * m, 3);
                                         return Masked(FromPixel(x, y), ToPixel(x, y), m2);
                                     }),
                              10))
            << reverse;
    }
    // Width 20 and soft 1 at half time: every slat is half open, hard-edged.
    EXPECT_TRUE(SameFrame(
        Frame({WP_BLINDH, 40, 2, 2}, 1),
        Expect(40, 2,
               [](int32_t x, int32_t y) { return x % 20 < 10 ? ToPixel(x, y) : FromPixel(x, y); }),
        40));
    // Horizontal slats of 3 rows, soft 2, at t = 5 of 10: level (2 + 6 - 2) / 2 = 3; the
    // mask rows repeat every 3 rows.
    for (const bool reverse : {false, true}) {
        const auto frame = Frame({WP_BLINDV, 3, 7, 10, reverse, 3, 2}, 5);
        EXPECT_TRUE(SameFrame(frame,
                              Expect(3, 7,
                                     [&](int32_t x, int32_t y) {
                                         const int r = y % 3;
                                         const int m = Ramp(3, reverse ? 2 * (2 - r) : 2 * r, 2);
                                         return Masked(FromPixel(x, y), ToPixel(x, y), m);
                                     }),
                              3))
            << reverse;
    }
}

TEST(Transitions, CurtainsOpenInStaggeredGroups) {
    // Groups of 2, soft 20, t = 5 of 10: level ((8 / 2 + 2 - 2) x 16 + 20) / 2 = 42; cell i
    // starts at ((i div 2) + (i mod 2)) x 16.
    auto start = [](int32_t i) { return (i / 2 + i % 2) * 16; };
    for (const bool reverse : {false, true}) {
        const auto across = Frame({WP_CURTAINH, 8, 2, 10, reverse, 2, 20}, 5);
        EXPECT_TRUE(SameFrame(across,
                              Expect(8, 2,
                                     [&](int32_t x, int32_t y) {
                                         const int m = Ramp(42, start(reverse ? 7 - x : x), 20);
                                         return Masked(FromPixel(x, y), ToPixel(x, y), m);
                                     }),
                              8))
            << reverse;
        const auto down = Frame({WP_CURTAINV, 2, 8, 10, reverse, 2, 20}, 5);
        EXPECT_TRUE(SameFrame(down,
                              Expect(2, 8,
                                     [&](int32_t x, int32_t y) {
                                         const int m = Ramp(42, start(reverse ? 7 - y : y), 20);
                                         return Masked(FromPixel(x, y), ToPixel(x, y), m);
                                     }),
                              2))
            << reverse;
    }
    // Soft 1 switches hard: at level 32 cells starting below 32 are open.
    EXPECT_TRUE(SameFrame(Frame({WP_CURTAINH, 8, 1, 10, false, 2, 1}, 5),
                          Expect(8, 1,
                                 [&](int32_t x, int32_t y) {
                                     return start(x) < 32 ? ToPixel(x, y) : FromPixel(x, y);
                                 }),
                          8));
}

TEST(Transitions, ScrollsPushTheOldPictureOut) {
    // t = 1 of 4 on 8 pixels: an offset of 2.
    const std::pair<bool, PixelRule> across[] = {
        {false,
         [](int32_t x, int32_t y) { return x < 6 ? FromPixel(x + 2, y) : ToPixel(x - 6, y); }},
        {true,
         [](int32_t x, int32_t y) { return x < 2 ? ToPixel(x + 6, y) : FromPixel(x - 2, y); }},
    };
    for (const auto& [reverse, rule] : across)
        EXPECT_TRUE(SameFrame(Frame({WP_SCROLLH, 8, 3, 4, reverse}, 1), Expect(8, 3, rule), 8));
    const std::pair<bool, PixelRule> down[] = {
        {false,
         [](int32_t x, int32_t y) { return y < 6 ? FromPixel(x, y + 2) : ToPixel(x, y - 6); }},
        {true,
         [](int32_t x, int32_t y) { return y < 2 ? ToPixel(x, y + 6) : FromPixel(x, y - 2); }},
    };
    for (const auto& [reverse, rule] : down)
        EXPECT_TRUE(SameFrame(Frame({WP_SCROLLV, 3, 8, 4, reverse}, 1), Expect(3, 8, rule), 3));
}

TEST(Transitions, GridsGrowSquaresBlockByBlock) {
    // Blocks of 4 on 8 x 8 (2 x 2 blocks), soft 4, T = 8, t = 6.
    // Column order: span 8, level 6 x (4 + 8 - 4) / 8 = 6. Column 0 is full (value 255,
    // square 4); column 1 has grown by 2: value 127, a square of 2 at offset 1.
    auto columnOrder = [](int32_t along, int32_t across) {
        if (along < 4) return 255;
        return along % 4 >= 1 && along % 4 <= 2 && across % 4 >= 1 && across % 4 <= 2 ? 127 : 0;
    };
    EXPECT_TRUE(SameFrame(Frame({WP_GRIDH, 8, 8, 8, false, 4, 4}, 6),
                          Expect(8, 8,
                                 [&](int32_t x, int32_t y) {
                                     return Masked(FromPixel(x, y), ToPixel(x, y),
                                                   columnOrder(x, y));
                                 }),
                          8));
    EXPECT_TRUE(SameFrame(Frame({WP_GRIDV, 8, 8, 8, false, 4, 4}, 6),
                          Expect(8, 8,
                                 [&](int32_t x, int32_t y) {
                                     return Masked(FromPixel(x, y), ToPixel(x, y),
                                                   columnOrder(y, x));
                                 }),
                          8));
    // Diagonal order: span round(sqrt 2) x 4 = 4, level 6 x 4 / 8 = 3. Only block (0, 0)
    // (or (1, 1) reversed) has started: value 191, a square of 3 at offset 0.
    for (const bool reverse : {false, true}) {
        const int32_t corner = reverse ? 4 : 0;
        EXPECT_TRUE(SameFrame(Frame({WP_GRID, 8, 8, 8, reverse, 4, 4}, 6),
                              Expect(8, 8,
                                     [&](int32_t x, int32_t y) {
                                         const bool in = x >= corner && x < corner + 3 &&
                                                         y >= corner && y < corner + 3;
                                         return Masked(FromPixel(x, y), ToPixel(x, y),
                                                       in ? 191 : 0);
                                     }),
                              8))
            << reverse;
    }
}

// The dither order: a generator seeded 12341 deals the 4096 cells of a 64 x 64 tile.
std::vector<uint32_t> DitherFrame(int32_t width, int32_t height, int64_t level) {
    TTpRandom random(12341);
    random.Shuffle(4096);
    std::vector<bool> open(4096, false);
    for (int64_t i = 0; i < 4096; ++i) {
        const int32_t v = random.Draw();
        if (i < level) open[static_cast<size_t>((v / 64) * 64 + v % 64)] = true;
    }
    return Expect(width, height, [&](int32_t x, int32_t y) {
        return open[static_cast<size_t>((y % 64) * 64 + x % 64)] ? ToPixel(x, y) : FromPixel(x, y);
    });
}

TEST(Transitions, DitherSwitchesCellsInAFixedOrder) {
    // 130 x 66 shows the tile repeated both ways; t = 1000 of 4096 has 1000 cells open.
    EXPECT_TRUE(
        SameFrame(Frame({WP_DITHER, 130, 66, 4096}, 1000), DitherFrame(130, 66, 1000), 130));
    // Near the end of a run of 23 days the level is still t x 4096 / T = 4095.
    EXPECT_TRUE(SameFrame(Frame({WP_DITHER, 64, 64, 2'000'000'000}, 1'999'999'999),
                          DitherFrame(64, 64, 4095), 64));
}

TEST(Transitions, WhiteBlackAndFlash) {
    // Channels near 255 and 0 show the saturation.
    struct Case {
        int32_t code;
        int64_t t;
        PixelRule rule;
    };
    const Case cases[] = {
        // t = 3 of 10: a = 153, the old picture plus grey 153; t = 7: a = 357, the new one
        // plus grey 154.
        {WP_WHITE, 3, [](int32_t x, int32_t y) { return AddGrey(FromPixel(x, y), 153); }},
        {WP_WHITE, 7, [](int32_t x, int32_t y) { return AddGrey(ToPixel(x, y), 154); }},
        {WP_BLACK, 3, [](int32_t x, int32_t y) { return SubGrey(FromPixel(x, y), 153); }},
        {WP_BLACK, 7, [](int32_t x, int32_t y) { return SubGrey(ToPixel(x, y), 154); }},
        // Flash at t = 3: g = 255 - 76 over the new picture.
        {WP_FLASH, 3, [](int32_t x, int32_t y) { return AddGrey(ToPixel(x, y), 179); }},
        {WP_FLASH, 0, [](int32_t, int32_t) { return 0x00FFFFFFu; }},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(SameFrame(Frame({c.code, 6, 3, 10}, c.t), Expect(6, 3, c.rule), 6))
            << c.code << " t " << c.t;
    }
}

// The mosaic at level L (T = 1023): the pictures reduced by nearest samples to the coarse
// size, the new one blended in, the result stretched back.
std::vector<uint32_t> MosaicFrame(int32_t w, int32_t h, int64_t level) {
    const int64_t b =
        level <= 511 ? 263 - (level / 2) * 15 / 16 : ((level - 512) / 2) * 15 / 16 + 24;
    const auto sw = static_cast<int32_t>(std::max<int64_t>(1, (w / 4) * b >> 8));
    const auto sh = static_cast<int32_t>(std::max<int64_t>(1, (h / 4) * b >> 8));
    auto coarse = [&](int32_t i, int32_t j) {
        const int32_t sx = Nearest(i, w, sw), sy = Nearest(j, h, sh);
        const uint32_t from = FromPixel(sx, sy), to = ToPixel(sx, sy);
        if (level <= 255) return from;
        if (level <= 511) return DrawnAlpha(from, to, static_cast<int>((level - 256) / 4));
        if (level <= 767) return DrawnAlpha(from, to, static_cast<int>((level - 256) / 2));
        return to;
    };
    return Expect(
        w, h, [&](int32_t x, int32_t y) { return coarse(Nearest(x, sw, w), Nearest(y, sh, h)); });
}

TEST(Transitions, MosaicCoarsensBlendsAndRefines) {
    // One level in each quarter, and both sides of the jump of the new picture's alpha from
    // 63 to 128 at level 512.
    for (const int64_t level : {0, 100, 300, 511, 512, 600, 766, 900}) {
        EXPECT_TRUE(
            SameFrame(Frame({WP_MOSAIC, 64, 32, 1023}, level), MosaicFrame(64, 32, level), 64))
            << level;
    }
    EXPECT_NE(MosaicFrame(64, 32, 511), MosaicFrame(64, 32, 512));
}

TEST(Transitions, SudareSmearsOneColumnOverTheEdge) {
    // 8 wide, T = 15: p = t. At t = 3 column 3 of the old picture covers columns 0..3; at
    // t = 11, p = 16 - 11 - 1 = 4 of the new picture. Reversed, the smear hangs from the
    // other edge. The vertical style does the same along the rows.
    struct Case {
        int64_t t;
        bool reverse, to;
        int32_t (*smear)(int32_t);
    };
    const Case cases[] = {
        {3, false, false, [](int32_t i) { return std::max(i, 3); }},
        {11, false, true, [](int32_t i) { return std::max(i, 4); }},
        {3, true, false, [](int32_t i) { return std::min(i, 4); }},
    };
    for (const Case& c : cases) {
        auto picture = c.to ? ToPixel : FromPixel;
        EXPECT_TRUE(SameFrame(
            Frame({WP_SUDAREH, 8, 2, 15, c.reverse}, c.t),
            Expect(8, 2, [&](int32_t x, int32_t y) { return picture(c.smear(x), y); }), 8))
            << c.t;
        EXPECT_TRUE(SameFrame(
            Frame({WP_SUDAREV, 2, 8, 15, c.reverse}, c.t),
            Expect(2, 8, [&](int32_t x, int32_t y) { return picture(x, c.smear(y)); }), 2))
            << c.t;
    }
}

TEST(Transitions, SpotRunsABrightRingOutFromTheCentre) {
    // 8 x 6, centre (4, 3); span round(5) + 512 = 517 = T, so g = t. A pixel at rounded
    // distance f: old picture below f, brightening by g - f, then the new picture darkening
    // from white by f - g + 511, then plain. Reversed, f is 5 less the distance.
    for (const bool reverse : {false, true}) {
        for (const int64_t g : {3, 258, 300, 514}) {
            const auto frame = Frame({WP_SPOT, 8, 6, 517, reverse}, g);
            EXPECT_TRUE(SameFrame(frame,
                                  Expect(8, 6,
                                         [&](int32_t x, int32_t y) {
                                             const int64_t d = RoundEven(std::hypot(x - 4, y - 3));
                                             const int64_t f = reverse ? 5 - d : d;
                                             if (g < f) return FromPixel(x, y);
                                             if (g < f + 256)
                                                 return AddGrey(FromPixel(x, y), g - f);
                                             if (g < f + 512)
                                                 return AddGrey(ToPixel(x, y), f - g + 511);
                                             return ToPixel(x, y);
                                         }),
                                  8))
                << reverse << " " << g;
        }
    }
}

// A 4 x 2 rule picture: greys, and a red pixel whose luminance is 76.
std::unique_ptr<TDIBX> RulePicture() {
    return MakeSurface(
        4, 2, {0x000000, 0x404040, 0x808080, 0xFFFFFF, 0xC8C8C8, 0x646464, 0x323232, 0xFF0000});
}
constexpr int kRuleValues[] = {0, 64, 128, 255, 200, 100, 50, 76};

// The rule value under pixel (x, y) of an 8 x 4 screen: the picture tiled from the corner.
int RuleAt(int32_t x, int32_t y, bool reverse) {
    const int v = kRuleValues[(y % 2) * 4 + x % 4];
    return reverse ? 255 - v : v;
}

TEST(Transitions, RulePictureSwitchesLightPixelsFirst) {
    auto rule = RulePicture();
    // T = 512, t = 200: mask = clamp(200 + v - 256, 0, 255).
    for (const bool reverse : {false, true}) {
        const auto frame = Frame({WP_MASKFADE, 8, 4, 512, reverse, {}, {}, rule.get()}, 200);
        EXPECT_TRUE(SameFrame(frame,
                              Expect(8, 4,
                                     [&](int32_t x, int32_t y) {
                                         const int m =
                                             std::clamp(RuleAt(x, y, reverse) - 56, 0, 255);
                                         return Masked(FromPixel(x, y), ToPixel(x, y), m);
                                     }),
                              8))
            << reverse;
    }
    // An 8-bit rule picture is read through its grey palette.
    auto grey = MakeSurface(1, 1, {200}, 8);
    EXPECT_TRUE(SameFrame(
        Frame({WP_MASKFADE, 8, 4, 512, false, {}, {}, grey.get()}, 200),
        Expect(8, 4,
               [](int32_t x, int32_t y) { return Masked(FromPixel(x, y), ToPixel(x, y), 144); }),
        8));
    // Without a rule picture every value is 255: all pixels switch together.
    EXPECT_TRUE(SameFrame(
        Frame({WP_MASKFADE, 8, 4, 512}, 100),
        Expect(8, 4,
               [](int32_t x, int32_t y) { return Masked(FromPixel(x, y), ToPixel(x, y), 99); }),
        8));
    // Through white and black: T = 768, t = 300, k = clamp(44 + v, 0, 511).
    for (const int32_t code : {WP_MASKWHITE, WP_MASKBLACK}) {
        auto tint = code == WP_MASKWHITE ? AddGrey : SubGrey;
        const auto frame = Frame({code, 8, 4, 768, false, {}, {}, rule.get()}, 300);
        EXPECT_TRUE(SameFrame(frame,
                              Expect(8, 4,
                                     [&](int32_t x, int32_t y) {
                                         const int k = std::clamp(44 + RuleAt(x, y, false), 0, 511);
                                         return k <= 255 ? tint(FromPixel(x, y), k)
                                                         : tint(ToPixel(x, y), 511 - k);
                                     }),
                              8))
            << code;
    }
}

// A rotated, zoomed draw of a 16 x 16 picture about its centre onto the centre, sampled back
// in 16.16 steps: the source of destination pixel (X, Y), or nothing outside the picture.
std::optional<std::pair<int32_t, int32_t>> RotatedSample(int32_t X, int32_t Y, int angle,
                                                         int zoom) {
    const double theta = angle * 2 * std::numbers::pi / 256, z = zoom / 256.0;
    const auto step = [](double v) { return static_cast<int64_t>(v * 65536.0); };
    const int64_t px =
        8 * 65536 + (X - 8) * step(std::cos(theta) / z) + (Y - 8) * step(std::sin(theta) / z);
    const int64_t py =
        8 * 65536 + (X - 8) * step(-std::sin(theta) / z) + (Y - 8) * step(std::cos(theta) / z);
    if (px < 0 || py < 0 || (px >> 16) >= 16 || (py >> 16) >= 16) return std::nullopt;
    return std::pair{static_cast<int32_t>(px >> 16), static_cast<int32_t>(py >> 16)};
}

TEST(Transitions, SmallAndBigZoomAndTurnThePictureOnTop) {
    // Small at t = 5 of 10: zoom and alpha round(4/10 x 255) = 102, no turn, the old picture
    // over the new one.
    EXPECT_TRUE(SameFrame(Frame({WP_SMALL, 16, 16, 10}, 5),
                          Expect(16, 16,
                                 [](int32_t x, int32_t y) {
                                     const auto s = RotatedSample(x, y, 0, 102);
                                     return s ? DrawnAlpha(ToPixel(x, y),
                                                           FromPixel(s->first, s->second), 102)
                                              : ToPixel(x, y);
                                 }),
                          16));
    // Big at t = 2 of 4 with a turn of 256: zoom and alpha round(127.5) = 128, angle
    // round(+-256 x 1/4) = 64, a quarter turn (clockwise, or back when reversed).
    for (const bool reverse : {false, true}) {
        EXPECT_TRUE(SameFrame(
            Frame({WP_BIG, 16, 16, 4, reverse, 256}, 2),
            Expect(16, 16,
                   [&](int32_t x, int32_t y) {
                       const auto s = RotatedSample(x, y, reverse ? -64 : 64, 128);
                       return s ? DrawnAlpha(FromPixel(x, y), ToPixel(s->first, s->second), 128)
                                : FromPixel(x, y);
                   }),
            16))
            << reverse;
    }
    // Small at its start: zoom and alpha 252 with T = 100, so the edges show the new picture
    // and the old one is not quite opaque.
    const auto start = Frame({WP_SMALL, 16, 16, 100}, 0);
    EXPECT_EQ(start[0], ToPixel(0, 0));
    EXPECT_EQ(start[8 * 16 + 8], Blend(ToPixel(8, 8), FromPixel(8, 8), 252));
}

// The ripple of a w x h screen at time t of T, from its quarter tables mirrored about the
// centre (pixel cx - 1 - d mirrors cx + d).
std::vector<uint32_t> RippleFrame(int32_t w, int32_t h, int64_t t, int64_t T, int32_t teeth) {
    const int32_t qw = std::max(w / 2, 1), qh = std::max(h / 2, 1), cx = w / 2, cy = h / 2;
    const int64_t length = 2 * std::min(w / 2, h / 2) / 3;
    const int64_t tooth = std::max<int64_t>(length / 4, 1);
    const int64_t radius = t * (RoundEven(std::hypot(w / 2, h / 2)) + length) / T;
    return Expect(w, h, [&](int32_t x, int32_t y) {
        const bool right = x >= cx, below = y >= cy;
        const int32_t dx = std::min(right ? x - cx : cx - 1 - x, qw - 1);
        const int32_t dy = std::min(below ? y - cy : cy - 1 - y, qh - 1);
        const int64_t r = RoundEven(std::hypot(dx, dy));
        const int64_t index = r + length - 1 - radius;
        if (index > length - 1) return FromPixel(x, y);
        if (index < 0) return ToPixel(x, y);
        const int64_t shifted = r + (index % tooth) * teeth / tooth;
        const double direction = std::atan2(dy, dx);
        const int64_t ox = (shifted * RoundEven(std::cos(direction) * 65536) + 32768) >> 16;
        const int64_t oy = (shifted * RoundEven(std::sin(direction) * 65536) + 32768) >> 16;
        const int64_t sx = right ? cx + ox : cx - 1 - ox, sy = below ? cy + oy : cy - 1 - oy;
        if (sx < 0 || sx >= w || sy < 0 || sy >= h) return ToPixel(x, y);
        return ToPixel(static_cast<int32_t>(sx), static_cast<int32_t>(sy));
    });
}

TEST(Transitions, RippleRunsARingOutOfTheCentre) {
    // 24 x 24: ring length 8 (teeth of 2 entries), reach round(hypot(12, 12)) + 8 = 25 = T.
    for (const int64_t t : {0, 10, 20}) {
        EXPECT_TRUE(SameFrame(Frame({WP_RIPPLE, 24, 24, 25}, t), RippleFrame(24, 24, t, 25, 5), 24))
            << t;
    }
    // Teeth of another height, and an odd size whose last column and row use the edge of
    // the tables.
    EXPECT_TRUE(SameFrame(Frame({WP_RIPPLE, 25, 19, 40, false, 9}, 17),
                          RippleFrame(25, 19, 17, 40, 9), 25));
    // Under 12 pixels the teeth are one entry long: no division by zero, and the ring shows
    // the new picture unshifted.
    for (const int32_t size : {10, 5, 2, 1}) {
        EXPECT_TRUE(
            SameFrame(Frame({WP_RIPPLE, size, size, 8}, 4), RippleFrame(size, size, 4, 8, 5), size))
            << size;
    }
}

TEST(Transitions, BlursFadeThroughWhiteOrBlack) {
    // 40 x 40 (blur radius 2): the old picture has a vertical edge at x = 20, the new one a
    // horizontal edge at y = 20. Across an edge the 5-pixel box mean mixes the two sides.
    const uint32_t a = 0x00204060, b = 0x00E0C0A0;
    auto blurred = [&](int32_t i) {
        const int32_t near = std::clamp(20 - (i - 2), 0, 5);  // taps on the first side
        return PerChannel(
            [&](int c) { return (near * Channel(a, c) + (5 - near) * Channel(b, c) + 2) / 5; });
    };
    Stage stage({WP_BLURWHITE, 40, 40, 639});
    for (int32_t y = 0; y < 40; ++y) {
        for (int32_t x = 0; x < 40; ++x) {
            stage.from->SetPixel(x, y, x < 20 ? a : b);
            stage.to->SetPixel(x, y, y < 20 ? a : b);
        }
    }
    stage.wipe->Init();  // the blurred copies are taken from the pictures as they are now
    struct Case {
        int64_t level;
        PixelRule rule;
    };
    const Case cases[] = {
        {100, [&](int32_t x, int32_t) { return DrawnAlpha(x < 20 ? a : b, blurred(x), 100); }},
        {280, [&](int32_t x, int32_t) { return AddGrey(blurred(x), 96); }},
        {350, [&](int32_t, int32_t y) { return AddGrey(blurred(y), 132); }},
        {500, [&](int32_t, int32_t y) { return DrawnAlpha(y < 20 ? a : b, blurred(y), 139); }},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(SameFrame(stage.At(c.level), Expect(40, 40, c.rule), 40)) << c.level;
    // Black subtracts the grey.
    Stage black({WP_BLURBLACK, 40, 40, 639});
    for (int32_t y = 0; y < 40; ++y) {
        for (int32_t x = 0; x < 40; ++x)
            black.from->SetPixel(x, y, x < 20 ? a : b);
    }
    black.wipe->Init();
    EXPECT_TRUE(
        SameFrame(black.At(280),
                  Expect(40, 40, [&](int32_t x, int32_t) { return SubGrey(blurred(x), 96); }), 40));
}

// A twisting slat at fraction `position` of the screen at time t of T: waiting (-1), done
// (2), or squeezed to a signed size.
struct SlatState {
    int kind;  // 0 waiting, 1 turning, 2 done
    int64_t size;
};
SlatState Slat(double position, int64_t length, int64_t t, int64_t T) {
    const double d = t * 3 * std::numbers::pi / 2 / T - position * std::numbers::pi / 2;
    if (d < 0) return {0, 0};
    if (d >= std::numbers::pi) return {2, 0};
    return {1, RoundEven(std::cos(d) * static_cast<double>(length))};
}

// Pixel i of a slat of `length` pixels in its state: the picture squeezed about the middle,
// black around it.
using Line = std::function<uint32_t(int32_t)>;
uint32_t SlatPixel(const SlatState& s, int64_t length, int32_t i, const Line& from,
                   const Line& to) {
    if (s.kind == 0) return from(i);
    if (s.kind == 2) return to(i);
    const int64_t size = std::abs(s.size), start = (length - size) / 2;
    if (i < start || i >= start + size) return 0;
    const int32_t source = Nearest(i - start, length, size);
    return s.size > 0 ? from(source) : to(source);
}

TEST(Transitions, TwistsTurnSlatsOneAfterAnother) {
    // 8 x 4, T = 12: at t = 4 the rows are at d = pi/2 - (y/4) pi/2 (row 0 edge-on, the
    // others squeezed to 3, 6 and 7 pixels of the old picture); at t = 10 the first rows are
    // done and the last shows the new picture squeezed to 7.
    for (const bool reverse : {false, true}) {
        for (const int64_t t : {4, 10}) {
            EXPECT_TRUE(SameFrame(Frame({WP_TWISTH, 8, 4, 12, reverse}, t),
                                  Expect(8, 4,
                                         [&](int32_t x, int32_t y) {
                                             const int32_t slat = reverse ? 3 - y : y;
                                             return SlatPixel(
                                                 Slat(slat / 4.0, 8, t, 12), 8, x,
                                                 [y](int32_t i) { return FromPixel(i, y); },
                                                 [y](int32_t i) { return ToPixel(i, y); });
                                         }),
                                  8))
                << reverse << " " << t;
            EXPECT_TRUE(SameFrame(Frame({WP_TWISTV, 4, 8, 12, reverse}, t),
                                  Expect(4, 8,
                                         [&](int32_t x, int32_t y) {
                                             const int32_t slat = reverse ? 3 - x : x;
                                             return SlatPixel(
                                                 Slat(slat / 4.0, 8, t, 12), 8, y,
                                                 [x](int32_t i) { return FromPixel(x, i); },
                                                 [x](int32_t i) { return ToPixel(x, i); });
                                         }),
                                  4))
                << reverse << " " << t;
        }
    }
}

// Falling tiles of `size` over a w x h screen at internal time `time`: the order and drifts
// dealt by a generator of the seed (a deck of the tiles, then one draw per tile for its drift
// in -100..99), the tiles starting `interval` apart.
std::vector<uint32_t> CrackFrame(int32_t w, int32_t h, int32_t size, int32_t interval, int32_t seed,
                                 int64_t time) {
    const int32_t cols = (w + size - 1) / size, count = cols * ((h + size - 1) / size);
    TTpRandom random(seed);
    random.Shuffle(count);
    std::vector<std::pair<int32_t, int32_t>> tiles;  // index, drift
    for (int32_t j = 0; j < count; ++j) {
        const int32_t index = random.Draw();
        const auto drift =
            static_cast<int32_t>((uint64_t{static_cast<uint32_t>(random.Next())} * 200) >> 32) -
            100;
        tiles.emplace_back(index, drift);
    }
    std::vector<uint32_t> frame = Expect(w, h, ToPixel);
    auto paint = [&](int32_t index, int64_t dx, int64_t dy) {
        const int32_t left = index % cols * size, top = index / cols * size;
        for (int32_t y = top; y < std::min(top + size, h); ++y) {
            for (int32_t x = left; x < std::min(left + size, w); ++x) {
                const int64_t X = x + dx, Y = y + dy;
                if (X >= 0 && X < w && Y >= 0 && Y < h)
                    frame[static_cast<size_t>(Y * w + X)] = FromPixel(x, y);
            }
        }
    };
    for (int32_t j = 0; j < count; ++j) {
        if (time < j * interval) paint(tiles[static_cast<size_t>(j)].first, 0, 0);
    }
    for (int32_t j = count - 1; j >= 0; --j) {
        const int64_t u = time - j * interval;
        if (u < 0) continue;
        const auto [index, drift] = tiles[static_cast<size_t>(j)];
        const int64_t dy = u * (5 * u - 1500) / 1000;
        if (index / cols * size + dy >= h) continue;
        paint(index, drift * u / 100, dy);
    }
    return frame;
}

TEST(Transitions, CrackTilesRiseAndFallAway) {
    // A size of 8 uses tiles of 16: 2 x 2 tiles on 32 x 32, starting 3 apart. The fall time
    // on 32 rows is 320 ((5 x 320^2 - 1500 x 320) div 1000 = 32), so T = 320 + 3 x 3 runs the
    // internal time with t.
    for (const int64_t t : {5, 200, 310, 328}) {
        EXPECT_TRUE(SameFrame(Frame({WP_CRACK, 32, 32, 329, false, 8, 3, nullptr, 77}, t),
                              CrackFrame(32, 32, 16, 3, 77, t), 32))
            << t;
    }
    // A negative interval starts every tile at once.
    EXPECT_TRUE(SameFrame(Frame({WP_CRACK, 40, 24, 316, false, 20, -4, nullptr, 9}, 305),
                          CrackFrame(40, 24, 20, 0, 9, 305), 40));
}

TEST(Transitions, ZoominClosesInOnAPointAndOpensOut) {
    // 16 x 8, T = 8, point (12, 2). c = 2t / T; the window of scale |1 - c| centred part way
    // to the point, kept inside the picture, stretched over the screen.
    auto expected = [](int32_t p0, int32_t p1, int64_t t) {
        const double c = 2.0 * t / 8;
        const bool to = c > 1;
        const double scale = to ? c - 1 : 1 - c, weight = to ? 2 - c : c;
        const auto ww = static_cast<int32_t>(std::max<int64_t>(1, RoundEven(16 * scale)));
        const auto wh = static_cast<int32_t>(std::max<int64_t>(1, RoundEven(8 * scale)));
        const int64_t cx = 8 + RoundEven((p0 - 8) * weight), cy = 4 + RoundEven((p1 - 4) * weight);
        const auto left = static_cast<int32_t>(std::clamp<int64_t>(cx - ww / 2, 0, 16 - ww));
        const auto top = static_cast<int32_t>(std::clamp<int64_t>(cy - wh / 2, 0, 8 - wh));
        return Expect(16, 8, [=](int32_t x, int32_t y) {
            const int32_t sx = left + Nearest(x, ww, 16), sy = top + Nearest(y, wh, 8);
            return to ? ToPixel(sx, sy) : FromPixel(sx, sy);
        });
    };
    for (const int64_t t : {1, 2, 4, 6, 7})
        EXPECT_TRUE(
            SameFrame(Frame({WP_ZOOMIN, 16, 8, 8, false, 12, 2}, t), expected(12, 2, t), 16))
            << t;
    // At t = 2 the window is (6, 1) to (14, 5); at the turn it is the single pixel (12, 2).
    EXPECT_EQ(Frame({WP_ZOOMIN, 16, 8, 8, false, 12, 2}, 2)[0], FromPixel(6, 1));
    EXPECT_EQ(Frame({WP_ZOOMIN, 16, 8, 8, false, 12, 2}, 4),
              std::vector<uint32_t>(128, FromPixel(12, 2)));
    // A point off the picture pushes the window against its edge.
    EXPECT_TRUE(
        SameFrame(Frame({WP_ZOOMIN, 16, 8, 8, false, 100, -50}, 2), expected(100, -50, 2), 16));
}

// Angle of the centre of pixel (x, y) of a 20 x 20 screen seen from its centre, 0 to the
// right and clockwise on screen.
double PixelAngle(int32_t x, int32_t y) {
    return std::atan2(y + 0.5 - 10, x + 0.5 - 10);
}

// Whether angle a lies in the clockwise sweep from `from` to `to`.
bool InSweep(double a, double from, double to) {
    const double turn = 2 * std::numbers::pi;
    return std::fmod(std::fmod(a - from, turn) + turn, turn) <= to - from;
}

double AngularDistance(double a, double b) {
    const double turn = 2 * std::numbers::pi;
    const double d = std::fmod(std::fmod(a - b, turn) + turn, turn);
    return std::min(d, turn - d);
}

TEST(Transitions, ClockhandAndFansSweepSectors) {
    const double pi = std::numbers::pi, up = -pi / 2;
    struct Case {
        const char* name;
        int32_t code;
        bool reverse;
        int32_t start;  // degrees from twelve o'clock
        int64_t t;      // of T = 4
        std::vector<std::pair<double, double>> sectors;
    };
    const Case cases[] = {
        {"hand, a quarter", WP_CLOCKHAND, false, 0, 1, {{up, 0}}},
        {"hand from three o'clock", WP_CLOCKHAND, false, 90, 1, {{0, pi / 2}}},
        {"hand backwards", WP_CLOCKHAND, true, 0, 1, {{-pi, up}}},
        {"hand, three quarters", WP_CLOCKHAND, false, 0, 3, {{up, pi}}},
        {"hand from 45 degrees", WP_CLOCKHAND, false, 45, 2, {{-pi / 4, 3 * pi / 4}}},
        {"fan half open", WP_FAN, false, 0, 2, {{-pi, 0}}},
        {"fan a quarter open", WP_FAN, false, 0, 1, {{up - pi / 4, up + pi / 4}}},
        {"fan pointing right", WP_FAN, false, 90, 1, {{-pi / 4, pi / 4}}},
        {"double fan", WP_WFAN, false, 0, 2, {{up - pi / 4, up + pi / 4}, {pi / 4, 3 * pi / 4}}},
    };
    for (const Case& c : cases) {
        auto inside = [&](int32_t x, int32_t y) {
            return std::any_of(c.sectors.begin(), c.sectors.end(), [&](const auto& s) {
                return InSweep(PixelAngle(x, y), s.first, s.second);
            });
        };
        auto onEdge = [&](int32_t x, int32_t y) {
            return std::any_of(c.sectors.begin(), c.sectors.end(), [&](const auto& s) {
                return AngularDistance(PixelAngle(x, y), s.first) < 1e-9 ||
                       AngularDistance(PixelAngle(x, y), s.second) < 1e-9;
            });
        };
        const auto frame = Frame({c.code, 20, 20, 4, c.reverse, c.start}, c.t);
        EXPECT_TRUE(SameFrame(frame,
                              Expect(20, 20,
                                     [&](int32_t x, int32_t y) {
                                         return inside(x, y) ? ToPixel(x, y) : FromPixel(x, y);
                                     }),
                              20, onEdge))
            << c.name;
    }
}

TEST(Transitions, CircleGrowsOrShrinks) {
    // 20 x 20, reach hypot(10, 10). t = 5 of 10: radius round(7.07) = 7, the new picture
    // inside; reversed at t = 3: radius round(9.9) = 10, the old picture inside.
    struct Case {
        bool reverse;
        int64_t t;
        double radius;
    };
    for (const Case& c : {Case{false, 5, 7}, Case{true, 3, 10}}) {
        const auto frame = Frame({WP_CIRCLE, 20, 20, 10, c.reverse}, c.t);
        EXPECT_TRUE(SameFrame(frame,
                              Expect(20, 20,
                                     [&](int32_t x, int32_t y) {
                                         const bool in =
                                             std::hypot(x + 0.5 - 10, y + 0.5 - 10) < c.radius;
                                         return in != c.reverse ? ToPixel(x, y) : FromPixel(x, y);
                                     }),
                              20))
            << c.reverse;
    }
}

TEST(Transitions, BlocksSwitchInASpiralOrAtRandom) {
    // Blocks of 10 on 40 x 40, spiralling inwards clockwise from the top left.
    const std::pair<int32_t, int32_t> spiral[] = {
        {0, 0},   {10, 0}, {20, 0}, {30, 0}, {30, 10}, {30, 20}, {30, 30}, {20, 30},
        {10, 30}, {0, 30}, {0, 20}, {0, 10}, {10, 10}, {20, 10}, {20, 20}, {10, 20}};
    auto blocks = [&](int32_t first, int32_t last) {
        return Expect(40, 40, [&, first, last](int32_t x, int32_t y) {
            for (int32_t i = first; i <= last; ++i) {
                const auto [bx, by] = spiral[i];
                if (x >= bx && x < bx + 10 && y >= by && y < by + 10) return ToPixel(x, y);
            }
            return FromPixel(x, y);
        });
    };
    // T = 15: level 15 t / T; reversed, 15 (T - t) / T counting back from the centre.
    EXPECT_TRUE(SameFrame(Frame({WP_BLOCKCOIL, 40, 40, 15, false, 10}, 10), blocks(0, 10), 40));
    EXPECT_TRUE(SameFrame(Frame({WP_BLOCKCOIL, 40, 40, 15, false, 10}, 0), blocks(0, 0), 40));
    EXPECT_TRUE(SameFrame(Frame({WP_BLOCKCOIL, 40, 40, 15, true, 10}, 5), blocks(10, 15), 40));
    // A block size below 10 counts as 10.
    EXPECT_TRUE(SameFrame(Frame({WP_BLOCKCOIL, 40, 40, 15, false, 3}, 10), blocks(0, 10), 40));

    // Random order: the six blocks of 30 x 20 in row order, dealt from the generator.
    TTpRandom random(31);
    random.Shuffle(6);
    std::vector<int32_t> order;
    for (int i = 0; i < 6; ++i)
        order.push_back(random.Draw());
    // t = 6 of 10: blocks up to 5 x 6 / 10 = 3 of the order.
    EXPECT_TRUE(SameFrame(Frame({WP_BLOCKRANDOM, 30, 20, 10, false, 10, {}, nullptr, 31}, 6),
                          Expect(30, 20,
                                 [&](int32_t x, int32_t y) {
                                     const int32_t block = (y / 10) * 3 + x / 10;
                                     const bool on = std::find(order.begin(), order.begin() + 4,
                                                               block) != order.begin() + 4;
                                     return on ? ToPixel(x, y) : FromPixel(x, y);
                                 }),
                          30));
}

TEST(Transitions, RubberBandsStretchABandOverTheEdge) {
    // 32 wide, T = 63 so that p = t. The band is round(|t - 31.5| x p / T) wide (p + 1
    // reversed), ends at column p (starts at 31 - p reversed) and is stretched over the
    // columns up to p (from 31 - p).
    struct Case {
        int64_t t;
        bool reverse, to;
        int32_t p, band;
    };
    const Case cases[] = {
        {20, false, false, 20, 4},  // round(11.5 x 20 / 63) = round(3.65)
        {20, true, false, 20, 4},   // round(11.5 x 21 / 63) = round(3.83)
        {50, false, true, 13, 4},   // p = 64 - 50 - 1, round(18.5 x 13 / 63) = round(3.82)
        {31, false, false, 31, 1},  // halfway the band is one column
    };
    for (const Case& c : cases) {
        auto pixel = [&](int32_t i, int32_t other, bool vertical) {
            int32_t source = i;
            if (!c.reverse && i <= c.p) source = c.p - c.band + 1 + Nearest(i, c.band, c.p + 1);
            const int32_t q = 31 - c.p;
            if (c.reverse && i >= q) source = q + Nearest(i - q, c.band, c.p + 1);
            auto picture = c.to ? ToPixel : FromPixel;
            return vertical ? picture(other, source) : picture(source, other);
        };
        EXPECT_TRUE(
            SameFrame(Frame({WP_RUBBERH, 32, 2, 63, c.reverse}, c.t),
                      Expect(32, 2, [&](int32_t x, int32_t y) { return pixel(x, y, false); }), 32))
            << c.t << " " << c.reverse;
        EXPECT_TRUE(
            SameFrame(Frame({WP_RUBBERV, 2, 32, 63, c.reverse}, c.t),
                      Expect(2, 32, [&](int32_t x, int32_t y) { return pixel(y, x, true); }), 2))
            << c.t << " " << c.reverse;
    }
}

}  // namespace
}  // namespace kivo
