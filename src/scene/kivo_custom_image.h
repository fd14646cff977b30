#pragma once
// The base of every object that shows one picture at a time (images, tiles, map images,
// buttons, the flip snapshot). The picture is a surface the object owns or, taking precedence,
// one it borrows from the image cache together with the frame's mask, key and update
// rectangles.
//
// Size: the object is the picture's size times the zoom (256 = 100 %).
// Setting the width (height) directly sets that zoom to 0, which means "the size is given":
// the picture is stretched to it and later picture changes keep it. Drawing picks the blend
// by alpha: 1..254 blends, 255 is opaque, 256..511 adds with strength alpha - 256; a mask, when
// there is one, says which pixels show, else the colour key does.

#include <cstdint>
#include <vector>

#include "imaging/dibx.h"
#include "scene/kivo_control.h"

namespace kivo {

class TKivoCustomImage : public TKivoControl {
  public:
    // The strongest additive alpha.
    static constexpr int32_t kMaxAlpha = 511;
    // Save records from this version on carry the vertical zoom.
    static constexpr int32_t kSaveVersionZoomY = 104;

    explicit TKivoCustomImage(TKivoBaseList& root);

    [[nodiscard]] std::string_view ClassName() const override { return "TKivoCustomImage"; }

    // ---- Appearance ----

    [[nodiscard]] int32_t Alpha() const { return alpha_; }
    // Values above 511 draw as 511.
    void SetAlpha(int32_t alpha);
    // The scale the picture is drawn and placed at: the zoom, or for a given size the size
    // over the picture size (256 without a picture).
    [[nodiscard]] int32_t ZoomX() const override;
    [[nodiscard]] int32_t ZoomY() const override;
    // The zoom as scripts read it: 0 while the size is given.
    [[nodiscard]] int32_t StoredZoomX() const { return zoomX_; }
    [[nodiscard]] int32_t StoredZoomY() const { return zoomY_; }
    // Zooms of 0 or less become 1; the size follows.
    void SetZoomX(int32_t zoom);
    void SetZoomY(int32_t zoom);
    [[nodiscard]] int32_t Angle() const { return angle_; }
    void SetAngle(int32_t angle) { ChangeArea(angle_, angle); }
    [[nodiscard]] bool FlipH() const override { return flipH_; }
    [[nodiscard]] bool FlipV() const override { return flipV_; }
    void SetFlipH(bool flip) { ChangeArea(flipH_, flip); }
    void SetFlipV(bool flip) { ChangeArea(flipV_, flip); }
    // Whether the pointer hits only where the mask is more than half opaque.
    [[nodiscard]] bool CaptureMask() const { return captureMask_; }
    void SetCaptureMask(bool capture) { captureMask_ = capture; }

    // A size given directly: while no motion runs, the zoom becomes 0 and the size stays.
    void SetWidth(int32_t width) override;
    void SetHeight(int32_t height) override;

    // ---- The picture ----

    // The surface drawn: the borrowed one, else the own one when it has pixels; null for none.
    [[nodiscard]] TCustomDIBX* Picture() const;
    [[nodiscard]] TCustomDIBX* PictureMask() const;
    [[nodiscard]] TColorKey PictureKey() const {
        return borrowed_ != nullptr ? borrowedKey_ : ownKey_;
    }
    [[nodiscard]] int32_t SurfaceWidth() const override;
    [[nodiscard]] int32_t SurfaceHeight() const override;
    // Shows a surface the object does not own (a cache frame). updateRects, when not null and
    // not empty, are the only parts of it drawn. Everything must outlive the borrowing.
    void Borrow(TCustomDIBX& surface, TCustomDIBX* mask, TColorKey key,
                const std::vector<TRect>* updateRects);
    void DropBorrowed();
    // The object's own picture and its key, shown when nothing is borrowed.
    [[nodiscard]] TDIBX& OwnSurface() { return ownSurface_; }
    void SetOwnKey(TColorKey key) { ownKey_ = key; }
    // Works the size out again from the picture and the zoom.
    void RefreshSize();

    // ---- Frame work ----

    void Draw(TDrawContext& context) override;
    // As a control; with capture-mask set, the mask under the pointer must be above 127.
    [[nodiscard]] TKivoControl* HitTest(int32_t x, int32_t y, IgnoreMouseMask mask) override;

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader, int32_t version) override;

  protected:
    // Whether the size comes from the picture and the zoom; a tile's size is always given.
    [[nodiscard]] virtual bool SizeFollowsPicture() const { return true; }
    // Draws the picture (without the children) at the object's place and size. A tile draws
    // its own way.
    virtual void DrawPicture(TDrawContext& context);
    // Draws srcRect of the picture unscaled at (x, y) in the blend alpha selects.
    void DrawPart(TDrawContext& context, int32_t x, int32_t y, const TRect& srcRect);
    // Whether the picture pixel under layer point (x, y) is more than half opaque.
    [[nodiscard]] bool MaskHitAt(int32_t x, int32_t y) const;

  private:
    void DrawRotated(TDrawContext& context, TCustomDIBX& picture);
    void DrawStretched(TDrawContext& context, TCustomDIBX& picture);

    TDIBX ownSurface_;
    TColorKey ownKey_;
    TCustomDIBX* borrowed_ = nullptr;
    TCustomDIBX* borrowedMask_ = nullptr;
    TColorKey borrowedKey_;
    const std::vector<TRect>* updateRects_ = nullptr;
    int32_t alpha_ = 255;
    int32_t zoomX_ = 256;
    int32_t zoomY_ = 256;
    int32_t angle_ = 0;
    bool flipH_ = false;
    bool flipV_ = false;
    bool captureMask_ = false;
};

}  // namespace kivo
