#include "scene/kivo_sound.h"

#include <algorithm>

#include "base/error.h"
#include "scene/kivo_base_list.h"

namespace kivo {

namespace {

constexpr int32_t kSilent = -10000;
constexpr uint8_t kPlayEndCode = PR_ONPLAYEND;

[[nodiscard]] bool IsCdTrack(std::string_view name) {
    return name.starts_with("CD_");
}

}  // namespace

int32_t SoundLevel(int32_t volume, bool midi) {
    if (midi) return static_cast<int32_t>(int64_t{volume} * 10 - 10000);
    if (volume <= 0) return kSilent;
    if (volume > 1000) return 0;
    return 5 * volume - 5000;
}

// ---- TKivoMixer -----------------------------------------------------------------------------

int32_t TKivoMixer::LevelAt(int64_t t, bool midi) const {
    const int64_t d = int64_t{target_} - start_;
    if (midi) return static_cast<int32_t>(start_ + t * d / duration_);
    // Wave levels are decibels: only the upper half of the range is heard, so a fade-in
    // starts there and a fade-out ends there and then jumps to the target.
    const int64_t h = d / 2;
    if (fadeIn_) return static_cast<int32_t>(start_ + h + t * h / duration_);
    return static_cast<int32_t>(start_ + t * h / duration_);
}

bool TKivoMixer::Step(SoundItem& item, bool midi, int32_t now) {
    if (!started_) {
        started_ = true;
        startTime_ = now;
        if (fadeIn_) {
            item.SetVolume(kSilent);
            item.Play();
            start_ = kSilent;
        } else {
            start_ = item.GetVolume();
            target_ = kSilent;
        }
        return false;
    }
    const int64_t t = int64_t{now} - startTime_;
    if (t >= duration_) {
        item.SetVolume(target_);
        return true;
    }
    item.SetVolume(LevelAt(t, midi));
    return false;
}

// ---- TKivoSound -----------------------------------------------------------------------------

TKivoSound::~TKivoSound() {
    ReleaseItem();
}

int32_t TKivoSound::Now() const {
    return Root().State().gameClock;
}

bool TKivoSound::LoadItem() {
    SceneMedia* media = Root().Media();
    if (media == nullptr) return false;
    if (!IsCdTrack(source_) && !media->GameHasFile(source_)) {
        if (autoScrap_) Remove();
        return false;
    }
    const SoundItemRef ref = media->AddSound(source_);
    if (ref.item == nullptr) return false;
    item_ = ref.item;
    midi_ = ref.midi;
    item_->SetPan(balance_);
    item_->SetPosition(resumePosition_);
    return true;
}

void TKivoSound::ReleaseItem() {
    fade_.reset();
    if (item_ == nullptr) return;
    SoundItem* item = item_;
    item_ = nullptr;
    if (SceneMedia* media = Root().Media()) media->RemoveSound(item);
}

void TKivoSound::Remove() {
    ReleaseItem();
    if (!done_) {
        done_ = true;
        Root().ScheduleDestroy(*this);
    }
}

void TKivoSound::StartFade(bool fadeIn) {
    fade_.emplace(fadeIn, Level(), fadeTime_);
}

void TKivoSound::SetPlayState(int32_t state) {
    fade_.reset();
    if (state == LP_PLAYFADE && fadeTime_ <= 0) state = LP_PLAY;
    playState_ = state;
    switch (state) {
        case LP_PLAY:
        case LP_PLAYFADE:
            if (item_ == nullptr && !LoadItem()) return;
            if (state == LP_PLAY) {
                item_->SetVolume(Held() ? kSilent : Level());
                if (Held()) {
                    item_->Pause();
                } else {
                    item_->Play();
                }
            } else if (!Held()) {
                StartFade(true);
            }
            return;
        case LP_STOP:
            resumePosition_ = 0;
            Remove();
            return;
        case LP_STOPFADE:
            if (item_ == nullptr) {
                Remove();
                return;
            }
            StartFade(false);
            resumePosition_ = 0;
            // The name goes free at once, so that a new sound of the same name can start
            // while this one fades out.
            Rename(std::string(1, '\x01') + std::string(kScrapPrefix) + Name());
            return;
        default:
            return;
    }
}

void TKivoSound::PlayFromHere() {
    paused_ = false;
    finished_ = false;
    SetPlayState(LP_PLAY);
}

void TKivoSound::Restart() {
    resumePosition_ = 0;
    paused_ = false;
    finished_ = false;
    if (item_ != nullptr) item_->SetPosition(0);
    SetPlayState(LP_PLAYFADE);
}

bool TKivoSound::Update() {
    if (done_) return true;
    if (item_ != nullptr && item_->IsEnd()) {
        if (repeat_) {
            item_->SetPosition(0);
            item_->Play();
        } else {
            finished_ = true;
            if (autoScrap_) return true;
            PostEvent(kPlayEndCode, playEndHandler_);
        }
    }
    if (fade_ && item_ != nullptr && fade_->Step(*item_, midi_, Now())) {
        const bool fadedOut = !fade_->FadeIn();
        fade_.reset();
        if (fadedOut) return true;
    }
    return false;
}

// ---- Properties -----------------------------------------------------------------------------

void TKivoSound::SetSource(std::string source) {
    ReleaseItem();
    source_ = std::move(source);
    playState_ = LP_STOP;
    paused_ = false;
    resumePosition_ = 0;
    finished_ = false;
}

void TKivoSound::SetVolume(int32_t volume) {
    volume_ = volume;
    if (item_ != nullptr && !fade_ && !Held()) item_->SetVolume(Level());
}

void TKivoSound::SetBalance(int32_t balance) {
    balance_ = std::clamp(balance, -10000, 10000);
    if (item_ != nullptr) item_->SetPan(balance_);
}

void TKivoSound::SetRepeat(bool repeat) {
    const bool rewind = repeat && finished_ && !paused_ && item_ != nullptr;
    repeat_ = repeat;
    if (!rewind) return;
    finished_ = false;
    item_->SetPosition(0);
    item_->Play();
}

void TKivoSound::SetPaused(bool paused) {
    if (paused == paused_) return;
    paused_ = paused;
    ApplyHold();
}

void TKivoSound::SetAniPaused(bool paused) {
    if (paused == aniPaused_) return;
    aniPaused_ = paused;
    ApplyHold();
}

void TKivoSound::ApplyHold() {
    if (item_ == nullptr) return;
    if (Held()) {
        item_->SetVolume(kSilent);
        item_->Pause();
    } else if (playState_ == LP_PLAYFADE) {
        StartFade(true);
    } else {
        item_->SetVolume(Level());
        item_->Play();
    }
}

int32_t TKivoSound::Position() const {
    return item_ != nullptr ? item_->GetPosition() : resumePosition_;
}

void TKivoSound::SetPosition(int32_t ms) {
    if (item_ == nullptr) {
        resumePosition_ = ms;
        return;
    }
    item_->SetPosition(ms);
    finished_ = false;
    if (!paused_ && !item_->IsPlaying()) item_->Play();
}

int32_t TKivoSound::Length() const {
    if (item_ != nullptr) return item_->GetLength();
    SceneMedia* media = Root().Media();
    if (media == nullptr || source_.empty()) return 0;
    // Measured on an item of its own, opened only for that; unplayable data measures 0.
    try {
        const SoundItemRef ref = media->AddSound(source_);
        if (ref.item == nullptr) return 0;
        const int32_t length = ref.item->GetLength();
        media->RemoveSound(ref.item);
        return length;
    } catch (const KivoError&) {
        return 0;
    }
}

bool TKivoSound::Playing() const {
    return item_ != nullptr && item_->IsPlaying();
}

const PropertyMap& TKivoSound::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoComponent::ClassProperties();
        m[PR_SOURCE] = Accessor<&TKivoSound::Source, &TKivoSound::SetSource>();
        m[PR_VOLUME] = Accessor<&TKivoSound::Volume, &TKivoSound::SetVolume>();
        m[PR_BALANCE] = Accessor<&TKivoSound::Balance, &TKivoSound::SetBalance>();
        m[PR_DELAY] = Accessor<&TKivoSound::FadeTime, &TKivoSound::SetFadeTime>();
        m[PR_REPEAT] = Accessor<&TKivoSound::Repeat, &TKivoSound::SetRepeat>();
        m[PR_PAUSED] = Accessor<&TKivoSound::PausedFlag, &TKivoSound::SetPaused>();
        m[PR_ANIPAUSED] = Accessor<&TKivoSound::AniPaused, &TKivoSound::SetAniPaused>();
        m[PR_INDEX] = Accessor<&TKivoSound::Position, &TKivoSound::SetPosition>();
        m[PR_COUNT] = Accessor<&TKivoSound::Length>();
        m[PR_PLAYING] = Accessor<&TKivoSound::Playing>();
        m[PR_AUTOSCRAP] = Accessor<&TKivoSound::AutoScrap, &TKivoSound::SetAutoScrap>();
        m[PR_REWINDONLOAD] = Accessor<&TKivoSound::RewindOnLoad, &TKivoSound::SetRewindOnLoad>();
        m[PR_MUTEONLOAD] = Accessor<&TKivoSound::MuteOnLoad, &TKivoSound::SetMuteOnLoad>();
        m[PR_ONPLAYEND] = Accessor<&TKivoSound::PlayEndHandler, &TKivoSound::SetPlayEndHandler>();
        return m;
    }();
    return map;
}

// ---- Save record ----------------------------------------------------------------------------

void TKivoSound::Save(ByteWriter& writer) const {
    TKivoComponent::Save(writer);
    writer.WriteCountedString(source_);
    writer.WriteU8(repeat_);
    writer.WriteU8(autoScrap_);
    writer.WriteU8(paused_);
    writer.WriteU8(aniPaused_);
    writer.WriteU8(finished_);
    writer.WriteI32(volume_);
    writer.WriteI32(balance_);
    writer.WriteI32(fadeTime_);
    writer.WriteI32(Position());
    // A short sound that does not repeat is over by the time the game is loaded again.
    const bool sounding = playState_ == LP_PLAY || playState_ == LP_PLAYFADE;
    const bool shortOnce = !repeat_ && sounding && Length() < kShortSoundMs;
    writer.WriteU8(static_cast<uint8_t>(shortOnce ? LP_STOP : playState_));
    writer.WriteCountedString(playEndHandler_);
    writer.WriteU8(rewindOnLoad_);
    writer.WriteU8(muteOnLoad_);
}

void TKivoSound::Load(ByteReader& reader, int32_t version) {
    TKivoComponent::Load(reader, version);
    SetSource(reader.ReadCountedString());
    repeat_ = reader.ReadBool();
    autoScrap_ = reader.ReadBool();
    const bool paused = reader.ReadBool();
    aniPaused_ = reader.ReadBool();
    finished_ = reader.ReadBool();
    volume_ = reader.ReadI32();
    balance_ = std::clamp(reader.ReadI32(), -10000, 10000);
    fadeTime_ = reader.ReadI32();
    const int32_t position = reader.ReadI32();
    const uint8_t state = reader.ReadU8();
    playEndHandler_ = reader.ReadCountedString();
    rewindOnLoad_ = version >= kSaveVersionRewindOnLoad && reader.ReadBool();
    muteOnLoad_ = version >= kSaveVersionMuteOnLoad && reader.ReadBool();
    if (state > LP_STOPFADE) reader.Fail("bad sound play state " + std::to_string(state));

    resumePosition_ = rewindOnLoad_ ? 0 : position;
    if (muteOnLoad_) volume_ = 0;
    paused_ = paused;
    if (finished_) {
        playState_ = state;
    } else if (state == LP_STOPFADE) {
        // The fade-out starts again from full level.
        SetPlayState(LP_PLAY);
        SetPlayState(LP_STOPFADE);
    } else {
        SetPlayState(state);
    }
}

}  // namespace kivo
