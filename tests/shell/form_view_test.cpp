#include "shell/form_view.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/headless/headless_platform.h"
#include "support/recording_trace.h"

namespace kivo {
namespace {

using test::RecordingTrace;

// A project that counts its frames and can be told to load a game or to quit.
class FakeProject final : public GameProject {
  public:
    explicit FakeProject(PlayerState& state) : state_(state) {}
    [[nodiscard]] std::string Title() const override {
        return "\x83\x65\x83\x58\x83\x67";
    }  // テスト
    [[nodiscard]] int32_t ScreenWidth() const override { return 64; }
    [[nodiscard]] int32_t ScreenHeight() const override { return 48; }
    [[nodiscard]] int32_t FullScreenWidth() const override { return 640; }
    [[nodiscard]] int32_t FullScreenHeight() const override { return 480; }
    [[nodiscard]] bool FramePacing() const override { return pacing; }
    void RunFrame() override {
        ++frames;
        if (quitAtFrame == frames) state_.quitRequest = true;
    }
    [[nodiscard]] bool ServePendingSaveLoad() override { return loadAtFrame == frames; }
    [[nodiscard]] InterpreterPosition Position() const override { return {"main.ksb", 3, 0, 0, 0}; }
    void Close() override { ++closes; }

    bool pacing = false;
    int32_t frames = 0;
    int32_t quitAtFrame = -1;
    int32_t loadAtFrame = -1;
    int32_t closes = 0;

  private:
    PlayerState& state_;
};

struct Harness {
    Harness(bool withProject = true)
        : platform(dialogLog, &trace),
          player(platform.Services(), Config(withProject)),
          view(player) {}

    PlayerConfig Config(bool withProject) {
        PlayerConfig config;
        config.executableFolder = std::filesystem::temp_directory_path() / "kivo_form_view_test";
        config.seed = 7;
        // The stand-in scene records what the window routes to it.
        config.sceneFactory = [](Player& p) -> std::unique_ptr<ScenePort> {
            auto scene = std::make_unique<BlankScene>();
            if (p.variables) scene->ServeVariables(*p.variables);
            return scene;
        };
        config.projectFactory = [this, withProject](Player& p) -> std::unique_ptr<GameProject> {
            if (!withProject) {
                (void)p.platform.dialogs.Show("プロジェクトがありません", "警告",
                                              DialogIcon::Warning, DialogButtons::Ok);
                p.state.quitRequest = true;
                return nullptr;
            }
            auto made = std::make_unique<FakeProject>(p.state);
            project = made.get();
            return made;
        };
        return config;
    }

    // Starts the player and gives the window the focus.
    void Start() {
        view.FormCreate();
        view.HandleEvent({InputKind::Activate});
    }
    // One pass of the program's loop with the clock advanced by ms first.
    bool Tick(uint32_t ms = 16) {
        platform.clock.Advance(ms);
        return view.Idle();
    }

    std::ostringstream dialogLog;
    RecordingTrace trace;
    HeadlessPlatform platform;
    Player player;
    TFormView view;
    FakeProject* project = nullptr;
};

TEST(FormView, StartupAndShutdownAnnounceEveryStepInOrder) {
    Harness h;
    h.Start();
    h.view.FormClose();
    const std::vector<std::string> expected = {"FormCreate",
                                               "TBasePanel.Create",
                                               "DXSound.Initialize",
                                               "KivoInitialize",
                                               "TProject.Create",
                                               "MediaInit",
                                               "MediaInit.kivoInit",
                                               "MediaInit.kivoOggmanSetUseThread",
                                               "MediaInit.TScreenManager.Create",
                                               "MediaInit.TVideoManager.Create",
                                               "MediaInit.TWmpManager.Create",
                                               "MediaInit.TOggManager.Create",
                                               "MediaInit.TCddaManager.Create",
                                               "MediaInit.TMidiManager.Create",
                                               "MediaInit.end",
                                               "KivoInitColor",
                                               "Project.Free",
                                               "SysFuncMan.Free",
                                               "ParamMan.Free",
                                               "KivoFinalize",
                                               "TextRead.Free",
                                               "TextHistory.Free",
                                               "Bases.Free",
                                               "SelRectDIB.Free",
                                               "TransBGDIB.Free",
                                               "GaleMan.Free",
                                               "MediaFinal",
                                               "ScreenMan.Free",
                                               "VideoMan.Free",
                                               "WaveMan.Free",
                                               "WmpMan.Free",
                                               "OggMan.Free",
                                               "CddaMan.Free",
                                               "MidiMan.Free",
                                               "kivoFinal",
                                               "FormClose"};
    ASSERT_EQ(h.trace.lines.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(h.trace.lines[i], "StartupTrace " + expected[i]);
    EXPECT_EQ(h.player.project, nullptr);
    EXPECT_EQ(h.player.media, nullptr);
    EXPECT_EQ(h.player.lastPosition.pc, 3);
}

TEST(FormView, WindowTakesTheProjectTitleAndSceneSizeUnderTheDock) {
    Harness h;
    h.Start();
    EXPECT_EQ(h.platform.screen.Title(), "テスト");
    EXPECT_EQ(h.platform.screen.SceneWidth(), 64);
    EXPECT_EQ(h.platform.screen.SceneHeight(), 48);
    EXPECT_EQ(h.view.PanelX(), 0);
    EXPECT_EQ(h.view.PanelY(), 22);
    EXPECT_EQ(h.player.random.Seed(), 7u);
}

TEST(FormView, WithoutASeedTheGeneratorStartsFromTheCalendarsTimeOfDay) {
    std::ostringstream log;
    HeadlessPlatform platform(log, nullptr, *ParseCalendarTime("2024-05-06T01:02:03"));
    Player player(platform.Services(), PlayerConfig{});
    TFormView view(player);
    view.FormCreate();
    EXPECT_EQ(player.random.Seed(), ((1u * 60 + 2) * 60 + 3) * 1000);
    view.FormClose();
}

TEST(FormView, SceneIsMadeBeforeTheProjectAndSizedFromTheProjectFile) {
    Harness h;
    std::vector<std::string> events;
    PlayerConfig config = h.Config(true);
    const ProjectFactory makeProject = config.projectFactory;
    config.sceneFactory = [&](Player&) -> std::unique_ptr<ScenePort> {
        events.push_back("scene");
        return std::make_unique<BlankScene>();
    };
    config.projectFactory = [&](Player& p) {
        // The project is read with the scene in place, still at the root's default size.
        const auto& scene = static_cast<const BlankScene&>(*p.scene);
        events.push_back("project, scene " + std::to_string(scene.Width()) + "x" +
                         std::to_string(scene.Height()));
        return makeProject(p);
    };
    Player player(h.platform.Services(), config);
    TFormView view(player);
    view.FormCreate();
    EXPECT_EQ(events, (std::vector<std::string>{"scene", "project, scene 8x8"}));
    const auto& scene = static_cast<const BlankScene&>(*player.scene);
    EXPECT_EQ(scene.Width(), 64);
    EXPECT_EQ(scene.Height(), 48);
}

TEST(FormView, MissingProjectClosesWithoutShowingTheWindowOrRunningFrames) {
    Harness h(false);
    h.Start();
    EXPECT_TRUE(h.view.CloseRequested());
    EXPECT_TRUE(h.Tick());
    EXPECT_EQ(h.platform.screen.SceneWidth(), 0);
    EXPECT_NE(h.dialogLog.str().find("[warning] 警告: プロジェクトがありません -> ok"),
              std::string::npos);
}

TEST(FormView, GapAbove3000MsIsDroppedAndTheNextTickMeasuresFromItsEnd) {
    Harness h;
    h.Start();
    EXPECT_FALSE(h.Tick(16));
    EXPECT_EQ(h.player.state.gameClock, 16);
    EXPECT_FALSE(h.Tick(3001));
    EXPECT_EQ(h.player.state.gameClock, 16);
    EXPECT_EQ(h.project->frames, 1);
    EXPECT_FALSE(h.Tick(3000));  // exactly 3000 is still a frame
    EXPECT_EQ(h.player.state.gameClock, 3016);
    EXPECT_EQ(h.player.state.frameDelta, 3000);
    EXPECT_EQ(h.project->frames, 2);
    EXPECT_EQ(h.player.state.frameCounter, 2);
}

TEST(FormView, TimeWithoutFocusIsNotGameTime) {
    Harness h;
    h.Start();
    h.Tick(16);
    h.view.HandleEvent({InputKind::Deactivate});
    EXPECT_TRUE(h.Tick(10000));
    h.view.HandleEvent({InputKind::Activate});
    h.Tick(16);
    EXPECT_EQ(h.player.state.gameClock, 32);
}

TEST(FormView, DivisorFourInterpretsEveryTickAndPresentsEveryFourth) {
    Harness h;
    h.Start();
    h.player.state.skipDivisor = 4;
    std::vector<int32_t> presentedAt;
    for (int32_t tick = 1; tick <= 12; ++tick) {
        const int32_t before = h.view.Presents();
        h.Tick();
        if (h.view.Presents() != before) presentedAt.push_back(tick);
    }
    EXPECT_EQ(h.project->frames, 12);
    EXPECT_EQ(presentedAt, (std::vector<int32_t>{4, 8, 12}));
    EXPECT_EQ(h.platform.screen.Presents(), 3);
}

TEST(FormView, FrameAfterALoadIsInterpretedButNotDrawn) {
    Harness h;
    h.Start();
    h.project->loadAtFrame = 2;
    h.Tick();
    EXPECT_EQ(h.view.Presents(), 1);
    h.Tick();  // the load happens in this frame, which is then not drawn
    EXPECT_EQ(h.view.Presents(), 1);
    EXPECT_EQ(h.project->frames, 2);
    h.Tick();
    EXPECT_EQ(h.view.Presents(), 2);
}

TEST(FormView, PacingSleepsToTheIntervalButNeverUnder2Ms) {
    Harness h;
    h.Start();
    h.Tick();
    EXPECT_EQ(h.platform.clock.Sleeps(), 0);  // the project does not ask for pacing
    h.project->pacing = true;
    h.Tick();
    EXPECT_EQ(h.platform.clock.SleptMs(), 16u);
    h.player.state.frameInterval = 1;  // "No Wait"
    h.Tick();
    EXPECT_EQ(h.platform.clock.SleptMs(), 18u);
}

TEST(FormView, QuitQuestionHoldsTheQuitRequestWhileItIsOpen) {
    class WatchingDialogs final : public MessageDialogs {
      public:
        DialogAnswer Show(std::string_view text, std::string_view caption, DialogIcon icon,
                          DialogButtons buttons) override {
            quitDuringQuestion = state->quitRequest;
            lastText = text;
            lastCaption = caption;
            EXPECT_EQ(icon, DialogIcon::Question);
            EXPECT_EQ(buttons, DialogButtons::YesNo);
            return answer;
        }
        DialogAnswer answer = DialogAnswer::No;
        bool quitDuringQuestion = false;
        std::string lastText;
        std::string lastCaption;
        PlayerState* state = nullptr;
    };

    Harness h;
    h.Start();
    WatchingDialogs dialogs;
    Platform services = h.platform.Services();
    Player player(Platform{services.clock, services.calendar, dialogs, services.input,
                           services.window, services.presenter, services.audio, services.fonts,
                           services.trace, services.urls, services.display, services.wallpaper, services.http},
                  h.Config(true));
    dialogs.state = &player.state;
    TFormView view(player);
    view.FormCreate();
    view.HandleEvent({InputKind::Activate});

    view.HandleEvent({InputKind::QuitButton});
    EXPECT_TRUE(dialogs.quitDuringQuestion);
    EXPECT_EQ(dialogs.lastText, "「テスト」を終了しますか？");
    EXPECT_EQ(dialogs.lastCaption, "テスト");
    EXPECT_FALSE(player.state.quitRequest);  // No restores the earlier value
    EXPECT_FALSE(view.CloseRequested());

    dialogs.answer = DialogAnswer::Yes;
    view.HandleEvent({InputKind::QuitButton});
    EXPECT_TRUE(player.state.quitRequest);
    EXPECT_TRUE(view.CloseRequested());
}

TEST(FormView, InputReachesTheSceneOnlyAsTheWindowAllows) {
    Harness h;
    h.view.FormCreate();
    auto& scene = static_cast<BlankScene&>(*h.player.scene);

    h.view.HandleEvent({InputKind::KeyDown, 0, 0, 13});
    h.view.HandleEvent({InputKind::LeftDown});
    EXPECT_FALSE(scene.keys[13]);  // no focus yet
    EXPECT_FALSE(scene.leftHeld);

    h.view.HandleEvent({InputKind::Activate});
    h.view.HandleEvent({InputKind::KeyDown, 0, 0, 300});
    h.view.HandleEvent({InputKind::KeyDown, 0, 0, 13});
    EXPECT_TRUE(scene.keys[13]);
    EXPECT_TRUE(scene.pressed[13]);
    scene.pressed[13] = false;
    h.view.HandleEvent({InputKind::KeyDown, 0, 0, 13, true});
    EXPECT_FALSE(scene.pressed[13]);  // auto-repeat is ignored
    h.view.HandleEvent({InputKind::KeyUp, 0, 0, 13});
    EXPECT_FALSE(scene.keys[13]);

    h.view.HandleEvent({InputKind::RightDown});
    EXPECT_TRUE(scene.rightHeld);
    EXPECT_TRUE(scene.rightClick);
    EXPECT_FALSE(scene.leftHeld);
    h.view.HandleEvent({InputKind::RightUp});
    EXPECT_FALSE(scene.rightHeld);
    h.view.HandleEvent({InputKind::PointerMove, 12, 34});
    h.view.HandleEvent({InputKind::WheelDown});
    EXPECT_EQ(scene.pointerX, 12);
    EXPECT_EQ(scene.pointerY, 34);
    // Scripts see the pointer and the held keys and buttons.
    h.view.HandleEvent({InputKind::LeftDown});
    h.view.HandleEvent({InputKind::KeyDown, 0, 0, 65});
    const TParamCollection& vars = *h.player.variables;
    EXPECT_EQ(vars.Find("@MouseX")->Value().AsInteger(), 12);
    EXPECT_EQ(vars.Find("@MouseY")->Value().AsInteger(), 34);
    EXPECT_TRUE(vars.Find("@LPush")->Value().AsFlag());
    EXPECT_FALSE(vars.Find("@RPush")->Value().AsFlag());
    EXPECT_TRUE(vars.Find("@KeyPush")->Value().FlagAt(65));
    EXPECT_FALSE(vars.Find("@KeyPush")->Value().FlagAt(66));
    h.view.HandleEvent({InputKind::LeftUp});
    h.view.HandleEvent({InputKind::KeyUp, 0, 0, 65});
    EXPECT_TRUE(scene.wheelDown);
    h.Tick();
    EXPECT_FALSE(scene.wheelDown);  // edges are consumed by the input pass
    h.view.HandleEvent({InputKind::Deactivate});
    EXPECT_EQ(scene.focusLosses, 1);

    h.view.HandleEvent({InputKind::CloseRequest});
    EXPECT_TRUE(h.player.state.quitRequest);
    EXPECT_TRUE(h.view.CloseRequested());
}

TEST(FormView, QuitSignalStopsTheLoop) {
    Harness h;
    h.Start();
    volatile std::sig_atomic_t flag = 0;
    h.player.state.quitSignal = &flag;
    EXPECT_FALSE(h.Tick());
    flag = 1;
    EXPECT_TRUE(h.Tick());
    EXPECT_TRUE(h.view.CloseRequested());
    EXPECT_EQ(h.project->frames, 1);
}

TEST(FormView, ScriptTerminationEndsTheFrameBeforeTheSceneAdvances) {
    Harness h;
    h.Start();
    h.project->quitAtFrame = 2;
    h.Tick();
    h.Tick();
    EXPECT_EQ(h.player.state.frameCounter, 1);
    EXPECT_TRUE(h.view.CloseRequested());
    EXPECT_TRUE(h.Tick());
}

}  // namespace
}  // namespace kivo

namespace kivo {
namespace {

TEST(FormView, ScreenListsModesOfTheSceneSizeAndPrefersTheProjectsFullScreenSize) {
    Harness h;
    h.Start();
    ASSERT_NE(h.player.screen, nullptr);
    const TScreenManager& screen = *h.player.screen;
    // Every virtual mode of at least 64 x 48 and above 15 bits; 640 x 480 x 32 is the
    // project's full-screen size.
    EXPECT_EQ(screen.ModeCount(), 8);
    EXPECT_EQ(screen.ModeAt(screen.ChosenMode()), (DisplayMode{640, 480, 32, 60}));
    EXPECT_EQ(h.player.sceneWindow.DisplayModeIndex(), 7);
    EXPECT_EQ(h.player.sceneWindow.DisplayModeCount(), 8);
    EXPECT_FALSE(screen.FullScreen());
}

TEST(FormView, TheSwitchButtonTogglesFullScreenInTheChosenMode) {
    Harness h;
    h.Start();
    PlayerScreen& window = h.player.sceneWindow;
    ASSERT_EQ(h.view.PanelY(), kDockHeight);
    h.view.HandleEvent({InputKind::ScreenSwitchButton});
    EXPECT_TRUE(h.platform.display.FullScreen());
    EXPECT_TRUE(window.FullScreen());
    EXPECT_EQ(h.player.screen->Mode(), 7);
    EXPECT_EQ(h.view.PanelY(), 0);
    // A new mode chosen in full screen is switched to; one outside the list is not taken.
    window.SetDisplayModeIndex(5);
    EXPECT_EQ(h.player.screen->Mode(), 5);
    window.SetDisplayModeIndex(8);
    EXPECT_EQ(window.DisplayModeIndex(), 5);
    // The whole frame follows each switch.
    const int32_t presents = h.platform.screen.Presents();
    EXPECT_FALSE(h.Tick());
    EXPECT_EQ(h.platform.screen.Presents(), presents + 1);
    h.view.HandleEvent({InputKind::ScreenSwitchButton});
    EXPECT_FALSE(h.platform.display.FullScreen());
    EXPECT_EQ(h.platform.display.Switches(), 2);
    EXPECT_EQ(h.view.PanelY(), kDockHeight);
    // Chosen while windowed, a mode is only recorded.
    window.SetDisplayModeIndex(2);
    EXPECT_FALSE(window.FullScreen());
    EXPECT_EQ(window.DisplayModeIndex(), 2);
    h.view.FormClose();
}

}  // namespace
}  // namespace kivo
