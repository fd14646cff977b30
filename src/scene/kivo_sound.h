#pragma once
// A sound: one sound file played through a media item of the manager its type goes to, with
// its volume, balance, fades, repeat and pause. Its play state is set by the sound commands:
// playing and fading in load the item; stopping frees the object; fading out renames it out
// of the way of a new sound of the same name and frees it when the fade ends. At its end it
// rewinds when it repeats, else it raises ONPLAYEND or, with auto-scrap, goes.

#include <cstdint>
#include <optional>
#include <string>

#include "scene/kivo_film_stage.h"
#include "scene/kivo_object.h"
#include "scene/scene_media.h"

namespace kivo {

// Save versions that added fields to the sound and movie records.
inline constexpr int32_t kSaveVersionRewindOnLoad = 108;  // read above 107
inline constexpr int32_t kSaveVersionMuteOnLoad = 129;    // read above 128

// The level a volume (0..1000) gives an item: linear for MIDI, else the upper half of the
// decibel range (volume 1 is -49.95 dB), silent at 0 or less and full above 1000.
[[nodiscard]] int32_t SoundLevel(int32_t volume, bool midi);

// A fade of an item's level from a start to a target over a duration of game time.
class TKivoMixer {
  public:
    TKivoMixer(bool fadeIn, int32_t targetLevel, int32_t duration)
        : fadeIn_(fadeIn), target_(targetLevel), duration_(duration) {}

    [[nodiscard]] bool FadeIn() const { return fadeIn_; }
    // Moves the item's level to where the fade stands at now; the first step only starts it.
    // True once the fade is complete.
    bool Step(SoundItem& item, bool midi, int32_t now);
    // The level at t ms after the start.
    [[nodiscard]] int32_t LevelAt(int64_t t, bool midi) const;

  private:
    bool fadeIn_;
    int32_t start_ = -10000;
    int32_t target_;
    int32_t duration_;
    int32_t startTime_ = 0;
    bool started_ = false;
};

class TKivoSound final : public TKivoComponent, public MediaObject, public FilmSoundPlay {
  public:
    explicit TKivoSound(TKivoBaseList& root) : TKivoComponent(root) {}
    ~TKivoSound() override;

    [[nodiscard]] int32_t Kind() const override { return LT_SOUND; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoSound"; }
    [[nodiscard]] bool Paused() const override { return paused_; }
    [[nodiscard]] bool Update() override;

    // ---- MediaObject ----
    [[nodiscard]] int32_t PlayState() const override { return playState_; }
    void SetPlayState(int32_t state) override;
    void Restart() override;
    [[nodiscard]] const std::string& Source() const override { return source_; }

    // ---- FilmSoundPlay ----
    // A film's sound track starts its sound (made paused) from where it stands, or after a
    // pause goes on from there.
    void PlayFromHere() override;

    // ---- Properties ----
    void SetSource(std::string source);
    [[nodiscard]] int32_t Volume() const { return volume_; }
    void SetVolume(int32_t volume);
    [[nodiscard]] int32_t Balance() const { return balance_; }
    void SetBalance(int32_t balance);
    [[nodiscard]] int32_t FadeTime() const { return fadeTime_; }
    void SetFadeTime(int32_t ms) { fadeTime_ = ms; }
    [[nodiscard]] bool Repeat() const { return repeat_; }
    void SetRepeat(bool repeat);
    [[nodiscard]] bool PausedFlag() const { return paused_; }
    void SetPaused(bool paused);
    [[nodiscard]] bool AniPaused() const { return aniPaused_; }
    void SetAniPaused(bool paused);
    [[nodiscard]] int32_t Position() const;
    void SetPosition(int32_t ms);
    [[nodiscard]] int32_t Length() const;
    [[nodiscard]] bool Playing() const;
    [[nodiscard]] bool AutoScrap() const { return autoScrap_; }
    void SetAutoScrap(bool autoScrap) { autoScrap_ = autoScrap; }
    [[nodiscard]] bool RewindOnLoad() const { return rewindOnLoad_; }
    void SetRewindOnLoad(bool rewind) { rewindOnLoad_ = rewind; }
    [[nodiscard]] bool MuteOnLoad() const { return muteOnLoad_; }
    void SetMuteOnLoad(bool mute) { muteOnLoad_ = mute; }
    [[nodiscard]] const std::string& PlayEndHandler() const { return playEndHandler_; }
    void SetPlayEndHandler(std::string handler) { playEndHandler_ = std::move(handler); }
    [[nodiscard]] bool Finished() const { return finished_; }

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

    // The prefix a fading-out sound renames itself with (after the character of code 1).
    static constexpr std::string_view kScrapPrefix = "SCRAP_";
    // Sounds shorter than this that neither repeat nor stop are saved as stopped.
    static constexpr int32_t kShortSoundMs = 3000;

  private:
    // Obtains the item for the source; false when nothing plays.
    bool LoadItem();
    void ReleaseItem();
    [[nodiscard]] int32_t Level() const { return SoundLevel(volume_, midi_); }
    [[nodiscard]] bool Held() const { return paused_ || aniPaused_; }
    void ApplyHold();
    void StartFade(bool fadeIn);
    void Remove();
    [[nodiscard]] int32_t Now() const;

    std::string source_;
    SoundItem* item_ = nullptr;
    bool midi_ = false;
    int32_t playState_ = LP_STOP;
    bool repeat_ = false;
    bool paused_ = false;
    bool aniPaused_ = false;
    bool finished_ = false;
    int32_t volume_ = 1000;
    int32_t balance_ = 0;
    int32_t fadeTime_ = 0;
    int32_t resumePosition_ = 0;
    bool autoScrap_ = false;
    bool rewindOnLoad_ = false;
    bool muteOnLoad_ = false;
    std::string playEndHandler_;
    std::optional<TKivoMixer> fade_;
    bool done_ = false;
};

}  // namespace kivo
