// The value controls: a 600-pixel gauge drawn full from its 8-pixel fill piece, tiled along
// the bar, against copying the same rows with memcpy.

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "base/player_state.h"
#include "imaging/dibx.h"
#include "imaging/draw_context.h"
#include "ratio_reporter.h"
#include "scene/control_picture.h"
#include "scene/kivo_base_list.h"
#include "scene/kivo_gauge.h"

namespace kivo {
namespace {

constexpr int32_t kBar = 600;
constexpr int32_t kRows = 24;
constexpr int32_t kPiece = 8;

// One strip picture of two pieces: a patterned fill and a trail.
class StripPicture final : public ControlPicture {
  public:
    StripPicture() : surface_(kPiece * 2, kRows, 32) {
        for (int32_t y = 0; y < kRows; ++y) {
            for (int32_t x = 0; x < kPiece * 2; ++x)
                surface_.SetPixel(x, y, surface_.ColorToPixel((x * 0x1F3 + y * 0x2C1) & 0xFFFFFF));
        }
    }
    int32_t Width() const override { return kPiece * 2; }
    int32_t Height() const override { return kRows; }
    int32_t FrameCount() const override { return 1; }
    PictureFrame Frame(int32_t) const override {
        return {const_cast<TDIBX*>(&surface_), nullptr, {}, 100};
    }

  private:
    TDIBX surface_;
};

class StripSource final : public ControlPictureSource {
  public:
    std::unique_ptr<ControlPicture> Acquire(std::string_view) override {
        return std::make_unique<StripPicture>();
    }
};

void BM_Ours_GaugeFill(benchmark::State& state) {
    PlayerState player;
    StripSource pictures;
    TKivoBaseList scene(player);
    scene.SetPictures(&pictures);
    TKivoGauge& gauge = scene.Create<TKivoGauge>();
    gauge.SetAlpha(255);
    gauge.SetSource("gauge.gal");
    gauge.SetBarSize(kBar);
    gauge.SetMax(100);
    gauge.SetValue(100);
    (void)gauge.Update();
    TDIBX target(kBar + 40, kRows, 32);
    for (auto _ : state) {
        TDrawContext context(target);
        gauge.Draw(context);
        benchmark::DoNotOptimize(target.PixelAddress(0, 0));
    }
}

void BM_Ref_Memcpy(benchmark::State& state) {
    std::vector<uint32_t> source(static_cast<size_t>(kBar) * kRows, 0x123456);
    std::vector<uint32_t> target(static_cast<size_t>(kBar + 40) * kRows);
    for (auto _ : state) {
        for (int32_t y = 0; y < kRows; ++y) {
            std::memcpy(target.data() + static_cast<size_t>(y) * (kBar + 40),
                        source.data() + static_cast<size_t>(y) * kBar, kBar * 4);
        }
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_Ours_GaugeFill);
BENCHMARK(BM_Ref_Memcpy);

}  // namespace
}  // namespace kivo

int main(int argc, char** argv) {
    kivo::bench::RatioReporter reporter({
        {"600-pixel tiled gauge / memcpy of its rows", "BM_Ours_GaugeFill", "BM_Ref_Memcpy",
         "at most 1.5"},
    });
    return kivo::bench::RunWithRatios(argc, argv, reporter);
}
