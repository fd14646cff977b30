#pragma once
// A cinema: the scene object that plays a film (imaging/film_manager.h) at 60 frames a
// second. A film with a transition track or a background colour plays in a scene list of the
// cinema's own, whose picture the cinema shows as its content; any other film makes its
// objects in the main scene as children of the cinema, which takes the film's size.
//
// Whatever the film made goes with it: a new source, a reset, or the cinema's end removes
// every object of the film.

#include <memory>
#include <string>

#include "imaging/custom_wipe.h"
#include "imaging/film_manager.h"
#include "scene/kivo_control.h"
#include "scene/kivo_film_stage.h"
#include "scene/kivo_image_list.h"

namespace kivo {

class TKivoCinema final : public TKivoControl, private FilmTransitionRunner {
  public:
    explicit TKivoCinema(TKivoBaseList& root);
    ~TKivoCinema() override;

    [[nodiscard]] int32_t Kind() const override { return LT_CINEMA; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoCinema"; }

    [[nodiscard]] const std::string& Source() const { return source_; }
    // A different name loads the film and plays it from the start; a missing or damaged file
    // leaves no film.
    void SetSource(std::string source);
    // The size of the cinema's own scene list.
    void SetWidth(int32_t width) override;
    void SetHeight(int32_t height) override;
    // The current frame; setting it seeks there and plays on.
    [[nodiscard]] int32_t Index() const { return film_.CurrentFrame(); }
    void SetIndex(int32_t frame);
    [[nodiscard]] int32_t Count() const { return film_.Duration(); }
    [[nodiscard]] bool Repeat() const override { return repeat_; }
    void SetRepeat(bool repeat);
    [[nodiscard]] bool PausedFlag() const { return paused_; }
    void SetPausedFlag(bool paused) { paused_ = paused; }
    [[nodiscard]] int32_t Volume() const { return volume_; }
    void SetVolume(int32_t volume);
    [[nodiscard]] bool AutoScrap() const override { return autoScrap_; }
    void SetAutoScrap(bool autoScrap) { autoScrap_ = autoScrap; }
    // A film is loaded, its last frame is not reached and neither pause is set.
    [[nodiscard]] bool FilmPlaying() const;
    [[nodiscard]] bool RewindOnLoad() const { return rewindOnLoad_; }
    void SetRewindOnLoad(bool rewind) { rewindOnLoad_ = rewind; }
    [[nodiscard]] bool MuteOnLoad() const { return muteOnLoad_; }
    void SetMuteOnLoad(bool mute) { muteOnLoad_ = mute; }
    [[nodiscard]] std::string PlayEndHandler() const override { return playEndHandler_; }
    void SetPlayEndHandler(std::string handler) { playEndHandler_ = std::move(handler); }
    [[nodiscard]] std::string IdleHandler() const override { return idleHandler_; }
    void SetIdleHandler(std::string handler) { idleHandler_ = std::move(handler); }

    [[nodiscard]] const TFilmManager& Film() const { return film_; }
    // The cinema's own scene list, or null when the film plays in the main scene.
    [[nodiscard]] TKivoBaseList* OwnList() const { return ownList_.get(); }
    [[nodiscard]] bool Stopped() const { return stopped_; }
    [[nodiscard]] int32_t Elapsed() const { return elapsed_; }

    [[nodiscard]] bool Update() override;
    void Draw(TDrawContext& context) override;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  private:
    // Reads the source and sets up where it plays.
    void LoadFilm();
    // Removes the film's objects and its own list.
    void DropFilm();
    void SizeOwnList();
    // A transition track mixes the shown layer of the own list with the other one.
    void RunTransition(const TFilmTransition& transition, int32_t progress, int32_t length,
                       bool fresh) override;
    void EndTransition() override;
    // Ends the running transition and lets its rule picture go.
    void DropWipe();
    // Holds the rule picture of a transition track and hands it to the new transition.
    void LoadRulePicture(const std::string& name);
    // The own list's changed areas, on the cinema's layer.
    void InvalidateOwnDirty();
    // The frame reached by the elapsed time, with the end, the repeat and the play end.
    // Returns true when an auto-scrap cinema has ended.
    bool AdvanceFrame(int64_t& frame);

    std::string source_;
    bool repeat_ = false;
    bool paused_ = false;
    bool autoScrap_ = false;
    bool rewindOnLoad_ = false;
    bool muteOnLoad_ = false;
    int32_t volume_ = 1000;
    std::string playEndHandler_;
    std::string idleHandler_;
    int32_t elapsed_ = 0;
    bool stopped_ = false;
    bool playEndQueued_ = false;
    // Frames left that apply the frame whether or not it changed; time stands still until
    // it runs out, so that a film started or sought in one frame is shown from there.
    int32_t forcedApply_ = 0;
    // Declared before the film, which removes its objects through them when it goes.
    std::unique_ptr<TKivoBaseList> ownList_;
    std::unique_ptr<TKivoFilmStage> stage_;
    // The running transition of the own list and the picture it draws; the random generator
    // orders the blocks of the styles that need one.
    TTpRandom wipeRandom_{1};
    TDIBX mixed_;
    std::unique_ptr<TCustomWipe> wipe_;
    TKivoImageList rulePicture_;
    TFilmManager film_;
};

}  // namespace kivo
