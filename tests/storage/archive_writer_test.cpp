// The archive writer: what it stores, compresses and checksums, read back by the reader.

#include <gtest/gtest.h>

#include <random>

#include "storage/archive_fixture.h"
#include "storage/vr_file_collection.h"

namespace kivo {
namespace {

std::vector<uint8_t> Pattern(size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>((i * 7 + seed) % 13);
    return bytes;
}

std::vector<uint8_t> Noise(size_t size) {
    std::mt19937 random(12345);
    std::vector<uint8_t> bytes(size);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(random());
    return bytes;
}

void Write(TVrFileCollection& collection, const std::filesystem::path& path) {
    TTpBigFileStream out(path, TTpBigFileStream::Mode::Create);
    ASSERT_TRUE(collection.WriteArchive(out));
    out.Commit();
}

TEST(ArchiveWriter, MemoryEntriesRoundTripWithTheStoreThreshold) {
    auto folder = test::TestFolder("writer-memory");
    struct Case {
        size_t size;
        uint8_t raw;
        uint8_t expectStored;
    };
    const std::vector<Case> cases = {{0, 0, 0}, {1, 1, 0}, {0x4FFFFF, 1, 0}, {0x500000, 0, 1}};
    TVrFileCollection source;
    for (size_t i = 0; i < cases.size(); ++i) {
        TVrFile& entry = source.AddMemoryEntry("dir\\entry" + std::to_string(i));
        entry.rawChecksum = cases[i].raw;
        std::vector<uint8_t> content = Pattern(cases[i].size, static_cast<uint32_t>(i));
        entry.memory->Write(content.data(), static_cast<int64_t>(content.size()));
    }
    source.AddEntry(std::string(kEndEntryName));  // never written
    Write(source, folder / "out.dat");

    TVrFileCollection read;
    read.OpenArchive(folder / "out.dat", false);
    ASSERT_EQ(read.Files().size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].size);
        TVrFile& entry = *read.Files()[i];
        const TVrFile& original = source.At(static_cast<int32_t>(i));
        EXPECT_EQ(entry.Name(), original.Name());
        EXPECT_EQ(entry.stored, cases[i].expectStored);
        EXPECT_EQ(entry.stored, original.stored);
        EXPECT_EQ(entry.rawChecksum, cases[i].raw);
        EXPECT_EQ(entry.checksum, original.checksum);
        std::vector<uint8_t> content = read.ReadEntry(entry);
        EXPECT_EQ(content, Pattern(cases[i].size, static_cast<uint32_t>(i)));
        // The checksum covers the uncompressed bytes or the stored bytes, as the flag says.
        std::vector<uint8_t> stored(static_cast<size_t>(entry.size));
        read.ArchiveStream()->SetPosition(entry.offset);
        ASSERT_EQ(read.ArchiveStream()->Read(stored.data(), entry.size), entry.size);
        EXPECT_EQ(static_cast<uint32_t>(entry.checksum), Crc32(cases[i].raw ? content : stored));
    }
}

TEST(ArchiveWriter, LooseFilesFollowTheCompressionRules) {
    auto folder = test::TestFolder("writer-loose");
    auto gal = [](char encoding) {
        std::vector<uint8_t> bytes = test::Bytes("Gale106");
        test::Put32(bytes, 40);
        bytes.resize(7 + 4 + 40 + 2000, 0);
        bytes[7 + 4 + 22] = static_cast<uint8_t>(encoding);
        return bytes;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> content;
        uint8_t expectStored;
    };
    const std::vector<Case> cases = {
        {"x.ogg", std::vector<uint8_t>(1000, 'a'), 1},  // media formats are stored
        {"x.txt", Noise(100 * 1024), 1},                // deflate gains under 10 %
        {"y.txt", std::vector<uint8_t>(100 * 1024, 'b'), 0},
        {"big.bin", std::vector<uint8_t>(0x500000, 'c'), 1},  // at the threshold
        {"raw.gal", gal(1), 0},                               // raw pixels: compressible
        {"zip.gal", gal(0), 1},                               // already compressed
    };
    for (const Case& c : cases)
        test::WriteFile(folder / "src" / c.name, c.content);
    TVrFileCollection source;
    source.SetBaseFolder(folder / "src");
    for (const Case& c : cases)
        source.AddEntry(c.name);
    std::vector<std::pair<int32_t, int64_t>> progress;
    source.onProgress = [&](const TVrFile&, bool&, int32_t count, int32_t index, int64_t bytes) {
        EXPECT_EQ(count, static_cast<int32_t>(cases.size()));
        progress.emplace_back(index, bytes);
    };
    Write(source, folder / "out.dat");
    EXPECT_EQ(progress.size(), cases.size() * 2);

    TVrFileCollection read;
    read.OpenArchive(folder / "out.dat", false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TVrFile* entry = read.FindFile(c.name);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->stored, c.expectStored);
        EXPECT_NE(entry->timestamp, 0);
        EXPECT_EQ(read.ReadEntry(*entry), c.content);
    }
}

TEST(ArchiveWriter, AbortLeavesTheOldArchiveWhole) {
    auto folder = test::TestFolder("writer-abort");
    test::WriteFile(folder / "out.dat", test::Bytes("old archive"));
    TVrFileCollection source;
    source.AddMemoryEntry("a");
    source.AddMemoryEntry("b");
    source.onProgress = [](const TVrFile& entry, bool& abort, int32_t, int32_t, int64_t) {
        abort = entry.Name() == "b";
    };
    {
        TTpBigFileStream out(folder / "out.dat", TTpBigFileStream::Mode::Create);
        EXPECT_FALSE(source.WriteArchive(out));
    }
    EXPECT_EQ(test::ReadFile(folder / "out.dat"), test::Bytes("old archive"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(ArchiveWriter, RewritesEntriesOfItsOwnArchive) {
    auto folder = test::TestFolder("writer-rewrite");
    test::WriteFile(
        folder / "game.dat",
        test::BuildArchive(102, {{"kept.txt", test::ZlibOf("kept text"), 0, 1234, 0, 1}}));
    TVrFileCollection archive;
    archive.OpenArchive(folder / "game.dat", false);
    archive.AddMemoryEntry("new.txt").memory->Write("new", 3);
    Write(archive, folder / "game.dat");

    TVrFileCollection read;
    read.OpenArchive(folder / "game.dat", false);
    TVrFile* kept = read.FindFile("kept.txt");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->timestamp, 1234);
    std::vector<uint8_t> content = read.ReadEntry(*kept);
    EXPECT_EQ(content, test::Bytes("kept text"));
    EXPECT_EQ(static_cast<uint32_t>(kept->checksum), Crc32(content));
    EXPECT_EQ(read.ReadEntry(*read.FindFile("new.txt")), test::Bytes("new"));
}

}  // namespace
}  // namespace kivo
