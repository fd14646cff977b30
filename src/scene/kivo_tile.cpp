#include "scene/kivo_tile.h"

#include "base/sjis.h"
#include "imaging/draw_context.h"
#include "scene/kivo_base_list.h"

namespace kivo {

namespace {

int64_t FloorMod(int64_t value, int64_t period) {
    const int64_t rest = value % period;
    return rest < 0 ? rest + period : rest;
}

}  // namespace

TKivoTile::TKivoTile(TKivoBaseList& root) : TKivoCustomImages(root), frames_(root.Images()) {}

void TKivoTile::SetSource(std::string source) {
    if (source == source_) return;
    source_ = std::move(source);
    ResetFrames();
    frames_.Clear();
    if (sjis::ToLowerAscii(source_).ends_with(".gal")) {
        frames_.Load(Handle(), source_, false, false);
    }
    if (frames_.Count() > 0) SetIndex(0);
}

void TKivoTile::ShowFilmPicture(const std::string& fileName, int32_t frameIndex) {
    SetSource(fileName);
    ShowFilmFrame(frameIndex);
}

void TKivoTile::DrawPicture(TDrawContext& context) {
    TCustomDIBX* picture = Picture();
    const int32_t zoomX = StoredZoomX(), zoomY = StoredZoomY();
    if (picture == nullptr || Alpha() <= 0 || Width() <= 0 || Height() <= 0 || zoomX <= 0 ||
        zoomY <= 0) {
        return;
    }
    const int64_t zoomedWidth = std::max<int64_t>(1, int64_t{picture->Width()} * zoomX / 256);
    const int64_t zoomedHeight = std::max<int64_t>(1, int64_t{picture->Height()} * zoomY / 256);
    const int64_t cellWidth = distanceX_ >= zoomedWidth ? distanceX_ : zoomedWidth;
    const int64_t cellHeight = distanceY_ >= zoomedHeight ? distanceY_ : zoomedHeight;
    const TRect target = BoundsRect();
    const TRect source = picture->ClientRect();
    TCustomDIBX* mask = PictureMask();
    const TColorKey key = PictureKey();
    const bool plain = zoomX == 256 && zoomY == 256 && Alpha() == 255 && !key.IsSet() &&
                       mask == nullptr && cellWidth == zoomedWidth && cellHeight == zoomedHeight;
    if (plain) {
        context.FillPattern(target, *picture, FlipV(), FlipH(),
                            static_cast<int32_t>(FloorMod(scrollY_, picture->Height())),
                            static_cast<int32_t>(FloorMod(scrollX_, picture->Width())));
        return;
    }
    // The copies repeat every cell; the period and the scroll are handed over in picture
    // pixels, the scroll taken modulo the cell (a negative one too).
    const int64_t periodX = std::max<int64_t>(1, cellWidth * 256 / zoomX);
    const int64_t periodY = std::max<int64_t>(1, cellHeight * 256 / zoomY);
    const auto offsetX = static_cast<int32_t>(FloorMod(scrollX_, cellWidth) * 256 / zoomX);
    const auto offsetY = static_cast<int32_t>(FloorMod(scrollY_, cellHeight) * 256 / zoomY);
    if (mask != nullptr) {
        context.TileStretchDrawMask(target, static_cast<int32_t>(periodX), offsetY, offsetX,
                                    Alpha(), *mask, FlipV(), FlipH(), source, *picture, zoomY,
                                    zoomX, static_cast<int32_t>(periodY));
    } else {
        context.TileStretchDraw(target, static_cast<int32_t>(periodX), offsetY, offsetX, Alpha(),
                                FlipV(), FlipH(), key, source, *picture, zoomY, zoomX,
                                static_cast<int32_t>(periodY));
    }
}

const PropertyMap& TKivoTile::ClassProperties() {
    static const PropertyMap map = [] {
        PropertyMap m = TKivoCustomImages::ClassProperties();
        m[PR_SOURCE] = Accessor<&TKivoTile::Source, &TKivoTile::SetSource>();
        m[PR_SCROLLX] = Accessor<&TKivoTile::ScrollX, &TKivoTile::SetScrollX>();
        m[PR_SCROLLY] = Accessor<&TKivoTile::ScrollY, &TKivoTile::SetScrollY>();
        m[PR_DISTANCEX] = Accessor<&TKivoTile::DistanceX, &TKivoTile::SetDistanceX>();
        m[PR_DISTANCEY] = Accessor<&TKivoTile::DistanceY, &TKivoTile::SetDistanceY>();
        m[PR_REPEAT] = Accessor<&TKivoTile::Repeat>();
        m[PR_ONIDLE] = Accessor<&TKivoTile::IdleHandler, &TKivoTile::SetIdleHandler>();
        return m;
    }();
    return map;
}

void TKivoTile::Save(ByteWriter& writer) const {
    TKivoCustomImages::Save(writer);
    writer.WriteI32(scrollX_);
    writer.WriteI32(scrollY_);
    writer.WriteCountedString(source_);
    writer.WriteCountedString(idleHandler_);
    writer.WriteI32(distanceX_);
    writer.WriteI32(distanceY_);
}

void TKivoTile::Load(ByteReader& reader, int32_t version) {
    TKivoCustomImages::Load(reader, version);
    const int32_t savedIndex = Index();
    const int32_t savedRemaining = RemainingTime();
    scrollX_ = reader.ReadI32();
    scrollY_ = reader.ReadI32();
    std::string source = reader.ReadCountedString();
    idleHandler_ = reader.ReadCountedString();
    distanceX_ = reader.ReadI32();
    distanceY_ = reader.ReadI32();
    source_.clear();
    SetSource(std::move(source));
    RestoreFrame(savedIndex, savedRemaining);
}

}  // namespace kivo
