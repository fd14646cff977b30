#include "scene/kivo_video.h"

#include <algorithm>
#include <cstring>

#include "base/error.h"
#include "imaging/draw_context.h"
#include "scene/kivo_base_list.h"

namespace kivo {

namespace {

constexpr int32_t kSilent = -10000;
constexpr uint8_t kPlayEndCode = PR_ONPLAYEND;

// Layer pixels back to video pixels through a zoom (256 = 100 %).
int32_t Unzoomed(int64_t pixels, int32_t zoom) {
    return static_cast<int32_t>(pixels * 256 / std::max(zoom, 1));
}

}  // namespace

TKivoVideo::~TKivoVideo() {
    ReleaseItem();
}

int32_t TKivoVideo::Now() const {
    return Root().State().gameClock;
}

// ---- The item ---------------------------------------------------------------------------------

bool TKivoVideo::LoadItem() {
    SceneMedia* media = Root().Media();
    if (media == nullptr) return false;
    if (!media->GameHasFile(source_)) {
        if (autoScrap_) Remove();
        return false;
    }
    const VideoItemRef ref = media->AddVideo(source_, overlay_);
    if (ref.item == nullptr || ref.frames == nullptr) return false;
    item_ = ref.item;
    frames_ = ref.frames;
    const int32_t width = std::max(frames_->SourceWidth(), 0);
    const int32_t height = std::max(frames_->SourceHeight(), 0);
    if (width > 0 && height > 0) {
        Invalidate();
        OwnSurface().SetSize(width, height, 32);
        // Black until the first frame arrives.
        for (int32_t y = 0; y < height; ++y) {
            if (uint8_t* row = OwnSurface().PixelAddress(0, y))
                std::memset(row, 0, static_cast<size_t>(width) * sizeof(uint32_t));
        }
        OwnSurface().EndAccess();
        RefreshSize();
        Invalidate();
    }
    item_->SetPan(balance_);
    item_->SetPosition(resumePosition_);
    startTime_ = Now();
    lastPull_.reset();
    placed_.reset();
    return true;
}

void TKivoVideo::ReleaseItem() {
    fade_.reset();
    framePending_ = false;
    if (item_ == nullptr) return;
    SoundItem* item = item_;
    item_ = nullptr;
    frames_ = nullptr;
    if (SceneMedia* media = Root().Media()) media->RemoveVideo(item);
}

void TKivoVideo::Remove() {
    ReleaseItem();
    if (!done_) {
        done_ = true;
        Root().ScheduleDestroy(*this);
    }
}

// ---- Play states ------------------------------------------------------------------------------

void TKivoVideo::SetPlayState(int32_t state) {
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
            Rename(std::string(1, '\x01') + std::string(TKivoSound::kScrapPrefix) + Name());
            return;
        default:
            return;
    }
}

void TKivoVideo::Restart() {
    resumePosition_ = 0;
    paused_ = false;
    finished_ = false;
    if (item_ != nullptr) item_->SetPosition(0);
    SetPlayState(LP_PLAYFADE);
}

// ---- Frame work -------------------------------------------------------------------------------

bool TKivoVideo::Update() {
    if (done_) return true;
    if (item_ != nullptr && item_->IsEnd()) {
        if (repeat_) {
            item_->SetPosition(0);
            item_->Play();
        } else if (!finished_) {
            // A video's end lasts (it has no latch): it is handled once.
            finished_ = true;
            if (autoScrap_) return true;
            PostEvent(kPlayEndCode, playEndHandler_);
        }
    }
    if (fade_ && item_ != nullptr && fade_->Step(*item_, false, Now())) {
        const bool fadedOut = !fade_->FadeIn();
        fade_.reset();
        if (fadedOut) {
            Invalidate();
            return true;
        }
    }
    PullFrame();
    if (overlay_) PlaceOverlay();
    return false;
}

void TKivoVideo::PullFrame() {
    if (frames_ == nullptr) return;
    const int32_t now = Now();
    if (lastPull_ && int64_t{now} - *lastPull_ < kFramePullMs) return;
    lastPull_ = now;
    if (!frames_->NeedPaint()) return;
    framePending_ = true;
    Invalidate();
}

void TKivoVideo::CopyFrame() {
    framePending_ = false;
    if (frames_ == nullptr) return;
    TDIBX& surface = OwnSurface();
    const std::span<const uint32_t> frame = frames_->Frame();
    const int32_t width = surface.Width();
    const int32_t height = surface.Height();
    if (width != frames_->SourceWidth() || height != frames_->SourceHeight() ||
        frame.size() < static_cast<size_t>(width) * static_cast<size_t>(height)) {
        return;
    }
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = surface.PixelAddress(0, y);
        if (row == nullptr) break;
        std::memcpy(row, frame.data() + static_cast<size_t>(y) * static_cast<size_t>(width),
                    static_cast<size_t>(width) * sizeof(uint32_t));
    }
    surface.EndAccess();
}

void TKivoVideo::Draw(TDrawContext& context) {
    if (framePending_) CopyFrame();
    TKivoCustomImage::Draw(context);
}

std::optional<TKivoVideo::OverlayPlace> TKivoVideo::OverlayPlacement() const {
    if (!Visible() || SurfaceWidth() <= 0 || SurfaceHeight() <= 0) return std::nullopt;
    const TRect screen = VisibleBounds();
    if (screen.IsEmpty()) return std::nullopt;
    const int32_t left = AbsLeft(), top = AbsTop();
    const int32_t zoomX = ZoomX(), zoomY = ZoomY();
    const TRect video{Unzoomed(int64_t{screen.Left} - left, zoomX),
                      Unzoomed(int64_t{screen.Top} - top, zoomY),
                      Unzoomed(int64_t{screen.Right} - left, zoomX),
                      Unzoomed(int64_t{screen.Bottom} - top, zoomY)};
    return OverlayPlace{screen, Intersect(video, TRect{0, 0, SurfaceWidth(), SurfaceHeight()})};
}

void TKivoVideo::PlaceOverlay() {
    if (frames_ == nullptr) return;
    const std::optional<OverlayPlace> place = OverlayPlacement();
    if (place == placed_ && lastPull_) return;
    placed_ = place;
    if (place) frames_->SetRect(place->screen, place->video);
    frames_->SetVisible(place.has_value());
}

// ---- Properties -------------------------------------------------------------------------------

void TKivoVideo::SetSource(std::string source) {
    ReleaseItem();
    source_ = std::move(source);
    playState_ = LP_STOP;
    paused_ = false;
    resumePosition_ = 0;
    finished_ = false;
}

void TKivoVideo::SetVolume(int32_t volume) {
    volume_ = volume;
    if (item_ != nullptr && !fade_ && !Held()) item_->SetVolume(Level());
}

void TKivoVideo::SetBalance(int32_t balance) {
    balance_ = std::clamp(balance, -10000, 10000);
    if (item_ != nullptr) item_->SetPan(balance_);
}

void TKivoVideo::SetRepeat(bool repeat) {
    const bool rewind = repeat && finished_ && !paused_ && item_ != nullptr;
    repeat_ = repeat;
    if (!rewind) return;
    finished_ = false;
    item_->SetPosition(0);
    item_->Play();
}

void TKivoVideo::SetPaused(bool paused) {
    if (paused == paused_) return;
    paused_ = paused;
    ApplyHold();
}

void TKivoVideo::SetMediaAniPaused(bool paused) {
    if (paused == AniPaused()) return;
    SetAniPaused(paused);
    ApplyHold();
}

void TKivoVideo::ApplyHold() {
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

void TKivoVideo::SetOverlay(bool overlay) {
    overlay_ = overlay;
    placed_.reset();
}

int32_t TKivoVideo::Position() const {
    return item_ != nullptr ? item_->GetPosition() : resumePosition_;
}

void TKivoVideo::SetPosition(int32_t ms) {
    if (item_ == nullptr) {
        resumePosition_ = ms;
        return;
    }
    item_->SetPosition(ms);
    finished_ = false;
    lastPull_.reset();
    if (!paused_ && !item_->IsPlaying()) item_->Play();
}

int32_t TKivoVideo::Length() const {
    if (item_ != nullptr) return item_->GetLength();
    SceneMedia* media = Root().Media();
    if (media == nullptr || source_.empty() || !media->GameHasFile(source_)) return 0;
    // Measured on an item of its own, opened only for that.
    try {
        const VideoItemRef ref = media->AddVideo(source_, overlay_);
        if (ref.item == nullptr) return 0;
        const int32_t length = ref.item->GetLength();
        media->RemoveVideo(ref.item);
        return length;
    } catch (const KivoError&) {
        return 0;
    }
}

bool TKivoVideo::ItemPlaying() const {
    return item_ != nullptr && item_->IsPlaying();
}

const PropertyMap& TKivoVideo::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoCustomImage::ClassProperties();
        m[PR_SOURCE] = Accessor<&TKivoVideo::Source, &TKivoVideo::SetSource>();
        m[PR_VOLUME] = Accessor<&TKivoVideo::Volume, &TKivoVideo::SetVolume>();
        m[PR_BALANCE] = Accessor<&TKivoVideo::Balance, &TKivoVideo::SetBalance>();
        m[PR_DELAY] = Accessor<&TKivoVideo::FadeTime, &TKivoVideo::SetFadeTime>();
        m[PR_REPEAT] = Accessor<&TKivoVideo::Repeat, &TKivoVideo::SetRepeat>();
        m[PR_PAUSED] = Accessor<&TKivoVideo::PausedFlag, &TKivoVideo::SetPaused>();
        m[PR_ANIPAUSED] = Accessor<&TKivoVideo::MediaAniPaused, &TKivoVideo::SetMediaAniPaused>();
        m[PR_INDEX] = Accessor<&TKivoVideo::Position, &TKivoVideo::SetPosition>();
        m[PR_COUNT] = Accessor<&TKivoVideo::Length>();
        m[PR_PLAYING] = Accessor<&TKivoVideo::ItemPlaying>();
        m[PR_AUTOSCRAP] = Accessor<&TKivoVideo::AutoScrap, &TKivoVideo::SetAutoScrap>();
        m[PR_REWINDONLOAD] = Accessor<&TKivoVideo::RewindOnLoad, &TKivoVideo::SetRewindOnLoad>();
        m[PR_MUTEONLOAD] = Accessor<&TKivoVideo::MuteOnLoad, &TKivoVideo::SetMuteOnLoad>();
        m[PR_OVERLAY] = Accessor<&TKivoVideo::Overlay, &TKivoVideo::SetOverlay>();
        m[PR_ONPLAYEND] = Accessor<&TKivoVideo::PlayEndHandler, &TKivoVideo::SetPlayEndHandler>();
        m[PR_ONIDLE] = Accessor<&TKivoVideo::IdleHandler, &TKivoVideo::SetIdleHandler>();
        return m;
    }();
    return map;
}

// ---- Save record ------------------------------------------------------------------------------

void TKivoVideo::Save(ByteWriter& writer) const {
    TKivoCustomImage::Save(writer);
    SaveVideoFields(writer);
}

void TKivoVideo::Load(ByteReader& reader, int32_t version) {
    TKivoCustomImage::Load(reader, version);
    LoadVideoFields(reader, version);
}

void TKivoVideo::SaveVideoFields(ByteWriter& writer) const {
    writer.WriteCountedString(source_);
    writer.WriteU8(repeat_);
    writer.WriteU8(finished_);
    writer.WriteU8(paused_);
    writer.WriteI32(volume_);
    writer.WriteI32(balance_);
    writer.WriteI32(fadeTime_);
    writer.WriteI32(Position());
    writer.WriteU8(static_cast<uint8_t>(playState_));
    writer.WriteCountedString(playEndHandler_);
    writer.WriteCountedString(idleHandler_);
    writer.WriteU8(rewindOnLoad_);
    writer.WriteU8(overlay_);
    writer.WriteU8(muteOnLoad_);
}

void TKivoVideo::LoadVideoFields(ByteReader& reader, int32_t version) {
    SetSource(reader.ReadCountedString());
    repeat_ = reader.ReadBool();
    finished_ = reader.ReadBool();
    const bool paused = reader.ReadBool();
    volume_ = reader.ReadI32();
    balance_ = std::clamp(reader.ReadI32(), -10000, 10000);
    fadeTime_ = reader.ReadI32();
    const int32_t position = reader.ReadI32();
    const uint8_t state = reader.ReadU8();
    playEndHandler_ = reader.ReadCountedString();
    idleHandler_ = reader.ReadCountedString();
    rewindOnLoad_ = version >= kSaveVersionRewindOnLoad && reader.ReadBool();
    overlay_ = version < kSaveVersionOverlay || reader.ReadBool();
    muteOnLoad_ = version >= kSaveVersionMuteOnLoad && reader.ReadBool();
    if (state > LP_STOPFADE) reader.Fail("bad movie play state " + std::to_string(state));

    resumePosition_ = rewindOnLoad_ ? 0 : position;
    if (muteOnLoad_) volume_ = 0;
    paused_ = paused;
    if (finished_) {
        playState_ = state;
    } else if (state == LP_STOPFADE) {
        SetPlayState(LP_PLAY);
        SetPlayState(LP_STOPFADE);
    } else {
        SetPlayState(state);
    }
}

}  // namespace kivo
