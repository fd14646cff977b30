// The system variables the scene answers, read and written as scripts do.

#include "scene_fixture.h"

namespace kivo::test {
namespace {

class VariablesTest : public SceneTest {
  protected:
    VariablesTest() { root.AttachVariables(variables); }
    ~VariablesTest() override { root.DetachVariables(); }
    TCustomParam& Var(const char* name) { return variables.Find(name)->Value(); }

    TParamCollection variables{&state};
};

TEST_F(VariablesTest, PointerAndButtonsOfTheShownLayer) {
    root.SetPointer(3, 4);
    root.SetButtonsHeld(false, true);
    root.SetClicks(false, true);
    EXPECT_FALSE(Var("@RClick").AsFlag());  // a press counts from the next input pass
    root.InputPass();
    EXPECT_EQ(Var("@MouseX").AsInteger(), 3);
    EXPECT_EQ(Var("@MouseY").AsInteger(), 4);
    EXPECT_TRUE(Var("@RClick").AsFlag());
    EXPECT_FALSE(Var("@LClick").AsFlag());
    EXPECT_TRUE(Var("@RPush").AsFlag());
    EXPECT_FALSE(Var("@LPush").AsFlag());
    Var("@RClick").SetFlag(false);
    EXPECT_FALSE(Var("@RClick").AsFlag());
    Var("@LPush").SetFlag(true);  // read-only
    EXPECT_FALSE(Var("@LPush").AsFlag());
    root.InputPass();
    EXPECT_FALSE(Var("@RClick").AsFlag());
    EXPECT_EQ(Var("@ScrWidth").AsInteger(), 16);
    EXPECT_EQ(Var("@ScrHeight").AsInteger(), 12);
}

TEST_F(VariablesTest, KeyArraysReadKeysPressesRepeatsAndTheWheel) {
    TCustomParam& push = Var("@KeyPush");
    TCustomParam& click = Var("@KeyClick");
    TCustomParam& repeat = Var("@KeyRepeat");
    ASSERT_EQ(push.ElementCount(), kKeyArraySize);
    root.SetKeyDown(VkmSPACE, true);
    root.MarkKeyPressed(VkmSPACE);
    root.SetWheelUp();
    root.InputPass();
    EXPECT_TRUE(push.FlagAt(VkmSPACE));
    EXPECT_TRUE(click.FlagAt(VkmSPACE));
    EXPECT_TRUE(repeat.FlagAt(VkmSPACE));
    EXPECT_FALSE(push.FlagAt(VkmRETURN));
    EXPECT_TRUE(push.FlagAt(VkmWheelUp));
    EXPECT_TRUE(click.FlagAt(VkmWheelUp));
    EXPECT_FALSE(push.FlagAt(VkmWheelDown));
    EXPECT_TRUE(Var("@WheelUp").AsFlag());
    root.InputPass();
    EXPECT_TRUE(push.FlagAt(VkmSPACE));
    EXPECT_FALSE(click.FlagAt(VkmSPACE));
    EXPECT_FALSE(repeat.FlagAt(VkmSPACE));
    EXPECT_FALSE(Var("@WheelUp").AsFlag());
}

TEST_F(VariablesTest, ActiveCompoNamesTheFocusAndMovesItToAnObjectThatCanTakeIt) {
    TKivoBox& a = Box("a", 0, 0, 2, 2);
    TKivoBox& b = Box("b", 2, 0, 2, 2);
    a.SetHandleKey(true);
    b.SetHandleKey(true);
    TKivoBox& plain = Box("plain", 4, 0, 2, 2);
    root.InputPass();
    EXPECT_EQ(Var("@ActiveCompo").AsString(), "b");
    Var("@ActiveCompo").SetString("a");
    EXPECT_EQ(root.FocusedControl(), &a);
    for (const char* refused : {"plain", "nobody", ""}) {
        Var("@ActiveCompo").SetString(refused);
        EXPECT_EQ(root.FocusedControl(), &a) << refused;
    }
    b.SetVisible(false);
    Var("@ActiveCompo").SetString("b");
    EXPECT_EQ(root.FocusedControl(), &a);
    (void)plain;
}

TEST_F(VariablesTest, DisplayVariablesGoToTheWindowWithinTheModeList) {
    EXPECT_FALSE(Var("@FullScr").AsFlag());
    EXPECT_EQ(Var("@DisplayModeCount").AsInteger(), 0);
    EXPECT_EQ(Var("@DisplayModeIndex").AsInteger(), -1);
    Var("@MouseX").SetInteger(5);  // without a window only the scene's pointer moves
    EXPECT_EQ(Var("@MouseX").AsInteger(), 5);

    RecordingWindow window;
    TParamCollection own(&state);
    TKivoBaseList scene(state, &window);
    scene.AttachVariables(own);
    TCustomParam& index = own.Find("@DisplayModeIndex")->Value();
    EXPECT_EQ(own.Find("@DisplayModeCount")->Value().AsInteger(), 3);
    for (int32_t value : {2, 3, -1, 1000, 0})
        index.SetInteger(value);
    EXPECT_EQ(index.AsInteger(), 0);
    index.SetInteger(3);
    EXPECT_EQ(window.modeIndex, 0);
    own.Find("@FullScr")->Value().SetFlag(true);
    EXPECT_TRUE(window.fullScreen);
    own.Find("@MouseY")->Value().SetInteger(7);
    EXPECT_EQ(window.moves, (std::vector<std::pair<int32_t, int32_t>>{{0, 7}}));
    EXPECT_EQ(own.Find("@MouseY")->Value().AsInteger(), 7);
}

TEST_F(VariablesTest, FreeingTheSceneUnregistersItsVariables) {
    TParamCollection own(&state);
    {
        TKivoBaseList scene(state);
        scene.SetSize(40, 30);
        scene.AttachVariables(own);
        EXPECT_EQ(own.Find("@ScrWidth")->Value().AsInteger(), 40);
    }
    EXPECT_EQ(own.Find("@ScrWidth")->Value().AsInteger(), 0);
}

}  // namespace
}  // namespace kivo::test
