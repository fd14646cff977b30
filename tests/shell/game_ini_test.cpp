#include "shell/game_ini.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/error.h"

namespace kivo {
namespace {

TEST(GameIni, DelayTimeIsRoundedDownToHundredsAndHeldTo100Through500) {
    const struct {
        int32_t given;
        int32_t expected;
    } cases[] = {{250, 200}, {50, 100},   {900, 500}, {500, 500},       {100, 100},
                 {499, 400}, {-150, 100}, {0, 100},   {INT32_MAX, 500}, {INT32_MIN, 100}};
    for (const auto& c : cases) {
        EXPECT_EQ(RoundDelayTime(c.given), c.expected) << c.given;
        PlayerState state;
        ApplyGameIni("[Sound]\nDelayTime=" + std::to_string(c.given) + "\n", "game.ini", state);
        EXPECT_EQ(state.soundDelay, c.expected) << c.given;
    }
}

TEST(GameIni, ReadsOnlyTheSoundSectionIgnoringCaseAndKeepsDefaultsForBadValues) {
    const struct {
        const char* text;
        bool directSound;
        int32_t delay;
    } cases[] = {
        {"", true, 500},
        {"[Sound]\r\nDirectSound=0\r\nDelayTime=300\r\n", false, 300},
        {"[sound]\ndirectsound = 1\ndelaytime = $C8\n", true, 200},
        {"[Other]\nDirectSound=0\nDelayTime=100\n[Sound]\n", true, 500},
        {"[Sound]\nDirectSound=yes\nDelayTime=12abc\n", true, 500},
        {"[Sound]\nDelayTime=99999999999\n", true, 500},
        {"[Sound]\nDirectSound=-1\n; DelayTime=100\n", true, 500},
        {"[Sound\nDirectSound=0\n", true, 500},
    };
    for (const auto& c : cases) {
        PlayerState state;
        ApplyGameIni(c.text, "game.ini", state);
        EXPECT_EQ(state.directSound, c.directSound) << c.text;
        EXPECT_EQ(state.soundDelay, c.delay) << c.text;
    }
}

TEST(GameIni, MissingFileKeepsDefaultsAndUnreadableFileIsNamed) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "kivo_game_ini_test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    PlayerState state;
    ReadGameIni(folder, state);
    EXPECT_TRUE(state.directSound);
    EXPECT_EQ(state.soundDelay, 500);

    std::ofstream(folder / "game.ini") << "[Sound]\nDelayTime=250\n";
    ReadGameIni(folder, state);
    EXPECT_EQ(state.soundDelay, 200);

    try {
        ApplyGameIni(std::string((1 << 20) + 1, ' '), "big/game.ini", state);
        FAIL() << "an oversized settings file was accepted";
    } catch (const KivoError& error) {
        EXPECT_EQ(error.File(), "big/game.ini");
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kivo
