// The font engine on the installed IPA fonts (scripts/setup.sh installs them): the alias table,
// one open file per font, the line metrics and advances that keep the original's grid, the
// coverage depths, and bold and italic.

#include "platform/fonts/freetype_font_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace kivo {
namespace {

int64_t Ink(const GlyphBitmap& glyph) {
    int64_t sum = 0;
    for (uint8_t c : glyph.coverage)
        sum += c;
    return sum;
}

// The mean x (from the pen) of the inked pixels of one bitmap row.
double MeanInkX(const GlyphBitmap& glyph, int32_t row) {
    double sum = 0;
    double weight = 0;
    for (int32_t x = 0; x < glyph.width; ++x) {
        const uint8_t c = glyph.coverage[static_cast<size_t>(row * glyph.width + x)];
        sum += c * (glyph.originX + x);
        weight += c;
    }
    return weight > 0 ? sum / weight : -1;
}

TEST(FontEngine, WindowsNamesGoThroughTheAliasTableAndUnknownNamesToTheGothic) {
    FreeTypeFontEngine fixed(FontSet::Fixed);
    FreeTypeFontEngine system(FontSet::System);
    const struct {
        const char* face;
        const char* fixedFamily;
        const char* systemFamily;
    } cases[] = {
        {"ＭＳ ゴシック", "IPAGothic", "IPAGothic"},
        {"ms gothic", "IPAGothic", "IPAGothic"},
        {"ＭＳ Ｐゴシック", "IPAPGothic", "IPAPGothic"},
        {"MS UI Gothic", "IPAPGothic", "IPAPGothic"},
        {"ＭＳ 明朝", "IPAMincho", "IPAMincho"},
        {"MS PMincho", "IPAPMincho", "IPAPMincho"},
        {"IPAPMincho", "IPAPMincho", "IPAPMincho"},
        // An installed family of that very name only in the system set; fontconfig's answer to
        // a name it does not know never counts.
        {"DejaVu Sans", "IPAGothic", "DejaVu Sans"},
        {"No Such Face Anywhere", "IPAGothic", "IPAGothic"},
        {"", "IPAGothic", "IPAGothic"},
    };
    for (const auto& c : cases) {
        const auto inFixed = fixed.Resolve(c.face);
        const auto inSystem = system.Resolve(c.face);
        ASSERT_TRUE(inFixed && inSystem) << c.face;
        EXPECT_EQ(inFixed->family, c.fixedFamily) << c.face;
        EXPECT_EQ(inSystem->family, c.systemFamily) << c.face;
        const auto font = fixed.Open(c.face, 16, 0);
        ASSERT_NE(font, nullptr) << c.face;
        EXPECT_EQ(font->Family(), c.fixedFamily) << c.face;
    }
}

TEST(FontEngine, AConfigurationLoadedInTheBackgroundAnswersAsOneLoadedOnFirstUse) {
    FreeTypeFontEngine background(FontSet::System);
    background.LoadConfigurationInBackground();
    background.LoadConfigurationInBackground();  // a second call changes nothing
    FreeTypeFontEngine onFirstUse(FontSet::System);
    for (const char* face : {"ＭＳ 明朝", "DejaVu Sans", "No Such Face Anywhere"}) {
        const auto loaded = background.Resolve(face);
        const auto expected = onFirstUse.Resolve(face);
        ASSERT_TRUE(loaded && expected) << face;
        EXPECT_EQ(loaded->family, expected->family) << face;
        EXPECT_EQ(loaded->file, expected->file) << face;
    }
    EXPECT_NE(background.Open("ＭＳ ゴシック", 16, 0), nullptr);
    // An engine freed while its configuration still loads waits for it and frees it.
    FreeTypeFontEngine unused(FontSet::System);
    unused.LoadConfigurationInBackground();
}

TEST(FontEngine, OpensEachFontFileOnceWhateverTheSizesAndStyles) {
    FreeTypeFontEngine engine(FontSet::Fixed);
    std::vector<std::unique_ptr<Font>> fonts;
    for (const char* face : {"ＭＳ ゴシック", "MS Gothic", "Unknown"}) {
        for (int32_t size : {12, 16, 24}) {
            for (uint8_t style : {uint8_t{0}, kFontBold, uint8_t(kFontBold | kFontItalic)})
                fonts.push_back(engine.Open(face, size, style));
        }
    }
    EXPECT_EQ(engine.OpenFiles(), 1);
    fonts.push_back(engine.Open("ＭＳ 明朝", 16, 0));
    EXPECT_EQ(engine.OpenFiles(), 2);
    // Fonts on one shared face keep their own sizes.
    EXPECT_EQ(fonts[0]->Advance(U'漢'), 12);
    EXPECT_EQ(fonts[6]->Advance(U'漢'), 24);
    EXPECT_EQ(fonts[0]->Render(U'漢', GlyphDepth::Gray256).advance, 12);
}

TEST(FontEngine, LineMetricsFollowTheSizeAloneAndMonospaceFacesKeepTheGrid) {
    FreeTypeFontEngine engine(FontSet::Fixed);
    const struct {
        int32_t asked;
        int32_t size;
        int32_t ascent;
    } sizes[] = {{16, 16, 14}, {24, 24, 21}, {13, 13, 11},      {9, 9, 8},
                 {0, 1, 1},    {-5, 1, 1},   {100000, 512, 451}};
    for (const auto& s : sizes) {
        for (const char* face : {"ＭＳ ゴシック", "ＭＳ Ｐ明朝"}) {
            const auto font = engine.Open(face, s.asked, 0);
            ASSERT_NE(font, nullptr);
            const FontMetrics& m = font->Metrics();
            EXPECT_EQ(m.size, s.size) << face << ' ' << s.asked;
            EXPECT_EQ(m.ascent, s.ascent) << face << ' ' << s.asked;
            EXPECT_EQ(m.descent, s.size - s.ascent) << face << ' ' << s.asked;
            EXPECT_EQ(m.height, s.size) << face << ' ' << s.asked;
            EXPECT_GE(m.underlineThickness, 1);
            EXPECT_GE(m.strikeoutThickness, 1);
        }
    }

    for (uint8_t style : {uint8_t{0}, kFontBold, kFontItalic}) {
        const auto gothic = engine.Open("ＭＳ ゴシック", 13, style);
        EXPECT_TRUE(gothic->Metrics().monospace);
        EXPECT_EQ(gothic->Advance(U'漢'), 13) << int(style);
        EXPECT_EQ(gothic->Advance(U'あ'), 13) << int(style);
        EXPECT_EQ(gothic->Advance(U'A'), 6) << int(style);
        EXPECT_EQ(gothic->Advance(U'ｱ'), 6) << int(style);  // half-width kana
        EXPECT_EQ(gothic->MeasureUtf8("AB漢"), 25) << int(style);
    }
    const auto proportional = engine.Open("ＭＳ Ｐゴシック", 24, 0);
    EXPECT_FALSE(proportional->Metrics().monospace);
    EXPECT_LT(proportional->Advance(U'i'), proportional->Advance(U'W'));
}

TEST(FontEngine, RendersCoverageAtEveryDepthWithConsistentWidths) {
    FreeTypeFontEngine engine(FontSet::Fixed);
    const auto font = engine.Open("ＭＳ ゴシック", 24, 0);
    for (GlyphDepth depth : {GlyphDepth::Mono, GlyphDepth::Gray5, GlyphDepth::Gray17,
                             GlyphDepth::Gray65, GlyphDepth::Gray256}) {
        const int32_t top = GlyphLevels(depth) - 1;
        // The full block: solid in its middle at every depth.
        const GlyphBitmap block = font->Render(U'■', depth);
        ASSERT_GT(block.width, 4);
        ASSERT_EQ(block.coverage.size(), static_cast<size_t>(block.width * block.height));
        EXPECT_EQ(block.levels, top + 1);
        EXPECT_EQ(
            block.coverage[static_cast<size_t>(block.height / 2 * block.width + block.width / 2)],
            top);
        // A curved character uses the in-between levels only when grey.
        const GlyphBitmap kana = font->Render(U'あ', depth);
        const std::set<uint8_t> values(kana.coverage.begin(), kana.coverage.end());
        EXPECT_LE(*values.rbegin(), top);
        if (depth == GlyphDepth::Mono) {
            EXPECT_EQ(values, (std::set<uint8_t>{0, 1}));
        } else {
            EXPECT_GT(values.size(), 2u) << top;
        }
        for (const GlyphBitmap& g : {block, kana}) {
            EXPECT_EQ(g.advance, 24);
            EXPECT_EQ(g.abcA + g.abcB + g.abcC, g.advance);
            EXPECT_EQ(g.abcB, g.width);
            EXPECT_GT(g.originY, 0);
            EXPECT_LE(g.originY, font->Metrics().ascent + 1);
        }
    }
    // A space has no black box, only its advance.
    const GlyphBitmap space = font->Render(U' ', GlyphDepth::Gray256);
    EXPECT_EQ(space.width, 0);
    EXPECT_EQ(space.height, 0);
    EXPECT_TRUE(space.coverage.empty());
    EXPECT_EQ(space.advance, 12);
    EXPECT_EQ(space.abcC, 12);
}

TEST(FontEngine, BoldThickensAndItalicLeansTheOutline) {
    FreeTypeFontEngine engine(FontSet::Fixed);
    const auto regular = engine.Open("ＭＳ 明朝", 32, 0);
    const auto bold = engine.Open("ＭＳ 明朝", 32, kFontBold);
    const auto italic = engine.Open("ＭＳ 明朝", 32, kFontItalic);
    const GlyphBitmap r = regular->Render(U'漢', GlyphDepth::Gray256);
    const GlyphBitmap b = bold->Render(U'漢', GlyphDepth::Gray256);
    EXPECT_GT(Ink(b), Ink(r) * 11 / 10);
    EXPECT_EQ(b.advance, r.advance);  // the monospace grid holds for bold

    // A vertical bar leans right as it rises: its top row lies right of its bottom row by
    // about 0.2 of its height.
    const GlyphBitmap upright = regular->Render(U'|', GlyphDepth::Gray256);
    const GlyphBitmap leaning = italic->Render(U'|', GlyphDepth::Gray256);
    const double uprightShift = MeanInkX(upright, 0) - MeanInkX(upright, upright.height - 1);
    const double lean = MeanInkX(leaning, 0) - MeanInkX(leaning, leaning.height - 1);
    EXPECT_NEAR(uprightShift, 0.0, 0.5);
    EXPECT_NEAR(lean, 0.2 * (leaning.height - 1), 1.5);
}

}  // namespace
}  // namespace kivo
