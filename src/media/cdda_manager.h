#pragma once
// CD audio. Track n of the game's audio disc plays from a ripped copy: cdda/trackNN.ogg,
// cdda/trackNN.flac or cdda/trackNN.wav (NN two digits, 01 for the first track) in the game
// folder or in a disc folder (a folder named on the command line or a mounted disc), looked
// up in that order. The host's mixer is never touched: the CD volume is a gain of the mix.
//
// As with a CD player, one track plays at a time, and times are whole seconds.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "media/media_item.h"
#include "storage/vr_file_manager.h"

namespace kivo {

class TCddaManager;

class TCddaItem final : public TDMediaItem {
  public:
    // track: the number after "CD_"; nothing plays without one.
    TCddaItem(TCddaManager& manager, std::optional<int32_t> track);
    ~TCddaItem() override;

    [[nodiscard]] bool GetLoop() override { return loop_; }
    void SetLoop(bool loop) override;
    [[nodiscard]] int32_t GetVolume() override { return volume_; }
    // The gain is (max(v, -5000) + 5000) / 5000 of full scale, as the CD line of a mixer was
    // set.
    void SetVolume(int32_t volume) override;
    [[nodiscard]] int32_t GetPosition() override;
    void SetPosition(int32_t ms) override;
    [[nodiscard]] int32_t GetLength() override;
    [[nodiscard]] bool IsEnd() override;
    [[nodiscard]] bool IsPlaying() override;
    [[nodiscard]] bool IsPaused() override { return paused_; }
    void Play() override;
    // Remembers the position, one second back (not before 0), and stops.
    void Pause() override;

    // Stops without remembering (another track starts).
    void StopForOther();

  private:
    void OpenVoice();
    [[nodiscard]] int64_t VoiceSeconds() const;

    TCddaManager& manager_;
    std::optional<int32_t> track_;
    std::shared_ptr<TSoundVoice> voice_;
    bool opened_ = false;
    bool loop_ = false;
    bool paused_ = false;
    int32_t volume_ = 0;
    int32_t rememberedSeconds_ = 0;
    int32_t lengthMs_ = 0;
};

class TCddaManager final : public TMediaManager {
  public:
    TCddaManager(MediaLibrary& library, TVrFileManager& files) : library_(library), files_(files) {}
    ~TCddaManager() override { Clear(); }

    // name is "CD_" followed by the track number.
    TDMediaItem* Add(std::string_view name);

    // The ripped copy of track n: the first of cdda/trackNN.ogg, .flac, .wav in the game
    // folder, then in each disc folder; nothing when there is none.
    [[nodiscard]] std::unique_ptr<SoundDecoder> OpenTrack(int32_t track);

    [[nodiscard]] MediaLibrary& Library() const { return library_; }
    [[nodiscard]] TCddaItem* Current() const { return current_; }
    void SetCurrent(TCddaItem* item) { current_ = item; }

  private:
    MediaLibrary& library_;
    TVrFileManager& files_;
    TCddaItem* current_ = nullptr;
    bool discsListed_ = false;
};

// The track number of a name "CD_n"; nothing for a name without a number after "CD_".
[[nodiscard]] std::optional<int32_t> CdTrackNumber(std::string_view name);

}  // namespace kivo
