// Presenting a bitmap into a frame buffer with TDIBSurface::StretchToDC, side by side with
// its references in the same run:
//   640x360 -> 1280x720 (a zoom of 200) against SDL_BlitScaled between software surfaces
//   1280x720 at 1:1 against memcpy of the same rows
// The ratios of the times are printed at the end.

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "imaging/dib_surface.h"
#include "ratio_reporter.h"
#include "sdl_reference.h"

namespace {

using kivo::MutableFrameView;
using kivo::TDIBSurface;

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 720;

TDIBSurface RandomColours(int32_t width, int32_t height) {
    TDIBSurface bitmap(width, height, 32);
    std::mt19937 random(1);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x)
            bitmap.SetPixel(x, y, static_cast<uint32_t>(random()) | 0xFF000000u);
    }
    return bitmap;
}

void Ours_StretchToDC_Zoom200(benchmark::State& state) {
    const TDIBSurface source = RandomColours(kWidth / 2, kHeight / 2);
    std::vector<uint32_t> frame(static_cast<size_t>(kWidth) * kHeight);
    const MutableFrameView target{frame.data(), kWidth, kHeight, kWidth};
    for (auto _ : state) {
        source.StretchToDC(target, {0, 0, kWidth, kHeight}, {0, 0, kWidth / 2, kHeight / 2});
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ours_StretchToDC_Zoom200);

void Ref_BlitScaled_SDL(benchmark::State& state) {
    TDIBSurface source = RandomColours(kWidth / 2, kHeight / 2);
    std::vector<uint32_t> frame(static_cast<size_t>(kWidth) * kHeight);
    kivo::bench::TimeSdlBlitScaled(
        state, {source.PixelAddress(0, 0), kWidth / 2, kHeight / 2, source.Pitch()},
        {frame.data(), kWidth, kHeight, kWidth * 4});
}
BENCHMARK(Ref_BlitScaled_SDL);

void Ours_StretchToDC_Copy(benchmark::State& state) {
    const TDIBSurface source = RandomColours(kWidth, kHeight);
    std::vector<uint32_t> frame(static_cast<size_t>(kWidth) * kHeight);
    const MutableFrameView target{frame.data(), kWidth, kHeight, kWidth};
    for (auto _ : state) {
        source.StretchToDC(target, {0, 0, kWidth, kHeight}, {0, 0, kWidth, kHeight});
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ours_StretchToDC_Copy);

void Ref_Copy_memcpy(benchmark::State& state) {
    const TDIBSurface source = RandomColours(kWidth, kHeight);
    std::vector<uint32_t> frame(static_cast<size_t>(kWidth) * kHeight);
    for (auto _ : state) {
        for (int32_t y = 0; y < kHeight; ++y) {
            std::memcpy(frame.data() + static_cast<size_t>(y) * kWidth, source.ScanLine(y),
                        static_cast<size_t>(kWidth) * 4);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ref_Copy_memcpy);

}  // namespace

int main(int argc, char** argv) {
    kivo::bench::RatioReporter reporter({
        {"StretchToDC 640x360->1280x720 / SDL_BlitScaled", "Ours_StretchToDC_Zoom200",
         "Ref_BlitScaled_SDL", "at most 1.0"},
        {"StretchToDC 1:1 / memcpy", "Ours_StretchToDC_Copy", "Ref_Copy_memcpy", "at most 1.1"},
    });
    return kivo::bench::RunWithRatios(argc, argv, reporter);
}
