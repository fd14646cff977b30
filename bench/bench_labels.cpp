// The per-frame cost of labels and CG labels: an unrotated label fills its colour through
// its coverage mask line by line (10 lines of 30 glyphs at 24 pixels), against pixman's OVER
// of a solid colour through the same a8 mask; a CG label copies its cells from the glyph sheet
// (400 cells of 16 x 32), against pixman's SRC of the same rectangles. Most sheets key out
// their background, so the cells are also drawn from a keyed sheet, against pixman's OVER of
// the same sheet with the keyed pixels transparent and the others opaque.

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "imaging/draw_context.h"
#include "pixman_reference.h"
#include "ratio_reporter.h"
#include "scene/control_picture.h"

namespace {

using kivo::TDIBX;
using kivo::TRect;

constexpr int32_t kGlyph = 24, kLines = 10, kColumns = 30;
constexpr int32_t kLineWidth = kGlyph * kColumns, kTextHeight = kGlyph * kLines;

// A coverage mask shaped like text: runs of full coverage with anti-aliased edges and gaps.
TDIBX& TextMask() {
    static std::unique_ptr<TDIBX> mask = [] {
        auto m = std::make_unique<TDIBX>(kLineWidth, kTextHeight, 8);
        std::mt19937 rng(7);
        for (int32_t y = 0; y < kTextHeight; ++y) {
            for (int32_t x = 0; x < kLineWidth; ++x) {
                const uint32_t r = rng() % 4;
                m->SetPixel(x, y, r == 0 ? 0 : r == 1 ? rng() % 256 : 255);
            }
        }
        return m;
    }();
    return *mask;
}

TDIBX& Screen() {
    static std::unique_ptr<TDIBX> screen = kivo::bench::RandomColours(800, 600, 3);
    return *screen;
}

void Ours_LabelFill(benchmark::State& state) {
    TDIBX& mask = TextMask();
    TDIBX& screen = Screen();
    kivo::TDrawContext context(screen);
    const uint32_t pixel = screen.ColorToPixel(0x30C0F0);
    for (auto _ : state) {
        for (int32_t line = 0; line < kLines; ++line) {
            const TRect r{0, line * kGlyph, kLineWidth, (line + 1) * kGlyph};
            context.FillMask(r.Left + 20, r.Top + 30, 255, pixel, false, false, r, mask);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ours_LabelFill);

void Ref_PixmanOverA8(benchmark::State& state) {
    TDIBX& mask = TextMask();
    TDIBX& screen = Screen();
    auto dst = kivo::bench::Wrap(screen, PIXMAN_x8r8g8b8);
    auto msk = kivo::bench::Wrap(mask, PIXMAN_a8);
    const pixman_color_t colour{0xF0F0, 0xC0C0, 0x3030, 0xFFFF};
    kivo::bench::PixmanImage solid(pixman_image_create_solid_fill(&colour));
    for (auto _ : state) {
        for (int32_t line = 0; line < kLines; ++line) {
            pixman_image_composite32(PIXMAN_OP_OVER, solid.get(), msk.get(), dst.get(), 0, 0, 0,
                                     line * kGlyph, 20, 30 + line * kGlyph, kLineWidth, kGlyph);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ref_PixmanOverA8);

constexpr int32_t kCellW = 16, kCellH = 32, kCells = 400, kSheetColumns = 10;

TDIBX& Sheet() {
    static std::unique_ptr<TDIBX> sheet =
        kivo::bench::RandomColours(kCellW * kSheetColumns, kCellH * 4, 11);
    return *sheet;
}

// Cell k of the sheet lands at the k-th place of 20 rows of 20 cells.
TRect CellOf(int32_t k) {
    const int32_t index = k * 7 % (kSheetColumns * 4);
    const int32_t x = index % kSheetColumns * kCellW, y = index / kSheetColumns * kCellH;
    return {x, y, x + kCellW, y + kCellH};
}

void Ours_CGCells(benchmark::State& state) {
    TDIBX& screen = Screen();
    kivo::TDrawContext context(screen);
    const kivo::PictureFrame frame{&Sheet(), nullptr, {}, 100};
    for (auto _ : state) {
        for (int32_t k = 0; k < kCells; ++k)
            kivo::DrawPicturePiece(context, frame, CellOf(k), k % 20 * kCellW, k / 20 * 28, 255);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ours_CGCells);

// The sheet with each cell's glyph standing on a keyed background: whole rows of key above
// and below, keyed margins at the sides, and gaps inside the strokes.
constexpr uint32_t kSheetKey = 0x00000000;

TDIBX& KeyedSheet() {
    static std::unique_ptr<TDIBX> sheet = [] {
        auto s = kivo::bench::RandomColours(kCellW * kSheetColumns, kCellH * 4, 13);
        for (int32_t y = 0; y < s->Height(); ++y) {
            for (int32_t x = 0; x < s->Width(); ++x) {
                const int32_t cx = x % kCellW, cy = y % kCellH;
                const bool background =
                    cy < 5 || cy >= kCellH - 4 || cx < 2 || cx >= kCellW - 2 || (cx + cy) % 5 == 0;
                if (background) s->SetPixel(x, y, kSheetKey);
            }
        }
        return s;
    }();
    return *sheet;
}

void Ours_CGCellsKeyed(benchmark::State& state) {
    TDIBX& screen = Screen();
    kivo::TDrawContext context(screen);
    const kivo::PictureFrame frame{&KeyedSheet(), nullptr, kivo::TColorKey(kSheetKey), 100};
    for (auto _ : state) {
        for (int32_t k = 0; k < kCells; ++k)
            kivo::DrawPicturePiece(context, frame, CellOf(k), k % 20 * kCellW, k / 20 * 28, 255);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ours_CGCellsKeyed);

void Ref_PixmanOverCells(benchmark::State& state) {
    auto dst = kivo::bench::Wrap(Screen(), PIXMAN_x8r8g8b8);
    // The keyed pixels are 0x00000000: transparent black as a8r8g8b8, the rest opaque.
    auto src = kivo::bench::Wrap(KeyedSheet(), PIXMAN_a8r8g8b8);
    for (auto _ : state) {
        for (int32_t k = 0; k < kCells; ++k) {
            const TRect cell = CellOf(k);
            pixman_image_composite32(PIXMAN_OP_OVER, src.get(), nullptr, dst.get(), cell.Left,
                                     cell.Top, 0, 0, k % 20 * kCellW, k / 20 * 28, kCellW, kCellH);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ref_PixmanOverCells);

void Ref_PixmanSrcCells(benchmark::State& state) {
    auto dst = kivo::bench::Wrap(Screen(), PIXMAN_x8r8g8b8);
    auto src = kivo::bench::Wrap(Sheet(), PIXMAN_x8r8g8b8);
    for (auto _ : state) {
        for (int32_t k = 0; k < kCells; ++k) {
            const TRect cell = CellOf(k);
            pixman_image_composite32(PIXMAN_OP_SRC, src.get(), nullptr, dst.get(), cell.Left,
                                     cell.Top, 0, 0, k % 20 * kCellW, k / 20 * 28, kCellW, kCellH);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Ref_PixmanSrcCells);

}  // namespace

int main(int argc, char** argv) {
    kivo::bench::RatioReporter reporter({
        {"label fill / pixman OVER a8", "Ours_LabelFill", "Ref_PixmanOverA8", "at most 1.2"},
        {"CG cells / pixman SRC", "Ours_CGCells", "Ref_PixmanSrcCells", "at most 1.3"},
        {"keyed CG cells / pixman OVER", "Ours_CGCellsKeyed", "Ref_PixmanOverCells",
         "none set; kept near the opaque cells"},
    });
    return kivo::bench::RunWithRatios(argc, argv, reporter);
}
