#include "shell/player.h"

#include <algorithm>

namespace kivo {

void SilentAudioSource::Render(int16_t* out, size_t frames, int32_t channels) {
    std::fill(out, out + frames * static_cast<size_t>(channels), int16_t{0});
}

Player::Player(Platform services, PlayerConfig config)
    : platform(services), config_(std::move(config)) {}

std::filesystem::path Player::HomeFolder() const {
    if (!config_.arguments.empty()) return TVrFileManager::GameFolderOf(config_.arguments.front());
    return config_.executableFolder;
}

ScriptContext Player::ScriptWorld() {
    SceneCommands& sceneCommands = scene ? scene->Commands() : noScene;
    MediaPort& mediaPort = mediaObjects ? static_cast<MediaPort&>(*mediaObjects) : noMedia;
    return ScriptContext{state,     platform.clock, platform.calendar, random, sceneCommands,
                         mediaPort, noSaves,        platform.urls,     &tables};
}

void Player::StartupTrace(std::string_view label) {
    if (!platform.trace.Enabled()) return;
    platform.trace.WriteLine(std::string("StartupTrace ") += label);
}

}  // namespace kivo
