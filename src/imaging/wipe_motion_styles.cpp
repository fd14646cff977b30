// The transition styles that move, stretch or break up the pictures: scrolls, sudare and
// rubber bands, the mosaic, shrinking and growing, the ripple, the twists, the falling tiles
// and the zoom.

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "imaging/custom_wipe.h"
#include "imaging/draw_context.h"
#include "imaging/row_ops.h"
#include "imaging/wipe_support.h"

namespace kivo {

namespace {

using wipe::Portion;
using wipe::WipeRows;

int32_t ToInt32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// ---- Scrolls: the new picture pushes the old one out. ----

class TWipeScrollH : public TCustomWipe {
  public:
    using TCustomWipe::TCustomWipe;

  protected:
    // The picture's position along the axis; the other coordinate is 0.
    virtual void DrawAt(const WipeRows& rows, bool to, int32_t position) const {
        rows.CopyBlock(to, 0, 0, W(), H(), position, 0);
    }
    [[nodiscard]] virtual int32_t Length() const { return W(); }

    void DrawStep(const WipeRows& rows) override {
        const auto d = static_cast<int32_t>(Portion(Length(), Now(), Total()));
        DrawAt(rows, false, Reverse() ? d : -d);
        DrawAt(rows, true, Reverse() ? d - Length() : Length() - d);
    }
};

class TWipeScrollV : public TWipeScrollH {
  public:
    using TWipeScrollH::TWipeScrollH;

  protected:
    void DrawAt(const WipeRows& rows, bool to, int32_t position) const override {
        rows.CopyBlock(to, 0, 0, W(), H(), 0, position);
    }
    [[nodiscard]] int32_t Length() const override { return H(); }
};

// ---- Sudare and rubber: the pictures smeared from one edge, the old one out and the new one
// back. ----

// Where a smear stands: its column (row) p and which picture it shows. p runs over 2n - 1
// positions, out across the old picture and back across the new one.
struct Smear {
    int64_t p;
    bool to;
};

Smear SmearAt(int64_t n, int64_t t, int64_t T) {
    const int64_t p = Portion(2 * n - 1, t, T);
    return p < n ? Smear{p, false} : Smear{2 * n - p - 1, true};
}

// Column (row) p is stretched over 0..p, or reversed column n - p - 1 over n - p - 1..n - 1;
// the rest of the picture is in place. The rubber band stretches a band of width `band`
// ending at p (starting at n - p - 1) instead of the single column.
class TWipeSudareH : public TCustomWipe {
  public:
    using TCustomWipe::TCustomWipe;

  protected:
    [[nodiscard]] virtual bool Vertical() const { return false; }
    [[nodiscard]] virtual int64_t Band(const Smear&) const { return 1; }

    void DrawStep(const WipeRows& rows) override {
        const int64_t n = Vertical() ? H() : W();
        const Smear smear = SmearAt(n, Now(), Total());
        const int64_t band = std::clamp<int64_t>(Band(smear), 1, smear.p + 1);
        // Along the axis: the stretched span [first, last] from the band [bandFirst, bandLast],
        // and the part in place.
        const int64_t p = smear.p;
        const int64_t first = Reverse() ? n - p - 1 : 0, last = Reverse() ? n - 1 : p;
        const int64_t bandFirst = Reverse() ? n - p - 1 : p - band + 1;
        const int64_t keepFirst = Reverse() ? 0 : p + 1, keepLast = Reverse() ? n - p - 2 : n - 1;
        auto along = [this](int64_t lo, int64_t hi) {
            return Vertical() ? TRect{0, ToInt32(lo), W(), ToInt32(hi)}
                              : TRect{ToInt32(lo), 0, ToInt32(hi), H()};
        };
        rows.Stretch(rows.PictureSource(smear.to), along(bandFirst, bandFirst + band),
                     along(first, last + 1));
        if (keepLast >= keepFirst) {
            const TRect keep = along(keepFirst, keepLast + 1);
            rows.CopyBlock(smear.to, keep.Left, keep.Top, keep.Width(), keep.Height(), keep.Left,
                           keep.Top);
        }
    }
};

class TWipeSudareV : public TWipeSudareH {
  public:
    using TWipeSudareH::TWipeSudareH;

  protected:
    [[nodiscard]] bool Vertical() const override { return true; }
};

// The band is widest at the start and the end and one pixel wide halfway.
class TWipeRubberH : public TWipeSudareH {
  public:
    using TWipeSudareH::TWipeSudareH;

  protected:
    [[nodiscard]] int64_t Band(const Smear& smear) const override {
        const double t = static_cast<double>(Now()), T = static_cast<double>(Total());
        const int64_t reach = Reverse() ? smear.p + 1 : smear.p;
        return std::max<int64_t>(1,
                                 wipe::Round(std::abs(t - T / 2) * static_cast<double>(reach) / T));
    }
};

class TWipeRubberV : public TWipeRubberH {
  public:
    using TWipeRubberH::TWipeRubberH;

  protected:
    [[nodiscard]] bool Vertical() const override { return true; }
};

// ---- Mosaic: the old picture coarsens into blocks, the new one blends in, and the blocks
// refine to the new picture. ----

class TWipeMosaic : public TCustomWipe {
  public:
    using TCustomWipe::TCustomWipe;

  protected:
    void Prepare() override { work_.SetSize(std::max(W(), 1), std::max(H(), 1), 32); }
    void ReleaseWork() override { work_.SetSize(1, 1, 32); }

    // L = t x 1023 / T. A reduction factor b (in 256ths of a quarter of the size) gives the
    // coarse size; the pictures are reduced into the work surface at that size and the
    // result is stretched back over the screen. The new picture's alpha goes 0..63 in the
    // second quarter and 128..255 in the third: the jump at 512 belongs to the style.
    void DrawStep(const WipeRows& rows) override {
        if (work_.Width() < W() || work_.Height() < H()) return;
        const int64_t level = Portion(1023, Now(), Total());
        const int64_t b =
            level <= 511 ? 263 - (level / 2) * 15 / 16 : ((level - 512) / 2) * 15 / 16 + 24;
        const TRect small{0, 0, static_cast<int32_t>(std::max<int64_t>(1, (W() / 4) * b >> 8)),
                          static_cast<int32_t>(std::max<int64_t>(1, (H() / 4) * b >> 8))};
        const TRect whole{0, 0, W(), H()};
        // The work surface is the style's own; nothing else clips it.
        TDrawContext work(work_);
        if (level <= 767) work.StretchDraw(small, FromPicture(), 255, false, false, {}, whole);
        if (level >= 256) {
            const int64_t alpha = level > 767    ? 255
                                  : level <= 511 ? (level - 256) / 4
                                                 : (level - 256) / 2;
            work.StretchDraw(small, ToPicture(), static_cast<int32_t>(alpha), false, false, {},
                             whole);
        }
        const dibx::DirectAccess access(work_);
        rows.Stretch({work_.PixelAddress(0, 0), work_.Pitch(), work_.Width(), work_.Height()},
                     small, whole);
    }

  private:
    TDIBX work_{1, 1, 32};
};

// ---- Small and Big: the old picture shrinks away over the new one, or the new one grows
// over the old one, turning by Params[0] 256ths of a turn. ----

class TWipeSmall : public TCustomWipe {
  public:
    using TCustomWipe::TCustomWipe;

  protected:
    [[nodiscard]] virtual bool Grows() const { return false; }

    void DrawStep(const WipeRows& rows) override {
        const double t = static_cast<double>(Now()), T = static_cast<double>(Total());
        // The picture on top: zoom and alpha rise with the new one and fall with the old one,
        // and the turn runs down to 0 with the new one and up from 0 with the old one.
        const double size = Grows() ? t / T : (T - t - 1) / T;
        const double turn = Grows() ? (T - t - 1) / T : t / T;
        const auto zoom = static_cast<int32_t>(wipe::Round(size * 255));
        const auto angle =
            static_cast<int32_t>(wipe::Round((Reverse() ? -Param(0) : Param(0)) * turn));
        rows.CopyPicture(!Grows());
        TCustomDIBX& top = Grows() ? ToPicture() : FromPicture();
        // The transition draws the whole destination, so its context has no clip.
        TDrawContext(Destination())
            .DrawRotate(W() / 2, H() / 2, zoom, false, false, {}, angle, H() / 2, W() / 2,
                        {0, 0, W(), H()}, top, zoom, zoom);
    }
};

class TWipeBig : public TWipeSmall {
  public:
    using TWipeSmall::TWipeSmall;

  protected:
    [[nodiscard]] bool Grows() const override { return true; }
};

// ---- Ripple: a rippling ring runs out from the centre, the new picture inside it. ----

class TWipeRipple : public TCustomWipe {
  public:
    using TCustomWipe::TCustomWipe;

    // Parameter 0 is the height of the wave's teeth; the profile follows it.
    void SetParam(int32_t index, int32_t value) override {
        TCustomWipe::SetParam(index, value);
        if (index == 0) BuildProfile();
    }

  protected:
    // The tables of one quarter of the screen, mirrored to the other three: the rounded
    // distance of each pixel from the centre and the cosine and sine of its direction, in
    // 65536ths.
    void Prepare() override {
        const int32_t qw = QuarterWidth(), qh = QuarterHeight();
        const size_t count = static_cast<size_t>(qw) * static_cast<size_t>(qh);
        distance_.resize(count);
        cosine_.resize(count);
        sine_.resize(count);
        for (int32_t dy = 0; dy < qh; ++dy) {
            for (int32_t dx = 0; dx < qw; ++dx) {
                const size_t i =
                    static_cast<size_t>(dy) * static_cast<size_t>(qw) + static_cast<size_t>(dx);
                const double direction = std::atan2(dy, dx);
                distance_[i] = static_cast<int32_t>(wipe::Round(std::hypot(dx, dy)));
                cosine_[i] = static_cast<int32_t>(wipe::Round(std::cos(direction) * 65536));
                sine_[i] = static_cast<int32_t>(wipe::Round(std::sin(direction) * 65536));
            }
        }
        BuildProfile();
    }
    void ReleaseWork() override {
        distance_ = {};
        cosine_ = {};
        sine_ = {};
        profile_ = {};
    }

    // Each row is read from the centre outwards on both sides. Along a half row the table
    // distance never falls, so the half splits into the new picture inside the ring, the ring
    // and the old picture outside it; only the ring is worked out pixel by pixel. An odd width
    // or height leaves a last column or row beyond the tables, which takes the entry at their
    // edge.
    void DrawStep(const WipeRows& rows) override {
        const int32_t qw = QuarterWidth(), qh = QuarterHeight();
        if (distance_.size() != static_cast<size_t>(qw) * static_cast<size_t>(qh)) return;
        const auto length = static_cast<int64_t>(profile_.size());
        const int64_t reach = wipe::Round(std::hypot(W() / 2, H() / 2)) + length;
        Ring ring;
        ring.radius = Portion(reach, Now(), Total());
        ring.length = length;
        ring.profile = profile_.data();
        ring.to = rows.PictureSource(true);
        ring.cx = W() / 2;
        ring.cy = H() / 2;
        ring.quarterWidth = qw;
        const RowOps& ops = FastRowOps();
        for (int32_t y = 0; y < H(); ++y) {
            const bool below = y >= ring.cy;
            const size_t entry =
                static_cast<size_t>(std::min(below ? y - ring.cy : ring.cy - 1 - y, qh - 1)) *
                static_cast<size_t>(qw);
            ring.distance = distance_.data() + entry;
            ring.cosine = cosine_.data() + entry;
            ring.sine = sine_.data() + entry;
            uint32_t* d = rows.Dest(y);
            const uint32_t* fromRow = rows.From(y);
            const uint32_t* toRow = rows.To(y);
            for (const bool right : {true, false}) {
                // Offsets dx from the centre: the new picture below inner, the ring up to
                // outer, the old picture beyond.
                const int32_t count = right ? W() - ring.cx : ring.cx;
                const int32_t inner = ring.FirstOutward(count, ring.radius - length + 1);
                const int32_t outer = ring.FirstOutward(count, ring.radius + 1);
                auto column = [&](int32_t dx) { return right ? ring.cx + dx : ring.cx - 1 - dx; };
                // Half-open column ranges of the three parts, left to right.
                const int32_t toFirst = right ? column(0) : column(inner - 1);
                const int32_t fromFirst = right ? column(outer) : 0;
                const int32_t fromEnd = right ? W() : column(outer - 1);
                ops.Copy(d + toFirst, toRow + toFirst, inner, 1, kNoKey);
                ops.Copy(d + fromFirst, fromRow + fromFirst, fromEnd - fromFirst, 1, kNoKey);
                for (int32_t dx = inner; dx < outer; ++dx) {
                    const int32_t x = column(dx);
                    d[x] = ring.Shifted(std::min(dx, qw - 1), right, below, toRow[x]);
                }
            }
        }
    }

  private:
    [[nodiscard]] int32_t QuarterWidth() const { return std::max(W() / 2, 1); }
    [[nodiscard]] int32_t QuarterHeight() const { return std::max(H() / 2, 1); }

    // The ring of one step and the table row of the row being drawn.
    struct Ring {
        int64_t radius = 0, length = 0;
        const int32_t* profile = nullptr;
        const int32_t *distance = nullptr, *cosine = nullptr, *sine = nullptr;
        WipeRows::Source to{};
        int32_t cx = 0, cy = 0;
        int32_t quarterWidth = 1;

        // The first offset among count whose table distance reaches limit (count when none).
        [[nodiscard]] int32_t FirstOutward(int32_t count, int64_t limit) const {
            int32_t lo = 0, hi = count;
            while (lo < hi) {
                const int32_t mid = lo + (hi - lo) / 2;
                if (distance[std::min(mid, quarterWidth - 1)] >= limit) {
                    hi = mid;
                } else {
                    lo = mid + 1;
                }
            }
            return lo;
        }

        // Inside the ring: the new picture seen from further out along the same direction,
        // where that still lies on the screen; else the new picture's own pixel.
        [[nodiscard]] uint32_t Shifted(int32_t dx, bool right, bool below, uint32_t own) const {
            const int64_t r = distance[dx];
            const int64_t shifted = r + profile[r + length - 1 - radius];
            const int64_t ox = (shifted * cosine[dx] + 32768) >> 16;
            const int64_t oy = (shifted * sine[dx] + 32768) >> 16;
            const int64_t sx = right ? cx + ox : cx - 1 - ox;
            const int64_t sy = below ? cy + oy : cy - 1 - oy;
            if (sx < 0 || sx >= to.width || sy < 0 || sy >= to.height) return own;
            return reinterpret_cast<const uint32_t*>(to.base + sy * to.pitch)[sx];
        }
    };

    // A saw-tooth of four teeth over 2/3 of the smaller half-size, each rising to Params[0].
    // A screen under 12 pixels has teeth of one entry.
    void BuildProfile() {
        const int64_t length = 2 * std::min(W() / 2, H() / 2) / 3;
        const int64_t tooth = std::max<int64_t>(length / 4, 1);
        profile_.resize(static_cast<size_t>(length));
        for (int64_t i = 0; i < length; ++i)
            profile_[static_cast<size_t>(i)] = static_cast<int32_t>((i % tooth) * Param(0) / tooth);
    }

    std::vector<int32_t> distance_, cosine_, sine_, profile_;
};

// ---- Twists: rows (columns) flip over one after another like slats, from the top (left),
// or from the bottom (right) when reversed. ----

// The state of the slat at fraction `position` (0..1) of the screen: not yet turning, turned
// over, or squeezed to `size` pixels of a picture.
struct Slat {
    enum Kind { Waiting, Done, Turning } kind;
    int64_t size;  // signed: positive shows the old picture, negative the new one
};

Slat SlatAt(double position, int64_t length, int64_t t, int64_t T) {
    const double phi = static_cast<double>(t) * 3 * std::numbers::pi / 2 / static_cast<double>(T);
    const double d = phi - position * std::numbers::pi / 2;
    if (d < 0) return {Slat::Waiting, 0};
    if (d >= std::numbers::pi) return {Slat::Done, 0};
    return {Slat::Turning, wipe::Round(std::cos(d) * static_cast<double>(length))};
}

// Rows that have not begun to turn show the old picture: every frame is drawn whole, so that
// the same time always gives the same picture.
class TWipeTwistH : public TCustomWipe {
  public:
    using TCustomWipe::TCustomWipe;

  protected:
    void DrawStep(const WipeRows& rows) override {
        for (int32_t y = 0; y < H(); ++y) {
            const int32_t slat = Reverse() ? H() - 1 - y : y;
            const Slat s = SlatAt(static_cast<double>(slat) / H(), W(), Now(), Total());
            if (s.kind != Slat::Turning) {
                rows.CopyBlock(s.kind == Slat::Done, 0, y, W(), 1, 0, y);
                continue;
            }
            FastRowOps().Fill(rows.Dest(y), W(), 0);
            const auto size = static_cast<int32_t>(std::abs(s.size));
            const int32_t left = (W() - size) / 2;
            rows.Stretch(rows.PictureSource(s.size < 0), {0, y, W(), y + 1},
                         {left, y, left + size, y + 1});
        }
    }
};

// Columns squeezed vertically about the middle, black above and below. The frame is drawn row
// by row: the columns that wait or are done form runs copied whole, and each turning column
// samples the row of its picture that lands on the destination row.
class TWipeTwistV : public TCustomWipe {
  public:
    using TCustomWipe::TCustomWipe;

  protected:
    void DrawStep(const WipeRows& rows) override {
        struct Column {
            Slat slat;
            int32_t top, size;
            int64_t step;  // 16.16 source rows per destination row
            WipeRows::Source source;
        };
        std::vector<Column> columns(static_cast<size_t>(W()));
        for (int32_t x = 0; x < W(); ++x) {
            const int32_t slat = Reverse() ? W() - 1 - x : x;
            Column& c = columns[static_cast<size_t>(x)];
            c.slat = SlatAt(static_cast<double>(slat) / W(), H(), Now(), Total());
            c.size = static_cast<int32_t>(std::abs(c.slat.size));
            c.top = (H() - c.size) / 2;
            c.step =
                c.size > 0 ? static_cast<int64_t>(static_cast<double>(H()) / c.size * 65536.0) : 0;
            c.source = rows.PictureSource(c.slat.size < 0);
        }
        // Runs of columns in one state: the states only change once or twice across.
        struct Run {
            int32_t first, end;
            Slat::Kind kind;
        };
        std::vector<Run> runs;
        for (int32_t x = 0; x < W(); ++x) {
            const Slat::Kind kind = columns[static_cast<size_t>(x)].slat.kind;
            if (runs.empty() || runs.back().kind != kind) runs.push_back({x, x, kind});
            runs.back().end = x + 1;
        }
        const RowOps& ops = FastRowOps();
        for (int32_t y = 0; y < H(); ++y) {
            uint32_t* d = rows.Dest(y);
            for (const Run& run : runs) {
                if (run.kind != Slat::Turning) {
                    const uint32_t* picture = rows.Picture(run.kind == Slat::Done, y);
                    ops.Copy(d + run.first, picture + run.first, run.end - run.first, 1, kNoKey);
                    continue;
                }
                for (int32_t x = run.first; x < run.end; ++x) {
                    const Column& c = columns[static_cast<size_t>(x)];
                    const int64_t offset = y - c.top;
                    if (offset < 0 || offset >= c.size) {
                        d[x] = 0;
                        continue;
                    }
                    const int64_t sy = (offset * c.step) >> 16;
                    d[x] =
                        reinterpret_cast<const uint32_t*>(c.source.base + sy * c.source.pitch)[x];
                }
            }
        }
    }
};

// ---- Crack: the old picture breaks into tiles that jump up a little and fall off the
// screen one after another, drifting sideways. ----

class TWipeCrack : public TCustomWipe {
  public:
    using TCustomWipe::TCustomWipe;

  protected:
    // The tiles' order and drifts come from the generator.
    void Prepare() override {
        size_ = std::max(Param(0), 16);
        interval_ = std::max(Param(1), 0);
        columns_ = (W() + size_ - 1) / size_;
        const int32_t count = columns_ * ((H() + size_ - 1) / size_);
        tiles_.clear();
        Random().Shuffle(count);
        for (int32_t j = 0; j < count; ++j) {
            const int32_t index = Random().Draw();
            const auto drift = static_cast<int32_t>(
                                   (uint64_t{static_cast<uint32_t>(Random().Next())} * 200) >> 32) -
                               100;
            tiles_.push_back({index, drift});
        }
        fall_ = FallTime(H());
    }
    void ReleaseWork() override { tiles_ = {}; }

    void DrawStep(const WipeRows& rows) override {
        rows.CopyPicture(true);
        if (tiles_.empty()) return;
        const auto count = static_cast<int64_t>(tiles_.size());
        const int64_t time = Portion(fall_ + (count - 1) * interval_, Now(), Total());
        auto start = [this](int64_t j) { return j * interval_; };
        for (int64_t j = 0; j < count; ++j) {
            if (time < start(j)) DrawTile(rows, tiles_[static_cast<size_t>(j)], 0, 0);
        }
        for (int64_t j = count - 1; j >= 0; --j) {
            const int64_t u = time - start(j);
            if (u < 0) continue;
            const Tile& tile = tiles_[static_cast<size_t>(j)];
            const int64_t dy = u * (5 * u - 1500) / 1000;
            if (TileY(tile) + dy >= H()) continue;
            DrawTile(rows, tile, tile.drift * u / 100, dy);
        }
    }

  private:
    struct Tile {
        int32_t index;
        int32_t drift;
    };

    [[nodiscard]] int64_t TileX(const Tile& tile) const {
        return int64_t{tile.index % columns_} * size_;
    }
    [[nodiscard]] int64_t TileY(const Tile& tile) const {
        return int64_t{tile.index / columns_} * size_;
    }

    void DrawTile(const WipeRows& rows, const Tile& tile, int64_t dx, int64_t dy) const {
        const int64_t x = TileX(tile), y = TileY(tile);
        rows.CopyBlock(false, static_cast<int32_t>(x), static_cast<int32_t>(y), size_, size_,
                       ToInt32(x + dx), ToInt32(y + dy));
    }

    // The smallest u >= 0 at which a tile has fallen by the height: (5u^2 - 1500u) div 1000
    // >= height. The fall only gains height beyond u = 300, where the estimate starts.
    static int64_t FallTime(int64_t height) {
        auto fallen = [](int64_t u) { return (5 * u * u - 1500 * u) / 1000; };
        const double root =
            (1500 + std::sqrt(1500.0 * 1500 + 20000.0 * static_cast<double>(height))) / 10;
        int64_t u = std::max<int64_t>(300, static_cast<int64_t>(root) - 2);
        while (fallen(u) < height)
            ++u;
        while (u > 300 && fallen(u - 1) >= height)
            --u;
        return u;
    }

    int32_t size_ = 16;
    int32_t interval_ = 0;
    int32_t columns_ = 1;
    int64_t fall_ = 0;
    std::vector<Tile> tiles_;
};

// ---- Zoom in: the view closes in on (Params[0], Params[1]) of the old picture and opens out
// of the same point of the new one. ----

class TWipeZoomin : public TCustomWipe {
  public:
    using TCustomWipe::TCustomWipe;

  protected:
    void DrawStep(const WipeRows& rows) override {
        const double c = 2.0 * static_cast<double>(Now()) / static_cast<double>(Total());
        const bool to = c > 1;
        const double scale = to ? c - 1 : 1 - c, weight = to ? 2 - c : c;
        const auto width = static_cast<int32_t>(std::max<int64_t>(1, wipe::Round(W() * scale)));
        const auto height = static_cast<int32_t>(std::max<int64_t>(1, wipe::Round(H() * scale)));
        const int64_t cx = W() / 2 + wipe::Round((Param(0) - W() / 2) * weight);
        const int64_t cy = H() / 2 + wipe::Round((Param(1) - H() / 2) * weight);
        // The window, moved inside the picture.
        const auto left = static_cast<int32_t>(std::clamp<int64_t>(cx - width / 2, 0, W() - width));
        const auto top =
            static_cast<int32_t>(std::clamp<int64_t>(cy - height / 2, 0, H() - height));
        rows.Stretch(rows.PictureSource(to), {left, top, left + width, top + height},
                     {0, 0, W(), H()});
    }
};

constexpr wipe::Style kStyles[] = {
    {WP_SCROLLH, 0, 0, wipe::Make<TWipeScrollH>}, {WP_SCROLLV, 0, 0, wipe::Make<TWipeScrollV>},
    {WP_MOSAIC, 0, 0, wipe::Make<TWipeMosaic>},   {WP_SUDAREH, 0, 0, wipe::Make<TWipeSudareH>},
    {WP_SUDAREV, 0, 0, wipe::Make<TWipeSudareV>}, {WP_SMALL, 0, 0, wipe::Make<TWipeSmall>},
    {WP_BIG, 0, 0, wipe::Make<TWipeBig>},         {WP_RIPPLE, 5, 0, wipe::Make<TWipeRipple>},
    {WP_TWISTH, 0, 0, wipe::Make<TWipeTwistH>},   {WP_TWISTV, 0, 0, wipe::Make<TWipeTwistV>},
    {WP_CRACK, 64, 3, wipe::Make<TWipeCrack>},    {WP_ZOOMIN, 0, 0, wipe::Make<TWipeZoomin>},
    {WP_RUBBERH, 0, 0, wipe::Make<TWipeRubberH>}, {WP_RUBBERV, 0, 0, wipe::Make<TWipeRubberV>},
};

}  // namespace

std::span<const wipe::Style> wipe::MotionStyles() {
    return kStyles;
}

}  // namespace kivo
