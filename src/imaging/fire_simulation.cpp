// The flame of the fire effect.

#include "imaging/fire_simulation.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/draw_context.h"
#include "storage/tp_random.h"

namespace kivo {

namespace {

constexpr uint8_t kHotHeat = 254;
constexpr uint8_t kColdHeat = 16;
constexpr int32_t kHotRows = 4;
constexpr int32_t kMaxNoise = 8;
// Steps between two moves of the noise's column offset.
constexpr int32_t kColumnShiftSteps = 8;
constexpr double kInitialCoolingK = 4.5;

struct Knot {
    int32_t index;
    int32_t red, green, blue;
};

// Black through red and orange to pale yellow.
constexpr std::array<Knot, 6> kKnots{{{0, 0, 0, 0},
                                      {32, 102, 39, 3},
                                      {112, 213, 97, 7},
                                      {160, 243, 157, 13},
                                      {192, 255, 192, 55},
                                      {255, 255, 230, 175}}};

constexpr std::array<uint32_t, 256> MakePalette32() {
    std::array<uint32_t, 256> table{};
    for (size_t k = 0; k + 1 < kKnots.size(); ++k) {
        const Knot a = kKnots[k];
        const Knot b = kKnots[k + 1];
        for (int32_t i = a.index; i <= b.index; ++i) {
            const auto channel = [&](int32_t from, int32_t to) {
                return from + (to - from) * (i - a.index) / (b.index - a.index);
            };
            table[static_cast<size_t>(i)] =
                static_cast<uint32_t>(channel(a.red, b.red) << 16 | channel(a.green, b.green) << 8 |
                                      channel(a.blue, b.blue));
        }
    }
    // Eight channels of the palette the editor's fire was tuned with lie one above the
    // gradient; films and games were made looking at these colours.
    const auto raise = [&table](size_t i, int shift) { table[i] += uint32_t{1} << shift; };
    for (const size_t i : {113, 115, 118, 123})
        raise(i, 16);
    for (const size_t i : {115, 119})
        raise(i, 8);
    for (const size_t i : {118, 119})
        raise(i, 0);
    return table;
}

constexpr std::array<uint32_t, 256> kPalette32 = MakePalette32();

double CoolingK(int32_t power) {
    return (128.0 - power) / 128.0 * 1.2825 + 4.2175;
}

}  // namespace

TFireSimulation::TFireSimulation() : cooling_(CoolingTable(kInitialCoolingK)) {}

std::array<uint8_t, TFireSimulation::kCoolingSize> TFireSimulation::CoolingTable(double k) {
    std::array<uint8_t, kCoolingSize> table{};
    for (int32_t s = 0; s < kCoolingSize; ++s) {
        const double e = (1023.0 - s) / 1023.0;
        const double v = std::nearbyint(s / (k - 0.05 * e * e * e));
        table[static_cast<size_t>(s)] = static_cast<uint8_t>(v >= 255 ? 254 : v);
    }
    return table;
}

const std::array<uint32_t, 256>& TFireSimulation::Palette32() {
    return kPalette32;
}

void TFireSimulation::SetPower(int32_t power) {
    power = std::clamp(power, 0, 255);
    if (power == power_) return;
    power_ = power;
    cooling_ = CoolingTable(CoolingK(power));
}

void TFireSimulation::SetBaseSize(int32_t width, int32_t height) {
    width = std::clamp(width, 0, kMaxSide);
    height = std::clamp(height, 0, kMaxSide);
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    made_ = false;
}

void TFireSimulation::Remake(TProcessRandom& random) {
    made_ = true;
    rowOffset_ = columnOffset_ = 0;
    accumulatedMs_ = 0;
    if (!Burns()) {
        heat_.SetSize(0, 0, 8);
        noise_.clear();
        return;
    }
    heat_.SetSize(width_, height_, 8);
    for (int32_t y = 0; y < height_; ++y)
        std::memset(heat_.PixelAddress(0, y), kColdHeat, static_cast<size_t>(width_));
    noise_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_));
    for (uint8_t& n : noise_) {
        n = static_cast<uint8_t>(random.Below(kMaxNoise + 1));
    }
}

bool TFireSimulation::Advance(int32_t elapsedMs, TProcessRandom& random) {
    if (!made_) {
        Remake(random);
        return Burns();
    }
    if (!Burns()) return false;
    accumulatedMs_ += std::max(elapsedMs, 0);
    const int64_t steps = accumulatedMs_ / kStepMs;
    accumulatedMs_ %= kStepMs;
    for (int64_t i = 0; i < steps; ++i)
        Step();
    return steps > 0;
}

void TFireSimulation::Step() {
    if (!made_ || !Burns()) return;
    rowOffset_ = (rowOffset_ + 1) % height_;
    if (rowOffset_ % kColumnShiftSteps == 0) columnOffset_ = (columnOffset_ + 1) % width_;
    for (int32_t y = height_ - kHotRows; y < height_; ++y)
        std::memset(heat_.PixelAddress(0, y), kHotHeat, static_cast<size_t>(width_));
    // Each row reads only itself and the two rows below, which this step has not reached yet,
    // so the rows may be updated in place from the top.
    for (int32_t y = 0; y <= height_ - 3; ++y)
        StepRow(y);
}

void TFireSimulation::StepRow(int32_t y) {
    uint8_t* row = heat_.PixelAddress(0, y);
    const uint8_t* below = heat_.PixelAddress(0, y + 1);
    const uint8_t* twoBelow = heat_.PixelAddress(0, y + 2);
    const uint8_t* noise =
        noise_.data() + static_cast<size_t>((y + 1 + rowOffset_) % height_) * width_;
    const uint8_t* cooling = cooling_.data();
    // The noise column (x + column offset) wraps once along the row: split there.
    const auto run = [&](int32_t from, int32_t to, int32_t shift) {
        for (int32_t x = from; x < to; ++x) {
            const int32_t sum = below[x - 1] + below[x + 1] + row[x] + twoBelow[x];
            const int32_t heat = cooling[sum] - noise[x + shift];
            row[x] = static_cast<uint8_t>(heat < kColdHeat ? kColdHeat : heat);
        }
    };
    const int32_t wrapAt = std::clamp(width_ - columnOffset_, 1, width_ - 1);
    run(1, wrapAt, columnOffset_);
    run(wrapAt, width_ - 1, columnOffset_ - width_);
}

void TFireSimulation::Draw(TDrawContext& context, int32_t x, int32_t y, int32_t zoomX,
                           int32_t zoomY) {
    if (!made_ || !Burns() || context.Surface().BitCount() != 32) return;
    const TRect source{0, 0, width_, height_};
    if (zoomX == 256 && zoomY == 256) {
        context.DrawPaletteAdd(x, y, kPalette32, 255, false, false, kFirstDrawnHeat, source, heat_);
        return;
    }
    const auto extent = [](int32_t origin, int32_t size, int32_t zoom) {
        return static_cast<int32_t>(std::clamp<int64_t>(
            origin + int64_t{size} * std::max(zoom, 1) / 256, INT32_MIN, INT32_MAX));
    };
    const TRect target{x, y, extent(x, width_, zoomX), extent(y, height_, zoomY)};
    context.StretchDrawPaletteAdd(target, heat_, kPalette32, 255, false, false, kFirstDrawnHeat,
                                  source);
}

}  // namespace kivo
