// Labels and CG labels: the text rules, layout geometry, exact pixels of the unrotated,
// zoomed and rotated draws, the rotated hit test, the cell choice of picture fonts and the
// save records.

#include "base/sjis.h"
#include "picture_fixture.h"
#include "scene/kivo_cg_label.h"
#include "scene/kivo_label.h"
#include "scene_fixture.h"
#include "text/font_fixture.h"
#include "text/font_pixel_manager.h"
#include "text/tp_label_list.h"
#include "text/tp_word.h"

namespace kivo::test {
namespace {

constexpr int32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

class LabelTest : public SceneTest {
  protected:
    LabelTest() {
        root.SetSize(16, 12);
        root.ActiveLayer().SetColor(0);
        // At size 4 the ascent is 4 (rounded from 3.5), so a block of height 4 with its origin
        // at the ascent fills its whole cell; '#' is 2 wide, 'w' 3 wide, ' ' blank.
        engine.shapes[U'#'] = text_test::SolidShape(2, 4, 0, 4, 2);
        engine.shapes[U'w'] = text_test::SolidShape(3, 4, 0, 4, 3);
        engine.shapes[U' '] = text_test::FakeShape{0, 0, 0, 0, 2, {}};
        root.SetGlyphs(&glyphs);
    }

    TKivoLabel& Label(const std::string& text, int32_t left = 1, int32_t top = 1) {
        TKivoLabel& label = root.Create<TKivoLabel>();
        label.Rename("label");
        label.SetParent(&root.ActiveLayer());
        label.SetFontSize(4);
        label.SetFontColor(kRed);
        label.SetLeft(left);
        label.SetTop(top);
        label.SetText(text);
        return label;
    }

    // The scene drawn as rows of '#' (anything lit) and '.' (black). A full-coverage fill
    // lands a step short of the full colour, so lit pixels are not matched exactly.
    std::vector<std::string> Lit() {
        std::vector<TRect> dirty;
        (void)root.Draw(dirty);
        root.ClearDirty();
        const TDIBX& back = root.BackBuffer();
        std::vector<std::string> rows;
        for (int32_t y = 0; y < back.Height(); ++y) {
            std::string row;
            for (int32_t x = 0; x < back.Width(); ++x)
                row += back.GetPixel(x, y) == back.ColorToPixel(0) ? '.' : '#';
            rows.push_back(row);
        }
        return rows;
    }

    text_test::FakeFontEngine engine;
    TFontPixelManager glyphs{engine};
};

TEST_F(LabelTest, TextIsSplitAndJoinedByItsRules) {
    struct Case {
        const char* name;
        std::string written;
        std::vector<std::string> lines;
        std::string read;
    };
    const Case cases[] = {
        {"a trailing break adds no line", "A\r\n", {"A"}, "A"},
        {"one empty last line is dropped", "A\r\n\r\n", {"A"}, "A"},
        {"only one is dropped", "A\r\n\r\n\r\n", {"A", ""}, "A\r\n"},
        {"CR, LF and CR LF all break", "a\rb\nc\r\nd", {"a", "b", "c", "d"}, "a\r\nb\r\nc\r\nd"},
        {"an inner empty line stays", "a\n\nb", {"a", "", "b"}, "a\r\n\r\nb"},
        {"a trail byte 0x5C is no break", "\x83\x5C\r\n", {"\x83\x5C"}, "\x83\x5C"},
        {"empty", "", {}, ""},
    };
    for (const Case& c : cases) {
        TKivoLabel& label = root.Create<TKivoLabel>();
        WriteProperty(label, PR_TEXT, c.written);
        EXPECT_EQ(label.Lines(), c.lines) << c.name;
        EXPECT_EQ(std::get<std::string>(ReadProperty(label, PR_TEXT)), c.read) << c.name;
    }
}

TEST_F(LabelTest, DefaultsAreThoseOfANewCaption) {
    TKivoLabel& label = root.Create<TKivoLabel>();
    EXPECT_EQ(label.FontName(), kPGothicFace);
    EXPECT_EQ(label.FontSize(), 12);
    EXPECT_EQ(label.Alpha(), 255);
    EXPECT_EQ(label.ZoomX(), 256);
    EXPECT_EQ(label.ZoomY(), 256);
    EXPECT_EQ(std::get<int32_t>(ReadProperty(label, PR_COMPOTYPE)), 9);
    EXPECT_EQ(label.Kind(), LT_LABEL);
}

TEST_F(LabelTest, LayoutSizesTheTextByAdvancesAndLineSpace) {
    TKivoLabel& label = Label("##\r\nw");
    EXPECT_EQ(label.ContentWidth(), 4);
    EXPECT_EQ(label.ContentHeight(), 8);
    label.SetFontSize(12);
    label.SetLineSpace(4);
    // (12 + 4) x 2: the space follows the last line too.
    EXPECT_EQ(label.ContentHeight(), 32);
    label.SetZoomX(512);
    label.SetZoomY(128);
    EXPECT_EQ(label.Width(), label.ContentWidth() * 2);
    EXPECT_EQ(label.Height(), 16);
    label.SetZoomY(-5);
    EXPECT_EQ(label.ZoomY(), 1);
    // A negative spacing that outweighs the size leaves the label empty instead of making a
    // surface of negative height.
    label.SetLineSpace(-40);
    EXPECT_EQ(label.ContentHeight(), 0);
    EXPECT_TRUE(label.ColourSurface().IsEmpty());
}

TEST_F(LabelTest, AnEmptyFontNameDrawsWithTheGothicFace) {
    TKivoLabel& label = Label("#");
    label.SetFontName("");
    EXPECT_EQ(std::get<std::string>(ReadProperty(label, PR_FONTNAME)), "");
    ASSERT_FALSE(engine.log.opened.empty());
    EXPECT_EQ(engine.log.opened.back(), sjis::ToUtf8(kGothicFace));
}

TEST_F(LabelTest, AlignmentPlacesEachLineInTheWidestOne) {
    // Line 1 is 6 wide ("###"), line 2 is 2 ("#"): its offset shows in its line rectangle.
    struct Case {
        int32_t align;
        int32_t left;
    };
    for (const Case c : {Case{0, 0}, Case{1, 2}, Case{2, 4}, Case{5, 4}}) {
        TKivoLabel& label = Label("###\n#");
        label.SetHAlign(c.align);
        ASSERT_EQ(label.LineRects().size(), 2u);
        EXPECT_EQ(label.LineRects()[1], (TRect{c.left, 4, c.left + 2, 8})) << c.align;
        root.Destroy(label);
    }
}

TEST_F(LabelTest, DrawsItsTextAtOneToOneAndClearsItWhenTheTextGoes) {
    TKivoLabel& label = Label("# #");
    EXPECT_EQ(Lit(), (std::vector<std::string>{
                         "................",
                         ".##..##.........",
                         ".##..##.........",
                         ".##..##.........",
                         ".##..##.........",
                         "................",
                         "................",
                         "................",
                         "................",
                         "................",
                         "................",
                         "................",
                     }));
    // Flips are ignored at 1:1.
    label.SetFlipH(true);
    label.SetText("");
    EXPECT_EQ(Lit(), std::vector<std::string>(12, "................"));
}

TEST_F(LabelTest, ZoomedDrawsStretchTheText) {
    TKivoLabel& label = Label("#");
    label.SetZoomX(512);
    label.SetZoomY(512);
    const std::vector<std::string> picture = Lit();
    EXPECT_EQ(picture[1], ".####...........");
    EXPECT_GE(root.BackBuffer().GetPixel(4, 8) >> 16 & 0xFF, 0xFEu);
    EXPECT_EQ(picture[8], ".####...........");
    EXPECT_EQ(picture[9], "................");
    // Additive alpha beyond 511 saturates rather than wrapping to a faint amount.
    label.SetFontColor(0x000080);
    label.SetAlpha(900);
    (void)Lit();
    const uint32_t red = root.BackBuffer().GetPixel(1, 1) >> 16 & 0xFF;
    EXPECT_GE(red, 0x7Eu);
}

TEST_F(LabelTest, ANewTextLeavesNoColourOfTheOldOneInTheSurface) {
    TKivoLabel& label = Label("# ");
    ASSERT_NE(label.ColourSurface().GetPixel(0, 0), 0u);
    label.SetText(" #");  // the same size: the surface is kept
    EXPECT_EQ(label.ColourSurface().GetPixel(0, 0), 0u);
    EXPECT_EQ(label.MaskSurface().GetPixel(0, 0), 0u);
}

TEST_F(LabelTest, TheAngleCountsOnlyItsLowByte) {
    TKivoLabel& label = Label("w", 4, 4);
    label.SetAngle(0);
    const std::vector<std::string> upright = Picture();
    label.SetAngle(256);
    EXPECT_EQ(Picture(), upright);
    label.SetAngle(64);
    const std::vector<std::string> quarter = Picture();
    EXPECT_NE(quarter, upright);
    label.SetAngle(320);
    EXPECT_EQ(Picture(), quarter);
    // A quarter turn lays the text, taller than wide, on its side.
    const TRect box = label.LabelBounds();
    EXPECT_GT(box.Width(), box.Height());
}

TEST_F(LabelTest, ARotatedLabelIsHitWhereItsTurnedBackPointFalls) {
    TKivoLabel& label = Label("w", 4, 4);  // 3 x 4 at (4, 4)
    label.SetIgnoreMouse(0);
    EXPECT_EQ(label.HitTest(6, 7, kPointerModes), &label);
    EXPECT_EQ(label.HitTest(7, 7, kPointerModes), nullptr);
    // A half turn about the anchor (4, 4) turns (x, y) back to (8 - x, 8 - y), which must lie
    // inside the rotated box: (2, 2) lies in the box, but its turned-back point does not.
    label.SetAngle(128);
    const TRect box = label.LabelBounds();
    ASSERT_TRUE(box.Contains(2, 2));
    ASSERT_FALSE(box.Contains(6, 6));
    EXPECT_EQ(label.HitTest(2, 2, kPointerModes), nullptr);
    EXPECT_EQ(label.HitTest(4, 4, kPointerModes), &label);
    EXPECT_EQ(label.HitTest(7, 7, kPointerModes), &label);
}

TEST_F(LabelTest, TheSaveRecordRestoresTextStyleAndZoom) {
    TKivoLabel& label = Label("#\r\nw");
    label.SetAlpha(200);
    label.SetHAlign(2);
    label.SetFlipV(true);
    label.SetAngle(3);
    label.SetZoomX(512);
    label.SetZoomY(768);
    label.SetIdleHandler("idle.ksb");
    label.SetPlayEndHandler("end.ksb");
    label.SetRepeat(true);
    ByteWriter writer;
    root.Save(writer);
    const std::vector<uint8_t> bytes = writer.Take();

    TKivoBaseList loaded(state);
    loaded.SetGlyphs(&glyphs);
    ByteReader reader(bytes, "save.dat");
    loaded.Load(reader, kSaveVersionCurrent);
    auto* copy = dynamic_cast<TKivoLabel*>(loaded.FindComponent("label"));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Lines(), label.Lines());
    EXPECT_EQ(copy->FontColor(), kRed);
    EXPECT_EQ(copy->HAlign(), 2);
    EXPECT_TRUE(copy->FlipV());
    EXPECT_EQ(copy->Angle(), 3);
    EXPECT_EQ(copy->IdleHandler(), "idle.ksb");
    EXPECT_TRUE(copy->Repeat());
    // The zoom y of the record sizes the loaded label at once.
    EXPECT_EQ(copy->Height(), label.ContentHeight() * 3);
    EXPECT_EQ(copy->Width(), label.ContentWidth() * 2);
    ByteWriter again;
    loaded.Save(again);
    EXPECT_EQ(again.Take(), bytes);
}

class CGLabelTest : public SceneTest {
  protected:
    CGLabelTest() {
        root.SetSize(64, 40);
        root.ActiveLayer().SetColor(0);
        // Ten cells of 4 x 4 in a row, each its own colour; only the ones drawn below matter.
        pictures.specs["digits.gal"] = {
            40, 4, {{kRed, kGreen, kBlue, kWhite, kRed, kGreen, kBlue, kWhite, kRed, kGreen}}};
        root.SetPictures(&pictures);
    }

    TKivoCGLabel& CGLabel(const std::string& text, const std::string& map = "0123456789") {
        TKivoCGLabel& label = root.Create<TKivoCGLabel>();
        label.Rename("cg");
        label.SetParent(&root.ActiveLayer());
        label.SetSource("digits.gal");
        label.SetMapText(map);
        label.SetGlyphWidth(4);
        label.SetGlyphHeight(4);
        label.SetAlpha(255);
        label.SetText(text);
        return label;
    }

    std::string Row(int32_t y) { return Picture()[static_cast<size_t>(y)].substr(0, 16); }

    SolidPictures pictures;
};

TEST_F(CGLabelTest, CharactersPickTheirCellsAndMissingOnesLeaveBlanks) {
    TKivoCGLabel& label = CGLabel("12");
    EXPECT_EQ(Row(0), "GGGGBBBB........");
    label.SetText("1x2");
    EXPECT_EQ(label.Width(), 12);
    EXPECT_EQ(Row(3), "GGGG....BBBB....");
    // Cell 9 is the last; a map longer than the sheet points past it and draws nothing.
    label.SetMapText("0123456789ab");
    label.SetText("9b9");
    EXPECT_EQ(Row(0), "GGGG....GGGG....");
}

TEST_F(CGLabelTest, TheMapIsCountedInCharactersSoATrailByteNeverMatches) {
    // "\x83\x41" is one character whose trail byte is 'A': 'A' is the map's third character.
    TKivoCGLabel& label = CGLabel("A\x83\x41",
                                  "\x83\x41"
                                  "ZA");
    ASSERT_EQ(label.Cells().size(), 1u);
    EXPECT_EQ(label.Cells()[0], (std::vector<int32_t>{2, 0}));
    EXPECT_EQ(Row(0), "BBBBRRRR........");
}

TEST_F(CGLabelTest, SizeAlignmentAndAlphaFollowTheirRules) {
    TKivoCGLabel& label = CGLabel("1\r\n22\r\n3");
    label.SetGlyphHeight(20);
    label.SetLineSpace(4);
    EXPECT_EQ(label.Height(), 68);
    EXPECT_EQ(label.Width(), 8);
    label.SetGlyphHeight(0);
    EXPECT_EQ(label.GlyphHeight(), 1);
    label.SetGlyphHeight(4);
    label.SetLineSpace(0);
    label.SetHAlign(2);
    EXPECT_EQ(Row(0), "....GGGG........");
    label.SetHAlign(1);
    EXPECT_EQ(Row(8), "..WWWW..........");
    label.SetAlpha(0);
    EXPECT_EQ(Row(0), "................");
    label.SetText("");
    EXPECT_EQ(label.Width(), 0);
    EXPECT_EQ(label.Height(), 0);
}

TEST_F(CGLabelTest, AMissingSheetDrawsNothingAndReadsNoSize) {
    TKivoCGLabel& label = CGLabel("12");
    label.SetSource("missing.gal");
    EXPECT_EQ(std::get<int32_t>(ReadProperty(label, PR_ORIGWIDTH)), 0);
    EXPECT_EQ(Row(0), "................");
    label.SetSource("digits.gal");
    EXPECT_EQ(std::get<int32_t>(ReadProperty(label, PR_ORIGWIDTH)), 40);
    label.SetPaused(true);
    EXPECT_FALSE(std::get<bool>(ReadProperty(label, PR_PLAYING)));
}

TEST_F(CGLabelTest, TheSaveRecordRebuildsCellsAndSize) {
    TKivoCGLabel& label = CGLabel("2\n31");
    label.SetHAlign(1);
    label.SetIdleHandler("idle.ksb");
    std::unique_ptr<TKivoBaseList> loaded = RoundTrip(root, state, pictures);
    auto* copy = dynamic_cast<TKivoCGLabel*>(loaded->FindComponent("cg"));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Cells(), label.Cells());
    EXPECT_EQ(copy->Width(), 8);
    EXPECT_EQ(copy->Height(), 8);
    EXPECT_EQ(copy->IdleHandler(), "idle.ksb");
    EXPECT_EQ(std::get<int32_t>(ReadProperty(*copy, PR_ORIGWIDTH)), 40);
}

}  // namespace
}  // namespace kivo::test
