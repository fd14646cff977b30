#pragma once
// A box: a filled rectangle with an optional border, drawn opaque, blended or added. A colour
// of -1 leaves the inside unfilled and a border colour of -1 draws no border. Its source names
// a motion file that moves it.

#include <string>

#include "scene/kivo_control.h"

namespace kivo {

class TKivoBox final : public TKivoControl {
  public:
    using TKivoControl::TKivoControl;

    [[nodiscard]] int32_t Kind() const override { return LT_BOX; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoBox"; }

    [[nodiscard]] int32_t BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int32_t width) { ChangeArea(borderWidth_, width); }
    [[nodiscard]] int32_t BorderColor() const { return borderColor_; }
    void SetBorderColor(int32_t color) { ChangeArea(borderColor_, color); }
    // 0 draws nothing, 1..254 blends, 255 is opaque, 256..511 adds with strength alpha - 256.
    [[nodiscard]] int32_t Alpha() const { return alpha_; }
    void SetAlpha(int32_t alpha) { ChangeArea(alpha_, alpha); }
    [[nodiscard]] const std::string& Source() const { return source_; }
    // A motion file (".kmt") moves the box along its film.
    void SetSource(std::string source);
    [[nodiscard]] bool Repeat() const override { return repeat_; }
    void SetRepeat(bool repeat) { repeat_ = repeat; }
    [[nodiscard]] bool AutoScrap() const override { return autoScrap_; }
    void SetAutoScrap(bool autoScrap) { autoScrap_ = autoScrap; }
    [[nodiscard]] bool Paused() const override { return paused_; }
    void SetPaused(bool paused) { paused_ = paused; }
    [[nodiscard]] std::string IdleHandler() const override { return idleHandler_; }
    void SetIdleHandler(std::string handler) { idleHandler_ = std::move(handler); }
    [[nodiscard]] std::string PlayEndHandler() const override { return playEndHandler_; }
    void SetPlayEndHandler(std::string handler) { playEndHandler_ = std::move(handler); }

    void Draw(TDrawContext& context) override;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  private:
    int32_t borderWidth_ = 0;
    int32_t borderColor_ = -1;
    int32_t alpha_ = 255;
    std::string idleHandler_;
    std::string source_;
    bool repeat_ = false;
    bool autoScrap_ = false;
    std::string playEndHandler_;
    bool paused_ = false;
};

}  // namespace kivo
