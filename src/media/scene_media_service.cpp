#include "media/scene_media_service.h"

namespace kivo {

bool SceneMediaService::GameHasFile(std::string_view name) {
    return !name.empty() && files_.FileExists(name);
}

SoundItemRef SceneMediaService::AddSound(std::string_view name) {
    TDMediaItem* item = managers_.AddSound(name);
    return {item, item != nullptr && RouteSoundFile(name) == MediaRoute::Midi};
}

void SceneMediaService::RemoveSound(SoundItem* item) {
    // Every item this service hands out is a manager's item.
    managers_.RemoveSound(static_cast<TDMediaItem*>(item));
}

VideoItemRef SceneMediaService::AddVideo(std::string_view name, bool overlay) {
    if (!managers_.video) return {};
    // Every item of the video manager is a video item.
    auto* item = static_cast<TVideoItem*>(managers_.video->Add(name, overlay));
    return {item, item};
}

void SceneMediaService::RemoveVideo(SoundItem* item) {
    if (managers_.video) managers_.video->Remove(static_cast<TDMediaItem*>(item));
}

std::vector<std::string> SceneMediaService::MidiPortNames() {
    return managers_.midi ? managers_.midi->PortNames() : std::vector<std::string>{};
}

std::string SceneMediaService::MidiPort() {
    if (!managers_.midi) return {};
    const std::vector<std::string> names = managers_.midi->PortNames();
    const auto index = static_cast<size_t>(managers_.midi->SelectedPort());
    return index < names.size() ? names[index] : std::string();
}

void SceneMediaService::SelectMidiPort(std::string_view name) {
    if (managers_.midi) (void)managers_.midi->SelectPortByName(name);
}

}  // namespace kivo
