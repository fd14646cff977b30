#pragma once
// The scene as a film sees it (imaging/film_stage.h): a scene list the film makes its objects
// in and drives by PR id. Three players use one: a cinema playing in a scene list of its own,
// a cinema playing in the main scene (its objects are then children of the cinema and named
// after it), and a motion, which drives one existing object and makes none.
//
// Film objects are named from a prefix that begins with the character of code 1, so scripts
// never see them and they are never saved; the film removes what it made.
//
// Kinds with a picture or a sound take what only a film hands them through the two small
// interfaces below; a kind the scene does not make yet simply gives its track no object.

#include <cstdint>
#include <string>

#include "imaging/film_stage.h"
#include "scene/object_handle.h"

namespace kivo {

class TKivoBaseList;
class TKivoControl;
class TKivoObject;

// An image-like object showing frame index of a picture file, as a film's track chose it:
// the film, not the object's own frame times, decides the frame.
class FilmPictureShow {
  public:
    virtual ~FilmPictureShow() = default;
    virtual void ShowFilmPicture(const std::string& fileName, int32_t frameIndex) = 0;
};

// A sound object a film starts from where it stands.
class FilmSoundPlay {
  public:
    virtual ~FilmSoundPlay() = default;
    virtual void PlayFromHere() = 0;
};

// What runs the transitions between the two layers of a film's own scene list (the cinema,
// which shows their mixture as its content).
class FilmTransitionRunner {
  public:
    virtual ~FilmTransitionRunner() = default;
    virtual void RunTransition(const TFilmTransition& transition, int32_t progress, int32_t length,
                               bool fresh) = 0;
    virtual void EndTransition() = 0;
};

class TKivoFilmStage final : public TFilmStage {
  public:
    // Objects are made in list, below owner when one is given (a film in the main scene) and
    // otherwise on the layer each track asks for; sounds are made in main. Names begin with
    // prefix. The lists and the owner must outlive the stage.
    TKivoFilmStage(TKivoBaseList& list, TKivoBaseList& main, TKivoControl* owner,
                   std::string prefix, FilmTransitionRunner* transitions = nullptr);

    // The film id of an object, and back.
    [[nodiscard]] static TFilmObjectId IdOf(ObjectHandle handle);
    [[nodiscard]] static ObjectHandle HandleOf(TFilmObjectId id);

    [[nodiscard]] TFilmObjectId CreateObject(TFilmTrackKind kind, int32_t layer) override;
    void RemoveObject(TFilmObjectId object) override;
    void SetProperty(TFilmObjectId object, PropertyId id, int32_t value) override;
    void SetFloatProperty(TFilmObjectId object, PropertyId id, double value) override;
    void SetStringProperty(TFilmObjectId object, PropertyId id, std::string_view value) override;
    [[nodiscard]] int32_t GetProperty(TFilmObjectId object, PropertyId id) override;
    void SetPicture(TFilmObjectId object, const TFilmPicture& picture, int32_t frameIndex) override;
    void SetMotionPosition(TFilmObjectId object, int32_t x, int32_t y) override;
    void SetSubPriority(TFilmObjectId object, int32_t subPriority) override;
    void SetEmission(TFilmObjectId object, const TFilmEmission& emission) override;
    void PlaySound(TFilmObjectId object) override;
    void RunTransition(const TFilmTransition& transition, int32_t progress, int32_t length,
                       bool fresh) override {
        if (transitions_ != nullptr)
            transitions_->RunTransition(transition, progress, length, fresh);
    }
    void EndTransition() override {
        if (transitions_ != nullptr) transitions_->EndTransition();
    }
    void ShowLayer(int32_t layer) override;

  private:
    // The object of an id in either list; null once it is gone.
    [[nodiscard]] TKivoObject* Find(TFilmObjectId id) const;
    [[nodiscard]] std::string FreeName();

    TKivoBaseList& list_;
    TKivoBaseList& main_;
    TKivoControl* owner_;
    std::string prefix_;
    FilmTransitionRunner* transitions_;
    uint64_t nextNumber_ = 0;
};

}  // namespace kivo
