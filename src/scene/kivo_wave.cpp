#include "scene/kivo_wave.h"

#include <algorithm>

#include "imaging/draw_context.h"
#include "scene/kivo_base_list.h"

namespace kivo {

void TKivoWave::SetAmplitude(int32_t amplitude) {
    if (amplitude == wave_.Amplitude()) return;
    ChangeRipple([&] { wave_.SetAmplitude(amplitude); });
}

void TKivoWave::SetWavelength(int32_t rows) {
    if (rows == wave_.Wavelength()) return;
    ChangeRipple([&] { wave_.SetWavelength(rows); });
}

void TKivoWave::SetWidth(int32_t width) {
    TKivoControl::SetWidth(width);
    Reshape();
}

void TKivoWave::SetHeight(int32_t height) {
    TKivoControl::SetHeight(height);
    Reshape();
}

void TKivoWave::Reshape() {
    surface_.SetSize(std::clamp(Width(), 0, kMaxRows), std::clamp(Height(), 0, kMaxRows), 32);
    (void)wave_.ComputeOffsets(surface_.RowOffsets);
}

bool TKivoWave::Update() {
    if (!AniPaused() && wave_.Advance(Root().State().frameDelta, surface_.RowOffsets))
        Invalidate();
    return TKivoControl::Update();
}

void TKivoWave::Draw(TDrawContext& context) {
    // SetBounds and loading reshape the object without the width and height setters.
    if (surface_.Width() != std::clamp(Width(), 0, kMaxRows) ||
        surface_.Height() != std::clamp(Height(), 0, kMaxRows)) {
        Reshape();
    }
    if (wave_.Amplitude() == 0 || surface_.RowOffsets.empty()) {
        TKivoControl::Draw(context);
        return;
    }
    surface_.SetTarget(context);
    surface_.OriginX = AbsLeft();
    surface_.OriginY = AbsTop();
    // A row shifted by the offset brings in content from up to the amplitude beside the part
    // being drawn again.
    TDrawContext rippled(surface_, wave_.Widen(context.DrawingRect()));
    DrawChildren(rippled);
}

const PropertyMap& TKivoWave::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoControl::ClassProperties();
        m[PR_AMP] = Accessor<&TKivoWave::Amplitude, &TKivoWave::SetAmplitude>();
        m[PR_WAVELEN] = Accessor<&TKivoWave::Wavelength, &TKivoWave::SetWavelength>();
        m[PR_DELAY] = Accessor<&TKivoWave::Period, &TKivoWave::SetPeriod>();
        m[PR_PAUSED] = Accessor<&TKivoWave::PausedFlag, &TKivoWave::SetPausedFlag>();
        m[PR_PLAYING] = Accessor<&TKivoWave::WavePlaying>();
        m[PR_ONIDLE] = Accessor<&TKivoWave::IdleHandler, &TKivoWave::SetIdleHandler>();
        return m;
    }();
    return map;
}

void TKivoWave::Save(ByteWriter& writer) const {
    TKivoControl::Save(writer);
    writer.WriteI32(wave_.Amplitude());
    writer.WriteI32(wave_.Wavelength());
    writer.WriteI32(wave_.Period());
    writer.WriteCountedString(idleHandler_);
    writer.WriteBool(paused_);
}

void TKivoWave::Load(ByteReader& reader, int32_t version) {
    TKivoControl::Load(reader, version);
    wave_.SetAmplitude(reader.ReadI32());
    wave_.SetWavelength(reader.ReadI32());
    wave_.SetPeriod(reader.ReadI32());
    if (version >= kSaveVersionSubPriority) {
        idleHandler_ = reader.ReadCountedString();
        paused_ = reader.ReadBool();
    }
    Reshape();
}

}  // namespace kivo
