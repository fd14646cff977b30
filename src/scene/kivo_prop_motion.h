#pragma once
// A property motion: moves one numeric property of another object from the value it has when
// the motion starts to an end value over a duration of game time, along a straight line or
// one of two sine eases, and goes when it arrives or when its target leaves the scene.

#include <cstdint>
#include <optional>
#include <string>

#include "base/ext80.h"
#include "scene/kivo_object.h"

namespace kivo {

// The save version that added the paused flag (read above 125).
inline constexpr int32_t kSaveVersionMotionPaused = 126;

// What the PropMotion command sets up.
struct PropMotionSetup {
    std::string target;      // empty: keep the current one
    int32_t property = 255;  // PR id; anything outside 0..161 moves nothing
    std::optional<Extended> endValue;
    int32_t duration = 0;
    int32_t curve = MT_NORMAL;
    bool paused = false;
};

// The value at elapsed ms of duration ms from start to end (elapsed below duration - 1):
// MT_INC eases in, MT_DEC eases out, anything else is linear.
[[nodiscard]] Extended MotionValue(int32_t curve, Extended start, Extended end, int32_t elapsed,
                                   int32_t duration);

class TKivoPropMotion final : public TKivoComponent {
  public:
    using TKivoComponent::TKivoComponent;

    [[nodiscard]] int32_t Kind() const override { return LT_PROPMOTION; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoPropMotion"; }
    [[nodiscard]] bool Paused() const override { return paused_; }
    [[nodiscard]] bool Update() override;

    void SetUp(const PropMotionSetup& setup);
    void SetPaused(bool paused) { paused_ = paused; }
    [[nodiscard]] int32_t Elapsed() const { return elapsed_; }

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  private:
    // Finds the target and reads the start value; false when there is nothing to move.
    bool Start();
    void Write(Extended value);
    [[nodiscard]] TKivoObject* Target() const;

    std::string targetName_;
    ObjectHandle target_;
    bool started_ = false;
    bool keepStart_ = false;
    int32_t property_ = 255;
    Extended startValue_ = 0;
    Extended endValue_ = 0;
    int32_t duration_ = 0;
    int32_t curve_ = MT_NORMAL;
    int32_t elapsed_ = 0;
    bool paused_ = false;
};

}  // namespace kivo
