// save.dat as an archive that is rewritten whole: slots by entry name, entries that move to the
// end when written again, the other entries carried over byte for byte, and an old file that
// survives every failure to write the new one.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "base/error.h"
#include "platform/host_files.h"
#include "storage/save_file.h"
#include "support/archive_builder.h"
#include "support/scratch_folder.h"

namespace kivo {
namespace {

using test::Bytes;

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
    const std::string text = test::ReadWholeFile(path);
    return {text.begin(), text.end()};
}

std::vector<std::string> EntryNames(const TSaveFile& file) {
    TVrFileCollection archive;
    file.Open(archive);
    std::vector<std::string> names;
    for (const TVrFile* entry : archive.Files())
        names.push_back(entry->Name());
    return names;
}

TEST(SaveFile, SlotsComeFromPlainDecimalEntryNames) {
    const struct {
        const char* name;
        std::optional<int32_t> slot;
    } cases[] = {
        {"GAMESAVEDATA0", 0},
        {"GAMESAVEDATA12", 12},
        {"GAMESAVEDATA2147483647", 2147483647},
        {"GAMESAVEDATA-1", std::nullopt},
        {"GAMESAVEDATAx", std::nullopt},
        {"GAMESAVEDATA", std::nullopt},
        {"GAMESAVEDATA1x", std::nullopt},
        {"GAMESAVEDATA99999999999", std::nullopt},
        {"STATUSSAVEDATA", std::nullopt},
        {"gamesavedata1", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SlotOfEntryName(c.name), c.slot) << c.name;
    EXPECT_EQ(GameEntryName(7), "GAMESAVEDATA7");
}

// A save.dat as an older player wrote it: a compressed slot whose checksum covers the
// uncompressed bytes, the status data stored as it is, and a second slot.
struct OldSaveFile {
    const std::vector<uint8_t> slot1 = test::ZlibOf("slot one, compressed");
    const std::vector<uint8_t> bytes =
        test::BuildArchive(102, {{"GAMESAVEDATA1", slot1, 0, 0x12345678, 0x0BADF00D, 1},
                                 {"STATUSSAVEDATA", Bytes("status"), 1, 0, 0x1111, 0},
                                 {"GAMESAVEDATA2", Bytes("slot two"), 1, 0, 0x2222, 0}});
};

TEST(SaveFile, ReplacedEntryMovesToTheEndAndTheOthersAreCopiedAsStored) {
    const test::ScratchFolder folder("kivo_save_file_test");
    const OldSaveFile old;
    WriteFile(folder / "save.dat", old.bytes);
    // A loose file named like an entry must not take the entry's place in the new file.
    WriteFile(folder / "GAMESAVEDATA2", Bytes("a stray file"));

    TSaveFile file(folder / "save.dat");
    file.ReplaceEntry("GAMESAVEDATA1", Bytes("slot one, saved again"));

    EXPECT_EQ(EntryNames(file),
              (std::vector<std::string>{"STATUSSAVEDATA", "GAMESAVEDATA2", "GAMESAVEDATA1"}));
    EXPECT_EQ(file.ReadEntry("GAMESAVEDATA1"), Bytes("slot one, saved again"));
    EXPECT_EQ(file.ReadEntry("GAMESAVEDATA2"), Bytes("slot two"));
    EXPECT_EQ(file.ReadEntry("GAMESAVEDATA9"), std::nullopt);

    // The copied entries keep their flags and checksums, however those were made.
    TVrFileCollection archive;
    file.Open(archive);
    const TVrFile* status = archive.FindFile("STATUSSAVEDATA");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->checksum, 0x1111);
    EXPECT_EQ(status->stored, 1);

    // Written again, the compressed slot arrives with its own stored bytes and checksum.
    file.ReplaceEntry("STATUSSAVEDATA", Bytes("status 2"));
    WriteFile(folder / "save.dat", old.bytes);
    file.ReplaceEntry("GAMESAVEDATA2", Bytes("slot two again"));
    file.Open(archive);
    const TVrFile* slot1 = archive.FindFile("GAMESAVEDATA1");
    ASSERT_NE(slot1, nullptr);
    EXPECT_EQ(slot1->stored, 0);
    EXPECT_EQ(slot1->rawChecksum, 1);
    EXPECT_EQ(slot1->checksum, 0x0BADF00D);
    EXPECT_EQ(slot1->timestamp, 0x12345678);
    const std::vector<uint8_t> written = ReadFile(folder / "save.dat");
    EXPECT_NE(std::search(written.begin(), written.end(), old.slot1.begin(), old.slot1.end()),
              written.end());
}

// A game saved with its status data in one rewrite gives the file two rewrites would, also
// for entries large enough to be stored and for other slots copied from the old file in pieces.
TEST(SaveFile, SeveralEntriesInOneRewriteWriteWhatOneAfterAnotherWould) {
    const test::ScratchFolder folder("kivo_save_file_test");
    std::vector<uint8_t> large(static_cast<size_t>(kStoreThreshold) + 3);  // stored as it is
    for (size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
    const OldSaveFile old;
    const std::vector<uint8_t> start = test::BuildArchive(
        102, {{"GAMESAVEDATA1", old.slot1, 0, 0x12345678, 0x0BADF00D, 1},
              {"GAMESAVEDATA3", large, 1, 0, static_cast<int32_t>(Crc32(large)), 0},
              {"STATUSSAVEDATA", Bytes("status"), 1, 0, 0x1111, 0}});
    const std::vector<uint8_t> entry = Bytes("slot one, saved again");
    for (const std::vector<uint8_t>* slot :
         {&entry, static_cast<const std::vector<uint8_t>*>(&large)}) {
        WriteFile(folder / "one.dat", start);
        WriteFile(folder / "two.dat", start);
        TSaveFile one(folder / "one.dat");
        std::vector<SaveFileEntry> both;
        both.push_back({"GAMESAVEDATA1", *slot});
        both.push_back({"STATUSSAVEDATA", Bytes("status 2")});
        one.ReplaceEntries(std::move(both));
        TSaveFile two(folder / "two.dat");
        two.ReplaceEntry("GAMESAVEDATA1", *slot);
        two.ReplaceEntry("STATUSSAVEDATA", Bytes("status 2"));
        EXPECT_EQ(ReadFile(folder / "one.dat"), ReadFile(folder / "two.dat"));
        EXPECT_EQ(EntryNames(one),
                  (std::vector<std::string>{"GAMESAVEDATA3", "GAMESAVEDATA1", "STATUSSAVEDATA"}));
        EXPECT_EQ(one.ReadEntry("GAMESAVEDATA1"), *slot);
        EXPECT_EQ(one.ReadEntry("GAMESAVEDATA3"), large);
    }
}

TEST(SaveFile, StartsAFileAndReadsTheSeedUntilItHasOne) {
    const test::ScratchFolder folder("kivo_save_file_test");
    WriteFile(folder / "game.dat", OldSaveFile().bytes);
    const std::filesystem::path own = folder / "own" / "save.dat";
    TSaveFile file(own, folder / "game.dat");
    EXPECT_EQ(file.ReadPath(), folder / "game.dat");
    EXPECT_EQ(file.ReadEntry("GAMESAVEDATA2"), Bytes("slot two"));

    file.ReplaceEntry("GAMESAVEDATA3", Bytes("three"));
    EXPECT_EQ(file.ReadPath(), own);
    EXPECT_EQ(EntryNames(file), (std::vector<std::string>{"GAMESAVEDATA1", "STATUSSAVEDATA",
                                                          "GAMESAVEDATA2", "GAMESAVEDATA3"}));
    // The seed is never written, and the new folder is the user's alone.
    EXPECT_EQ(ReadFile(folder / "game.dat"), OldSaveFile().bytes);
    const auto perms = std::filesystem::status(folder / "own").permissions();
    EXPECT_EQ(perms & std::filesystem::perms::all, std::filesystem::perms::owner_all);
}

TEST(SaveFile, FailedWritesLeaveTheOldFileWhole) {
    const test::ScratchFolder folder("kivo_save_file_test");
    const OldSaveFile old;
    WriteFile(folder / "save.dat", old.bytes);
    TSaveFile file(folder / "save.dat");
    // A disk that fills up half-way through the temporary file.
    file.SetWriter(
        [](const std::filesystem::path& path, const std::function<void(TTpBigStream&)>& write) {
            TTpBigMemoryStream bytes;
            write(bytes);
            host::ReplacingFile out(path);
            ASSERT_TRUE(out.File().WriteAt(0, bytes.Memory().Bytes().data(), bytes.GetSize() / 2));
            throw KivoError(path.string(), "no space left on device");
        });
    EXPECT_THROW(file.ReplaceEntry("GAMESAVEDATA1", Bytes("new")), KivoError);
    EXPECT_EQ(ReadFile(folder / "save.dat"), old.bytes);
    // Nothing is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

TEST(SaveFile, ReadOnlyFolderKeepsTheOldFile) {
    const test::ScratchFolder folder("kivo_save_file_test");
    const OldSaveFile old;
    const std::filesystem::path locked = folder / "locked";
    std::filesystem::create_directory(locked);
    WriteFile(locked / "save.dat", old.bytes);
    std::filesystem::permissions(
        locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (host::IsWritable(locked)) {
        std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
        GTEST_SKIP() << "this user writes into read-only folders";
    }
    TSaveFile file(locked / "save.dat");
    try {
        file.ReplaceEntry("GAMESAVEDATA1", Bytes("new"));
        ADD_FAILURE() << "the write went through";
    } catch (const KivoError& error) {
        EXPECT_NE(std::string(error.what()).find("save.dat"), std::string::npos) << error.what();
    }
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadFile(locked / "save.dat"), old.bytes);
}

TEST(SaveFile, DamagedFilesAreNamedAndCanBeMovedAside) {
    const test::ScratchFolder folder("kivo_save_file_test");
    std::vector<uint8_t> damaged = OldSaveFile().bytes;
    damaged.resize(damaged.size() / 3);
    WriteFile(folder / "save.dat", damaged);
    TSaveFile file(folder / "save.dat");
    try {
        (void)file.ReadEntry("GAMESAVEDATA1");
        ADD_FAILURE() << "a truncated file was read";
    } catch (const KivoError& error) {
        EXPECT_NE(std::string(error.what()).find("save.dat"), std::string::npos) << error.what();
    }
    EXPECT_THROW(file.ReplaceEntry("GAMESAVEDATA1", Bytes("new")), KivoError);
    EXPECT_EQ(ReadFile(folder / "save.dat"), damaged);

    EXPECT_TRUE(file.MoveAside());
    EXPECT_FALSE(file.Exists());
    EXPECT_EQ(ReadFile(folder / "save.dat.bad"), damaged);
}

}  // namespace
}  // namespace kivo
