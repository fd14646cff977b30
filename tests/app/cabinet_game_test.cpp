// Cabinets played end to end: SaveCabinet parks children of the layer not shown, LoadCabinet
// brings them back, and a cabinet left empty is gone.

#include "scene_game_fixture.h"

namespace kivo {
namespace {

// Flip mode 1 (FL_STAY) with a list naming nothing shows the other layer and moves nothing.
constexpr const char* kFlipAlone = "Flip wipe={0} time={16} mode={1} names=({\"none\"})\n";

TEST_F(SceneGame, CabinetsParkObjectsOfTheHiddenLayerAndGiveThemBack) {
    Write(std::string("BoxNew PR_NAME={\"a\"} PR_WIDTH={4} PR_HEIGHT={4} PR_COLOR={0x0000FF}\n"
                      "BoxNew PR_NAME={\"b\"} PR_LEFT={8} PR_WIDTH={4} PR_HEIGHT={4} "
                      "PR_COLOR={0x00FF00}\n") +
          // Layer 1 is shown; a and b stay behind on layer 0, where a is put away.
          kFlipAlone +
          "SaveCabinet PR_NAME={\"cab\"} exclude={FALSE} names=({\"a\"})\n"
          "VarNew \"cabinet\" type=PT_BOOL value={Exists(\"cab\")}\n" +
          kFlipAlone +
          // Back on layer 0 b shows, a stays parked.
          "VarNew \"aShown\" type=PT_BOOL value={InPrimary(\"a\")}\n"
          "VarNew \"bShown\" type=PT_BOOL value={InPrimary(\"b\")}\n"
          // Layer 1 is empty: nothing goes in, and the cabinet made for it is gone at once.
          "SaveCabinet PR_NAME={\"empty\"} exclude={TRUE} names=()\n"
          "VarNew \"emptyLeft\" type=PT_BOOL value={Exists(\"empty\")}\n"
          // Every child of cab goes to layer 1, and cab, empty, goes too.
          "LoadCabinet PR_NAME={\"cab\"} exclude={TRUE} names=()\n"
          "VarNew \"cabinetLeft\" type=PT_BOOL value={Exists(\"cab\")}\n" +
          kFlipAlone + "VarNew \"aBack\" type=PT_BOOL value={InPrimary(\"a\")}\n" +
          "Label \"idle\"\nWait time={0}\n");
    ASSERT_EQ(Play(20), 0);
    EXPECT_EQ(Var("cabinet"), "true");
    EXPECT_EQ(Var("aShown"), "false");
    EXPECT_EQ(Var("bShown"), "true");
    EXPECT_EQ(Var("emptyLeft"), "false");
    EXPECT_EQ(Var("cabinetLeft"), "false");
    EXPECT_EQ(Var("aBack"), "true");
    // Layer 1 shows a, back from the cabinet; b stayed on layer 0.
    EXPECT_EQ(At(1, 1), Pixel(kRed));
    EXPECT_EQ(At(9, 1), 0u);
}

}  // namespace
}  // namespace kivo
