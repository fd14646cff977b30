// Project start-up, its failure messages, file availability with the data discs, and the exit
// page at shutdown.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "base/sjis.h"
#include "script/interpreter_harness.h"
#include "storage/install_data.h"

namespace kivo::test {
namespace {

PageBuilder SetsStarted() {
    PageBuilder page;
    page.Add(VarNew("started", PT_INT, Int(1)).Continue());
    return page;
}

TEST(Project, StartsTheStartPageWithTheProjectSettings) {
    Harness h;
    h.AddGame(SetsStarted(), ProjectBuilder()
                                 .Title(sjis::FromUtf8Lossy("テスト"))
                                 .Screen(800, 600)
                                 .FullScreen(1024, 768)
                                 .FramePacing(0)
                                 .IntVar("score", 12)
                                 .StrVar("name", "kivo"));
    TProject& project = h.Open();
    EXPECT_TRUE(project.Started());
    EXPECT_FALSE(h.player.quitRequest);
    EXPECT_EQ(sjis::ToUtf8(project.Title()), "テスト");
    EXPECT_EQ(project.ScreenWidth(), 800);
    EXPECT_EQ(project.ScreenHeight(), 600);
    EXPECT_EQ(project.FullScreenWidth(), 1024);
    EXPECT_EQ(project.FullScreenHeight(), 768);
    EXPECT_FALSE(project.FramePacing());
    EXPECT_EQ(h.Int("score"), 12);
    EXPECT_EQ(h.Str("name"), "kivo");
    EXPECT_TRUE(h.variables.Find("score")->status);
    h.Frame();
    EXPECT_EQ(h.Int("started"), 1);
    EXPECT_TRUE(h.dialogs.shown.empty());
}

TEST(Project, ServesTitleAndSceneSizeToScriptsUntilTheSceneDoes) {
    // The start page reads them in its first frame.
    PageBuilder page;
    page.Add(VarNew("w", PT_INT, Var("@ScrWidth")).Continue())
        .Add(VarNew("h", PT_INT, Var("@ScrHeight")).Continue())
        .Add(VarNew("t", PT_STR, Var("@Title")).Continue());
    Harness h;
    h.AddGame(page, ProjectBuilder().Title("Quest").Screen(400, 300));
    h.Open();
    h.Frame();
    EXPECT_EQ(h.Int("w"), 400);
    EXPECT_EQ(h.Int("h"), 300);
    EXPECT_EQ(h.Str("t"), "Quest");
    // Gone with the project: nothing reads a freed project.
    h.project.reset();
    EXPECT_EQ(h.variables.Find("@Title")->Value().AsString(), "");
    EXPECT_EQ(h.variables.Find("@ScrWidth")->Value().AsInteger(), 0);

    // A scene root made before the project keeps the size it serves.
    struct SceneSize final : SystemVariableProvider {
        [[nodiscard]] SystemValue Read(SystemVariable, int32_t) const override { return 640; }
    } scene;
    Harness withScene;
    withScene.variables.RegisterProvider(SystemVariable::ScrWidth, &scene);
    withScene.AddGame(page, ProjectBuilder().Title("Quest").Screen(400, 300));
    withScene.Open();
    withScene.Frame();
    EXPECT_EQ(withScene.Int("w"), 640);
    EXPECT_EQ(withScene.Int("h"), 300);
    withScene.project.reset();
    EXPECT_EQ(withScene.variables.Provider(SystemVariable::ScrWidth), &scene);
}

TEST(Project, ProjectVariableAlreadyKnownKeepsItsValue) {
    Harness h;
    h.variables.Create("score", PT_INT).Value().SetInteger(77);
    h.AddGame(SetsStarted(), ProjectBuilder().IntVar("score", 12));
    h.Open();
    EXPECT_EQ(h.Int("score"), 77);
}

TEST(Project, StartUpFailuresShowTheirMessageAndQuit) {
    struct Case {
        const char* what;
        std::function<void(Harness&)> setUp;
        const char* message;  // nullptr: no message at all
        const char* caption;
        DialogIcon icon;
    };
    const Case cases[] = {
        {"no project file", [](Harness&) {}, "プロジェクトがありません", "警告",
         DialogIcon::Warning},
        {"empty project file", [](Harness& h) { h.AddFile("kivo.kpb", {}); },
         "プロジェクトがありません", "警告", DialogIcon::Warning},
        {"no start page",
         [](Harness& h) { h.AddFile("kivo.kpb", ProjectBuilder().StartPage("none.ksb").Bytes()); },
         "スタートページがありません", "警告", DialogIcon::Warning},
        {"old start page", [](Harness& h) { h.AddGame(PageBuilder().Version(102)); },
         "start.ksb\nリビルドしてください", "警告", DialogIcon::Warning},
        {"newer project",
         [](Harness& h) {
             h.AddFile("kivo.kpb", {111, 0, 0, 0, 1, 2, 3});
             h.AddPage("start.ksb", SetsStarted());
         },
         nullptr, nullptr, DialogIcon::Warning},
        {"damaged project",
         [](Harness& h) {
             std::vector<uint8_t> bytes = ProjectBuilder().Bytes();
             bytes.resize(bytes.size() / 2);
             h.AddFile("kivo.kpb", bytes);
         },
         "kivo.kpb", "警告", DialogIcon::Warning},
    };
    for (const Case& c : cases) {
        Harness h;
        c.setUp(h);
        TProject& project = h.Open();
        h.Frame();
        EXPECT_TRUE(h.player.quitRequest) << c.what;
        EXPECT_FALSE(project.Started()) << c.what;
        EXPECT_FALSE(h.Has("started")) << c.what;
        if (c.message == nullptr) {
            EXPECT_TRUE(h.dialogs.shown.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(h.dialogs.shown.size(), 1u) << c.what;
        EXPECT_NE(h.dialogs.shown[0].text.find(c.message), std::string::npos)
            << c.what << ": " << h.dialogs.shown[0].text;
        EXPECT_EQ(h.dialogs.shown[0].caption, c.caption) << c.what;
        EXPECT_EQ(h.dialogs.shown[0].icon, c.icon) << c.what;
    }
}

TEST(Project, NewerPageLoadsEmpty) {
    Harness h;
    h.AddGame(PageBuilder().Version(111));
    TProject& project = h.Open();
    h.Frame();
    EXPECT_TRUE(project.Started());
    EXPECT_EQ(h.State().page, nullptr);
    EXPECT_TRUE(h.dialogs.shown.empty());
}

TEST(Project, MissingInstallationRecordWithoutArguments) {
    Harness h;
    h.AddGame(SetsStarted());
    h.Open(/*hasArguments=*/false);
    EXPECT_TRUE(h.player.quitRequest);
    ASSERT_EQ(h.dialogs.shown.size(), 1u);
    EXPECT_EQ(h.dialogs.shown[0].text, "インストールし直してください");
    EXPECT_EQ(h.dialogs.shown[0].caption, "情報");
    EXPECT_EQ(h.dialogs.shown[0].icon, DialogIcon::Information);
}

// A player folder whose install.dat says that part of the data stays on the disc.
std::filesystem::path FolderOfPartialInstall(const std::string& name) {
    std::filesystem::path folder = std::filesystem::path(::testing::TempDir()) / name;
    std::filesystem::create_directories(folder);
    TInstallData install;
    install.version = 107;
    install.projectTitle = "Game";
    install.allDataInstalled = 0;
    install.SaveToFile(folder / "install.dat");
    return folder;
}

TEST(Project, DataOnAMissingDiscAsksUntilThePersonQuits) {
    // install.dat beside the player says that not all data is installed, and no disc holds the
    // rest: the player asks for the disc, then whether to quit.
    const std::filesystem::path folder = FolderOfPartialInstall("kivo-install");
    Harness h;
    h.executableFolder = folder;
    h.AddGame(SetsStarted());
    h.dialogs.answers = {DialogAnswer::Ok, DialogAnswer::Cancel, DialogAnswer::Cancel,
                         DialogAnswer::Cancel, DialogAnswer::Ok};
    h.Open(/*hasArguments=*/false);
    EXPECT_TRUE(h.player.quitRequest);
    EXPECT_FALSE(h.Has("started"));
    ASSERT_EQ(h.dialogs.shown.size(), 5u);
    EXPECT_EQ(h.dialogs.shown[0].text, "ディスクを入れてください");
    EXPECT_EQ(h.dialogs.shown[0].caption, "情報");
    EXPECT_EQ(h.dialogs.shown[1].text, "ディスクを入れてください");
    EXPECT_EQ(h.dialogs.shown[2].text, "終了します");
    EXPECT_EQ(h.dialogs.shown[2].caption, "情報") << "the project title is not read yet";
    EXPECT_EQ(h.dialogs.shown[3].text, "ディスクを入れてください");
    EXPECT_EQ(h.dialogs.shown[4].text, "終了します");
    EXPECT_EQ(h.files.Folder(), folder) << "install.dat made the player's folder the game folder";
    std::filesystem::remove_all(folder);
}

TEST(Project, AnUnattendedRunGivesUpWaitingForTheDataDisc) {
    // With no answers left (a headless run, or no display and no terminal) the default OK of
    // the disc prompt cannot bring a disc: the player asks once, then quits.
    const std::filesystem::path folder = FolderOfPartialInstall("kivo-install-unattended");
    Harness h;
    h.executableFolder = folder;
    h.AddGame(SetsStarted());
    h.Open(/*hasArguments=*/false);
    EXPECT_TRUE(h.player.quitRequest);
    EXPECT_FALSE(h.Has("started"));
    ASSERT_EQ(h.dialogs.shown.size(), 2u);
    EXPECT_EQ(h.dialogs.shown[0].text, "ディスクを入れてください");
    EXPECT_EQ(h.dialogs.shown[1].text, "終了します");
    std::filesystem::remove_all(folder);
}

TEST(Project, MediaFilesNeverAskForADisc) {
    Harness h;
    h.AddGame(SetsStarted(), ProjectBuilder()
                                 .MediaExtensions(".wav.ogg")
                                 .FolderDisc("BGM\\", 2)
                                 .FolderDisc("PAGES\\", 2));
    TProject& project = h.Open();
    EXPECT_FALSE(project.FileAvailable("bgm\\theme.OGG"));
    EXPECT_FALSE(project.FileAvailable("other\\page.ksb"));
    EXPECT_TRUE(h.dialogs.shown.empty());
    EXPECT_TRUE(project.FileAvailable("start.ksb"));

    // A page on disc 2 is asked for; giving up ends the game.
    h.dialogs.answers = {DialogAnswer::Cancel, DialogAnswer::Ok};
    EXPECT_FALSE(project.FileAvailable("pages\\next.ksb"));
    EXPECT_EQ(h.dialogs.shown.size(), 2u);
    EXPECT_TRUE(h.player.quitRequest);
}

TEST(Project, OriginalProjectFileReplacesTheDiscTable) {
    // The installer leaves the copy as a loose file in the game folder.
    std::filesystem::path folder =
        std::filesystem::path(::testing::TempDir()) / "kivo-original-project";
    std::filesystem::create_directories(folder);
    std::vector<uint8_t> original = ProjectBuilder().FolderDisc("VOICE\\", 3).Bytes();
    std::ofstream(folder / "original_kivo.kpb", std::ios::binary)
        .write(reinterpret_cast<const char*>(original.data()),
               static_cast<std::streamsize>(original.size()));
    Harness h;
    h.files.SetFolder(folder);
    h.AddGame(SetsStarted(), ProjectBuilder().FolderDisc("BGM\\", 2));
    TProject& project = h.Open();
    EXPECT_EQ(project.FolderDiscs().DiscOf("VOICE\\a.wav"), 3);
    EXPECT_EQ(project.FolderDiscs().DiscOf("BGM\\a.wav"), 0);
    std::filesystem::remove_all(folder);
}

TEST(Project, CloseRunsTheExitPageOnce) {
    Harness h;
    PageBuilder exitPage;
    exitPage.Add(VarNew("bye", PT_INT, Int(1)).Continue()).Add(Wait("", Int(0)).Continue());
    h.AddGame(SetsStarted(), ProjectBuilder().ExitPage("exit.ksb"));
    h.AddPage("exit.ksb", exitPage);
    TProject& project = h.Open();
    h.Frame();
    h.player.quitRequest = true;  // the window was closed
    project.Close();
    EXPECT_EQ(h.Int("bye"), 1);
    EXPECT_TRUE(h.player.quitRequest);
    EXPECT_EQ(project.Interpreter(), nullptr);
}

}  // namespace
}  // namespace kivo::test
