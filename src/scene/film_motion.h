#pragma once
// A motion film read from a "KivoMotion" (or "KivoCinema") file: the film of a TKivoMotion
// (kivo_motion.h) that puts the one object it runs on into the state of each frame, placing it
// by its motion position and ordering it by its sub-priority. Particles that follow a motion
// file share one film among them.

#include <memory>
#include <string_view>

#include "imaging/film_manager.h"
#include "scene/kivo_motion.h"

namespace kivo {

class TKivoBaseList;

class TFilmMotion final : public MotionFilm {
  public:
    explicit TFilmMotion(std::shared_ptr<TFilmManager> film) : film_(std::move(film)) {}

    // The film of a virtual file, read for motion mode; null when the root has no files, the
    // file is missing or it is no film.
    [[nodiscard]] static std::shared_ptr<TFilmManager> Read(TKivoBaseList& root,
                                                            std::string_view name);
    // The same for a target that shows the pictures its image tracks name (image objects,
    // buttons): the pictures are read through the image cache and held there for the target
    // for as long as the film lives.
    [[nodiscard]] static std::shared_ptr<TFilmManager> ReadWithPictures(TKivoControl& target,
                                                                        std::string_view name);

    [[nodiscard]] int32_t FrameCount() const override { return film_->Duration(); }
    [[nodiscard]] int32_t LoopStart() const override { return film_->LoopStart(); }
    [[nodiscard]] bool PositionRelative() const override { return film_->Relative(); }
    // The tracks' priorities become the object's sub-priority, which adds to its own.
    void SetBasePriority(int32_t /*priority*/) override {}
    void ApplyFrame(TKivoControl& target, int32_t frame, int32_t originX, int32_t originY) override;

  private:
    std::shared_ptr<TFilmManager> film_;
};

// Whether a file name ends in ".kmt", in any case.
[[nodiscard]] bool IsMotionFileName(std::string_view name);

// Runs film on target from its first frame: the first frame is applied at once, so that the
// target shows its picture and size before its next update, and the motion then starts over,
// taking its origin from wherever the script places the target meanwhile.
void StartShownMotion(TKivoControl& target, std::shared_ptr<TFilmManager> film);

}  // namespace kivo
