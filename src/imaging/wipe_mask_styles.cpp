// The transition styles that mix the two pictures through a mask: blinds, curtains, grids,
// dither, the rule picture, the clock hand, fans, the circle and the two block orders.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "imaging/custom_wipe.h"
#include "imaging/row_ops.h"
#include "imaging/wipe_support.h"

namespace kivo {

namespace {

using wipe::Portion;

// The ramp of a soft edge: 0 until level reaches start, then rising by 255 / soft a level.
uint8_t Ramp(int64_t level, int64_t start, int64_t soft) {
    return level >= start
               ? static_cast<uint8_t>(std::min<int64_t>(255, (level - start) * 255 / soft))
               : 0;
}

int64_t CeilDiv(int64_t a, int64_t b) {
    return (a + b - 1) / b;
}

// ---- Blinds: slats of Params[0] pixels opening two levels a pixel. ----

// Vertical slats: one mask row, repeated down the screen.
class TWipeBlindH : public TWipeMask {
  public:
    using TWipeMask::TWipeMask;

  protected:
    [[nodiscard]] int32_t MaskHeight() const override { return 1; }

    bool UpdateMask() override {
        const int64_t w = Param(0), soft = Param(1);
        const int64_t level = Portion(soft + 2 * w - 2, Now(), Total());
        if (!TakeLevel(level)) return false;
        SetHard(soft < 2);
        uint8_t* row = MaskRow(0);
        for (int32_t x = 0; x < W(); ++x) {
            const int64_t m = x % w;
            row[x] = Ramp(level, Reverse() ? 2 * (w - m - 1) : 2 * m, soft);
        }
        return true;
    }
};

// Horizontal slats: a mask of one slat's rows, repeated down the screen.
class TWipeBlindV : public TWipeMask {
  public:
    using TWipeMask::TWipeMask;

  protected:
    // The slat's height; rows past the screen's height are never shown, so none are kept.
    [[nodiscard]] int32_t MaskHeight() const override { return std::min(Param(0), H()); }

    bool UpdateMask() override {
        const int64_t w = Param(0), soft = Param(1);
        const int64_t level = Portion(soft + 2 * w - 2, Now(), Total());
        if (!TakeLevel(level)) return false;
        SetHard(soft < 2);
        for (int32_t y = 0; y < Mask().Height(); ++y) {
            const uint8_t value = Ramp(level, Reverse() ? 2 * (w - y - 1) : 2 * y, soft);
            std::memset(MaskRow(y), value, static_cast<size_t>(Mask().Width()));
        }
        return true;
    }
};

// ---- Curtains: columns (rows) in groups of Params[0], each group staggered. ----

// The level at which cell i of a curtain starts to open, 16 levels a step.
int64_t CurtainStart(int64_t i, int64_t w) {
    return (i / w + i % w) * 16;
}

int64_t CurtainLevel(int64_t length, int64_t w, int64_t soft, int64_t t, int64_t T) {
    return Portion((CeilDiv(length, w) + w - 2) * 16 + soft, t, T);
}

// The base of the horizontal curtain: one mask row, and both parameters at least 1.
class TWipeOrderHMask : public TWipeMask {
  public:
    using TWipeMask::TWipeMask;
    void SetParam(int32_t index, int32_t value) override {
        TCustomWipe::SetParam(index, std::max(value, 1));
    }

  protected:
    [[nodiscard]] int32_t MaskHeight() const override { return 1; }
};

// The base of the vertical curtain: a full mask, and both parameters at least 1.
class TWipeOrderVMask : public TWipeMask {
  public:
    using TWipeMask::TWipeMask;
    void SetParam(int32_t index, int32_t value) override {
        TCustomWipe::SetParam(index, std::max(value, 1));
    }
};

class TWipeCurtainH : public TWipeOrderHMask {
  public:
    using TWipeOrderHMask::TWipeOrderHMask;

  protected:
    bool UpdateMask() override {
        const int64_t w = Param(0), soft = Param(1);
        const int64_t level = CurtainLevel(W(), w, soft, Now(), Total());
        if (!TakeLevel(level)) return false;
        SetHard(soft < 2);
        uint8_t* row = MaskRow(0);
        for (int32_t x = 0; x < W(); ++x)
            row[x] = Ramp(level, CurtainStart(Reverse() ? W() - x - 1 : x, w), soft);
        return true;
    }
};

class TWipeCurtainV : public TWipeOrderVMask {
  public:
    using TWipeOrderVMask::TWipeOrderVMask;

  protected:
    bool UpdateMask() override {
        const int64_t w = Param(0), soft = Param(1);
        const int64_t level = CurtainLevel(H(), w, soft, Now(), Total());
        if (!TakeLevel(level)) return false;
        SetHard(soft < 2);
        for (int32_t y = 0; y < H(); ++y) {
            const uint8_t value = Ramp(level, CurtainStart(Reverse() ? H() - y - 1 : y, w), soft);
            std::memset(MaskRow(y), value, static_cast<size_t>(W()));
        }
        return true;
    }
};

// ---- Grids: squares growing in blocks of Params[0], in diagonal, column or row order. ----

class TWipeGrid : public TWipeMask {
  public:
    using TWipeMask::TWipeMask;

  protected:
    // The order of block (i, j), counted from the corner the transition starts at.
    [[nodiscard]] virtual int64_t Order(int64_t i, int64_t j) const {
        return wipe::Round(std::hypot(static_cast<double>(i), static_cast<double>(j)));
    }
    // The span of levels the orders cover, four levels an order.
    [[nodiscard]] virtual int64_t Span(int64_t cols, int64_t rows) const {
        return Order(cols - 1, rows - 1) * 4;
    }

    bool UpdateMask() override {
        const int64_t w = Param(0), soft = Param(1);
        const int64_t cols = CeilDiv(Mask().Width(), w), rows = CeilDiv(Mask().Height(), w);
        const int64_t level = Portion(soft + Span(cols, rows) - 4, Now(), Total());
        if (!TakeLevel(level)) return false;
        SetHard(soft < 2);
        ClearMask(0);
        for (int64_t j = 0; j < rows; ++j) {
            for (int64_t i = 0; i < cols; ++i) {
                const int64_t g = Reverse() ? Order(cols - 1 - i, rows - 1 - j) : Order(i, j);
                if (level >= 4 * g) FillSquare(i, j, w, level - 4 * g, soft);
            }
        }
        return true;
    }

  private:
    // A square grown by `grown` levels, centred in block (i, j).
    void FillSquare(int64_t i, int64_t j, int64_t w, int64_t grown, int64_t soft) {
        const auto value = static_cast<uint8_t>(std::min<int64_t>(255, grown * 255 / soft));
        const int64_t q = std::min(w, grown * w / soft);
        const int64_t left = i * w + (w - q) / 2, top = j * w + (w - q) / 2;
        const int64_t right = std::min<int64_t>(left + q, Mask().Width());
        const int64_t bottom = std::min<int64_t>(top + q, Mask().Height());
        for (int64_t y = top; y < bottom; ++y) {
            if (right > left) {
                std::memset(MaskRow(static_cast<int32_t>(y)) + left, value,
                            static_cast<size_t>(right - left));
            }
        }
    }
};

// Column order: one block row, repeated down the screen.
class TWipeGridH : public TWipeGrid {
  public:
    using TWipeGrid::TWipeGrid;

  protected:
    [[nodiscard]] int32_t MaskHeight() const override { return std::min(Param(0), H()); }
    [[nodiscard]] int64_t Order(int64_t i, int64_t) const override { return i; }
    [[nodiscard]] int64_t Span(int64_t cols, int64_t) const override { return cols * 4; }
};

class TWipeGridV : public TWipeGrid {
  public:
    using TWipeGrid::TWipeGrid;

  protected:
    [[nodiscard]] int64_t Order(int64_t, int64_t j) const override { return j; }
    [[nodiscard]] int64_t Span(int64_t, int64_t rows) const override { return rows * 4; }
};

// ---- Dither: the cells of a 64 x 64 tile switch one by one in a fixed random order. ----

class TWipeDither : public TWipeMask {
  public:
    using TWipeMask::TWipeMask;

  protected:
    static constexpr int32_t kTile = 64;
    static constexpr int32_t kCells = kTile * kTile;

    [[nodiscard]] int32_t MaskHeight() const override { return kTile; }

    // The order is the same in every run: its own generator with a fixed seed.
    void Prepare() override {
        TWipeMask::Prepare();
        TTpRandom random(12341);
        random.Shuffle(kCells);
        order_.clear();
        for (int32_t i = 0; i < kCells; ++i)
            order_.push_back(random.Draw());
    }

    void ReleaseWork() override {
        TWipeMask::ReleaseWork();
        order_ = {};
    }

    bool UpdateMask() override {
        const int64_t level = Portion(kCells, Now(), Total());
        if (!TakeLevel(level)) return false;
        SetHard(true);
        std::vector<uint8_t> tile(kCells, 0);
        for (int64_t i = 0; i < level && i < static_cast<int64_t>(order_.size()); ++i) {
            const int32_t v = order_[static_cast<size_t>(i)];
            tile[static_cast<size_t>((v / kTile) * kTile + v % kTile)] = 255;
        }
        for (int32_t y = 0; y < kTile; ++y) {
            uint8_t* row = MaskRow(y);
            for (int32_t x = 0; x < W(); x += kTile) {
                std::memcpy(row + x, tile.data() + y * kTile,
                            static_cast<size_t>(std::min(kTile, W() - x)));
            }
        }
        return true;
    }

  private:
    std::vector<int32_t> order_;
};

// ---- MaskFade: a rule picture, light pixels switching first. ----

class TWipeShadow : public TWipeMask {
  public:
    using TWipeMask::TWipeMask;

  protected:
    void Prepare() override {
        TWipeMask::Prepare();
        rule_ = wipe::RuleValues(RulePicture(), Destination(), Reverse(), W(), H());
    }

    void ReleaseWork() override {
        TWipeMask::ReleaseWork();
        rule_ = {};
    }

    // mask = clamp(t x 512 / T + v - 256, 0, 255): a saturating add or subtract of one
    // amount on every rule value.
    bool UpdateMask() override {
        const int64_t level = Portion(512, Now(), Total());
        if (!TakeLevel(level + 255)) return false;
        SetHard(false);
        for (int32_t y = 0; y < H(); ++y) {
            FastRowOps().ShiftBytes(
                MaskRow(y), rule_.data() + static_cast<size_t>(y) * static_cast<size_t>(W()), W(),
                static_cast<int32_t>(level - 256));
        }
        return true;
    }

  private:
    std::vector<uint8_t> rule_;
};

// ---- Sectors: the clock hand and the fans. ----

// The angle parameters are degrees and may be 0 or negative, so they are stored as given.
class TWipeClockhand : public TWipeMask {
  public:
    using TWipeMask::TWipeMask;
    void SetParam(int32_t index, int32_t value) override { TCustomWipe::SetParam(index, value); }

  protected:
    // Params[0] degrees clockwise from twelve o'clock, as a screen angle (0 pointing right).
    [[nodiscard]] double StartAngle() const {
        return Param(0) * std::numbers::pi / 180.0 - std::numbers::pi / 2;
    }
    [[nodiscard]] double Progress() const {
        return static_cast<double>(Now()) / static_cast<double>(Total());
    }
    void FillSector(double from, double to) {
        wipe::FillSector(MaskSurface(), W() / 2.0, H() / 2.0, from, to, 255);
    }

    bool UpdateMask() override {
        if (!TakeLevel(Now())) return false;
        SetHard(true);
        ClearMask(0);
        const double start = StartAngle();
        const double sweep = 2 * std::numbers::pi * Progress();
        Reverse() ? FillSector(start - sweep, start) : FillSector(start, start + sweep);
        return true;
    }
};

class TWipeFan : public TWipeClockhand {
  public:
    using TWipeClockhand::TWipeClockhand;

  protected:
    bool UpdateMask() override {
        if (!TakeLevel(Now())) return false;
        SetHard(true);
        ClearMask(0);
        const double half = std::numbers::pi * Progress();
        FillSector(StartAngle() - half, StartAngle() + half);
        return true;
    }
};

class TWipeWFan : public TWipeClockhand {
  public:
    using TWipeClockhand::TWipeClockhand;

  protected:
    bool UpdateMask() override {
        if (!TakeLevel(Now())) return false;
        SetHard(true);
        ClearMask(0);
        const double half = std::numbers::pi / 2 * Progress();
        for (const double centre : {StartAngle(), StartAngle() + std::numbers::pi})
            FillSector(centre - half, centre + half);
        return true;
    }
};

// ---- Circle: growing from the centre, or shrinking onto it when reversed. ----

class TWipeCircle : public TWipeMask {
  public:
    using TWipeMask::TWipeMask;

  protected:
    bool UpdateMask() override {
        const double reach = std::hypot(W() / 2.0, H() / 2.0);
        const int64_t remaining = Reverse() ? Total() - Now() : Now();
        const int64_t r =
            wipe::Round(reach * static_cast<double>(remaining) / static_cast<double>(Total()));
        if (!TakeLevel(r)) return false;
        SetHard(true);
        ClearMask(Reverse() ? 255 : 0);
        wipe::FillDisc(MaskSurface(), W() / 2.0, H() / 2.0, static_cast<double>(r),
                       Reverse() ? 0 : 255);
        return true;
    }
};

// ---- Blocks of Params[0] pixels, switched one by one in a listed order. ----

class TWipeBlocks : public TWipeMask {
  public:
    using TWipeMask::TWipeMask;

  protected:
    // The block size: Params[0], at least 10 and at most the screen.
    [[nodiscard]] int32_t BlockSize() const { return std::min({std::max(Param(0), 10), W(), H()}); }

    void ReleaseWork() override {
        TWipeMask::ReleaseWork();
        blocks_ = {};
    }

    // Fills the listed blocks first..last with 255 and clears the rest.
    void DrawBlocks(int64_t first, int64_t last) {
        ClearMask(0);
        for (int64_t i = std::max<int64_t>(first, 0);
             i <= last && i < static_cast<int64_t>(blocks_.size()); ++i) {
            const TRect& b = blocks_[static_cast<size_t>(i)];
            for (int32_t y = b.Top; y < b.Bottom; ++y)
                std::memset(MaskRow(y) + b.Left, 255, static_cast<size_t>(b.Width()));
        }
    }

    std::vector<TRect> blocks_;
};

// Blocks in an inward clockwise spiral: along the top to the right, down the right side, back
// along the bottom and up the left side, each pass taking its side off the remaining area.
class TWipeBlockCoil : public TWipeBlocks {
  public:
    using TWipeBlocks::TWipeBlocks;

  protected:
    void Prepare() override {
        TWipeBlocks::Prepare();
        blocks_.clear();
        const int32_t q = BlockSize();
        if (q <= 0) return;
        int32_t left = 0, top = 0, right = W(), bottom = H();
        while (left < right && top < bottom) {
            const int32_t rowBottom = std::min(top + q, bottom);
            for (int32_t x = left; x < right; x += q)
                blocks_.push_back({x, top, std::min(x + q, right), rowBottom});
            top = rowBottom;
            if (top >= bottom) break;
            const int32_t columnLeft = std::max(right - q, left);
            for (int32_t y = top; y < bottom; y += q)
                blocks_.push_back({columnLeft, y, right, std::min(y + q, bottom)});
            right = columnLeft;
            if (left >= right) break;
            const int32_t rowTop = std::max(bottom - q, top);
            for (int32_t x = right; x > left; x -= q)
                blocks_.push_back({std::max(x - q, left), rowTop, x, bottom});
            bottom = rowTop;
            if (top >= bottom) break;
            const int32_t columnRight = std::min(left + q, right);
            for (int32_t y = bottom; y > top; y -= q)
                blocks_.push_back({left, std::max(y - q, top), columnRight, y});
            left = columnRight;
        }
    }

    // Reversed, the spiral fills from its end: the centre first.
    bool UpdateMask() override {
        const auto last = static_cast<int64_t>(blocks_.size()) - 1;
        const int64_t level = Portion(last, Reverse() ? Total() - Now() : Now(), Total());
        if (!TakeLevel(level)) return false;
        SetHard(true);
        Reverse() ? DrawBlocks(level, last) : DrawBlocks(0, level);
        return true;
    }
};

// Blocks in an order drawn from the generator: the blocks in row order, each taken out of the
// remaining list at a random place.
class TWipeBlockRandom : public TWipeBlocks {
  public:
    using TWipeBlocks::TWipeBlocks;

  protected:
    void Prepare() override {
        TWipeBlocks::Prepare();
        blocks_.clear();
        const int32_t q = BlockSize();
        if (q <= 0) return;
        std::vector<TRect> rowOrder;
        for (int32_t y = 0; y < H(); y += q) {
            for (int32_t x = 0; x < W(); x += q)
                rowOrder.push_back({x, y, std::min(x + q, W()), std::min(y + q, H())});
        }
        Random().Shuffle(static_cast<int32_t>(rowOrder.size()));
        for (size_t i = 0; i < rowOrder.size(); ++i)
            blocks_.push_back(rowOrder[static_cast<size_t>(Random().Draw())]);
    }

    bool UpdateMask() override {
        const int64_t level = Portion(static_cast<int64_t>(blocks_.size()) - 1, Now(), Total());
        if (!TakeLevel(level)) return false;
        SetHard(true);
        DrawBlocks(0, level);
        return true;
    }
};

constexpr wipe::Style kStyles[] = {
    {WP_BLINDH, 20, 1, wipe::Make<TWipeBlindH>},
    {WP_BLINDV, 20, 1, wipe::Make<TWipeBlindV>},
    {WP_CURTAINH, 30, 1, wipe::Make<TWipeCurtainH>},
    {WP_CURTAINV, 30, 1, wipe::Make<TWipeCurtainV>},
    {WP_GRID, 80, 30, wipe::Make<TWipeGrid>},
    {WP_GRIDH, 80, 30, wipe::Make<TWipeGridH>},
    {WP_GRIDV, 80, 30, wipe::Make<TWipeGridV>},
    {WP_DITHER, 0, 0, wipe::Make<TWipeDither>},
    {WP_MASKFADE, 0, 0, wipe::Make<TWipeShadow>},
    {WP_CLOCKHAND, 0, 0, wipe::Make<TWipeClockhand>},
    {WP_FAN, 0, 0, wipe::Make<TWipeFan>},
    {WP_WFAN, 0, 0, wipe::Make<TWipeWFan>},
    {WP_CIRCLE, 0, 0, wipe::Make<TWipeCircle>},
    {WP_BLOCKCOIL, 60, 0, wipe::Make<TWipeBlockCoil>},
    {WP_BLOCKRANDOM, 60, 0, wipe::Make<TWipeBlockRandom>},
};

}  // namespace

std::span<const wipe::Style> wipe::MaskStyles() {
    return kStyles;
}

}  // namespace kivo
