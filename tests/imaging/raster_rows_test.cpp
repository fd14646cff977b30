// The quick roads of the unscaled draws and tiles against the general ones, pixel for pixel.
// Memory surfaces are walked by their pitch and gapless tilings are drawn a whole row at a
// time; a surface whose rows are not evenly spaced takes the general roads (each row's address
// asked for, each tile drawn on its own), so the same draw on both must leave the same pixels.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "imaging/draw_context.h"
#include "imaging/raster_fixture.h"

namespace kivo {
namespace {

using test::Pixels;

constexpr uint32_t kKey = 0x00123456;

// A 32-bit surface whose rows lie in memory with uneven gaps between them: no single pitch
// leads from one row to the next, so every draw onto or from it asks for each row's address.
class ScatteredRows final : public TCustomDIBX {
  public:
    ScatteredRows(int32_t width, int32_t height) {
        SetSize(width, height, 32);
        size_t offset = 0;
        for (int32_t y = 0; y < height; ++y) {
            rows_.push_back(offset);
            offset += static_cast<size_t>(width) + 1 + static_cast<size_t>(y % 3);
        }
        pixels_.assign(offset, 0);
    }
    [[nodiscard]] int BitCount() const override { return 32; }
    // The plain row size, which no two neighbouring rows are apart.
    [[nodiscard]] int32_t Pitch() const override { return Width() * 4; }
    [[nodiscard]] uint8_t* PixelAddress(int32_t x, int32_t y) override {
        if (x < 0 || y < 0 || x >= Width() || y >= Height()) return nullptr;
        return reinterpret_cast<uint8_t*>(
            &pixels_[rows_[static_cast<size_t>(y)] + static_cast<size_t>(x)]);
    }
    [[nodiscard]] uint32_t GetPixel(int32_t x, int32_t y) const override {
        if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0;
        return pixels_[rows_[static_cast<size_t>(y)] + static_cast<size_t>(x)];
    }
    void SetPixel(int32_t x, int32_t y, uint32_t pixel) override {
        if (x >= 0 && y >= 0 && x < Width() && y < Height())
            pixels_[rows_[static_cast<size_t>(y)] + static_cast<size_t>(x)] = pixel;
    }

  private:
    std::vector<size_t> rows_;
    std::vector<uint32_t> pixels_;
};

// Where the key stands in a picture.
enum class KeyLayout { None, Mixed, WholeRows };

// Random colours (zero fourth byte, as scene pixels have), keyed by the layout: Mixed keys
// about a third of the pixels in runs and singles, WholeRows keys every third row whole and
// leaves the others without a key pixel.
void Paint(TCustomDIBX& surface, uint32_t seed, KeyLayout layout) {
    std::mt19937 rng(seed);
    for (int32_t y = 0; y < surface.Height(); ++y) {
        for (int32_t x = 0; x < surface.Width(); ++x) {
            uint32_t pixel = rng() & kColorMask;
            if (layout == KeyLayout::Mixed && (rng() % 3 == 0 || (x / 5 + y) % 4 == 0))
                pixel = kKey;
            if (layout == KeyLayout::WholeRows && y % 3 == 1) pixel = kKey;
            surface.SetPixel(x, y, pixel);
        }
    }
}

void Paint8(TCustomDIBX& mask, uint32_t seed) {
    std::mt19937 rng(seed);
    for (int32_t y = 0; y < mask.Height(); ++y) {
        for (int32_t x = 0; x < mask.Width(); ++x) {
            const uint32_t r = rng() % 4;
            mask.SetPixel(x, y, r == 0 ? 0 : r == 1 ? 255 : rng() % 256);
        }
    }
}

// The draws a scene object makes of a picture piece, by name.
enum class Op { Copy, Alpha, Add, Mask, MaskAlpha, MaskAdd };

const char* Name(Op op) {
    switch (op) {
        case Op::Copy:
            return "copy";
        case Op::Alpha:
            return "alpha";
        case Op::Add:
            return "add";
        case Op::Mask:
            return "mask";
        case Op::MaskAlpha:
            return "mask alpha";
        case Op::MaskAdd:
            return "mask add";
    }
    return "";
}

const char* Name(KeyLayout layout) {
    switch (layout) {
        case KeyLayout::None:
            return "no key";
        case KeyLayout::Mixed:
            return "mixed key";
        case KeyLayout::WholeRows:
            return "rows of key";
    }
    return "";
}

constexpr Op kOps[] = {Op::Copy, Op::Alpha, Op::Add, Op::Mask, Op::MaskAlpha, Op::MaskAdd};
constexpr KeyLayout kLayouts[] = {KeyLayout::None, KeyLayout::Mixed, KeyLayout::WholeRows};

struct Placement {
    const char* name;
    TRect srcRect;
    int32_t x, y;
    TRect clip;  // empty: no clip
};

void DrawPiece(TDrawContext& context, Op op, const Placement& p, bool flipV, bool flipH,
               TColorKey key, TCustomDIBX& source, TCustomDIBX& mask) {
    switch (op) {
        case Op::Copy:
            context.Draw(p.x, p.y, flipV, flipH, key, p.srcRect, source);
            break;
        case Op::Alpha:
            context.DrawAlpha(p.x, p.y, 100, flipV, flipH, key, p.srcRect, source);
            break;
        case Op::Add:
            context.DrawAdd(p.x, p.y, 180, flipV, flipH, key, p.srcRect, source);
            break;
        case Op::Mask:
            context.DrawMask(p.x, p.y, mask, flipV, flipH, p.srcRect, source);
            break;
        case Op::MaskAlpha:
            context.DrawMaskAlpha(p.x, p.y, 77, mask, flipV, flipH, p.srcRect, source);
            break;
        case Op::MaskAdd:
            context.DrawMaskAdd(p.x, p.y, 200, mask, flipV, flipH, p.srcRect, source);
            break;
    }
}

TEST(RasterRows, UnscaledDrawsGiveTheRowByRowPixels) {
    // Sources of 70 x 40; the destination is 90 x 50. Rows of 16 and 70 pixels take the short
    // copy, 600-pixel rows are out of reach here and are covered by the tiles below.
    const Placement placements[] = {
        {"glyph cell", {16, 0, 32, 32}, 5, 3, {}},
        {"single pixel", {3, 4, 4, 5}, 0, 0, {}},
        {"whole source past the right edge", {0, 0, 70, 40}, 30, 2, {}},
        {"cut by the top-left corner", {0, 0, 70, 40}, -7, -9, {}},
        {"cut by the clip", {10, 5, 60, 35}, 4, 4, {12, 10, 40, 20}},
        {"source rectangle beyond the source", {50, 30, 90, 60}, 0, 0, {}},
        {"one row", {0, 20, 70, 21}, 10, 49, {}},
    };
    for (KeyLayout layout : kLayouts) {
        TDIBX source(70, 40, 32);
        ScatteredRows scatteredSource(70, 40);
        Paint(source, 1, layout);
        Paint(scatteredSource, 1, layout);
        TDIBX mask(70, 40, 8);
        Paint8(mask, 2);
        const TColorKey key = layout == KeyLayout::None ? TColorKey{} : TColorKey(kKey);
        for (Op op : kOps) {
            bool changed = false;
            for (const Placement& p : placements) {
                for (int flips = 0; flips < 4; ++flips) {
                    const bool flipV = (flips & 1) != 0, flipH = (flips & 2) != 0;
                    TDIBX even(90, 50, 32);
                    ScatteredRows scattered(90, 50);
                    Paint(even, 3, KeyLayout::None);
                    Paint(scattered, 3, KeyLayout::None);
                    TDrawContext a(even), b(scattered);
                    if (!p.clip.IsEmpty()) {
                        a.SetClipRect(p.clip);
                        b.SetClipRect(p.clip);
                    }
                    const std::vector<uint32_t> before = Pixels(even);
                    DrawPiece(a, op, p, flipV, flipH, key, source, mask);
                    DrawPiece(b, op, p, flipV, flipH, key, scatteredSource, mask);
                    const std::string what = std::string(Name(op)) + ", " + Name(layout) + ", " +
                                             p.name + ", flips " + std::to_string(flips);
                    ASSERT_EQ(Pixels(even), Pixels(scattered)) << what;
                    changed = changed || Pixels(even) != before;
                }
            }
            // The draws showed something, so equal pixels were not two untouched surfaces.
            EXPECT_TRUE(changed) << Name(op) << ", " << Name(layout);
        }
    }
}

// A keyed copy skips exactly the key pixels: all of a keyed row, none of an unkeyed one.
TEST(RasterRows, KeyedCopySkipsExactlyTheKeyPixels) {
    for (KeyLayout layout : kLayouts) {
        TDIBX source(40, 6, 32);
        Paint(source, 4, layout);
        TDIBX dst(40, 6, 32);
        TDrawContext(dst).Fill(0x00ABCDEF);
        TDrawContext(dst).Draw(0, 0, false, false, TColorKey(kKey), {0, 0, 40, 6}, source);
        for (int32_t y = 0; y < 6; ++y) {
            for (int32_t x = 0; x < 40; ++x) {
                const uint32_t s = source.GetPixel(x, y);
                ASSERT_EQ(dst.GetPixel(x, y), s == kKey ? 0x00ABCDEFu : s)
                    << Name(layout) << " at " << x << ", " << y;
            }
        }
    }
}

struct TileCase {
    const char* name;
    TRect srcRect;  // within the 8 x 6 piece picture unless said
    TRect area;
    int32_t offsetX, offsetY;
    TRect clip;  // empty: no clip
};

void Tile(TDrawContext& context, Op op, const TileCase& c, TColorKey key, TCustomDIBX& source,
          TCustomDIBX& mask) {
    switch (op) {
        case Op::Copy:
            context.TileDraw(c.area, 0, c.offsetY, c.offsetX, key, c.srcRect, source, 0);
            break;
        case Op::Alpha:
            context.TileDrawAlpha(c.area, 0, c.offsetY, c.offsetX, 300, key, c.srcRect, source, 0);
            break;
        case Op::Add:
            context.TileDrawAdd(c.area, 0, c.offsetY, c.offsetX, 256, key, c.srcRect, source, 0);
            break;
        case Op::Mask:
            context.TileDrawMask(c.area, 0, c.offsetY, c.offsetX, mask, c.srcRect, source, 0);
            break;
        case Op::MaskAlpha:
            context.TileDrawMaskAlpha(c.area, 0, c.offsetY, c.offsetX, 140, mask, c.srcRect, source,
                                      0);
            break;
        case Op::MaskAdd:
            context.TileDrawMaskAdd(c.area, 0, c.offsetY, c.offsetX, 90, mask, c.srcRect, source,
                                    0);
            break;
    }
}

TEST(RasterRows, GaplessTilesGiveTheTileByTilePixels) {
    // The destination is 640 x 30: a 600-pixel bar reaches rows long enough for the kernel's
    // copy and for several doubling rounds.
    const TileCase cases[] = {
        {"gauge bar", {0, 0, 8, 6}, {20, 2, 620, 26}, 0, 0, {}},
        {"shifted phase", {0, 0, 8, 6}, {20, 2, 620, 26}, -3, -2, {}},
        {"phase beyond the piece", {0, 0, 8, 6}, {0, 0, 640, 30}, 13, 7, {}},
        {"one-pixel piece", {5, 2, 6, 3}, {0, 0, 640, 30}, 0, 0, {}},
        {"odd piece", {1, 1, 4, 6}, {-5, -4, 600, 29}, 2, 1, {}},
        {"area past the surface", {0, 0, 8, 6}, {-100, -10, 1000, 100}, 5, 5, {}},
        {"clipped", {0, 0, 8, 6}, {20, 2, 620, 26}, 0, 0, {33, 5, 301, 17}},
        {"narrower than the piece", {0, 0, 8, 6}, {40, 3, 45, 29}, 6, 0, {}},
        {"vertical strip", {0, 0, 8, 6}, {100, 0, 108, 30}, 0, -4, {}},
        {"huge area", {0, 0, 8, 6}, {-2000000000, -2000000000, 2000000000, 2000000000}, 3, 1, {}},
        {"piece beyond the picture", {4, 2, 12, 9}, {0, 0, 640, 30}, 0, 0, {}},
    };
    for (KeyLayout layout : kLayouts) {
        TDIBX piece(8, 6, 32);
        Paint(piece, 5, layout);
        TDIBX mask(8, 6, 8);
        Paint8(mask, 6);
        const TColorKey key = layout == KeyLayout::None ? TColorKey{} : TColorKey(kKey);
        for (Op op : kOps) {
            for (const TileCase& c : cases) {
                TDIBX even(640, 30, 32);
                ScatteredRows scattered(640, 30);
                Paint(even, 7, KeyLayout::None);
                Paint(scattered, 7, KeyLayout::None);
                TDrawContext a(even), b(scattered);
                if (!c.clip.IsEmpty()) {
                    a.SetClipRect(c.clip);
                    b.SetClipRect(c.clip);
                }
                const std::vector<uint32_t> before = Pixels(even);
                Tile(a, op, c, key, piece, mask);
                Tile(b, op, c, key, piece, mask);
                const std::string what =
                    std::string(Name(op)) + ", " + Name(layout) + ", " + c.name;
                ASSERT_EQ(Pixels(even), Pixels(scattered)) << what;
                ASSERT_NE(Pixels(even), before) << what;
            }
        }
    }
}

// A tile drawn from a picture of another depth is widened once for the whole tiling and keys
// the same pixels as the tile-by-tile draw; the tiled surface drawn onto itself keeps its own
// road.
TEST(RasterRows, WidenedAndSelfTiledPicturesMatchTheTileByTileDraw) {
    TDIBX piece(5, 3, 32);
    Paint(piece, 8, KeyLayout::Mixed);
    piece.SetBitCount(24);
    const TColorKey key = piece.ColorToKey(0x563412);
    TDIBX even(200, 9, 32);
    ScatteredRows scattered(200, 9);
    TDrawContext(even).TileDraw({3, 1, 197, 9}, 0, 1, 2, key, {0, 0, 5, 3}, piece, 0);
    TDrawContext(scattered).TileDraw({3, 1, 197, 9}, 0, 1, 2, key, {0, 0, 5, 3}, piece, 0);
    EXPECT_EQ(Pixels(even), Pixels(scattered));
    EXPECT_NE(Pixels(even), std::vector<uint32_t>(200 * 9, 0));

    // Each tile of a surface tiled onto itself reads the tiles drawn before it: a 2-pixel
    // piece at the start of the row spreads along it whatever road is taken.
    TDIBX self(9, 1, 32);
    for (int32_t x = 0; x < 9; ++x)
        self.SetPixel(x, 0, 0x10 + static_cast<uint32_t>(x));
    TDrawContext(self).TileDraw({0, 0, 9, 1}, 0, 0, 0, TColorKey{}, {0, 0, 2, 1}, self, 0);
    EXPECT_EQ(Pixels(self),
              (std::vector<uint32_t>{0x10, 0x11, 0x10, 0x11, 0x10, 0x11, 0x10, 0x11, 0x10}));
}

}  // namespace
}  // namespace kivo
