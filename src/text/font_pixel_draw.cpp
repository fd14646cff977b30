// The cell drawing of the glyph cache: one cached coverage bitmap drawn as coloured pixels
// plus coverage onto a 32-bit colour surface and its 8-bit mask, with border, shadow,
// underline and strikeout. Every step is clipped to both surfaces; positions are computed in
// 64 bits and only the clipped part reaches the pixels.

#include <algorithm>
#include <cmath>
#include <vector>

#include "imaging/dibx.h"
#include "imaging/row_ops.h"
#include "text/decorate.h"
#include "text/font_pixel_manager.h"
#include "text/glyph_rows.h"
#include "text/text_math.h"

namespace kivo {
namespace {

struct Box64 {
    int64_t left, top, right, bottom;
};

Box64 Around(const Box64& box, int64_t grow) {
    return {box.left - grow, box.top - grow, box.right + grow, box.bottom + grow};
}

// The two surfaces of one cell drawing. Their pixels are reached from the address of the
// clip's corner and the row pitch; surfaces whose pixels cannot be addressed that way (a
// proxy without pixels of its own) are not drawn on.
class CellCanvas {
  public:
    CellCanvas(TCustomDIBX& colour, TCustomDIBX& mask)
        : colour_(colour), mask_(mask), clip_(Intersect(colour.ClientRect(), mask.ClientRect())) {
        if (colour.BitCount() != 32 || mask.BitCount() != 8 || clip_.IsEmpty()) return;
        colourOrigin_ = colour.PixelAddress(clip_.Left, clip_.Top);
        maskOrigin_ = mask.PixelAddress(clip_.Left, clip_.Top);
        colourPitch_ = colour.Pitch();
        maskPitch_ = mask.Pitch();
        usable_ = colourOrigin_ != nullptr && maskOrigin_ != nullptr &&
                  Addressed(colour, colourOrigin_, colourPitch_, 4) &&
                  Addressed(mask, maskOrigin_, maskPitch_, 1);
    }
    ~CellCanvas() {
        colour_.EndAccess();
        mask_.EndAccess();
    }
    CellCanvas(const CellCanvas&) = delete;
    CellCanvas& operator=(const CellCanvas&) = delete;

    [[nodiscard]] bool Usable() const { return usable_; }

    // Pixel addresses of a point inside the clip.
    [[nodiscard]] uint32_t* ColourAt(int32_t x, int32_t y) const {
        return reinterpret_cast<uint32_t*>(colourOrigin_ + (y - clip_.Top) * colourPitch_ +
                                           (x - clip_.Left) * ptrdiff_t{4});
    }
    [[nodiscard]] uint8_t* MaskAt(int32_t x, int32_t y) const {
        return maskOrigin_ + (y - clip_.Top) * maskPitch_ + (x - clip_.Left);
    }

    // Calls fn(colour row, mask row, count) for every clipped row of a rectangle.
    template <typename Fn>
    void ForRows(const Box64& box, Fn&& fn) {
        const TRect r = Clipped(box);
        if (r.IsEmpty()) return;
        for (int32_t y = r.Top; y < r.Bottom; ++y)
            fn(ColourAt(r.Left, y), MaskAt(r.Left, y), r.Width());
    }

    // Calls fn(colour row, mask row, coverage row, count) for every clipped row of a glyph's
    // bitmap placed with its top-left at (x, y).
    template <typename Fn>
    void ForBitmapRows(const TFontPixel& glyph, int64_t x, int64_t y, Fn&& fn) {
        const TRect r = Clipped({x, y, x + glyph.width, y + glyph.height});
        if (r.IsEmpty()) return;
        for (int32_t row = r.Top; row < r.Bottom; ++row) {
            const uint8_t* cov = glyph.coverage.data() +
                                 (row - y) * static_cast<int64_t>(glyph.width) + (r.Left - x);
            fn(ColourAt(r.Left, row), MaskAt(r.Left, row), cov, r.Width());
        }
    }

    // Calls fn(colour pixel, mask value, coverage) for every clipped pixel of a placed bitmap,
    // coverage 0 included.
    template <typename Fn>
    void ForBitmap(const TFontPixel& glyph, int64_t x, int64_t y, Fn&& fn) {
        ForBitmapRows(glyph, x, y, [&](uint32_t* c, uint8_t* m, const uint8_t* cov, int32_t count) {
            for (int32_t i = 0; i < count; ++i)
                fn(c[i], m[i], cov[i]);
        });
    }

    [[nodiscard]] TRect Clipped(const Box64& box) const {
        return Intersect(TRect{text_math::Saturate(box.left), text_math::Saturate(box.top),
                               text_math::Saturate(box.right), text_math::Saturate(box.bottom)},
                         clip_);
    }

  private:
    // Whether the far corners of the clip lie where the pitch says.
    bool Addressed(TCustomDIBX& surface, uint8_t* origin, ptrdiff_t pitch, ptrdiff_t bytes) const {
        const int32_t w = clip_.Width(), h = clip_.Height();
        return surface.PixelAddress(clip_.Right - 1, clip_.Bottom - 1) ==
               origin + (h - 1) * pitch + (w - 1) * bytes;
    }

    TCustomDIBX& colour_;
    TCustomDIBX& mask_;
    TRect clip_;
    bool usable_ = false;
    uint8_t* colourOrigin_ = nullptr;
    uint8_t* maskOrigin_ = nullptr;
    ptrdiff_t colourPitch_ = 0;
    ptrdiff_t maskPitch_ = 0;
};

// ---- Per-pixel rules ----

// Fills a rectangle with a colour and full coverage.
void FillOpaque(CellCanvas& canvas, const Box64& box, uint32_t pixel) {
    canvas.ForRows(box, [&](uint32_t* c, uint8_t* m, int32_t count) {
        std::fill_n(c, count, pixel);
        std::fill_n(m, count, uint8_t{255});
    });
}

void FillMaskOnly(CellCanvas& canvas, const Box64& box, uint8_t value) {
    canvas.ForRows(box,
                   [&](uint32_t*, uint8_t* m, int32_t count) { std::fill_n(m, count, value); });
}

// Stamps every inked pixel, blended with its coverage, onto the (2b + 1) x (2b + 1) square
// around it but not onto itself: the border is a square, not a disc. A pixel receives its
// stamps in the order of the inked pixels, top row first; that is the order of the offsets
// from it, so the bitmap is blended whole once per offset, row by row.
void StampBorder(CellCanvas& canvas, const TFontPixel& glyph, int64_t x, int64_t y, int32_t b,
                 uint32_t pixel) {
    const GlyphRowOps& ops = FastGlyphRowOps();
    for (int32_t oy = -b; oy <= b; ++oy) {
        for (int32_t ox = -b; ox <= b; ++ox) {
            if (ox == 0 && oy == 0) continue;
            canvas.ForBitmapRows(glyph, x + ox, y + oy,
                                 [&](uint32_t* c, uint8_t* m, const uint8_t* cov, int32_t count) {
                                     ops.Blend(c, m, cov, count, pixel);
                                 });
        }
    }
}

// The horizontal shift that centres a narrow glyph in its cell by its A, B and C widths.
int64_t CentringShift(const TFontPixel& glyph, int64_t cellWidth) {
    const int64_t s = std::min<int64_t>(cellWidth, glyph.size) - glyph.width;
    if (int64_t{glyph.leftOffset} + glyph.rightBearing >= s) return 0;
    const int64_t a = glyph.abcA, b = glyph.abcB, c = glyph.abcC;
    int64_t shift = s / 2;
    // A glyph whose widths add up to nothing or less is centred by halves, never divided by.
    if (a + c != 0 && a + b + c > 0)
        shift = std::llround(static_cast<double>(b / 2 + a) * static_cast<double>(s) /
                             static_cast<double>(a + b + c));
    return std::max<int64_t>(0, shift - glyph.leftOffset);
}

struct CellLayout {
    int64_t left, top, width, height;  // the cell
    int64_t glyphX, glyphY;            // the bitmap's top-left without border
    int32_t border, shadow;
};

void DrawWithEdges(CellCanvas& canvas, const TFontPixel& glyph, const CellLayout& cell, bool clear,
                   const CellColours& colours, const CellEdges& edges, Box64& out) {
    const int64_t b = cell.border, d = cell.shadow;
    const int64_t l = cell.left, t = cell.top, r = cell.width, h = cell.height;
    const int64_t u = glyph.underlineThickness;
    const bool underline = (glyph.style & kStyleUnderline) != 0;
    const bool strikeout = (glyph.style & kStyleStrikeOut) != 0;
    // Lines run into a joined neighbour; otherwise the shadow's left end and the line's right
    // end are cut back by the shadow width.
    const int64_t shadowLeft = l + (edges.joinedLeft ? 0 : d);
    const int64_t lineRight = l + r - (edges.joinedRight ? 0 : d);
    auto add = [&](const Box64& box) {
        out = {std::min(out.left, box.left), std::min(out.top, box.top),
               std::max(out.right, box.right), std::max(out.bottom, box.bottom)};
    };
    auto opaque = [&](const Box64& box, uint32_t pixel) {
        FillOpaque(canvas, box, pixel);
        add(box);
    };

    if (clear) FillMaskOnly(canvas, out, 0);
    if (d > 0) {
        if (underline) opaque({shadowLeft, t + h - 2 * b - u, l + r, t + h}, colours.shadow);
        const int64_t sx = cell.glyphX + d + b, sy = cell.glyphY + d + b;
        if (b == 0) {
            canvas.ForBitmap(glyph, sx, sy, [&](uint32_t& c, uint8_t& m, uint8_t cov) {
                m = cov;
                if (cov != 0) c = colours.shadow;
            });
        } else {
            StampBorder(canvas, glyph, sx, sy, cell.border, colours.shadow);
        }
        add(Around({sx, sy, sx + glyph.width, sy + glyph.height}, b));
        if (strikeout) {
            const int64_t top = t + d + glyph.strikeoutTop;
            opaque({shadowLeft, top, l + r, top + 2 * b + glyph.strikeoutThickness},
                   colours.shadow);
        }
    }
    if (underline) {
        const int64_t top = t + h - d - b - u;
        opaque({l, top, lineRight, top + u}, colours.text);
        if (b > 0) {
            opaque({l, top - b, lineRight, top}, colours.border);
            opaque({l, top + u, lineRight, top + u + b}, colours.border);
        }
    }
    const int64_t cx = cell.glyphX + b, cy = cell.glyphY + b;
    if (b == 0) {
        const GlyphRowOps& ops = FastGlyphRowOps();
        canvas.ForBitmapRows(glyph, cx, cy,
                             [&](uint32_t* c, uint8_t* m, const uint8_t* cov, int32_t count) {
                                 ops.Blend(c, m, cov, count, colours.text);
                             });
    } else {
        StampBorder(canvas, glyph, cx, cy, cell.border, colours.border);
        // The ink goes over the border: fully opaque coverage, the text colour mixed into the
        // border colour by the ink's own coverage.
        canvas.ForBitmap(glyph, cx, cy, [&](uint32_t& c, uint8_t& m, uint8_t cov) {
            if (cov == 0) return;
            m = 255;
            c = cov == 255 ? colours.text : BlendPixel(colours.border, colours.text, cov);
        });
    }
    add(Around({cx, cy, cx + glyph.width, cy + glyph.height}, b));
    if (strikeout) {
        const int64_t top = t + b + glyph.strikeoutTop;
        opaque({l, top, lineRight, top + glyph.strikeoutThickness}, colours.text);
        if (b > 0) {
            opaque({l, t + glyph.strikeoutTop, lineRight, top}, colours.border);
            const int64_t below = top + glyph.strikeoutThickness;
            opaque({l, below, lineRight, below + b}, colours.border);
        }
    }
}

// Plain text: the composer draws it as a flat colour through the mask, so the lines only
// need coverage.
void DrawPlain(CellCanvas& canvas, const TFontPixel& glyph, const CellLayout& cell, bool clear,
               uint32_t text, Box64& out) {
    const int64_t l = cell.left, t = cell.top, r = cell.width, h = cell.height;
    if (clear) {
        canvas.ForBitmap(glyph, cell.glyphX, cell.glyphY,
                         [&](uint32_t& c, uint8_t& m, uint8_t cov) {
                             c = text;
                             m = cov;
                         });
    } else {
        canvas.ForBitmap(glyph, cell.glyphX, cell.glyphY,
                         [&](uint32_t& c, uint8_t& m, uint8_t cov) {
                             if (cov != 0) c = text;
                             m = std::max(m, cov);
                         });
    }
    auto line = [&](const Box64& box) {
        FillMaskOnly(canvas, box, 255);
        out = {std::min(out.left, box.left), std::min(out.top, box.top),
               std::max(out.right, box.right), std::max(out.bottom, box.bottom)};
    };
    if ((glyph.style & kStyleUnderline) != 0) {
        line({l, t + h - glyph.underlineThickness, l + r, t + h});
    }
    if ((glyph.style & kStyleStrikeOut) != 0) {
        const int64_t top = t + glyph.strikeoutTop;
        line({l, top, l + r, top + glyph.strikeoutThickness});
    }
}

}  // namespace

TRect TFontPixelManager::DrawGlyph(const TFontPixel& glyph, TCustomDIBX& colour, TCustomDIBX& mask,
                                   bool clear, const CellColours& colours, const CellEdges& edges,
                                   const TRect& cell) {
    if (!glyph.HasBitmap()) return {};
    CellCanvas canvas(colour, mask);
    if (!canvas.Usable()) return {};
    CellLayout layout;
    layout.left = cell.Left;
    layout.top = cell.Top;
    layout.width = int64_t{cell.Right} - cell.Left;
    layout.height = int64_t{cell.Bottom} - cell.Top;
    layout.border = std::clamp(edges.border, 0, kMaxGlyphEdge);
    layout.shadow = std::clamp(edges.shadow, 0, kMaxGlyphEdge);
    layout.glyphX = layout.left + glyph.leftOffset + CentringShift(glyph, layout.width);
    layout.glyphY = layout.top + glyph.topOffset;
    const int64_t grow = 2 * int64_t{layout.border} + layout.shadow;
    Box64 out{layout.glyphX, layout.glyphY, layout.glyphX + glyph.width + grow,
              layout.glyphY + glyph.height + grow};
    if (layout.border > 0 || layout.shadow > 0) {
        DrawWithEdges(canvas, glyph, layout, clear, colours, edges, out);
    } else {
        DrawPlain(canvas, glyph, layout, clear, colours.text, out);
    }
    return canvas.Clipped(out);
}

}  // namespace kivo
