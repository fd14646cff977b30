// The glyph cache: its key, its size and eviction, the anti-alias levels, blank glyphs and
// placement metrics, the conversion to Unicode, and a machine without fonts.

#include <gtest/gtest.h>

#include <set>

#include "base/error.h"
#include "font_fixture.h"
#include "text/decorate.h"
#include "text/font_pixel_manager.h"
#include "text_fixture.h"

namespace kivo {
namespace {

using text_test::FakeFontEngine;
using text_test::FakeShape;
using text_test::J;
using text_test::SolidShape;

const std::string kFace = J("ＭＳ ゴシック");

TEST(GlyphCache, HoldsTheLast256GlyphsUsedAndEvictsTheLeastRecent) {
    FakeFontEngine engine;
    TFontPixelManager cache(engine);
    // Codes that share buckets (equal low bytes) and codes that do not.
    std::vector<uint32_t> codes;
    for (uint32_t i = 0; i < 257; ++i)
        codes.push_back(0x8240 + (i % 3) * 0x100 + i / 3);
    for (size_t i = 0; i < 256; ++i)
        (void)cache.Fetch(codes[i], kFace, 0, 16);
    EXPECT_EQ(cache.Count(), 256u);
    (void)cache.Fetch(codes[0], kFace, 0, 16);  // a hit makes the first the most recent
    EXPECT_EQ(cache.Hits(), 1u);
    (void)cache.Fetch(codes[256], kFace, 0, 16);
    EXPECT_EQ(cache.Count(), 256u);
    EXPECT_TRUE(cache.Contains(codes[0], kFace, 3, 0, 16));
    EXPECT_FALSE(cache.Contains(codes[1], kFace, 3, 0, 16));
    EXPECT_TRUE(cache.Contains(codes[256], kFace, 3, 0, 16));
    // An evicted glyph is rendered again.
    const size_t rendered = engine.log.rendered.size();
    (void)cache.Fetch(codes[1], kFace, 0, 16);
    EXPECT_EQ(engine.log.rendered.size(), rendered + 1);
    EXPECT_EQ(cache.Misses(), 258u);
}

TEST(GlyphCache, KeysOnCodeFaceLevelStyleAndClampedSize) {
    FakeFontEngine engine;
    TFontPixelManager cache(engine);
    const uint32_t code = 0x8ABF;
    (void)cache.Fetch(code, kFace, 0, 16);
    struct Case {
        const char* name;
        std::string face;
        int32_t level;
        uint8_t style;
        int32_t size;
        bool hit;
    } cases[] = {
        {"same key", kFace, 3, 0, 16, true},
        {"other level", kFace, 2, 0, 16, false},
        {"other style", kFace, 3, kStyleBold, 16, false},
        {"underline only", kFace, 3, kStyleUnderline, 16, false},
        {"faces compare with case", "ms gothic", 3, 0, 16, false},
        {"", "MS Gothic", 3, 0, 16, false},
        {"other size", kFace, 3, 0, 17, false},
        {"sizes held to 512", kFace, 3, 0, 513, false},
        {"", kFace, 3, 0, 100000, true},
        {"and to 1", kFace, 3, 0, 1, false},
        {"", kFace, 3, 0, -5, true},
    };
    for (const Case& c : cases) {
        const uint64_t hits = cache.Hits();
        cache.SetAntiAlias(c.level);
        const TFontPixel& glyph = cache.Fetch(code, c.face, c.style, c.size);
        EXPECT_EQ(cache.Hits() - hits, c.hit ? 1u : 0u) << c.name << " " << c.face << c.size;
        EXPECT_EQ(glyph.antiAlias, c.level) << c.name;
        EXPECT_EQ(glyph.size, std::clamp(c.size, 1, 512)) << c.name;
    }
    // A font per face, size and bold or italic; the underline is drawn from the metrics.
    EXPECT_EQ(std::count(engine.log.opened.begin(), engine.log.opened.end(), "ＭＳ ゴシック"), 5);
}

TEST(GlyphCache, MapsEachLevelThroughItsGreyTable) {
    FakeFontEngine engine;
    // One pixel of every coverage 0..255 the engine may give.
    FakeShape ramp{256, 1, 0, 10, 256, {}};
    for (int v = 0; v < 256; ++v)
        ramp.coverage.push_back(static_cast<uint8_t>(v));
    engine.shapes[U'R'] = ramp;
    TFontPixelManager cache(engine);
    struct Case {
        int32_t level;
        GlyphDepth depth;
        std::set<uint8_t> values;
    } cases[] = {
        {0, GlyphDepth::Mono, {0, 255}},
        {1, GlyphDepth::Gray256, {0, 79, 127, 207, 255}},
        {2,
         GlyphDepth::Gray256,
         {0, 43, 55, 67, 79, 91, 103, 115, 159, 171, 183, 195, 207, 219, 231, 243, 255}},
        // A level the engine has no form for renders 1-bit.
        {7, GlyphDepth::Mono, {0, 255}},
    };
    for (const Case& c : cases) {
        cache.SetAntiAlias(c.level);
        const TFontPixel& glyph = cache.Fetch('R', kFace, 0, 20);
        EXPECT_EQ(engine.log.depths.back(), c.depth) << c.level;
        EXPECT_EQ(std::set<uint8_t>(glyph.coverage.begin(), glyph.coverage.end()), c.values)
            << c.level;
        EXPECT_TRUE(std::is_sorted(glyph.coverage.begin(), glyph.coverage.end())) << c.level;
    }
    // The refused level keys the glyph and leaves the cache at 1-bit until a caller sets one.
    EXPECT_TRUE(cache.Contains('R', kFace, 7, 0, 20));
    EXPECT_EQ(cache.AntiAlias(), 0);

    cache.SetAntiAlias(3);
    const TFontPixel& fine = cache.Fetch('R', kFace, 0, 20);
    std::set<uint8_t> values(fine.coverage.begin(), fine.coverage.end());
    EXPECT_EQ(values.size(), 65u);
    for (uint8_t v : {0, 18, 21, 36, 55, 100, 119, 164, 183, 252, 255})
        EXPECT_TRUE(values.contains(v)) << int{v};
}

TEST(GlyphCache, PlacesTheBitmapFromTheOriginAndAscent) {
    FakeFontEngine engine;
    engine.shapes[U'a'] = SolidShape(4, 6, 3, 5, 10);   // inside its advance
    engine.shapes[U'b'] = SolidShape(9, 6, -2, 40, 8);  // left of the pen, above the ascent
    engine.shapes[U' '] = FakeShape{0, 0, 0, 0, 7, {}};
    TFontPixelManager cache(engine);
    const int32_t ascent = (20 * 1802 + 1024) / 2048;

    const TFontPixel& a = cache.Fetch('a', kFace, 0, 20);
    EXPECT_EQ(a.leftOffset, 3);
    EXPECT_EQ(a.topOffset, ascent - 5);
    EXPECT_EQ(a.rightBearing, 10 - 4 - 3);
    EXPECT_EQ(cache.Ascent(), ascent);

    const TFontPixel& b = cache.Fetch('b', kFace, 0, 20);
    EXPECT_EQ(b.leftOffset, 0);
    EXPECT_EQ(b.topOffset, 0);
    EXPECT_EQ(b.rightBearing, 0);

    const TFontPixel& space = cache.Fetch(' ', kFace, kStyleUnderline, 20);
    EXPECT_FALSE(space.HasBitmap());
    EXPECT_EQ(space.rightBearing, 7);
    EXPECT_EQ(space.underlineThickness, 2);

    const TFontPixel& struck = cache.Fetch('a', kFace, kStyleStrikeOut, 20);
    EXPECT_EQ(struck.strikeoutTop, ascent - 20 / 3);
    EXPECT_EQ(struck.strikeoutThickness, 1);
    EXPECT_EQ(struck.underlineThickness, 0);
}

TEST(GlyphCache, AsksTheEngineInUnicodeAndUtf8) {
    FakeFontEngine engine;
    TFontPixelManager cache(engine);
    struct Case {
        uint32_t code;
        char32_t unicode;
    } cases[] = {
        {0x82A0, U'あ'},     {0x8ABF, U'漢'},   {0xB1, U'ｱ'}, {'A', U'A'},
        {0x815F, U'＼'},     {0x5C, U'\\'},      // the trail byte 0x5C of ソ is no escape
        {0x835C, U'ソ'},     {0x85, U'\uFFFD'},  // a lone byte with no character
        {0x8540, U'\uFFFD'},                     // an unassigned double-byte code
    };
    for (const Case& c : cases) {
        (void)cache.Fetch(c.code, J("ＭＳ 明朝"), 0, 16);
        EXPECT_EQ(engine.log.rendered.back(), c.unicode) << std::hex << c.code;
    }
    EXPECT_EQ(engine.log.opened.front(), "ＭＳ 明朝");
}

TEST(GlyphCache, WithoutAnyFontFetchingFailsAndDrawingDrawsNothing) {
    FakeFontEngine engine;
    engine.noFonts = true;
    TFontPixelManager cache(engine);
    try {
        (void)cache.Fetch('A', kFace, 0, 16);
        FAIL() << "no error";
    } catch (const KivoError& error) {
        EXPECT_EQ(error.Message(), "Error:GetOutlineTextMetrics");
    }
    EXPECT_EQ(cache.Count(), 0u);
    text_test::CellSurfaces s(20, 20);
    CellRequest request;
    request.code = 'A';
    request.face = kFace;
    request.size = 16;
    request.textPixel = 0xFFFFFF;
    request.cell = {0, 0, 16, 16};
    EXPECT_TRUE(cache.DrawCell(request, s.colour, s.mask).IsEmpty());
}

}  // namespace
}  // namespace kivo
