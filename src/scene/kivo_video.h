#pragma once
// A video: an image object whose picture is the current frame of a playing video file. It plays
// by the rules of the sound object (play states, fades, repeat, pause, the end and its handler,
// the save record) and shows its frames in its own surface, the video's size, drawn at the
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
#include "scene/kivo_sound.h"

namespace kivo {

class TKivoVideo final : public TKivoCustomImage, public MediaObject {
  public:
    // The shortest game time between two frame pulls.
    static constexpr int32_t kFramePullMs = 32;
    // Save records from this version on carry the overlay flag.
    static constexpr int32_t kSaveVersionOverlay = 112;

    explicit TKivoVideo(TKivoBaseList& root) : TKivoCustomImage(root) {}
    ~TKivoVideo() override;

    [[nodiscard]] int32_t Kind() const override { return LT_VIDEO; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoVideo"; }
    [[nodiscard]] bool Paused() const override { return paused_; }
    [[nodiscard]] bool Update() override;
    void Draw(TDrawContext& context) override;
    [[nodiscard]] std::string IdleHandler() const override { return idleHandler_; }

    // ---- MediaObject ----
    [[nodiscard]] int32_t PlayState() const override { return playState_; }
    void SetPlayState(int32_t state) override;
    void Restart() override;
    [[nodiscard]] const std::string& Source() const override { return source_; }

    // ---- Properties ----
    void SetSource(std::string source);
    [[nodiscard]] int32_t Volume() const { return volume_; }
    void SetVolume(int32_t volume);
    [[nodiscard]] int32_t Balance() const { return balance_; }
    void SetBalance(int32_t balance);
    [[nodiscard]] int32_t FadeTime() const { return fadeTime_; }
    void SetFadeTime(int32_t ms) { fadeTime_ = ms; }
    [[nodiscard]] bool Repeat() const override { return repeat_; }
    void SetRepeat(bool repeat);
    [[nodiscard]] bool PausedFlag() const { return paused_; }
    void SetPaused(bool paused);
    [[nodiscard]] bool MediaAniPaused() const { return AniPaused(); }
    void SetMediaAniPaused(bool paused);
    [[nodiscard]] int32_t Position() const;
    void SetPosition(int32_t ms);
    [[nodiscard]] int32_t Length() const;
    // The item plays (a control's Playing is about its motion).
    [[nodiscard]] bool ItemPlaying() const;
    [[nodiscard]] bool AutoScrap() const override { return autoScrap_; }
    void SetAutoScrap(bool autoScrap) { autoScrap_ = autoScrap; }
    [[nodiscard]] bool RewindOnLoad() const { return rewindOnLoad_; }
    void SetRewindOnLoad(bool rewind) { rewindOnLoad_ = rewind; }
    [[nodiscard]] bool MuteOnLoad() const { return muteOnLoad_; }
    void SetMuteOnLoad(bool mute) { muteOnLoad_ = mute; }
    [[nodiscard]] bool Overlay() const { return overlay_; }
    void SetOverlay(bool overlay);
    [[nodiscard]] std::string PlayEndHandler() const override { return playEndHandler_; }
    void SetPlayEndHandler(std::string handler) { playEndHandler_ = std::move(handler); }
    void SetIdleHandler(std::string handler) { idleHandler_ = std::move(handler); }
    [[nodiscard]] bool Finished() const { return finished_; }

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

  private:
    bool LoadItem();
    void ReleaseItem();
    [[nodiscard]] int32_t Level() const { return SoundLevel(volume_, false); }
    [[nodiscard]] bool Held() const { return paused_ || AniPaused(); }
    void ApplyHold();
    void StartFade(bool fadeIn) { fade_.emplace(fadeIn, Level(), fadeTime_); }
    void Remove();
    [[nodiscard]] int32_t Now() const;
    void PullFrame();
    void CopyFrame();
    void PlaceOverlay();

    std::string source_;
    SoundItem* item_ = nullptr;
    VideoFrames* frames_ = nullptr;
    int32_t playState_ = LP_STOP;
    bool repeat_ = false;
    bool paused_ = false;
    bool finished_ = false;
    int32_t volume_ = 1000;
    int32_t balance_ = 0;
    int32_t fadeTime_ = 0;
    int32_t resumePosition_ = 0;
    bool overlay_ = true;
    bool autoScrap_ = false;
    bool rewindOnLoad_ = false;
    bool muteOnLoad_ = false;
    std::string playEndHandler_;
    std::string idleHandler_;
    std::optional<TKivoMixer> fade_;
    bool done_ = false;
    int32_t startTime_ = 0;
    std::optional<int32_t> lastPull_;
    bool framePending_ = false;
    std::optional<OverlayPlace> placed_;
};

}  // namespace kivo
