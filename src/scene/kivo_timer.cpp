#include "scene/kivo_timer.h"

#include "scene/kivo_base_list.h"

namespace kivo {

namespace {

constexpr uint8_t kNotifyCode = PR_ONNOTIFY;

}  // namespace

TKivoTimer::TKivoTimer(TKivoBaseList& root)
    : TKivoComponent(root), startTime_(root.State().gameClock) {}

void TKivoTimer::Restart() {
    Root().Events().RemovePending(Handle());
    startTime_ = Root().State().gameClock;
}

void TKivoTimer::SetHandler(std::string handler) {
    handler_ = std::move(handler);
    Restart();
}

void TKivoTimer::SetInterval(int32_t ms) {
    interval_ = ms;
    Restart();
}

void TKivoTimer::SetPaused(bool paused) {
    paused_ = paused;
    Restart();
}

void TKivoTimer::Fire() {
    PostEvent(kNotifyCode, handler_, {}, true);
    fired_ = true;
}

bool TKivoTimer::Update() {
    if (fired_ && autoScrap_) return !Root().Events().Contains(Handle(), kNotifyCode);
    if (interval_ < 0) return false;
    if (interval_ == 0) {
        Fire();
        return false;
    }
    // 64 bits: the clock and the interval may each be near the int32 limits.
    const int64_t now = Root().State().gameClock;
    if (now - startTime_ >= interval_) {
        startTime_ = static_cast<int32_t>(int64_t{startTime_} + interval_);
        Fire();
    }
    return false;
}

const PropertyMap& TKivoTimer::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoComponent::ClassProperties();
        m[PR_ONNOTIFY] = Accessor<&TKivoTimer::Handler, &TKivoTimer::SetHandler>();
        m[PR_DELAY] = Accessor<&TKivoTimer::Interval, &TKivoTimer::SetInterval>();
        m[PR_PAUSED] = Accessor<&TKivoTimer::Paused, &TKivoTimer::SetPaused>();
        m[PR_AUTOSCRAP] = Accessor<&TKivoTimer::AutoScrap, &TKivoTimer::SetAutoScrap>();
        return m;
    }();
    return map;
}

void TKivoTimer::Save(ByteWriter& writer) const {
    TKivoComponent::Save(writer);
    writer.WriteCountedString(handler_);
    writer.WriteI32(interval_);
    writer.WriteU8(paused_);
    writer.WriteU8(autoScrap_);
    writer.WriteU8(fired_);
}

void TKivoTimer::Load(ByteReader& reader, int32_t version) {
    TKivoComponent::Load(reader, version);
    handler_ = reader.ReadCountedString();
    interval_ = reader.ReadI32();
    paused_ = reader.ReadBool();
    if (version >= kSaveVersionTimerScrap) {
        autoScrap_ = reader.ReadBool();
        fired_ = reader.ReadBool();
    }
    startTime_ = Root().State().gameClock;
}

}  // namespace kivo
