#include "shell/player.h"

#include <algorithm>
#include <iostream>

#include "scene/kivo_base_list.h"
#include "shell/save_folder.h"

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
    SavePort& savePort = saves ? static_cast<SavePort&>(*saves) : noSaves;
    ScriptContext context{state,     platform.clock, platform.calendar, random, sceneCommands,
                          mediaPort, savePort,       platform.urls,     &tables};
    context.screen = &sceneWindow;
    return context;
}

SaveLocation Player::ChosenSaveLocation() const {
    return ChooseSaveLocation(HomeFolder(), config_.saveDir, config_.userDataFolder);
}

void Player::CreateSaves() {
    const SaveLocation location = ChosenSaveLocation();
    // Files the game wrote beside its saves in an earlier run (its folder being read-only)
    // are found again.
    if (files && !files->Folder().empty()) {
        const std::filesystem::path written = ChooseWriteFolder(files->Folder(), location.file);
        if (written != files->Folder()) files->SetWrittenFolder(written);
    }
    std::ostream& warnings = config_.warnings != nullptr ? *config_.warnings : std::cerr;
    const SaveServices services{state,       *variables,    tables,         platform.dialogs,
                                sceneRecord, backlogRecord, readMarkRecord, ditherRecord,
                                warnings};
    saves = std::make_unique<TSaveManager>(services, TSaveFile(location.file, location.seed));
}

void SceneSaveSection::Save(ByteWriter& writer) const {
    if (scene_) scene_->SaveRecord(writer);
}

void SceneSaveSection::Load(ByteReader& reader, int32_t version) {
    if (scene_) scene_->LoadRecord(reader, version);
}

void SceneSaveSection::FinishLoad() {
    if (scene_) scene_->FinishLoadRecord();
}

void DitherSaveSection::Save(ByteWriter& writer) const {
    TKivoBaseList* root = scene_ ? scene_->ObjectRoot() : nullptr;
    if (root != nullptr) {
        root->Images().Save(writer);
    } else {
        writer.WriteBool(false);
    }
}

void DitherSaveSection::Load(ByteReader& reader, int32_t version) {
    TKivoBaseList* root = scene_ ? scene_->ObjectRoot() : nullptr;
    if (root != nullptr) {
        root->Images().Load(reader, version);
    } else if (version >= TGaleCollection::kSaveVersionCache) {
        (void)reader.ReadBool();
    }
}

void Player::StartupTrace(std::string_view label) {
    if (!platform.trace.Enabled()) return;
    platform.trace.WriteLine(std::string("StartupTrace ") += label);
}

}  // namespace kivo
