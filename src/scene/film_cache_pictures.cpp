#include "scene/film_cache_pictures.h"

#include "base/error.h"

namespace kivo {

TFilmCachePicture::TFilmCachePicture(TGaleCollection& cache, TGaleItem& item, ObjectHandle user)
    : cache_(cache), item_(item), user_(user) {
    frames_.reserve(static_cast<size_t>(item.FrameCount()));
    for (int32_t i = 0; i < item.FrameCount(); ++i) {
        const TGaleItemFrame& frame = item.Frame(i);
        frames_.push_back(
            {.DelayMs = frame.delay, .OffsetX = frame.offsetX, .OffsetY = frame.offsetY});
    }
}

TFilmCachePicture::~TFilmCachePicture() {
    cache_.Release(item_, user_);
}

std::shared_ptr<const TFilmPicture> TFilmCachePictures::Acquire(std::string_view name) {
    // The same key as the picture objects use, so that the tracks' objects share the item. A
    // damaged picture costs its track its frames, as a missing one does, and the film plays on.
    TGaleItem* found = nullptr;
    try {
        found = &cache_.Acquire(user_, name, false, false);
    } catch (const KivoError&) {
        return nullptr;
    }
    TGaleItem& item = *found;
    if (item.Missing()) {
        cache_.Release(item, user_);
        return nullptr;
    }
    return std::make_shared<TFilmCachePicture>(cache_, item, user_);
}

}  // namespace kivo
