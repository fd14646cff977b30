// The transition base classes, the mask composition, the helpers the styles share and the
// table that maps style codes to styles.

#include "imaging/custom_wipe.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "imaging/row_ops.h"
#include "imaging/wipe_support.h"

namespace kivo {

// ---- TCustomWipe ----

TCustomWipe::TCustomWipe(TCustomDIBX& destination, TCustomDIBX& toPicture, TCustomDIBX& fromPicture,
                         TTpRandom& random)
    : destination_(destination),
      toPicture_(toPicture),
      fromPicture_(fromPicture),
      random_(random),
      width_(std::min({destination.Width(), toPicture.Width(), fromPicture.Width()})),
      height_(std::min({destination.Height(), toPicture.Height(), fromPicture.Height()})) {}

int32_t TCustomWipe::GetParam(int32_t index) const {
    return index == 0 || index == 1 ? params_[static_cast<size_t>(index)] : 0;
}

void TCustomWipe::SetParam(int32_t index, int32_t value) {
    if (index == 0 || index == 1) params_[static_cast<size_t>(index)] = value;
}

void TCustomWipe::SetElapsed(int64_t elapsed) {
    elapsed_ = std::clamp<int64_t>(elapsed, 0, duration_);
}

void TCustomWipe::Init() {
    if (!abandoned_) Prepare();
    initialised_ = true;
}

bool TCustomWipe::Step() {
    if (Finished()) return true;
    if (!initialised_) Init();
    updateRect_ = destination_.ClientRect();
    if (width_ > 0 && height_ > 0) {
        const wipe::WipeRows rows(destination_, fromPicture_, toPicture_, width_, height_);
        if (rows.Valid()) DrawStep(rows);
    }
    return false;
}

void TCustomWipe::Abandon() {
    abandoned_ = true;
    ReleaseWork();
}

// ---- TWipeMask ----

void TWipeMask::SetParam(int32_t index, int32_t value) {
    TCustomWipe::SetParam(index, std::max(value, index == 0 ? 2 : 1));
}

void TWipeMask::Prepare() {
    mask_.SetSize(std::max(W(), 1), std::max(MaskHeight(), 1), 8);
    ClearMask(0);
    lastLevel_ = -1;
}

void TWipeMask::ReleaseWork() {
    mask_.SetSize(1, 1, 8);
}

void TWipeMask::ClearMask(uint8_t value) {
    for (int32_t y = 0; y < mask_.Height(); ++y)
        std::memset(MaskRow(y), value, static_cast<size_t>(mask_.Width()));
}

bool TWipeMask::TakeLevel(int64_t level) {
    if (level == lastLevel_) return false;
    lastLevel_ = level;
    return true;
}

void TWipeMask::DrawStep(const wipe::WipeRows& rows) {
    if (!UpdateMask()) return;
    const int32_t maskHeight = mask_.Height();
    if (mask_.Width() < W() || maskHeight < 1) return;
    const RowOps& ops = FastRowOps();
    for (int32_t y = 0; y < H(); ++y) {
        const uint8_t* m = MaskRow(y % maskHeight);
        if (hard_) {
            ops.MaskSelect(rows.Dest(y), rows.From(y), rows.To(y), m, W());
        } else {
            ops.MaskMix(rows.Dest(y), rows.From(y), rows.To(y), m, W());
        }
    }
}

// ---- Shared helpers ----

namespace wipe {

WipeRows::WipeRows(TCustomDIBX& destination, TCustomDIBX& fromPicture, TCustomDIBX& toPicture,
                   int32_t width, int32_t height)
    : fromColour_(fromPicture, destination),
      toColour_(toPicture, destination),
      width_(width),
      height_(height) {
    auto covers = [&](const TCustomDIBX& s) { return s.Width() >= width && s.Height() >= height; };
    if (destination.BitCount() != 32 || !fromColour_.Valid() || !toColour_.Valid() || width <= 0 ||
        height <= 0 || !covers(destination) || !covers(fromColour_.Surface()) ||
        !covers(toColour_.Surface())) {
        return;
    }
    dstAccess_.emplace(destination);
    fromAccess_.emplace(fromColour_.Surface());
    toAccess_.emplace(toColour_.Surface());
    dst_ = dstAccess_->At(0, 0);
    from_ = fromAccess_->At(0, 0);
    to_ = toAccess_->At(0, 0);
    dstPitch_ = dstAccess_->Pitch();
    fromPitch_ = fromAccess_->Pitch();
    toPitch_ = toAccess_->Pitch();
    valid_ = dst_ != nullptr && from_ != nullptr && to_ != nullptr;
}

void WipeRows::CopyBlock(bool to, int32_t srcX, int32_t srcY, int32_t width, int32_t height,
                         int32_t x, int32_t y) const {
    // Cut the block to the picture's area first, then the destination to the area, moving
    // the other side along.
    const TRect source =
        Intersect({srcX, srcY, srcX + width, srcY + height}, {0, 0, width_, height_});
    x += source.Left - srcX;
    y += source.Top - srcY;
    const TRect target =
        Intersect({x, y, x + source.Width(), y + source.Height()}, {0, 0, width_, height_});
    if (source.IsEmpty() || target.IsEmpty()) return;
    const int32_t sx = source.Left + (target.Left - x);
    const int32_t sy = source.Top + (target.Top - y);
    for (int32_t r = 0; r < target.Height(); ++r) {
        FastRowOps().Copy(Dest(target.Top + r) + target.Left, Picture(to, sy + r) + sx,
                          target.Width(), 1, kNoKey);
    }
}

void WipeRows::CopyPicture(bool to) const {
    CopyBlock(to, 0, 0, width_, height_, 0, 0);
}

void WipeRows::Stretch(const Source& source, const TRect& srcRect, const TRect& dstRect) const {
    int32_t firstX = 0, firstY = 0;
    std::vector<int32_t> columns, rows;
    if (!dibx::MapStretchAxis({dstRect.Left, dstRect.Right, srcRect.Left, srcRect.Right, 0, width_,
                               0, source.width, false},
                              firstX, columns) ||
        !dibx::MapStretchAxis({dstRect.Top, dstRect.Bottom, srcRect.Top, srcRect.Bottom, 0, height_,
                               0, source.height, false},
                              firstY, rows)) {
        return;
    }
    for (size_t r = 0; r < rows.size(); ++r) {
        uint32_t* d = Dest(firstY + static_cast<int32_t>(r)) + firstX;
        const auto* s = reinterpret_cast<const uint32_t*>(source.base + rows[r] * source.pitch);
        for (size_t i = 0; i < columns.size(); ++i)
            d[i] = s[columns[i]];
    }
}

std::vector<uint8_t> RuleValues(TCustomDIBX* picture, const TCustomDIBX& destination, bool invert,
                                int32_t width, int32_t height) {
    std::vector<uint8_t> values(static_cast<size_t>(width) * static_cast<size_t>(height), 255);
    if (!picture || picture->IsEmpty()) return values;
    const dibx::Colour32 colour(*picture, destination);
    if (!colour.Valid()) return values;
    TCustomDIBX& rule = colour.Surface();
    const int32_t ruleWidth = rule.Width(), ruleHeight = rule.Height();
    dibx::DirectAccess access(rule);
    // One tile row of luminance, repeated across the area.
    std::vector<uint8_t> tile(static_cast<size_t>(ruleWidth));
    for (int32_t y = 0; y < height; ++y) {
        if (y < ruleHeight) {
            const uint32_t* row = access.Row32(0, y);
            if (!row) return values;
            for (int32_t x = 0; x < ruleWidth; ++x) {
                const uint32_t p = row[x];
                const uint32_t luma =
                    (((p >> 16) & 0xFF) * 299 + ((p >> 8) & 0xFF) * 587 + (p & 0xFF) * 114 + 500) /
                    1000;
                tile[static_cast<size_t>(x)] = static_cast<uint8_t>(invert ? 255 - luma : luma);
            }
            uint8_t* out = values.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
            for (int32_t x = 0; x < width; ++x)
                out[x] = tile[static_cast<size_t>(x % ruleWidth)];
        } else {
            // Rows below the picture repeat the rows above them.
            std::memcpy(
                values.data() + static_cast<size_t>(y) * static_cast<size_t>(width),
                values.data() + static_cast<size_t>(y - ruleHeight) * static_cast<size_t>(width),
                static_cast<size_t>(width));
        }
    }
    return values;
}

namespace {

// The closed range of columns whose pixel centres x + 0.5 - cx lie in [lo, hi].
struct Columns {
    int64_t first, last;
};

Columns ColumnsBetween(double lo, double hi, double cx, int32_t width) {
    const double a = std::ceil(lo + cx - 0.5), b = std::floor(hi + cx - 0.5);
    return {static_cast<int64_t>(std::max(a, -1.0)),
            static_cast<int64_t>(std::min(b, static_cast<double>(width)))};
}

void FillColumns(uint8_t* row, int64_t first, int64_t last, int32_t width, uint8_t value) {
    first = std::max<int64_t>(first, 0);
    last = std::min<int64_t>(last, width - 1);
    if (last >= first) std::memset(row + first, value, static_cast<size_t>(last - first + 1));
}

// Narrows [lo, hi] to the points p of the row at height py with cross(u, p) >= 0 (sign = 1)
// or <= 0 (sign = -1): the side of the ray u that a clockwise turn reaches first.
void CutByRay(double ux, double uy, double py, double sign, double& lo, double& hi) {
    // cross(u, p) = ux py - uy px, linear in px.
    const double c = sign * ux * py, k = sign * uy;  // need c - k px >= 0
    if (k == 0) {
        if (c < 0) lo = HUGE_VAL, hi = -HUGE_VAL;
    } else if (k > 0) {
        hi = std::min(hi, c / k);
    } else {
        lo = std::max(lo, c / k);
    }
}

}  // namespace

void FillSector(TDIBX& mask, double cx, double cy, double from, double to, uint8_t value) {
    const double sweep = to - from;
    if (!(sweep > 0)) return;
    const int32_t width = mask.Width();
    const bool whole = sweep >= 2 * std::numbers::pi;
    // A sweep up to half a turn is the wedge between two rays; a wider one is everything but
    // the narrower wedge from the end ray round to the start ray.
    const bool wide = sweep > std::numbers::pi;
    const double a = wide ? to : from, b = wide ? from : to;
    const double ax = std::cos(a), ay = std::sin(a), bx = std::cos(b), by = std::sin(b);
    for (int32_t y = 0; y < mask.Height(); ++y) {
        uint8_t* row = mask.PixelAddress(0, y);
        if (whole) {
            std::memset(row, value, static_cast<size_t>(width));
            continue;
        }
        const double py = y + 0.5 - cy;
        double lo = -HUGE_VAL, hi = HUGE_VAL;
        CutByRay(ax, ay, py, 1, lo, hi);
        CutByRay(bx, by, py, -1, lo, hi);
        const Columns wedge = lo <= hi ? ColumnsBetween(lo, hi, cx, width) : Columns{0, -1};
        if (!wide) {
            FillColumns(row, wedge.first, wedge.last, width, value);
        } else if (wedge.last < wedge.first) {
            FillColumns(row, 0, width - 1, width, value);
        } else {
            FillColumns(row, 0, wedge.first - 1, width, value);
            FillColumns(row, wedge.last + 1, width - 1, width, value);
        }
    }
}

void FillDisc(TDIBX& mask, double cx, double cy, double r, uint8_t value) {
    if (!(r > 0)) return;
    for (int32_t y = 0; y < mask.Height(); ++y) {
        const double dy = y + 0.5 - cy;
        if (dy * dy > r * r) continue;
        const double half = std::sqrt(r * r - dy * dy);
        const Columns c = ColumnsBetween(-half, half, cx, mask.Width());
        FillColumns(mask.PixelAddress(0, y), c.first, c.last, mask.Width(), value);
    }
}

}  // namespace wipe

// ---- Creation ----

std::unique_ptr<TCustomWipe> CreateWipe(int32_t code, TCustomDIBX& destination,
                                        TCustomDIBX& fromPicture, TCustomDIBX& toPicture,
                                        TTpRandom& random) {
    for (const auto styles : {wipe::MaskStyles(), wipe::BlendStyles(), wipe::MotionStyles()}) {
        for (const wipe::Style& style : styles) {
            if (style.code != code) continue;
            auto wipe = style.make(destination, toPicture, fromPicture, random);
            wipe->SetParam(0, style.param0);
            wipe->SetParam(1, style.param1);
            return wipe;
        }
    }
    return nullptr;
}

}  // namespace kivo
