// The archive reader against hand-built bytes of every version, the executable trailer, the
// directory sidecar, split volumes, and damaged directories.

#include <gtest/gtest.h>

#include "base/error.h"
#include "storage/archive_fixture.h"
#include "storage/tp_random.h"
#include "storage/vr_file_collection.h"
#include "storage/vr_file_manager.h"

namespace kivo {
namespace {

using test::Bytes;
using test::FixtureEntry;

std::string Text(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

TEST(TpRandom, FollowsTheRecurrenceAndDrawsAPermutation) {
    TTpRandom random(7);
    EXPECT_EQ(random.Next(), 7);
    EXPECT_EQ(random.Next(), 42);
    EXPECT_EQ(random.Next(), 217);
    TTpRandom wraps(-1);
    EXPECT_EQ(wraps.Next(), -1);
    EXPECT_EQ(wraps.Next(), -6);  // 0xFFFFFFFF * 5 - 1 modulo 2^32

    TTpRandom deck(12341);
    deck.Shuffle(5);
    // state 12341 -> index 12341 mod 5 = 1; state 74046 -> 74046 mod 4 = 2 of {0,2,3,4} ...
    EXPECT_EQ(deck.Draw(), 1);
    EXPECT_EQ(deck.Draw(), 3);
    std::vector<int32_t> rest;
    while (deck.DeckCount() > 0)
        rest.push_back(deck.Draw());
    std::sort(rest.begin(), rest.end());
    EXPECT_EQ(rest, (std::vector<int32_t>{0, 2, 4}));
}

TEST(ArchiveReader, ReadsEveryVersion) {
    for (int version : {0, 100, 101, 102}) {
        SCOPED_TRACE(version);
        std::vector<FixtureEntry> entries = {
            {"a\\one.txt", Bytes("first"), 1, 0x5A6B7C8D, 0x11223344, 1},
            {"two.ks", test::ZlibOf("second entry"), 0, 0, -5, 0},
            {"empty", {}, 1, 0, 0, 0},
        };
        // Old versions have no flags: every entry counts as compressed.
        if (version < 101) entries[0].stored = test::ZlibOf("first");
        auto folder = test::TestFolder("versions" + std::to_string(version));
        test::WriteFile(folder / "game.dat", test::BuildArchive(version, entries));

        TVrFileCollection archive;
        archive.OpenArchive(folder / "game.dat", false);
        ASSERT_EQ(archive.Count(), 4);
        EXPECT_EQ(archive.Version(), version);
        EXPECT_EQ(archive.At(3).Name(), "\\EOF\\");
        TVrFile* one = archive.FindFile("A\\ONE.TXT");
        ASSERT_NE(one, nullptr);
        EXPECT_EQ(Text(archive.ReadEntry(*one)), "first");
        EXPECT_EQ(Text(archive.ReadEntry(*archive.FindFile("two.ks"))), "second entry");
        EXPECT_TRUE(archive.ReadEntry(*archive.FindFile("empty")).empty());
        EXPECT_EQ(one->stored, version >= 101 ? 1 : 0);
        EXPECT_EQ(one->timestamp, version >= 101 ? 0x5A6B7C8D : 0);
        EXPECT_EQ(one->checksum, version >= 101 ? 0x11223344 : 0);
        EXPECT_EQ(one->rawChecksum, version >= 102 ? 1 : 0);
        EXPECT_EQ(archive.FindFile("two.ks")->checksum, version >= 101 ? -5 : 0);
    }
}

TEST(ArchiveReader, VersionZeroZlibEntryLoadsByAnyCase) {
    auto folder = test::TestFolder("version0");
    test::WriteFile(folder / "game.dat", test::BuildArchive(0, {{"x", test::ZlibOf("abc"), 0}}));
    TVrFileManager manager;
    ASSERT_EQ(manager.AddArchive(""), 0);
    ASSERT_EQ(manager.AddArchive(folder / "game.dat"), 1);
    EXPECT_EQ(manager.AddArchive(folder / "game.dat"), -1);
    EXPECT_EQ(Text(manager.Load("X")), "abc");
}

TEST(ArchiveReader, EmptyArchiveDuplicatesAndTheEndEntry) {
    auto folder = test::TestFolder("shapes");
    test::WriteFile(folder / "empty.dat", test::BuildArchive(102, {}));
    test::WriteFile(folder / "dup.dat",
                    test::BuildArchive(102, {{"same", Bytes("old")}, {"SAME", Bytes("new")}}));
    TVrFileManager manager;
    manager.AddArchive(folder / "empty.dat");
    EXPECT_EQ(manager.Collection(0).Count(), 1);  // only the end entry
    EXPECT_FALSE(manager.FileExists("\\EOF\\"));
    EXPECT_TRUE(manager.Collection(0).Files().empty());
    manager.AddArchive(folder / "dup.dat");
    EXPECT_EQ(Text(manager.Load("same")), "new");
}

TEST(ArchiveReader, ExecutableTrailerIsFoundAndATruncatedOneIsNot) {
    auto folder = test::TestFolder("trailer");
    std::vector<uint8_t> program = Bytes(
        "\x7F"
        "ELF pretend program code");
    const auto start = static_cast<uint32_t>(program.size());
    std::vector<uint8_t> archive = test::BuildArchive(102, {{"page.ksb", Bytes("page")}});
    program.insert(program.end(), archive.begin(), archive.end());
    test::Put32(program, start);
    program.push_back('k');
    program.push_back('v');
    test::WriteFile(folder / "kivoplay", program);
    test::WriteFile(folder / "game.exe", program);
    program.pop_back();
    test::WriteFile(folder / "cut", program);

    for (const char* name : {"kivoplay", "game.exe"}) {
        TVrFileManager manager;
        manager.AddArchive(folder / name);
        EXPECT_EQ(Text(manager.Load("page.ksb")), "page") << name;
    }
    TVrFileManager cut;
    cut.AddArchive(folder / "cut");
    EXPECT_FALSE(cut.FileExists("page.ksb"));
}

TEST(ArchiveReader, SidecarHoldsTheDirectory) {
    auto folder = test::TestFolder("sidecar");
    // The data file holds the contents back to back; its offsets count from its own start.
    std::vector<uint8_t> directory =
        test::BuildArchive(101, {{"a.txt", Bytes("alpha")}, {"b.txt", Bytes("beta")}}, 0);
    std::vector<uint8_t> data = Bytes("alphabeta");
    test::WriteFile(folder / "game.dat", data);
    test::WriteFile(folder / "game.ext", directory);
    TVrFileManager manager;
    manager.AddArchive(folder / "game.dat");
    EXPECT_EQ(Text(manager.Load("b.txt")), "beta");
    EXPECT_EQ(Text(manager.Load("a.txt")), "alpha");
}

TEST(ArchiveReader, EntrySpanningSplitVolumes) {
    auto folder = test::TestFolder("volumes");
    // Volume 0 is a sparse file of exactly 1 GiB with the directory at its start; the one
    // entry starts 3 bytes before its end and runs on into game.001.
    const uint64_t volume = 0x40000000;
    std::vector<uint8_t> head =
        test::BuildArchive(101, {{"big.bin", Bytes("ABCDEFG")}}, volume - 3);
    test::WriteFile(folder / "game.dat", head);
    std::filesystem::resize_file(folder / "game.dat", volume);
    {
        std::fstream out(folder / "game.dat", std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(static_cast<std::streamoff>(volume - 3));
        out.write("ABC", 3);
    }
    test::WriteFile(folder / "game.001", Bytes("DEFG"));
    TVrFileManager manager;
    manager.AddArchive(folder / "game.dat");
    EXPECT_EQ(Text(manager.Load("big.bin")), "ABCDEFG");
    auto range = manager.OpenRange("big.bin");
    char bytes[8] = {};
    range->SetPosition(2);
    EXPECT_EQ(range->Read(bytes, 8), 5);
    EXPECT_EQ(std::string(bytes, 5), "CDEFG");
    std::filesystem::remove_all(folder);
}

TEST(ArchiveReader, DamagedDirectoriesFailNamingTheArchive) {
    auto folder = test::TestFolder("damaged");
    const std::vector<uint8_t> good =
        test::BuildArchive(102, {{"a.txt", Bytes("alpha")}, {"b.txt", test::ZlibOf("beta"), 0}});
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    auto patched = [&](size_t at, std::vector<uint8_t> with) {
        std::vector<uint8_t> bytes = good;
        std::copy(with.begin(), with.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        return bytes;
    };
    cases.push_back({"negative count", patched(6, {0xFF, 0xFF, 0xFF, 0xFF})});
    cases.push_back({"huge count", patched(6, {0xFF, 0xFF, 0xFF, 0x7F})});
    cases.push_back({"negative name length", patched(10, {0xFE, 0xFF, 0xFF, 0xFF})});
    cases.push_back({"name length past the end", patched(10, {0x00, 0x00, 0x01, 0x00})});
    // Directory after the names: offsets start at 10 + 2 * (4 + 5) = 28.
    cases.push_back({"falling offsets", patched(28 + 8, {0x00, 0x01, 0x02})});
    cases.push_back({"offset past the end", patched(28 + 16, {0x00, 0x00, 0x00, 0x40})});
    for (size_t cut = 1; cut < 48; cut += 3) {
        cases.push_back({"truncated", std::vector<uint8_t>(good.begin(),
                                                           good.end() - static_cast<std::ptrdiff_t>(
                                                                            good.size() - cut))});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::WriteFile(folder / "bad.dat", c.bytes);
        TVrFileCollection archive;
        try {
            archive.OpenArchive(folder / "bad.dat", false);
            ADD_FAILURE() << "accepted";
        } catch (const KivoError& error) {
            EXPECT_EQ(error.File(), (folder / "bad.dat").string());
        }
    }
}

TEST(ArchiveReader, LastOffsetMayReachTheEndOfTheDataButNotPassIt) {
    // The last offset is where the data ends. An archive one byte short of it, on its own or
    // before an executable's trailer, is refused; the full one is read.
    auto folder = test::TestFolder("data-end");
    const std::vector<uint8_t> whole = test::BuildArchive(102, {{"a.txt", Bytes("alpha")}});
    const std::vector<uint8_t> short1(whole.begin(), whole.end() - 1);
    auto withTrailer = [](std::vector<uint8_t> archive) {
        std::vector<uint8_t> program = Bytes(
            "\x7F"
            "ELF program");
        const auto start = static_cast<uint32_t>(program.size());
        program.insert(program.end(), archive.begin(), archive.end());
        test::Put32(program, start);
        program.push_back('k');
        program.push_back('v');
        return program;
    };
    struct Case {
        const char* file;
        std::vector<uint8_t> bytes;
        bool accepted;
    } cases[] = {
        {"whole.dat", whole, true},
        {"short.dat", short1, false},
        {"whole.exe", withTrailer(whole), true},
        {"short.exe", withTrailer(short1), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        test::WriteFile(folder / c.file, c.bytes);
        TVrFileCollection archive;
        if (c.accepted) {
            archive.OpenArchive(folder / c.file, false);
            EXPECT_EQ(Text(archive.ReadEntry(*archive.FindFile("a.txt"))), "alpha");
        } else {
            EXPECT_THROW(archive.OpenArchive(folder / c.file, false), KivoError);
        }
    }
}

TEST(ArchiveReader, CorruptAndTruncatedZlibEntriesAreErrors) {
    auto folder = test::TestFolder("zlib");
    std::vector<uint8_t> packed = test::ZlibOf(std::string(5000, 'z'));
    std::vector<uint8_t> cut(packed.begin(), packed.end() - 6);
    std::vector<uint8_t> corrupt = packed;
    corrupt[3] ^= 0xFF;
    test::WriteFile(
        folder / "game.dat",
        test::BuildArchive(101, {{"cut", cut, 0}, {"corrupt", corrupt, 0}, {"zero", {}, 0}}));
    TVrFileManager manager;
    manager.AddArchive(folder / "game.dat");
    EXPECT_THROW((void)manager.Load("cut"), KivoError);
    EXPECT_THROW((void)manager.Load("corrupt"), KivoError);
    EXPECT_TRUE(manager.Load("zero").empty());
    EXPECT_THROW((void)Inflate(packed, "bomb", 100), KivoError);
}

}  // namespace
}  // namespace kivo
