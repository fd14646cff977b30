#pragma once
// A particle emitter: it keeps emitting particle images (TKivoParticleImages) that move by one
// of four motion rules, or along a motion film, until they leave the emitter's area or the
// film ends. Where and how often particles appear comes from three expressions the creating
// command copied (evaluated through the scene's ExpressionEvaluator for each particle) or,
// while a film track drives the emitter, from the track's emission record.
//
// Every emitter keeps at most kMaxLiveParticles alive and runs at most kMaxPreRunSteps steps of
// pre-run: some modes make particles that never leave, and a pre-run time has no bound.

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/dibx.h"
#include "imaging/film_stage.h"
#include "scene/gale_collection.h"
#include "scene/kivo_control.h"
#include "script/expression.h"

namespace kivo {

class TFilmManager;
class TProcessRandom;

// The picture particles show: the first frame of the emitter's GAL file, held in the image
// cache for the emitter and shared by its particles, which let it go with the last of them.
class TParticlePictures {
  public:
    TParticlePictures(TGaleCollection& cache, TGaleItem& item, ObjectHandle user)
        : cache_(cache), item_(item), user_(user) {}
    ~TParticlePictures() { cache_.Release(item_, user_); }
    TParticlePictures(const TParticlePictures&) = delete;
    TParticlePictures& operator=(const TParticlePictures&) = delete;

    [[nodiscard]] TGaleItemFrame& Frame() const { return item_.Frame(0); }

  private:
    TGaleCollection& cache_;
    TGaleItem& item_;
    ObjectHandle user_;
};

class TKivoParticleImages final : public TKivoControl {
  public:
    using TKivoControl::TKivoControl;

    [[nodiscard]] std::string_view ClassName() const override { return "TKivoParticleImages"; }
    // Named by the emitter, never "object" plus a number.
    [[nodiscard]] bool AutoNamed() const override { return false; }

    // The emitter advances its particles; the root's update only runs what every control runs.
    [[nodiscard]] bool Update() override { return false; }
    void Draw(TDrawContext& context) override;
    [[nodiscard]] int32_t ZoomX() const override { return zoom_; }
    [[nodiscard]] int32_t ZoomY() const override { return zoom_; }

    // Sets up the mode's working values; the particle stands at its position.
    void Init(TProcessRandom& random);
    // Advances steps frame steps; false once the particle is dead.
    bool Advance(int32_t steps, int32_t stepMs);

    uint8_t Mode = 0;
    std::array<double, 3> P{};
    int32_t Alpha = 255;
    int64_t AgeMs = 0;
    std::shared_ptr<const TParticlePictures> Pictures;
    // The film the particle follows instead of its picture's own motion, shared.
    std::shared_ptr<TFilmManager> Film;

  private:
    bool StepMode(int32_t steps);
    bool FollowFilm();
    [[nodiscard]] bool Outside() const;
    void Place(int64_t x, int64_t y);
    void SetZoom(int32_t zoom);

    int32_t zoom_ = 256;
    int32_t originX_ = 0;
    int32_t originY_ = 0;
    double a_ = 0, b_ = 0, c_ = 0, d_ = 0, e_ = 0, f_ = 0, g_ = 0;
};

class TKivoParticle final : public TKivoControl {
  public:
    static constexpr int32_t kMaxLiveParticles = 4096;
    static constexpr int32_t kMaxPreRunSteps = 3600;
    // An emission waits at least this long for the next.
    static constexpr int32_t kMinInterval = 2;

    explicit TKivoParticle(TKivoBaseList& root);
    ~TKivoParticle() override;

    [[nodiscard]] int32_t Kind() const override { return LT_PARTICLE; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoParticle"; }

    [[nodiscard]] const std::string& Source() const { return source_; }
    // A GAL picture or a motion file (".kmt"); a change removes every particle.
    void SetSource(std::string source);
    [[nodiscard]] int32_t Mode() const { return mode_; }
    // A change starts the emitter again.
    void SetMode(int32_t mode);
    [[nodiscard]] double Param(int32_t index) const { return params_[static_cast<size_t>(index)]; }
    void SetParam(int32_t index, double value);
    [[nodiscard]] int32_t Alpha() const { return alpha_; }
    void SetAlpha(int32_t alpha) { alpha_ = alpha; }
    [[nodiscard]] int32_t PreRun() const { return preRun_; }
    void SetPreRun(int32_t ms) { preRun_ = ms; }
    [[nodiscard]] int32_t Duration() const { return duration_; }
    void SetDuration(int32_t ms);
    [[nodiscard]] bool PausedFlag() const { return paused_; }
    void SetPausedFlag(bool paused) { paused_ = paused; }
    [[nodiscard]] bool EmitterPlaying() const { return !paused_ && !AniPaused(); }
    [[nodiscard]] std::string IdleHandler() const override { return idleHandler_; }
    void SetIdleHandler(std::string handler) { idleHandler_ = std::move(handler); }

    // The expressions of where a particle appears and how long the next waits, by PR id
    // (PR_APPEARX, PR_APPEARY, PR_DELAY).
    void KeepExpression(int32_t prId, const TKivoParser& expression) override;
    // The record of a film track, which replaces the expressions from then on.
    void SetEmission(const TFilmEmission& emission) { emission_ = emission; }

    // 0 start, 1 emitting, 2 draining.
    [[nodiscard]] int32_t State() const { return state_; }
    [[nodiscard]] int32_t LiveParticles() const;

    [[nodiscard]] bool Update() override;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  private:
    void LoadSource();
    void RemoveParticles();
    [[nodiscard]] int32_t StepMs() const;
    void RunSteps(int64_t steps, bool emit);
    void Emit(int64_t lateMs, int32_t x, int32_t y);
    // random(r): 0..r - 1, and 0 for r of 0 or less.
    [[nodiscard]] int32_t RandomBelow(int32_t range);
    [[nodiscard]] std::optional<int32_t> Evaluate(const TKivoParser& expression);

    std::string source_;
    int32_t mode_ = 0;
    std::array<double, 3> params_{};
    int32_t alpha_ = 255;
    int32_t preRun_ = 0;
    int32_t duration_ = 0;
    bool paused_ = false;
    std::string idleHandler_;
    TKivoParser appearX_;
    TKivoParser appearY_;
    TKivoParser interval_;
    std::optional<TFilmEmission> emission_;

    int32_t state_ = 0;
    int64_t countdown_ = 0;
    int64_t accumulator_ = 0;
    int64_t durationLeft_ = 0;
    uint64_t nextNumber_ = 0;
    std::vector<ObjectHandle> particles_;
    std::shared_ptr<const TParticlePictures> pictures_;
    std::shared_ptr<TFilmManager> film_;
};

}  // namespace kivo
