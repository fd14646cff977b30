#include "scene/control_picture.h"

#include <algorithm>
#include <cmath>

#include "imaging/draw_context.h"

namespace kivo {

namespace {

// Where the tile pattern meets the area's corner, wrapped into the source's extent.
int32_t WrappedOffset(int32_t shift, int32_t extent) {
    if (extent <= 0) return 0;
    const int32_t offset = static_cast<int32_t>((-int64_t{shift}) % extent);
    return offset < 0 ? offset + extent : offset;
}

}  // namespace

void DrawPicturePiece(TDrawContext& context, const PictureFrame& frame, const TRect& source,
                      int32_t x, int32_t y, int32_t alpha) {
    if (frame.surface == nullptr || alpha <= 0 || alpha > 511 || source.IsEmpty()) return;
    TCustomDIBX& surface = *frame.surface;
    if (frame.mask != nullptr) {
        if (alpha >= 256) {
            context.DrawMaskAdd(x, y, alpha - 256, *frame.mask, false, false, source, surface);
        } else if (alpha == 255) {
            context.DrawMask(x, y, *frame.mask, false, false, source, surface);
        } else {
            context.DrawMaskAlpha(x, y, alpha, *frame.mask, false, false, source, surface);
        }
    } else if (alpha >= 256) {
        context.DrawAdd(x, y, alpha - 256, false, false, frame.key, source, surface);
    } else if (alpha == 255) {
        context.Draw(x, y, false, false, frame.key, source, surface);
    } else {
        context.DrawAlpha(x, y, alpha, false, false, frame.key, source, surface);
    }
}

void TilePicturePiece(TDrawContext& context, const PictureFrame& frame, const TRect& source,
                      const TRect& area, int32_t shiftX, int32_t shiftY, int32_t alpha) {
    if (frame.surface == nullptr || alpha <= 0 || alpha > 511 || source.IsEmpty() ||
        area.IsEmpty()) {
        return;
    }
    TCustomDIBX& surface = *frame.surface;
    const int32_t offsetX = WrappedOffset(shiftX, source.Width());
    const int32_t offsetY = WrappedOffset(shiftY, source.Height());
    if (frame.mask != nullptr) {
        if (alpha >= 256) {
            context.TileDrawMaskAdd(area, 0, offsetY, offsetX, alpha - 256, *frame.mask, source,
                                    surface, 0);
        } else if (alpha == 255) {
            context.TileDrawMask(area, 0, offsetY, offsetX, *frame.mask, source, surface, 0);
        } else {
            context.TileDrawMaskAlpha(area, 0, offsetY, offsetX, alpha, *frame.mask, source,
                                      surface, 0);
        }
    } else if (alpha >= 256) {
        context.TileDrawAdd(area, 0, offsetY, offsetX, alpha - 256, frame.key, source, surface, 0);
    } else if (alpha == 255) {
        context.TileDraw(area, 0, offsetY, offsetX, frame.key, source, surface, 0);
    } else {
        context.TileDrawAlpha(area, 0, offsetY, offsetX, alpha, frame.key, source, surface, 0);
    }
}

std::unique_ptr<ControlPicture> AcquirePicture(ControlPictureSource* source,
                                               std::string_view name) {
    if (source == nullptr || name.empty()) return nullptr;
    std::unique_ptr<ControlPicture> picture = source->Acquire(name);
    if (picture != nullptr && picture->FrameCount() <= 0) picture.reset();
    return picture;
}

int64_t RoundHalfEven(double value) {
    constexpr double kLimit = 4.0e18;
    return static_cast<int64_t>(std::nearbyint(std::clamp(value, -kLimit, kLimit)));
}

TRect StripPiece(int32_t width, int32_t height, int32_t count, int32_t n) {
    if (count <= 0) return {};
    const int32_t pieceWidth = width / count;
    return {n * pieceWidth, 0, n * pieceWidth + pieceWidth, height};
}

}  // namespace kivo
