// The ripple of the wave effect.

#include "imaging/wave_simulation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace kivo {

void TWaveSimulation::SetPhase(int32_t phase) {
    phase_ = static_cast<int32_t>(((int64_t{phase} % kPhaseSteps) + kPhaseSteps) % kPhaseSteps);
}

bool TWaveSimulation::Advance(int32_t elapsedMs, std::span<int32_t> rowOffsets) {
    const int64_t accumulated = int64_t{std::max(elapsedMs, 0)} * 256 + remainder_;
    const int64_t steps = accumulated / period_;
    remainder_ = accumulated % period_;
    if (steps <= 0) return false;
    // Adding 255 while the phase is negative, done at once.
    SetPhase(static_cast<int32_t>((phase_ - steps) % kPhaseSteps));
    return ComputeOffsets(rowOffsets);
}

bool TWaveSimulation::ComputeOffsets(std::span<int32_t> rowOffsets) const {
    constexpr double kTurn = 2 * std::numbers::pi;
    const double phase = kTurn * phase_ / 256;
    const double perRow = kTurn / wavelength_;
    bool changed = false;
    for (size_t i = 0; i < rowOffsets.size(); ++i) {
        const double shift = std::sin(phase + static_cast<double>(i) * perRow) * amplitude_;
        const auto offset = static_cast<int32_t>(
            std::clamp(std::nearbyint(shift), double{INT32_MIN}, double{INT32_MAX}));
        changed |= offset != rowOffsets[i];
        rowOffsets[i] = offset;
    }
    return changed;
}

TRect TWaveSimulation::Widen(const TRect& area) const {
    // A negative amplitude shifts as far as a positive one, only mirrored.
    const int64_t reach = std::abs(int64_t{amplitude_});
    const auto clamp = [](int64_t v) {
        return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    };
    return {clamp(area.Left - reach), area.Top, clamp(area.Right + reach), area.Bottom};
}

}  // namespace kivo
