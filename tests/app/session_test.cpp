// A headless session end to end with a stand-in project: the observations of an input script
// are taken after the frames they name, the dumps at exit are written, and an error nothing
// else caught ends the program with its message and status 1.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "app/guarded_run.h"
#include "app/headless_driver.h"
#include "base/error.h"
#include "shell/session.h"
#include "support/scratch_folder.h"

namespace kivo {
namespace {

// A project of a 4 x 3 scene whose variable "step" holds the number of frames it ran.
class CountingProject final : public GameProject {
  public:
    explicit CountingProject(TCustomParam& step) : step_(step) {}
    [[nodiscard]] std::string Title() const override { return "t"; }
    [[nodiscard]] int32_t ScreenWidth() const override { return 4; }
    [[nodiscard]] int32_t ScreenHeight() const override { return 3; }
    [[nodiscard]] int32_t FullScreenWidth() const override { return 4; }
    [[nodiscard]] int32_t FullScreenHeight() const override { return 3; }
    [[nodiscard]] bool FramePacing() const override { return false; }
    void RunFrame() override { step_.SetInteger(step_.AsInteger() + 1); }
    [[nodiscard]] bool ServePendingSaveLoad() override { return false; }
    [[nodiscard]] InterpreterPosition Position() const override { return {}; }
    void Close() override {}

  private:
    TCustomParam& step_;
};

class SessionTest : public ::testing::Test {
  protected:
    int Run(const SessionOptions& options, std::vector<ScriptedInput> input = {}) {
        HeadlessPlatform platform(dialogLog_);
        HeadlessDriver driver(platform, std::move(input), 16);
        PlayerConfig config;
        config.executableFolder = folder_.Path();
        config.seed = 1;
        config.projectFactory = [](Player& p) -> std::unique_ptr<GameProject> {
            return std::make_unique<CountingProject>(p.variables->Create("step", PT_INT).Value());
        };
        Player player(platform.Services(), config);
        return RunSession(player, options, driver);
    }

    const test::ScratchFolder folder_{"kivo_session_test"};
    std::ostringstream dialogLog_;
};

TEST_F(SessionTest, ObservationsAreTakenAfterTheStepOfTheirFrame) {
    SessionOptions options;
    options.frames = 5;
    const std::filesystem::path vars0 = folder_ / "vars0.json";
    const std::filesystem::path vars2 = folder_ / "vars2.json";
    const std::filesystem::path scene = folder_ / "scene.json";
    const std::filesystem::path shot = folder_ / "shot.png";
    const std::filesystem::path late = folder_ / "late.json";
    options.observations = {{0, ObservationKind::DumpVars, vars0},
                            {1, ObservationKind::Screenshot, shot},
                            {2, ObservationKind::DumpVars, vars2},
                            {2, ObservationKind::DumpScene, scene},
                            {5, ObservationKind::DumpVars, late}};
    options.dumpSceneFile = folder_ / "exit-scene.json";
    options.dumpVarsFile = folder_ / "exit-vars.json";
    ASSERT_EQ(Run(options), 0);

    const auto stepIn = [](const std::string& json) {
        const size_t at = json.find("\"name\": \"step\"");
        return at == std::string::npos ? std::string()
                                       : json.substr(json.find("[", json.find("values", at)), 3);
    };
    EXPECT_EQ(stepIn(test::ReadWholeFile(vars0)), "[1]");
    EXPECT_EQ(stepIn(test::ReadWholeFile(vars2)), "[3]");
    EXPECT_EQ(stepIn(test::ReadWholeFile(options.dumpVarsFile)), "[5]");
    EXPECT_FALSE(std::filesystem::exists(late));  // the run never reached frame 5
    // The scene had its project size when it was dumped, mid-run and at exit.
    for (const auto& path : {scene, options.dumpSceneFile}) {
        const std::string json = test::ReadWholeFile(path);
        EXPECT_NE(json.find("\"rect\": [0, 0, 4, 3]"), std::string::npos) << json;
        EXPECT_NE(json.find("\\u0001BASE1"), std::string::npos) << json;
    }
    // A PNG of the 4 x 3 frame: the signature, then width and height in the header.
    const std::string png = test::ReadWholeFile(shot);
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(png.substr(16, 8), std::string("\0\0\0\4\0\0\0\3", 8));
}

TEST_F(SessionTest, AnOutputThatCannotBeWrittenMakesStatusTwoAndTheRunGoesOn) {
    SessionOptions options;
    options.frames = 3;
    options.observations = {{0, ObservationKind::DumpScene, folder_ / "missing" / "scene.json"}};
    options.dumpVarsFile = folder_ / "vars.json";
    EXPECT_EQ(Run(options), 2);
    EXPECT_TRUE(std::filesystem::exists(options.dumpVarsFile));
}

TEST(GuardedRun, AnEscapingErrorEndsWithItsMessageAndStatusOne) {
    const struct {
        std::function<int()> body;
        int status;
        const char* message;
    } cases[] = {
        {[] { return 2; }, 2, ""},
        {[]() -> int { throw KivoError("game.dat", "broken"); }, 1, "kivoplay: game.dat: broken\n"},
        {[]() -> int { throw std::bad_alloc(); }, 1, "kivoplay: std::bad_alloc\n"},
        {[]() -> int { throw 7; }, 1, "kivoplay: unknown error\n"},
    };
    for (const auto& c : cases) {
        std::ostringstream err;
        EXPECT_EQ(GuardedRun(c.body, err), c.status);
        EXPECT_EQ(err.str(), c.message);
    }
}

}  // namespace
}  // namespace kivo
