#include "scene/kivo_sound.h"

#include <algorithm>

#include "scene/kivo_base_list.h"

namespace kivo {

TKivoSound::~TKivoSound() {
    ReleaseItem();
}

bool TKivoSound::Update() {
    return StepPlayback() == PlayStep::Done;
}

const PropertyMap& TKivoSound::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoComponent::ClassProperties();
        AddPlayerProperties<TKivoSound>(m);
        return m;
    }();
    return map;
}

// ---- Save record ----------------------------------------------------------------------------

void TKivoSound::Save(ByteWriter& writer) const {
    TKivoComponent::Save(writer);
    writer.WriteCountedString(Source());
    writer.WriteU8(Repeat());
    writer.WriteU8(AutoScrap());
    writer.WriteU8(PausedFlag());
    writer.WriteU8(AniPaused());
    writer.WriteU8(Finished());
    writer.WriteI32(Volume());
    writer.WriteI32(Balance());
    writer.WriteI32(FadeTime());
    writer.WriteI32(Position());
    // A short sound that does not repeat is over by the time the game is loaded again.
    const int32_t state = PlayState();
    const bool sounding = state == LP_PLAY || state == LP_PLAYFADE;
    const bool shortOnce = !Repeat() && sounding && Length() < kShortSoundMs;
    writer.WriteU8(static_cast<uint8_t>(shortOnce ? LP_STOP : state));
    writer.WriteCountedString(PlayEndHandler());
    writer.WriteU8(RewindOnLoad());
    writer.WriteU8(MuteOnLoad());
}

void TKivoSound::Load(ByteReader& reader, int32_t version) {
    TKivoComponent::Load(reader, version);
    SetSource(reader.ReadCountedString());
    SetRepeat(reader.ReadBool());
    SetAutoScrap(reader.ReadBool());
    const bool paused = reader.ReadBool();
    SetAniPaused(reader.ReadBool());
    const bool finished = reader.ReadBool();
    SetVolume(reader.ReadI32());
    SetBalance(reader.ReadI32());
    SetFadeTime(reader.ReadI32());
    const int32_t position = reader.ReadI32();
    const uint8_t state = reader.ReadU8();
    SetPlayEndHandler(reader.ReadCountedString());
    SetRewindOnLoad(version >= kSaveVersionRewindOnLoad && reader.ReadBool());
    SetMuteOnLoad(version >= kSaveVersionMuteOnLoad && reader.ReadBool());
    if (state > LP_STOPFADE) reader.Fail("bad sound play state " + std::to_string(state));
    RestoreLoaded(state, position, paused, finished);
}

}  // namespace kivo
