#pragma once
// Helpers the raster surface operations share: direct-access brackets, the clipping of
// unscaled draws, widened colour sources and the alpha ranges. Internal to src/imaging.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "base/rect.h"
#include "imaging/dibx.h"
#include "imaging/row_ops.h"

namespace kivo::dibx {

// A key as the row kernels take it: kNoKey when nothing is skipped.
[[nodiscard]] inline uint64_t KernelKey(TColorKey key) {
    return key.IsSet() ? key.Pixel() : kNoKey;
}

// Brackets direct access to one surface's pixels: every address comes from PixelAddress and
// EndAccess runs when the bracket closes, also when an exception leaves the loop.
class DirectAccess {
  public:
    explicit DirectAccess(TCustomDIBX& surface) : surface_(surface) {}
    ~DirectAccess() { surface_.EndAccess(); }
    DirectAccess(const DirectAccess&) = delete;
    DirectAccess& operator=(const DirectAccess&) = delete;

    [[nodiscard]] uint8_t* At(int32_t x, int32_t y) { return surface_.PixelAddress(x, y); }
    [[nodiscard]] uint32_t* Row32(int32_t x, int32_t y) {
        return reinterpret_cast<uint32_t*>(surface_.PixelAddress(x, y));
    }
    [[nodiscard]] int32_t Pitch() const { return surface_.Pitch(); }

  private:
    TCustomDIBX& surface_;
};

// The rows of a walk over one surface: the address of the first and the byte distance from
// each row to the next.
struct RowWalk {
    uint8_t* first = nullptr;
    ptrdiff_t stride = 0;
};

// The walk over the count rows from (x, y), going stepY rows at a time, when they all lie the
// same distance apart; nothing when they do not or cannot be reached. Memory surfaces keep
// their rows Pitch() apart, so a walk over them adds the distance instead of asking for every
// row's address, which costs more than copying a short row. The first and the last row are
// still asked for, so a walk never leaves the surface.
[[nodiscard]] std::optional<RowWalk> EvenRows(DirectAccess& access, int32_t x, int32_t y,
                                              int32_t stepY, int32_t count);

// A clipped unscaled draw: the destination area and where the source is read. The source is
// read from (srcX, srcY) going by stepX along a row and stepY between rows, so a flipped draw
// starts at the right or bottom edge of the source rectangle.
struct BlitPlan {
    int32_t dstX = 0, dstY = 0;
    int32_t width = 0, height = 0;
    int32_t srcX = 0, srcY = 0;
    int32_t stepX = 1, stepY = 1;
};

// Clips srcRect to sourceBounds (the source and its mask) and the destination area to
// drawing; the source rectangle moves with each cut, on the opposite side when flipped.
// Empty when nothing is left to draw. Positions are computed in 64 bits.
[[nodiscard]] std::optional<BlitPlan> ClipBlit(const TRect& drawing, int32_t x, int32_t y,
                                               const TRect& srcRect, const TRect& sourceBounds,
                                               bool flipV, bool flipH);

// Sizes of caller-given rectangles, which may span more than an int32 holds.
[[nodiscard]] inline int64_t Width64(const TRect& r) {
    return int64_t{r.Right} - r.Left;
}
[[nodiscard]] inline int64_t Height64(const TRect& r) {
    return int64_t{r.Bottom} - r.Top;
}

[[nodiscard]] inline int32_t ClampToInt32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// The bounds a source and an optional mask can both be read in.
[[nodiscard]] inline TRect ReadableBounds(const TCustomDIBX& source, const TCustomDIBX* mask) {
    return mask ? Intersect(source.ClientRect(), mask->ClientRect()) : source.ClientRect();
}

// A colour source as 32-bit pixels: the source itself when it has 32 bits, else a widened
// copy, with the draw's key widened the same way so that keyed draws skip the same pixels. A
// surface drawn onto itself is read from a copy, so overlapping rows never feed on their own
// output.
class Colour32 {
  public:
    Colour32(TCustomDIBX& source, const TCustomDIBX& destination, TColorKey key = {});
    [[nodiscard]] bool Valid() const { return surface_ != nullptr; }
    [[nodiscard]] TCustomDIBX& Surface() const { return *surface_; }
    // The key as the row kernels take it: kNoKey when nothing is skipped.
    [[nodiscard]] uint64_t Key() const { return KernelKey(key_); }

  private:
    std::unique_ptr<TDIBX> widened_;
    TCustomDIBX* surface_ = nullptr;
    TColorKey key_;
};

// One axis of a scaled draw: the destination span, the source span it shows, the visible
// (clipped) destination range and the readable source range.
struct StretchSpan {
    int32_t dstStart, dstEnd;
    int32_t srcStart, srcEnd;
    int32_t clipStart, clipEnd;
    int32_t readStart, readEnd;
    bool flip;
};

// The source coordinate each visible destination position samples, from the first visible
// one (returned in first) for as long as the samples are readable. False when none is.
[[nodiscard]] bool MapStretchAxis(const StretchSpan& span, int32_t& first,
                                  std::vector<int32_t>& map);

// An 8-bit alpha mask, or null when the surface cannot serve as one.
[[nodiscard]] inline TCustomDIBX* AsMask(TCustomDIBX& mask) {
    return mask.BitCount() == 8 ? &mask : nullptr;
}

// The three ranges of an alpha argument that may also ask for an additive draw.
enum class AlphaMode { None, Blend, Copy, Add };

struct AlphaRange {
    AlphaMode mode = AlphaMode::None;
    uint32_t value = 0;  // the blend weight or the add amount
};

// 0 or below draws nothing, 1..254 blends, 255 copies, 256..511 adds alpha - 256 (above 511
// adds 255).
[[nodiscard]] inline AlphaRange ClassifyAlpha(int32_t alpha) {
    if (alpha <= 0) return {};
    if (alpha < 255) return {AlphaMode::Blend, static_cast<uint32_t>(alpha)};
    if (alpha == 255) return {AlphaMode::Copy, 255};
    const int32_t amount = std::min(alpha - 256, 255);
    return amount > 0 ? AlphaRange{AlphaMode::Add, static_cast<uint32_t>(amount)} : AlphaRange{};
}

// Runs walk(op) with the per-pixel operation of an alpha range: copy, blend (a source equal to
// the destination is left alone) or add, keyed pixels skipped. op(d, s, maskValue).
template <typename Walk>
void WithPixelOp(const AlphaRange& range, uint64_t key, Walk&& walk) {
    const uint32_t w = range.value;
    switch (range.mode) {
        case AlphaMode::Copy:
            walk([key](uint32_t& d, uint32_t s, uint8_t) {
                if (s != key) d = s;
            });
            break;
        case AlphaMode::Blend:
            walk([key, w](uint32_t& d, uint32_t s, uint8_t) {
                if (s != key && s != d) d = BlendPixel(d, s, w);
            });
            break;
        case AlphaMode::Add:
            walk([key, w](uint32_t& d, uint32_t s, uint8_t) {
                if (s != key) d = AddPixel(d, s, w);
            });
            break;
        case AlphaMode::None:
            break;
    }
}

// The same through a mask value m: copy is DrawMask's rule (0 skips, 255 copies, else blend
// with m), blend weighs m with MaskAlphaWeight, add scales the amount the same way.
template <typename Walk>
void WithMaskPixelOp(const AlphaRange& range, Walk&& walk) {
    const uint32_t w = range.value;
    switch (range.mode) {
        case AlphaMode::Copy:
            walk([](uint32_t& d, uint32_t s, uint8_t m) {
                if (m == 255) {
                    d = s;
                } else if (m != 0 && s != d) {
                    d = BlendPixel(d, s, m);
                }
            });
            break;
        case AlphaMode::Blend:
            walk([w](uint32_t& d, uint32_t s, uint8_t m) {
                const uint32_t weight = MaskAlphaWeight(w, m);
                if (weight != 0 && s != d) d = BlendPixel(d, s, weight);
            });
            break;
        case AlphaMode::Add:
            walk([w](uint32_t& d, uint32_t s, uint8_t m) {
                if (m != 0) d = AddPixel(d, s, MaskAlphaWeight(w, m));
            });
            break;
        case AlphaMode::None:
            break;
    }
}

// A plain forward copy of count pixels. Rows of up to 512 pixels (2 KiB) go to memcpy, which
// stays with vector moves at that length on every processor and moves a glyph cell's few
// dozen bytes in two moves, where the kernel costs a call through the table; longer ones go
// to the kernel, which keeps to vector moves where the library would switch to string moves.
inline void CopyForwardRow(const RowOps& ops, uint32_t* dst, const uint32_t* src, int32_t count) {
    if (count <= 512) {
        std::memcpy(dst, src, static_cast<size_t>(count) * 4);
    } else {
        ops.Copy(dst, src, count, 1, kNoKey);
    }
}

// A blend weight or add amount from a caller's argument: at most limit, 0 for none.
[[nodiscard]] inline uint32_t Strength(int32_t value, int32_t limit) {
    return static_cast<uint32_t>(std::clamp(value, 0, limit));
}

}  // namespace kivo::dibx
