#pragma once
// The media managers as the scene's sound objects see them: items by file type, the game's
// files, the sound switch and the MIDI ports. The shell makes one once the managers exist and
// hands it to the scene root; the managers must outlive it and the sounds it served.

#include <string>
#include <string_view>
#include <vector>

#include "media/media_managers.h"
#include "scene/scene_media.h"
#include "storage/vr_file_manager.h"

namespace kivo {

class SceneMediaService final : public SceneMedia {
  public:
    SceneMediaService(TMediaManagers& managers, TVrFileManager& files)
        : managers_(managers), files_(files) {}

    [[nodiscard]] bool GameHasFile(std::string_view name) override;
    [[nodiscard]] SoundItemRef AddSound(std::string_view name) override;
    void RemoveSound(SoundItem* item) override;
    [[nodiscard]] VideoItemRef AddVideo(std::string_view name, bool overlay) override;
    void RemoveVideo(SoundItem* item) override;
    void SetSoundOn(bool on) override { managers_.SetSoundOn(on); }
    [[nodiscard]] std::vector<std::string> MidiPortNames() override;
    [[nodiscard]] std::string MidiPort() override;
    void SelectMidiPort(std::string_view name) override;

  private:
    TMediaManagers& managers_;
    TVrFileManager& files_;
};

}  // namespace kivo
