#pragma once
// The flame of the fire effect: an 8-bit heat buffer that burns upwards from its bottom rows,
// advanced in steps of 40 ms and drawn additively through the fire palette. The scene's fire
// object owns one and hands it the frame's elapsed time, its size, zoom and power.
//
// Each step the bottom four rows are set to 254 and every other cell (but the outer columns
// and the last two rows) becomes the cooled sum of the cell, the cells left and right below it
// and the cell two below: cooling[s] less a noise value, at least 16. The noise table is
// scrolled by a row offset that moves one row a step and a column offset that moves one column
// every eighth step, so the flame flickers without new random values.
//
// A buffer smaller than 3 x 4 does not burn (the update needs two columns of border and the
// four hot rows); sizes are capped at kMaxSide.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/dibx.h"

namespace kivo {

class TDrawContext;
class TProcessRandom;

class TFireSimulation {
  public:
    static constexpr int32_t kStepMs = 40;
    static constexpr int32_t kMinWidth = 3;
    static constexpr int32_t kMinHeight = 4;
    static constexpr int32_t kMaxSide = 4096;
    static constexpr int32_t kCoolingSize = 1024;
    // Heat values below this are not drawn.
    static constexpr int32_t kFirstDrawnHeat = 17;

    TFireSimulation();

    // Power 0..255 (clamped; default 1): more power cools less, so the flame burns higher. A
    // new value rebuilds the cooling table.
    void SetPower(int32_t power);
    [[nodiscard]] int32_t Power() const { return power_; }
    // The heat buffer's size, clamped to 0..kMaxSide; a change remakes the buffer on the next
    // Advance.
    void SetBaseSize(int32_t width, int32_t height);
    [[nodiscard]] int32_t BaseWidth() const { return width_; }
    [[nodiscard]] int32_t BaseHeight() const { return height_; }
    // Whether the size is large enough to burn.
    [[nodiscard]] bool Burns() const { return width_ >= kMinWidth && height_ >= kMinHeight; }

    // One frame of the effect, elapsedMs after the last (an animation-paused fire passes 0).
    // The first call after creation or a size change makes the buffer (filled with 16), the
    // noise table (values 0..8 from the random generator) and the offsets instead of stepping. Returns true
    // when the heat changed, so the owner invalidates its area.
    bool Advance(int32_t elapsedMs, TProcessRandom& random);
    // One 40 ms step of the flame.
    void Step();

    // Draws the heat additively through the fire palette with its top-left corner at (x, y),
    // stretched by the zooms (256 = 100 %) unless both are 256. Only 32-bit surfaces show
    // fire.
    void Draw(TDrawContext& context, int32_t x, int32_t y, int32_t zoomX, int32_t zoomY);

    // The heat buffer (8 bits per cell), empty until made.
    [[nodiscard]] TDIBX& Heat() { return heat_; }
    // The noise table, row by row (tests give it known values).
    [[nodiscard]] std::span<uint8_t> Noise() { return noise_; }
    [[nodiscard]] int32_t RowOffset() const { return rowOffset_; }
    [[nodiscard]] int32_t ColumnOffset() const { return columnOffset_; }
    [[nodiscard]] const std::array<uint8_t, kCoolingSize>& Cooling() const { return cooling_; }

    // The cooling table for divisor parameter k: entry s = nearest(s / (k - 0.05 e^3)) with
    // e = (1023 - s) / 1023, at most 254.
    [[nodiscard]] static std::array<uint8_t, kCoolingSize> CoolingTable(double k);
    // The fire palette as 32-bit native pixels (B, G, R, X in memory).
    [[nodiscard]] static const std::array<uint32_t, 256>& Palette32();

  private:
    void Remake(TProcessRandom& random);
    void StepRow(int32_t y);

    int32_t power_ = 1;
    int32_t width_ = 0;
    int32_t height_ = 0;
    bool made_ = false;
    int32_t rowOffset_ = 0;
    int32_t columnOffset_ = 0;
    int64_t accumulatedMs_ = 0;
    TDIBX heat_;
    std::vector<uint8_t> noise_;
    std::array<uint8_t, kCoolingSize> cooling_{};
};

}  // namespace kivo
