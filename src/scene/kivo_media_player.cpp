#include "scene/kivo_media_player.h"

#include <algorithm>

#include "base/error.h"
#include "scene/kivo_base_list.h"

namespace kivo {

namespace {

constexpr int32_t kSilent = -10000;
constexpr uint8_t kPlayEndCode = PR_ONPLAYEND;

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

// ---- The item -------------------------------------------------------------------------------

int32_t TKivoMediaPlayer::Now() const {
    return self_.Root().State().gameClock;
}

bool TKivoMediaPlayer::LoadItem() {
    SceneMedia* media = self_.Root().Media();
    if (media == nullptr) return false;
    if (!PlaysWithoutFile() && !media->GameHasFile(source_)) {
        if (autoScrap_) Remove();
        return false;
    }
    const SoundItemRef ref = AddItem(*media);
    if (ref.item == nullptr) return false;
    item_ = ref.item;
    midi_ = ref.midi;
    ItemLoaded();
    item_->SetPan(balance_);
    item_->SetPosition(resumePosition_);
    return true;
}

void TKivoMediaPlayer::ReleaseItem() {
    fade_.reset();
    if (item_ == nullptr) return;
    SoundItem* item = item_;
    item_ = nullptr;
    ItemReleased();
    if (SceneMedia* media = self_.Root().Media()) RemoveItem(*media, item);
}

void TKivoMediaPlayer::Remove() {
    ReleaseItem();
    if (!done_) {
        done_ = true;
        self_.Root().ScheduleDestroy(self_);
    }
}

// ---- Play states ----------------------------------------------------------------------------

void TKivoMediaPlayer::SetPlayState(int32_t state) {
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
            // The name goes free at once, so that a new object of the same name can start
            // while this one fades out.
            self_.Rename(std::string(1, '\x01') + std::string(kScrapPrefix) + self_.Name());
            return;
        default:
            return;
    }
}

void TKivoMediaPlayer::Restart() {
    resumePosition_ = 0;
    paused_ = false;
    finished_ = false;
    if (item_ != nullptr) item_->SetPosition(0);
    SetPlayState(LP_PLAYFADE);
}

void TKivoMediaPlayer::PlayFromHere() {
    paused_ = false;
    finished_ = false;
    SetPlayState(LP_PLAY);
}

TKivoMediaPlayer::PlayStep TKivoMediaPlayer::StepPlayback() {
    if (done_) return PlayStep::Done;
    if (item_ != nullptr && item_->IsEnd()) {
        if (repeat_) {
            item_->SetPosition(0);
            item_->Play();
        } else if (!finished_) {
            // Some items keep reporting their end while it lasts: it is handled once.
            finished_ = true;
            if (autoScrap_) return PlayStep::Done;
            self_.PostEvent(kPlayEndCode, playEndHandler_);
        }
    }
    if (fade_ && item_ != nullptr && fade_->Step(*item_, midi_, Now())) {
        const bool fadedOut = !fade_->FadeIn();
        fade_.reset();
        if (fadedOut) return PlayStep::Done;
    }
    return PlayStep::Going;
}

// ---- Properties -----------------------------------------------------------------------------

void TKivoMediaPlayer::SetSource(std::string source) {
    ReleaseItem();
    source_ = std::move(source);
    playState_ = LP_STOP;
    paused_ = false;
    resumePosition_ = 0;
    finished_ = false;
}

void TKivoMediaPlayer::SetVolume(int32_t volume) {
    volume_ = volume;
    if (item_ != nullptr && !fade_ && !Held()) item_->SetVolume(Level());
}

void TKivoMediaPlayer::SetBalance(int32_t balance) {
    balance_ = std::clamp(balance, -10000, 10000);
    if (item_ != nullptr) item_->SetPan(balance_);
}

void TKivoMediaPlayer::SetRepeat(bool repeat) {
    const bool rewind = repeat && finished_ && !paused_ && item_ != nullptr;
    repeat_ = repeat;
    if (!rewind) return;
    finished_ = false;
    item_->SetPosition(0);
    item_->Play();
}

void TKivoMediaPlayer::SetPaused(bool paused) {
    if (paused == paused_) return;
    paused_ = paused;
    ApplyHold();
}

void TKivoMediaPlayer::SetAniPaused(bool paused) {
    if (paused == aniPaused_) return;
    aniPaused_ = paused;
    ApplyHold();
}

void TKivoMediaPlayer::ApplyHold() {
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

int32_t TKivoMediaPlayer::Position() const {
    return item_ != nullptr ? item_->GetPosition() : resumePosition_;
}

void TKivoMediaPlayer::SetPosition(int32_t ms) {
    if (item_ == nullptr) {
        resumePosition_ = ms;
        return;
    }
    item_->SetPosition(ms);
    finished_ = false;
    if (!paused_ && !item_->IsPlaying()) item_->Play();
}

int32_t TKivoMediaPlayer::Length() const {
    if (item_ != nullptr) return item_->GetLength();
    SceneMedia* media = self_.Root().Media();
    if (media == nullptr || source_.empty()) return 0;
    // Measured on an item of its own, opened only for that; unplayable data measures 0.
    try {
        const SoundItemRef ref = AddItem(*media);
        if (ref.item == nullptr) return 0;
        const int32_t length = ref.item->GetLength();
        RemoveItem(*media, ref.item);
        return length;
    } catch (const KivoError&) {
        return 0;
    }
}

bool TKivoMediaPlayer::Playing() const {
    return item_ != nullptr && item_->IsPlaying();
}

// ---- Loading --------------------------------------------------------------------------------

void TKivoMediaPlayer::RestoreLoaded(int32_t state, int32_t position, bool paused, bool finished) {
    resumePosition_ = rewindOnLoad_ ? 0 : position;
    if (muteOnLoad_) volume_ = 0;
    paused_ = paused;
    finished_ = finished;
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
