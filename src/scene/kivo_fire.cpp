#include "scene/kivo_fire.h"

#include <algorithm>
#include <limits>

#include "scene/kivo_base_list.h"

namespace kivo {

namespace {

int32_t Zoomed(int32_t base, int32_t zoom) {
    return static_cast<int32_t>(std::min<int64_t>(int64_t{base} * zoom / 256,
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

void TKivoFire::SetBaseWidth(int32_t width) {
    fire_.SetBaseSize(width, fire_.BaseHeight());
    Resize();
}

void TKivoFire::SetBaseHeight(int32_t height) {
    fire_.SetBaseSize(fire_.BaseWidth(), height);
    Resize();
}

void TKivoFire::SetZoomX(int32_t zoom) {
    zoomX_ = std::max(zoom, 1);
    Resize();
}

void TKivoFire::SetZoomY(int32_t zoom) {
    zoomY_ = std::max(zoom, 1);
    Resize();
}

void TKivoFire::Resize() {
    TKivoControl::SetWidth(Zoomed(fire_.BaseWidth(), zoomX_));
    TKivoControl::SetHeight(Zoomed(fire_.BaseHeight(), zoomY_));
}

bool TKivoFire::Update() {
    const int32_t elapsed = AniPaused() ? 0 : Root().State().frameDelta;
    if (fire_.Advance(elapsed, Root().Random())) Invalidate();
    return TKivoControl::Update();
}

void TKivoFire::Draw(TDrawContext& context) {
    fire_.Draw(context, AbsLeft(), AbsTop(), zoomX_, zoomY_);
    TKivoControl::Draw(context);
}

const PropertyMap& TKivoFire::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoControl::ClassProperties();
        m[PR_POWER] = Accessor<&TKivoFire::Power, &TKivoFire::SetPower>();
        m[PR_ORIGWIDTH] = Accessor<&TKivoFire::BaseWidth, &TKivoFire::SetBaseWidth>();
        m[PR_ORIGHEIGHT] = Accessor<&TKivoFire::BaseHeight, &TKivoFire::SetBaseHeight>();
        m[PR_ZOOMX] = Accessor<&TKivoFire::ZoomX, &TKivoFire::SetZoomX>();
        m[PR_ZOOMY] = Accessor<&TKivoFire::ZoomY, &TKivoFire::SetZoomY>();
        m[PR_PAUSED] = Accessor<&TKivoFire::PausedFlag, &TKivoFire::SetPausedFlag>();
        m[PR_PLAYING] = Accessor<&TKivoFire::FirePlaying>();
        m[PR_ONIDLE] = Accessor<&TKivoFire::IdleHandler, &TKivoFire::SetIdleHandler>();
        return m;
    }();
    return map;
}

void TKivoFire::Save(ByteWriter& writer) const {
    TKivoControl::Save(writer);
    writer.WriteI32(fire_.Power());
    writer.WriteI32(fire_.BaseWidth());
    writer.WriteI32(fire_.BaseHeight());
    writer.WriteI32(zoomX_);
    writer.WriteCountedString(idleHandler_);
    writer.WriteBool(paused_);
    writer.WriteI32(zoomY_);
}

void TKivoFire::Load(ByteReader& reader, int32_t version) {
    TKivoControl::Load(reader, version);
    SetPower(reader.ReadI32());
    const int32_t width = reader.ReadI32();
    const int32_t height = reader.ReadI32();
    fire_.SetBaseSize(width, height);
    const int32_t zoomX = reader.ReadI32();
    int32_t zoomY = zoomX;
    if (version >= kSaveVersionSubPriority) {
        idleHandler_ = reader.ReadCountedString();
        paused_ = reader.ReadBool();
        zoomY = reader.ReadI32();
    }
    SetZoomX(zoomX);
    SetZoomY(zoomY);
}

}  // namespace kivo
