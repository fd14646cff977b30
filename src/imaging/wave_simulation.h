#pragma once
// The ripple of the wave effect: a phase that runs down by period, and one sideways offset per
// row of the wave surface (TDIBXWave, dibx_wave.h), nint(sin(2 pi phase / 256 + 2 pi row /
// wavelength) x amplitude) with ties to even. The scene's wave object owns one and draws its
// children through the surface.
//
// The phase takes the values 0..254: it drops by one for each 1/256 of a period and is brought
// back into range by adding 255, as the editor's wave did, so one turn of the phase is 255
// steps rather than 256.

#include <cstdint>
#include <span>

#include "base/rect.h"

namespace kivo {

class TWaveSimulation {
  public:
    static constexpr int32_t kPhaseSteps = 255;

    // Amplitude in pixels (default 10; negative mirrors the ripple).
    void SetAmplitude(int32_t amplitude) { amplitude_ = amplitude; }
    [[nodiscard]] int32_t Amplitude() const { return amplitude_; }
    // Wavelength in rows (default 200), at least 1.
    void SetWavelength(int32_t rows) { wavelength_ = rows < 1 ? 1 : rows; }
    [[nodiscard]] int32_t Wavelength() const { return wavelength_; }
    // Period in ms (default 2000), at least 1.
    void SetPeriod(int32_t ms) { period_ = ms < 1 ? 1 : ms; }
    [[nodiscard]] int32_t Period() const { return period_; }
    [[nodiscard]] int32_t Phase() const { return phase_; }
    void SetPhase(int32_t phase);

    // One frame, elapsedMs after the last (an animation-paused wave is not advanced). When the
    // phase moved, every row offset is computed again; returns true when any changed, so the
    // owner invalidates its area.
    bool Advance(int32_t elapsedMs, std::span<int32_t> rowOffsets);
    // Computes every row offset for the current phase; true when any changed.
    bool ComputeOffsets(std::span<int32_t> rowOffsets) const;

    // An area the wave invalidates, widened on both sides by how far a row may shift.
    [[nodiscard]] TRect Widen(const TRect& area) const;

  private:
    int32_t amplitude_ = 10;
    int32_t wavelength_ = 200;
    int32_t period_ = 2000;
    int32_t phase_ = 0;
    int64_t remainder_ = 0;
};

}  // namespace kivo
