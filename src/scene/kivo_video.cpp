#include "scene/kivo_video.h"

#include <algorithm>
#include <cstring>

#include "base/error.h"
#include "imaging/draw_context.h"
#include "scene/kivo_base_list.h"

namespace kivo {

namespace {

// Layer pixels back to video pixels through a zoom (256 = 100 %).
int32_t Unzoomed(int64_t pixels, int32_t zoom) {
    return static_cast<int32_t>(pixels * 256 / std::max(zoom, 1));
}

}  // namespace

TKivoVideo::~TKivoVideo() {
    ReleaseItem();
}

// ---- The item ---------------------------------------------------------------------------------

SoundItemRef TKivoVideo::AddItem(SceneMedia& media) const {
    const VideoItemRef ref = media.AddVideo(Source(), overlay_);
    if (ref.item == nullptr || ref.frames == nullptr) return {};
    openedFrames_ = ref.frames;
    return {ref.item, false};
}

void TKivoVideo::RemoveItem(SceneMedia& media, SoundItem* item) const {
    media.RemoveVideo(item);
}

void TKivoVideo::ItemReleased() {
    frames_ = nullptr;
    framePending_ = false;
}

void TKivoVideo::ItemLoaded() {
    frames_ = openedFrames_;
    openedFrames_ = nullptr;
    framePending_ = false;
    lastPull_.reset();
    placed_.reset();
    if (frames_ == nullptr) return;
    const int32_t width = std::max(frames_->SourceWidth(), 0);
    const int32_t height = std::max(frames_->SourceHeight(), 0);
    if (width <= 0 || height <= 0) return;
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

// ---- Frame work -------------------------------------------------------------------------------

bool TKivoVideo::Update() {
    if (StepPlayback() == PlayStep::Done) {
        Invalidate();
        return true;
    }
    PullFrame();
    if (overlay_) PlaceOverlay();
    return false;
}

void TKivoVideo::PullFrame() {
    if (frames_ == nullptr) return;
    const int32_t now = Root().State().gameClock;
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

void TKivoVideo::SetAniPaused(bool paused) {
    TKivoCustomImage::SetAniPaused(paused);
    TKivoMediaPlayer::SetAniPaused(paused);
}

void TKivoVideo::SetOverlay(bool overlay) {
    overlay_ = overlay;
    placed_.reset();
}

const PropertyMap& TKivoVideo::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoCustomImage::ClassProperties();
        AddPlayerProperties<TKivoVideo>(m);
        m[PR_ANIPAUSED] = Accessor<&TKivoVideo::AniPaused, &TKivoVideo::SetAniPaused>();
        m[PR_OVERLAY] = Accessor<&TKivoVideo::Overlay, &TKivoVideo::SetOverlay>();
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
    writer.WriteCountedString(Source());
    writer.WriteU8(Repeat());
    writer.WriteU8(Finished());
    writer.WriteU8(PausedFlag());
    writer.WriteI32(Volume());
    writer.WriteI32(Balance());
    writer.WriteI32(FadeTime());
    writer.WriteI32(Position());
    writer.WriteU8(static_cast<uint8_t>(PlayState()));
    writer.WriteCountedString(PlayEndHandler());
    writer.WriteCountedString(idleHandler_);
    writer.WriteU8(RewindOnLoad());
    writer.WriteU8(overlay_);
    writer.WriteU8(MuteOnLoad());
}

void TKivoVideo::LoadVideoFields(ByteReader& reader, int32_t version) {
    SetSource(reader.ReadCountedString());
    SetRepeat(reader.ReadBool());
    const bool finished = reader.ReadBool();
    const bool paused = reader.ReadBool();
    SetVolume(reader.ReadI32());
    SetBalance(reader.ReadI32());
    SetFadeTime(reader.ReadI32());
    const int32_t position = reader.ReadI32();
    const uint8_t state = reader.ReadU8();
    SetPlayEndHandler(reader.ReadCountedString());
    idleHandler_ = reader.ReadCountedString();
    SetRewindOnLoad(version >= kSaveVersionRewindOnLoad && reader.ReadBool());
    overlay_ = version < kSaveVersionOverlay || reader.ReadBool();
    SetMuteOnLoad(version >= kSaveVersionMuteOnLoad && reader.ReadBool());
    if (state > LP_STOPFADE) reader.Fail("bad movie play state " + std::to_string(state));
    RestoreLoaded(state, position, paused, finished);
}

}  // namespace kivo
