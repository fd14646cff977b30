// The transitions against their references, side by side on 1280 x 720 pixels:
//   Fade at half time          against memcpy + pixman OVER through a solid 0x80 mask
//   MaskFade at a new level    against memcpy + pixman OVER through an a8 mask
//   BlindH (hard) and ScrollH  against memcpy of the frame
//   White                      against memcpy + pixman ADD of a solid grey
// and one step of every style beside a memcpy of the frame. Steps of the mask styles move
// between times of different levels, so that every step redraws its mask and composes.

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "imaging/custom_wipe.h"
#include "pixman_reference.h"
#include "ratio_reporter.h"

namespace {

using kivo::TDIBX;
using kivo::bench::PixmanImage;
using kivo::bench::RandomColours;
using kivo::bench::Wrap;

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 720;
constexpr int32_t kDuration = 1000;

// A rule picture like the ones games ship: a diagonal gradient with noise.
std::unique_ptr<TDIBX> RulePicture() {
    auto s = std::make_unique<TDIBX>(kWidth, kHeight, 8);
    std::mt19937 rng(3);
    for (int32_t y = 0; y < kHeight; ++y) {
        uint8_t* row = s->PixelAddress(0, y);
        for (int32_t x = 0; x < kWidth; ++x)
            row[x] = static_cast<uint8_t>((x + y) * 255 / (kWidth + kHeight) + rng() % 16);
    }
    return s;
}

struct Pictures {
    std::unique_ptr<TDIBX> from = RandomColours(kWidth, kHeight, 1),
                           to = RandomColours(kWidth, kHeight, 2),
                           dest = RandomColours(kWidth, kHeight, 3);
    std::unique_ptr<TDIBX> rule = RulePicture();
    kivo::TTpRandom random{17};
};

Pictures& Shared() {
    static Pictures pictures;
    return pictures;
}

// Steps a transition of the code, cycling through the given times.
void StepStyle(benchmark::State& state, int32_t code, std::vector<int32_t> times,
               bool hard = false) {
    Pictures& p = Shared();
    auto wipe = kivo::CreateWipe(code, *p.dest, *p.from, *p.to, p.random);
    wipe->SetDuration(kDuration);
    if (hard) wipe->SetParam(1, 1);
    wipe->SetRulePicture(p.rule.get());
    wipe->Init();
    size_t i = 0;
    for (auto _ : state) {
        wipe->SetElapsed(times[i++ % times.size()]);
        benchmark::DoNotOptimize(wipe->Step());
        benchmark::ClobberMemory();
    }
}

void CopyFrame(TDIBX& dest, TDIBX& source) {
    for (int32_t y = 0; y < kHeight; ++y)
        std::memcpy(dest.PixelAddress(0, y), source.PixelAddress(0, y), kWidth * 4);
}

// The reference of a two-picture mix: the old picture copied, then an operation of pixman.
void CopyAndComposite(benchmark::State& state, pixman_op_t op, pixman_image_t* source,
                      pixman_image_t* mask) {
    Pictures& p = Shared();
    const PixmanImage d = Wrap(*p.dest, PIXMAN_a8r8g8b8);
    for (auto _ : state) {
        CopyFrame(*p.dest, *p.from);
        pixman_image_composite32(op, source, mask, d.get(), 0, 0, 0, 0, 0, 0, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
}

// ---- The four pairs ----

void Ours_Fade(benchmark::State& state) {
    StepStyle(state, kivo::WP_FADE, {kDuration / 2});
}
BENCHMARK(Ours_Fade);

void Ref_Fade_memcpy_pixman_over(benchmark::State& state) {
    const pixman_color_t half{0, 0, 0, 0x8080};
    const PixmanImage mask(pixman_image_create_solid_fill(&half));
    const PixmanImage to = Wrap(*Shared().to, PIXMAN_a8r8g8b8);
    CopyAndComposite(state, PIXMAN_OP_OVER, to.get(), mask.get());
}
BENCHMARK(Ref_Fade_memcpy_pixman_over);

void Ours_MaskFade(benchmark::State& state) {
    StepStyle(state, kivo::WP_MASKFADE, {480, 520});
}
BENCHMARK(Ours_MaskFade);

void Ref_MaskFade_memcpy_pixman_over_a8(benchmark::State& state) {
    const PixmanImage mask = Wrap(*Shared().rule, PIXMAN_a8);
    const PixmanImage to = Wrap(*Shared().to, PIXMAN_a8r8g8b8);
    CopyAndComposite(state, PIXMAN_OP_OVER, to.get(), mask.get());
}
BENCHMARK(Ref_MaskFade_memcpy_pixman_over_a8);

void Ours_BlindH_hard(benchmark::State& state) {
    StepStyle(state, kivo::WP_BLINDH, {500, 520}, true);
}
BENCHMARK(Ours_BlindH_hard);

void Ours_ScrollH(benchmark::State& state) {
    StepStyle(state, kivo::WP_SCROLLH, {500});
}
BENCHMARK(Ours_ScrollH);

void Ref_memcpy(benchmark::State& state) {
    Pictures& p = Shared();
    for (auto _ : state) {
        CopyFrame(*p.dest, *p.from);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ref_memcpy);

void Ours_White(benchmark::State& state) {
    StepStyle(state, kivo::WP_WHITE, {kDuration / 4});
}
BENCHMARK(Ours_White);

void Ref_White_memcpy_pixman_add(benchmark::State& state) {
    const pixman_color_t grey{0x8000, 0x8000, 0x8000, 0};
    const PixmanImage solid(pixman_image_create_solid_fill(&grey));
    CopyAndComposite(state, PIXMAN_OP_ADD, solid.get(), nullptr);
}
BENCHMARK(Ref_White_memcpy_pixman_add);

// ---- One step of every style ----

const char* const kStyleNames[] = {
    "",          "fade",   "blindh",    "blindv",     "curtainh",  "curtainv",  "scrollh",
    "scrollv",   "grid",   "gridh",     "gridv",      "dither",    "white",     "black",
    "flash",     "mosaic", "sudareh",   "sudarev",    "spot",      "maskfade",  "maskwhite",
    "maskblack", "small",  "big",       "ripple",     "blurwhite", "blurblack", "twisth",
    "twistv",    "crack",  "zoomin",    "clockhand",  "rubberh",   "rubberv",   "fan",
    "wfan",      "circle", "blockcoil", "blockrandom"};

std::string StyleBenchmarkName(int32_t code) {
    char name[64];
    std::snprintf(name, sizeof name, "Style/%02d_%s", code, kStyleNames[code]);
    return name;
}

const bool kStylesRegistered = [] {
    for (int32_t code = 1; code < kivo::kWipeCount; ++code) {
        benchmark::RegisterBenchmark(StyleBenchmarkName(code).c_str(), [code](benchmark::State& s) {
            StepStyle(s, code, {100, 300, 500, 700, 900});
        });
    }
    return true;
}();

}  // namespace

int main(int argc, char** argv) {
    const std::string atMostOne = "at most 1.0", memcpyLike = "at most 1.25";
    kivo::bench::RatioReporter reporter(
        {
            {"Fade / memcpy + pixman OVER solid", "Ours_Fade", "Ref_Fade_memcpy_pixman_over",
             atMostOne},
            {"MaskFade / memcpy + pixman OVER a8", "Ours_MaskFade",
             "Ref_MaskFade_memcpy_pixman_over_a8", atMostOne},
            {"BlindH hard / memcpy", "Ours_BlindH_hard", "Ref_memcpy", memcpyLike},
            {"ScrollH / memcpy", "Ours_ScrollH", "Ref_memcpy", memcpyLike},
            {"White / memcpy + pixman ADD", "Ours_White", "Ref_White_memcpy_pixman_add", atMostOne},
        },
        [](const kivo::bench::RatioReporter& r) {
            const double frame = r.Time("Ref_memcpy");
            if (frame <= 0) return;
            for (int32_t code = 1; code < kivo::kWipeCount; ++code) {
                const std::string name = StyleBenchmarkName(code);
                if (const double step = r.Time(name); step > 0) {
                    std::printf("step %-22s %6.2f memcpys of the frame (target at most 20)\n",
                                name.c_str() + 6, step / frame);
                }
            }
        });
    return kivo::bench::RunWithRatios(argc, argv, reporter);
}
