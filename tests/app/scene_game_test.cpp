// Small games written in the page text form, played headless end to end: what boxes the
// scripts create, change, move and delete shows in the presented frame pixel for pixel, and
// the pointer, buttons, wheel and keys reach the objects the scene routes them to.

#include "scene_game_fixture.h"

namespace kivo {
namespace {

// Expressions name properties and flip modes by number, as the editor stores them: property 3
// is PR_LEFT, 8 PR_COLOR, 160 PR_PLUSY; flip mode 1 is FL_STAY.

// Fills the page: boxes are made once, then the page waits for ever.
std::string Once(const std::string& commands) {
    return commands + "Label \"idle\"\nWait time={0}\n";
}

TEST_F(SceneGame, BoxesDrawInPriorityOrderWithinTheirParentsAndClipRectangles) {
    Write(Once(
        // b lies over a although made first: higher priority draws later.
        "BoxNew PR_NAME={\"b\"} PR_LEFT={4} PR_TOP={4} PR_WIDTH={6} PR_HEIGHT={6} "
        "PR_COLOR={0x00FF00} PR_PRIORITY={2}\n"
        "BoxNew PR_NAME={\"a\"} PR_LEFT={0} PR_TOP={0} PR_WIDTH={6} PR_HEIGHT={6} "
        "PR_COLOR={0x0000FF} PR_PRIORITY={1}\n"
        // A child reaches beyond its parent only as far as the parent goes.
        "BoxNew PR_NAME={\"p\"} PR_LEFT={12} PR_TOP={0} PR_WIDTH={6} PR_HEIGHT={6} "
        "PR_COLOR={0xFF0000}\n"
        "BoxNew PR_NAME={\"c\"} PR_PARENT={\"p\"} PR_LEFT={3} PR_TOP={3} PR_WIDTH={6} "
        "PR_HEIGHT={6} PR_COLOR={0xFFFFFF}\n"
        // A clip rectangle keeps a 2 x 2 corner of a 6 x 6 box.
        "BoxNew PR_NAME={\"k\"} PR_LEFT={20} PR_TOP={0} PR_WIDTH={6} PR_HEIGHT={6} "
        "PR_COLOR={0x808080} PR_CLIPLEFT={1} PR_CLIPTOP={1} PR_CLIPWIDTH={2} PR_CLIPHEIGHT={2}\n"
        // A hidden parent hides its child.
        "BoxNew PR_NAME={\"h\"} PR_LEFT={0} PR_TOP={10} PR_WIDTH={6} PR_HEIGHT={6} "
        "PR_COLOR={0x0000FF} PR_VISIBLE={FALSE}\n"
        "BoxNew PR_NAME={\"hc\"} PR_PARENT={\"h\"} PR_WIDTH={4} PR_HEIGHT={4} "
        "PR_COLOR={0xFFFFFF}\n"
        // Offset and plus both shift the drawn box.
        "BoxNew PR_NAME={\"o\"} PR_LEFT={10} PR_TOP={10} PR_WIDTH={2} PR_HEIGHT={2} "
        "PR_COLOR={0x00FF00} PR_OFFSETX={3}\n"
        "SetProp object={\"o\"} property={160} value={2}\n"));
    ASSERT_EQ(Play(3), 0);
    EXPECT_EQ(At(1, 1), Pixel(kRed));
    EXPECT_EQ(At(5, 5), Pixel(kGreen));  // the overlap shows b
    EXPECT_EQ(At(9, 9), Pixel(kGreen));
    EXPECT_EQ(At(13, 1), Pixel(kBlue));
    EXPECT_EQ(At(16, 4), Pixel(kWhite));
    EXPECT_EQ(At(18, 4), 0u);  // the child's part outside its parent
    EXPECT_EQ(At(20, 0), 0u);
    EXPECT_EQ(At(21, 1), Pixel(kGrey));
    EXPECT_EQ(At(22, 2), Pixel(kGrey));
    EXPECT_EQ(At(23, 3), 0u);
    EXPECT_EQ(At(1, 11), 0u);
    EXPECT_EQ(At(10, 10), 0u);
    // The offset pulls the box left, the plus pushes it down.
    EXPECT_EQ(At(7, 12), Pixel(kGreen));
    EXPECT_EQ(At(8, 13), Pixel(kGreen));
    EXPECT_EQ(At(9, 12), 0u);
    EXPECT_EQ(At(7, 11), 0u);
}

TEST_F(SceneGame, MovedAndDeletedBoxesLeaveTheLayerBackgroundBehind) {
    for (const bool background : {false, true}) {
        // The layer is named through its box's parent (property 1), the reserved name.
        const std::string layerColour =
            background ? "SetProp object={GetProp(\"m\", 1)} property={8} value={0x808080}\n" : "";
        Write(
            "BoxNew PR_NAME={\"m\"} PR_LEFT={0} PR_TOP={0} PR_WIDTH={4} PR_HEIGHT={4} "
            "PR_COLOR={0x0000FF}\n" +
            layerColour +
            "BoxNew PR_NAME={\"d\"} PR_LEFT={10} PR_TOP={0} PR_WIDTH={4} PR_HEIGHT={4} "
            "PR_COLOR={0x00FF00}\n"
            "Wait time={32}\n"
            "SetProp object={\"m\"} property={3} value={20}\n"
            "ObjDel object={\"d\"}\n" +
            Once(""));
        ASSERT_EQ(Play(8), 0);
        const uint32_t behind = background ? Pixel(kGrey) : 0;
        EXPECT_EQ(At(1, 1), behind) << background;
        EXPECT_EQ(At(11, 1), behind) << background;
        EXPECT_EQ(At(21, 1), Pixel(kRed)) << background;
    }
}

TEST_F(SceneGame, FlipShowsTheOtherLayerWithTheObjectsItMoves) {
    // FL_STAY moves the listed boxes along to the layer shown next; the rest stay behind.
    Write(
        "BoxNew PR_NAME={\"stay\"} PR_WIDTH={4} PR_HEIGHT={4} PR_COLOR={0x0000FF}\n"
        "BoxNew PR_NAME={\"left\"} PR_LEFT={8} PR_WIDTH={4} PR_HEIGHT={4} "
        "PR_COLOR={0x00FF00}\n"
        "VarNew \"before\" type=PT_BOOL value={InPrimary(\"left\")}\n"
        "Flip wipe={0} time={50} mode={1} names=({\"stay\"})\n"
        "VarNew \"after\" type=PT_BOOL value={InPrimary(\"left\")}\n"
        "VarNew \"moved\" type=PT_BOOL value={InPrimary(\"stay\")}\n" +
        Once(""));
    ASSERT_EQ(Play(16), 0);
    EXPECT_EQ(Var("before"), "true");
    EXPECT_EQ(Var("after"), "false");
    EXPECT_EQ(Var("moved"), "true");
    EXPECT_EQ(At(1, 1), Pixel(kRed));
    EXPECT_EQ(At(9, 1), 0u);
}

TEST_F(SceneGame, FlipFadesFromTheOldPictureToTheOtherLayerOverItsTime) {
    // FL_OUT takes "new" (blue) to the other layer and leaves "old" (red) behind; the fade of
    // 320 ms starts timing in the flip's second frame. The frame of elapsed time t shows the
    // old picture with the new one blended over it at weight t x 256 / 320, per channel
    // (old x (255 - w) + new x w) >> 8; after the time the other layer is shown alone.
    Write(
        "BoxNew PR_NAME={\"new\"} PR_WIDTH={32} PR_HEIGHT={16} PR_COLOR={0xFF0000}\n"
        "BoxNew PR_NAME={\"old\"} PR_WIDTH={32} PR_HEIGHT={16} PR_COLOR={0x0000FF}\n"
        "Flip wipe={1} time={320} mode={0} names=({\"old\"})\n"
        "VarNew \"done\" type=PT_BOOL value={InPrimary(\"new\")}\n" +
        Once(""));
    struct Case {
        int64_t frames;
        int32_t elapsed;
    };
    // At elapsed 0 nothing is blended: the old picture shows exactly.
    ASSERT_EQ(Play(2), 0);
    EXPECT_EQ(At(5, 5), Pixel(kRed));
    for (const Case& c : {Case{7, 80}, Case{12, 160}, Case{17, 240}}) {
        ASSERT_EQ(Play(c.frames), 0);
        const uint32_t w = static_cast<uint32_t>(c.elapsed * 256 / 320);
        const uint32_t red = (255 * (255 - w)) >> 8, blue = (255 * w) >> 8;
        EXPECT_EQ(At(5, 5), red << 16 | blue) << c.frames;
        EXPECT_EQ(At(31, 15), red << 16 | blue) << c.frames;
        EXPECT_EQ(Var("done"), "missing");
    }
    ASSERT_EQ(Play(40), 0);
    EXPECT_EQ(At(5, 5), Pixel(kBlue));
    EXPECT_EQ(Var("done"), "true");
}

TEST_F(SceneGame, PointerEventsReachTheObjectUnderThePointerUnlessItIgnoresTheMouse) {
    // "top" lies over "under" but lets clicks through (ignore-mouse mode 1); "under" counts
    // presses, releases and wheel turns and remembers the sender and where it was pressed.
    Write(
        "VarNew \"downs\" type=PT_INT\nVarNew \"ups\" type=PT_INT\n"
        "VarNew \"wheels\" type=PT_INT\nVarNew \"ins\" type=PT_INT\n"
        "VarNew \"outs\" type=PT_INT\nVarNew \"x\" type=PT_INT\n"
        "VarNew \"who\" type=PT_STR\n"
        "BoxNew PR_NAME={\"under\"} PR_LEFT={4} PR_TOP={4} PR_WIDTH={10} PR_HEIGHT={8} "
        "PR_COLOR={0x0000FF} PR_ONLBTNDOWN={\"ev.kss:down\"} PR_ONLBTNUP={\"ev.kss:up\"} "
        "PR_ONWHEELDOWN={\"ev.kss:wheel\"} PR_ONMOUSEIN={\"ev.kss:in\"} "
        "PR_ONMOUSEOUT={\"ev.kss:out\"}\n"
        "BoxNew PR_NAME={\"top\"} PR_LEFT={4} PR_TOP={4} PR_WIDTH={10} PR_HEIGHT={8} "
        "PR_COLOR={-1} PR_IGNOREMOUSE={1} PR_PRIORITY={5}\n"
        "Label \"loop\"\nDoEvent\nJump \"main.ksb\" target=<loop> condition={TRUE}\n",
        32, 16,
        "Label \"down\"\nCalc {downs = downs + 1}\nCalc {who = @Sender}\n"
        "Calc {x = @MouseX}\nExit condition={TRUE}\n"
        "Label \"up\"\nCalc {ups = ups + 1}\nExit condition={TRUE}\n"
        "Label \"wheel\"\nCalc {wheels = wheels + 1}\nExit condition={TRUE}\n"
        "Label \"in\"\nCalc {ins = ins + 1}\nExit condition={TRUE}\n"
        "Label \"out\"\nCalc {outs = outs + 1}\nExit condition={TRUE}\n");
    ASSERT_EQ(Play(20,
                   "2 move 6 6\n3 ldown\n4 lup\n5 wheeldown\n6 move 20 6\n"
                   "8 ldown\n9 lup\n"),
              0);
    EXPECT_EQ(Var("downs"), "1");  // the press outside the box reaches nothing
    EXPECT_EQ(Var("ups"), "1");
    EXPECT_EQ(Var("wheels"), "1");
    EXPECT_EQ(Var("ins"), "1");
    EXPECT_EQ(Var("outs"), "1");
    EXPECT_EQ(Var("who"), "\"under\"");
    EXPECT_EQ(Var("x"), "6");
}

TEST_F(SceneGame, KeysGoToTheFocusedObjectAndRepeatAfterADelay) {
    // Two boxes handle keys; the topmost one takes the focus. Writing @ActiveCompo moves it.
    // A key held from frame 2 to frame 40 (608 ms at 16 ms a frame) presses once, repeats
    // with the press, after 300 ms and then every 50 ms, and is released once.
    Write(
        "VarNew \"downs\" type=PT_INT\nVarNew \"repeats\" type=PT_INT\n"
        "VarNew \"ups\" type=PT_INT\nVarNew \"focus\" type=PT_STR\n"
        "VarNew \"lowUps\" type=PT_INT\n"
        "BoxNew PR_NAME={\"low\"} PR_WIDTH={4} PR_HEIGHT={4} PR_HANDLEKEY={TRUE} "
        "PR_ONKEYUP={\"ev.kss:lowup\"}\n"
        "BoxNew PR_NAME={\"high\"} PR_WIDTH={4} PR_HEIGHT={4} PR_PRIORITY={3} "
        "PR_HANDLEKEY={TRUE} PR_ONKEYDOWN={\"ev.kss:down\"} PR_ONKEYREPEAT={\"ev.kss:rep\"} "
        "PR_ONKEYUP={\"ev.kss:up\"}\n"
        "Label \"loop\"\nDoEvent\n"
        "If {@UpdateCount == 45}\n    Calc {@ActiveCompo = \"low\"}\n"
        "Jump \"main.ksb\" target=<loop> condition={TRUE}\n",
        32, 16,
        "Label \"down\"\nCalc {downs = downs + 1}\nCalc {focus = @ActiveCompo}\n"
        "Exit condition={TRUE}\n"
        "Label \"rep\"\nCalc {repeats = repeats + 1}\nExit condition={TRUE}\n"
        "Label \"up\"\nCalc {ups = ups + 1}\nExit condition={TRUE}\n"
        "Label \"lowup\"\nCalc {lowUps = lowUps + 1}\nExit condition={TRUE}\n");
    ASSERT_EQ(Play(60, "2 keydown 65\n40 keyup 65\n50 keydown 66\n51 keyup 66\n"), 0);
    EXPECT_EQ(Var("downs"), "1");
    EXPECT_EQ(Var("focus"), "\"high\"");
    // The repeat handler runs with the press and then at 300, 350 ... 600 ms.
    EXPECT_EQ(Var("repeats"), "8");
    EXPECT_EQ(Var("ups"), "1");
    EXPECT_EQ(Var("lowUps"), "1");  // the key after the focus moved
}

// Property 50 is PR_TEXT; event handlers read the choice through @SelStr and @SelIndex.
TEST_F(SceneGame, MenusAreChosenByKeysAndByThePointerAndCloseWithTheirEvents) {
    // "keys" opens focused and is chosen with Down, Down, Enter; its closed handler opens
    // "mouse", chosen with a click on its first row; "closer" is closed by MenuClose.
    Write(
        "VarNew \"opened\" type=PT_INT\nVarNew \"closed\" type=PT_INT\n"
        "VarNew \"hovers\" type=PT_INT\nVarNew \"picks\" type=PT_INT\n"
        "VarNew \"lastStr\" type=PT_STR\nVarNew \"lastIndex\" type=PT_INT\n"
        "VarNew \"gone\" type=PT_BOOL\n"
        "Menu PR_NAME={\"keys\"} PR_TEXT={\"yes\\nno\"} PR_ROWCOUNT={2} PR_FONTHEIGHT={10} "
        "PR_HANDLEKEY={TRUE} PR_AUTOSCRAP={TRUE} PR_ONSELECT={\"ev.kss:sel\"} "
        "PR_ONOPENED={\"ev.kss:opened\"} PR_ONCLOSED={\"ev.kss:next\"} "
        "PR_ONMAPIN={\"ev.kss:hover\"}\n"
        "VarNew \"dummy\" type=PT_INT\nCalc {dummy = SetCheck(\"keys\", 1, TRUE)}\n"
        "VarNew \"checked\" type=PT_BOOL value={GetCheck(\"keys\", 1)}\n"
        "VarNew \"far\" type=PT_BOOL value={GetCheck(\"keys\", 7)}\n"
        "VarNew \"found\" type=PT_INT value={IndexOfMenu(\"keys\", \"NO\")}\n"
        "Menu PR_NAME={\"closer\"} PR_LEFT={40} PR_TEXT={\"x\"} PR_DELAY={50} "
        "PR_ONCLOSED={\"ev.kss:closed\"}\n"
        "Label \"loop\"\nDoEvent\n"
        "If {@UpdateCount == 30}\n    MenuClose object={\"closer\"}\n"
        "If {@UpdateCount == 50}\n    Calc {gone = Exists(\"closer\") == FALSE}\n"
        "Jump \"main.ksb\" target=<loop> condition={TRUE}\n",
        64, 32,
        "Label \"opened\"\nCalc {opened = opened + 1}\nExit condition={TRUE}\n"
        "Label \"hover\"\nCalc {hovers = hovers + 1}\nExit condition={TRUE}\n"
        "Label \"sel\"\nCalc {picks = picks + 1}\nCalc {lastStr = @SelStr}\n"
        "Calc {lastIndex = @SelIndex}\n"
        "Exit condition={TRUE}\n"
        "Label \"closed\"\nCalc {closed = closed + 1}\nExit condition={TRUE}\n"
        "Label \"next\"\nCalc {closed = closed + 1}\n"
        "Menu PR_NAME={\"mouse\"} PR_TOP={10} PR_TEXT={\"left\\nright\"} PR_ROWCOUNT={2} "
        "PR_FONTHEIGHT={10} PR_MARGINX={8} PR_AUTOSCRAP={TRUE} PR_ONSELECT={\"ev.kss:sel\"}\n"
        "Exit condition={TRUE}\n");
    ASSERT_EQ(Play(60,
                   "5 keydown 40\n6 keyup 40\n8 keydown 40\n9 keyup 40\n"
                   "11 keydown 13\n12 keyup 13\n20 move 2 12\n21 ldown\n22 lup\n"),
              0);
    EXPECT_EQ(Var("opened"), "1");
    EXPECT_EQ(Var("hovers"), "2");
    EXPECT_EQ(Var("picks"), "2");
    EXPECT_EQ(Var("lastStr"), "\"left\"");
    EXPECT_EQ(Var("lastIndex"), "0");
    EXPECT_EQ(Var("closed"), "2");
    EXPECT_EQ(Var("gone"), "true");
    // Check marks by item, and items found by their text without regard to case.
    EXPECT_EQ(Var("checked"), "true");
    EXPECT_EQ(Var("far"), "false");
    EXPECT_EQ(Var("found"), "1");
}

TEST_F(SceneGame, ButtonsNotifyOnAReleaseOverThemAndOnEnterWhileFocused) {
    Write(
        "VarNew \"clicks\" type=PT_INT\nVarNew \"downs\" type=PT_INT\n"
        "Button PR_NAME={\"go\"} PR_LEFT={4} PR_TOP={4} PR_WIDTH={8} PR_HEIGHT={6} "
        "PR_HANDLEKEY={TRUE} PR_ONNOTIFY={\"ev.kss:click\"} PR_ONLBTNDOWN={\"ev.kss:down\"}\n"
        "Label \"loop\"\nDoEvent\nJump \"main.ksb\" target=<loop> condition={TRUE}\n",
        32, 16,
        "Label \"click\"\nCalc {clicks = clicks + 1}\nExit condition={TRUE}\n"
        "Label \"down\"\nCalc {downs = downs + 1}\nExit condition={TRUE}\n");
    // A click over it, a press dragged off before the release, then Enter.
    ASSERT_EQ(Play(30,
                   "3 move 6 6\n4 ldown\n5 lup\n8 ldown\n9 move 20 12\n10 lup\n"
                   "14 keydown 13\n15 keyup 13\n"),
              0);
    EXPECT_EQ(Var("clicks"), "2");
    EXPECT_EQ(Var("downs"), "0");  // the button takes its presses
}

}  // namespace
}  // namespace kivo

namespace kivo {
namespace {

TEST_F(SceneGame, CoordinatesConvertBetweenThePanelAndAnObjectThatMoves) {
    // "c" lies at (5, 7) inside "p", which starts at (30, 20) and then moves to (40, 60).
    Write(
        "BoxNew PR_NAME={\"p\"} PR_LEFT={30} PR_TOP={20} PR_WIDTH={50} PR_HEIGHT={50}\n"
        "BoxNew PR_NAME={\"c\"} PR_PARENT={\"p\"} PR_LEFT={5} PR_TOP={7} PR_WIDTH={4} "
        "PR_HEIGHT={4}\n"
        "Timer PR_NAME={\"t\"}\n"
        "VarNew \"cx\" type=PT_INT value={ToClientX(\"c\", 100)}\n"
        "VarNew \"cy\" type=PT_INT value={ToClientY(\"c\", 100)}\n"
        "VarNew \"sx\" type=PT_INT value={ToScreenX(\"c\", 1)}\n"
        "VarNew \"sy\" type=PT_INT value={ToScreenY(\"c\", 1)}\n"
        "SetProp object={\"p\"} property={3} value={40}\n"
        "SetProp object={\"p\"} property={4} value={60}\n"
        "VarNew \"movedX\" type=PT_INT value={ToClientX(\"c\", 100)}\n"
        "VarNew \"movedY\" type=PT_INT value={ToScreenY(\"c\", 1)}\n"
        "VarNew \"missing\" type=PT_INT value={ToClientX(\"nobody\", 100)}\n"
        "VarNew \"component\" type=PT_INT value={ToScreenY(\"t\", 100)}\n" +
        Once(""));
    ASSERT_EQ(Play(4), 0);
    EXPECT_EQ(Var("cx"), "65");
    EXPECT_EQ(Var("cy"), "73");
    EXPECT_EQ(Var("sx"), "36");
    EXPECT_EQ(Var("sy"), "28");
    EXPECT_EQ(Var("movedX"), "55");
    EXPECT_EQ(Var("movedY"), "68");
    EXPECT_EQ(Var("missing"), "100");
    EXPECT_EQ(Var("component"), "100");
}

}  // namespace
}  // namespace kivo
