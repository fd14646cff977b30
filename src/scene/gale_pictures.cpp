#include "scene/gale_pictures.h"

#include "base/error.h"
#include "base/sjis.h"
#include "imaging/draw_context.h"
#include "scene/kivo_image_list.h"

namespace kivo {

namespace {

// A cached picture held for one control; the list gives the holding back when it goes.
class CachedControlPicture final : public ControlPicture {
  public:
    CachedControlPicture(TGaleCollection& cache, ObjectHandle user, std::string_view name)
        : frames_(cache) {
        frames_.Load(user, name, false, false);
    }

    [[nodiscard]] int32_t Width() const override { return frames_.Item()->Width(); }
    [[nodiscard]] int32_t Height() const override { return frames_.Item()->Height(); }
    [[nodiscard]] int32_t FrameCount() const override { return frames_.Count(); }
    [[nodiscard]] PictureFrame Frame(int32_t index) const override {
        TGaleItemFrame& frame = frames_.Frame(index);
        return {&frame.surface, frame.mask.get(), frame.key, frame.delay};
    }

  private:
    TKivoImageList frames_;
};

// An inline image of a text; it loops its frames by itself, as the text only asks it to
// move on by the frame's time.
class CachedGlyphImage final : public GlyphImage {
  public:
    explicit CachedGlyphImage(TGaleCollection& cache) : frames_(cache) {}

    // False when the game has no such file; the holding is then given back at once.
    [[nodiscard]] bool Load(std::string_view name) {
        frames_.Load(ObjectHandle{}, name, false, false);
        if (frames_.Item()->Missing() || frames_.Count() == 0) {
            frames_.Clear();
            return false;
        }
        return true;
    }

    [[nodiscard]] int32_t Width() const override { return frames_.Item()->Width(); }
    [[nodiscard]] int32_t Height() const override { return frames_.Item()->Height(); }
    [[nodiscard]] bool IsAnimated() const override { return frames_.Count() > 1; }
    bool Animate(int32_t elapsedMs) override { return frames_.Advance(elapsedMs); }
    void Draw(TCustomDIBX& destination, int32_t x, int32_t y, int32_t alpha) override {
        const TGaleItemFrame& frame = frames_.Frame(frames_.Current());
        const PictureFrame piece{const_cast<TDIBX*>(&frame.surface), frame.mask.get(), frame.key,
                                 frame.delay};
        TDrawContext context(destination);
        // A trimmed frame keeps its place inside the whole picture.
        DrawPicturePiece(context, piece, frame.surface.ClientRect(), x + frame.offsetX,
                         y + frame.offsetY, alpha);
    }

  private:
    TKivoImageList frames_;
};

}  // namespace

std::unique_ptr<ControlPicture> TGalePictures::Acquire(std::string_view name) {
    return AcquireFor(ObjectHandle{}, name);
}

std::unique_ptr<ControlPicture> TGalePictures::AcquireFor(ObjectHandle user,
                                                          std::string_view name) {
    if (!sjis::ToLowerAscii(name).ends_with(".gal")) return nullptr;
    return std::make_unique<CachedControlPicture>(cache_, user, name);
}

std::unique_ptr<GlyphImage> TGalePictures::Open(std::string_view source) {
    if (source.empty()) return nullptr;
    auto image = std::make_unique<CachedGlyphImage>(cache_);
    try {
        if (!image->Load(source)) return nullptr;
    } catch (const KivoError&) {
        return nullptr;
    }
    return image;
}

}  // namespace kivo
