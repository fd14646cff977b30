#pragma once
// The media commands' view of the scene's sound, movie and property-motion objects: handles
// are resolved in the scene root and the objects do the work. Made by the shell with the
// scene, which must outlive it.

#include "scene/kivo_base_list.h"
#include "scene/scene_media.h"
#include "script/media_port.h"

namespace kivo {

class MediaObjectsPort final : public MediaPort {
  public:
    explicit MediaObjectsPort(TKivoBaseList& root) : root_(root) {}

    void PlayFromStart(ObjectHandle object) override;
    [[nodiscard]] std::optional<int32_t> PlayState(ObjectHandle object) const override;
    void SetPlayState(ObjectHandle object, int32_t state) override;
    [[nodiscard]] bool SourceAvailable(ObjectHandle object) const override;
    void SetUpMotion(ObjectHandle motion, const PropMotionSetup& setup) override;

  private:
    [[nodiscard]] MediaObject* Media(ObjectHandle object) const;

    TKivoBaseList& root_;
};

}  // namespace kivo
