#pragma once
// What the transition styles share: 32-bit row access to the destination and the two pictures
// for one step, grey pixels, rounding, sectors of the mask, and the table the styles are
// listed in. Internal to src/imaging.

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "imaging/custom_wipe.h"
#include "imaging/dibx_support.h"

namespace kivo::wipe {

// One row of the style table: the code, the two default parameters and the maker, which
// takes the surfaces in the constructors' order (destination, to, from).
struct Style {
    int32_t code;
    int32_t param0, param1;
    std::unique_ptr<TCustomWipe> (*make)(TCustomDIBX& destination, TCustomDIBX& toPicture,
                                         TCustomDIBX& fromPicture, TTpRandom& random);
};

template <typename Wipe>
std::unique_ptr<TCustomWipe> Make(TCustomDIBX& destination, TCustomDIBX& toPicture,
                                  TCustomDIBX& fromPicture, TTpRandom& random) {
    return std::make_unique<Wipe>(destination, toPicture, fromPicture, random);
}

// The styles of each source file.
[[nodiscard]] std::span<const Style> MaskStyles();
[[nodiscard]] std::span<const Style> BlendStyles();
[[nodiscard]] std::span<const Style> MotionStyles();

// Grey (v, v, v) as a 32-bit pixel; v is 0..255.
[[nodiscard]] constexpr uint32_t Grey(int64_t v) {
    return static_cast<uint32_t>(v) * 0x010101u;
}

// k x t / T truncated towards zero, for 0 <= t <= T, without the product leaving 64 bits for
// any k: the whole multiples of T in k are scaled apart from the rest.
[[nodiscard]] constexpr int64_t Portion(int64_t k, int64_t t, int64_t T) {
    return k / T * t + k % T * t / T;
}

// The nearest integer, halves going to the even one.
[[nodiscard]] inline int64_t Round(double v) {
    return static_cast<int64_t>(std::nearbyint(v));
}

// The rows of the destination and of the two pictures for one step, as 32-bit pixels, over
// the width x height area the transition draws in. A picture of another depth is read from a
// widened copy, and so is a picture that is the destination itself. Invalid when the
// destination has no 32-bit pixels or a surface no longer covers the area.
class WipeRows {
  public:
    WipeRows(TCustomDIBX& destination, TCustomDIBX& fromPicture, TCustomDIBX& toPicture,
             int32_t width, int32_t height);
    WipeRows(const WipeRows&) = delete;
    WipeRows& operator=(const WipeRows&) = delete;

    [[nodiscard]] bool Valid() const { return valid_; }
    [[nodiscard]] uint32_t* Dest(int32_t y) const {
        return reinterpret_cast<uint32_t*>(dst_ + y * dstPitch_);
    }
    [[nodiscard]] const uint32_t* From(int32_t y) const {
        return reinterpret_cast<const uint32_t*>(from_ + y * fromPitch_);
    }
    [[nodiscard]] const uint32_t* To(int32_t y) const {
        return reinterpret_cast<const uint32_t*>(to_ + y * toPitch_);
    }
    [[nodiscard]] const uint32_t* Picture(bool to, int32_t y) const { return to ? To(y) : From(y); }

    // Copies the picture's block of width x height at (srcX, srcY) to (x, y), both cut to the
    // area.
    void CopyBlock(bool to, int32_t srcX, int32_t srcY, int32_t width, int32_t height, int32_t x,
                   int32_t y) const;
    // Copies the picture's rows whole.
    void CopyPicture(bool to) const;

    // 32-bit rows to stretch from: a picture, or a work surface of the style.
    struct Source {
        const uint8_t* base;
        ptrdiff_t pitch;
        int32_t width, height;
    };
    [[nodiscard]] Source PictureSource(bool to) const {
        return {to ? to_ : from_, to ? toPitch_ : fromPitch_, width_, height_};
    }
    // Stretches srcRect of the source over dstRect with the nearest sample, as StretchDraw
    // samples, cut to the area.
    void Stretch(const Source& source, const TRect& srcRect, const TRect& dstRect) const;

  private:
    dibx::Colour32 fromColour_, toColour_;
    std::optional<dibx::DirectAccess> dstAccess_, fromAccess_, toAccess_;
    uint8_t* dst_ = nullptr;
    const uint8_t* from_ = nullptr;
    const uint8_t* to_ = nullptr;
    ptrdiff_t dstPitch_ = 0, fromPitch_ = 0, toPitch_ = 0;
    int32_t width_, height_;
    bool valid_ = false;
};

// The rule picture of the rule-image styles as one byte per pixel of the width x height area:
// the picture's luminance, inverted when asked, tiled from the corner. Without a picture (or
// with an empty one) every value is 255.
[[nodiscard]] std::vector<uint8_t> RuleValues(TCustomDIBX* picture, const TCustomDIBX& destination,
                                              bool invert, int32_t width, int32_t height);

// Sets the pixels of an 8-bit mask whose centres lie in the sector swept clockwise (on
// screen) from angle `from` to angle `to` radians around (cx, cy); angle 0 points right and
// -pi/2 up. A sweep of a full turn or more covers the whole mask; an empty one nothing.
void FillSector(TDIBX& mask, double cx, double cy, double from, double to, uint8_t value);

// Sets the mask pixels whose centres lie within radius r of (cx, cy).
void FillDisc(TDIBX& mask, double cx, double cy, double r, uint8_t value);

}  // namespace kivo::wipe
