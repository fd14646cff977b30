// kivo-pack end to end: the built program run on archives made in the test.

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/sjis.h"
#include "storage/archive_fixture.h"
#include "storage/vr_file_collection.h"
#include "storage/vr_file_manager.h"
#include "support/pe_builder.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::FixtureEntry;

struct PackRun {
    int status;
    std::string out;
    std::string err;
};

// The tool sits in the build tree at src/tools/ beside the tests/ folder of this program.
fs::path ToolPath() {
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "src" / "tools" /
           "kivo-pack";
}

std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

PackRun Pack(const fs::path& folder, const std::vector<std::string>& args) {
    std::string command = Quote(ToolPath().string());
    for (const std::string& arg : args)
        command += " " + Quote(arg);
    command +=
        " > " + Quote((folder / "stdout").string()) + " 2> " + Quote((folder / "stderr").string());
    int status = std::system(command.c_str());
    auto text = [](const fs::path& path) {
        std::vector<uint8_t> bytes = test::ReadFile(path);
        return std::string(bytes.begin(), bytes.end());
    };
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text(folder / "stdout"),
            text(folder / "stderr")};
}

class PackTool : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(ToolPath())) << "build kivo-pack first: " << ToolPath();
    }
};

// "画像\背景.txt" and "表.txt" (whose second byte is 0x5C) in Shift-JIS.
const std::string kImageName = "\x89\xE6\x91\x9C\\\x94\x77\x8C\x69.txt";
const std::string kTableName = "\x95\x5C.txt";

TEST_F(PackTool, ExtractThenCreateReproducesEveryEntry) {
    auto folder = test::TestFolder("pack-roundtrip");
    std::vector<uint8_t> big(300000);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i * i);
    const std::vector<FixtureEntry> entries = {
        {kImageName, test::ZlibOf("background"), 0, 0,
         static_cast<int32_t>(Crc32(Bytes("background"))), 1},
        {kTableName, Bytes("table"), 1, 0, static_cast<int32_t>(Crc32(Bytes("table"))), 0},
        {"Sound\\BGM.ogg", big, 1, 0, static_cast<int32_t>(Crc32(big)), 0},
        {"empty.txt", {}, 1, 0, 0, 0},
    };
    test::WriteFile(folder / "game.dat", test::BuildArchive(102, entries));

    PackRun list = Pack(folder, {"list", (folder / "game.dat").string()});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find(sjis::ToUtf8(kImageName)), std::string::npos) << list.out;
    EXPECT_EQ(list.out.find("EOF"), std::string::npos);

    PackRun extract =
        Pack(folder, {"extract", (folder / "game.dat").string(), "-o", (folder / "out").string()});
    ASSERT_EQ(extract.status, 0) << extract.err;
    EXPECT_EQ(test::ReadFile(folder / "out" / "画像" / "背景.txt"), Bytes("background"));
    EXPECT_EQ(test::ReadFile(folder / "out" / "表.txt"), Bytes("table"));

    PackRun create =
        Pack(folder, {"create", "-o", (folder / "again.dat").string(), (folder / "out").string()});
    ASSERT_EQ(create.status, 0) << create.err;
    TVrFileCollection original;
    original.OpenArchive(folder / "game.dat", false);
    TVrFileCollection again;
    again.OpenArchive(folder / "again.dat", false);
    ASSERT_EQ(again.Files().size(), entries.size());
    for (const TVrFile* entry : original.Files()) {
        SCOPED_TRACE(sjis::ToUtf8(entry->Name()));
        const TVrFile* copy = again.FindFile(entry->Name());
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->Name(), entry->Name());
        EXPECT_EQ(again.ReadEntry(*copy), original.ReadEntry(*entry));
    }
    EXPECT_EQ(Pack(folder, {"verify", (folder / "again.dat").string()}).status, 0);

    // Only the named entries, by their UTF-8 names.
    PackRun one = Pack(folder, {"extract", (folder / "game.dat").string(), "-o",
                            (folder / "one").string(), "sound/bgm.ogg"});
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(test::ReadFile(folder / "one" / "Sound" / "BGM.ogg"), big);
    EXPECT_FALSE(fs::exists(folder / "one" / "empty.txt"));
}

TEST_F(PackTool, ExtractRefusesNamesThatLeaveTheFolderAndReportsBadCrcs) {
    auto folder = test::TestFolder("pack-hostile");
    const std::vector<FixtureEntry> entries = {
        {"..\\escape.txt", Bytes("out"), 1},
        {"a\\..\\..\\escape2.txt", Bytes("out"), 1},
        {"/tmp/absolute.txt", Bytes("out"), 1},
        {"good.txt", Bytes("good"), 1, 0, static_cast<int32_t>(Crc32(Bytes("good")))},
        {"bent.txt", Bytes("bent"), 1, 0, 12345},
    };
    test::WriteFile(folder / "game.dat", test::BuildArchive(101, entries));
    PackRun extract =
        Pack(folder, {"extract", (folder / "game.dat").string(), "-o", (folder / "out").string()});
    EXPECT_EQ(extract.status, 1);
    for (const char* name : {"..\\escape.txt", "a\\..\\..\\escape2.txt", "/tmp/absolute.txt"}) {
        EXPECT_NE(extract.err.find(std::string(name) + ": refused"), std::string::npos)
            << extract.err;
    }
    EXPECT_NE(extract.err.find("bent.txt: CRC"), std::string::npos) << extract.err;
    EXPECT_FALSE(fs::exists(folder / "escape.txt"));
    EXPECT_FALSE(fs::exists(folder / "escape2.txt"));
    EXPECT_FALSE(fs::exists(folder / "out" / "bent.txt"));
    EXPECT_EQ(test::ReadFile(folder / "out" / "good.txt"), Bytes("good"));
    EXPECT_EQ(Pack(folder, {"verify", (folder / "game.dat").string()}).status, 1);
}

TEST_F(PackTool, AppendExeMakesAnArchiveThePlayerMounts) {
    auto folder = test::TestFolder("pack-exe");
    test::WriteFile(folder / "game.dat", test::BuildArchive(102, {{"start.ksb", Bytes("first")}}));
    test::WriteFile(folder / "second.dat",
                    test::BuildArchive(102, {{"start.ksb", Bytes("second")}}));
    test::WriteFile(folder / "player", Bytes("\x7F"
                                             "ELF program"));
    fs::permissions(folder / "player", fs::perms::owner_all);
    ASSERT_EQ(
        Pack(folder, {"append-exe", (folder / "player").string(), (folder / "game.dat").string()})
            .status,
        0);
    // Appending again replaces the archive instead of stacking a second one.
    ASSERT_EQ(
        Pack(folder, {"append-exe", (folder / "player").string(), (folder / "second.dat").string()})
            .status,
        0);
    EXPECT_EQ((fs::status(folder / "player").permissions() & fs::perms::owner_exec),
              fs::perms::owner_exec);
    std::vector<uint8_t> program = test::ReadFile(folder / "player");
    EXPECT_EQ(program.size(), 12 + test::ReadFile(folder / "second.dat").size() + 6);
    TVrFileManager manager;
    manager.AddArchive(folder / "player");
    std::vector<uint8_t> content = manager.Load("start.ksb");
    EXPECT_EQ(std::string(content.begin(), content.end()), "second");
    EXPECT_EQ(Pack(folder, {"list", (folder / "player").string()}).status, 0);
}

TEST_F(PackTool, ReadsTheArchiveAWindowsProgramCarries) {
    auto folder = test::TestFolder("pack-program");
    std::vector<uint8_t> inResource =
        test::BuildArchive(102, {{"start.ksb", Bytes("from the resource"), 1, 0,
                                  static_cast<int32_t>(Crc32(Bytes("from the resource"))), 1}});
    inResource.push_back('v');
    inResource.push_back('f');
    const std::vector<uint8_t> appended =
        test::BuildArchive(102, {{"start.ksb", Bytes("appended"), 1, 0,
                                  static_cast<int32_t>(Crc32(Bytes("appended"))), 1}});
    const std::vector<uint8_t> program =
        test::PeBuilder().Resource("BINTYPE", "DUMMY", inResource).Bytes();
    // The resource wins over an appended archive; without it the appended one is read.
    test::WriteFile(folder / "GAME.EXE", test::WithTrailerArchive(program, appended));
    test::WriteFile(folder / "plain.exe",
                    test::WithTrailerArchive(test::PeBuilder().Bytes(), appended));
    struct Case {
        const char* program;
        const char* content;
    } cases[] = {{"GAME.EXE", "from the resource"}, {"plain.exe", "appended"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        const fs::path out = folder / (std::string(c.program) + ".out");
        EXPECT_EQ(Pack(folder, {"verify", (folder / c.program).string()}).status, 0);
        PackRun listed = Pack(folder, {"list", (folder / c.program).string()});
        EXPECT_EQ(listed.status, 0);
        EXPECT_NE(listed.out.find("start.ksb"), std::string::npos) << listed.out;
        ASSERT_EQ(
            Pack(folder, {"extract", (folder / c.program).string(), "-o", out.string()}).status, 0);
        EXPECT_EQ(test::ReadFile(out / "start.ksb"), Bytes(c.content));
    }
    test::WriteFile(folder / "empty.exe", test::PeBuilder().Bytes());
    PackRun empty = Pack(folder, {"list", (folder / "empty.exe").string()});
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.err.find("empty.exe"), std::string::npos) << empty.err;
}

TEST_F(PackTool, CreateFailsClearlyAndKeepsTheOldArchive) {
    auto folder = test::TestFolder("pack-create-fail");
    test::WriteFile(folder / "old.dat", Bytes("previous archive"));
    test::WriteFile(folder / "src" / "ok.txt", Bytes("ok"));
    test::WriteFile(folder / "src" / "ɐ.txt", Bytes("no Shift-JIS for this"));
    PackRun create =
        Pack(folder, {"create", "-o", (folder / "old.dat").string(), (folder / "src").string()});
    EXPECT_EQ(create.status, 1);
    EXPECT_NE(create.err.find("ɐ.txt: this name cannot be written in Shift-JIS"), std::string::npos)
        << create.err;
    EXPECT_EQ(test::ReadFile(folder / "old.dat"), Bytes("previous archive"));

    for (const std::vector<std::string>& usage : {std::vector<std::string>{},
                                                  {"frobnicate"},
                                                  {"create", "src"},
                                                  {"list"},
                                                  {"extract", "x", "-o"}}) {
        EXPECT_EQ(Pack(folder, usage).status, 2);
    }
    EXPECT_EQ(Pack(folder, {"--help"}).status, 0);
    EXPECT_NE(Pack(folder, {"list", (folder / "missing.dat").string()}).status, 0);
}

}  // namespace
}  // namespace kivo
