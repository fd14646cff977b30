#include "scene/kivo_prop_motion.h"

#include <cmath>
#include <limits>
#include <numbers>

#include "base/error.h"
#include "scene/kivo_base_list.h"
#include "script/param.h"

namespace kivo {

namespace {

// Truncates toward zero into int32, the ends standing for everything beyond them and NaN
// for 0, where a plain conversion would be undefined.
int32_t SaturatedInt(Extended value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0L) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0L) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

[[nodiscard]] bool IsPropertyId(int32_t id) {
    return id >= 0 && id < kPropertyCount;
}

}  // namespace

Extended MotionValue(int32_t curve, Extended start, Extended end, int32_t elapsed,
                     int32_t duration) {
    constexpr Extended kHalfPi = std::numbers::pi_v<Extended> / 2;
    const Extended e = elapsed;
    const Extended l = duration;
    switch (curve) {
        case MT_INC:
            return end - std::sin((l - e - 1) * kHalfPi / l) * (end - start);
        case MT_DEC:
            return start + std::sin(e * kHalfPi / l) * (end - start);
        default:
            return start + (end - start) * e / l;
    }
}

void TKivoPropMotion::SetUp(const PropMotionSetup& setup) {
    if (!setup.target.empty()) targetName_ = setup.target;
    property_ = setup.property;
    if (setup.endValue) endValue_ = *setup.endValue;
    duration_ = setup.duration;
    curve_ = setup.curve;
    paused_ = setup.paused;
}

TKivoObject* TKivoPropMotion::Target() const {
    return Root().Resolve(target_);
}

bool TKivoPropMotion::Start() {
    started_ = true;
    // The whole id is checked: a large id must not wrap onto a property.
    if (targetName_.empty() || !IsPropertyId(property_)) return false;
    TKivoObject* target = Root().FindComponent(targetName_);
    if (target == nullptr) return false;
    target_ = target->Handle();
    if (keepStart_) return true;
    // A text property that reads as no number has nothing to move.
    try {
        TParamFloat value;
        GetProp(*target, property_, value);
        startValue_ = value.AsFloat();
    } catch (const KivoError&) {
        return false;
    }
    return true;
}

void TKivoPropMotion::Write(Extended value) {
    TKivoObject* target = Target();
    if (target == nullptr) return;
    if (PropertyType(property_) == PT_INT) {
        WriteProperty(*target, property_, SaturatedInt(value));
        return;
    }
    TParamFloat param;
    param.SetFloat(value);
    SetProp(*target, property_, param);
}

bool TKivoPropMotion::Update() {
    if (!started_) {
        if (!Start()) return true;
    } else if (Target() == nullptr) {
        return true;
    }
    if (elapsed_ >= int64_t{duration_} - 1) {
        Write(endValue_);
        return true;
    }
    Write(elapsed_ == 0 ? startValue_
                        : MotionValue(curve_, startValue_, endValue_, elapsed_, duration_));
    elapsed_ = static_cast<int32_t>(
        std::min<int64_t>(int64_t{elapsed_} + Root().State().frameDelta, INT32_MAX));
    return false;
}

const PropertyMap& TKivoPropMotion::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoComponent::ClassProperties();
        m[PR_PAUSED] = Accessor<&TKivoPropMotion::Paused, &TKivoPropMotion::SetPaused>();
        return m;
    }();
    return map;
}

void TKivoPropMotion::Save(ByteWriter& writer) const {
    TKivoComponent::Save(writer);
    const TKivoObject* target = started_ ? Target() : nullptr;
    writer.WriteCountedString(started_ ? (target != nullptr ? target->Name() : std::string())
                                       : targetName_);
    writer.WriteI32(property_);
    writer.WriteExt80(Ext80::FromExtended(endValue_));
    writer.WriteI32(duration_);
    writer.WriteI32(curve_);
    writer.WriteExt80(Ext80::FromExtended(startValue_));
    writer.WriteI32(elapsed_);
    writer.WriteU8(paused_);
}

void TKivoPropMotion::Load(ByteReader& reader, int32_t version) {
    TKivoComponent::Load(reader, version);
    targetName_ = reader.ReadCountedString();
    property_ = reader.ReadI32();
    endValue_ = reader.ReadExt80().ToExtended();
    duration_ = reader.ReadI32();
    curve_ = reader.ReadI32();
    startValue_ = reader.ReadExt80().ToExtended();
    elapsed_ = reader.ReadI32();
    paused_ = version >= kSaveVersionMotionPaused && reader.ReadBool();
    started_ = false;
    target_ = {};
    // A motion under way keeps the start it was saved with; reading the target again would
    // take its halfway value as the start and jump.
    keepStart_ = elapsed_ > 0;
}

}  // namespace kivo
