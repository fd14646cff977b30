#pragma once
// A video: an image object whose picture is the current frame of a playing video file. It plays
// by the rules of the sound object (TKivoMediaPlayer: play states, fades, repeat, pause, the end
// and its handler) and shows its frames in its own surface, the video's size, drawn at the
// object's zoom like any picture. In overlay mode the item is also told where on the screen the
// video shows: the object's rectangle clipped by its parents and its clip, and the matching part
// of the video.
//
// Frames are pulled from the item at most every 32 ms of game time (game time follows the
// frames in headless runs, so a run shows the same frames every time).

#include <cstdint>
#include <optional>
#include <string>

#include "scene/kivo_custom_image.h"
#include "scene/kivo_media_player.h"

namespace kivo {

class TKivoVideo final : public TKivoCustomImage, public TKivoMediaPlayer {
  public:
    // The shortest game time between two frame pulls.
    static constexpr int32_t kFramePullMs = 32;
    // Save records from this version on carry the overlay flag.
    static constexpr int32_t kSaveVersionOverlay = 112;

    explicit TKivoVideo(TKivoBaseList& root)
        : TKivoCustomImage(root), TKivoMediaPlayer(static_cast<TKivoObject&>(*this)) {}
    ~TKivoVideo() override;

    [[nodiscard]] int32_t Kind() const override { return LT_VIDEO; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoVideo"; }
    [[nodiscard]] bool Paused() const override { return PausedFlag(); }
    [[nodiscard]] bool Update() override;
    // Scene objects and media objects both take play states: one entry serves both.
    void SetPlayState(int32_t state) override { TKivoMediaPlayer::SetPlayState(state); }
    void Draw(TDrawContext& context) override;
    [[nodiscard]] std::string IdleHandler() const override { return idleHandler_; }
    void SetIdleHandler(std::string handler) { idleHandler_ = std::move(handler); }

    // The player's flags, which the control's motion hooks also ask for.
    [[nodiscard]] bool AutoScrap() const override { return TKivoMediaPlayer::AutoScrap(); }
    [[nodiscard]] bool Repeat() const override { return TKivoMediaPlayer::Repeat(); }
    [[nodiscard]] std::string PlayEndHandler() const override {
        return TKivoMediaPlayer::PlayEndHandler();
    }
    // Holds both the animations (as for any control) and the video.
    [[nodiscard]] bool AniPaused() const { return TKivoMediaPlayer::AniPaused(); }
    void SetAniPaused(bool paused);

    [[nodiscard]] bool Overlay() const { return overlay_; }
    void SetOverlay(bool overlay);

    // The overlay's place on the layer and the part of the video it shows (in video pixels);
    // nothing when it is hidden.
    struct OverlayPlace {
        TRect screen;
        TRect video;
        friend bool operator==(const OverlayPlace&, const OverlayPlace&) = default;
    };
    [[nodiscard]] std::optional<OverlayPlace> OverlayPlacement() const;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;
    // The video's own part of the record, after the image's; loading it plays the video again
    // in its saved state.
    void SaveVideoFields(ByteWriter& writer) const;
    void LoadVideoFields(ByteReader& reader, int32_t version);

  protected:
    [[nodiscard]] SoundItemRef AddItem(SceneMedia& media) const override;
    void RemoveItem(SceneMedia& media, SoundItem* item) const override;
    void ItemLoaded() override;
    void ItemReleased() override;

  private:
    void PullFrame();
    void CopyFrame();
    void PlaceOverlay();

    // The pictures of the item in use; the ones of an item opened only to measure it are not
    // kept.
    mutable VideoFrames* openedFrames_ = nullptr;
    VideoFrames* frames_ = nullptr;
    bool overlay_ = true;
    std::string idleHandler_;
    std::optional<int32_t> lastPull_;
    bool framePending_ = false;
    std::optional<OverlayPlace> placed_;
};

}  // namespace kivo
