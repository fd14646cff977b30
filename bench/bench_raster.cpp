// The raster surfaces against their references, side by side on 1280 x 720 pixels:
//   Draw (no key)                 against memcpy of the same rows
//   DrawAlpha, DrawMask(Alpha)    against pixman's OVER composite (a8r8g8b8 source, a8 mask)
//   StretchDraw 640x360->1280x720 against SDL_BlitScaled between software surfaces
// Compare the times of each pair (Ours_* / Ref_*). Masks come in two kinds: "edge" masks of
// random values (every pixel blends, the worst case) and "image" masks like a real sprite
// (opaque inside, clear outside, a ramp at the border).

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "imaging/dibx.h"
#include "imaging/draw_context.h"
#include "imaging/row_ops.h"
#include "pixman_reference.h"
#include "ratio_reporter.h"
#include "sdl_reference.h"

namespace {

using kivo::TColorKey;
using kivo::TDIBX;
using kivo::TDrawContext;
using kivo::TRect;
using kivo::bench::PixmanImage;
using kivo::bench::RandomColours;
using kivo::bench::Wrap;

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 720;
constexpr TRect kFull{0, 0, kWidth, kHeight};

enum class MaskKind { Edge, Image };

std::unique_ptr<TDIBX> MakeMask(MaskKind kind) {
    auto s = std::make_unique<TDIBX>(kWidth, kHeight, 8);
    std::mt19937 rng(7);
    for (int32_t y = 0; y < kHeight; ++y) {
        uint8_t* row = s->PixelAddress(0, y);
        for (int32_t x = 0; x < kWidth; ++x) {
            if (kind == MaskKind::Edge) {
                row[x] = static_cast<uint8_t>(rng());
            } else {
                // A disc of radius 330 with an 8-pixel soft border.
                const double d = std::hypot(x - kWidth / 2.0, y - kHeight / 2.0);
                row[x] = static_cast<uint8_t>(std::clamp((338.0 - d) * 32.0, 0.0, 255.0));
            }
        }
    }
    return s;
}

// The reference of the blends: src OVER dst through mask, the whole surface per iteration.
void CompositeOver(benchmark::State& state, TDIBX& src, const PixmanImage& mask, TDIBX& dst) {
    const PixmanImage s = Wrap(src, PIXMAN_a8r8g8b8);
    const PixmanImage d = Wrap(dst, PIXMAN_a8r8g8b8);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, s.get(), mask.get(), d.get(), 0, 0, 0, 0, 0, 0,
                                 kWidth, kHeight);
        benchmark::ClobberMemory();
    }
}

// ---- Draw against memcpy ----

void Ours_Draw(benchmark::State& state) {
    auto src = RandomColours(kWidth, kHeight, 1);
    TDIBX dst(kWidth, kHeight, 32);
    TDrawContext context(dst);
    for (auto _ : state) {
        context.Draw(0, 0, false, false, TColorKey{}, kFull, *src);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kWidth * kHeight * 4);
}
BENCHMARK(Ours_Draw);

void Ref_Draw_memcpy(benchmark::State& state) {
    auto src = RandomColours(kWidth, kHeight, 1);
    TDIBX dst(kWidth, kHeight, 32);
    for (auto _ : state) {
        for (int32_t y = 0; y < kHeight; ++y)
            std::memcpy(dst.PixelAddress(0, y), src->PixelAddress(0, y), kWidth * 4);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kWidth * kHeight * 4);
}
BENCHMARK(Ref_Draw_memcpy);

// ---- Blends against pixman OVER ----

void Ours_DrawAlpha(benchmark::State& state) {
    auto src = RandomColours(kWidth, kHeight, 1);
    auto dst = RandomColours(kWidth, kHeight, 2);
    TDrawContext context(*dst);
    for (auto _ : state) {
        context.DrawAlpha(0, 0, 128, false, false, TColorKey{}, kFull, *src);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ours_DrawAlpha);

void Ref_DrawAlpha_pixman(benchmark::State& state) {
    auto src = RandomColours(kWidth, kHeight, 1);
    auto dst = RandomColours(kWidth, kHeight, 2);
    const pixman_color_t half{0, 0, 0, 0x8080};
    CompositeOver(state, *src, PixmanImage(pixman_image_create_solid_fill(&half)), *dst);
}
BENCHMARK(Ref_DrawAlpha_pixman);

template <MaskKind Kind, int32_t Alpha>
void Ours_DrawMask(benchmark::State& state) {
    auto src = RandomColours(kWidth, kHeight, 1);
    auto dst = RandomColours(kWidth, kHeight, 2);
    auto mask = MakeMask(Kind);
    TDrawContext context(*dst);
    for (auto _ : state) {
        if (Alpha == 255) {
            context.DrawMask(0, 0, *mask, false, false, kFull, *src);
        } else {
            context.DrawMaskAlpha(0, 0, Alpha, *mask, false, false, kFull, *src);
        }
        benchmark::ClobberMemory();
    }
}

// Alpha 255 composites through the mask itself; a lower alpha through a mask holding the
// weights DrawMaskAlpha works with, (alpha x m) >> 8, so that pixman blends the same pixels.
template <MaskKind Kind, int32_t Alpha>
void Ref_DrawMask_pixman(benchmark::State& state) {
    auto src = RandomColours(kWidth, kHeight, 1);
    auto dst = RandomColours(kWidth, kHeight, 2);
    auto mask = MakeMask(Kind);
    if (Alpha < 255) {
        for (int32_t y = 0; y < kHeight; ++y) {
            uint8_t* row = mask->PixelAddress(0, y);
            for (int32_t x = 0; x < kWidth; ++x)
                row[x] = static_cast<uint8_t>(kivo::MaskAlphaWeight(Alpha, row[x]));
        }
    }
    CompositeOver(state, *src, Wrap(*mask, PIXMAN_a8), *dst);
}

BENCHMARK(Ours_DrawMask<MaskKind::Edge, 255>)->Name("Ours_DrawMask/edge");
BENCHMARK(Ref_DrawMask_pixman<MaskKind::Edge, 255>)->Name("Ref_DrawMask_pixman/edge");
BENCHMARK(Ours_DrawMask<MaskKind::Image, 255>)->Name("Ours_DrawMask/image");
BENCHMARK(Ref_DrawMask_pixman<MaskKind::Image, 255>)->Name("Ref_DrawMask_pixman/image");
BENCHMARK(Ours_DrawMask<MaskKind::Edge, 200>)->Name("Ours_DrawMaskAlpha/edge");
BENCHMARK(Ref_DrawMask_pixman<MaskKind::Edge, 200>)->Name("Ref_DrawMaskAlpha_pixman/edge");
BENCHMARK(Ours_DrawMask<MaskKind::Image, 200>)->Name("Ours_DrawMaskAlpha/image");
BENCHMARK(Ref_DrawMask_pixman<MaskKind::Image, 200>)->Name("Ref_DrawMaskAlpha_pixman/image");

// ---- StretchDraw against SDL_BlitScaled ----

void Ours_StretchDraw(benchmark::State& state) {
    auto src = RandomColours(kWidth / 2, kHeight / 2, 1);
    TDIBX dst(kWidth, kHeight, 32);
    TDrawContext context(dst);
    for (auto _ : state) {
        context.StretchDraw(kFull, *src, 255, false, false, TColorKey{},
                            {0, 0, kWidth / 2, kHeight / 2});
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ours_StretchDraw);

void Ref_StretchDraw_SDL(benchmark::State& state) {
    auto src = RandomColours(kWidth / 2, kHeight / 2, 1);
    TDIBX dst(kWidth, kHeight, 32);
    kivo::bench::TimeSdlBlitScaled(state,
                                   {src->PixelAddress(0, 0), kWidth / 2, kHeight / 2, src->Pitch()},
                                   {dst.PixelAddress(0, 0), kWidth, kHeight, dst.Pitch()});
}
BENCHMARK(Ref_StretchDraw_SDL);

}  // namespace

// Prints each operation's time as a ratio to its reference's (the means, with repetitions).
int main(int argc, char** argv) {
    const std::string target = "at most 1.0";
    kivo::bench::RatioReporter reporter({
        // At least 0.8 of memcpy's throughput is at most 1.25 of its time.
        {"Draw / memcpy", "Ours_Draw", "Ref_Draw_memcpy", "at most 1.25"},
        {"DrawAlpha / pixman", "Ours_DrawAlpha", "Ref_DrawAlpha_pixman", target},
        {"DrawMask edge / pixman", "Ours_DrawMask/edge", "Ref_DrawMask_pixman/edge", target},
        {"DrawMask image / pixman", "Ours_DrawMask/image", "Ref_DrawMask_pixman/image", target},
        {"DrawMaskAlpha edge / pixman", "Ours_DrawMaskAlpha/edge", "Ref_DrawMaskAlpha_pixman/edge",
         target},
        {"DrawMaskAlpha image / pixman", "Ours_DrawMaskAlpha/image",
         "Ref_DrawMaskAlpha_pixman/image", target},
        {"StretchDraw / SDL_BlitScaled", "Ours_StretchDraw", "Ref_StretchDraw_SDL", target},
    });
    return kivo::bench::RunWithRatios(argc, argv, reporter);
}
