#include "imaging/dib_surface.h"

#include <algorithm>
#include <cassert>
#include <string>
#include <utility>

#include "base/error.h"

namespace kivo {

namespace {

bool IsValidBitCount(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 15 || bits == 16 || bits == 24 ||
           bits == 32;
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
    : ClipRect(other.ClipRect),
      width_(other.width_),
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
    std::vector<uint8_t> fresh(static_cast<size_t>(pitch) * static_cast<size_t>(height));
    bits_ = std::move(fresh);
    width_ = width;
    height_ = height;
    pitch_ = pitch;
    format_ = TPixelFormat::ForBitCount(bits);
    if (bits <= 8 && bits != oldBits) FillGreyRamp(palette_, bits);
    ClipRect = {};
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

TRect TDIBSurface::DrawingRect() const {
    if (ClipRect.IsEmpty()) return ClientRect();
    const TRect r = Intersect(ClipRect, ClientRect());
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

}  // namespace kivo
