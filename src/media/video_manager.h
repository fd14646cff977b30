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

class TVideoItem final : public TLibraryItem<TDMediaItem>, public VideoFrames {
  public:
    TVideoItem(TVideoManager& manager, std::string_view fileName, bool flag);
    ~TVideoItem() override;

    // The picture: NeedPaint decodes the frame due now and says whether it changed; Frame is
    // SourceWidth x SourceHeight pixels (B, G, R, X).
    [[nodiscard]] bool NeedPaint() override { return Table().NeedPaint(Handle()); }
    [[nodiscard]] std::span<const uint32_t> Frame() const override {
        return Table().Frame(Handle());
    }
    [[nodiscard]] int32_t SourceWidth() const override { return Table().GetSourceWidth(Handle()); }
    [[nodiscard]] int32_t SourceHeight() const override {
        return Table().GetSourceHeight(Handle());
    }
    void SetRect(const TRect& rect, const TRect& clip) override {
        Table().SetRect(Handle(), rect, clip);
    }
    [[nodiscard]] bool GetVisible() const { return Table().GetVisible(Handle()); }
    void SetVisible(bool visible) override { Table().SetVisible(Handle(), visible); }

  private:
    TVideoManager& manager_;
    std::unique_ptr<TStream> pictures_;
    std::unique_ptr<TStream> sound_;
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
