#pragma once
// The playing part that sound and movie objects share: the item of the source, its level,
// balance and fades, the four play states, repeat, pause, the end and its handler. The object
// that plays (a component for sounds, an image for movies) derives from it beside its scene
// class, hands itself over, and says how an item is obtained and given back.
//
// Play states are the LP_ codes: 0 playing, 1 fading in, 2 stopped, 3 fading out. Playing and
// fading in load the item; stopping frees the object; fading out renames it out of the way of
// a new object of the same name and frees it when the fade ends. At its end it rewinds when it
// repeats, else it raises ONPLAYEND or, with auto-scrap, goes.

#include <cstdint>
#include <optional>
#include <string>

#include "scene/kivo_object.h"
#include "scene/property_table.h"
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

class TKivoMediaPlayer : public MediaObject {
  public:
    // ---- MediaObject ----
    [[nodiscard]] int32_t PlayState() const override { return playState_; }
    void SetPlayState(int32_t state) override;
    void Restart() override;
    [[nodiscard]] const std::string& Source() const override { return source_; }
    // Plays from where the item stands, or goes on after a pause.
    void PlayFromHere();

    // ---- Properties ----
    // A new source releases the item and stops, clearing pause, position and the end.
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
    // The item's length; without an item the file is opened just to measure it.
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

    // The prefix a fading-out object renames itself with (after the character of code 1).
    static constexpr std::string_view kScrapPrefix = "SCRAP_";

    // The properties every playing object has, read and written on an Object.
    template <class Object>
    static void AddPlayerProperties(PropertyMap& m);

  protected:
    explicit TKivoMediaPlayer(TKivoObject& self) : self_(self) {}
    ~TKivoMediaPlayer() override = default;

    // A new item for the source, and its release. Null when the source plays nothing.
    [[nodiscard]] virtual SoundItemRef AddItem(SceneMedia& media) const = 0;
    virtual void RemoveItem(SceneMedia& media, SoundItem* item) const = 0;
    // Whether a source the game does not hold may still play (CD tracks do).
    [[nodiscard]] virtual bool PlaysWithoutFile() const { return false; }
    // Called once an item is obtained, before it is positioned, and when it is given back.
    virtual void ItemLoaded() {}
    virtual void ItemReleased() {}

    [[nodiscard]] SoundItem* Item() const { return item_; }
    [[nodiscard]] bool Done() const { return done_; }
    // Gives the item back (any fade ends with it).
    void ReleaseItem();
    // What the frame step found: nothing, an end to report, or that the object is done.
    enum class PlayStep { Going, Done };
    // Handles the item's end and the fade; Done when the object is to go.
    [[nodiscard]] PlayStep StepPlayback();
    // The state a saved object takes when it is loaded, after its fields are set: the resume
    // position, the mute and the play state.
    void RestoreLoaded(int32_t state, int32_t position, bool paused, bool finished);

  private:
    bool LoadItem();
    [[nodiscard]] int32_t Level() const { return SoundLevel(volume_, midi_); }
    [[nodiscard]] bool Held() const { return paused_ || aniPaused_; }
    void ApplyHold();
    void StartFade(bool fadeIn) { fade_.emplace(fadeIn, Level(), fadeTime_); }
    void Remove();
    [[nodiscard]] int32_t Now() const;

    TKivoObject& self_;
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

namespace media_player_detail {

// A slot that reads and writes a player's property on an Object, which derives from the
// player beside its scene class.
template <class Object, auto Get, auto Set = nullptr>
[[nodiscard]] PropertyAccess Access() {
    PropertyAccess access;
    access.get = [](const TKivoObject& object, int32_t) -> PropertyValue {
        return (static_cast<const Object&>(object).*Get)();
    };
    if constexpr (!std::is_null_pointer_v<decltype(Set)>) {
        using V = typename AccessorTraits<decltype(Set)>::Value;
        access.set = [](TKivoObject& object, const PropertyValue& value, int32_t) {
            (static_cast<Object&>(object).*Set)(std::get<V>(value));
        };
    }
    return access;
}

}  // namespace media_player_detail

template <class Object>
void TKivoMediaPlayer::AddPlayerProperties(PropertyMap& m) {
    using P = TKivoMediaPlayer;
    using media_player_detail::Access;
    m[PR_SOURCE] = Access<Object, &P::Source, &P::SetSource>();
    m[PR_VOLUME] = Access<Object, &P::Volume, &P::SetVolume>();
    m[PR_BALANCE] = Access<Object, &P::Balance, &P::SetBalance>();
    m[PR_DELAY] = Access<Object, &P::FadeTime, &P::SetFadeTime>();
    m[PR_REPEAT] = Access<Object, &P::Repeat, &P::SetRepeat>();
    m[PR_PAUSED] = Access<Object, &P::PausedFlag, &P::SetPaused>();
    m[PR_ANIPAUSED] = Access<Object, &P::AniPaused, &P::SetAniPaused>();
    m[PR_INDEX] = Access<Object, &P::Position, &P::SetPosition>();
    m[PR_COUNT] = Access<Object, &P::Length>();
    m[PR_PLAYING] = Access<Object, &P::Playing>();
    m[PR_AUTOSCRAP] = Access<Object, &P::AutoScrap, &P::SetAutoScrap>();
    m[PR_REWINDONLOAD] = Access<Object, &P::RewindOnLoad, &P::SetRewindOnLoad>();
    m[PR_MUTEONLOAD] = Access<Object, &P::MuteOnLoad, &P::SetMuteOnLoad>();
    m[PR_ONPLAYEND] = Access<Object, &P::PlayEndHandler, &P::SetPlayEndHandler>();
}

}  // namespace kivo
