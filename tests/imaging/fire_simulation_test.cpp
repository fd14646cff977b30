// The flame: its tables, steps on known noise, the 40 ms clock, sizes too small or too large to
// burn, and additive drawing through the palette.

#include <gtest/gtest.h>

#include <algorithm>

#include "imaging/draw_context.h"
#include "imaging/fire_simulation.h"
#include "imaging/raster_fixture.h"
#include "storage/tp_random.h"

namespace kivo {
namespace {

using test::MakeSurface;
using test::Pixels;

TEST(FireSimulation, CoolingTableAndPalette) {
    struct Case {
        double k;
        int32_t s;
        uint8_t expected;
    };
    const Case cases[] = {
        {4.5, 0, 0},        {4.5, 64, 14},  // 64 / (4.5 - 0.05 x 0.9374^3) = 14.35
        {4.5, 1016, 226},                   // four hot cells
        {2.945, 1016, 254},                 // 345 is held below 255
        {5.5, 1016, 185},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.s);
        EXPECT_EQ(TFireSimulation::CoolingTable(c.k)[static_cast<size_t>(c.s)], c.expected);
    }
    // More power cools less; setting the power the fire started with keeps its table.
    TFireSimulation fire;
    const auto initial = fire.Cooling();
    fire.SetPower(1);
    EXPECT_EQ(fire.Cooling(), initial);
    fire.SetPower(255);
    EXPECT_EQ(fire.Cooling()[1016], 254);
    fire.SetPower(-40);
    EXPECT_EQ(fire.Power(), 0);
    EXPECT_EQ(fire.Cooling()[1016], 185);

    const auto& palette = TFireSimulation::Palette32();
    EXPECT_EQ(palette[0], 0x000000u);
    EXPECT_EQ(palette[32], 0x662703u);
    EXPECT_EQ(palette[113], 0xD66207u);  // red one above the gradient
    EXPECT_EQ(palette[119], 0xD96A08u);  // green and blue one above
    EXPECT_EQ(palette[226], 0xFFD477u);
    EXPECT_EQ(palette[255], 0xFFE6AFu);
}

// Makes the fire's buffer at the size (the first Advance), with every noise value set to noise.
void Kindle(TFireSimulation& fire, int32_t width, int32_t height, uint8_t noise) {
    TProcessRandom random(1);
    fire.SetBaseSize(width, height);
    EXPECT_TRUE(fire.Advance(0, random));
    std::ranges::fill(fire.Noise(), noise);
}

std::vector<uint32_t> Heat(TFireSimulation& fire) {
    return Pixels(fire.Heat());
}

TEST(FireSimulation, TheSmallestFireBurnsFromItsHotRows) {
    TFireSimulation fire;
    Kindle(fire, 3, 4, 0);
    EXPECT_EQ(Heat(fire), std::vector<uint32_t>(12, 16));
    fire.Step();
    // Rows 0 and 1 of the middle column take the cooled sum of four hot cells; the outer
    // columns are never stepped.
    EXPECT_EQ(Heat(fire), (std::vector<uint32_t>{254, 226, 254,  //
                                                 254, 226, 254,  //
                                                 254, 254, 254,  //
                                                 254, 254, 254}));
    fire.Step();
    // Every row is a hot row here, refilled before each step, so the flame holds.
    EXPECT_EQ(Heat(fire), (std::vector<uint32_t>{254, 226, 254, 254, 226, 254,  //
                                                 254, 254, 254, 254, 254, 254}));
}

TEST(FireSimulation, NoiseCoolsAndNothingFallsBelowSixteen) {
    TFireSimulation fire;
    Kindle(fire, 3, 4, 8);
    fire.Step();
    EXPECT_EQ(Heat(fire)[1], 218u);
    TFireSimulation tall;
    Kindle(tall, 3, 8, 8);
    tall.Step();
    // Rows 0 and 1 read only the cold start: 16 x 4 = 64 cools to 14, less 8. Rows 2 and 3
    // reach one and three hot cells.
    EXPECT_EQ(Heat(tall)[1], 16u);
    EXPECT_EQ(Heat(tall)[4], 16u);
    EXPECT_EQ(Heat(tall)[7], tall.Cooling()[302] - 8u);
    EXPECT_EQ(Heat(tall)[10], tall.Cooling()[778] - 8u);
}

// The flame stepped by the rule cell by cell, with the noise looked up modulo the size.
void ReferenceStep(std::vector<uint8_t>& h, const std::vector<uint8_t>& noise,
                   const std::array<uint8_t, TFireSimulation::kCoolingSize>& cooling, int32_t w,
                   int32_t ht, int32_t rowOffset, int32_t columnOffset) {
    const auto at = [&](int32_t x, int32_t y) -> uint8_t& { return h[size_t(y * w + x)]; };
    for (int32_t y = ht - 4; y < ht; ++y)
        for (int32_t x = 0; x < w; ++x)
            at(x, y) = 254;
    for (int32_t y = 0; y <= ht - 3; ++y) {
        for (int32_t x = 1; x <= w - 2; ++x) {
            const int32_t s = at(x - 1, y + 1) + at(x + 1, y + 1) + at(x, y) + at(x, y + 2);
            const int32_t v = cooling[size_t(s)] -
                              noise[size_t((x + columnOffset) % w + (y + 1 + rowOffset) % ht * w)];
            at(x, y) = static_cast<uint8_t>(std::max(v, 16));
        }
    }
}

TEST(FireSimulation, StepsFollowTheScrollingNoise) {
    constexpr int32_t w = 7, h = 9;
    TFireSimulation fire;
    TProcessRandom random(12345);
    fire.SetBaseSize(w, h);
    fire.SetPower(90);
    ASSERT_TRUE(fire.Advance(0, random));
    const std::vector<uint8_t> noise(fire.Noise().begin(), fire.Noise().end());
    EXPECT_TRUE(std::ranges::all_of(noise, [](uint8_t n) { return n <= 8; }));
    EXPECT_GT(std::ranges::count_if(noise, [&noise](uint8_t n) { return n != noise[0]; }), 0);

    std::vector<uint8_t> expected(size_t{w * h}, 16);
    // The column offset moves whenever the row offset lands on a multiple of 8, so on a
    // height of 9 it moves twice in a row (row offsets 8, then 0); eight moves take it round
    // the width of 7.
    const int32_t columnMoves[] = {8, 9, 17, 18, 26, 27, 35, 36};
    int32_t column = 0;
    for (int32_t step = 1; step <= 40; ++step) {
        fire.Step();
        if (std::ranges::find(columnMoves, step) != std::end(columnMoves))
            column = (column + 1) % w;
        ReferenceStep(expected, noise, fire.Cooling(), w, h, step % h, column);
        ASSERT_EQ(fire.RowOffset(), step % h);
        ASSERT_EQ(fire.ColumnOffset(), column) << "step " << step;
        ASSERT_EQ(Heat(fire), std::vector<uint32_t>(expected.begin(), expected.end()))
            << "step " << step;
    }
    EXPECT_EQ(column, 1);
}

TEST(FireSimulation, StepsEveryFortyMillisecondsCarryingTheRest) {
    TFireSimulation fire;
    Kindle(fire, 4, 5, 0);
    TProcessRandom random(1);
    EXPECT_FALSE(fire.Advance(39, random));
    EXPECT_TRUE(fire.Advance(1, random));
    EXPECT_EQ(fire.RowOffset(), 1);
    EXPECT_TRUE(fire.Advance(100, random));  // two steps, 20 ms carried
    EXPECT_EQ(fire.RowOffset(), 3);
    EXPECT_TRUE(fire.Advance(20, random));
    EXPECT_EQ(fire.RowOffset(), 4);
    EXPECT_FALSE(fire.Advance(-500, random));
    EXPECT_EQ(fire.RowOffset(), 4);

    // A new size remakes the buffer cold on the next Advance, without stepping.
    fire.SetBaseSize(6, 5);
    EXPECT_TRUE(fire.Advance(400, random));
    EXPECT_EQ(fire.RowOffset(), 0);
    EXPECT_EQ(Heat(fire), std::vector<uint32_t>(30, 16));
}

TEST(FireSimulation, SizesTooSmallOrTooLargeAreSafe) {
    struct Case {
        int32_t width, height;
        bool burns;
    };
    for (const Case c : {Case{2, 40, false}, Case{40, 3, false}, Case{0, 0, false},
                         Case{-5, -1, false}, Case{3, 4, true}}) {
        SCOPED_TRACE(c.width);
        TFireSimulation fire;
        TProcessRandom random(1);
        fire.SetBaseSize(c.width, c.height);
        EXPECT_EQ(fire.Advance(0, random), c.burns);
        EXPECT_EQ(fire.Advance(400, random), c.burns);
        EXPECT_EQ(fire.Heat().Width() > 0, c.burns);
        auto target = MakeSurface(8, 8);
        TDrawContext context(*target);
        fire.Draw(context, 0, 0, 256, 256);
        fire.Draw(context, 0, 0, 0, 0);
        EXPECT_EQ(Pixels(*target)[1] != 0, c.burns);
    }
    TFireSimulation fire;
    fire.SetBaseSize(1 << 30, 5);
    EXPECT_EQ(fire.BaseWidth(), TFireSimulation::kMaxSide);
}

TEST(FireSimulation, DrawsAddingThePaletteAndSkippingColdHeat) {
    TFireSimulation fire;
    Kindle(fire, 3, 4, 0);
    fire.Step();
    fire.Heat().SetPixel(0, 0, 16);  // below the first drawn heat
    fire.Heat().SetPixel(2, 0, 17);
    constexpr uint32_t kBack = 0x00102030;
    auto target = MakeSurface(4, 5, std::vector<uint32_t>(20, kBack));
    TDrawContext context(*target);
    fire.Draw(context, 1, 1, 256, 256);
    const auto& palette = TFireSimulation::Palette32();
    // Amount 255 of 256, as every additive draw weighs it.
    const auto add = [](uint32_t back, uint32_t entry) { return AddPixel(back, entry, 255); };
    const uint32_t hot = add(kBack, palette[254]);
    const uint32_t warm = add(kBack, palette[226]);
    const uint32_t b = kBack;
    const std::vector<uint32_t> px = Pixels(*target);
    for (int32_t x = 0; x < 4; ++x)
        EXPECT_EQ(px[size_t(x)] & 0xFFFFFF, b);  // row 0 lies above the fire
    EXPECT_EQ(px[5] & 0xFFFFFF, b);
    EXPECT_EQ(px[6] & 0xFFFFFF, warm);
    EXPECT_EQ(px[7] & 0xFFFFFF, add(kBack, palette[17]));
    EXPECT_EQ(px[9] & 0xFFFFFF, hot);
    EXPECT_EQ(px[10] & 0xFFFFFF, warm);
    EXPECT_EQ(px[16] & 0xFFFFFF, b);  // column 0 lies left of the fire

    // Twice the zoom covers twice the width: the hot cell (0, 3) lands on (0..1, 6..7).
    auto zoomed = MakeSurface(8, 8);
    TDrawContext zoomedContext(*zoomed);
    fire.Draw(zoomedContext, 0, 0, 512, 512);
    EXPECT_EQ(zoomed->GetPixel(1, 7) & 0xFFFFFF, add(0, palette[254]));
    EXPECT_EQ(zoomed->GetPixel(2, 2) & 0xFFFFFF, add(0, palette[226]));
    EXPECT_EQ(zoomed->GetPixel(6, 0) & 0xFFFFFF, 0u);

    // Other depths show no fire.
    auto shallow = MakeSurface(4, 4, {}, 16);
    TDrawContext shallowContext(*shallow);
    fire.Draw(shallowContext, 0, 0, 256, 256);
    EXPECT_EQ(Pixels(*shallow), std::vector<uint32_t>(16, 0));
}

}  // namespace
}  // namespace kivo
