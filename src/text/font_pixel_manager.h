#pragma once
// The glyph cache: coverage bitmaps of single characters, rendered once by the font engine and
// kept for reuse by message text, text strips and labels, and the cell drawing that turns one
// cached bitmap into coloured pixels plus coverage on a colour surface and its 8-bit mask,
// with border, shadow, underline and strikeout.
//
// The cache holds at most 256 glyphs over all faces and sizes, found through 256 buckets by the
// low byte of the character code and evicted least recently used first. A glyph returned by
// Fetch stays valid only until the next Fetch: callers that draw fetch right before each draw
// (DrawCell does), so a long run of other characters can never evict a glyph being drawn.
// Main thread only.

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/rect.h"
#include "platform/font_engine.h"
#include "text/text_services.h"

namespace kivo {

class TCustomDIBX;

// Sizes are rasterised within these bounds whatever a script asks; nothing is drawn below 1.
inline constexpr int32_t kMinGlyphSize = 1;
inline constexpr int32_t kMaxGlyphSize = 512;
// Borders and shadows are drawn at most this wide.
inline constexpr int32_t kMaxGlyphEdge = 32;
inline constexpr size_t kGlyphCacheCapacity = 256;

// One cached character.
struct TFontPixel {
    // ---- Key. ----
    uint32_t code = 0;  // a byte, or lead * 256 + trail
    std::string face;   // as requested (code page 932), compared case-sensitively
    int32_t antiAlias = 0;
    uint8_t style = 0;  // kStyle bits of decorate.h
    int32_t size = 0;   // the em in pixels, held to 1..512

    // ---- Bitmap: width x height coverage values 0..255 in top-down rows; none when blank. ----
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> coverage;

    // ---- Placement in a cell. ----
    int32_t leftOffset = 0;    // max(0, x of the glyph origin)
    int32_t topOffset = 0;     // max(0, ascent - y of the glyph origin)
    int32_t rightBearing = 0;  // advance - width - left offset when positive; a blank's advance
    int32_t abcA = 0;          // the character's A, B and C widths, for centring
    int32_t abcB = 0;
    int32_t abcC = 0;
    int32_t advance = 0;
    int32_t underlineThickness = 0;  // with the underline style only
    int32_t strikeoutTop = 0;        // ascent - strikeout position, with the strikeout style only
    int32_t strikeoutThickness = 0;

    [[nodiscard]] bool HasBitmap() const { return width > 0 && height > 0; }
    [[nodiscard]] uint8_t At(int32_t x, int32_t y) const {
        return coverage[static_cast<size_t>(y) * static_cast<size_t>(width) +
                        static_cast<size_t>(x)];
    }
};

// What a cell drawing needs besides the glyph: pixels are native values of the colour surface.
struct CellColours {
    uint32_t text = 0;
    uint32_t border = 0;
    uint32_t shadow = 0;
};

struct CellEdges {
    int32_t border = 0;
    int32_t shadow = 0;
    bool joinedLeft = false;
    bool joinedRight = false;
};

class TFontPixelManager final : public GlyphPainter {
  public:
    // The engine is borrowed and must outlive the cache.
    explicit TFontPixelManager(FontEngine& fonts);
    ~TFontPixelManager() override;
    TFontPixelManager(const TFontPixelManager&) = delete;
    TFontPixelManager& operator=(const TFontPixelManager&) = delete;

    // The anti-alias level of the next fetches: 0 1-bit, 1 five grey levels, 2 seventeen,
    // 3 sixty-five. Callers set their own level before fetching. A level the engine cannot
    // give makes 1-bit glyphs (still keyed under the level asked) and sets the level to 0.
    void SetAntiAlias(int32_t level) { antiAlias_ = level; }
    [[nodiscard]] int32_t AntiAlias() const { return antiAlias_; }

    // The glyph for (code, face, anti-alias level, style, size), rendered on a miss. The
    // reference is valid until the next Fetch. Raises KivoError "Error:GetOutlineTextMetrics"
    // when the engine has no font at all.
    const TFontPixel& Fetch(uint32_t code, std::string_view face, uint8_t style, int32_t size);

    // The step of a character along a line of plain text at the current level: its bitmap,
    // the space before it and its right bearing. 0 for a size of 0 or less and when no font
    // exists at all.
    [[nodiscard]] int32_t CellAdvance(uint32_t code, std::string_view face, uint8_t style,
                                      int32_t size);

    // The font a face (code page 932), size and style (bold and italic bits) select, opened
    // when it is not among the last few used; raises like Fetch. Valid until the next call
    // of SelectFont or Fetch.
    Font& SelectFont(std::string_view face, int32_t size, uint8_t style);
    // The character the fonts are asked for in place of a code page 932 code; codes the code
    // page leaves unmapped ask for U+FFFD, which shows the font's missing-glyph box.
    [[nodiscard]] static char32_t FontCharOf(uint32_t code);
    // The ascent of the font selected last; 0 before any.
    [[nodiscard]] int32_t Ascent() const;

    // Fetches the request's glyph at its level and draws it: nothing for a size of 0 or less,
    // or when no font exists. Borders and shadows are drawn at most 32 wide.
    [[nodiscard]] TRect DrawCell(const CellRequest& request, TCustomDIBX& colour,
                                 TCustomDIBX& mask) override;

    // Draws one glyph into a cell of a 32-bit colour surface and its 8-bit mask; returns the
    // area touched (within the surfaces), empty for a blank glyph. clear replaces the cell's
    // coverage instead of adding to it. Other surface depths are left untouched.
    static TRect DrawGlyph(const TFontPixel& glyph, TCustomDIBX& colour, TCustomDIBX& mask,
                           bool clear, const CellColours& colours, const CellEdges& edges,
                           const TRect& cell);

    // ---- Statistics. ----
    [[nodiscard]] size_t Count() const { return recency_.size(); }
    [[nodiscard]] uint64_t Hits() const { return hits_; }
    [[nodiscard]] uint64_t Misses() const { return misses_; }
    // Whether a glyph with this key is cached, without touching its recency.
    [[nodiscard]] bool Contains(uint32_t code, std::string_view face, int32_t antiAlias,
                                uint8_t style, int32_t size) const;

  private:
    struct OpenFont;
    using Entry = std::list<TFontPixel>::iterator;

    void Render(TFontPixel& glyph);
    void Evict();

    FontEngine& fonts_;
    int32_t antiAlias_ = 3;
    // Most recently used first; owns every cached glyph.
    std::list<TFontPixel> recency_;
    std::array<std::vector<Entry>, 256> buckets_;
    // The fonts used last, most recent first: message text with ruby alternates two sizes.
    std::vector<std::unique_ptr<OpenFont>> openFonts_;
    uint64_t hits_ = 0;
    uint64_t misses_ = 0;
};

}  // namespace kivo
