#pragma once
// A wave: everything its children draw ripples sideways, each row shifted by the wave's offset
// for it (wave_simulation.h). The children draw through a wave surface that stands over the
// wave's area; with an amplitude of 0 they draw straight into the layer.

#include <string>

#include "imaging/dibx_wave.h"
#include "imaging/wave_simulation.h"
#include "scene/kivo_control.h"

namespace kivo {

class TKivoWave final : public TKivoControl {
  public:
    // The most rows a wave keeps offsets for; a taller wave ripples only its top rows.
    static constexpr int32_t kMaxRows = 16384;

    using TKivoControl::TKivoControl;

    [[nodiscard]] int32_t Kind() const override { return LT_WAVE; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoWave"; }

    [[nodiscard]] int32_t Amplitude() const { return wave_.Amplitude(); }
    void SetAmplitude(int32_t amplitude);
    [[nodiscard]] int32_t Wavelength() const { return wave_.Wavelength(); }
    void SetWavelength(int32_t rows);
    [[nodiscard]] int32_t Period() const { return wave_.Period(); }
    void SetPeriod(int32_t ms) { wave_.SetPeriod(ms); }
    void SetWidth(int32_t width) override;
    void SetHeight(int32_t height) override;
    [[nodiscard]] bool PausedFlag() const { return paused_; }
    void SetPausedFlag(bool paused) { paused_ = paused; }
    [[nodiscard]] bool WavePlaying() const { return !paused_ && !AniPaused(); }
    [[nodiscard]] std::string IdleHandler() const override { return idleHandler_; }
    void SetIdleHandler(std::string handler) { idleHandler_ = std::move(handler); }

    // The sideways shift of each row, top first.
    [[nodiscard]] const std::vector<int32_t>& RowOffsets() const { return surface_.RowOffsets; }
    [[nodiscard]] int32_t Phase() const { return wave_.Phase(); }

    [[nodiscard]] TRect WidenDirty(const TRect& area) const override { return wave_.Widen(area); }
    [[nodiscard]] bool Update() override;
    void Draw(TDrawContext& context) override;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  private:
    // Sizes the wave surface to the object and computes its offsets again.
    void Reshape();
    // Changes a setting of the ripple: the old and the new ripple are drawn again.
    template <typename Change>
    void ChangeRipple(Change&& change) {
        Invalidate();
        change();
        (void)wave_.ComputeOffsets(surface_.RowOffsets);
        Invalidate();
    }

    TWaveSimulation wave_;
    TDIBXWave surface_;
    bool paused_ = false;
    std::string idleHandler_;
};

}  // namespace kivo
