#pragma once
// The pictures controls show from the image cache: a button's state pictures, a list box's
// frame cells, scroll strip and check strip. The scene names a picture by its virtual file
// name and holds it for as long as the object shows it; the source behind it (the image
// cache) decodes and shares the frames. Dropping the held picture releases it to the cache.
//
// The drawing helpers choose the operation of the alpha range: 1..254 blends, 255 is opaque,
// 256..511 adds with strength alpha - 256; a frame with an alpha mask draws through it.

#include <cstdint>
#include <memory>
#include <string_view>

#include "base/rect.h"
#include "imaging/dibx.h"
#include "scene/object_handle.h"

namespace kivo {

class TDrawContext;

// One frame of a held picture; the surfaces belong to the cache.
struct PictureFrame {
    TCustomDIBX* surface = nullptr;
    TCustomDIBX* mask = nullptr;  // 8-bit alpha, null when the frame has none
    TColorKey key;                // the transparent pixel value, unset when none
    int32_t time = 1;             // display time in ms, at least 1
};

class ControlPicture {
  public:
    virtual ~ControlPicture() = default;
    // The picture's size: that of its first frame.
    [[nodiscard]] virtual int32_t Width() const = 0;
    [[nodiscard]] virtual int32_t Height() const = 0;
    [[nodiscard]] virtual int32_t FrameCount() const = 0;
    // Index in 0..FrameCount() - 1.
    [[nodiscard]] virtual PictureFrame Frame(int32_t index) const = 0;
};

class ControlPictureSource {
  public:
    virtual ~ControlPictureSource() = default;
    // The picture list of a virtual file; null when there is no such picture. Called on the
    // main thread when a control's source is set or loaded.
    [[nodiscard]] virtual std::unique_ptr<ControlPicture> Acquire(std::string_view name) = 0;
    // The same, held on behalf of user, so that a source that counts its holders per object
    // can tell whose pictures they are.
    [[nodiscard]] virtual std::unique_ptr<ControlPicture> AcquireFor(ObjectHandle /*user*/,
                                                                     std::string_view name) {
        return Acquire(name);
    }
};

// The picture of name from source, or null when there is no source, no such picture or a
// picture without frames.
[[nodiscard]] std::unique_ptr<ControlPicture> AcquirePicture(ControlPictureSource* source,
                                                             std::string_view name);

// The nearest integer, ties to even, for the lengths and values controls work out along their
// pictures. Values beyond +-4e18 come back at that bound, so that the caller can clamp a
// result outside int32 without the cast overflowing.
[[nodiscard]] int64_t RoundHalfEven(double value);

// Draws the source rectangle of a frame with its top-left at (x, y).
void DrawPicturePiece(TDrawContext& context, const PictureFrame& frame, const TRect& source,
                      int32_t x, int32_t y, int32_t alpha);
// Covers area with copies of the source rectangle of a frame; the pattern starts at
// (area.Left + shiftX, area.Top + shiftY), shifts of at most 0.
void TilePicturePiece(TDrawContext& context, const PictureFrame& frame, const TRect& source,
                      const TRect& area, int32_t shiftX, int32_t shiftY, int32_t alpha);

// Piece n of a picture cut into count equal pieces side by side.
[[nodiscard]] TRect StripPiece(int32_t width, int32_t height, int32_t count, int32_t n);

}  // namespace kivo
