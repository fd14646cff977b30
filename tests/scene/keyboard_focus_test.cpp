// Keys and focus: repeat timing, the events of the focused object, where the focus goes and
// what the window losing the focus forgets.

#include "scene_fixture.h"

namespace kivo::test {
namespace {

class KeyboardFocusTest : public SceneTest {
  protected:
    TKivoBox& KeyBox(std::string name, int32_t left = 0) {
        TKivoBox& box = Box(name, left, 0, 4, 4);
        box.SetHandleKey(true);
        for (Handler handler : {Handler::KeyDown, Handler::KeyUp, Handler::KeyRepeat,
                                Handler::FocusIn, Handler::FocusOut}) {
            box.SetHandlerText(handler, name + ".ksb");
        }
        return box;
    }
    // One frame: the input pass, then the interpreter takes every queued event.
    std::vector<std::string> Frame() {
        root.InputPass();
        std::vector<std::string> taken = Queue();
        root.Events().Clear();
        return taken;
    }
};

TEST_F(KeyboardFocusTest, AHeldKeyRepeatsAfter300msThenEvery50ms) {
    state.frameDelta = 10;
    KeyBox("k");
    ASSERT_EQ(Frame(), (std::vector<std::string>{"k:148"}));
    root.SetKeyDown(VkmA, true);
    root.MarkKeyPressed(VkmA);
    std::vector<std::pair<int, std::vector<std::string>>> events;
    std::vector<int> repeatFrames, clickFrames;
    for (int frame = 0; frame < 44; ++frame) {
        if (frame == 42) root.SetKeyDown(VkmA, false);
        std::vector<std::string> taken = Frame();
        if (!taken.empty()) events.emplace_back(frame, taken);
        if (root.Keys().Repeating(VkmA)) repeatFrames.push_back(frame);
        if (root.Keys().PressedThisFrame(VkmA)) clickFrames.push_back(frame);
    }
    using Events = std::vector<std::string>;
    EXPECT_EQ(events, (std::vector<std::pair<int, Events>>{{0, {"k:144", "k:146"}},
                                                           {30, {"k:146"}},
                                                           {35, {"k:146"}},
                                                           {40, {"k:146"}},
                                                           {42, {"k:145"}}}));
    EXPECT_EQ(repeatFrames, (std::vector<int>{0, 30, 35, 40}));
    EXPECT_EQ(clickFrames, (std::vector<int>{0}));
}

TEST_F(KeyboardFocusTest, KeysQueueNothingWithoutAFocusThatHandlesKeys) {
    TKivoBox& box = KeyBox("k");
    (void)Frame();
    box.SetHandleKey(false);
    root.SetKeyDown(VkmA, true);
    EXPECT_EQ(Frame(), std::vector<std::string>{});
    box.SetHandleKey(true);
    // The edges of a frame without a key handler are gone by the next one.
    EXPECT_EQ(Frame(), std::vector<std::string>{});
    root.Destroy(box);
    root.SetKeyDown(VkmA, false);
    EXPECT_EQ(Frame(), std::vector<std::string>{});
}

TEST_F(KeyboardFocusTest, TheFocusGoesToTheTopmostCandidateOfTheShownLayer) {
    KeyBox("a");
    TKivoBox& b = KeyBox("b", 4);
    KeyBox("other", 8).SetParent(&root.InactiveLayer());
    EXPECT_EQ(Frame(), (std::vector<std::string>{"b:148"}));
    // Hiding the focus sends it to the next candidate.
    b.SetVisible(false);
    EXPECT_EQ(Frame(), (std::vector<std::string>{"b:149", "a:148"}));
    // A flip takes it to the other layer's candidate.
    root.SetActiveLayer(1);
    EXPECT_EQ(Frame(), (std::vector<std::string>{"a:149", "other:148"}));
    // A destroyed focus queues nothing; the next candidate gets it.
    root.Destroy(*root.FindComponent("other"));
    EXPECT_EQ(root.FocusedControl(), nullptr);
    EXPECT_EQ(Frame(), std::vector<std::string>{});
    root.SetActiveLayer(0);
    EXPECT_EQ(Frame(), (std::vector<std::string>{"a:148"}));
}

TEST_F(KeyboardFocusTest, ClickingAKeyHandlerFocusesItUnlessItIsPaused) {
    KeyBox("a");
    PictureControl& paused = root.Create<PictureControl>();
    paused.Rename("p");
    paused.SetParent(&root.ActiveLayer());
    paused.SetBounds(4, 0, 4, 4);
    paused.SetHandleKey(true);
    paused.paused = true;
    KeyBox("c", 8);
    (void)Frame();
    ASSERT_EQ(root.FocusedControl()->Name(), "c");
    for (auto [x, expected] : {std::pair{1, "a"}, {5, "a"}, {9, "c"}}) {
        root.SetPointer(x, 1);
        root.SetButtonsHeld(true, false);
        root.SetClicks(true, false);
        (void)Frame();
        root.SetButtonsHeld(false, false);
        (void)Frame();
        EXPECT_EQ(root.FocusedControl()->Name(), expected);
    }
}

TEST_F(KeyboardFocusTest, ABusyFocusQueuesNoFocusOut) {
    PictureControl& busy = root.Create<PictureControl>();
    busy.Rename("busy");
    busy.SetHandlerText(Handler::FocusOut, "out.ksb");
    TKivoBox& next = KeyBox("next");
    root.SetFocus(&busy);
    busy.busy = true;
    root.SetFocus(&next);
    EXPECT_EQ(Queue(), (std::vector<std::string>{"next:148"}));
}

TEST_F(KeyboardFocusTest, LosingTheWindowFocusForgetsKeysButtonsAndCaptureSilently) {
    TKivoBox& box = KeyBox("k");
    box.SetHandlerText(Handler::LeftUp, "up.ksb");
    (void)Frame();
    root.SetKeyDown(VkmA, true);
    root.SetPointer(1, 1);
    root.SetButtonsHeld(true, false);
    root.SetClicks(true, false);
    root.SetWheelDown();
    (void)Frame();
    root.SetKeyDown(VkmB, true);
    root.FocusLost();
    state.frameDelta = 400;
    EXPECT_EQ(Frame(), std::vector<std::string>{});
    EXPECT_FALSE(root.Keys().Down(VkmA));
    EXPECT_EQ(root.ActiveLayer().Pointer().capture, 0);
    // A key pressed again after the focus came back starts from scratch.
    root.SetKeyDown(VkmA, true);
    EXPECT_EQ(Frame(), (std::vector<std::string>{"k:144", "k:146"}));
}

TEST_F(KeyboardFocusTest, KeyCodesOutsideTheTableAreIgnored) {
    for (int32_t key : {-1, 256, 100000}) {
        root.SetKeyDown(key, true);
        root.MarkKeyPressed(key);
        EXPECT_FALSE(root.Keys().Down(key));
    }
}

}  // namespace
}  // namespace kivo::test
