// The transition styles that blend or tint the pictures in place: the fade, white, black and
// flash, the spotlight, the rule picture through white or black, and the blurs.

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "imaging/custom_wipe.h"
#include "imaging/row_ops.h"
#include "imaging/wipe_support.h"

namespace kivo {

namespace {

using wipe::Grey;
using wipe::Portion;
using wipe::WipeRows;

// ---- Fade: the new picture drawn over the old one with a rising alpha, sliding in from
// (Params[0], Params[1]). ----

class TWipeFade : public TCustomWipe {
  public:
    using TCustomWipe::TCustomWipe;

  protected:
    void DrawStep(const WipeRows& rows) override {
        const double k = static_cast<double>(Total() - Now() - 1) / static_cast<double>(Total());
        const int64_t dx = wipe::Round(Param(0) * k), dy = wipe::Round(Param(1) * k);
        const auto alpha = static_cast<uint32_t>(Portion(256, Now(), Total()));
        // The columns the new picture covers at its offset.
        const auto left = static_cast<int32_t>(std::clamp<int64_t>(dx, 0, W()));
        const auto right = static_cast<int32_t>(std::clamp<int64_t>(dx + W(), 0, W()));
        const RowOps& ops = FastRowOps();
        for (int32_t y = 0; y < H(); ++y) {
            uint32_t* d = rows.Dest(y);
            const uint32_t* from = rows.From(y);
            const int64_t toY = y - dy;
            if (alpha == 0 || toY < 0 || toY >= H() || left >= right) {
                ops.Copy(d, from, W(), 1, kNoKey);
                continue;
            }
            const uint32_t* to = rows.To(static_cast<int32_t>(toY)) + (left - dx);
            ops.Copy(d, from, left, 1, kNoKey);
            ops.Mix(d + left, from + left, to, right - left, alpha);
            ops.Copy(d + right, from + right, W() - right, 1, kNoKey);
        }
    }
};

// A row of a picture with grey added, or subtracted when the style darkens.
void TintRow(bool darkens, uint32_t* dst, const uint32_t* src, int32_t count, uint32_t grey) {
    darkens ? FastRowOps().CopySub(dst, src, count, grey)
            : FastRowOps().CopyAdd(dst, src, count, grey);
}

// ---- Through white (or black): the old picture brightens to white, then the new one comes
// out of it. ----

class TWipeWhite : public TCustomWipe {
  public:
    using TCustomWipe::TCustomWipe;

  protected:
    // Whether grey is subtracted rather than added: the dark twin of the style.
    [[nodiscard]] virtual bool Darkens() const { return false; }
    void DrawStep(const WipeRows& rows) override {
        const int64_t a = Portion(511, Now(), Total());
        const bool to = a >= 256;
        const uint32_t grey = Grey(to ? 511 - a : a);
        for (int32_t y = 0; y < H(); ++y)
            TintRow(Darkens(), rows.Dest(y), rows.Picture(to, y), W(), grey);
    }
};

// The dark twin of a style that goes through white.
template <typename White>
class Darkened : public White {
  public:
    using White::White;

  protected:
    [[nodiscard]] bool Darkens() const override { return true; }
};

using TWipeBlack = Darkened<TWipeWhite>;

// The new picture under a white flash that fades out.
class TWipeFlash : public TCustomWipe {
  public:
    using TCustomWipe::TCustomWipe;

  protected:
    void DrawStep(const WipeRows& rows) override {
        const uint32_t grey = Grey(255 - Portion(255, Now(), Total()));
        for (int32_t y = 0; y < H(); ++y)
            FastRowOps().CopyAdd(rows.Dest(y), rows.To(y), W(), grey);
    }
};

// ---- Spotlight: a bright ring running out from the centre (in from the corners when
// reversed), the new picture behind it. ----

// A pixel at table value f shows the old picture until g reaches f, brightening by g - f,
// then the new one darkening from white by f - g + 511, then the new one plain: a ramp of
// g - f. The table holds top - f, so that the ramp is the table value plus g - top.
class TWipeSpot : public TCustomWipe {
  public:
    using TCustomWipe::TCustomWipe;

    void SetReverse(bool reverse) override {
        TCustomWipe::SetReverse(reverse);
        BuildDistances();
    }

  protected:
    void Prepare() override {
        if (levels_.empty()) BuildDistances();
    }
    void ReleaseWork() override { levels_ = {}; }

    void DrawStep(const WipeRows& rows) override {
        if (levels_.size() != Area()) return;
        const int64_t span = wipe::Round(std::hypot(H() / 2, W() / 2)) + 512;
        const auto offset = static_cast<int32_t>(Portion(span, Now(), Total()) - top_);
        for (int32_t y = 0; y < H(); ++y) {
            FastRowOps().RampTint(
                rows.Dest(y), rows.From(y), rows.To(y),
                levels_.data() + static_cast<size_t>(y) * static_cast<size_t>(W()), W(), offset,
                false);
        }
    }

  private:
    [[nodiscard]] size_t Area() const {
        return static_cast<size_t>(W()) * static_cast<size_t>(H());
    }

    // f is the rounded distance of the pixel from the centre; reversed, the rounded greatest
    // distance less it.
    void BuildDistances() {
        const int32_t cx = W() / 2, cy = H() / 2;
        double farthest = 0;
        for (const int32_t x : {0, W() - 1}) {
            for (const int32_t y : {0, H() - 1})
                farthest = std::max(farthest, std::hypot(x - cx, y - cy));
        }
        const auto rounded = static_cast<int32_t>(wipe::Round(farthest));
        std::vector<int32_t> f(Area());
        for (int32_t y = 0; y < H(); ++y) {
            for (int32_t x = 0; x < W(); ++x) {
                const auto d = static_cast<int32_t>(wipe::Round(std::hypot(x - cx, y - cy)));
                f[static_cast<size_t>(y) * static_cast<size_t>(W()) + static_cast<size_t>(x)] =
                    Reverse() ? rounded - d : d;
            }
        }
        top_ = f.empty() ? 0 : *std::max_element(f.begin(), f.end());
        levels_.resize(f.size());
        for (size_t i = 0; i < f.size(); ++i)
            levels_[i] = static_cast<uint16_t>(top_ - f[i]);
    }

    std::vector<uint16_t> levels_;
    int32_t top_ = 0;
};

// ---- Rule picture through white (or black): each pixel brightens and switches when its
// rule value comes up. ----

class TWipeShadowWhite : public TCustomWipe {
  public:
    using TCustomWipe::TCustomWipe;

  protected:
    [[nodiscard]] virtual bool Darkens() const { return false; }

    void Prepare() override {
        const std::vector<uint8_t> rule =
            wipe::RuleValues(RulePicture(), Destination(), Reverse(), W(), H());
        levels_.assign(rule.begin(), rule.end());
    }
    void ReleaseWork() override { levels_ = {}; }

    // k = t x 768 / T + v - 256: the old picture plus grey k up to 255, then the new one plus
    // grey 511 - k (beyond either end k stays at the end, where the grey is 0).
    void DrawStep(const WipeRows& rows) override {
        if (levels_.size() != static_cast<size_t>(W()) * static_cast<size_t>(H())) return;
        const auto offset = static_cast<int32_t>(Portion(768, Now(), Total()) - 256);
        for (int32_t y = 0; y < H(); ++y) {
            FastRowOps().RampTint(
                rows.Dest(y), rows.From(y), rows.To(y),
                levels_.data() + static_cast<size_t>(y) * static_cast<size_t>(W()), W(), offset,
                Darkens());
        }
    }

  private:
    std::vector<uint16_t> levels_;
};

using TWipeShadowBlack = Darkened<TWipeShadowWhite>;

// ---- Blurs: the old picture blurs, turns white (black), and the new one comes out of it and
// sharpens. ----

// A box blur of radius r over an area's rows: each channel the rounded mean of the
// (2r + 1) x (2r + 1) pixels around, edge pixels repeated; the fourth byte is 0.
std::unique_ptr<TDIBX> BoxBlur(const WipeRows::Source& source, int32_t r) {
    const int32_t width = source.width, height = source.height;
    auto out = std::make_unique<TDIBX>(width, height, 32);
    const int32_t taps = 2 * r + 1;
    auto mean = [taps](const uint32_t sum[3]) {
        uint32_t p = 0;
        for (int c = 0; c < 3; ++c)
            p |= ((sum[c] + static_cast<uint32_t>(taps) / 2) / static_cast<uint32_t>(taps))
                 << (8 * c);
        return p;
    };
    // One pass along a line of n pixels read at in(i), written at out(i).
    auto pass = [&](int32_t n, auto&& in, auto&& write) {
        uint32_t sum[3] = {0, 0, 0};
        auto add = [&](uint32_t p, int32_t sign) {
            for (int c = 0; c < 3; ++c)
                sum[c] += static_cast<uint32_t>(sign) * ((p >> (8 * c)) & 0xFF);
        };
        auto at = [&](int32_t i) { return in(std::clamp(i, 0, n - 1)); };
        for (int32_t i = -r; i <= r; ++i)
            add(at(i), 1);
        for (int32_t i = 0; i < n; ++i) {
            write(i, mean(sum));
            add(at(i - r), -1);
            add(at(i + r + 1), 1);
        }
    };
    std::vector<uint32_t> rowsOut(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(source.base + y * source.pitch);
        uint32_t* dst = rowsOut.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
        pass(
            width, [row](int32_t i) { return row[i]; },
            [dst](int32_t i, uint32_t p) { dst[i] = p; });
    }
    const dibx::DirectAccess access(*out);
    uint8_t* base = out->PixelAddress(0, 0);
    const ptrdiff_t pitch = out->Pitch();
    for (int32_t x = 0; x < width; ++x) {
        pass(
            height,
            [&](int32_t i) {
                return rowsOut[static_cast<size_t>(i) * static_cast<size_t>(width) +
                               static_cast<size_t>(x)];
            },
            [&](int32_t i, uint32_t p) { reinterpret_cast<uint32_t*>(base + i * pitch)[x] = p; });
    }
    return out;
}

class TWipeBlurWhite : public TCustomWipe {
  public:
    using TCustomWipe::TCustomWipe;

  protected:
    [[nodiscard]] virtual bool Darkens() const { return false; }

    void Prepare() override {
        const WipeRows rows(Destination(), FromPicture(), ToPicture(), W(), H());
        if (!rows.Valid()) return;
        const int32_t radius = std::min(W(), H()) / 20;
        blurredFrom_ = BoxBlur(rows.PictureSource(false), radius);
        blurredTo_ = BoxBlur(rows.PictureSource(true), radius);
    }
    void ReleaseWork() override {
        blurredFrom_.reset();
        blurredTo_.reset();
    }

    // L = t x 639 / T: the blur fades in over the old picture (0..255), white rises over the
    // blurred old picture (256..319) and falls over the blurred new one (320..383), and the
    // blur fades out of the new picture (384..638).
    void DrawStep(const WipeRows& rows) override {
        if (!blurredFrom_ || !blurredTo_) return;
        const int64_t level = Portion(639, Now(), Total());
        const RowOps& ops = FastRowOps();
        for (int32_t y = 0; y < H(); ++y) {
            uint32_t* d = rows.Dest(y);
            const auto* blurredFrom =
                reinterpret_cast<const uint32_t*>(blurredFrom_->PixelAddress(0, y));
            const auto* blurredTo =
                reinterpret_cast<const uint32_t*>(blurredTo_->PixelAddress(0, y));
            if (level == 0) {
                ops.Copy(d, rows.From(y), W(), 1, kNoKey);
            } else if (level <= 255) {
                ops.Mix(d, rows.From(y), blurredFrom, W(), static_cast<uint32_t>(level));
            } else if (level <= 319) {
                TintRow(Darkens(), d, blurredFrom, W(), Grey((level - 256) * 4));
            } else if (level <= 383) {
                TintRow(Darkens(), d, blurredTo, W(), Grey((383 - level) * 4));
            } else {
                ops.Mix(d, rows.To(y), blurredTo, W(), static_cast<uint32_t>(639 - level));
            }
        }
    }

  private:
    std::unique_ptr<TDIBX> blurredFrom_, blurredTo_;
};

using TWipeBlurBlack = Darkened<TWipeBlurWhite>;

constexpr wipe::Style kStyles[] = {
    {WP_FADE, 0, 0, wipe::Make<TWipeFade>},
    {WP_WHITE, 0, 0, wipe::Make<TWipeWhite>},
    {WP_BLACK, 0, 0, wipe::Make<TWipeBlack>},
    {WP_FLASH, 0, 0, wipe::Make<TWipeFlash>},
    {WP_SPOT, 0, 0, wipe::Make<TWipeSpot>},
    {WP_MASKWHITE, 0, 0, wipe::Make<TWipeShadowWhite>},
    {WP_MASKBLACK, 0, 0, wipe::Make<TWipeShadowBlack>},
    {WP_BLURWHITE, 0, 0, wipe::Make<TWipeBlurWhite>},
    {WP_BLURBLACK, 0, 0, wipe::Make<TWipeBlurBlack>},
};

}  // namespace

std::span<const wipe::Style> wipe::BlendStyles() {
    return kStyles;
}

}  // namespace kivo
