#pragma once
// The pictures of a film's tracks, taken from the scene's image cache: the film learns each
// picture's frame times and offsets from them when it is read, and the objects its tracks
// make show the same cached item, so a picture is decoded once however many use it.
//
// Each picture holds its cache item for the film's owner (the cinema) until the film lets it
// go; the cache must outlive the pictures (the scene root frees its objects, and with them
// their films, before its cache).

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/film_stage.h"
#include "scene/gale_collection.h"
#include "scene/object_handle.h"

namespace kivo {

class TFilmCachePicture final : public TFilmPicture {
  public:
    TFilmCachePicture(TGaleCollection& cache, TGaleItem& item, ObjectHandle user);
    ~TFilmCachePicture() override;
    TFilmCachePicture(const TFilmCachePicture&) = delete;
    TFilmCachePicture& operator=(const TFilmCachePicture&) = delete;

    [[nodiscard]] const std::vector<TFilmPictureFrame>& Frames() const override { return frames_; }
    // The virtual file the picture was read from.
    [[nodiscard]] const std::string& FileName() const { return item_.FileName(); }

  private:
    TGaleCollection& cache_;
    TGaleItem& item_;
    ObjectHandle user_;
    std::vector<TFilmPictureFrame> frames_;
};

class TFilmCachePictures final : public TFilmPictureSource {
  public:
    // Pictures are held in cache on behalf of user.
    TFilmCachePictures(TGaleCollection& cache, ObjectHandle user) : cache_(cache), user_(user) {}

    // Null for a missing or damaged file: its track gets no frames, never the cache's
    // transparent stand-in.
    [[nodiscard]] std::shared_ptr<const TFilmPicture> Acquire(std::string_view name) override;

  private:
    TGaleCollection& cache_;
    ObjectHandle user_;
};

}  // namespace kivo
