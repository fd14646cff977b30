#pragma once
// The uniform face of a playing sound, piece of music or film (TDMediaItem), the list every
// media manager keeps of the items it made, and the rules they share: a manager pauses what
// plays when the application loses the focus (or the game turns its sound off) and resumes
// exactly that afterwards.
//
// Volumes are attenuations in hundredths of a decibel, -10000 (silent) to 0 (full); pans run
// from -10000 (left) to 10000 (right); times are milliseconds. Everything runs on the main
// thread.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "media/media_library.h"
#include "scene/scene_media.h"
#include "storage/vr_file_manager.h"

namespace kivo {

class TMediaManager;

// A read-only window over the file in the virtual file system; null when it is missing or
// cannot be opened (the item then plays nothing and ends at once).
[[nodiscard]] std::unique_ptr<TStream> OpenMediaFile(TVrFileManager& files,
                                                     std::string_view fileName);

class TDMediaItem : public SoundItem {
  public:
    ~TDMediaItem() override = default;
    TDMediaItem(const TDMediaItem&) = delete;
    TDMediaItem& operator=(const TDMediaItem&) = delete;

    [[nodiscard]] bool GetLoop() override { return false; }
    void SetLoop(bool) override {}
    [[nodiscard]] int32_t GetPan() override { return 0; }
    [[nodiscard]] int32_t GetVolume() override { return 0; }
    void SetPan(int32_t) override {}
    void SetVolume(int32_t) override {}
    [[nodiscard]] int32_t GetPosition() override { return 0; }
    void SetPosition(int32_t) override {}
    [[nodiscard]] int32_t GetLength() override { return 0; }
    [[nodiscard]] bool IsEnd() override { return false; }
    virtual void Poll() {}
    [[nodiscard]] bool IsPlaying() override { return false; }
    [[nodiscard]] bool IsPaused() override { return false; }
    void Play() override {}
    void Pause() override {}

    // Set by the manager's Suspend for the items it paused, so Resume plays exactly those.
    bool pausedByManager = false;
    // A Play made while the manager was inactive: played when the manager resumes.
    bool playRequested = false;

  protected:
    TDMediaItem() = default;
};

// The items of one manager, owned, with its Active and Suspended marks.
class TMediaManager {
  public:
    // hasActive: false for the video manager, which is never inactive.
    explicit TMediaManager(bool hasActive = true) : hasActive_(hasActive) {}
    virtual ~TMediaManager() = default;
    TMediaManager(const TMediaManager&) = delete;
    TMediaManager& operator=(const TMediaManager&) = delete;

    // Frees the item and takes it out of the list; an item of another manager is left alone.
    void Remove(TDMediaItem* item);
    [[nodiscard]] TDMediaItem* Items(size_t index) const;
    [[nodiscard]] size_t Count() const { return items_.size(); }
    void Clear();

    // Pauses every item that plays (marking it) unless inactive or suspended already.
    void Suspend();
    // Plays the items Suspend paused, and those asked to play while inactive.
    void Resume();
    // Going inactive suspends first; going active resumes afterwards.
    void SetActive(bool active);
    [[nodiscard]] bool Active() const { return active_; }
    [[nodiscard]] bool Suspended() const { return suspended_; }

  protected:
    TDMediaItem* Append(std::unique_ptr<TDMediaItem> item);

  private:
    void PlayMarked();

    std::vector<std::unique_ptr<TDMediaItem>> items_;
    const bool hasActive_;
    bool active_ = true;
    bool suspended_ = false;
};

// An item of a library family (Windows Media, the library's Ogg/WAV player, video): its
// handle in the family's table, the latch that reports each end once, and the Play held back
// while the manager is inactive.
class LibraryItemLink {
  public:
    LibraryItemLink(MediaItemTable& table, int32_t handle, bool latchEnd)
        : table_(table), handle_(handle), latchEnd_(latchEnd) {}

    [[nodiscard]] int32_t Handle() const { return handle_; }
    [[nodiscard]] MediaItemTable& Table() const { return table_; }

    void Play(TDMediaItem& item, const TMediaManager& manager);
    void Pause(TDMediaItem& item);
    // True once per end; false again until the position is set.
    [[nodiscard]] bool IsEnd();
    void SetPosition(int32_t ms);

  private:
    MediaItemTable& table_;
    int32_t handle_;
    bool latchEnd_;
    bool endReported_ = false;
};

// The operations of an item of a library family, forwarded one to one to the family's table.
// The derived class opens the item in its constructor and hands it over with Link.
template <class Base>
class TLibraryItem : public Base {
  public:
    [[nodiscard]] bool GetLoop() override { return Table().GetAutoRepeat(Handle()); }
    void SetLoop(bool loop) override { Table().SetAutoRepeat(Handle(), loop); }
    [[nodiscard]] int32_t GetPan() override { return Table().GetPan(Handle()); }
    [[nodiscard]] int32_t GetVolume() override { return Table().GetVol(Handle()); }
    void SetPan(int32_t pan) override { Table().SetPan(Handle(), pan); }
    void SetVolume(int32_t volume) override { Table().SetVol(Handle(), volume); }
    [[nodiscard]] int32_t GetPosition() override { return Table().GetPosition(Handle()); }
    void SetPosition(int32_t ms) override { link_->SetPosition(ms); }
    [[nodiscard]] int32_t GetLength() override { return Table().GetLen(Handle()); }
    [[nodiscard]] bool IsEnd() override { return link_->IsEnd(); }
    [[nodiscard]] bool IsPlaying() override { return Table().IsPlaying(Handle()); }
    [[nodiscard]] bool IsPaused() override { return Table().IsPaused(Handle()); }
    void Play() override { link_->Play(*this, *owner_); }
    void Pause() override { link_->Pause(*this); }

  protected:
    template <class... Args>
    explicit TLibraryItem(Args&&... args) : Base(std::forward<Args>(args)...) {}

    void Link(const TMediaManager& manager, MediaItemTable& table, int32_t handle, bool latchEnd) {
        owner_ = &manager;
        link_.emplace(table, handle, latchEnd);
    }
    [[nodiscard]] int32_t Handle() const { return link_->Handle(); }
    [[nodiscard]] MediaItemTable& Table() const { return link_->Table(); }

  private:
    const TMediaManager* owner_ = nullptr;
    std::optional<LibraryItemLink> link_;
};

}  // namespace kivo
