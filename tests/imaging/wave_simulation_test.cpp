// The ripple: its phase clock, the row offsets it gives, and the area it invalidates.

#include <gtest/gtest.h>

#include <vector>

#include "imaging/dibx_wave.h"
#include "imaging/draw_context.h"
#include "imaging/raster_fixture.h"
#include "imaging/wave_simulation.h"

namespace kivo {
namespace {

using test::MakeSurface;
using test::Pixels;

TEST(WaveSimulation, RowOffsetsFollowTheSineOfPhaseAndRow) {
    TWaveSimulation wave;
    std::vector<int32_t> rows(201, 99);
    EXPECT_TRUE(wave.ComputeOffsets(rows));
    // Amplitude 10 over a wavelength of 200 rows.
    EXPECT_EQ(rows[0], 0);
    EXPECT_EQ(rows[17], 5);  // 5.08
    EXPECT_EQ(rows[50], 10);
    EXPECT_EQ(rows[100], 0);
    EXPECT_EQ(rows[150], -10);
    EXPECT_EQ(rows[200], 0);
    EXPECT_FALSE(wave.ComputeOffsets(rows));

    // A quarter turn of the phase (64 of 256) moves the ripple by a quarter wavelength; a
    // negative amplitude mirrors it.
    wave.SetPhase(64);
    wave.SetAmplitude(-7);
    EXPECT_TRUE(wave.ComputeOffsets(rows));
    EXPECT_EQ(rows[0], -7);
    EXPECT_EQ(rows[50], 0);
    EXPECT_EQ(rows[100], 7);
}

TEST(WaveSimulation, ThePhaseRunsDownOncePerPeriodInTwoHundredFiftyFiveSteps) {
    TWaveSimulation wave;
    std::vector<int32_t> rows(4);
    // 16 ms of 2000: 4096 / 2000 is two steps, 96 carried.
    EXPECT_TRUE(wave.Advance(16, rows));
    EXPECT_EQ(wave.Phase(), 253);
    EXPECT_EQ(rows[0], -1);  // sin(2 pi 253 / 256) x 10 = -0.74
    EXPECT_EQ(rows[1], 0);   // -0.42
    EXPECT_FALSE(wave.Advance(0, rows));
    EXPECT_FALSE(wave.Advance(7, rows));  // 96 + 1792 is still short of a step
    EXPECT_EQ(wave.Phase(), 253);
    EXPECT_TRUE(wave.Advance(1, rows));  // 1888 + 256 makes one
    EXPECT_EQ(wave.Phase(), 252);

    // A whole period is 256 steps, one more than a turn of the phase.
    wave.SetPeriod(256);
    wave.SetPhase(10);
    (void)wave.Advance(256, rows);
    EXPECT_EQ(wave.Phase(), 9);
    // Huge elapsed times and periods below 1 stay in range.
    wave.SetPeriod(0);
    EXPECT_EQ(wave.Period(), 1);
    (void)wave.Advance(INT32_MAX, rows);
    EXPECT_GE(wave.Phase(), 0);
    EXPECT_LT(wave.Phase(), TWaveSimulation::kPhaseSteps);
    wave.SetPhase(-1);
    EXPECT_EQ(wave.Phase(), 254);
}

TEST(WaveSimulation, TheInvalidatedAreaWidensByTheReachOfTheRipple) {
    TWaveSimulation wave;
    for (const int32_t amplitude : {7, -7}) {
        wave.SetAmplitude(amplitude);
        EXPECT_EQ(wave.Widen({10, 2, 20, 5}), (TRect{3, 2, 27, 5}));
    }
    wave.SetAmplitude(INT32_MIN);
    EXPECT_EQ(wave.Widen({10, 2, 20, 5}), (TRect{10 + INT32_MIN, 2, INT32_MAX, 5}));
}

TEST(WaveSimulation, RowsDrawnThroughTheSurfaceShiftByTheirOffsets) {
    TWaveSimulation wave;
    wave.SetAmplitude(2);
    wave.SetWavelength(4);
    auto target = MakeSurface(8, 4);
    TDIBXWave surface{TDrawContext(*target)};
    surface.SetSize(8, 4, 32);
    surface.RowOffsets.assign(4, 0);
    ASSERT_TRUE(wave.ComputeOffsets(surface.RowOffsets));
    EXPECT_EQ(surface.RowOffsets, (std::vector<int32_t>{0, 2, 0, -2}));
    TDrawContext(surface).FillRect({3, 0, 5, 4}, 1);
    EXPECT_EQ(Pixels(*target), (std::vector<uint32_t>{0, 0, 0, 1, 1, 0, 0, 0,  //
                                                      0, 0, 0, 0, 0, 1, 1, 0,  //
                                                      0, 0, 0, 1, 1, 0, 0, 0,  //
                                                      0, 1, 1, 0, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace kivo
