#pragma once
// The image cache as the controls and the message windows see it: a button's state pictures,
// a list box's cells and strips, and the inline images of text all come from the scene's
// TGaleCollection through here, so that one file shown by an image object, a button and a
// message window is decoded once.
//
// Every picture handed out is one holding on its cache item, given back when the picture is
// freed (a new source, the object's destruction). The holder is the object that asked when it
// says so, else a null handle; the cache counts holdings, so many anonymous holders of one item
// are as safe as one. The pictures must be freed before the cache, which the scene root
// guarantees by freeing its objects first.
//
// Controls get the cache's answer for any ".gal" name, a missing file included (its one
// transparent 8 x 8 frame). Text measures a missing image as 0 x 0 instead, so Open gives
// nothing for a missing file; a damaged file shows nothing either, since a page of text must
// not fail because one of its pictures did.

#include <memory>
#include <string_view>

#include "scene/control_picture.h"
#include "scene/gale_collection.h"
#include "text/text_services.h"

namespace kivo {

class TGalePictures final : public ControlPictureSource, public GlyphImageSource {
  public:
    explicit TGalePictures(TGaleCollection& cache) : cache_(cache) {}

    // ---- ControlPictureSource ----
    [[nodiscard]] std::unique_ptr<ControlPicture> Acquire(std::string_view name) override;
    [[nodiscard]] std::unique_ptr<ControlPicture> AcquireFor(ObjectHandle user,
                                                             std::string_view name) override;

    // ---- GlyphImageSource ----
    [[nodiscard]] std::unique_ptr<GlyphImage> Open(std::string_view source) override;

  private:
    TGaleCollection& cache_;
};

}  // namespace kivo
