#include "scene/kivo_custom_image.h"

#include <algorithm>

#include "imaging/dibx_wave.h"
#include "imaging/draw_context.h"

namespace kivo {

namespace {

// The scale of a given size over the picture's, in 256ths, at least 1.
int32_t EffectiveZoom(int32_t size, int32_t pictureSize) {
    if (pictureSize <= 0) return 256;
    return static_cast<int32_t>(std::max<int64_t>(1, int64_t{size} * 256 / pictureSize));
}

int32_t Scaled(int32_t size, int32_t zoom) {
    return static_cast<int32_t>(int64_t{size} * zoom / 256);
}

}  // namespace

TKivoCustomImage::TKivoCustomImage(TKivoBaseList& root) : TKivoControl(root) {}

// ---- Appearance ----

void TKivoCustomImage::SetAlpha(int32_t alpha) {
    ChangeArea(alpha_, std::min(alpha, kMaxAlpha));
}

int32_t TKivoCustomImage::ZoomX() const {
    return zoomX_ > 0 ? zoomX_ : EffectiveZoom(Width(), SurfaceWidth());
}

int32_t TKivoCustomImage::ZoomY() const {
    return zoomY_ > 0 ? zoomY_ : EffectiveZoom(Height(), SurfaceHeight());
}

void TKivoCustomImage::SetZoomX(int32_t zoom) {
    zoom = std::max(zoom, 1);
    if (zoom == zoomX_) return;
    Invalidate();
    zoomX_ = zoom;
    RefreshSize();
    Invalidate();
}

void TKivoCustomImage::SetZoomY(int32_t zoom) {
    zoom = std::max(zoom, 1);
    if (zoom == zoomY_) return;
    Invalidate();
    zoomY_ = zoom;
    RefreshSize();
    Invalidate();
}

void TKivoCustomImage::SetWidth(int32_t width) {
    if (Motion() == nullptr && SizeFollowsPicture()) zoomX_ = 0;
    TKivoControl::SetWidth(width);
}

void TKivoCustomImage::SetHeight(int32_t height) {
    if (Motion() == nullptr && SizeFollowsPicture()) zoomY_ = 0;
    TKivoControl::SetHeight(height);
}

// ---- The picture ----

TCustomDIBX* TKivoCustomImage::Picture() const {
    if (borrowed_ != nullptr) return borrowed_;
    return ownSurface_.IsEmpty() ? nullptr : const_cast<TDIBX*>(&ownSurface_);
}

TCustomDIBX* TKivoCustomImage::PictureMask() const {
    return borrowed_ != nullptr ? borrowedMask_ : nullptr;
}

int32_t TKivoCustomImage::SurfaceWidth() const {
    const TCustomDIBX* picture = Picture();
    return picture != nullptr ? picture->Width() : 0;
}

int32_t TKivoCustomImage::SurfaceHeight() const {
    const TCustomDIBX* picture = Picture();
    return picture != nullptr ? picture->Height() : 0;
}

void TKivoCustomImage::Borrow(TCustomDIBX& surface, TCustomDIBX* mask, TColorKey key,
                              const std::vector<TRect>* updateRects) {
    Invalidate();
    borrowed_ = &surface;
    borrowedMask_ = mask;
    borrowedKey_ = key;
    updateRects_ = updateRects;
    RefreshSize();
    Invalidate();
}

void TKivoCustomImage::DropBorrowed() {
    if (borrowed_ == nullptr) return;
    Invalidate();
    borrowed_ = nullptr;
    borrowedMask_ = nullptr;
    borrowedKey_ = TColorKey();
    updateRects_ = nullptr;
}

void TKivoCustomImage::RefreshSize() {
    // A motion sets the zoom frame by frame, and the size follows it as it follows a script's.
    if (!SizeFollowsPicture()) return;
    const int32_t pictureWidth = SurfaceWidth();
    const int32_t pictureHeight = SurfaceHeight();
    // A given size (zoom 0) stays whatever the picture.
    if (zoomX_ > 0) TKivoControl::SetWidth(Scaled(pictureWidth, zoomX_));
    if (zoomY_ > 0) TKivoControl::SetHeight(Scaled(pictureHeight, zoomY_));
}

// ---- Drawing ----

void TKivoCustomImage::Draw(TDrawContext& context) {
    DrawPicture(context);
    TKivoControl::Draw(context);
}

void TKivoCustomImage::DrawPicture(TDrawContext& context) {
    TCustomDIBX* picture = Picture();
    if (picture == nullptr || alpha_ < 1 || Width() < 1 || Height() < 1) return;
    if (angle_ != 0) {
        DrawRotated(context, *picture);
        return;
    }
    if (picture->Width() != Width() || picture->Height() != Height()) {
        DrawStretched(context, *picture);
        return;
    }
    const int32_t x = AbsLeft(), y = AbsTop();
    // A wave shifts rows after they are drawn, so it needs the whole picture.
    const bool wave = dynamic_cast<TDIBXWave*>(&context.Surface()) != nullptr;
    if (updateRects_ == nullptr || updateRects_->empty() || wave) {
        DrawPart(context, x, y, picture->ClientRect());
        return;
    }
    const std::optional<TRect> clip = context.ClipRect();
    for (const TRect& part : *updateRects_) {
        const TRect source = Intersect(part, picture->ClientRect());
        if (source.IsEmpty()) continue;
        // A flipped picture shows the part at its mirrored place.
        const int32_t partX = flipH_ ? Width() - source.Right : source.Left;
        const int32_t partY = flipV_ ? Height() - source.Bottom : source.Top;
        const TRect onLayer{x + partX, y + partY, x + partX + source.Width(),
                            y + partY + source.Height()};
        const TRect within = clip ? Intersect(*clip, onLayer) : onLayer;
        if (within.IsEmpty()) continue;
        context.SetClipRect(within);
        DrawPart(context, x + partX, y + partY, source);
    }
    if (clip) {
        context.SetClipRect(*clip);
    } else {
        context.ResetClip();
    }
}

void TKivoCustomImage::DrawPart(TDrawContext& context, int32_t x, int32_t y, const TRect& srcRect) {
    TCustomDIBX& picture = *Picture();
    TCustomDIBX* mask = PictureMask();
    const TColorKey key = PictureKey();
    if (mask != nullptr) {
        if (alpha_ > 255) {
            context.DrawMaskAdd(x, y, alpha_ - 256, *mask, flipV_, flipH_, srcRect, picture);
        } else if (alpha_ == 255) {
            context.DrawMask(x, y, *mask, flipV_, flipH_, srcRect, picture);
        } else {
            context.DrawMaskAlpha(x, y, alpha_, *mask, flipV_, flipH_, srcRect, picture);
        }
    } else if (alpha_ > 255) {
        context.DrawAdd(x, y, alpha_ - 256, flipV_, flipH_, key, srcRect, picture);
    } else if (alpha_ == 255) {
        context.Draw(x, y, flipV_, flipH_, key, srcRect, picture);
    } else {
        context.DrawAlpha(x, y, alpha_, flipV_, flipH_, key, srcRect, picture);
    }
}

void TKivoCustomImage::DrawRotated(TDrawContext& context, TCustomDIBX& picture) {
    // The picture turns about its reference point (the offset), which stays where the
    // unturned picture would put it.
    const int32_t zoomX = ZoomX(), zoomY = ZoomY();
    const int32_t x = AbsLeft() + Scaled(OffsetX(), zoomX);
    const int32_t y = AbsTop() + Scaled(OffsetY(), zoomY);
    TCustomDIBX* mask = PictureMask();
    if (mask != nullptr) {
        context.DrawRotateMask(x, y, alpha_, *mask, flipV_, flipH_, angle_, OffsetY(), OffsetX(),
                               picture.ClientRect(), picture, zoomY, zoomX);
    } else {
        context.DrawRotate(x, y, alpha_, flipV_, flipH_, PictureKey(), angle_, OffsetY(), OffsetX(),
                           picture.ClientRect(), picture, zoomY, zoomX);
    }
}

void TKivoCustomImage::DrawStretched(TDrawContext& context, TCustomDIBX& picture) {
    const TRect target = BoundsRect();
    const TRect source = picture.ClientRect();
    TCustomDIBX* mask = PictureMask();
    if (mask != nullptr) {
        if (alpha_ > 255) {
            context.StretchDrawMaskAdd(target, picture, alpha_ - 256, *mask, flipV_, flipH_,
                                       source);
        } else {
            context.StretchDrawMask(target, picture, alpha_, *mask, flipV_, flipH_, source);
        }
    } else if (alpha_ > 255) {
        context.StretchDrawAdd(target, picture, alpha_ - 256, flipV_, flipH_, PictureKey(), source);
    } else {
        context.StretchDraw(target, picture, alpha_, flipV_, flipH_, PictureKey(), source);
    }
}

// ---- Input ----

TKivoControl* TKivoCustomImage::HitTest(int32_t x, int32_t y, IgnoreMouseMask mask) {
    TKivoControl* hit = TKivoControl::HitTest(x, y, mask);
    if (hit != this || !captureMask_ || PictureMask() == nullptr) return hit;
    return MaskHitAt(x, y) ? this : nullptr;
}

bool TKivoCustomImage::MaskHitAt(int32_t x, int32_t y) const {
    const TCustomDIBX* mask = PictureMask();
    if (mask == nullptr) return true;
    // The pointer in picture pixels, by the scale the picture is drawn at (a given size has
    // no zoom to divide by).
    int64_t px = (int64_t{x} - AbsLeft()) * 256 / ZoomX();
    int64_t py = (int64_t{y} - AbsTop()) * 256 / ZoomY();
    if (flipH_) px = int64_t{mask->Width()} - px - 1;
    if (flipV_) py = int64_t{mask->Height()} - py - 1;
    if (px < 0 || py < 0 || px >= mask->Width() || py >= mask->Height()) return false;
    return mask->GetPixel(static_cast<int32_t>(px), static_cast<int32_t>(py)) > 127;
}

// ---- Properties and save record ----

const PropertyMap& TKivoCustomImage::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoControl::ClassProperties();
        m[PR_ALPHA] = Accessor<&TKivoCustomImage::Alpha, &TKivoCustomImage::SetAlpha>();
        m[PR_ZOOMX] = Accessor<&TKivoCustomImage::StoredZoomX, &TKivoCustomImage::SetZoomX>();
        m[PR_ZOOMY] = Accessor<&TKivoCustomImage::StoredZoomY, &TKivoCustomImage::SetZoomY>();
        m[PR_ANGLE] = Accessor<&TKivoCustomImage::Angle, &TKivoCustomImage::SetAngle>();
        m[PR_FLIPH] = Accessor<&TKivoCustomImage::FlipH, &TKivoCustomImage::SetFlipH>();
        m[PR_FLIPV] = Accessor<&TKivoCustomImage::FlipV, &TKivoCustomImage::SetFlipV>();
        m[PR_CAPTUREMASK] =
            Accessor<&TKivoCustomImage::CaptureMask, &TKivoCustomImage::SetCaptureMask>();
        m[PR_ORIGWIDTH] = Accessor<&TKivoCustomImage::SurfaceWidth>();
        m[PR_ORIGHEIGHT] = Accessor<&TKivoCustomImage::SurfaceHeight>();
        return m;
    }();
    return map;
}

void TKivoCustomImage::Save(ByteWriter& writer) const {
    TKivoControl::Save(writer);
    writer.WriteI32(alpha_);
    writer.WriteI32(zoomX_);
    writer.WriteI32(angle_);
    writer.WriteBool(flipH_);
    writer.WriteBool(flipV_);
    writer.WriteBool(captureMask_);
    writer.WriteI32(zoomY_);
}

void TKivoCustomImage::Load(ByteReader& reader, int32_t version) {
    TKivoControl::Load(reader, version);
    alpha_ = std::min(reader.ReadI32(), kMaxAlpha);
    // 0 is a given size; negative zooms are damage and read as the smallest.
    zoomX_ = std::max(reader.ReadI32(), 0);
    angle_ = reader.ReadI32();
    flipH_ = reader.ReadBool();
    flipV_ = reader.ReadBool();
    captureMask_ = reader.ReadBool();
    zoomY_ = version >= kSaveVersionZoomY ? std::max(reader.ReadI32(), 0) : zoomX_;
}

}  // namespace kivo
