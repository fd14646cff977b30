#include "imaging/dib_surface.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>

#include "base/error.h"
#include "imaging/ordered_dither.h"

namespace kivo {

namespace {

bool IsValidBitCount(int bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 15 || bits == 16 ||
           bits == 24 || bits == 32;
}

// A palettised bitmap starts with evenly spaced greys, so an 8-bit alpha mask reads as the
// grey level it holds and a 1-bit bitmap as black and white.
void FillGreyRamp(ColorTable& table, int bits) {
    table = {};
    const int count = 1 << bits;
    for (int i = 0; i < count; ++i) {
        const auto grey = static_cast<uint8_t>(i * 255 / (count - 1));
        table[static_cast<size_t>(i)] = {grey, grey, grey, 0};
    }
}

}  // namespace

TPixelFormat TPixelFormat::ForBitCount(int bits) {
    TPixelFormat f;
    f.BitCount = bits;
    f.StorageBits = bits == 15 ? 16 : bits;
    switch (bits) {
        case 15:
            f.RedMask = 0x7C00, f.GreenMask = 0x03E0, f.BlueMask = 0x001F;
            f.RedBits = 5, f.GreenBits = 5, f.BlueBits = 5;
            f.RedShift = 10, f.GreenShift = 5, f.BlueShift = 0;
            break;
        case 16:
            f.RedMask = 0xF800, f.GreenMask = 0x07E0, f.BlueMask = 0x001F;
            f.RedBits = 5, f.GreenBits = 6, f.BlueBits = 5;
            f.RedShift = 11, f.GreenShift = 5, f.BlueShift = 0;
            break;
        case 24:
        case 32:
            break;  // the default record is 8-8-8
        default:
            f.RedMask = f.GreenMask = f.BlueMask = 0;
            f.RedBits = f.GreenBits = f.BlueBits = 0;
            f.RedShift = f.GreenShift = f.BlueShift = 0;
            break;
    }
    return f;
}

TDIBSurface::TDIBSurface(const TDIBSurface& other)
    : width_(other.width_),
      height_(other.height_),
      pitch_(other.pitch_),
      format_(other.format_),
      bits_(other.bits_),
      palette_(other.palette_),
      mask_(other.mask_ ? std::make_unique<TDIBSurface>(*other.mask_) : nullptr) {}

TDIBSurface& TDIBSurface::operator=(const TDIBSurface& other) {
    if (this != &other) {
        TDIBSurface copy(other);
        *this = std::move(copy);
    }
    return *this;
}

int64_t TDIBSurface::PitchFor(int64_t width, int bits) {
    const int storage = bits == 15 ? 16 : bits;
    return (width * storage + 31) / 32 * 4;
}

bool TDIBSurface::SizeFits(int64_t width, int64_t height, int bits) {
    if (!IsValidBitCount(bits)) return false;
    if (width < 0 || height < 0 || width > kMaxDimension || height > kMaxDimension) return false;
    return PitchFor(width, bits) * height <= kMaxBytes;
}

void TDIBSurface::SetSize(int32_t width, int32_t height, int bits) {
    if (!IsValidBitCount(bits)) throw KivoError("unsupported bit count " + std::to_string(bits));
    if (!SizeFits(width, height, bits)) {
        throw KivoError("bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
                        " at " + std::to_string(bits) + " bits is too large");
    }
    const int oldBits = format_.BitCount;
    const auto pitch = static_cast<int32_t>(PitchFor(width, bits));
    // Reallocate first so that a failed allocation leaves the surface as it was.
    PixelMemory fresh(static_cast<size_t>(pitch) * static_cast<size_t>(height));
    bits_ = std::move(fresh);
    width_ = width;
    height_ = height;
    pitch_ = pitch;
    format_ = TPixelFormat::ForBitCount(bits);
    if (bits <= 8 && bits != oldBits) FillGreyRamp(palette_, bits);
    mask_.reset();
}

uint8_t* TDIBSurface::ScanLine(int32_t y) {
    assert(y >= 0 && y < height_);
    return bits_.data() + static_cast<ptrdiff_t>(y) * pitch_;
}

const uint8_t* TDIBSurface::ScanLine(int32_t y) const {
    assert(y >= 0 && y < height_);
    return bits_.data() + static_cast<ptrdiff_t>(y) * pitch_;
}

uint8_t* TDIBSurface::PixelAddress(int32_t x, int32_t y) {
    return const_cast<uint8_t*>(std::as_const(*this).PixelAddress(x, y));
}

const uint8_t* TDIBSurface::PixelAddress(int32_t x, int32_t y) const {
    assert(x >= 0 && x < width_);
    const uint8_t* row = ScanLine(y);
    switch (format_.StorageBits) {
        case 1:
            return row + x / 8;
        case 2:
            return row + x / 4;
        case 4:
            return row + x / 2;
        default:
            return row + static_cast<ptrdiff_t>(x) * (format_.StorageBits / 8);
    }
}

uint32_t TDIBSurface::GetPixel(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    const uint8_t* p = PixelAddress(x, y);
    switch (format_.StorageBits) {
        case 1:
            return (*p >> (7 - (x & 7))) & 1u;
        case 2:
            return (*p >> (6 - 2 * (x & 3))) & 3u;
        case 4:
            return (x & 1) ? (*p & 0x0Fu) : (*p >> 4);
        case 8:
            return *p;
        case 16:
            return uint32_t{p[0]} | uint32_t{p[1]} << 8;
        case 24:
            return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
        default:
            return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
                   uint32_t{p[3]} << 24;
    }
}

void TDIBSurface::SetPixel(int32_t x, int32_t y, uint32_t pixel) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t* p = PixelAddress(x, y);
    switch (format_.StorageBits) {
        case 1: {
            const auto bit = static_cast<uint8_t>(0x80u >> (x & 7));
            *p = static_cast<uint8_t>((pixel & 1u) ? (*p | bit) : (*p & ~bit));
            break;
        }
        case 2: {
            const int shift = 6 - 2 * (x & 3);
            *p = static_cast<uint8_t>((*p & ~(3u << shift)) | (pixel & 3u) << shift);
            break;
        }
        case 4:
            *p = (x & 1) ? static_cast<uint8_t>((*p & 0xF0u) | (pixel & 0x0Fu))
                         : static_cast<uint8_t>((*p & 0x0Fu) | (pixel & 0x0Fu) << 4);
            break;
        case 8:
            *p = static_cast<uint8_t>(pixel);
            break;
        case 16:
            if (format_.BitCount == 15) pixel &= 0x7FFF;
            p[0] = static_cast<uint8_t>(pixel);
            p[1] = static_cast<uint8_t>(pixel >> 8);
            break;
        case 24:
            for (int i = 0; i < 3; ++i)
                p[i] = static_cast<uint8_t>(pixel >> (8 * i));
            break;
        default:
            for (int i = 0; i < 4; ++i)
                p[i] = static_cast<uint8_t>(pixel >> (8 * i));
            break;
    }
}

TRect TDIBSurface::DrawingRect(const std::optional<TRect>& clip) const {
    if (!clip) return ClientRect();
    const TRect r = Intersect(*clip, ClientRect());
    return r.IsEmpty() ? TRect{} : r;
}

TDIBSurface& TDIBSurface::CreateMask() {
    if (!mask_) mask_ = std::make_unique<TDIBSurface>();
    if (mask_->Width() != width_ || mask_->Height() != height_ || mask_->BitCount() != 8) {
        mask_->SetSize(width_, height_, 8);
    }
    return *mask_;
}

void TDIBSurface::FillMaskOpaque() {
    TDIBSurface& mask = CreateMask();
    std::fill(mask.bits_.begin(), mask.bits_.end(), uint8_t{0xFF});
}

// ---- Drawing ----------------------------------------------------------------------------------

namespace {

uint32_t LoadPixel(const uint8_t* p, int bytes) {
    switch (bytes) {
        case 1:
            return p[0];
        case 2:
            return uint32_t{p[0]} | uint32_t{p[1]} << 8;
        case 3:
            return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
        default:
            return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
                   uint32_t{p[3]} << 24;
    }
}

void StorePixel(uint8_t* p, int bytes, uint32_t v) {
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// One channel of a 15/16-bit blend with exact division by 255.
uint32_t BlendChannel255(uint32_t d, uint32_t s, uint32_t a, uint32_t mask) {
    return (((d & mask) * (255 - a) + (s & mask) * a) / 255) & mask;
}

uint32_t BlendChannelShift(uint32_t d, uint32_t s, uint32_t w, uint32_t mask) {
    return (((d & mask) * (255 - w) + (s & mask) * w) >> 8) & mask;
}

// The 32-bit blend: red and blue together, then green, with >>8 weights; the fourth byte
// becomes 0.
uint32_t Blend32(uint32_t d, uint32_t s, uint32_t w) {
    const uint32_t rb = (((255 - w) * (d & 0xFF00FF) + w * (s & 0xFF00FF)) >> 8) & 0xFF00FF;
    const uint32_t g = (((d & 0xFF00) * (255 - w) + (s & 0xFF00) * w) >> 8) & 0xFF00;
    return rb | g;
}

// Blends s into d with weight w for a 15/16, 24 or 32-bit format. Alpha draws of 15/16 and
// 24 bits divide by 255 exactly; mask draws and every 32-bit draw use >>8 weights.
uint32_t BlendPixel(const TPixelFormat& f, uint32_t d, uint32_t s, uint32_t w, bool exact) {
    if (f.BitCount == 32) return Blend32(d, s, w);
    const uint32_t masks[3] = {f.RedMask, f.GreenMask, f.BlueMask};
    uint32_t out = 0;
    for (uint32_t m : masks) {
        out |= exact ? BlendChannel255(d, s, w, m) : BlendChannelShift(d, s, w, m);
    }
    return out;
}

uint8_t WidenChannel(uint32_t value, int bits) {
    if (bits >= 8) return static_cast<uint8_t>(value);
    if (bits <= 0) return 0;
    uint32_t v = value << (8 - bits);
    v |= v >> bits;
    return static_cast<uint8_t>(v);
}

}  // namespace

bool TDIBSurface::ClipBlit(int32_t x, int32_t y, TRect srcRect, const TDIBSurface& source,
                           const std::optional<TRect>& drawClip, BlitArea& area) const {
    // The source rectangle is first cut to the source itself; the destination follows.
    const TRect inside = Intersect(srcRect, source.ClientRect());
    x += inside.Left - srcRect.Left;
    y += inside.Top - srcRect.Top;
    srcRect = inside;
    if (srcRect.IsEmpty()) return false;
    const TRect clip = DrawingRect(drawClip);
    int64_t left = x, top = y;
    int64_t right = left + srcRect.Width(), bottom = top + srcRect.Height();
    int64_t sx = srcRect.Left, sy = srcRect.Top;
    if (left < clip.Left) sx += clip.Left - left, left = clip.Left;
    if (top < clip.Top) sy += clip.Top - top, top = clip.Top;
    right = std::min<int64_t>(right, clip.Right);
    bottom = std::min<int64_t>(bottom, clip.Bottom);
    if (right <= left || bottom <= top) return false;
    area = {static_cast<int32_t>(left),         static_cast<int32_t>(top),
            static_cast<int32_t>(sx),           static_cast<int32_t>(sy),
            static_cast<int32_t>(right - left), static_cast<int32_t>(bottom - top)};
    return true;
}

uint32_t TDIBSurface::Translate(const TDIBSurface& source, uint32_t pixel) const {
    if (source.BitCount() == BitCount() &&
        (!IsPalettised() || source.palette_ == palette_ || source.BitCount() == 8)) {
        return pixel;
    }
    return static_cast<uint32_t>(ColorToPixel(source.PixelToColor(pixel)));
}

void TDIBSurface::Copy(int32_t x, int32_t y, const TRect& srcRect, const TDIBSurface& source,
                       const std::optional<TRect>& clip) {
    DrawKeyed(x, y, -1, srcRect, source, clip);
}

void TDIBSurface::DrawKeyed(int32_t x, int32_t y, int64_t key, const TRect& srcRect,
                            const TDIBSurface& source, const std::optional<TRect>& clip) {
    BlitArea a;
    if (!ClipBlit(x, y, srcRect, source, clip, a)) return;
    const bool sameFormat = source.BitCount() == BitCount() && BitCount() >= 8;
    if (sameFormat && key < 0 && &source != this) {
        const size_t bpp = static_cast<size_t>(BytesPerPixel());
        for (int32_t row = 0; row < a.h; ++row) {
            std::memcpy(PixelAddress(a.dx, a.dy + row), source.PixelAddress(a.sx, a.sy + row),
                        bpp * static_cast<size_t>(a.w));
        }
        return;
    }
    // Drawing a bitmap onto itself goes through a copy so that overlapping areas read the
    // original pixels.
    const TDIBSurface* src = &source;
    TDIBSurface copy;
    if (&source == this) copy = source, src = &copy;
    for (int32_t row = 0; row < a.h; ++row) {
        for (int32_t col = 0; col < a.w; ++col) {
            const uint32_t s = src->GetPixel(a.sx + col, a.sy + row);
            if (key >= 0 && s == static_cast<uint64_t>(key)) continue;
            SetPixel(a.dx + col, a.dy + row, Translate(*src, s));
        }
    }
}

void TDIBSurface::DrawAlpha(int32_t x, int32_t y, int alpha, int64_t key, const TRect& srcRect,
                            const TDIBSurface& source, const std::optional<TRect>& clip) {
    if (alpha == 0) return;
    if (alpha >= 255 || alpha < 0 || (IsPalettised() && alpha / 16 > 14)) {
        DrawKeyed(x, y, key, srcRect, source, clip);
        return;
    }
    BlitArea ar;
    if (!ClipBlit(x, y, srcRect, source, clip, ar)) return;
    const TDIBSurface* src = &source;
    TDIBSurface copy;
    if (&source == this) copy = source, src = &copy;
    const auto a = static_cast<uint32_t>(alpha);
    const int bits = BitCount();
    const int bytes = BytesPerPixel();
    const bool direct = src->BitCount() == bits;
    for (int32_t row = 0; row < ar.h; ++row) {
        const int32_t dy = ar.dy + row;
        for (int32_t col = 0; col < ar.w; ++col) {
            const int32_t dx = ar.dx + col;
            const uint32_t raw = src->GetPixel(ar.sx + col, ar.sy + row);
            if (key >= 0 && raw == static_cast<uint64_t>(key)) continue;
            const uint32_t s = direct ? raw : Translate(*src, raw);
            if (bits <= 8) {
                if (kBayer4[dy & 3][dx & 3] < a / 16) SetPixel(dx, dy, s);
                continue;
            }
            uint8_t* p = PixelAddress(dx, dy);
            const uint32_t d = LoadPixel(p, bytes);
            StorePixel(p, bytes, BlendPixel(format_, d, s, a, true));
        }
    }
}

void TDIBSurface::DrawMask(int32_t x, int32_t y, int alpha, const TRect& srcRect,
                           const TDIBSurface& source, const std::optional<TRect>& clip) {
    const TDIBSurface* mask = source.Mask();
    if (!mask) {
        DrawAlpha(x, y, alpha, -1, srcRect, source, clip);
        return;
    }
    if (alpha <= 0) return;
    BlitArea ar;
    // The mask has the source's size, so clipping to the source clips to the mask too.
    if (!ClipBlit(x, y, srcRect, source, clip, ar)) return;
    const TDIBSurface* src = &source;
    TDIBSurface copy;
    if (&source == this) copy = source, src = &copy, mask = copy.Mask();
    const int bits = BitCount();
    const int bytes = BytesPerPixel();
    const bool direct = src->BitCount() == bits;
    for (int32_t row = 0; row < ar.h; ++row) {
        const uint8_t* maskRow = mask->ScanLine(ar.sy + row) + ar.sx;
        for (int32_t col = 0; col < ar.w; ++col) {
            const uint32_t m = maskRow[col];
            // Below full opacity the weight is scaled, and a product that rounds below one
            // step draws nothing.
            uint32_t w = m;
            if (alpha < 255) {
                const uint32_t product = static_cast<uint32_t>(alpha) * m;
                w = product > 255 ? product >> 8 : 0;
            }
            if (w == 0) continue;
            const int32_t dx = ar.dx + col, dy = ar.dy + row;
            const uint32_t raw = src->GetPixel(ar.sx + col, ar.sy + row);
            const uint32_t s = direct ? raw : Translate(*src, raw);
            if (bits <= 8) {
                if (w >= 128) SetPixel(dx, dy, s);
                continue;
            }
            uint8_t* p = PixelAddress(dx, dy);
            if (w == 255) {
                StorePixel(p, bytes, bits == 32 ? (s & 0xFFFFFF) : s);
                continue;
            }
            const uint32_t d = LoadPixel(p, bytes);
            StorePixel(p, bytes, BlendPixel(format_, d, s, w, false));
        }
    }
}

void TDIBSurface::FillRect(const TRect& rect, uint32_t pixel, const std::optional<TRect>& clip) {
    const TRect r = Intersect(rect, DrawingRect(clip));
    if (r.IsEmpty()) return;
    const int bits = BitCount();
    if (bits >= 8) {
        const int bytes = BytesPerPixel();
        if (bits == 15) pixel &= 0x7FFF;
        uint8_t* first = PixelAddress(r.Left, r.Top);
        for (int32_t col = 0; col < r.Width(); ++col)
            StorePixel(first + col * bytes, bytes, pixel);
        const size_t span = static_cast<size_t>(r.Width()) * static_cast<size_t>(bytes);
        for (int32_t y = r.Top + 1; y < r.Bottom; ++y) {
            std::memcpy(PixelAddress(r.Left, y), first, span);
        }
        return;
    }
    for (int32_t y = r.Top; y < r.Bottom; ++y) {
        for (int32_t x = r.Left; x < r.Right; ++x)
            SetPixel(x, y, pixel);
    }
}

bool TDIBSurface::SwapPixels(TDIBSurface& other) {
    if (other.width_ != width_ || other.height_ != height_ || other.format_ != format_) {
        return false;
    }
    bits_.swap(other.bits_);
    return true;
}

// ---- Masks and shapes -------------------------------------------------------------------------

void TDIBSurface::CopyMaskFrom(const TDIBSurface& bitmap) {
    TDIBSurface& mask = CreateMask();
    const int32_t rows = std::min(height_, bitmap.Height());
    const int32_t cols = std::min(width_, bitmap.Width());
    for (int32_t y = 0; y < rows; ++y) {
        if (bitmap.BitCount() == 8) {
            std::memcpy(mask.ScanLine(y), bitmap.ScanLine(y), static_cast<size_t>(cols));
        } else {
            for (int32_t x = 0; x < cols; ++x) {
                mask.ScanLine(y)[x] = static_cast<uint8_t>(bitmap.GetPixel(x, y));
            }
        }
    }
}

TRect TDIBSurface::OpaqueBounds(int64_t key) const {
    TRect bounds{width_, height_, 0, 0};
    for (int32_t y = 0; y < height_; ++y) {
        for (int32_t x = 0; x < width_; ++x) {
            if (key >= 0 && GetPixel(x, y) == static_cast<uint64_t>(key)) continue;
            bounds.Left = std::min(bounds.Left, x);
            bounds.Top = std::min(bounds.Top, y);
            bounds.Right = std::max(bounds.Right, x + 1);
            bounds.Bottom = std::max(bounds.Bottom, y + 1);
        }
    }
    return bounds.IsEmpty() ? TRect{} : bounds;
}

TRect TDIBSurface::TrimTo(int64_t key) {
    const TRect bounds = OpaqueBounds(key);
    if (bounds != ClientRect()) Crop(bounds);
    return bounds;
}

void TDIBSurface::Crop(const TRect& rect) {
    TRect r = Intersect(rect, ClientRect());
    if (r.IsEmpty()) r = {0, 0, std::min(width_, 1), std::min(height_, 1)};
    TDIBSurface cropped;
    cropped.CopyFrom(*this, r, true);
    *this = std::move(cropped);
}

void TDIBSurface::CopyFrom(const TDIBSurface& source, const TRect& rect, bool withMask) {
    const TRect r = Intersect(rect, source.ClientRect());
    const int32_t w = r.IsEmpty() ? 0 : r.Width();
    const int32_t h = r.IsEmpty() ? 0 : r.Height();
    SetSize(w, h, source.BitCount());
    palette_ = source.palette_;
    if (w == 0 || h == 0) return;
    Copy(0, 0, r, source);
    if (withMask && source.HasMask()) {
        TDIBSurface& mask = CreateMask();
        mask.Copy(0, 0, r, *source.Mask());
    }
}

void TDIBSurface::MirrorH() {
    for (int32_t y = 0; y < height_; ++y) {
        for (int32_t x = 0, x2 = width_ - 1; x < x2; ++x, --x2) {
            const uint32_t left = GetPixel(x, y);
            SetPixel(x, y, GetPixel(x2, y));
            SetPixel(x2, y, left);
        }
    }
    if (mask_) mask_->MirrorH();
}

void TDIBSurface::MirrorV() {
    std::vector<uint8_t> row(static_cast<size_t>(pitch_));
    for (int32_t y = 0, y2 = height_ - 1; y < y2; ++y, --y2) {
        std::memcpy(row.data(), ScanLine(y), row.size());
        std::memcpy(ScanLine(y), ScanLine(y2), row.size());
        std::memcpy(ScanLine(y2), row.data(), row.size());
    }
    if (mask_) mask_->MirrorV();
}

// ---- Formats ----------------------------------------------------------------------------------

int64_t TDIBSurface::ColorToPixel(int64_t color) const {
    if (color < 0) return -1;
    const auto v = static_cast<uint32_t>(color);
    if (IsPalettised()) return NearestPaletteIndex(v);
    const uint32_t r = v & 0xFF, g = (v >> 8) & 0xFF, b = (v >> 16) & 0xFF;
    const TPixelFormat& f = format_;
    return (r >> (8 - f.RedBits)) << f.RedShift | (g >> (8 - f.GreenBits)) << f.GreenShift |
           (b >> (8 - f.BlueBits)) << f.BlueShift;
}

uint32_t TDIBSurface::PixelToColor(uint32_t pixel) const {
    if (IsPalettised()) {
        const PaletteEntry& e = palette_[pixel & 0xFF];
        return uint32_t{e.Red} | uint32_t{e.Green} << 8 | uint32_t{e.Blue} << 16;
    }
    const TPixelFormat& f = format_;
    const uint32_t r = WidenChannel((pixel & f.RedMask) >> f.RedShift, f.RedBits);
    const uint32_t g = WidenChannel((pixel & f.GreenMask) >> f.GreenShift, f.GreenBits);
    const uint32_t b = WidenChannel((pixel & f.BlueMask) >> f.BlueShift, f.BlueBits);
    return r | g << 8 | b << 16;
}

int TDIBSurface::NearestPaletteIndex(uint32_t color) const {
    const int r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
    int best = 0;
    int bestDistance = 1 << 30;
    const int count = IsPalettised() ? PaletteSize() : 256;
    for (int i = 0; i < count; ++i) {
        const PaletteEntry& e = palette_[static_cast<size_t>(i)];
        const int dr = e.Red - r, dg = e.Green - g, db = e.Blue - b;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
            if (distance == 0) break;
        }
    }
    return best;
}

void TDIBSurface::Resize(int32_t width, int32_t height, int64_t key, bool smooth) {
    if (mask_) mask_->Resize(width, height, -1, smooth);
    std::unique_ptr<TDIBSurface> mask = std::move(mask_);
    TDIBSurface resized(width, height, BitCount());
    resized.palette_ = palette_;
    // Scaling nothing up would read pixels that do not exist; the result stays all 0.
    if (!IsEmpty() && !resized.IsEmpty()) {
        const int64_t sw = width_, sh = height_, dw = width, dh = height;
        if (!smooth) {
            for (int32_t y = 0; y < height; ++y) {
                const auto sy = static_cast<int32_t>(y * sh / dh);
                for (int32_t x = 0; x < width; ++x) {
                    resized.SetPixel(x, y, GetPixel(static_cast<int32_t>(x * sw / dw), sy));
                }
            }
        } else {
            // Source pixel i spans [i * dw, (i + 1) * dw) and destination pixel x spans
            // [x * sw, (x + 1) * sw) on a common integer axis, so overlaps are exact weights.
            std::unordered_map<uint32_t, uint32_t> toPixel;
            for (int32_t y = 0; y < height; ++y) {
                const int64_t top = y * sh, bottom = top + sh;
                for (int32_t x = 0; x < width; ++x) {
                    const int64_t left = x * sw, right = left + sw;
                    int64_t total = 0, red = 0, green = 0, blue = 0;
                    for (int64_t sy = top / dh; sy < height_ && sy * dh < bottom; ++sy) {
                        const int64_t wy = std::min(bottom, (sy + 1) * dh) - std::max(top, sy * dh);
                        for (int64_t sx = left / dw; sx < width_ && sx * dw < right; ++sx) {
                            const uint32_t p =
                                GetPixel(static_cast<int32_t>(sx), static_cast<int32_t>(sy));
                            if (key >= 0 && p == static_cast<uint64_t>(key)) continue;
                            const int64_t w =
                                wy * (std::min(right, (sx + 1) * dw) - std::max(left, sx * dw));
                            const uint32_t c = PixelToColor(p);
                            total += w;
                            red += w * (c & 0xFF);
                            green += w * ((c >> 8) & 0xFF);
                            blue += w * ((c >> 16) & 0xFF);
                        }
                    }
                    if (total == 0) {
                        resized.SetPixel(x, y, static_cast<uint32_t>(std::max<int64_t>(key, 0)));
                        continue;
                    }
                    const auto average = static_cast<uint32_t>((red + total / 2) / total |
                                                               ((green + total / 2) / total) << 8 |
                                                               ((blue + total / 2) / total) << 16);
                    auto [it, fresh] = toPixel.try_emplace(average, 0);
                    if (fresh) it->second = static_cast<uint32_t>(resized.ColorToPixel(average));
                    resized.SetPixel(x, y, it->second);
                }
            }
        }
    }
    resized.mask_ = std::move(mask);
    *this = std::move(resized);
}

int64_t TDIBSurface::CountColors() const {
    std::unordered_map<uint32_t, bool> seen;
    for (int32_t y = 0; y < height_; ++y) {
        for (int32_t x = 0; x < width_; ++x)
            seen.emplace(PixelToColor(GetPixel(x, y)), true);
    }
    return static_cast<int64_t>(seen.size());
}

void TDIBSurface::AssignFormat(const TDIBSurface& other) {
    SetSize(other.width_, other.height_, other.BitCount());
    palette_ = other.palette_;
}

void TDIBSurface::DrawIntoPalette(int32_t x, int32_t y, int64_t key, const TDIBSurface& source) {
    if (!IsPalettised() || (source.BitCount() == BitCount() && source.palette_ == palette_)) {
        DrawKeyed(x, y, key, source.ClientRect(), source);
        return;
    }
    BlitArea a;
    if (!ClipBlit(x, y, source.ClientRect(), source, std::nullopt, a)) return;
    std::unordered_map<uint32_t, uint32_t> toIndex;
    for (int32_t row = 0; row < a.h; ++row) {
        for (int32_t col = 0; col < a.w; ++col) {
            const uint32_t s = source.GetPixel(a.sx + col, a.sy + row);
            if (key >= 0 && s == static_cast<uint64_t>(key)) continue;
            auto [it, fresh] = toIndex.try_emplace(s, 0);
            if (fresh)
                it->second = static_cast<uint32_t>(NearestPaletteIndex(source.PixelToColor(s)));
            SetPixel(a.dx + col, a.dy + row, it->second);
        }
    }
}

void TDIBSurface::CopyMaskRect(const TDIBSurface& bitmap, const TRect& rect) {
    TDIBSurface& mask = CreateMask();
    mask.Copy(rect.Left, rect.Top, rect, bitmap);
}

void TDIBSurface::MoveAlphaIntoMask() {
    if (BitCount() != 32) return;
    TDIBSurface alpha(width_, height_, 8);
    for (int32_t y = 0; y < height_; ++y) {
        const uint8_t* row = ScanLine(y);
        uint8_t* out = alpha.ScanLine(y);
        for (int32_t x = 0; x < width_; ++x)
            out[x] = row[x * 4 + 3];
    }
    Convert(24);
    CopyMaskFrom(alpha);
}

TDIBSurface WidenedForFiles(const TDIBSurface& bitmap) {
    if (bitmap.BitCount() != 2) return bitmap;
    TDIBSurface wide(bitmap.Width(), bitmap.Height(), 4);
    wide.Palette() = bitmap.Palette();
    for (int32_t y = 0; y < bitmap.Height(); ++y) {
        for (int32_t x = 0; x < bitmap.Width(); ++x)
            wide.SetPixel(x, y, bitmap.GetPixel(x, y));
    }
    if (bitmap.HasMask()) wide.CopyMaskFrom(*bitmap.Mask());
    return wide;
}

}  // namespace kivo
