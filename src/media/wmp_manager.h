#pragma once
// Windows Media audio (.wma, .asf, .wmv sound): the file is loaded whole through the virtual
// file system and played by the library's Windows Media family.

#include <string_view>

#include "media/media_item.h"
#include "storage/vr_file_manager.h"

namespace kivo {

class TWmpManager;

class TWmpItem final : public TDMediaItem {
  public:
    TWmpItem(TWmpManager& manager, std::string_view fileName);
    ~TWmpItem() override;

    [[nodiscard]] bool GetLoop() override { return link_.Table().GetAutoRepeat(link_.Handle()); }
    void SetLoop(bool loop) override { link_.Table().SetAutoRepeat(link_.Handle(), loop); }
    [[nodiscard]] int32_t GetPan() override { return link_.Table().GetPan(link_.Handle()); }
    [[nodiscard]] int32_t GetVolume() override { return link_.Table().GetVol(link_.Handle()); }
    void SetPan(int32_t pan) override { link_.Table().SetPan(link_.Handle(), pan); }
    void SetVolume(int32_t volume) override { link_.Table().SetVol(link_.Handle(), volume); }
    [[nodiscard]] int32_t GetPosition() override {
        return link_.Table().GetPosition(link_.Handle());
    }
    void SetPosition(int32_t ms) override { link_.SetPosition(ms); }
    [[nodiscard]] int32_t GetLength() override { return link_.Table().GetLen(link_.Handle()); }
    [[nodiscard]] bool IsEnd() override { return link_.IsEnd(); }
    [[nodiscard]] bool IsPlaying() override { return link_.Table().IsPlaying(link_.Handle()); }
    [[nodiscard]] bool IsPaused() override { return link_.Table().IsPaused(link_.Handle()); }
    void Play() override;
    void Pause() override { link_.Pause(*this); }

  private:
    TWmpManager& manager_;
    LibraryItemLink link_;
};

class TWmpManager final : public TMediaManager {
  public:
    TWmpManager(MediaLibrary& library, TVrFileManager& files) : library_(library), files_(files) {}
    ~TWmpManager() override { Clear(); }

    // A file that cannot be read or decoded gives an item that ends as soon as it plays.
    TDMediaItem* Add(std::string_view fileName);
    void Restore() { library_.WmpmanRestore(); }

    [[nodiscard]] MediaLibrary& Library() const { return library_; }
    [[nodiscard]] TVrFileManager& Files() const { return files_; }

  private:
    MediaLibrary& library_;
    TVrFileManager& files_;
};

}  // namespace kivo
