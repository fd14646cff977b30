#include "scene/film_motion.h"

#include "scene/kivo_base_list.h"
#include "scene/kivo_film_stage.h"

namespace kivo {

std::shared_ptr<TFilmManager> TFilmMotion::Read(TKivoBaseList& root, std::string_view name) {
    TVrFileManager* files = root.Services().files;
    if (files == nullptr) return nullptr;
    auto film = std::make_shared<TFilmManager>();
    // Motion mode drives an object that has its own picture: no track loads one.
    if (!film->LoadFromFile(*files, name, nullptr)) return nullptr;
    return film;
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
