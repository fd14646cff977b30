#pragma once
// A sound: one sound file played through a media item of the manager its type goes to, with
// its volume, balance, fades, repeat and pause (the rules of TKivoMediaPlayer). A sound names
// a CD track ("CD_3") or a file the game holds.

#include <cstdint>
#include <string>

#include "scene/kivo_film_stage.h"
#include "scene/kivo_media_player.h"
#include "scene/kivo_object.h"

namespace kivo {

class TKivoSound final : public TKivoComponent, public TKivoMediaPlayer, public FilmSoundPlay {
  public:
    explicit TKivoSound(TKivoBaseList& root)
        : TKivoComponent(root), TKivoMediaPlayer(static_cast<TKivoObject&>(*this)) {}
    ~TKivoSound() override;

    [[nodiscard]] int32_t Kind() const override { return LT_SOUND; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoSound"; }
    [[nodiscard]] bool Paused() const override { return PausedFlag(); }
    [[nodiscard]] bool Update() override;
    // Scene objects and media objects both take play states: one entry serves both.
    void SetPlayState(int32_t state) override { TKivoMediaPlayer::SetPlayState(state); }
    // A film's sound track starts its sound (made paused) from where it stands, or after a
    // pause goes on from there.
    void PlayFromHere() override { TKivoMediaPlayer::PlayFromHere(); }

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

    // Sounds shorter than this that neither repeat nor stop are saved as stopped.
    static constexpr int32_t kShortSoundMs = 3000;

  protected:
    [[nodiscard]] SoundItemRef AddItem(SceneMedia& media) const override {
        return media.AddSound(Source());
    }
    void RemoveItem(SceneMedia& media, SoundItem* item) const override { media.RemoveSound(item); }
    [[nodiscard]] bool PlaysWithoutFile() const override { return Source().starts_with("CD_"); }
};

}  // namespace kivo
