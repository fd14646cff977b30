// The row-shifting proxy: runs of equal offsets, rows without an offset, and the target's clip.

#include <gtest/gtest.h>

#include "imaging/dibx_wave.h"
#include "imaging/draw_context.h"
#include "imaging/raster_fixture.h"

namespace kivo {
namespace {

using test::MakeSurface;
using test::Pixels;

constexpr uint32_t X = 0x00FFFFFF;

// A 4 x 3 wave at (2, 0) over an 8 x 4 target, rows shifted by 0, +1 and -2; row 3 of the
// target lies below the wave.
struct WaveFixture {
    std::unique_ptr<TDIBX> target = MakeSurface(8, 4);
    TDIBXWave wave{TDrawContext(*target)};
    WaveFixture() {
        wave.SetSize(4, 3, 32);
        wave.OriginX = 2;
        wave.RowOffsets = {0, 1, -2};
    }
};

TEST(RasterWave, FillShiftsEachRowAndSkipsRowsWithoutOffset) {
    WaveFixture f;
    TDrawContext(f.wave).FillRect({2, 0, 6, 4}, X);
    EXPECT_EQ(Pixels(*f.target), (std::vector<uint32_t>{0, 0, X, X, X, X, 0, 0,  //
                                                        0, 0, 0, X, X, X, X, 0,  //
                                                        X, X, X, X, 0, 0, 0, 0,  //
                                                        0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(RasterWave, DrawsForwardToTheTargetWithinItsRegion) {
    WaveFixture f;
    // The target's region stays in place while the rows shift: row 1's second pixel would
    // land at x = 6.
    f.wave.SetTarget(TDrawContext(*f.target, {0, 0, 6, 4}));
    auto src = MakeSurface(2, 3, {1, 2, 3, 4, 5, 6});
    TDrawContext(f.wave).Draw(4, 0, false, false, TColorKey{}, {0, 0, 2, 3}, *src);
    EXPECT_EQ(Pixels(*f.target), (std::vector<uint32_t>{0, 0, 0, 0, 1, 2, 0, 0,  //
                                                        0, 0, 0, 0, 0, 3, 0, 0,  //
                                                        0, 0, 5, 6, 0, 0, 0, 0,  //
                                                        0, 0, 0, 0, 0, 0, 0, 0}));

    // A rotated draw goes row by row and lands the same way.
    auto rotated = MakeSurface(8, 4);
    f.wave.SetTarget(TDrawContext(*rotated));
    TDrawContext(f.wave).DrawRotate(4, 0, 255, false, false, TColorKey{}, 0, 0, 0, {0, 0, 2, 3},
                                    *src, 256, 256);
    EXPECT_EQ(Pixels(*rotated), (std::vector<uint32_t>{0, 0, 0, 0, 1, 2, 0, 0,  //
                                                       0, 0, 0, 0, 0, 3, 4, 0,  //
                                                       0, 0, 5, 6, 0, 0, 0, 0,  //
                                                       0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(RasterWave, ReducedDrawsShiftTheirRows) {
    // A 4 x 6 source shrunk by 2 covers 2 x 3 destination pixels from (4, 0).
    const std::vector<uint32_t> expected{0, 0, 0, 0, X, X, 0, 0,  //
                                         0, 0, 0, 0, 0, X, X, 0,  //
                                         0, 0, X, X, 0, 0, 0, 0,  //
                                         0, 0, 0, 0, 0, 0, 0, 0};
    WaveFixture mono;
    TDrawContext(mono.wave).DrawMonoReduced(4, 0, 2, 255, false, false, X, {0, 0, 4, 6},
                                            *MakeSurface(4, 6, {}, 1));
    EXPECT_EQ(Pixels(*mono.target), expected);

    WaveFixture quad;
    TDrawContext(quad.wave).DrawQuadReduced(4, 0, 2, 255, false, false, {0, X, 0, 0}, {0, 0, 4, 6},
                                            *MakeSurface(4, 6, std::vector<uint32_t>(24, 1), 2));
    EXPECT_EQ(Pixels(*quad.target), expected);
}

TEST(RasterWave, TheWavesClipIsClampedToItsAreaAndMovesWithTheRows) {
    WaveFixture f;
    TDrawContext inside(f.wave);
    inside.AddClipRect({0, 1, 3, 9});
    EXPECT_EQ(inside.ClipRect(), (TRect{2, 1, 3, 3}));
    inside.AddClipRect({50, 50, 60, 60});
    EXPECT_EQ(inside.ClipRect(), (TRect{2, 1, 3, 3}));
    // Column 2 of rows 1 and 2 is drawn where those rows go: one right, two left.
    inside.FillRect({0, 0, 8, 4}, X);
    EXPECT_EQ(Pixels(*f.target), (std::vector<uint32_t>{0, 0, 0, 0, 0, 0, 0, 0,  //
                                                        0, 0, 0, X, 0, 0, 0, 0,  //
                                                        X, 0, 0, 0, 0, 0, 0, 0,  //
                                                        0, 0, 0, 0, 0, 0, 0, 0}));

    EXPECT_EQ(f.wave.BitCount(), 32);
    EXPECT_EQ(f.wave.ColorToPixel(0x000000FF), 0x00FF0000u);
    EXPECT_EQ(f.wave.RowOffsets.size(), 3u);
}

TEST(RasterWave, WithoutTargetNothingHappens) {
    TDIBXWave wave;
    wave.SetSize(4, 4, 32);
    auto src = MakeSurface(1, 1, {X});
    TDrawContext(wave).Draw(0, 0, false, false, TColorKey{}, {0, 0, 1, 1}, *src);
    TDrawContext(wave).FillRect({0, 0, 4, 4}, X);
    EXPECT_EQ(wave.BitCount(), 0);
}

}  // namespace
}  // namespace kivo
