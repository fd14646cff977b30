// Format changes and exports of TDIBSurface: Convert with its colour reduction and dithering,
// the JPEG and platform pictures, and presentation into a frame buffer.

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "imaging/dib_surface.h"
#include "imaging/jpeg_codec.h"
#include "imaging/ordered_dither.h"
#include "imaging/row_ops.h"

namespace kivo {

namespace {

// Colours here are 0x00BBGGRR, as PixelToColor gives them; channel 0 is red, 1 green, 2 blue.
int Channel(uint32_t color, int channel) {
    return static_cast<int>((color >> (8 * channel)) & 0xFF);
}

uint32_t MakeColor(int red, int green, int blue) {
    return static_cast<uint32_t>(red) | static_cast<uint32_t>(green) << 8 |
           static_cast<uint32_t>(blue) << 16;
}

int Luma(uint32_t color) {
    return 299 * Channel(color, 0) + 587 * Channel(color, 1) + 114 * Channel(color, 2);
}

// A colour as a frame buffer word: bytes B, G, R, X in memory.
uint32_t ColorToBgrx(uint32_t color) {
    return (color & 0xFF) << 16 | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

// Every pixel's colour, row after row.
std::vector<uint32_t> PixelColors(const TDIBSurface& bitmap) {
    std::vector<uint32_t> colors;
    colors.reserve(static_cast<size_t>(bitmap.Width()) * static_cast<size_t>(bitmap.Height()));
    for (int32_t y = 0; y < bitmap.Height(); ++y) {
        for (int32_t x = 0; x < bitmap.Width(); ++x)
            colors.push_back(bitmap.PixelToColor(bitmap.GetPixel(x, y)));
    }
    return colors;
}

struct ColorCount {
    uint32_t color = 0;
    uint64_t count = 0;
};

// Every distinct colour of an image with its pixel count, in colour order.
std::vector<ColorCount> Histogram(std::span<const uint32_t> pixels) {
    std::vector<uint32_t> sorted(pixels.begin(), pixels.end());
    std::sort(sorted.begin(), sorted.end());
    std::vector<ColorCount> colors;
    for (uint32_t c : sorted) {
        if (colors.empty() || colors.back().color != c) colors.push_back({c, 0});
        ++colors.back().count;
    }
    return colors;
}

// The distinct colours of an image in the order they first appear, or nothing when there are
// more than limit.
std::optional<std::vector<uint32_t>> FirstColors(std::span<const uint32_t> pixels, size_t limit) {
    std::unordered_set<uint32_t> seen;
    std::vector<uint32_t> colors;
    for (uint32_t c : pixels) {
        if (!seen.insert(c).second) continue;
        if (colors.size() == limit) return std::nullopt;
        colors.push_back(c);
    }
    return colors;
}

// ---- Median cut --------------------------------------------------------------------------

// A run of the colour list and how widely its colours spread about their weighted mean.
struct ColorBox {
    size_t begin = 0, end = 0;
    int widest = 0;     // the channel with the largest weighted squared error
    double spread = 0;  // the weighted squared error of all three channels
    uint32_t mean = 0;  // the weighted mean colour, rounded
};

ColorBox MeasureBox(std::span<const ColorCount> colors, size_t begin, size_t end) {
    ColorBox box{begin, end};
    uint64_t pixels = 0;
    std::array<uint64_t, 3> sum{};
    for (size_t i = begin; i < end; ++i) {
        pixels += colors[i].count;
        for (int ch = 0; ch < 3; ++ch)
            sum[ch] += colors[i].count * static_cast<uint64_t>(Channel(colors[i].color, ch));
    }
    std::array<int, 3> rounded{};
    std::array<double, 3> error{};
    for (int ch = 0; ch < 3; ++ch) {
        rounded[ch] = static_cast<int>((sum[ch] + pixels / 2) / pixels);
        // A second pass about the mean keeps the error exact enough to rank boxes whose
        // colours differ by one step among millions of pixels.
        const double mean = static_cast<double>(sum[ch]) / static_cast<double>(pixels);
        for (size_t i = begin; i < end; ++i) {
            const double d = Channel(colors[i].color, ch) - mean;
            error[ch] += static_cast<double>(colors[i].count) * d * d;
        }
        box.spread += error[ch];
        if (error[ch] > error[box.widest]) box.widest = ch;
    }
    box.mean = MakeColor(rounded[0], rounded[1], rounded[2]);
    return box;
}

// Splits a box of two colours or more at the pixel-weighted median of its widest channel;
// both halves keep at least one colour.
size_t SplitBox(std::span<ColorCount> colors, const ColorBox& box) {
    const int ch = box.widest;
    std::sort(colors.begin() + static_cast<ptrdiff_t>(box.begin),
              colors.begin() + static_cast<ptrdiff_t>(box.end),
              [ch](const ColorCount& a, const ColorCount& b) {
                  const int va = Channel(a.color, ch), vb = Channel(b.color, ch);
                  return va != vb ? va < vb : a.color < b.color;
              });
    uint64_t pixels = 0;
    for (size_t i = box.begin; i < box.end; ++i)
        pixels += colors[i].count;
    uint64_t below = 0;
    for (size_t i = box.begin; i + 1 < box.end; ++i) {
        below += colors[i].count;
        if (below * 2 >= pixels) return i + 1;
    }
    return box.end - 1;
}

// At most count colours standing for the histogram: the boxes' weighted means. The box with
// the largest spread is split first (the first such box on a tie), so the result depends on
// the histogram alone.
std::vector<uint32_t> MedianCut(std::vector<ColorCount> colors, size_t count) {
    std::vector<ColorBox> boxes{MeasureBox(colors, 0, colors.size())};
    while (boxes.size() < count) {
        size_t pick = boxes.size();
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].end - boxes[i].begin < 2) continue;
            if (pick == boxes.size() || boxes[i].spread > boxes[pick].spread) pick = i;
        }
        if (pick == boxes.size()) break;
        const ColorBox box = boxes[pick];
        const size_t middle = SplitBox(colors, box);
        boxes[pick] = MeasureBox(colors, box.begin, middle);
        boxes.push_back(MeasureBox(colors, middle, box.end));
    }
    std::vector<uint32_t> palette;
    for (const ColorBox& box : boxes)
        palette.push_back(box.mean);
    return palette;
}

// The two colours farthest apart, the darker first.
std::vector<uint32_t> FarthestPair(std::span<const uint32_t> colors) {
    size_t first = 0, second = colors.size() > 1 ? 1 : 0;
    int best = -1;
    for (size_t i = 0; i < colors.size(); ++i) {
        for (size_t j = i + 1; j < colors.size(); ++j) {
            int distance = 0;
            for (int ch = 0; ch < 3; ++ch) {
                const int d = Channel(colors[i], ch) - Channel(colors[j], ch);
                distance += d * d;
            }
            if (distance > best) best = distance, first = i, second = j;
        }
    }
    if (Luma(colors[second]) < Luma(colors[first])) std::swap(first, second);
    return {colors[first], colors[second]};
}

// ---- Nearest palette colour ----------------------------------------------------------------

// Finds the palette colour nearest to a colour by squared distance, the lowest index on a
// tie, as NearestPaletteIndex does. The entries are searched outwards from the colour's
// green value and the search stops once green alone is farther than the best match.
class NearestColor {
  public:
    explicit NearestColor(std::span<const uint32_t> palette) {
        for (size_t i = 0; i < palette.size(); ++i) {
            entries_.push_back({Channel(palette[i], 0), Channel(palette[i], 1),
                                Channel(palette[i], 2), static_cast<int>(i)});
        }
        std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
            return a.green != b.green ? a.green < b.green : a.index < b.index;
        });
    }

    // Channels may lie outside 0..255 (dithering asks for colours plus their error).
    [[nodiscard]] int Find(int red, int green, int blue) const {
        const auto start = std::lower_bound(entries_.begin(), entries_.end(), green,
                                            [](const Entry& e, int g) { return e.green < g; });
        int bestDistance = -1, bestIndex = 0;
        const auto consider = [&](const Entry& e) {
            const int dr = e.red - red, dg = e.green - green, db = e.blue - blue;
            const int distance = dr * dr + dg * dg + db * db;
            if (bestDistance < 0 || distance < bestDistance ||
                (distance == bestDistance && e.index < bestIndex)) {
                bestDistance = distance, bestIndex = e.index;
            }
        };
        const auto beyond = [&](const Entry& e) {
            const int dg = e.green - green;
            return bestDistance >= 0 && dg * dg > bestDistance;
        };
        for (auto it = start; it != entries_.end() && !beyond(*it); ++it)
            consider(*it);
        for (auto it = start; it != entries_.begin() && !beyond(*(it - 1)); --it)
            consider(*(it - 1));
        return bestIndex;
    }

  private:
    struct Entry {
        int red, green, blue, index;
    };
    std::vector<Entry> entries_;
};

// NearestColor for colours in 0..255 behind a direct-mapped table of recent answers: images
// repeat their colours, and a table of fixed size costs nothing to fill or to throw away.
class CachedNearestColor {
  public:
    explicit CachedNearestColor(const NearestColor& nearest)
        : nearest_(nearest), slots_(kSlots, kEmpty) {}

    [[nodiscard]] uint8_t Find(uint32_t color) {
        const size_t slot = (color * 0x9E3779B1u) >> (32 - kSlotBits);
        const uint64_t entry = slots_[slot];
        if (entry != kEmpty && static_cast<uint32_t>(entry >> 8) == color) {
            return static_cast<uint8_t>(entry);
        }
        const auto index = static_cast<uint8_t>(
            nearest_.Find(Channel(color, 0), Channel(color, 1), Channel(color, 2)));
        slots_[slot] = uint64_t{color} << 8 | index;
        return index;
    }

  private:
    static constexpr int kSlotBits = 14;
    static constexpr size_t kSlots = size_t{1} << kSlotBits;
    static constexpr uint64_t kEmpty = ~uint64_t{0};
    const NearestColor& nearest_;
    std::vector<uint64_t> slots_;
};

// ---- Dithering -----------------------------------------------------------------------------

std::vector<uint8_t> MapNearest(std::span<const uint32_t> pixels, const NearestColor& nearest) {
    CachedNearestColor cache(nearest);
    std::vector<uint8_t> indices(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i)
        indices[i] = cache.Find(pixels[i]);
    return indices;
}

// Pattern dithering for any palette: sixteen palette colours whose mean approaches the
// colour, each chosen nearest to the colour plus the error the earlier ones left, sorted by
// brightness so that the pattern's low thresholds take the darker ones.
std::array<uint8_t, 16> MixingPlan(uint32_t color, std::span<const uint32_t> palette,
                                   const NearestColor& nearest) {
    std::array<uint8_t, 16> plan{};
    std::array<int, 3> error{};
    for (uint8_t& slot : plan) {
        const int index = nearest.Find(Channel(color, 0) + error[0], Channel(color, 1) + error[1],
                                       Channel(color, 2) + error[2]);
        slot = static_cast<uint8_t>(index);
        for (int ch = 0; ch < 3; ++ch)
            error[ch] += Channel(color, ch) - Channel(palette[static_cast<size_t>(index)], ch);
    }
    std::sort(plan.begin(), plan.end(), [palette](uint8_t a, uint8_t b) {
        const int la = Luma(palette[a]), lb = Luma(palette[b]);
        return la != lb ? la < lb : a < b;
    });
    return plan;
}

// A colour at 6 bits a channel, each widened back to 8 by repeating its top bits.
uint32_t ColorCell(uint32_t color) {
    uint32_t cell = 0;
    for (int ch = 0; ch < 3; ++ch) {
        const auto top = static_cast<uint32_t>(Channel(color, ch)) >> 2;
        cell |= (top << 2 | top >> 4) << (8 * ch);
    }
    return cell;
}

std::vector<uint8_t> MapOrdered(std::span<const uint32_t> pixels, int32_t width,
                                std::span<const uint32_t> palette, const NearestColor& nearest) {
    // One plan per cell of 6 bits a channel: a photograph would otherwise need a plan for
    // each of its hundreds of thousands of colours, and a pattern of sixteen steps shows
    // little of the two bits left out.
    std::unordered_map<uint32_t, std::array<uint8_t, 16>> plans;
    std::vector<uint8_t> indices(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) {
        const uint32_t cell = ColorCell(pixels[i]);
        auto [plan, fresh] = plans.try_emplace(cell);
        if (fresh) plan->second = MixingPlan(cell, palette, nearest);
        const size_t x = i % static_cast<size_t>(width), y = i / static_cast<size_t>(width);
        indices[i] = plan->second[kBayer4[y & 3][x & 3]];
    }
    return indices;
}

// Floyd-Steinberg error diffusion (7/16 ahead, 3/16, 5/16 and 1/16 on the row below), the
// rows alternating direction so that the error does not drift to one side. Errors are kept
// in sixteenths and the corrected colour is held to 0..255.
std::vector<uint8_t> MapFloydSteinberg(std::span<const uint32_t> pixels, int32_t width,
                                       std::span<const uint32_t> palette,
                                       const NearestColor& nearest) {
    std::vector<uint8_t> indices(pixels.size());
    const auto w = static_cast<size_t>(width);
    const size_t height = w == 0 ? 0 : pixels.size() / w;
    // One spare column on each side, three channels per column.
    std::vector<int> current((w + 2) * 3), below((w + 2) * 3);
    CachedNearestColor cache(nearest);
    for (size_t y = 0; y < height; ++y) {
        const bool forward = y % 2 == 0;
        std::fill(below.begin(), below.end(), 0);
        for (size_t k = 0; k < w; ++k) {
            const size_t x = forward ? k : w - 1 - k;
            const size_t here = (x + 1) * 3, ahead = forward ? here + 3 : here - 3,
                         behind = forward ? here - 3 : here + 3;
            const uint32_t c = pixels[y * w + x];
            std::array<int, 3> wanted{};
            for (int ch = 0; ch < 3; ++ch) {
                wanted[ch] = std::clamp(Channel(c, ch) + ((current[here + ch] + 8) >> 4), 0, 255);
            }
            const uint8_t index = cache.Find(MakeColor(wanted[0], wanted[1], wanted[2]));
            indices[y * w + x] = index;
            const uint32_t got = palette[index];
            for (int ch = 0; ch < 3; ++ch) {
                const int e = wanted[ch] - Channel(got, ch);
                current[ahead + ch] += e * 7;
                below[behind + ch] += e * 3;
                below[here + ch] += e * 5;
                below[ahead + ch] += e;
            }
        }
        std::swap(current, below);
    }
    return indices;
}

std::vector<uint8_t> MapToPalette(std::span<const uint32_t> pixels, int32_t width,
                                  std::span<const uint32_t> palette, DitherMode mode) {
    const NearestColor nearest(palette);
    switch (mode) {
        case DitherMode::None:
            return MapNearest(pixels, nearest);
        case DitherMode::Ordered4x4:
            return MapOrdered(pixels, width, palette, nearest);
        case DitherMode::FloydSteinberg:
            return MapFloydSteinberg(pixels, width, palette, nearest);
    }
    return MapNearest(pixels, nearest);
}

// Gives target (already sized at 8 bits or fewer) a palette for source's colours and the
// pixels mapped onto it.
void ReduceColors(const TDIBSurface& source, TDIBSurface& target, DitherMode mode) {
    std::vector<uint32_t> pixels = PixelColors(source);
    const size_t room = size_t{1} << target.BitCount();
    std::vector<uint32_t> palette;
    if (std::optional<std::vector<uint32_t>> own = FirstColors(pixels, room)) {
        // Every colour has its own entry, so there is nothing to dither.
        palette = std::move(*own);
        mode = DitherMode::None;
    } else if (room == 2) {
        std::optional<std::vector<uint32_t>> sixteen = FirstColors(pixels, 16);
        if (!sixteen) sixteen = MedianCut(Histogram(pixels), 16);
        const std::vector<uint8_t> toSixteen = MapNearest(pixels, NearestColor(*sixteen));
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = (*sixteen)[toSixteen[i]];
        // Only colours some pixel took can stand for the image.
        palette = FarthestPair(*FirstColors(pixels, 16));
    } else {
        palette = MedianCut(Histogram(pixels), room);
    }
    ColorTable& table = target.Palette();
    table = {};
    for (size_t i = 0; i < palette.size(); ++i) {
        const uint32_t c = palette[i];
        table[i] = {static_cast<uint8_t>(Channel(c, 2)), static_cast<uint8_t>(Channel(c, 1)),
                    static_cast<uint8_t>(Channel(c, 0)), 0};
    }
    if (pixels.empty()) return;
    const std::vector<uint8_t> indices = MapToPalette(pixels, source.Width(), palette, mode);
    const auto w = static_cast<size_t>(source.Width());
    for (int32_t y = 0; y < source.Height(); ++y) {
        for (int32_t x = 0; x < source.Width(); ++x)
            target.SetPixel(x, y, indices[static_cast<size_t>(y) * w + static_cast<size_t>(x)]);
    }
}

// ---- Rows as frame buffer words ------------------------------------------------------------

// Rows are copied with the raster kernels' vector moves: the library's memcpy switches to
// string moves at this length, which some processors run several times slower when source and
// target are not aligned alike, and a frame buffer and a bitmap seldom are.
void CopyRow(uint32_t* out, const uint32_t* in, size_t count) {
    FastRowOps().Copy(out, in, static_cast<int32_t>(count), 1, kNoKey);
}

class BgrxRowReader {
  public:
    explicit BgrxRowReader(const TDIBSurface& bitmap) : bitmap_(bitmap) {
        if (bitmap.IsPalettised()) {
            for (size_t i = 0; i < palette_.size(); ++i)
                palette_[i] = ColorToBgrx(bitmap.PixelToColor(static_cast<uint32_t>(i)));
        }
    }

    // Reads count pixels of row y from column x.
    void Read(int32_t y, int32_t x, size_t count, uint32_t* out) const {
        const uint8_t* p = bitmap_.PixelAddress(x, y);
        switch (bitmap_.StorageBitCount()) {
            case 32:
                CopyRow(out, reinterpret_cast<const uint32_t*>(p), count);
                return;
            case 24:
                for (size_t i = 0; i < count; ++i, p += 3)
                    out[i] = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
                return;
            case 16:
                for (size_t i = 0; i < count; ++i, p += 2)
                    out[i] =
                        ColorToBgrx(bitmap_.PixelToColor(uint32_t{p[0]} | uint32_t{p[1]} << 8));
                return;
            case 8:
                for (size_t i = 0; i < count; ++i)
                    out[i] = palette_[p[i]];
                return;
            default:
                for (size_t i = 0; i < count; ++i)
                    out[i] = palette_[bitmap_.GetPixel(x + static_cast<int32_t>(i), y)];
                return;
        }
    }

  private:
    const TDIBSurface& bitmap_;
    std::array<uint32_t, 256> palette_{};
};

// out[k] = in[column[k]]. Pixels go out in pairs, one 8-byte store for two, which halves the
// stores that wait on a frame buffer too large for the caches.
void GatherRow(uint32_t* out, const uint32_t* in, const int32_t* column, size_t count) {
    size_t k = 0;
    for (; k + 2 <= count; k += 2) {
        const uint64_t first = in[column[k]], second = in[column[k + 1]];
        const uint64_t pair = std::endian::native == std::endian::little ? first | second << 32
                                                                         : first << 32 | second;
        std::memcpy(out + k, &pair, sizeof pair);
    }
    if (k < count) out[k] = in[column[k]];
}

// The source position of each target position a stretch draws on one axis: target t takes
// srcStart + (t - dstStart) * srcLength / dstLength. Only the run of targets inside
// [0, targetLength) whose source lies inside [0, sourceLength) is kept; the mapping never
// decreases, so that run is all there is.
struct AxisMap {
    int32_t first = 0;
    std::vector<int32_t> source;
};

bool MapAxis(int32_t dstStart, int32_t dstEnd, int32_t srcStart, int32_t srcEnd,
             int32_t targetLength, int32_t sourceLength, AxisMap& map) {
    map.source.clear();
    const int64_t dstLength = int64_t{dstEnd} - dstStart;
    const int64_t srcLength = int64_t{srcEnd} - srcStart;
    if (dstLength <= 0 || srcLength <= 0) return false;
    const int64_t lo = std::max<int64_t>(dstStart, 0);
    const int64_t hi = std::min<int64_t>(dstEnd, targetLength);
    if (hi <= lo) return false;
    // The offset and the source length are both below 2^32, so their product fits 64 unsigned
    // bits; from there the walk steps quotient and remainder and never multiplies again.
    const auto den = static_cast<uint64_t>(dstLength), num = static_cast<uint64_t>(srcLength);
    const auto offset = static_cast<uint64_t>(lo - dstStart);
    uint64_t whole = offset * num / den, rest = offset * num % den;
    const uint64_t stepWhole = num / den, stepRest = num % den;
    for (int64_t t = lo; t < hi; ++t) {
        const int64_t s = srcStart + static_cast<int64_t>(whole);
        if (s >= sourceLength) break;
        if (s >= 0) {
            if (map.source.empty()) map.first = static_cast<int32_t>(t);
            map.source.push_back(static_cast<int32_t>(s));
        }
        whole += stepWhole;
        rest += stepRest;
        if (rest >= den) rest -= den, ++whole;
    }
    return !map.source.empty();
}

}  // namespace

void TDIBSurface::Convert(int bits, DitherMode ditherMode, [[maybe_unused]] bool flag) {
    if (bits == BitCount()) return;
    TDIBSurface converted(width_, height_, bits);
    if (bits <= 8) {
        ReduceColors(*this, converted, ditherMode);
    } else {
        std::unordered_map<uint32_t, uint32_t> toPixel;
        for (int32_t y = 0; y < height_; ++y) {
            for (int32_t x = 0; x < width_; ++x) {
                const uint32_t pixel = GetPixel(x, y);
                const auto [it, fresh] = toPixel.try_emplace(pixel, 0);
                if (fresh) {
                    it->second = static_cast<uint32_t>(converted.ColorToPixel(PixelToColor(pixel)));
                    if (bits == 32) it->second |= 0xFF000000u;
                }
                converted.SetPixel(x, y, it->second);
            }
        }
    }
    converted.mask_ = std::move(mask_);
    *this = std::move(converted);
}

std::vector<uint8_t> TDIBSurface::ToJPEG(int quality) const {
    if (BitCount() == 24) return EncodeJpeg(*this, quality);
    TDIBSurface wide;
    wide.CopyFrom(*this, ClientRect(), false);
    wide.Convert(24);
    return EncodeJpeg(wide, quality);
}

ArgbImage TDIBSurface::ToBitmap() const {
    ArgbImage image{width_, height_, {}};
    const auto w = static_cast<size_t>(width_);
    image.pixels.resize(w * static_cast<size_t>(height_));
    const BgrxRowReader reader(*this);
    for (int32_t y = 0; y < height_; ++y) {
        uint32_t* row = image.pixels.data() + static_cast<size_t>(y) * w;
        reader.Read(y, 0, w, row);
        for (int32_t x = 0; x < width_; ++x) {
            const uint32_t alpha = mask_ ? mask_->GetPixel(x, y) & 0xFF : 0xFF;
            row[x] = (row[x] & 0xFFFFFF) | alpha << 24;
        }
    }
    return image;
}

void TDIBSurface::StretchToDC(const MutableFrameView& dc, const TRect& dstRect,
                              const TRect& srcRect) const {
    if (dc.pixels == nullptr || dc.stride < dc.width || IsEmpty()) return;
    AxisMap columns, rows;
    if (!MapAxis(dstRect.Left, dstRect.Right, srcRect.Left, srcRect.Right, dc.width, width_,
                 columns) ||
        !MapAxis(dstRect.Top, dstRect.Bottom, srcRect.Top, srcRect.Bottom, dc.height, height_,
                 rows)) {
        return;
    }
    const size_t count = columns.source.size();
    const int32_t firstColumn = columns.source.front();
    const auto span = static_cast<size_t>(columns.source.back() - firstColumn + 1);
    // Equal horizontal sizes read consecutive pixels, which copy as one block.
    const bool consecutive = span == count;
    for (int32_t& column : columns.source)
        column -= firstColumn;
    const bool direct = StorageBitCount() == 32;
    const BgrxRowReader reader(*this);
    std::vector<uint32_t> converted(direct ? 0 : span);
    const uint32_t* previous = nullptr;
    int32_t previousRow = -1;
    for (size_t j = 0; j < rows.source.size(); ++j) {
        uint32_t* out = dc.pixels +
                        static_cast<ptrdiff_t>(rows.first + static_cast<int32_t>(j)) * dc.stride +
                        columns.first;
        const int32_t sy = rows.source[j];
        // An enlarged row repeats the one above it.
        if (sy == previousRow) {
            CopyRow(out, previous, count);
            previous = out;
            continue;
        }
        const uint32_t* in = nullptr;
        if (direct) {
            in = reinterpret_cast<const uint32_t*>(PixelAddress(firstColumn, sy));
        } else if (consecutive) {
            reader.Read(sy, firstColumn, count, out);
        } else {
            reader.Read(sy, firstColumn, span, converted.data());
            in = converted.data();
        }
        if (in != nullptr) {
            if (consecutive) {
                CopyRow(out, in, count);
            } else {
                GatherRow(out, in, columns.source.data(), count);
            }
        }
        previous = out;
        previousRow = sy;
    }
}

}  // namespace kivo
