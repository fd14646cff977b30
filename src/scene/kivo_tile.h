#pragma once
// A tile (LT_TILE): a picture repeated over the object's rectangle, which is always given by
// the script (never taken from the picture). The pattern starts at minus the scroll, so
// scrolling moves the picture (and the children) left and up; a distance larger than the
// zoomed picture spaces the copies, one per cell. The frames of an animated picture loop.

#include <cstdint>
#include <string>

#include "scene/kivo_images.h"

namespace kivo {

class TKivoTile final : public TKivoCustomImages, public FilmPictureShow {
  public:
    explicit TKivoTile(TKivoBaseList& root);

    [[nodiscard]] int32_t Kind() const override { return LT_TILE; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoTile"; }

    [[nodiscard]] const std::string& Source() const { return source_; }
    // A ".gal" name tiles that picture; any other name tiles nothing.
    void SetSource(std::string source);
    void ShowFilmPicture(const std::string& fileName, int32_t frameIndex) override;
    [[nodiscard]] int32_t ScrollX() const override { return scrollX_; }
    [[nodiscard]] int32_t ScrollY() const override { return scrollY_; }
    void SetScrollX(int32_t scroll) { ChangeArea(scrollX_, scroll); }
    void SetScrollY(int32_t scroll) { ChangeArea(scrollY_, scroll); }
    [[nodiscard]] int32_t DistanceX() const { return distanceX_; }
    [[nodiscard]] int32_t DistanceY() const { return distanceY_; }
    void SetDistanceX(int32_t distance) { ChangeArea(distanceX_, distance); }
    void SetDistanceY(int32_t distance) { ChangeArea(distanceY_, distance); }
    // A tile's frames always loop.
    [[nodiscard]] bool Repeat() const override { return true; }
    [[nodiscard]] std::string IdleHandler() const override { return idleHandler_; }
    void SetIdleHandler(std::string handler) { idleHandler_ = std::move(handler); }

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  protected:
    [[nodiscard]] bool SizeFollowsPicture() const override { return false; }
    [[nodiscard]] TKivoImageList* FrameList() override { return &frames_; }
    void DrawPicture(TDrawContext& context) override;

  private:
    TKivoImageList frames_;
    int32_t scrollX_ = 0;
    int32_t scrollY_ = 0;
    int32_t distanceX_ = 0;
    int32_t distanceY_ = 0;
    std::string source_;
    std::string idleHandler_;
};

}  // namespace kivo
