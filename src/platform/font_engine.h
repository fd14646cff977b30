#pragma once
// The font engine: outline fonts rendered into per-glyph coverage bitmaps with their metrics,
// for the glyph cache, the text strips and the toolbar labels. Games name Windows Japanese
// faces ("ＭＳ ゴシック" and the like); the engine maps them to installed fonts through its own
// alias table, so the same name always gives the same font.
//
// The size asked for is the em in pixels; line metrics follow from it alone (ascent
// round(size x 1802 / 2048), cell height = size), so layout never depends on which font
// was found. Everything here runs on the main thread; nothing is thread-safe.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// Style flags of a font request; underline and strikeout are drawn by the caller from the
// metrics, so they are not part of a font.
inline constexpr uint8_t kFontBold = 1;
inline constexpr uint8_t kFontItalic = 2;

// The coverage format of a rendered glyph: the 1-bit form (values 0 and 1) or grey levels
// 0..N-1 with N = 5, 17, 65 or 256. The 5, 17 and 65 level forms are those a glyph cache
// maps through its own tables; 256 levels are plain 8-bit coverage.
enum class GlyphDepth { Mono, Gray5, Gray17, Gray65, Gray256 };

// The number of coverage values of a depth (2 for Mono).
[[nodiscard]] int32_t GlyphLevels(GlyphDepth depth);

// Line metrics in pixels. Positions are measured upwards from the baseline.
struct FontMetrics {
    int32_t size = 0;               // the em asked for, after clamping
    int32_t ascent = 0;             // round(size x 1802 / 2048)
    int32_t descent = 0;            // size - ascent
    int32_t height = 0;             // ascent + descent: one line's cell
    int32_t underlinePosition = 0;  // negative: below the baseline
    int32_t underlineThickness = 1;
    int32_t strikeoutPosition = 0;
    int32_t strikeoutThickness = 1;
    int32_t averageWidth = 0;  // of the Latin lower-case letters
    int32_t maxWidth = 0;      // the widest advance of the face
    bool monospace = false;    // advances are exactly size (full width) or size / 2
};

// One rendered character. The black box is the bitmap: width x height coverage values in
// top-down rows without padding, placed with its left edge originX pixels right of the pen
// and its top edge originY pixels above the baseline. A blank character (a space) has a 0 x 0
// box and only its advance.
struct GlyphBitmap {
    int32_t advance = 0;  // pen movement to the next character
    int32_t originX = 0;
    int32_t originY = 0;
    int32_t width = 0;
    int32_t height = 0;
    // The character's A, B and C widths: the space before the black box, its width and the
    // space after it; A + B + C is the advance.
    int32_t abcA = 0;
    int32_t abcB = 0;
    int32_t abcC = 0;
    int32_t levels = 256;  // coverage values run 0..levels-1
    std::vector<uint8_t> coverage;
};

// One face at one size and style. Made by FontEngine::Open and valid while the engine lives.
class Font {
  public:
    virtual ~Font() = default;

    // The family that serves the request (UTF-8), such as "IPAGothic".
    [[nodiscard]] virtual const std::string& Family() const = 0;
    [[nodiscard]] virtual const FontMetrics& Metrics() const = 0;

    // Renders one character (a Unicode code point) at the given depth. A character the font
    // lacks renders as the font's missing-glyph box. Called by the glyph cache on a miss; the
    // result belongs to the caller. Costs one outline load and render (tens of microseconds).
    [[nodiscard]] virtual GlyphBitmap Render(char32_t code, GlyphDepth depth) = 0;

    // The advance of one character without rendering it; cheap after the first call.
    [[nodiscard]] virtual int32_t Advance(char32_t code) = 0;

    // The advance of a UTF-8 text (a bad byte counts as U+FFFD).
    [[nodiscard]] int32_t MeasureUtf8(std::string_view utf8);
};

class FontEngine {
  public:
    virtual ~FontEngine() = default;

    // The font for a face name as a game gives it (UTF-8, compared as the alias table says),
    // an em of size pixels (held to 1..512) and the style flags. An unknown name gets the
    // gothic face; the result is null only when no font file at all can be opened. Called by
    // the glyph cache when its face, size or style change; the first call of a name may ask
    // the system's font configuration (milliseconds), later ones do not.
    [[nodiscard]] virtual std::unique_ptr<Font> Open(std::string_view face, int32_t size,
                                                     uint8_t style) = 0;
};

}  // namespace kivo
