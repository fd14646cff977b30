// The surface primitives, clipping, colours and fills of TCustomDIBX, and the memory surface.

#include "imaging/dibx.h"

#include <algorithm>
#include <cstring>

#include "imaging/dibx_support.h"
#include "imaging/row_ops.h"

namespace kivo {

namespace dibx {

std::optional<RowWalk> EvenRows(DirectAccess& access, int32_t x, int32_t y, int32_t stepY,
                                int32_t count) {
    uint8_t* first = access.At(x, y);
    if (first == nullptr || count < 1) return std::nullopt;
    if (count == 1) return RowWalk{first, 0};
    const uint8_t* last = access.At(x, y + (count - 1) * stepY);
    if (last == nullptr) return std::nullopt;
    // Compared as integers: the two addresses need not belong to one array.
    const ptrdiff_t stride = static_cast<ptrdiff_t>(access.Pitch()) * stepY;
    const auto span = static_cast<ptrdiff_t>(reinterpret_cast<uintptr_t>(last) -
                                             reinterpret_cast<uintptr_t>(first));
    if (span != stride * (count - 1)) return std::nullopt;
    return RowWalk{first, stride};
}

std::optional<BlitPlan> ClipBlit(const TRect& drawing, int32_t x, int32_t y, const TRect& srcRect,
                                 const TRect& sourceBounds, bool flipV, bool flipH) {
    int64_t left = srcRect.Left, top = srcRect.Top, right = srcRect.Right, bottom = srcRect.Bottom;
    int64_t dx = x, dy = y;

    // Cutting the source's near edge moves the destination unless the draw is mirrored, in
    // which case the cut shows on the destination's far side.
    if (left < sourceBounds.Left) {
        if (!flipH) dx += sourceBounds.Left - left;
        left = sourceBounds.Left;
    }
    if (right > sourceBounds.Right) {
        if (flipH) dx += right - sourceBounds.Right;
        right = sourceBounds.Right;
    }
    if (top < sourceBounds.Top) {
        if (!flipV) dy += sourceBounds.Top - top;
        top = sourceBounds.Top;
    }
    if (bottom > sourceBounds.Bottom) {
        if (flipV) dy += bottom - sourceBounds.Bottom;
        bottom = sourceBounds.Bottom;
    }
    if (right <= left || bottom <= top) return std::nullopt;

    // Against the drawing region: a destination cut on the left trims the source's left, or
    // its right when mirrored; likewise for the other three edges.
    if (dx < drawing.Left) {
        const int64_t d = drawing.Left - dx;
        flipH ? right -= d : left += d;
        dx = drawing.Left;
    }
    if (dx + (right - left) > drawing.Right) {
        const int64_t d = dx + (right - left) - drawing.Right;
        flipH ? left += d : right -= d;
    }
    if (dy < drawing.Top) {
        const int64_t d = drawing.Top - dy;
        flipV ? bottom -= d : top += d;
        dy = drawing.Top;
    }
    if (dy + (bottom - top) > drawing.Bottom) {
        const int64_t d = dy + (bottom - top) - drawing.Bottom;
        flipV ? top += d : bottom -= d;
    }
    if (right <= left || bottom <= top) return std::nullopt;

    BlitPlan plan;
    plan.dstX = static_cast<int32_t>(dx);
    plan.dstY = static_cast<int32_t>(dy);
    plan.width = static_cast<int32_t>(right - left);
    plan.height = static_cast<int32_t>(bottom - top);
    plan.srcX = static_cast<int32_t>(flipH ? right - 1 : left);
    plan.srcY = static_cast<int32_t>(flipV ? bottom - 1 : top);
    plan.stepX = flipH ? -1 : 1;
    plan.stepY = flipV ? -1 : 1;
    return plan;
}

Colour32::Colour32(TCustomDIBX& source, const TCustomDIBX& destination, TColorKey key) {
    if (source.BitCount() == 32 && &source != &destination) {
        surface_ = &source;
        key_ = key;
        return;
    }
    auto* memory = dynamic_cast<TDIBX*>(&source);
    if (!memory || memory->IsEmpty()) return;
    // Colours go through their 0x00BBGGRR value; the key takes the same road so that a keyed
    // draw still skips exactly the source's key pixels.
    const TDIBSurface& bitmap = memory->Bitmap();
    TDIBSurface wide = bitmap;
    wide.FreeMask();
    if (bitmap.BitCount() == 32) {
        widened_ = std::make_unique<TDIBX>(std::move(wide));
        surface_ = widened_.get();
        key_ = key;
        return;
    }
    wide.Convert(32);
    // Scene pixels carry a zero fourth byte, as every blend leaves it; the widened colours do
    // too, so that a pixel equal in colour to the destination counts as equal.
    std::span<uint8_t> bytes = wide.Bits();
    for (size_t i = 3; i < bytes.size(); i += 4)
        bytes[i] = 0;
    widened_ = std::make_unique<TDIBX>(std::move(wide));
    surface_ = widened_.get();
    if (key.IsSet()) {
        const uint32_t colour = bitmap.PixelToColor(key.Pixel());
        key_ = TColorKey(static_cast<uint32_t>(widened_->Bitmap().ColorToPixel(colour)));
    }
}

}  // namespace dibx

// ---- TCustomDIBX ----

void TCustomDIBX::SetSize(int32_t width, int32_t height, int /*bitCount*/) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
}

uint32_t TCustomDIBX::ColorToPixel(int32_t color) const {
    return color < 0 ? kNoTransparentColor : static_cast<uint32_t>(color);
}

void TCustomDIBX::Fill(const TRect& clip, uint32_t pixel) {
    FillRect(clip, ClientRect(), pixel);
}

void TCustomDIBX::FillRect(const TRect& clip, const TRect& rect, uint32_t pixel) {
    const TRect area = Intersect(rect, DrawingRect(clip));
    if (area.IsEmpty()) return;
    dibx::DirectAccess access(*this);
    const int bits = BitCount();
    if (bits == 32) {
        for (int32_t y = area.Top; y < area.Bottom; ++y) {
            uint32_t* row = access.Row32(area.Left, y);
            if (!row) return;
            FastRowOps().Fill(row, area.Width(), pixel);
        }
    } else if (bits == 8) {
        for (int32_t y = area.Top; y < area.Bottom; ++y) {
            uint8_t* row = access.At(area.Left, y);
            if (!row) return;
            std::memset(row, static_cast<int>(pixel & 0xFF), static_cast<size_t>(area.Width()));
        }
    } else {
        for (int32_t y = area.Top; y < area.Bottom; ++y) {
            for (int32_t x = area.Left; x < area.Right; ++x)
                SetPixel(x, y, pixel);
        }
    }
}

namespace {

// Runs a 32-bit fill kernel over the clipped rectangle; other depths are left untouched.
template <typename Kernel>
void FillRows32(TCustomDIBX& surface, const TRect& clip, const TRect& rect, Kernel&& kernel) {
    if (surface.BitCount() != 32) return;
    const TRect area = Intersect(rect, surface.DrawingRect(clip));
    if (area.IsEmpty()) return;
    dibx::DirectAccess access(surface);
    for (int32_t y = area.Top; y < area.Bottom; ++y) {
        uint32_t* row = access.Row32(area.Left, y);
        if (!row) return;
        kernel(row, area.Width());
    }
}

}  // namespace

void TCustomDIBX::FillRectAlpha(const TRect& clip, const TRect& rect, uint32_t pixel,
                                int32_t alpha) {
    const uint32_t w = dibx::Strength(alpha, 255);
    if (w == 0) return;
    FillRows32(*this, clip, rect,
               [&](uint32_t* row, int32_t n) { FastRowOps().FillAlpha(row, n, pixel, w); });
}

void TCustomDIBX::FillRectAdd(const TRect& clip, const TRect& rect, uint32_t pixel) {
    FillRows32(*this, clip, rect,
               [&](uint32_t* row, int32_t n) { FastRowOps().FillAdd(row, n, pixel); });
}

void TCustomDIBX::FillRectSub(const TRect& clip, const TRect& rect, uint32_t pixel) {
    FillRows32(*this, clip, rect,
               [&](uint32_t* row, int32_t n) { FastRowOps().FillSub(row, n, pixel); });
}

namespace {

// The four bands of a frame: top, bottom, and the sides between them when room is left.
template <typename Band>
void ForEachFrameBand(const TRect& rect, int32_t thickness, Band&& band) {
    if (thickness <= 0 || rect.IsEmpty()) return;
    const int32_t t = std::min(thickness, rect.Height());
    band(TRect{rect.Left, rect.Top, rect.Right, rect.Top + t});
    band(TRect{rect.Left, rect.Bottom - t, rect.Right, rect.Bottom});
    if (rect.Height() - 2 * t > 0) {
        band(TRect{rect.Left, rect.Top + t, rect.Left + thickness, rect.Bottom - t});
        band(TRect{rect.Right - thickness, rect.Top + t, rect.Right, rect.Bottom - t});
    }
}

}  // namespace

void TCustomDIBX::FrameRect(const TRect& clip, const TRect& rect, int32_t thickness,
                            uint32_t pixel) {
    ForEachFrameBand(rect, thickness, [&](const TRect& band) { FillRect(clip, band, pixel); });
}

void TCustomDIBX::FrameRectAlpha(const TRect& clip, const TRect& rect, int32_t thickness,
                                 int32_t alpha, uint32_t pixel) {
    ForEachFrameBand(rect, thickness,
                     [&](const TRect& band) { FillRectAlpha(clip, band, pixel, alpha); });
}

void TCustomDIBX::FrameRectAdd(const TRect& clip, const TRect& rect, int32_t thickness,
                               uint32_t pixel) {
    ForEachFrameBand(rect, thickness, [&](const TRect& band) { FillRectAdd(clip, band, pixel); });
}

void TCustomDIBX::FramePattern(const TRect& clip, const TRect& rect, int32_t thickness,
                               int32_t offsetY, int32_t offsetX, TCustomDIBX& pattern) {
    // Each band keeps the pattern aligned with the frame's corner.
    ForEachFrameBand(rect, thickness, [&](const TRect& band) {
        FillPattern(clip, band, pattern, false, false, offsetY + (band.Top - rect.Top),
                    offsetX + (band.Left - rect.Left));
    });
}

void TCustomDIBX::Clear() {
    width_ = height_ = 0;
}

// ---- TDIBX ----

TDIBX::TDIBX() : bitmap_(1, 1, 32) {}

TDIBX::TDIBX(int32_t width, int32_t height, int bitCount) : TDIBX() {
    SetSize(width, height, bitCount);
}

TDIBX::TDIBX(TDIBSurface bitmap) {
    SetBitmap(std::move(bitmap));
}

void TDIBX::SetBitmap(TDIBSurface bitmap) {
    bitmap_ = std::move(bitmap);
    cleared_ = false;
    TCustomDIBX::SetSize(bitmap_.Width(), bitmap_.Height(), bitmap_.BitCount());
}

void TDIBX::SetBitCount(int bits) {
    bitmap_.Convert(bits);
}

void TDIBX::SetSize(int32_t width, int32_t height, int bitCount) {
    bitmap_.SetSize(width, height, bitCount);
    cleared_ = false;
    TCustomDIBX::SetSize(width, height, bitCount);
}

uint8_t* TDIBX::PixelAddress(int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= bitmap_.Width() || y >= bitmap_.Height()) return nullptr;
    return bitmap_.PixelAddress(x, y);
}

uint32_t TDIBX::ColorToPixel(int32_t color) const {
    if (color < 0) return kNoTransparentColor;
    const int bits = BitCount();
    if (bits != 15 && bits != 16 && bits != 32) return static_cast<uint32_t>(color);
    const TPixelFormat& f = bitmap_.Format();
    const auto v = static_cast<uint32_t>(color);
    return ((v & 0xFF) >> (8 - f.RedBits)) << (f.GreenBits + f.BlueBits) |
           (((v >> 8) & 0xFF) >> (8 - f.GreenBits)) << f.BlueBits |
           (((v >> 16) & 0xFF) >> (8 - f.BlueBits));
}

void TDIBX::Fill(const TRect& clip, uint32_t pixel) {
    const int bits = BitCount();
    if (IsEmpty() || bits == 24 || bits == 32) {
        TCustomDIBX::Fill(clip, pixel);
        return;
    }
    // Below 24 bits the whole pixel memory is filled, clip or not.
    std::span<uint8_t> bytes = bitmap_.Bits();
    switch (bits) {
        case 1:
            std::fill(bytes.begin(), bytes.end(), pixel != 0 ? 0xFF : 0x00);
            break;
        case 2:
            std::fill(bytes.begin(), bytes.end(), static_cast<uint8_t>((pixel & 3) * 0x55));
            break;
        case 4:
            std::fill(bytes.begin(), bytes.end(),
                      static_cast<uint8_t>((pixel & 0xF) | (pixel & 0xF) << 4));
            break;
        case 8:
            std::fill(bytes.begin(), bytes.end(), static_cast<uint8_t>(pixel));
            break;
        default:
            for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
                bytes[i] = static_cast<uint8_t>(pixel);
                bytes[i + 1] = static_cast<uint8_t>(pixel >> 8);
            }
            break;
    }
}

void TDIBX::Assign(TCustomDIBX& source) {
    auto* memory = dynamic_cast<TDIBX*>(&source);
    if (memory == this) return;
    if (memory && memory->Width() == Width() && memory->Height() == Height() &&
        memory->Pitch() == Pitch() && memory->BitCount() == BitCount() && !IsEmpty()) {
        std::span<const uint8_t> from = memory->bitmap_.Bits();
        std::copy(from.begin(), from.end(), bitmap_.Bits().begin());
        return;
    }
    TCustomDIBX::Assign(source);
}

void TDIBX::Clear() {
    bitmap_.SetSize(8, 8, bitmap_.BitCount());
    cleared_ = true;
    TCustomDIBX::Clear();
}

void TDIBX::GetPalette(std::span<PaletteEntry, 256> entries) const {
    std::copy(bitmap_.Palette().begin(), bitmap_.Palette().end(), entries.begin());
}

void TDIBX::GetPaletteEntries(std::span<PaletteEntry> entries, int32_t first) const {
    for (size_t i = 0; i < entries.size(); ++i) {
        const int64_t index = int64_t{first} + static_cast<int64_t>(i);
        if (index >= 0 && index < 256) entries[i] = bitmap_.Palette()[static_cast<size_t>(index)];
    }
}

void TDIBX::SetPalette(std::span<const PaletteEntry, 256> entries) {
    std::copy(entries.begin(), entries.end(), bitmap_.Palette().begin());
}

void TDIBX::SetPaletteEntries(std::span<const PaletteEntry> entries, int32_t first) {
    for (size_t i = 0; i < entries.size(); ++i) {
        const int64_t index = int64_t{first} + static_cast<int64_t>(i);
        if (index >= 0 && index < 256) bitmap_.Palette()[static_cast<size_t>(index)] = entries[i];
    }
}

}  // namespace kivo
