#pragma once
// The pixel rules of the glyph cache's cell drawing, and row kernels built on them: a plain
// scalar set that states the arithmetic and an SSE2 set that gives the same bytes (the tests
// hold one to the other). Colours are native 32-bit pixels; masks and coverage 8-bit.

#include <cstdint>

#include "imaging/row_ops.h"

namespace kivo {

// The coverage union of the blend rule, M + C (255 - M) / 255, and the share of the new
// coverage the ink takes, C x 255 / union, as tables over (C, M) and (C, union): the blend
// runs once per stamped border pixel, so it takes no division.
struct CoverageTables {
    uint8_t united[256][256];  // [coverage][mask]
    uint8_t weight[256][256];  // [coverage][united]
};
[[nodiscard]] const CoverageTables& GlyphCoverageTables();

// The blend rule for one pixel: coverage 0 changes nothing, 255 writes the colour and full
// coverage, anything else unites the coverage and moves the colour by the ink's share.
inline void BlendCoverage(const CoverageTables& tables, uint32_t& pixel, uint8_t& mask,
                          uint8_t coverage, uint32_t source) {
    if (coverage == 0) return;
    if (coverage == 255) {
        pixel = source;
        mask = 255;
        return;
    }
    const uint8_t united = tables.united[coverage][mask];
    pixel = BlendPixel(pixel, source, tables.weight[coverage][united]);
    mask = united;
}

struct GlyphRowOps {
    // Plain ink: where the coverage is above 0 the colour becomes pixel; the mask keeps the
    // larger of its value and the coverage.
    void (*SolidMax)(uint32_t* colour, uint8_t* mask, const uint8_t* coverage, int32_t count,
                     uint32_t pixel);
    // The blend rule (BlendCoverage) along a row.
    void (*Blend)(uint32_t* colour, uint8_t* mask, const uint8_t* coverage, int32_t count,
                  uint32_t pixel);
};

[[nodiscard]] const GlyphRowOps& ScalarGlyphRowOps();
// The fastest set this processor runs.
[[nodiscard]] const GlyphRowOps& FastGlyphRowOps();

}  // namespace kivo
