// The effects and film playback against their references, side by side:
//   fire step 640 x 480            against a plain loop of the four-neighbour sum
//   fire draw 640 x 480            against pixman ADD of the same pixels, as a flame burns
//                                  (its upper part cold), with every cell hot, and a
//                                  quarter-size flame zoomed four times
//   wave draw, wavelength 200      against a plain Draw of the same picture
//   ApplyFrame of 100 tracks       reported on its own, on a stage that keeps properties in an
//                                  array per object (as cheap as a scene object's setter)

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "imaging/dibx_wave.h"
#include "imaging/draw_context.h"
#include "imaging/film_manager.h"
#include "imaging/fire_simulation.h"
#include "imaging/row_ops.h"
#include "imaging/wave_simulation.h"
#include "pixman_reference.h"
#include "ratio_reporter.h"
#include "storage/tp_random.h"
#include "support/film_writer.h"

namespace {

using kivo::TDIBX;
using kivo::bench::PixmanImage;
using kivo::bench::RandomColours;
using kivo::bench::Wrap;

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 480;

// A fire that has burnt for a second, so its heat spans the palette.
struct BurningFire {
    kivo::TFireSimulation fire;
    kivo::TProcessRandom random{5};
    BurningFire() {
        fire.SetBaseSize(kWidth, kHeight);
        fire.SetPower(128);
        (void)fire.Advance(0, random);
        (void)fire.Advance(1000, random);
    }
};

void Ours_FireStep(benchmark::State& state) {
    BurningFire f;
    for (auto _ : state) {
        f.fire.Step();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ours_FireStep);

// The least any step does: every cell becomes a quarter of its four neighbours' sum.
void Ref_FourNeighbourSum(benchmark::State& state) {
    TDIBX heat(kWidth, kHeight, 8);
    for (int32_t y = 0; y < kHeight; ++y)
        std::memset(heat.PixelAddress(0, y), static_cast<int>(y * 255 / kHeight), kWidth);
    for (auto _ : state) {
        for (int32_t y = 0; y <= kHeight - 3; ++y) {
            uint8_t* row = heat.PixelAddress(0, y);
            const uint8_t* below = heat.PixelAddress(0, y + 1);
            const uint8_t* twoBelow = heat.PixelAddress(0, y + 2);
            for (int32_t x = 1; x < kWidth - 1; ++x)
                row[x] =
                    static_cast<uint8_t>((below[x - 1] + below[x + 1] + row[x] + twoBelow[x]) >> 2);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ref_FourNeighbourSum);

void Ours_FireDraw(benchmark::State& state) {
    BurningFire f;
    auto dest = RandomColours(kWidth, kHeight, 1);
    kivo::TDrawContext context(*dest);
    for (auto _ : state) {
        f.fire.Draw(context, 0, 0, 256, 256);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ours_FireDraw);

// The worst case: every cell hot enough to draw.
void Ours_HotFireDraw(benchmark::State& state) {
    BurningFire f;
    std::mt19937 rng(9);
    for (int32_t y = 0; y < kHeight; ++y) {
        uint8_t* row = f.fire.Heat().PixelAddress(0, y);
        for (int32_t x = 0; x < kWidth; ++x)
            row[x] = static_cast<uint8_t>(17 + rng() % 239);
    }
    auto dest = RandomColours(kWidth, kHeight, 1);
    kivo::TDrawContext context(*dest);
    for (auto _ : state) {
        f.fire.Draw(context, 0, 0, 256, 256);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ours_HotFireDraw);

// The row kernel of the hot draw alone, in each instruction set the processor runs.
void HotAddIndexed(benchmark::State& state, const kivo::RowOps* ops) {
    if (ops == nullptr) {
        state.SkipWithError("instruction set not available");
        return;
    }
    BurningFire f;
    std::mt19937 rng(9);
    std::vector<uint8_t> heat(size_t{kWidth} * kHeight);
    for (uint8_t& cell : heat)
        cell = static_cast<uint8_t>(17 + rng() % 239);
    std::vector<uint32_t> dest(heat.size(), 0x00102030);
    const auto& palette = kivo::TFireSimulation::Palette32();
    for (auto _ : state) {
        for (int32_t y = 0; y < kHeight; ++y) {
            const size_t row = size_t{static_cast<uint32_t>(y)} * kWidth;
            ops->AddIndexed(dest.data() + row, heat.data() + row, kWidth, 1, palette.data(), 17);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK_CAPTURE(HotAddIndexed, Sse2, kivo::Sse2RowOps());
BENCHMARK_CAPTURE(HotAddIndexed, Avx2, kivo::Avx2RowOps());

// A quarter-size flame stretched four times each way over the same pixels (the usual way a
// game shows a fire: a small buffer, zoomed).
void Ours_ZoomedFireDraw(benchmark::State& state) {
    kivo::TFireSimulation fire;
    kivo::TProcessRandom random{5};
    fire.SetBaseSize(kWidth / 4, kHeight / 4);
    fire.SetPower(128);
    (void)fire.Advance(0, random);
    (void)fire.Advance(1000, random);
    auto dest = RandomColours(kWidth, kHeight, 1);
    kivo::TDrawContext context(*dest);
    for (auto _ : state) {
        fire.Draw(context, 0, 0, 1024, 1024);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ours_ZoomedFireDraw);

void Ref_PixmanAdd(benchmark::State& state) {
    auto source = RandomColours(kWidth, kHeight, 2);
    auto dest = RandomColours(kWidth, kHeight, 1);
    const PixmanImage src = Wrap(*source, PIXMAN_x8r8g8b8);
    const PixmanImage dst = Wrap(*dest, PIXMAN_x8r8g8b8);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_ADD, src.get(), nullptr, dst.get(), 0, 0, 0, 0, 0, 0,
                                 kWidth, kHeight);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ref_PixmanAdd);

void Ours_WaveDraw(benchmark::State& state) {
    auto source = RandomColours(kWidth, kHeight, 2);
    auto dest = RandomColours(kWidth, kHeight, 1);
    kivo::TWaveSimulation wave;
    wave.SetWavelength(200);
    wave.SetAmplitude(10);
    kivo::TDIBXWave surface{kivo::TDrawContext(*dest)};
    surface.SetSize(kWidth, kHeight, 32);
    (void)wave.ComputeOffsets(surface.RowOffsets);
    kivo::TDrawContext context(surface);
    for (auto _ : state) {
        context.Draw(0, 0, false, false, kivo::TColorKey{}, {0, 0, kWidth, kHeight}, *source);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ours_WaveDraw);

void Ref_PlainDraw(benchmark::State& state) {
    auto source = RandomColours(kWidth, kHeight, 2);
    auto dest = RandomColours(kWidth, kHeight, 1);
    kivo::TDrawContext context(*dest);
    for (auto _ : state) {
        context.Draw(0, 0, false, false, kivo::TColorKey{}, {0, 0, kWidth, kHeight}, *source);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ref_PlainDraw);

// ---- ApplyFrame ----

class ArrayStage : public kivo::TFilmStage {
  public:
    using Properties = std::array<int32_t, kivo::kPropertyCount>;

    kivo::TFilmObjectId CreateObject(kivo::TFilmTrackKind, int32_t) override {
        objects_.emplace_back();
        return objects_.size();
    }
    void RemoveObject(kivo::TFilmObjectId) override {}
    void SetProperty(kivo::TFilmObjectId object, kivo::PropertyId id, int32_t value) override {
        At(object)[static_cast<size_t>(id)] = value;
    }
    void SetFloatProperty(kivo::TFilmObjectId object, kivo::PropertyId id, double value) override {
        At(object)[static_cast<size_t>(id)] = static_cast<int32_t>(value);
    }
    void SetStringProperty(kivo::TFilmObjectId object, kivo::PropertyId id,
                           std::string_view value) override {
        At(object)[static_cast<size_t>(id)] = static_cast<int32_t>(value.size());
    }
    int32_t GetProperty(kivo::TFilmObjectId object, kivo::PropertyId id) override {
        return At(object)[static_cast<size_t>(id)];
    }
    void SetPicture(kivo::TFilmObjectId object, const kivo::TFilmPicture&,
                    int32_t frameIndex) override {
        At(object)[0] = frameIndex;
    }
    void SetMotionPosition(kivo::TFilmObjectId, int32_t, int32_t) override {}
    void SetSubPriority(kivo::TFilmObjectId, int32_t) override {}
    void SetEmission(kivo::TFilmObjectId, const kivo::TFilmEmission&) override {}
    void PlaySound(kivo::TFilmObjectId) override {}
    void RunTransition(const kivo::TFilmTransition&, int32_t, int32_t, bool) override {}
    void EndTransition() override {}
    void ShowLayer(int32_t) override {}

  private:
    Properties& At(kivo::TFilmObjectId object) { return objects_[object - 1]; }
    std::vector<Properties> objects_;
};

class FourFrames : public kivo::TFilmPicture {
  public:
    [[nodiscard]] const std::vector<kivo::TFilmPictureFrame>& Frames() const override {
        return frames_;
    }

  private:
    std::vector<kivo::TFilmPictureFrame> frames_{4, kivo::TFilmPictureFrame{.DelayMs = 50}};
};

class SharedPictures : public kivo::TFilmPictureSource {
  public:
    std::shared_ptr<const kivo::TFilmPicture> Acquire(std::string_view) override {
        return picture_;
    }

  private:
    std::shared_ptr<const FourFrames> picture_ = std::make_shared<FourFrames>();
};

// 100 tracks playing at once, as a busy opening holds them: images, boxes and labels easing
// every value they have.
std::vector<uint8_t> BusyFilm() {
    namespace t = kivo::test;
    t::FilmFile film{.width = kWidth, .height = kHeight};
    for (int32_t i = 0; i < 100; ++i) {
        const t::FilmBase base{.length = 600, .priority = i};
        const t::FilmImageBlock block{.move = {.sx = i, .sy = 0, .ex = 600, .ey = i, .modeY = 2},
                                      .endAngle = 360,
                                      .endZoomX = 2.0,
                                      .startAlpha = 0,
                                      .clip = {.sw = 10, .sh = 10, .ew = 200, .eh = 100},
                                      .endZoomY = 0.5};
        switch (i % 3) {
            case 0:
                film.tracks.push_back(
                    t::FilmImageTrack{.base = base, .block = block, .file = "a.gal"});
                break;
            case 1:
                film.tracks.push_back(t::FilmBoxTrack{.base = base,
                                                      .move = block.move,
                                                      .endWidth = 300,
                                                      .endColor = 0xFF8040,
                                                      .endBorderWidth = 4});
                break;
            default:
                film.tracks.push_back(t::FilmLabelTrack{.base = base, .block = block, .text = "x"});
                break;
        }
    }
    return t::WriteFilm(film);
}

void Ours_ApplyFrame100(benchmark::State& state) {
    SharedPictures pictures;
    ArrayStage stage;
    kivo::TFilmManager film;
    if (!film.LoadFromBytes(BusyFilm(), "busy.kcn", &pictures)) {
        state.SkipWithError(film.LoadError().c_str());
        return;
    }
    film.SetStage(&stage, false);
    film.ApplyFrame(0);  // the objects are made once
    int32_t frame = 0;
    for (auto _ : state) {
        film.ApplyFrame(frame);
        frame = frame == 599 ? 0 : frame + 1;
    }
}
BENCHMARK(Ours_ApplyFrame100);

}  // namespace

int main(int argc, char** argv) {
    kivo::bench::RatioReporter reporter(
        {
            {"fire step / four-neighbour sum", "Ours_FireStep", "Ref_FourNeighbourSum",
             "at most 4"},
            {"fire draw / pixman ADD", "Ours_FireDraw", "Ref_PixmanAdd", "at most 1.5"},
            {"fire draw, every cell hot / pixman ADD", "Ours_HotFireDraw", "Ref_PixmanAdd",
             "at most 1.5"},
            {"hot fire row kernel, AVX2 / SSE2", "HotAddIndexed/Avx2", "HotAddIndexed/Sse2",
             "report"},
            {"zoomed fire draw (x4) / pixman ADD", "Ours_ZoomedFireDraw", "Ref_PixmanAdd",
             "report"},
            {"wave draw / plain Draw", "Ours_WaveDraw", "Ref_PlainDraw", "at most 1.3"},
        },
        [](const kivo::bench::RatioReporter& r) {
            // Times are in the benchmarks' unit, nanoseconds.
            if (const double step = r.Time("Ours_FireStep"); step > 0)
                std::printf("fire step 640x480: %.3f ms (target under 1 ms)\n", step / 1e6);
            if (const double apply = r.Time("Ours_ApplyFrame100"); apply > 0)
                std::printf("ApplyFrame of 100 tracks: %.2f us (target under 20 us)\n",
                            apply / 1e3);
        });
    return kivo::bench::RunWithRatios(argc, argv, reporter);
}
