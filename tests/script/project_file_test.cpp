#include "script/project_file.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "support/project_builder.h"

namespace kivo {
namespace {

using test::ProjectBuilder;

ProjectBuilder FullProject(int32_t version) {
    ProjectBuilder builder;
    builder.Version(version)
        .Title("\x83\x65\x83\x58\x83\x67")  // "テスト" in CP932
        .Screen(800, 600)
        .FullScreen(1024, 768)
        .StartPage("start.ksb")
        .ExitPage("exit.ksb")
        .RegistryKey("Kivo\\Demo")
        .IdentificationCode(0x12345678)
        .SaveEnabled(0)
        .FramePacing(1)
        .MediaExtensions(".wav.ogg")
        .DiscPrompt("disc %d")
        .QuitText("bye")
        .IntVar("score", -7)
        .FloatVar("ratio", 0.1)
        .FlagVar("seen", true)
        .StrVar("who", "\x96\xBC")
        .FolderDisc("BGM\\", 2)
        .FolderDisc("Movie\\Op", 3);
    return builder;
}

TEST(ProjectFileTest, ReadsEveryFieldAndWritesItBack) {
    const auto bytes = FullProject(110).Bytes();
    const ProjectFile project = ProjectFile::Read(bytes, "kivo.kpb");
    EXPECT_EQ(project.title, "\x83\x65\x83\x58\x83\x67");
    EXPECT_EQ(project.screenWidth, 800);
    EXPECT_EQ(project.screenHeight, 600);
    EXPECT_EQ(project.fullScreenWidth, 1024);
    EXPECT_EQ(project.fullScreenHeight, 768);
    EXPECT_EQ(project.startPage, "start.ksb");
    EXPECT_EQ(project.exitPage, "exit.ksb");
    EXPECT_EQ(project.registryKey, "Kivo\\Demo");
    EXPECT_EQ(project.identificationCode, 0x12345678);
    EXPECT_EQ(project.saveEnabled, 0);
    EXPECT_EQ(project.framePacing, 1);
    EXPECT_EQ(project.mediaExtensions, ".wav.ogg");
    EXPECT_EQ(project.discPrompt, "disc %d");
    EXPECT_EQ(project.quitText, "bye");
    ASSERT_EQ(project.variables.size(), 4u);
    EXPECT_EQ(project.variables[0].type, PT_INT);
    EXPECT_EQ(project.variables[0].name, "score");
    EXPECT_EQ(project.variables[0].intValue, -7);
    EXPECT_EQ(project.variables[1].type, PT_FLOAT);
    EXPECT_EQ(project.variables[1].floatValue.ToDouble(), 0.1);
    EXPECT_EQ(project.variables[2].flagByte, 1);
    EXPECT_EQ(project.variables[3].text, "\x96\xBC");
    ASSERT_EQ(project.folderDiscs.Lines().size(), 2u);
    EXPECT_EQ(project.folderDiscs.Lines()[1].folder, "Movie\\Op");
    EXPECT_EQ(project.folderDiscs.Lines()[1].disc, 3);
    EXPECT_EQ(project.Write(), bytes);
}

TEST(ProjectFileTest, VersionGatesLeaveDefaults) {
    struct Case {
        int32_t version;
        bool exitPage, saveEnabled, framePacing, mediaExtensions;
    };
    for (const Case& c :
         {Case{100, false, false, false, false}, Case{103, false, false, false, false},
          Case{104, false, true, false, false}, Case{105, false, true, false, false},
          Case{106, false, true, true, false}, Case{108, false, true, true, false},
          Case{109, false, true, true, true}, Case{110, true, true, true, true}}) {
        SCOPED_TRACE(c.version);
        const auto bytes = FullProject(c.version).Bytes();
        const ProjectFile project = ProjectFile::Read(bytes, "kivo.kpb");
        EXPECT_EQ(project.exitPage, c.exitPage ? "exit.ksb" : "");
        EXPECT_EQ(project.saveEnabled, c.saveEnabled ? 0 : 1);
        EXPECT_EQ(project.framePacing, c.framePacing ? 1 : 0);
        EXPECT_EQ(project.mediaExtensions, c.mediaExtensions ? ".wav.ogg" : ".wav.wma.ogg.mid");
        EXPECT_EQ(project.variables.size(), 4u);
        EXPECT_EQ(project.folderDiscs.Lines().size(), 2u);
        EXPECT_EQ(project.Write(), bytes);
    }
}

TEST(ProjectFileTest, NewerVersionsAndTrailersAreKept) {
    auto newer = FullProject(110).Bytes();
    newer[0] = 111;
    const ProjectFile project = ProjectFile::Read(newer, "kivo.kpb");
    EXPECT_FALSE(project.IsParsed());
    EXPECT_EQ(project.Write(), newer);
    EXPECT_FALSE(ReadFolderDiscTable(newer, "/original_kivo.kpb"));

    const auto trailing = FullProject(107).Trailer(std::vector<uint8_t>{9, 9}).Bytes();
    EXPECT_EQ(ProjectFile::Read(trailing, "kivo.kpb").Write(), trailing);
}

TEST(ProjectFileTest, FolderDiscTableOfTheOriginalProject) {
    for (int32_t version : {103, 106, 110}) {
        const auto table = ReadFolderDiscTable(FullProject(version).Bytes(), "/original_kivo.kpb");
        ASSERT_TRUE(table);
        EXPECT_EQ(table->Lines().size(), 2u);
        EXPECT_EQ(table->DiscOf("bgm\\track.ogg"), 2);
    }
}

TEST(ProjectFileTest, DiscLookupWalksUpTheFolders) {
    const TFolderDiskList list(
        {{"BGM\\", 2}, {"movie\\op", 3}, {"a\\b", 4}, {"a", 5}, {"\x95\x5C", 6}, {"\x95", 7}});
    struct Case {
        const char* name;
        int32_t disc;
    };
    for (const Case& c :
         {Case{"BGM\\x.ogg", 2}, Case{"bgm\\sub\\x.ogg", 2}, Case{"MOVIE\\OP\\1.mpg", 3},
          Case{"movie\\op", 3}, Case{"movie\\ed\\1.mpg", 0}, Case{"a\\b\\c.ksb", 4},
          Case{"a\\c.ksb", 5}, Case{"start.ksb", 0}, Case{"", 0},
          // a trail byte 0x5C inside a double-byte character is not a delimiter
          Case{"\x95\x5C\\x.ksb", 6}, Case{"\x95\x5Cx.ksb", 0}}) {
        EXPECT_EQ(list.DiscOf(c.name), c.disc) << c.name;
    }
}

TEST(ProjectFileTest, DamagedProjectsFailCleanlyAndNameTheFile) {
    const auto good = FullProject(110).Bytes();
    for (size_t size = 0; size < good.size(); ++size) {
        EXPECT_THROW((void)ProjectFile::Read(std::span(good.data(), size), "kivo.kpb"), KivoError)
            << size;
    }
    for (uint8_t type : {uint8_t{5}, uint8_t{0x81}, uint8_t{255}}) {
        const auto bytes = ProjectBuilder().RawVar(type, "odd", std::vector<uint8_t>{}).Bytes();
        try {
            (void)ProjectFile::Read(bytes, "kivo.kpb");
            ADD_FAILURE() << int{type};
        } catch (const KivoError& e) {
            EXPECT_EQ(e.File(), "kivo.kpb");
        }
    }
    auto withCountAt = [&](size_t offset, int32_t count) {
        auto bytes = ProjectBuilder().Bytes();
        for (int i = 0; i < 4; ++i)
            bytes[offset + i] = static_cast<uint8_t>(static_cast<uint32_t>(count) >> (8 * i));
        return bytes;
    };
    // With no variables and no folders the two counts are the last eight bytes.
    const size_t end = ProjectBuilder().Bytes().size();
    EXPECT_THROW((void)ProjectFile::Read(withCountAt(end - 8, 0x7FFFFFFF), "kivo.kpb"), KivoError);
    EXPECT_THROW((void)ProjectFile::Read(withCountAt(end - 8, -1), "kivo.kpb"), KivoError);
    EXPECT_THROW((void)ProjectFile::Read(withCountAt(end - 4, 1 << 28), "kivo.kpb"), KivoError);
}

TEST(ProjectFileTest, ReferenceVariablesHaveNoValue) {
    const auto bytes =
        ProjectBuilder().RawVar(0, "r", std::vector<uint8_t>{}).IntVar("i", 1).Bytes();
    const ProjectFile project = ProjectFile::Read(bytes, "kivo.kpb");
    ASSERT_EQ(project.variables.size(), 2u);
    EXPECT_EQ(project.variables[0].type, PT_NONE);
    EXPECT_EQ(project.variables[1].intValue, 1);
    EXPECT_EQ(project.Write(), bytes);
}

}  // namespace
}  // namespace kivo
