// The virtual file manager: loose-file lookup on the host, the order in which each operation
// searches, the content cache, range streams, work files and data discs.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/error.h"
#include "base/sjis.h"
#include "platform/host_files.h"
#include "storage/archive_fixture.h"
#include "storage/install_data.h"
#include "storage/vr_file_manager.h"

namespace kivo {
namespace {

using test::Bytes;

std::string Text(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

TEST(LooseFolder, FindsNamesWhateverTheirCaseAndEncoding) {
    auto folder = test::TestFolder("loose");
    // "画像" in Shift-JIS is 89 E6 91 9C; "表" is 95 5C, whose trail byte is a backslash.
    const std::string image = "\x89\xE6\x91\x9C";
    const std::string table = "\x95\x5C";
    test::WriteFile(folder / "a" / "b" / "C.gal", Bytes("gal"));
    test::WriteFile(folder / sjis::ToUtf8(image) / "x.txt", Bytes("utf8 name"));
    test::WriteFile(folder / (table + ".txt"), Bytes("raw name"));
    test::WriteFile(folder / "outside.txt", Bytes("outside"));
    TVrLooseFolder loose(folder / "game");
    std::filesystem::create_directories(folder / "game");
    test::WriteFile(folder / "game" / "inside.txt", Bytes("inside"));
    TVrLooseFolder top(folder);

    EXPECT_EQ(top.Find("a\\B\\c.GAL"), folder / "a" / "b" / "C.gal");
    EXPECT_EQ(top.Find("A/b/C.gal"), folder / "a" / "b" / "C.gal");
    EXPECT_EQ(top.Find(image + "\\X.TXT"), folder / sjis::ToUtf8(image) / "x.txt");
    // The trail byte 0x5C of the name is no delimiter.
    EXPECT_EQ(top.Find(table + ".TXT"), folder / (table + ".txt"));
    EXPECT_EQ(top.Find("a\\b"), std::nullopt);  // folders are not files
    EXPECT_EQ(top.Find("a\\.\\x\\..\\b\\c.gal"), folder / "a" / "b" / "C.gal");
    for (const char* escape : {"..\\outside.txt", "x\\..\\..\\outside.txt", "/etc/passwd",
                               "\\outside.txt", "C:\\outside.txt"}) {
        EXPECT_EQ(loose.Find(escape), std::nullopt) << escape;
        EXPECT_EQ(loose.PathForWrite(escape), std::nullopt) << escape;
    }
    EXPECT_EQ(loose.Find("INSIDE.txt"), folder / "game" / "inside.txt");
    EXPECT_EQ(top.PathForWrite("A\\new\\" + image), folder / "a" / "new" / sjis::ToUtf8(image));
}

TEST(VrFileManager, EachOperationSearchesInItsOwnOrder) {
    auto folder = test::TestFolder("order");
    test::WriteFile(folder / "game" / "both.txt", Bytes("loose"));
    test::WriteFile(folder / "game" / "game.dat",
                    test::BuildArchive(102, {{"both.txt", Bytes("archived")},
                                             {"packed.ogg", Bytes("stored bytes"), 1},
                                             {"small.txt", test::ZlibOf("inflated"), 0},
                                             {"empty.txt", {}, 1}}));
    test::WriteFile(folder / "disc" / "disc.txt", Bytes("from disc"));
    TVrFileManager manager(TVrDiscSources{{folder / "disc"}, {}});
    manager.AddArchive("");
    manager.SetFolder(folder / "game");
    manager.AddArchive(folder / "game" / "game.dat");
    manager.MemoryCollection().AddMemoryEntry("mem.txt").memory->Write("memory", 6);

    EXPECT_EQ(Text(manager.Load("both.txt")), "loose");
    EXPECT_EQ(Text(manager.Load("small.txt")), "inflated");
    EXPECT_EQ(Text(manager.Load("mem.txt")), "memory");
    EXPECT_FALSE(manager.Cache().Contains("mem.txt"));
    EXPECT_EQ(Text(manager.Load("disc.txt")), "from disc");
    EXPECT_TRUE(manager.Load("empty.txt").empty());
    for (const char* name : {"both.txt", "mem.txt", "disc.txt", "packed.ogg"})
        EXPECT_TRUE(manager.FileExists(name)) << name;
    EXPECT_FALSE(manager.FileExists(""));
    EXPECT_FALSE(manager.FileExists("none.txt"));
    try {
        (void)manager.Load("none.txt");
        ADD_FAILURE();
    } catch (const KivoError& error) {
        EXPECT_EQ(error.Message(), "none.txt:ファイルがありません");
    }

    // Ranges: stored entries in place, compressed ones inflated, memory entries never.
    auto range = manager.OpenRange("packed.ogg");
    char bytes[32] = {};
    EXPECT_EQ(range->GetSize(), 12);
    range->SetPosition(7);
    EXPECT_EQ(range->Read(bytes, 32), 5);
    EXPECT_EQ(std::string(bytes, 5), "bytes");
    range->SetPosition(100);
    EXPECT_EQ(range->GetPosition(), 12);
    EXPECT_EQ(range->Write("x", 1), 0);
    EXPECT_EQ(manager.OpenRange("small.txt")->GetSize(), 8);
    EXPECT_EQ(manager.OpenRange("empty.txt")->GetSize(), 0);
    EXPECT_EQ(manager.OpenRange("both.txt")->GetSize(), 5);
    EXPECT_THROW((void)manager.OpenRange("mem.txt"), KivoError);

    EXPECT_EQ(manager.GetLocalPath("both.txt")->Path(), folder / "game" / "both.txt");
    EXPECT_EQ(manager.GetLocalPath("disc.txt")->Path(), folder / "disc" / "disc.txt");
    EXPECT_FALSE(manager.GetLocalPath("both.txt")->IsWorkFile());
    EXPECT_FALSE(manager.GetLocalPath("none.txt").has_value());
}

TEST(VrFileManager, FilesWrittenAsideAreFoundBeforeTheGameFolders) {
    auto folder = test::TestFolder("written");
    test::WriteFile(folder / "game" / "shot.gal", Bytes("shipped"));
    test::WriteFile(folder / "game" / "only.txt", Bytes("game"));
    test::WriteFile(folder / "saves" / "SHOT.GAL", Bytes("rewritten"));
    TVrFileManager manager;
    manager.SetFolder(folder / "game");
    manager.SetWrittenFolder(folder / "saves");
    EXPECT_EQ(Text(manager.Load("shot.gal")), "rewritten");
    EXPECT_EQ(manager.GetLocalPath("shot.gal")->Path(), folder / "saves" / "SHOT.GAL");
    EXPECT_EQ(Text(manager.Load("only.txt")), "game");
    EXPECT_FALSE(manager.FileExists("none.txt"));
}

TEST(VrFileManager, CacheKeepsOldContentAndEvictsLeastRecentlyUsed) {
    auto folder = test::TestFolder("cache");
    TVrFileManager manager;
    manager.SetFolder(folder);
    test::WriteFile(folder / "page.ksb", Bytes("old"));
    EXPECT_EQ(Text(manager.Load("page.ksb")), "old");
    test::WriteFile(folder / "page.ksb", Bytes("new"));
    EXPECT_EQ(Text(manager.Load("PAGE.KSB")), "old");
    manager.Remove("page.ksb");
    EXPECT_EQ(Text(manager.Load("page.ksb")), "new");

    // Shift-JIS names that differ only in a trail byte ('a' vs 'A' after lead 0x82) stay apart.
    test::WriteFile(folder / "\x82\x61", Bytes("one"));
    test::WriteFile(folder / "\x82\x41", Bytes("two"));
    EXPECT_EQ(Text(manager.Load("\x82\x61")), "one");
    EXPECT_EQ(Text(manager.Load("\x82\x41")), "two");

    manager.Cache().Clear();
    for (char c : std::string("ABCD"))
        test::WriteFile(folder / std::string(1, c),
                        std::vector<uint8_t>(2000000, static_cast<uint8_t>(c)));
    for (const char* name : {"A", "B", "C"})
        (void)manager.Load(name);
    EXPECT_TRUE(manager.Cache().Contains("A"));
    EXPECT_EQ(manager.Cache().TotalSize(), 6000000);
    (void)manager.Load("D");
    EXPECT_FALSE(manager.Cache().Contains("A"));
    for (const char* name : {"B", "C", "D"})
        EXPECT_TRUE(manager.Cache().Contains(name)) << name;
}

TEST(VrFileManager, WorkFilesArePrivateAndGoWithTheManager) {
    auto folder = test::TestFolder("work");
    test::WriteFile(folder / "game.dat",
                    test::BuildArchive(102, {{"movie\\intro.wmv", Bytes("video bytes")},
                                             {"cur.ani", Bytes("c")}}));
    std::filesystem::path work;
    {
        TVrFileManager first;
        TVrFileManager second;
        first.AddArchive(folder / "game.dat");
        second.AddArchive(folder / "game.dat");
        auto held = first.GetLocalPath("movie\\intro.wmv");
        ASSERT_TRUE(held.has_value());
        const std::filesystem::path path = held->Path();
        EXPECT_EQ(path.filename(), "~kv00000000.wmv");
        EXPECT_EQ(test::ReadFile(path), Bytes("video bytes"));
        EXPECT_EQ(first.GetLocalPath("movie\\intro.wmv")->Path(), path);  // the lock is reused
        EXPECT_EQ(first.GetLocalPath("cur.ani")->Path().filename(), "~kv00000001.ani");
        auto other = second.GetLocalPath("movie\\intro.wmv");
        EXPECT_NE(other->Path().parent_path(), path.parent_path());
        work = path.parent_path();
        struct stat info {};
        ASSERT_EQ(::stat(work.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
    EXPECT_FALSE(std::filesystem::exists(work));
}

TEST(VrFileManager, ExpiredWorkFilesAreDeletedOnceReleased) {
    auto folder = test::TestFolder("work-upkeep");
    test::WriteFile(folder / "game.dat", test::BuildArchive(102, {{"a.cur", Bytes("cursor")},
                                                                  {"b.wmv", Bytes("video")}}));
    TVrFileManager manager;
    manager.AddArchive(folder / "game.dat");
    const int32_t life = TVrFileManager::kWorkFileLifetimeMs;

    // A path taken and let go at once (a cursor loaded from it) lives out its lifetime.
    const std::filesystem::path cursor = manager.GetLocalPath("a.cur")->Path();
    // A handle kept (a video playing from the file) keeps its file past the lifetime.
    std::optional<TVrLocalFile> video = manager.GetLocalPath("b.wmv");
    const std::filesystem::path movie = video->Path();
    ASSERT_EQ(manager.WorkFileCount(), 2u);

    manager.UpkeepWorkFiles(life - 1);
    EXPECT_TRUE(std::filesystem::exists(cursor));
    // Taking the path again starts its lifetime afresh.
    EXPECT_EQ(manager.GetLocalPath("a.cur")->Path(), cursor);
    manager.UpkeepWorkFiles(life - 1);
    EXPECT_TRUE(std::filesystem::exists(cursor));
    manager.UpkeepWorkFiles(1);
    EXPECT_FALSE(std::filesystem::exists(cursor));
    EXPECT_TRUE(std::filesystem::exists(movie));
    EXPECT_EQ(manager.WorkFileCount(), 1u);

    // Copies of a handle hold the file together; the next upkeep after the last one ends
    // deletes it.
    std::optional<TVrLocalFile> copy = video;
    video.reset();
    manager.UpkeepWorkFiles(16);
    EXPECT_TRUE(std::filesystem::exists(movie));
    copy.reset();
    manager.UpkeepWorkFiles(16);
    EXPECT_FALSE(std::filesystem::exists(movie));
    EXPECT_EQ(manager.WorkFileCount(), 0u);

    // A freed name is extracted again, under a new name, when it is asked for.
    const std::filesystem::path again = manager.GetLocalPath("a.cur")->Path();
    EXPECT_NE(again, cursor);
    EXPECT_EQ(test::ReadFile(again), Bytes("cursor"));
}

// Answers prompts from a list; the disc appears in the drive after the given prompt.
struct ScriptedPrompter : TVrDiscPrompter {
    std::vector<bool> answers;
    std::vector<std::string> asked;
    size_t insertAfter = SIZE_MAX;
    bool inserted = false;
    bool unattended = false;

    bool Unattended() override { return unattended; }

    bool AskOkCancel(std::string_view, std::string_view text) override {
        asked.emplace_back(text);
        if (asked.size() > insertAfter) inserted = true;
        // Running out of answers would otherwise keep the request asking forever.
        if (answers.empty()) throw std::runtime_error("the prompt asked more often than expected");
        bool answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
};

TEST(VrFileManager, RequestDiskPromptsUntilTheDiscIsMountedOrQuit) {
    auto folder = test::TestFolder("discs");
    const std::string title = "\x83\x51\x81\x5B\x83\x80";  // "ゲーム"
    TInstallData install;
    install.version = 107;
    install.projectTitle = title;
    install.discIndex = 1;
    std::filesystem::create_directories(folder / "disc2");
    install.SaveToFile(folder / "disc2" / "install.dat");
    test::WriteFile(folder / "disc2" / "GAME.DAT",
                    test::BuildArchive(102, {{"two.ksb", Bytes("disc two")}}));

    ScriptedPrompter prompter;
    TVrFileManager manager(TVrDiscSources{{}, [&] {
                                              if (!prompter.inserted)
                                                  return std::vector<std::string>{};
                                              return std::vector<std::string>{
                                                  (folder / "disc2").string()};
                                          }});
    // The prompt is the project's text; only its "%d" is filled in.
    manager.SetDiscTexts({title, "Kivo", "Insert disc %d %s %n", "Quit?"});
    manager.SetDiscPrompter(&prompter);
    PlayerState state;

    // OK with no disc in, Cancel, decline quitting, OK after the disc went in.
    prompter.answers = {true, false, false, true};
    prompter.insertAfter = 3;
    EXPECT_TRUE(manager.RequestDisk(2, state));
    const std::string prompt = "Insert disc 2 %s %n";
    EXPECT_EQ(prompter.asked, (std::vector<std::string>{prompt, prompt, "Quit?", prompt}));
    EXPECT_FALSE(state.quitRequest);
    EXPECT_EQ(Text(manager.Load("two.ksb")), "disc two");

    // The wrong disc index is not mounted; a new request first drops the disc's archive, and
    // confirming the quit text sets the quit request.
    EXPECT_FALSE(manager.MountDisk(0));
    prompter.asked.clear();
    prompter.answers = {false, true};
    EXPECT_FALSE(manager.RequestDisk(1, state));
    EXPECT_TRUE(state.quitRequest);
    EXPECT_FALSE(manager.FileExists("two.ksb"));

    // Unattended, the default OK cannot bring a disc: one prompt, then the quit question.
    prompter.asked.clear();
    prompter.unattended = true;
    prompter.answers = {true, true};
    state.quitRequest = false;
    EXPECT_FALSE(manager.RequestDisk(1, state));
    EXPECT_EQ(prompter.asked, (std::vector<std::string>{"Insert disc 1 %s %n", "Quit?"}));
    EXPECT_TRUE(state.quitRequest);
}

TEST(HostFiles, DiscMountsComeFromMountinfo) {
    const std::string mountinfo =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "40 22 11:0 / /media/cd\\040rom ro master:2 - iso9660 /dev/sr0 ro\n"
        "41 22 0:50 / /media/auto rw - autofs systemd-1 rw\n"
        "42 22 11:1 / /mnt/dvd ro - udf /dev/sr1 ro\n";
    EXPECT_EQ(host::ParseDiscMounts(mountinfo),
              (std::vector<std::string>{"/media/cd rom", "/mnt/dvd"}));
}

}  // namespace
}  // namespace kivo
