// The sound settings dialog of "/config": what it shows for a game.ini, how OK rewrites the
// file (keeping the rest of it), and that Cancel and failures leave it alone.

#include "shell/form_config.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/headless/headless_platform.h"
#include "shell/game_ini.h"
#include "support/scratch_folder.h"

namespace kivo {
namespace {

TEST(FormConfig, ControlsShowGameIniRoundedToTheTrackBar) {
    struct Case {
        const char* ini;
        bool directSound;
        int32_t position;
    };
    const Case cases[] = {
        {"", true, 5},
        {"[Sound]\nDelayTime=50\n", true, 1},
        {"[Sound]\nDelayTime=1200\n", true, 5},
        {"[Sound]\nDelayTime=250\n", true, 2},
        {"[Sound]\nDelayTime=-300\n", true, 1},
        {"[sound]\r\ndirectsound=0\r\ndelaytime=300\r\n", false, 3},
        {"[Other]\nDirectSound=0\nDelayTime=100\n", true, 5},
        {"[Sound]\nDirectSound=yes\n", true, 5},
    };
    for (const Case& c : cases) {
        const SoundSettingsControls controls = TFormConfig::ControlsOf(c.ini, "game.ini");
        EXPECT_EQ(controls.directSound, c.directSound) << c.ini;
        EXPECT_EQ(controls.delayPosition, c.position) << c.ini;
    }
}

TEST(FormConfig, SettingTheSoundKeysKeepsEveryOtherLine) {
    struct Case {
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"", "[Sound]\r\nDirectSound=0\r\nDelayTime=200\r\n"},
        {"[Sound]\r\nDelayTime=500\r\nDirectSound=1\r\nVolume=3\r\n[Game]\r\nName=x\r\n",
         "[Sound]\r\nDelayTime=200\r\nDirectSound=0\r\nVolume=3\r\n[Game]\r\nName=x\r\n"},
        // Keys matched in any letter case; missing ones join the end of their section.
        {"[game]\nA=1\n[SOUND]\ndirectsound = 1\n; note\n\n[Last]\nB=2",
         "[game]\nA=1\n[SOUND]\ndirectsound=0\n; note\nDelayTime=200\n\n[Last]\nB=2\n"},
        {"[Game]\nA=1\n", "[Game]\nA=1\n\n[Sound]\nDirectSound=0\nDelayTime=200\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SetGameIniSound(c.before, false, 200), c.after) << c.before;
}

class FormConfigRun : public ::testing::Test {
  protected:
    int Run(std::initializer_list<DialogAnswer> answers, const std::filesystem::path& folder) {
        for (const DialogAnswer answer : answers)
            platform_.dialogs.QueueAnswer(answer);
        return TFormConfig(platform_.dialogs, folder).Run();
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(folder_ / name, std::ios::binary) << text;
    }

    test::ScratchFolder folder_{"kivo_form_config"};
    std::ostringstream log_;
    HeadlessPlatform platform_{log_};
};

TEST_F(FormConfigRun, OkWritesTheControlsBackAndCancelWritesNothing) {
    // Without game.ini: OK makes one with the defaults.
    EXPECT_EQ(Run({DialogAnswer::Ok}, folder_.Path()), 0);
    EXPECT_EQ(test::ReadWholeFile(folder_ / "game.ini"),
              "[Sound]\r\nDirectSound=1\r\nDelayTime=500\r\n");
    EXPECT_EQ(log_.str(), "[settings] 動作設定: DirectSound=1 DelayTime=500 -> ok\n");

    // An existing file, spelt in capitals: the delay is written back rounded to the track bar.
    std::filesystem::remove(folder_ / "game.ini");
    const std::string original =
        "[Game]\r\nTitle=t\r\n[Sound]\r\nDirectSound=0\r\nDelayTime=1250\r\n";
    Write("GAME.INI", original);
    EXPECT_EQ(Run({DialogAnswer::Cancel}, folder_.Path()), 0);
    EXPECT_EQ(test::ReadWholeFile(folder_ / "GAME.INI"), original);
    EXPECT_EQ(Run({DialogAnswer::Ok}, folder_.Path()), 0);
    EXPECT_EQ(test::ReadWholeFile(folder_ / "GAME.INI"),
              "[Game]\r\nTitle=t\r\n[Sound]\r\nDirectSound=0\r\nDelayTime=500\r\n");
    EXPECT_FALSE(std::filesystem::exists(folder_ / "game.ini"));
    EXPECT_EQ(platform_.dialogs.Shown(), 3);
}

TEST_F(FormConfigRun, AFileThatCannotBeWrittenOrReadIsReportedAndKept) {
    // No folder to write into.
    EXPECT_EQ(Run({DialogAnswer::Ok}, folder_ / "missing"), 2);
    EXPECT_NE(log_.str().find("[error] 動作設定: "), std::string::npos) << log_.str();
    EXPECT_FALSE(std::filesystem::exists(folder_ / "missing"));

    // A game.ini that is not a file is neither read nor replaced.
    std::filesystem::create_directory(folder_ / "game.ini");
    log_.str("");
    EXPECT_EQ(Run({DialogAnswer::Ok}, folder_.Path()), 2);
    EXPECT_NE(log_.str().find("[error] 動作設定: "), std::string::npos) << log_.str();
    EXPECT_TRUE(std::filesystem::is_directory(folder_ / "game.ini"));
}

}  // namespace
}  // namespace kivo
