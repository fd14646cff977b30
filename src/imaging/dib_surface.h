#pragma once
// TDIBSurface: the in-memory device-independent bitmap behind memory raster surfaces, GAL
// frames and layers, and the work bitmaps of transitions. It stores 1, 2, 4, 8, 15 (5-5-5 kept
// in 16-bit words), 16 (5-6-5), 24 and 32 bits per pixel with a 256-entry colour table, and may
// own an 8-bit alpha Mask of its own size.
//
// Palettised rows pack their pixels from the top bits of each byte down, the first pixel
// highest. The 2-bit layout exists only for the four-code coverage sources of reduced draws:
// no file format stores it, so writers widen such a bitmap to 4 bits (WidenedForFiles).
//
// Storage is top-down: row 0 is the top row and lies at the lowest address, and Pitch() is the
// positive distance between rows, a multiple of 4 bytes. Pixel memory is always private to the
// surface, so there is nothing to unshare.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "base/frame_view.h"
#include "base/rect.h"

namespace kivo {

class MessageDialogs;  // platform/dialogs.h: asks which image of an icon file to load

// What a bitmap file holds besides its pixels, returned by TDIBSurface::LoadFromFile and
// handed back to SaveToFile so that a file written again keeps it.
struct BitmapFileInfo {
    // The key colour of a TGA file's extension area as a pixel value of the bitmap; -1 none.
    int64_t TransparentValue = -1;
    // Icon and cursor files: whether the file is a cursor, its hotspot, and which of the
    // file's images was loaded.
    bool IsCursor = false;
    int32_t HotspotX = 0;
    int32_t HotspotY = 0;
    size_t ImageIndex = 0;
};

// One colour table entry as bitmaps store it: blue, green, red, then a zero byte.
struct PaletteEntry {
    uint8_t Blue = 0;
    uint8_t Green = 0;
    uint8_t Red = 0;
    uint8_t Reserved = 0;
    constexpr bool operator==(const PaletteEntry&) const = default;
};

using ColorTable = std::array<PaletteEntry, 256>;

// How a reduction to 8 bits or fewer spreads the difference between a pixel's colour and the
// palette colour it gets.
enum class DitherMode {
    None,            // every pixel takes the nearest palette colour
    Ordered4x4,      // a 4 x 4 Bayer threshold pattern picks among the palette colours that
                     // mix to the pixel's colour
    FloydSteinberg,  // error diffusion to the neighbours ahead and below, rows alternating
                     // direction
};

// The pixel-format record: channel masks in the native pixel value and the bit count and
// lowest bit of each channel. Palettised formats have no channel masks.
struct TPixelFormat {
    int BitCount = 32;     // 15 for 5-5-5
    int StorageBits = 32;  // bits per stored pixel: 16 for both 15 and 16
    uint32_t RedMask = 0xFF0000;
    uint32_t GreenMask = 0x00FF00;
    uint32_t BlueMask = 0x0000FF;
    int RedBits = 8, GreenBits = 8, BlueBits = 8;
    int RedShift = 16, GreenShift = 8, BlueShift = 0;

    // The record SetSize uses for a bit count: 15 is 5-5-5, 16 is 5-6-5, 24 and 32 are 8-8-8
    // and 1, 4 and 8 are palettised.
    [[nodiscard]] static TPixelFormat ForBitCount(int bits);
    constexpr bool operator==(const TPixelFormat&) const = default;
};

class TDIBSurface {
  public:
    // Largest pixel store a surface accepts (readers check against it before they allocate).
    static constexpr int64_t kMaxBytes = int64_t{256} << 20;
    static constexpr int32_t kMaxDimension = 32767;

    // An empty 32-bit surface.
    TDIBSurface() = default;
    TDIBSurface(int32_t width, int32_t height, int bits) { SetSize(width, height, bits); }
    // Copies pixels, colour table and mask.
    TDIBSurface(const TDIBSurface& other);
    TDIBSurface& operator=(const TDIBSurface& other);
    TDIBSurface(TDIBSurface&&) noexcept = default;
    TDIBSurface& operator=(TDIBSurface&&) noexcept = default;
    ~TDIBSurface() = default;

    // True when a width x height bitmap of the given bit count fits the caps above; sizes are
    // computed in 64 bits.
    [[nodiscard]] static bool SizeFits(int64_t width, int64_t height, int bits);
    // The 4-byte-aligned row length of a bitmap of that width and bit count.
    [[nodiscard]] static int64_t PitchFor(int64_t width, int bits);

    // Resizes to width x height at bits (1, 2, 4, 8, 15, 16, 24 or 32). The pixels become 0 and
    // the mask is freed. The colour table is kept when the bit count stays
    // the same and otherwise becomes a grey ramp of the new depth. Bad arguments raise
    // KivoError.
    void SetSize(int32_t width, int32_t height, int bits);

    [[nodiscard]] int32_t Width() const { return width_; }
    [[nodiscard]] int32_t Height() const { return height_; }
    [[nodiscard]] bool IsEmpty() const { return width_ == 0 || height_ == 0; }
    // 15 for the 5-5-5 layout.
    [[nodiscard]] int BitCount() const { return format_.BitCount; }
    [[nodiscard]] int StorageBitCount() const { return format_.StorageBits; }
    [[nodiscard]] int BytesPerPixel() const { return (format_.BitCount + 7) / 8; }
    [[nodiscard]] const TPixelFormat& Format() const { return format_; }
    [[nodiscard]] uint32_t RedMask() const { return format_.RedMask; }
    [[nodiscard]] uint32_t GreenMask() const { return format_.GreenMask; }
    [[nodiscard]] uint32_t BlueMask() const { return format_.BlueMask; }
    [[nodiscard]] bool IsPalettised() const { return format_.BitCount <= 8; }
    [[nodiscard]] int32_t Pitch() const { return pitch_; }
    [[nodiscard]] TRect ClientRect() const { return {0, 0, width_, height_}; }

    // Row y, Pitch() bytes. Checked against the height in debug builds.
    [[nodiscard]] uint8_t* ScanLine(int32_t y);
    [[nodiscard]] const uint8_t* ScanLine(int32_t y) const;
    // The byte holding pixel (x, y): x div 8 for 1 bit, x div 4 for 2 and x div 2 for 4.
    [[nodiscard]] uint8_t* PixelAddress(int32_t x, int32_t y);
    [[nodiscard]] const uint8_t* PixelAddress(int32_t x, int32_t y) const;
    // All rows, top row first.
    [[nodiscard]] std::span<uint8_t> Bits() { return bits_; }
    [[nodiscard]] std::span<const uint8_t> Bits() const { return bits_; }

    // The native pixel value at (x, y) in any depth; outside the bitmap reads 0 and writes
    // nothing. The value written is limited to the depth.
    [[nodiscard]] uint32_t GetPixel(int32_t x, int32_t y) const;
    void SetPixel(int32_t x, int32_t y, uint32_t pixel);

    // The colour table (meaningful for 8 bits and fewer; 2^bits entries are used).
    [[nodiscard]] const ColorTable& Palette() const { return palette_; }
    [[nodiscard]] ColorTable& Palette() { return palette_; }
    [[nodiscard]] int PaletteSize() const { return IsPalettised() ? 1 << format_.BitCount : 0; }

    // The part of the bitmap a draw with this clip may touch: the clip within the bitmap, or
    // the whole bitmap without one.
    [[nodiscard]] TRect DrawingRect(const std::optional<TRect>& clip = std::nullopt) const;

    // The optional 8-bit alpha mask: 0 transparent, 255 opaque, same size as the bitmap.
    [[nodiscard]] TDIBSurface* Mask() { return mask_.get(); }
    [[nodiscard]] const TDIBSurface* Mask() const { return mask_.get(); }
    [[nodiscard]] bool HasMask() const { return mask_ != nullptr; }
    // Creates the mask, or resizes it to the bitmap; a new or resized mask is all 0.
    TDIBSurface& CreateMask();
    void FreeMask() { mask_.reset(); }
    // Creates the mask when needed and makes it all 255.
    void FillMaskOpaque();

    // Drawing into this bitmap. x, y is where srcRect's top-left corner lands; srcRect is
    // first clipped to the source (and its mask), then the destination to DrawingRect(clip),
    // the source rectangle moving with the destination. The clip belongs to the call, so a
    // bitmap drawn into by several users never keeps one user's clip for the next; an empty
    // clip draws nothing. Sources of another depth are converted through their colours. Keys
    // are native pixel values of the source, -1 for none.
    void Copy(int32_t x, int32_t y, const TRect& srcRect, const TDIBSurface& source,
              const std::optional<TRect>& clip = std::nullopt);
    void Draw(int32_t x, int32_t y, const TDIBSurface& source) {
        Copy(x, y, source.ClientRect(), source);
    }
    void DrawKeyed(int32_t x, int32_t y, int64_t key, const TRect& srcRect,
                   const TDIBSurface& source, const std::optional<TRect>& clip = std::nullopt);
    // Constant alpha 1..254 blends; 255 and above (or below 0) is DrawKeyed; 0 draws nothing.
    void DrawAlpha(int32_t x, int32_t y, int alpha, int64_t key, const TRect& srcRect,
                   const TDIBSurface& source, const std::optional<TRect>& clip = std::nullopt);
    // Blends through the source's Mask, scaled by alpha below 255; without a mask this is
    // DrawAlpha with no key.
    void DrawMask(int32_t x, int32_t y, int alpha, const TRect& srcRect, const TDIBSurface& source,
                  const std::optional<TRect>& clip = std::nullopt);
    // Sets every pixel of rect (clamped to DrawingRect(clip)) to pixel, limited to the depth.
    void FillRect(const TRect& rect, uint32_t pixel,
                  const std::optional<TRect>& clip = std::nullopt);
    void Fill(uint32_t pixel) { FillRect(ClientRect(), pixel); }

    // Exchanges the pixel memory with a bitmap of the same size and depth (nothing else:
    // masks and colour tables stay). Returns false, changing nothing, when they differ.
    bool SwapPixels(TDIBSurface& other);

    // Masks and shapes.
    // Copies an 8-bit bitmap of this size into Mask (created when needed).
    void CopyMaskFrom(const TDIBSurface& bitmap);
    // The smallest rectangle holding every pixel that differs from key; (0, 0, 0, 0) when
    // there is none.
    [[nodiscard]] TRect OpaqueBounds(int64_t key) const;
    // Crops to OpaqueBounds(key) and returns it; a bitmap that is all key becomes 1 x 1.
    TRect TrimTo(int64_t key);
    // Keeps only rect (clamped to the bitmap) of the pixels and the mask; an empty rect
    // leaves 1 x 1.
    void Crop(const TRect& rect);
    // Becomes a copy of source's rect (clamped), colour table included, and of its mask when
    // withMask is set.
    void CopyFrom(const TDIBSurface& source, const TRect& rect, bool withMask);
    void MirrorH();
    void MirrorV();

    // Formats.
    // Changes the bit count. To 15, 16 and 24 bits the pixels are repacked; to 32 bits the
    // fourth byte becomes 0xFF. To 8 bits and fewer the palette holds the image's own colours
    // when they fit (in the order they first appear), else a median-cut reduction of them:
    // boxes of colours weighted by their pixel counts, the box with the largest spread split
    // at the weighted median of its widest channel, each palette colour the weighted mean of
    // a box. To 1 bit the image is first reduced to 16 colours that way, and the two of them
    // farthest apart become the palette, the darker first. Pixels then get their colours
    // through ditherMode (nothing is dithered when every colour has an entry). The mask is
    // kept; the result depends on nothing but the pixels, so it is the same in every
    // run. flag is reserved and has no effect; no caller gives it a meaning.
    void Convert(int bits, DitherMode ditherMode, bool flag);
    void Convert(int bits) { Convert(bits, DitherMode::None, false); }
    // The pixels as a baseline JPEG at quality 1..100 (other values are held to that range),
    // encoded from a 24-bit copy (so that palettised and 15/16-bit bitmaps give their true
    // colours); the mask is left out. An empty bitmap raises KivoError.
    [[nodiscard]] std::vector<uint8_t> ToJPEG(int quality) const;
    // The pixels as a 32-bit picture for the platform, alpha from Mask (255 without one).
    [[nodiscard]] ArgbImage ToBitmap() const;
    // Draws srcRect of this bitmap into dstRect of dc, taking for each target pixel the
    // nearest source pixel (source x = srcRect.Left + (x - dstRect.Left) * srcWidth /
    // dstWidth, exactly, and the same for y); equal sizes copy the pixels unchanged. Both
    // rectangles count rows from the top, as the bitmap stores them: bitmaps stored bottom-up
    // would count source rows from the bottom, ours do not. Target pixels outside dc, or whose
    // source pixel lies outside the bitmap, are left alone; empty rectangles draw nothing.
    // Every depth becomes B, G, R, X: a 32-bit bitmap keeps its fourth byte, other depths
    // give 0 there. Mask plays no part.
    void StretchToDC(const MutableFrameView& dc, const TRect& dstRect, const TRect& srcRect) const;
    // The native pixel value of colour 0x00BBGGRR: channels truncated to the format, or the
    // nearest palette index for 8 bits and fewer. A negative colour gives -1.
    [[nodiscard]] int64_t ColorToPixel(int64_t color) const;
    // The colour 0x00BBGGRR of a native pixel value, channels widened by repeating their top
    // bits.
    [[nodiscard]] uint32_t PixelToColor(uint32_t pixel) const;
    // The nearest palette index to a colour, by squared distance.
    [[nodiscard]] int NearestPaletteIndex(uint32_t color) const;
    // Scales to width x height; the mask is scaled the same way first, without a key. Not
    // smooth, each pixel takes the nearest source pixel. Smooth, each pixel is the
    // area-weighted average colour of the source pixels it covers, key pixels left out; a
    // pixel covered only by key pixels becomes key. Palettised bitmaps average in colour and
    // map back to their palette.
    void Resize(int32_t width, int32_t height, int64_t key, bool smooth);
    // The number of distinct colours the pixels show.
    [[nodiscard]] int64_t CountColors() const;
    // Takes other's format, size and colour table; the pixels become 0 and the mask is freed.
    void AssignFormat(const TDIBSurface& other);
    // Draws source into this palettised bitmap: with the same depth and colour table the
    // pixels are copied (key pixels skipped), else each source colour becomes the nearest
    // palette index. Into a bitmap with more than 8 bits this is DrawKeyed.
    void DrawIntoPalette(int32_t x, int32_t y, int64_t key, const TDIBSurface& source);
    // A 32-bit bitmap's fourth bytes become Mask and its colours drop to 24 bits; other
    // depths are left alone.
    void MoveAlphaIntoMask();
    // Copies rect of an 8-bit bitmap into the same place of Mask (created when needed).
    void CopyMaskRect(const TDIBSurface& bitmap, const TRect& rect);

    // Files. The extension picks the format, ignoring case: ".tga" is a TGA picture, ".ico"
    // and ".cur" an icon or cursor, and any other name a Windows bitmap (BMP).
    //
    // Loading: with alphaToMask, the alpha of a 32-bit BMP or TGA picture moves into Mask and
    // the bitmap becomes 24-bit (a 32-bit BMP whose fourth bytes are all 0 is opaque, so its
    // Mask is all 255); without it a 32-bit picture keeps its alpha in the fourth byte. An
    // icon or cursor always brings its transparency as Mask. When an icon or cursor file
    // holds several images, chooser is asked to pick one from the lines
    // "%.3d : %d x %d  %d bpp"; without a chooser, and for a single image, the first is taken.
    // Damaged or unreadable files raise KivoError naming the file and leave this bitmap as it
    // was.
    //
    // Saving goes to a temporary file renamed over the target, so a failed save leaves the old
    // file whole. BMP keeps the colours only, at the bitmap's depth (5-6-5 through bit
    // fields); the fourth byte of a 32-bit bitmap is written as 0, which readers take as
    // opaque, and Mask is not written. TGA writes a palettised bitmap without a Mask as 8-bit
    // indices, 15 and 16 bits as 5-5-5 (5-6-5 loses the low green bit), 24 and 32 bits as 24,
    // and any bitmap with a Mask as 32 bits with the Mask as alpha; info.TransparentValue
    // becomes the key colour of the extension area. ICO and CUR write one 32-bit image (1 to
    // 256 pixels a side) whose alpha and AND mask come from Mask (opaque without one); ".cur"
    // writes a cursor with info's hotspot. Errors raise KivoError naming the file.
    BitmapFileInfo LoadFromFile(const std::filesystem::path& path, bool alphaToMask = false,
                                MessageDialogs* chooser = nullptr);
    void SaveToFile(const std::filesystem::path& path, const BitmapFileInfo& info = {}) const;

  private:
    // Pixel memory comes zeroed from calloc, which takes large blocks as fresh pages from the
    // system without writing them, and elements are not written again when the vector is
    // made: a bitmap decoded right after SetSize costs one pass over its memory, not two.
    // bits_ is only ever made at its full size (SetSize), copied or swapped, never grown, so
    // no element is left unwritten.
    template <typename T>
    struct ZeroedAllocator {
        using value_type = T;
        ZeroedAllocator() = default;
        template <typename U>
        explicit ZeroedAllocator(const ZeroedAllocator<U>&) noexcept {}
        [[nodiscard]] T* allocate(size_t n) {
            void* p = std::calloc(n, sizeof(T));
            if (!p) throw std::bad_alloc();
            return static_cast<T*>(p);
        }
        void deallocate(T* p, size_t) noexcept { std::free(p); }
        template <typename U>
        void construct(U* p) noexcept {
            ::new (static_cast<void*>(p)) U;
        }
        template <typename U, typename... Args>
        void construct(U* p, Args&&... args) {
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
        }
        friend bool operator==(const ZeroedAllocator&, const ZeroedAllocator&) = default;
    };
    using PixelMemory = std::vector<uint8_t, ZeroedAllocator<uint8_t>>;

    struct BlitArea {
        int32_t dx, dy, sx, sy, w, h;
    };
    // Clips a draw as described above; false when nothing is left.
    [[nodiscard]] bool ClipBlit(int32_t x, int32_t y, TRect srcRect, const TDIBSurface& source,
                                const std::optional<TRect>& clip, BlitArea& area) const;
    // The source's pixel in this bitmap's format (same value when the depths match).
    [[nodiscard]] uint32_t Translate(const TDIBSurface& source, uint32_t pixel) const;

    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t pitch_ = 0;
    TPixelFormat format_;
    PixelMemory bits_;
    ColorTable palette_{};
    std::unique_ptr<TDIBSurface> mask_;
};

// The bitmap as a file can hold it: a 2-bit bitmap becomes a 4-bit one with the same colour
// table, values and mask; any other bitmap is returned as it is.
[[nodiscard]] TDIBSurface WidenedForFiles(const TDIBSurface& bitmap);

}  // namespace kivo
