#include "media/video_manager.h"

#include <exception>

namespace kivo {

namespace {

std::unique_ptr<TStream> OpenOrNull(TVrFileManager& files, std::string_view fileName) {
    try {
        return files.OpenRange(fileName);
    } catch (const std::exception&) {
        return nullptr;
    }
}

}  // namespace

TVideoItem::TVideoItem(TVideoManager& manager, std::string_view fileName, bool flag)
    : manager_(manager),
      pictures_(OpenOrNull(manager.Files(), fileName)),
      sound_(OpenOrNull(manager.Files(), fileName)) {
    handle_ = manager.Library().VidmanAdd(fileName, pictures_.get(), flag, sound_.get());
}

TVideoItem::~TVideoItem() {
    // The library stops reading the streams before they are freed.
    manager_.Library().VidmanDel(handle_);
}

MediaItemTable& TVideoItem::Table() const {
    return manager_.Library().Video();
}

TDMediaItem* TVideoManager::Add(std::string_view fileName, bool flag) {
    return Append(std::make_unique<TVideoItem>(*this, fileName, flag));
}

}  // namespace kivo
