#include "scene/film_motion.h"

#include "scene/film_cache_pictures.h"
#include "scene/kivo_base_list.h"
#include "scene/kivo_film_stage.h"

namespace kivo {

namespace {

std::shared_ptr<TFilmManager> ReadFilm(TKivoBaseList& root, std::string_view name,
                                       TFilmPictureSource* pictures) {
    TVrFileManager* files = root.Services().files;
    if (files == nullptr) return nullptr;
    auto film = std::make_shared<TFilmManager>();
    if (!film->LoadFromFile(*files, name, pictures)) return nullptr;
    return film;
}

}  // namespace

std::shared_ptr<TFilmManager> TFilmMotion::Read(TKivoBaseList& root, std::string_view name) {
    // The object has a picture of its own (or none): no track loads one.
    return ReadFilm(root, name, nullptr);
}

std::shared_ptr<TFilmManager> TFilmMotion::ReadWithPictures(TKivoControl& target,
                                                            std::string_view name) {
    TFilmCachePictures pictures(target.Root().Images(), target.Handle());
    return ReadFilm(target.Root(), name, &pictures);
}

void TFilmMotion::ApplyFrame(TKivoControl& target, int32_t frame, int32_t originX,
                             int32_t originY) {
    // In motion mode the film makes and removes nothing, so one stage over the target's root
    // serves for the call and is let go again (the film may be shared).
    TKivoFilmStage stage(target.Root(), target.Root(), nullptr, {});
    film_->SetStage(&stage, false);
    film_->SetMotionMode(TKivoFilmStage::IdOf(target.Handle()), originX, originY);
    film_->ApplyFrame(frame);
    film_->SetStage(nullptr, false);
}

void StartShownMotion(TKivoControl& target, std::shared_ptr<TFilmManager> film) {
    target.AssignMotion(std::make_unique<TFilmMotion>(std::move(film)));
    TKivoMotion& motion = *target.Motion();
    (void)motion.Step(target, 0);
    motion.Restart();
}

bool IsMotionFileName(std::string_view name) {
    constexpr std::string_view kExtension = ".kmt";
    if (name.size() < kExtension.size()) return false;
    const std::string_view tail = name.substr(name.size() - kExtension.size());
    for (size_t i = 0; i < kExtension.size(); ++i) {
        const char c = tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] + 32) : tail[i];
        if (c != kExtension[i]) return false;
    }
    return true;
}

}  // namespace kivo
