#pragma once
// Raster surfaces: the one abstraction every pixel of the player passes through. The frame
// buffer, every image, text bitmap, mask and transition work buffer is a surface, and every
// scene object draws itself with the operations below, through a short-lived TDrawContext
// (draw_context.h) that holds the region being drawn.
//
// TCustomDIBX holds the drawing operations once, written against a few primitives (size,
// format, pitch, pixel address, begin/end of direct access). TDIBX keeps its pixels in an owned
// TDIBSurface. TDIBXWave (dibx_wave.h) owns no pixels and forwards to another surface with a
// horizontal shift per row.
//
// Scene surfaces are 32 bits per pixel (B, G, R, X in memory); 8-bit surfaces hold alpha masks
// and glyph coverage, and 4-bit and 8-bit palettised surfaces are the sources of the palette
// draws. Every drawing operation writes into 32-bit surfaces; an 8-bit surface takes fills,
// copies and additive draws of 8-bit sources, and other destinations are left untouched.
// Colour sources of other depths are widened to 32 bits before they are drawn.
//
// Conventions of the argument lists: (x, y) is where the top-left corner of srcRect lands;
// flipV mirrors top-bottom and flipH left-right; a key (TColorKey) skips the source pixels equal
// to it; a mask is an 8-bit surface aligned with the source and read at the source's
// coordinates. Pixels and colours of fills, keys and tints are native pixel values
// (see ColorToPixel). Alpha 0 draws nothing, 1 to 254 blends, 255 is opaque; the rotated, tiled
// stretch, zoomed pattern and 16-colour palette draws also take 256 to 511, which adds with
// strength alpha - 256. Rectangles are clipped to the source, the mask and the drawing region.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/rect.h"
#include "imaging/dib_surface.h"

namespace kivo {

// The pixel value that stands for "no key".
inline constexpr uint32_t kNoTransparentColor = 0xFFFFFFFF;

class TDrawContext;

// The source pixel value a keyed draw skips, or none. A key belongs to the draw, not to the
// surface: a picture the image cache shares may be drawn keyed by one object and opaque by
// another. The constructor is explicit so that a flag never passes for a key.
class TColorKey {
  public:
    constexpr TColorKey() = default;
    constexpr explicit TColorKey(uint32_t pixel) : pixel_(pixel) {}

    [[nodiscard]] constexpr bool IsSet() const { return pixel_ != kNoTransparentColor; }
    // The keyed native pixel value; kNoTransparentColor when none is set.
    [[nodiscard]] constexpr uint32_t Pixel() const { return pixel_; }
    constexpr bool operator==(const TColorKey&) const = default;

  private:
    uint32_t pixel_ = kNoTransparentColor;
};

class TCustomDIBX {
  public:
    TCustomDIBX() = default;
    virtual ~TCustomDIBX() = default;
    TCustomDIBX(const TCustomDIBX&) = delete;
    TCustomDIBX& operator=(const TCustomDIBX&) = delete;

    // ---- Primitives the drawing operations are written against. ----
    [[nodiscard]] virtual bool IsEmpty() const { return Width() == 0 || Height() == 0; }
    // Bits per pixel as drawing sees it: 15 for 5-5-5.
    [[nodiscard]] virtual int BitCount() const { return 0; }
    virtual void SetBitCount(int /*bits*/) {}
    [[nodiscard]] virtual uint32_t RedMask() const { return 0; }
    [[nodiscard]] virtual uint32_t GreenMask() const { return 0; }
    [[nodiscard]] virtual uint32_t BlueMask() const { return 0; }
    // Signed byte distance from one row to the next.
    [[nodiscard]] virtual int32_t Pitch() const { return 0; }
    [[nodiscard]] virtual uint32_t GetPixel(int32_t /*x*/, int32_t /*y*/) const { return 0; }
    virtual void SetPixel(int32_t /*x*/, int32_t /*y*/, uint32_t /*pixel*/) {}
    [[nodiscard]] virtual int BlueShift() const { return 0; }
    [[nodiscard]] virtual int GreenShift() const { return 0; }
    [[nodiscard]] virtual int RedShift() const { return 0; }
    [[nodiscard]] virtual int32_t Height() const { return height_; }
    [[nodiscard]] virtual int32_t Width() const { return width_; }
    // The surface that holds the pixels: itself, or the wrapped one for a proxy.
    [[nodiscard]] virtual TCustomDIBX& Target() { return *this; }
    // Bits per stored pixel: 16 for both 16-bit layouts.
    [[nodiscard]] virtual int StorageBitCount() const { return BitCount(); }
    virtual void SetSize(int32_t width, int32_t height, int bitCount);
    // Address of pixel (x, y) (the byte holding it for 1 and 4 bits), or null when the pixels
    // cannot be reached; the caller ends the access with EndAccess.
    [[nodiscard]] virtual uint8_t* PixelAddress(int32_t /*x*/, int32_t /*y*/) { return nullptr; }
    virtual void EndAccess() {}

    // The area the surface covers in its own drawing coordinates.
    [[nodiscard]] virtual TRect ClientRect() const { return {0, 0, Width(), Height()}; }
    // The part of clip a draw may touch: clip within the surface.
    [[nodiscard]] TRect DrawingRect(const TRect& clip) const {
        return Intersect(clip, ClientRect());
    }
    [[nodiscard]] int BytesPerPixel() const { return (BitCount() + 7) / 8; }

    // A colour 0x00BBGGRR as this surface's native pixel value; a negative colour gives
    // 0xFFFFFFFF (-1), the "none" value.
    [[nodiscard]] virtual uint32_t ColorToPixel(int32_t color) const;
    // The key that skips a colour 0x00BBGGRR of this surface; a negative colour keys nothing.
    [[nodiscard]] TColorKey ColorToKey(int32_t color) const {
        return TColorKey(ColorToPixel(color));
    }

    // Whole-surface copy of a source.
    virtual void Assign(TCustomDIBX& source);
    // The destination box a DrawRotate with these arguments touches, before clipping.
    [[nodiscard]] static TRect RotatedBounds(int32_t x, int32_t y, int32_t angle, int32_t pivotY,
                                             int32_t pivotX, const TRect& srcRect, int32_t zoomY,
                                             int32_t zoomX);

    // ---- Files. ----
    // Reads a picture from bytes by its first bytes: "BM" a BMP, "PNG" at offset 1 a PNG,
    // "Gale" frame 0 of a GAL image under the identification code. The surface takes the
    // picture's size at its own bit count and its colours; other data leaves it unchanged and
    // gives false. Damaged data raises KivoError naming source.
    bool LoadFromStream(std::span<const uint8_t> data, int32_t identificationCode,
                        const std::string& source = "");
    // Reads a ".bmp" file (any case); a missing file or another extension changes nothing.
    void LoadFromFile(const std::filesystem::path& path);
    // Writes the whole surface as a 24-bit ".bmp" file; other extensions write nothing.
    void SaveToFile(const std::filesystem::path& path) const;

    // ---- Lifetime and palette. ----
    virtual void Clear();
    // Presents srcRect of the surface's pixels in dstRect of a frame buffer, nearest-pixel
    // stretched (rectangles counted from the top). Only surfaces with a bitmap of their own
    // have pixels to present; the base draws nothing.
    virtual void StretchToDC(const MutableFrameView& /*dc*/, const TRect& /*dstRect*/,
                             const TRect& /*srcRect*/) {}
    // Palette entries are (B, G, R, 0) records.
    virtual void GetPalette(std::span<PaletteEntry, 256> /*entries*/) const {}
    virtual void GetPaletteEntries(std::span<PaletteEntry> /*entries*/, int32_t /*first*/) const {}
    virtual void SetPalette(std::span<const PaletteEntry, 256> /*entries*/) {}
    virtual void SetPaletteEntries(std::span<const PaletteEntry> /*entries*/, int32_t /*first*/) {}

  protected:
    // The drawing operations. A surface keeps no drawing state of its own: every operation
    // takes the region it may draw into (clip, in the surface's drawing coordinates) and the
    // key of its source, so that surfaces shared by several users never carry one user's
    // clip or key into another's draw. Callers reach them through a TDrawContext
    // (draw_context.h), which holds the region of one redraw and documents each operation.
    friend class TDrawContext;

    virtual void Fill(const TRect& clip, uint32_t pixel);
    virtual void FillRect(const TRect& clip, const TRect& rect, uint32_t pixel);
    virtual void FillRectAlpha(const TRect& clip, const TRect& rect, uint32_t pixel, int32_t alpha);
    virtual void FillRectAdd(const TRect& clip, const TRect& rect, uint32_t pixel);
    virtual void FillRectSub(const TRect& clip, const TRect& rect, uint32_t pixel);
    void FrameRect(const TRect& clip, const TRect& rect, int32_t thickness, uint32_t pixel);
    void FrameRectAlpha(const TRect& clip, const TRect& rect, int32_t thickness, int32_t alpha,
                        uint32_t pixel);
    void FrameRectAdd(const TRect& clip, const TRect& rect, int32_t thickness, uint32_t pixel);

    virtual void Draw(const TRect& clip, int32_t x, int32_t y, bool flipV, bool flipH,
                      TColorKey key, const TRect& srcRect, TCustomDIBX& source);
    virtual void DrawMask(const TRect& clip, int32_t x, int32_t y, TCustomDIBX& mask, bool flipV,
                          bool flipH, const TRect& srcRect, TCustomDIBX& source);
    virtual void DrawAlpha(const TRect& clip, int32_t x, int32_t y, int32_t alpha, bool flipV,
                           bool flipH, TColorKey key, const TRect& srcRect, TCustomDIBX& source);
    virtual void DrawMaskAlpha(const TRect& clip, int32_t x, int32_t y, int32_t alpha,
                               TCustomDIBX& mask, bool flipV, bool flipH, const TRect& srcRect,
                               TCustomDIBX& source);
    virtual void DrawAdd(const TRect& clip, int32_t x, int32_t y, int32_t amount, bool flipV,
                         bool flipH, TColorKey key, const TRect& srcRect, TCustomDIBX& source);
    virtual void DrawMaskAdd(const TRect& clip, int32_t x, int32_t y, int32_t amount,
                             TCustomDIBX& mask, bool flipV, bool flipH, const TRect& srcRect,
                             TCustomDIBX& source);
    virtual void FillMask(const TRect& clip, int32_t x, int32_t y, int32_t alpha, uint32_t pixel,
                          bool flipV, bool flipH, const TRect& srcRect, TCustomDIBX& mask);

    virtual void DrawRotate(const TRect& clip, int32_t x, int32_t y, int32_t alpha, bool flipV,
                            bool flipH, TColorKey key, int32_t angle, int32_t pivotY,
                            int32_t pivotX, const TRect& srcRect, TCustomDIBX& source,
                            int32_t zoomY, int32_t zoomX);
    virtual void DrawRotateMask(const TRect& clip, int32_t x, int32_t y, int32_t alpha,
                                TCustomDIBX& mask, bool flipV, bool flipH, int32_t angle,
                                int32_t pivotY, int32_t pivotX, const TRect& srcRect,
                                TCustomDIBX& source, int32_t zoomY, int32_t zoomX);
    virtual void StretchDraw(const TRect& clip, const TRect& dstRect, TCustomDIBX& source,
                             int32_t alpha, bool flipV, bool flipH, TColorKey key,
                             const TRect& srcRect);
    virtual void StretchDrawMask(const TRect& clip, const TRect& dstRect, TCustomDIBX& source,
                                 int32_t alpha, TCustomDIBX& mask, bool flipV, bool flipH,
                                 const TRect& srcRect);
    virtual void StretchDrawAdd(const TRect& clip, const TRect& dstRect, TCustomDIBX& source,
                                int32_t amount, bool flipV, bool flipH, TColorKey key,
                                const TRect& srcRect);
    virtual void StretchDrawMaskAdd(const TRect& clip, const TRect& dstRect, TCustomDIBX& source,
                                    int32_t amount, TCustomDIBX& mask, bool flipV, bool flipH,
                                    const TRect& srcRect);

    void TileDraw(const TRect& clip, const TRect& dstRect, int32_t gapX, int32_t offsetY,
                  int32_t offsetX, TColorKey key, const TRect& srcRect, TCustomDIBX& source,
                  int32_t gapY);
    void TileDrawAlpha(const TRect& clip, const TRect& dstRect, int32_t gapX, int32_t offsetY,
                       int32_t offsetX, int32_t alpha, TColorKey key, const TRect& srcRect,
                       TCustomDIBX& source, int32_t gapY);
    void TileDrawAdd(const TRect& clip, const TRect& dstRect, int32_t gapX, int32_t offsetY,
                     int32_t offsetX, int32_t amount, TColorKey key, const TRect& srcRect,
                     TCustomDIBX& source, int32_t gapY);
    void TileDrawMask(const TRect& clip, const TRect& dstRect, int32_t gapX, int32_t offsetY,
                      int32_t offsetX, TCustomDIBX& mask, const TRect& srcRect, TCustomDIBX& source,
                      int32_t gapY);
    void TileDrawMaskAlpha(const TRect& clip, const TRect& dstRect, int32_t gapX, int32_t offsetY,
                           int32_t offsetX, int32_t alpha, TCustomDIBX& mask, const TRect& srcRect,
                           TCustomDIBX& source, int32_t gapY);
    void TileDrawMaskAdd(const TRect& clip, const TRect& dstRect, int32_t gapX, int32_t offsetY,
                         int32_t offsetX, int32_t amount, TCustomDIBX& mask, const TRect& srcRect,
                         TCustomDIBX& source, int32_t gapY);
    void TileStretchDraw(const TRect& clip, const TRect& dstRect, int32_t periodX, int32_t offsetY,
                         int32_t offsetX, int32_t alpha, bool flipV, bool flipH, TColorKey key,
                         const TRect& srcRect, TCustomDIBX& source, int32_t zoomY, int32_t zoomX,
                         int32_t periodY);
    void TileStretchDrawMask(const TRect& clip, const TRect& dstRect, int32_t periodX,
                             int32_t offsetY, int32_t offsetX, int32_t alpha, TCustomDIBX& mask,
                             bool flipV, bool flipH, const TRect& srcRect, TCustomDIBX& source,
                             int32_t zoomY, int32_t zoomX, int32_t periodY);
    virtual void FillPattern(const TRect& clip, const TRect& rect, TCustomDIBX& pattern, bool flipV,
                             bool flipH, int32_t offsetY, int32_t offsetX);
    virtual void FillPatternZoom(const TRect& clip, const TRect& rect, int32_t zoomX, int32_t alpha,
                                 bool flipV, bool flipH, int32_t offsetY, int32_t offsetX,
                                 TCustomDIBX& pattern, int32_t zoomY);
    virtual void FillPatternZoomMask(const TRect& clip, const TRect& rect, int32_t zoomX,
                                     int32_t alpha, TCustomDIBX& mask, bool flipV, bool flipH,
                                     int32_t offsetY, int32_t offsetX, TCustomDIBX& pattern,
                                     int32_t zoomY);
    virtual void FramePattern(const TRect& clip, const TRect& rect, int32_t thickness,
                              int32_t offsetY, int32_t offsetX, TCustomDIBX& pattern);

    virtual void DrawPalette16(const TRect& clip, int32_t x, int32_t y,
                               const std::array<uint32_t, 16>& table, int32_t alpha, bool flipV,
                               bool flipH, TColorKey key, const TRect& srcRect,
                               TCustomDIBX& source);
    virtual void DrawPaletteAdd(const TRect& clip, int32_t x, int32_t y,
                                const std::array<uint32_t, 256>& table, int32_t amount, bool flipV,
                                bool flipH, int32_t minIndex, const TRect& srcRect,
                                TCustomDIBX& source);
    virtual void StretchDrawPaletteAdd(const TRect& clip, const TRect& dstRect, TCustomDIBX& source,
                                       const std::array<uint32_t, 256>& table, int32_t amount,
                                       bool flipV, bool flipH, int32_t minIndex,
                                       const TRect& srcRect);

    virtual void DrawMonoReduced(const TRect& clip, int32_t x, int32_t y, int32_t factor,
                                 int32_t alpha, bool flipV, bool flipH, uint32_t pixel,
                                 const TRect& srcRect, TCustomDIBX& source);
    virtual void DrawQuadReduced(const TRect& clip, int32_t x, int32_t y, int32_t factor,
                                 int32_t alpha, bool flipV, bool flipH,
                                 const std::array<uint32_t, 4>& pixels, const TRect& srcRect,
                                 TCustomDIBX& source);

  private:
    int32_t height_ = 0;
    int32_t width_ = 0;
};

// A surface in ordinary memory, backed by an owned TDIBSurface.
class TDIBX : public TCustomDIBX {
  public:
    // An empty 1 x 1 32-bit surface.
    TDIBX();
    TDIBX(int32_t width, int32_t height, int bitCount);
    // Takes over a decoded bitmap.
    explicit TDIBX(TDIBSurface bitmap);

    // The bitmap's size; 0 x 0 after Clear until the next SetSize.
    [[nodiscard]] int32_t Height() const override { return cleared_ ? 0 : bitmap_.Height(); }
    [[nodiscard]] int32_t Width() const override { return cleared_ ? 0 : bitmap_.Width(); }

    [[nodiscard]] int BitCount() const override { return bitmap_.BitCount(); }
    // Converts the pixels to the new depth (15, 16, 24, 32, or a palettised 1, 4 or 8).
    void SetBitCount(int bits) override;
    [[nodiscard]] uint32_t RedMask() const override { return bitmap_.RedMask(); }
    [[nodiscard]] uint32_t GreenMask() const override { return bitmap_.GreenMask(); }
    [[nodiscard]] uint32_t BlueMask() const override { return bitmap_.BlueMask(); }
    [[nodiscard]] int32_t Pitch() const override { return bitmap_.Pitch(); }
    [[nodiscard]] uint32_t GetPixel(int32_t x, int32_t y) const override {
        return bitmap_.GetPixel(x, y);
    }
    void SetPixel(int32_t x, int32_t y, uint32_t pixel) override { bitmap_.SetPixel(x, y, pixel); }
    [[nodiscard]] int BlueShift() const override { return bitmap_.Format().BlueShift; }
    [[nodiscard]] int GreenShift() const override { return bitmap_.Format().GreenShift; }
    [[nodiscard]] int RedShift() const override { return bitmap_.Format().RedShift; }
    [[nodiscard]] int StorageBitCount() const override { return bitmap_.StorageBitCount(); }
    void SetSize(int32_t width, int32_t height, int bitCount) override;
    [[nodiscard]] uint8_t* PixelAddress(int32_t x, int32_t y) override;
    [[nodiscard]] uint32_t ColorToPixel(int32_t color) const override;
    void Assign(TCustomDIBX& source) override;
    // Shrinks the bitmap to 8 x 8 and reports an empty surface.
    void Clear() override;
    void StretchToDC(const MutableFrameView& dc, const TRect& dstRect,
                     const TRect& srcRect) override {
        if (!IsEmpty()) bitmap_.StretchToDC(dc, dstRect, srcRect);
    }
    void GetPalette(std::span<PaletteEntry, 256> entries) const override;
    void GetPaletteEntries(std::span<PaletteEntry> entries, int32_t first) const override;
    void SetPalette(std::span<const PaletteEntry, 256> entries) override;
    void SetPaletteEntries(std::span<const PaletteEntry> entries, int32_t first) override;

    [[nodiscard]] TDIBSurface& Bitmap() { return bitmap_; }
    [[nodiscard]] const TDIBSurface& Bitmap() const { return bitmap_; }
    // Replaces the bitmap with a decoded one; the surface takes its size and format.
    void SetBitmap(TDIBSurface bitmap);

  protected:
    // Below 24 bits the whole pixel memory is filled, clip or not.
    void Fill(const TRect& clip, uint32_t pixel) override;

  private:
    TDIBSurface bitmap_;
    bool cleared_ = true;  // a new surface is empty until SetSize
};

}  // namespace kivo
