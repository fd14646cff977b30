#pragma once
// MIDI music: one sequencer for the whole run, playing one item at a time (the current one) on
// the selected port: 0 is the mapper (the software synthesizer mixed into the player's sound),
// further ports are the host's MIDI outputs.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "media/media_item.h"
#include "media/midi_play_v.h"
#include "storage/vr_file_manager.h"

namespace kivo {

class TMidiManager;

class TMidiItem final : public TDMediaItem {
  public:
    TMidiItem(TMidiManager& manager, std::string_view fileName);
    // The current item stops the sequencer and closes its device.
    ~TMidiItem() override;

    [[nodiscard]] bool GetLoop() override;
    void SetLoop(bool loop) override;
    [[nodiscard]] int32_t GetVolume() override { return volume_; }
    // Scales the songs' own volume (controller 7) to volume / 100 + 100 percent.
    void SetVolume(int32_t volume) override;
    [[nodiscard]] int32_t GetPosition() override;
    void SetPosition(int32_t ms) override;
    [[nodiscard]] int32_t GetLength() override;
    [[nodiscard]] bool IsEnd() override;
    [[nodiscard]] bool IsPlaying() override;
    [[nodiscard]] bool IsPaused() override { return paused_; }
    // Loads the file when the item is not current, opens the device, sends GM System On,
    // plays from the remembered position and applies the volume.
    void Play() override;
    void Pause() override;

  private:
    [[nodiscard]] bool Current() const;
    // Reads the file and makes the item current; an empty or missing file is ignored.
    void Load();

    TMidiManager& manager_;
    std::string fileName_;
    int32_t volume_ = 0;
    int32_t position_ = 0;
    int32_t lengthMs_ = -1;  // not known yet
    bool paused_ = false;
    // An empty file plays nothing and reports its end once.
    bool emptyEndDue_ = false;
};

class TMidiManager final : public TMediaManager {
  public:
    // ports opens the mapper and the host ports; the sequencer renders at the mixer's rate and
    // joins it as a source. hostClock paces the sequencer on host ports (desktop; null: the
    // song follows the mix). trace receives one line per message sent (null: none).
    TMidiManager(TVrFileManager& files, MidiPortProvider& ports, TSoundMixer& mixer,
                 Clock* hostClock, TraceSink* trace);
    ~TMidiManager() override;

    TDMediaItem* Add(std::string_view fileName);

    // "MIDIマッパー", then the host ports.
    [[nodiscard]] std::vector<std::string> PortNames() const { return MidiPortNames(*sequencer_); }
    [[nodiscard]] int32_t SelectedPort() const { return selected_; }
    // Clamped to the list. A song that plays moves to the new port at its position; an open
    // device of a song that does not play is closed, so the next Play opens the new port.
    void SelectPort(int32_t index);
    // Selects the port of that name; false when there is none.
    bool SelectPortByName(std::string_view name);

    // Around a switch between window and full screen the device is closed and opened again,
    // and a song that played goes on where it was.
    void BeforeScreenSwitch();
    void AfterScreenSwitch();

    [[nodiscard]] TMidiPlayV& Sequencer() { return *sequencer_; }
    [[nodiscard]] TVrFileManager& Files() const { return files_; }
    [[nodiscard]] TMidiItem* Current() const { return current_; }
    void SetCurrent(TMidiItem* item) { current_ = item; }
    // Opens the selected port when no device is open.
    void OpenSelectedDevice();

  private:
    TVrFileManager& files_;
    TSoundMixer& mixer_;
    std::unique_ptr<TMidiPlayV> sequencer_;
    TMidiItem* current_ = nullptr;
    int32_t selected_ = 0;
    bool reopenAfterSwitch_ = false;
    bool resumeAfterSwitch_ = false;
    int32_t switchClock_ = 0;
};

}  // namespace kivo
