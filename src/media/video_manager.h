#pragma once
// Films: each item decodes its file's pictures (and plays its sound through the mixer) from
// streams of the virtual file system, timed by the library's clock.

#include <memory>
#include <span>
#include <string_view>

#include "media/media_item.h"
#include "storage/vr_file_manager.h"

namespace kivo {

class TVideoManager;

class TVideoItem final : public TDMediaItem {
  public:
    TVideoItem(TVideoManager& manager, std::string_view fileName, bool flag);
    ~TVideoItem() override;

    [[nodiscard]] bool GetLoop() override { return Table().GetAutoRepeat(handle_); }
    void SetLoop(bool loop) override { Table().SetAutoRepeat(handle_, loop); }
    [[nodiscard]] int32_t GetPan() override { return Table().GetPan(handle_); }
    [[nodiscard]] int32_t GetVolume() override { return Table().GetVol(handle_); }
    void SetPan(int32_t pan) override { Table().SetPan(handle_, pan); }
    void SetVolume(int32_t volume) override { Table().SetVol(handle_, volume); }
    [[nodiscard]] int32_t GetPosition() override { return Table().GetPosition(handle_); }
    void SetPosition(int32_t ms) override { Table().SetPosition(handle_, ms); }
    [[nodiscard]] int32_t GetLength() override { return Table().GetLen(handle_); }
    [[nodiscard]] bool IsEnd() override { return Table().IsEnd(handle_); }
    [[nodiscard]] bool IsPlaying() override { return Table().IsPlaying(handle_); }
    [[nodiscard]] bool IsPaused() override { return Table().IsPaused(handle_); }
    void Play() override { Table().Play(handle_); }
    void Pause() override { Table().Pause(handle_); }

    // The picture: NeedPaint decodes the frame due now and says whether it changed; Frame is
    // SourceWidth x SourceHeight pixels (B, G, R, X).
    [[nodiscard]] bool NeedPaint() { return Table().NeedPaint(handle_); }
    [[nodiscard]] std::span<const uint32_t> Frame() const { return Table().Frame(handle_); }
    [[nodiscard]] int32_t SourceWidth() const { return Table().GetSourceWidth(handle_); }
    [[nodiscard]] int32_t SourceHeight() const { return Table().GetSourceHeight(handle_); }
    void SetRect(const TRect& rect, const TRect& clip) { Table().SetRect(handle_, rect, clip); }
    [[nodiscard]] bool GetVisible() const { return Table().GetVisible(handle_); }
    void SetVisible(bool visible) { Table().SetVisible(handle_, visible); }

  private:
    [[nodiscard]] MediaItemTable& Table() const;

    TVideoManager& manager_;
    std::unique_ptr<TStream> pictures_;
    std::unique_ptr<TStream> sound_;
    int32_t handle_ = 0;
};

class TVideoManager final : public TMediaManager {
  public:
    TVideoManager(MediaLibrary& library, TVrFileManager& files)
        : TMediaManager(false), library_(library), files_(files) {}
    ~TVideoManager() override { Clear(); }

    // flag is handed to the library with the file (the scene's overlay mode).
    TDMediaItem* Add(std::string_view fileName, bool flag);
    // Every film pauses when the application loses the focus, and goes on when it returns.
    void SuspendAll() { library_.VidmanSuspend(); }
    void ResumeAll() { library_.VidmanResume(); }

    [[nodiscard]] MediaLibrary& Library() const { return library_; }
    [[nodiscard]] TVrFileManager& Files() const { return files_; }

  private:
    MediaLibrary& library_;
    TVrFileManager& files_;
};

}  // namespace kivo
