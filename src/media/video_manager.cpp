#include "media/video_manager.h"

namespace kivo {

TVideoItem::TVideoItem(TVideoManager& manager, std::string_view fileName, bool flag)
    : manager_(manager),
      pictures_(OpenMediaFile(manager.Files(), fileName)),
      sound_(OpenMediaFile(manager.Files(), fileName)) {
    // Films have no latch: their end is reported for as long as it lasts.
    Link(manager, manager.Library().Video(),
         manager.Library().VidmanAdd(fileName, pictures_.get(), flag, sound_.get()), false);
}

TVideoItem::~TVideoItem() {
    // The library stops reading the streams before they are freed.
    manager_.Library().VidmanDel(Handle());
}

TDMediaItem* TVideoManager::Add(std::string_view fileName, bool flag) {
    return Append(std::make_unique<TVideoItem>(*this, fileName, flag));
}

}  // namespace kivo
