#include "shell/input_script.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace kivo {
namespace {

TEST(InputScript, ParsesEveryEventAndSortsByFrameKeepingFileOrder) {
    const auto script = ParseInputScript(
                            "# a comment\n"
                            "5 move 10 -20\r\n"
                            "\n"
                            "2 keydown 13\n"
                            "2 keyup 13\n"
                            "0 answer no\n"
                            "7 ldown\n7 lup\n7 rdown\n7 rup\n7 wheelup\n7 wheeldown\n"
                            "9 choose 2\n",
                            "in.txt")
                            .input;
    ASSERT_EQ(script.size(), 11u);
    EXPECT_TRUE(script[0].isAnswer);
    EXPECT_EQ(script[0].answer, DialogAnswer::No);
    EXPECT_EQ(script[0].choice, -1);
    EXPECT_TRUE(script[10].isAnswer);
    EXPECT_EQ(script[10].choice, 2);
    EXPECT_EQ(script[1].event.kind, InputKind::KeyDown);
    EXPECT_EQ(script[1].event.key, 13);
    EXPECT_EQ(script[2].event.kind, InputKind::KeyUp);
    EXPECT_EQ(script[3].frame, 5);
    EXPECT_EQ(script[3].event.kind, InputKind::PointerMove);
    EXPECT_EQ(script[3].event.x, 10);
    EXPECT_EQ(script[3].event.y, -20);
    const InputKind order[] = {InputKind::LeftDown, InputKind::LeftUp,  InputKind::RightDown,
                               InputKind::RightUp,  InputKind::WheelUp, InputKind::WheelDown};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(script[4 + i].event.kind, order[i]);
}

TEST(InputScript, TextLinesAndPrintableKeysTypeCharacters) {
    const auto fixed = ParseInputScript(
                           "1 text  名前 ok \n"
                           "2 keydown 65\n2 keydown 16\n2 keydown 65\n2 keydown 49\n"
                           "2 keyup 16\n2 keydown 189\n2 keydown 37\n",  // 189: the minus key
                           "in.txt")
                           .input;
    std::vector<std::string> typed;
    for (const ScriptedInput& item : fixed) {
        if (item.event.kind == InputKind::TextInput) typed.push_back(item.event.text);
    }
    EXPECT_EQ(typed, (std::vector<std::string>{"名前 ok", "a", "A", "!", "-"}));
    // Each typed character follows its key down in the same frame.
    EXPECT_EQ(fixed[2].event.kind, InputKind::TextInput);
    EXPECT_EQ(fixed[2].frame, 2);
    EXPECT_THROW((void)ParseInputScript("1 text\n", "in.txt"), KivoError);
}

TEST(InputScript, ObservationsTakeTheRestOfTheLineAsPathAndSortByFrame) {
    const InputScript script = ParseInputScript(
        "4 dump-scene out/scene 4.json  \r\n"
        "1 screenshot shot.png\n"
        "4 ldown\n"
        "1 dump-vars\tvars.json\n",
        "in.txt");
    ASSERT_EQ(script.input.size(), 1u);
    EXPECT_EQ(script.input[0].event.kind, InputKind::LeftDown);
    ASSERT_EQ(script.observations.size(), 3u);
    const struct {
        int32_t frame;
        ObservationKind kind;
        const char* path;
    } expected[] = {
        {1, ObservationKind::Screenshot, "shot.png"},
        {1, ObservationKind::DumpVars, "vars.json"},
        {4, ObservationKind::DumpScene, "out/scene 4.json"},
    };
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(script.observations[i].frame, expected[i].frame) << i;
        EXPECT_EQ(script.observations[i].kind, expected[i].kind) << i;
        EXPECT_EQ(script.observations[i].path, expected[i].path) << i;
    }
}

TEST(InputScript, AFolderAnswerTakesTheRestOfTheLine) {
    const InputScript script =
        ParseInputScript("0 answer folder /games/my game \r\n0 answer cancel\n", "in.txt");
    ASSERT_EQ(script.input.size(), 2u);
    EXPECT_TRUE(script.input[0].isAnswer);
    EXPECT_EQ(script.input[0].folder, "/games/my game");
    EXPECT_EQ(script.input[0].choice, -1);
    EXPECT_TRUE(script.input[1].folder.empty());
    EXPECT_EQ(script.input[1].answer, DialogAnswer::Cancel);
}

TEST(InputScript, RejectsMalformedLinesNamingFileAndLine) {
    const char* bad[] = {
        "x move 1 2",     "-1 ldown",        "1",
        "1 jump",         "1 move 1",        "1 move 1 2 3",
        "1 keydown 256",  "1 keydown",       "1 keyup -1",
        "1 answer maybe", "1 answer",        "99999999999 lup",
        "1 move a 2",     "1 ldown 3",       "1 move 1 99999999999",
        "1 choose",       "1 choose -1",     "1 choose x",
        "1 choose 1 2",   "1 screenshot",    "1 dump-vars  ",
        "1 dump-scene\t", "1 answer folder", "1 answer folder \t",
    };
    for (const char* line : bad) {
        try {
            (void)ParseInputScript(std::string("0 lup\n") + line + "\n", "events.txt");
            ADD_FAILURE() << "accepted: " << line;
        } catch (const KivoError& error) {
            EXPECT_EQ(error.File(), "events.txt") << line;
            EXPECT_NE(error.Message().find("line 2"), std::string::npos) << error.Message();
        }
    }
}

}  // namespace
}  // namespace kivo
