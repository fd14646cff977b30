#pragma once
// What the text layer asks of the layers around it, through interfaces it owns: the glyph
// cache draws character cells, the picture layer supplies inline images, and the expression
// engine (which sits above text) evaluates variable fields. Each is set on the text that
// uses it and borrowed; a text without one draws, shows or expands nothing of that kind.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/byte_io.h"
#include "base/rect.h"

namespace kivo {

class TCustomDIBX;

// One character cell to draw. Pixels are native values of the colour surface.
struct CellRequest {
    uint32_t code = 0;  // a byte, or lead * 256 + trail
    std::string_view face;
    int32_t size = 0;
    uint8_t style = 0;  // kStyle bits
    int32_t antiAlias = 3;
    uint32_t textPixel = 0;
    uint32_t borderPixel = 0;
    uint32_t shadowPixel = 0;
    int32_t borderWidth = 0;
    int32_t shadowWidth = 0;
    // Underline, strikeout, border and shadow run on unbroken into a neighbour that is joined.
    bool joinedLeft = false;
    bool joinedRight = false;
    // Replace what the cell's pixels held instead of blending over them.
    bool clear = false;
    TRect cell;
};

// The cell drawing of the glyph cache.
class GlyphPainter {
  public:
    virtual ~GlyphPainter() = default;
    // Fetches the glyph for (code, face, anti-alias level, style, size) and draws it into the
    // cell on the colour surface and its 8-bit coverage mask; returns the area touched, empty
    // when nothing was drawn. Fetching inside the same call keeps the glyph from being evicted
    // by another fetch before it is drawn. Called on the main thread while pages render.
    [[nodiscard]] virtual TRect DrawCell(const CellRequest& request, TCustomDIBX& colour,
                                         TCustomDIBX& mask) = 0;
};

// An inline picture of a text, owned by its image glyph.
class GlyphImage {
  public:
    virtual ~GlyphImage() = default;
    [[nodiscard]] virtual int32_t Width() const = 0;
    [[nodiscard]] virtual int32_t Height() const = 0;
    [[nodiscard]] virtual bool IsAnimated() const = 0;
    // Advances an animation by the frame's milliseconds; true when the frame shown changed.
    virtual bool Animate(int32_t elapsedMs) = 0;
    // Draws the current frame (through its mask when it has one) with its top-left at (x, y):
    // alpha up to 254 blends, 255 copies, 256 to 511 adds with strength alpha - 256.
    virtual void Draw(TCustomDIBX& destination, int32_t x, int32_t y, int32_t alpha) = 0;
};

class GlyphImageSource {
  public:
    virtual ~GlyphImageSource() = default;
    // The picture for an IMG source name; nullptr when no such file exists.
    [[nodiscard]] virtual std::unique_ptr<GlyphImage> Open(std::string_view source) = 0;
};

// A variable field's expression kept in the compiled form of old glyph streams.
class StoredTextExpression {
  public:
    virtual ~StoredTextExpression() = default;
    // The value as text; nullopt when evaluating fails.
    [[nodiscard]] virtual std::optional<std::string> Evaluate() = 0;
};

class TextExpressions {
  public:
    virtual ~TextExpressions() = default;
    // Compiles and evaluates expression text; nullopt when it does not compile or fails.
    [[nodiscard]] virtual std::optional<std::string> Evaluate(std::string_view expression) = 0;
    // Reads one expression in its stored compiled form; raises KivoError on damaged data.
    [[nodiscard]] virtual std::unique_ptr<StoredTextExpression> ReadStored(ByteReader& reader) = 0;
};

}  // namespace kivo
