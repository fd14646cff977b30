#pragma once
// A fire: a flame simulated in a heat buffer of its base size (fire_simulation.h) and drawn
// additively through the fire palette, stretched by its zooms. Its size follows the base size
// and the zooms; writing the width or height changes nothing.

#include <string>

#include "imaging/fire_simulation.h"
#include "scene/kivo_control.h"

namespace kivo {

class TKivoFire final : public TKivoControl {
  public:
    using TKivoControl::TKivoControl;

    [[nodiscard]] int32_t Kind() const override { return LT_FIRE; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoFire"; }

    [[nodiscard]] int32_t Power() const { return fire_.Power(); }
    void SetPower(int32_t power) { fire_.SetPower(power); }
    [[nodiscard]] int32_t BaseWidth() const { return fire_.BaseWidth(); }
    [[nodiscard]] int32_t BaseHeight() const { return fire_.BaseHeight(); }
    void SetBaseWidth(int32_t width);
    void SetBaseHeight(int32_t height);
    [[nodiscard]] int32_t ZoomX() const override { return zoomX_; }
    [[nodiscard]] int32_t ZoomY() const override { return zoomY_; }
    // Values below 1 become 1.
    void SetZoomX(int32_t zoom);
    void SetZoomY(int32_t zoom);
    void SetWidth(int32_t /*width*/) override {}
    void SetHeight(int32_t /*height*/) override {}
    // Only reported by PR_PLAYING: a paused fire still burns unless its animation is paused.
    [[nodiscard]] bool PausedFlag() const { return paused_; }
    void SetPausedFlag(bool paused) { paused_ = paused; }
    [[nodiscard]] bool FirePlaying() const { return !paused_ && !AniPaused(); }
    [[nodiscard]] std::string IdleHandler() const override { return idleHandler_; }
    void SetIdleHandler(std::string handler) { idleHandler_ = std::move(handler); }

    [[nodiscard]] TFireSimulation& Simulation() { return fire_; }

    [[nodiscard]] bool Update() override;
    void Draw(TDrawContext& context) override;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  private:
    // The shown size: base size x zoom / 256.
    void Resize();

    TFireSimulation fire_;
    int32_t zoomX_ = 256;
    int32_t zoomY_ = 256;
    bool paused_ = false;
    std::string idleHandler_;
};

}  // namespace kivo
