#include "media/media_objects_port.h"

#include "scene/scene_media.h"

namespace kivo {

MediaObject* MediaObjectsPort::Media(ObjectHandle object) const {
    return dynamic_cast<MediaObject*>(root_.Resolve(object));
}

void MediaObjectsPort::PlayFromStart(ObjectHandle object) {
    if (MediaObject* media = Media(object)) media->Restart();
}

std::optional<int32_t> MediaObjectsPort::PlayState(ObjectHandle object) const {
    const MediaObject* media = Media(object);
    if (media == nullptr) return std::nullopt;
    return media->PlayState();
}

void MediaObjectsPort::SetPlayState(ObjectHandle object, int32_t state) {
    if (MediaObject* media = Media(object)) media->SetPlayState(state);
}

bool MediaObjectsPort::SourceAvailable(ObjectHandle object) const {
    const MediaObject* media = Media(object);
    if (media == nullptr) return false;
    if (media->Source().starts_with("CD_")) return true;
    SceneMedia* service = root_.Media();
    return service != nullptr && service->GameHasFile(media->Source());
}

void MediaObjectsPort::SetUpMotion(ObjectHandle motion, const PropMotionSetup& setup) {
    if (auto* object = dynamic_cast<TKivoPropMotion*>(root_.Resolve(motion))) object->SetUp(setup);
}

}  // namespace kivo
