// Pointer input: hit tests under the ignore-mouse modes, the events a frame's pointer queues,
// capture, the wheel, the right-click list and cursors.

#include "scene/kivo_cabinet.h"
#include "scene_fixture.h"

namespace kivo::test {
namespace {

class InputTest : public SceneTest {
  protected:
    // A box named name covering the scene, with every pointer handler set to "name.ksb".
    TKivoBox& Target(std::string name, TKivoControl* parent = nullptr) {
        TKivoBox& box = Box(name, 0, 0, 16, 12, 0, parent);
        for (Handler handler : {Handler::MouseMove, Handler::MouseIn, Handler::MouseOut,
                                Handler::LeftDown, Handler::LeftUp, Handler::RightDown,
                                Handler::RightUp, Handler::WheelDown, Handler::WheelUp}) {
            box.SetHandlerText(handler, name + ".ksb");
        }
        return box;
    }

    void Press(bool left) {
        root.SetButtonsHeld(left, !left);
        root.SetClicks(left, !left);
        root.InputPass();
    }
    void Release() {
        root.SetButtonsHeld(false, false);
        root.InputPass();
    }
};

TEST_F(InputTest, IgnoreMouseModesDecideWhichInputReachesAnObject) {
    struct Case {
        uint8_t mode;
        bool left, right, hover;
    };
    const Case cases[] = {
        {0, true, true, true},    {1, false, false, false}, {2, false, false, true},
        {3, false, true, true},   {4, true, false, true},   {5, false, false, false},
        {6, false, false, false}, {7, false, false, false}, {200, false, false, false},
    };
    Box("a_under", 0, 0, 8, 8);
    TKivoBox& top = Box("b_top", 2, 2, 4, 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(int{c.mode});
        top.SetIgnoreMouse(c.mode);
        TKivoControl* expectedLeft = c.left ? &top : root.FindControl("a_under");
        TKivoControl* expectedRight = c.right ? &top : root.FindControl("a_under");
        TKivoControl* expectedHover = c.hover ? &top : root.FindControl("a_under");
        EXPECT_EQ(root.ActiveLayer().HitTest(3, 3, kLeftPressModes), expectedLeft);
        EXPECT_EQ(root.ActiveLayer().HitTest(3, 3, kRightPressModes), expectedRight);
        EXPECT_EQ(root.ActiveLayer().HitTest(3, 3, kPointerModes), expectedHover);
    }
    // Outside every box the layer itself is hit.
    EXPECT_EQ(root.ActiveLayer().HitTest(12, 10, kPointerModes), &root.ActiveLayer());
}

TEST_F(InputTest, HitTestsSkipHiddenObjectsCabinetsAndPointsOutsideTheParent) {
    TKivoBox& parent = Box("p", 0, 0, 4, 4);
    TKivoBox& child = Box("c", 2, 2, 6, 6, 0, &parent);
    EXPECT_EQ(root.ActiveLayer().HitTest(3, 3, kPointerModes), &child);
    EXPECT_EQ(root.ActiveLayer().HitTest(6, 6, kPointerModes), &root.ActiveLayer());
    child.SetVisible(false);
    EXPECT_EQ(root.ActiveLayer().HitTest(3, 3, kPointerModes), &parent);
    TKivoCabinet& cabinet = root.Create<TKivoCabinet>();
    cabinet.SetParent(&root.ActiveLayer());
    cabinet.SetBounds(0, 0, 16, 12);
    Box("parked", 0, 0, 16, 12, 0, &cabinet);
    EXPECT_EQ(root.ActiveLayer().HitTest(3, 3, kPointerModes), &parent);
}

TEST_F(InputTest, MovingAcrossObjectsQueuesInOutAndMoveRelativeToTheObject) {
    TKivoBox& a = Target("a");
    a.SetBounds(2, 2, 4, 4);
    TKivoBox& b = Target("b");
    b.SetBounds(8, 2, 4, 4);
    PointerFrame(3, 4);
    PointerFrame(3, 4);  // no move: nothing new
    PointerFrame(4, 5);
    PointerFrame(9, 3);
    PointerFrame(15, 11);
    EXPECT_EQ(Queue(), (std::vector<std::string>{"a:103", "a:34(1,2)", "a:35", "b:103", "b:34(1,1)",
                                                 "b:35"}));
}

TEST_F(InputTest, ButtonAndMoveEventsAreNotQueuedTwice) {
    TKivoBox& a = Target("a");
    PointerFrame(1, 1);
    PointerFrame(2, 2);
    Press(true);
    Release();
    Press(true);
    Release();
    EXPECT_EQ(Queue(), (std::vector<std::string>{"a:103", "a:34(1,1)", "a:36(2,2)", "a:37(2,2)"}));
    // Once the interpreter took them the same events queue again.
    root.Events().Clear();
    Press(true);
    EXPECT_EQ(Queue(), (std::vector<std::string>{"a:36(2,2)"}));
    (void)a;
}

TEST_F(InputTest, PressesAreNotQueuedForPausedBusyOrLayerTargets) {
    PictureControl& paused = root.Create<PictureControl>();
    paused.Rename("paused");
    paused.SetParent(&root.ActiveLayer());
    paused.SetBounds(0, 0, 4, 4);
    paused.paused = true;
    paused.SetHandlerText(Handler::LeftDown, "down.ksb");
    paused.SetHandlerText(Handler::LeftUp, "up.ksb");
    paused.SetHandlerText(Handler::MouseIn, "in.ksb");
    root.ActiveLayer().SetHandlerText(Handler::LeftDown, "layer.ksb");
    root.ActiveLayer().SetHandlerText(Handler::RightDown, "layer.ksb");
    root.SetPointer(1, 1);
    Press(true);
    Release();
    // The press still gave the paused object the capture, so it gets the release.
    EXPECT_EQ(Queue(), (std::vector<std::string>{"paused:103", "paused:37(1,1)"}));
    root.Events().Clear();
    PointerFrame(10, 10);
    Press(true);
    // The layer takes the capture of the press it queued nothing for.
    EXPECT_EQ(root.ActiveLayer().Pointer().capture, kCaptureLeft);
    EXPECT_EQ(root.ActiveLayer().Pointer().hover, root.ActiveLayer().Handle());
    Release();
    Press(false);
    EXPECT_EQ(Queue(), std::vector<std::string>{});
    paused.busy = true;
    paused.paused = false;
    PointerFrame(1, 1);
    Press(true);
    EXPECT_EQ(Queue(), std::vector<std::string>{});
}

TEST_F(InputTest, TheCaptureFollowsThePointerUntilTheButtonIsReleased) {
    Target("a").SetBounds(0, 0, 4, 4);
    Target("b").SetBounds(8, 0, 4, 4);
    PointerFrame(1, 1);
    Press(true);
    EXPECT_EQ(Queue(), (std::vector<std::string>{"a:103", "a:34(1,1)", "a:36(1,1)"}));
    root.Events().Clear();
    PointerFrame(9, 1);  // over b, but a holds the capture
    root.SetButtonsHeld(false, false);
    PointerFrame(10, 2);
    PointerFrame(10, 3);
    EXPECT_EQ(Queue(),
              (std::vector<std::string>{"a:34(9,1)", "a:37(10,2)", "a:35", "b:103", "b:34(2,3)"}));
}

TEST_F(InputTest, RightPressesCaptureLikeLeftOnes) {
    TKivoBox& a = Target("a");
    a.SetIgnoreMouse(3);  // right clicks only
    PointerFrame(1, 1);
    root.Events().Clear();
    Press(false);
    Release();
    Press(true);  // passes through to the layer
    EXPECT_EQ(Queue(), (std::vector<std::string>{"a:38(1,1)", "a:39(1,1)", "a:35"}));
}

TEST_F(InputTest, WheelTurnsGoToTheObjectUnderThePointerWithoutArguments) {
    Target("a");
    PointerFrame(1, 1);
    root.Events().Clear();
    root.SetWheelDown();
    root.SetWheelUp();
    root.InputPass();
    root.SetWheelDown();
    root.InputPass();
    EXPECT_EQ(Queue(), (std::vector<std::string>{"a:40", "a:41"}));
}

TEST_F(InputTest, OnlyTheShownLayerTakesThePointer) {
    Target("back", &root.InactiveLayer());
    Target("front");
    PointerFrame(1, 1);
    root.SetActiveLayer(1);
    PointerFrame(2, 2);
    EXPECT_EQ(Queue(),
              (std::vector<std::string>{"front:103", "front:34(1,1)", "back:103", "back:34(2,2)"}));
    // Both layers kept the pointer, so the flip back finds it where it is.
    EXPECT_EQ(root.Layer(0).Pointer().x, 2);
}

// A menu-like control that closes on a right click anywhere.
class ClosingControl : public TKivoControl {
  public:
    using TKivoControl::TKivoControl;
    bool RightClickScrap() const override { return scrap; }
    bool CloseByRightClick() override {
        ++closes;
        return accept;
    }
    bool scrap = true;
    bool accept = true;
    int closes = 0;
};

TEST_F(InputTest, ARightClickClosesTheFirstEligibleRightClickScrapObject) {
    TKivoBox& under = Target("under");
    auto makeMenu = [&](const char* name) -> ClosingControl& {
        ClosingControl& menu = root.Create<ClosingControl>();
        menu.Rename(name);
        menu.SetParent(&root.ActiveLayer());
        menu.SetBounds(10, 10, 2, 2);
        root.AddRightClickScrap(menu);
        root.AddRightClickScrap(menu);  // no duplicates
        return menu;
    };
    ClosingControl& declining = makeMenu("declining");
    declining.accept = false;
    ClosingControl& ignoring = makeMenu("ignoring");
    ignoring.SetIgnoreMouse(4);
    ClosingControl& hidden = makeMenu("hidden");
    hidden.SetVisible(false);
    ClosingControl& closing = makeMenu("closing");
    PointerFrame(1, 1);
    root.Events().Clear();
    Press(false);
    EXPECT_EQ(Queue(), std::vector<std::string>{});
    EXPECT_EQ(declining.closes, 1);
    EXPECT_EQ(ignoring.closes, 0);
    EXPECT_EQ(hidden.closes, 0);
    EXPECT_EQ(closing.closes, 1);
    // Destroyed objects leave the list.
    root.Destroy(closing);
    root.Destroy(declining);
    Release();
    Press(false);
    EXPECT_EQ(Queue(), (std::vector<std::string>{"under:38(1,1)"}));
    (void)under;
}

TEST_F(InputTest, TheCursorChangesOnlyWhenTheObjectsCursorDiffers) {
    RecordingWindow window;
    TParamCollection variables(&state);
    TKivoBaseList scene(state, &window);
    scene.SetSize(16, 12);
    scene.AttachVariables(variables);
    auto box = [&](const char* name, int32_t left, const char* cursor) {
        TKivoBox& b = scene.Create<TKivoBox>();
        b.Rename(name);
        b.SetParent(&scene.ActiveLayer());
        b.SetBounds(left, 0, 4, 4);
        b.SetCursor(cursor);
    };
    box("hand", 0, "hand.cur");
    box("hand2", 4, "hand.cur");
    box("plain", 8, "");
    for (int32_t x : {1, 2, 5, 9, 13}) {
        scene.SetPointer(x, 1);
        scene.InputPass();
        if (x == 9) variables.cursorName = "game.cur";
    }
    // The plain box first shows the arrow; once the game sets a default cursor, objects
    // without one (the layer too) show it.
    EXPECT_EQ(window.cursors, (std::vector<std::string>{"hand.cur", "", "game.cur"}));
}

}  // namespace
}  // namespace kivo::test
