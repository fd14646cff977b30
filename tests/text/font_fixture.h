#pragma once
// A font engine for the glyph cache tests whose glyphs and metrics are set by the test, so
// that placement, levels and cell drawing can be checked at exact pixels; it records what it
// is asked.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/dibx.h"
#include "platform/font_engine.h"

namespace kivo::text_test {

struct FakeFontLog {
    std::vector<std::string> opened;  // face (UTF-8) of every Open
    std::vector<char32_t> rendered;   // every character rendered
    std::vector<GlyphDepth> depths;
};

// A glyph as the fake renders it: coverage in 0..255, brought to the asked depth.
struct FakeShape {
    int32_t width = 0;
    int32_t height = 0;
    int32_t originX = 0;
    int32_t originY = 0;
    int32_t advance = 0;
    std::vector<uint8_t> coverage;  // 0..255, width x height
};

class FakeFont final : public Font {
  public:
    FakeFont(int32_t size, const std::map<char32_t, FakeShape>& shapes, FakeFontLog& log)
        : shapes_(shapes), log_(log) {
        metrics_.size = metrics_.height = size;
        metrics_.ascent = (size * 1802 + 1024) / 2048;
        metrics_.descent = size - metrics_.ascent;
        metrics_.underlineThickness = 2;
        metrics_.strikeoutPosition = size / 3;
        metrics_.strikeoutThickness = 1;
    }
    [[nodiscard]] const std::string& Family() const override { return family_; }
    [[nodiscard]] const FontMetrics& Metrics() const override { return metrics_; }

    // Unknown characters are a solid box half the size square, one pixel right of the pen,
    // its top two pixels under the ascent, advancing the whole size.
    [[nodiscard]] GlyphBitmap Render(char32_t code, GlyphDepth depth) override {
        log_.rendered.push_back(code);
        log_.depths.push_back(depth);
        const FakeShape shape = ShapeOf(code);
        GlyphBitmap glyph;
        glyph.levels = GlyphLevels(depth);
        glyph.advance = shape.advance;
        glyph.width = shape.width;
        glyph.height = shape.height;
        glyph.originX = shape.originX;
        glyph.originY = shape.originY;
        glyph.abcA = shape.width > 0 ? shape.originX : 0;
        glyph.abcB = shape.width;
        glyph.abcC = shape.advance - glyph.abcA - glyph.abcB;
        for (uint8_t c : shape.coverage) {
            const int32_t level = depth == GlyphDepth::Mono ? (c >= 128 ? 1 : 0)
                                                            : (c * (glyph.levels - 1) + 127) / 255;
            glyph.coverage.push_back(static_cast<uint8_t>(level));
        }
        return glyph;
    }
    [[nodiscard]] int32_t Advance(char32_t code) override { return ShapeOf(code).advance; }

  private:
    FakeShape ShapeOf(char32_t code) const {
        if (auto found = shapes_.find(code); found != shapes_.end()) return found->second;
        const int32_t side = std::max(1, metrics_.size / 2);
        return FakeShape{side,
                         side,
                         1,
                         metrics_.ascent - 2,
                         metrics_.size,
                         std::vector<uint8_t>(static_cast<size_t>(side * side), 255)};
    }

    const std::map<char32_t, FakeShape>& shapes_;
    FakeFontLog& log_;
    std::string family_ = "Fake";
    FontMetrics metrics_;
};

class FakeFontEngine final : public FontEngine {
  public:
    [[nodiscard]] std::unique_ptr<Font> Open(std::string_view face, int32_t size,
                                             uint8_t /*style*/) override {
        log.opened.emplace_back(face);
        if (noFonts) return nullptr;
        return std::make_unique<FakeFont>(size, shapes, log);
    }
    std::map<char32_t, FakeShape> shapes;
    FakeFontLog log;
    bool noFonts = false;
};

// A solid shape of full coverage.
inline FakeShape SolidShape(int32_t width, int32_t height, int32_t originX, int32_t originY,
                            int32_t advance) {
    return {width,   height,  originX,
            originY, advance, std::vector<uint8_t>(static_cast<size_t>(width * height), 255)};
}

// A colour surface and its mask of one size, cleared.
struct CellSurfaces {
    CellSurfaces(int32_t width, int32_t height)
        : colour(width, height, 32), mask(width, height, 8) {
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                colour.SetPixel(x, y, 0);
                mask.SetPixel(x, y, 0);
            }
        }
    }
    TDIBX colour;
    TDIBX mask;
};

}  // namespace kivo::text_test
