#pragma once
// Ogg and WAV sound. With the DirectSound setting on (its default) a file plays through the
// library's Ogg/WAV player, a voice of the mixer with volume and pan; with it off, through the
// player's own wave output, which has volume but no pan.

#include <memory>
#include <string>
#include <string_view>

#include "media/media_item.h"
#include "media/wav_out.h"
#include "storage/range_stream.h"
#include "storage/vr_file_manager.h"

namespace kivo {

class TOggManager;

class TCustomOggItem : public TDMediaItem {
  public:
    [[nodiscard]] const std::string& FileName() const { return fileName_; }

  protected:
    TCustomOggItem(TOggManager& manager, std::string_view fileName);

    TOggManager& manager_;
    std::string fileName_;
    bool isOgg_;
    std::unique_ptr<TStream> stream_;  // the file; null when it cannot be opened
};

// Through the library's Ogg/WAV player.
class TOggItem final : public TLibraryItem<TCustomOggItem> {
  public:
    TOggItem(TOggManager& manager, std::string_view fileName);
    ~TOggItem() override;
};

// The decoded wave data of a file as a read-only stream for the wave output (TOggStream):
// positions and sizes are bytes of the decoder's PCM.
class TOggStream final : public TStream {
  public:
    // decoder is borrowed.
    TOggStream(SoundDecoder& decoder, std::string name);
    [[nodiscard]] int64_t GetSize() const override { return size_; }
    [[nodiscard]] int64_t GetPosition() const override;
    // Clamped to 0..size and floored to a whole frame.
    void SetPosition(int64_t pos) override;
    [[nodiscard]] int64_t Read(void* buffer, int64_t count) override;
    // The decoded data are read-only.
    int64_t Write(const void*, int64_t) override { return 0; }
    [[nodiscard]] std::string SourceName() const override { return name_; }

  private:
    SoundDecoder& decoder_;
    std::string name_;
    int64_t size_;
};

// Through the wave output.
class TOggWaveItem final : public TCustomOggItem {
  public:
    // Raises KivoError "サウンドデータが不正です" naming the file when it holds no sound.
    TOggWaveItem(TOggManager& manager, std::string_view fileName);
    ~TOggWaveItem() override;

    [[nodiscard]] bool GetLoop() override { return buffer_->GetLoop(); }
    void SetLoop(bool loop) override { buffer_->SetLoop(loop); }
    [[nodiscard]] int32_t GetVolume() override { return volume_; }
    void SetVolume(int32_t volume) override;
    [[nodiscard]] int32_t GetPosition() override;
    void SetPosition(int32_t ms) override;
    [[nodiscard]] int32_t GetLength() override;
    // At the end of a looping buffer the buffer starts again and the end is not reported.
    [[nodiscard]] bool IsEnd() override;
    [[nodiscard]] bool IsPlaying() override;
    [[nodiscard]] bool IsPaused() override { return buffer_->IsPaused(); }
    void Play() override;
    void Pause() override;

    // The gain of a volume: (max(v, -5000) + 5000) x 256 / 5000.
    [[nodiscard]] static int32_t GainOf(int32_t volume);

  private:
    [[nodiscard]] int64_t BytesPerSecond() const;

    int32_t decoder_ = 0;
    std::unique_ptr<TOggStream> wave_;
    WaveFormat format_;
    TWavBuffer* buffer_ = nullptr;
    int32_t volume_ = 0;
};

class TOggManager final : public TMediaManager {
  public:
    // directSound chooses the player of new items (the [Sound] setting); soundDelay sizes the
    // wave output's blocks; clock times it, and pumpThread gives it a thread of its own
    // (desktop). The wave output joins the library's mixer while the manager lives.
    TOggManager(MediaLibrary& library, TVrFileManager& files, bool directSound, int32_t soundDelay,
                Clock& clock, bool pumpThread);
    ~TOggManager() override;

    // Raises KivoError for wave-output data that cannot be played; library items never fail
    // (one that cannot be decoded ends as soon as it plays).
    TDMediaItem* Add(std::string_view fileName);
    void Restore() { library_.OggmanRestore(); }

    [[nodiscard]] MediaLibrary& Library() const { return library_; }
    [[nodiscard]] TVrFileManager& Files() const { return files_; }
    [[nodiscard]] TWavOut& WaveOutput() { return waveOutput_; }

  private:
    MediaLibrary& library_;
    TVrFileManager& files_;
    const bool directSound_;
    TWavOut waveOutput_;
};

}  // namespace kivo
