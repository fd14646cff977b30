#pragma once
// Windows Media audio (.wma, .asf, .wmv sound): the file is loaded whole through the virtual
// file system and played by the library's Windows Media family.

#include <string_view>

#include "media/media_item.h"
#include "storage/vr_file_manager.h"

namespace kivo {

class TWmpManager;

class TWmpItem final : public TLibraryItem<TDMediaItem> {
  public:
    TWmpItem(TWmpManager& manager, std::string_view fileName);
    ~TWmpItem() override;

  private:
    TWmpManager& manager_;
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
