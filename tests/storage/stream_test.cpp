// Streams: the field routines, split volumes, the read-ahead give-back, and the installation
// record read and written back byte for byte.

#include <gtest/gtest.h>

#include "base/error.h"
#include "storage/archive_fixture.h"
#include "storage/big_stream.h"
#include "storage/install_data.h"
#include "storage/stream.h"

namespace kivo {
namespace {

TEST(FieldRoutines, RoundTripAndRejectShortData) {
    TTpMemoryStream stream;
    WriteInt(stream, -2);
    WriteByte(stream, 1);
    WriteString(stream, "abc");
    WriteString(stream, "");
    EXPECT_EQ(stream.GetSize(), 4 + 1 + 4 + 3 + 4);
    stream.SetPosition(0);
    EXPECT_EQ(ReadInt(stream), -2);
    EXPECT_EQ(ReadByte(stream), 1);
    EXPECT_EQ(ReadString(stream), "abc");
    EXPECT_EQ(ReadString(stream), "");
    EXPECT_THROW((void)ReadByte(stream), KivoError);

    // A negative count is the empty string; a count past the end is damage.
    TTpMemoryStream negative(std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 'x'});
    EXPECT_EQ(ReadString(negative), "");
    TTpMemoryStream tooLong(std::vector<uint8_t>{0x10, 0, 0, 0, 'x'}, "save.dat");
    try {
        (void)ReadString(tooLong);
        ADD_FAILURE();
    } catch (const KivoError& error) {
        EXPECT_EQ(error.File(), "save.dat");
    }
}

TEST(BigFileStream, SpreadsOverVolumesAndReadsThemBack) {
    auto folder = test::TestFolder("volumes-small");
    const std::filesystem::path path = folder / "game.dat";
    std::vector<uint8_t> bytes(25);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i);
    test::WriteFile(folder / "game.003", test::Bytes("stale volume of an older archive"));
    {
        TTpBigFileStream out(path, TTpBigFileStream::Mode::Create, 10);
        EXPECT_EQ(out.Write(bytes.data(), 25), 25);
        EXPECT_FALSE(
            std::filesystem::exists(folder / "game.001"));  // nothing in place before Commit
        out.Commit();
    }
    EXPECT_EQ(std::filesystem::file_size(path), 10u);
    EXPECT_EQ(std::filesystem::file_size(folder / "game.001"), 10u);
    EXPECT_EQ(std::filesystem::file_size(folder / "game.002"), 5u);
    TTpBigFileStream in(path, TTpBigFileStream::Mode::Read, 10);
    EXPECT_EQ(in.VolumeCount(), 3);
    EXPECT_EQ(in.GetSize(), 25);
    std::vector<uint8_t> back(30);
    in.SetPosition(7);
    EXPECT_EQ(in.Read(back.data(), 30), 18);
    EXPECT_TRUE(std::equal(back.begin(), back.begin() + 18, bytes.begin() + 7));
    in.SetPosition(1000);
    EXPECT_EQ(in.GetPosition(), 25);
    EXPECT_EQ(TTpBigFileStream::VolumePath("a/game.dat", 12), std::filesystem::path("a/game.012"));
}

TEST(BigFileStream, FindsVolumesSpelledInAnotherCase) {
    // Sets copied from old media often come in capitals, whatever case the first file has.
    struct Case {
        const char* first;
        const char* volumes[2];
    };
    const Case cases[] = {
        {"game.dat", {"GAME.001", "GAME.002"}},
        {"GAME.DAT", {"game.001", "Game.002"}},
    };
    std::vector<uint8_t> bytes(25);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i);
    for (const Case& c : cases) {
        auto folder = test::TestFolder("volumes-case");
        {
            TTpBigFileStream out(folder / "game.dat", TTpBigFileStream::Mode::Create, 10);
            ASSERT_EQ(out.Write(bytes.data(), 25), 25);
            out.Commit();
        }
        std::filesystem::rename(folder / "game.dat", folder / c.first);
        std::filesystem::rename(folder / "game.001", folder / c.volumes[0]);
        std::filesystem::rename(folder / "game.002", folder / c.volumes[1]);
        TTpBigFileStream in(folder / c.first, TTpBigFileStream::Mode::Read, 10);
        EXPECT_EQ(in.VolumeCount(), 3) << c.first;
        std::vector<uint8_t> back(25);
        EXPECT_EQ(in.Read(back.data(), 25), 25) << c.first;
        EXPECT_EQ(back, bytes) << c.first;
    }
}

TEST(BuffBigStream, GivesBackUnreadBytes) {
    std::vector<uint8_t> bytes(300000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 31);
    TTpBigMemoryStream source(bytes);
    uint8_t piece[3];
    {
        TTpBuffBigStream buffered(source);
        for (int i = 0; i < 40000; ++i)
            ASSERT_EQ(buffered.ReadBuffered(piece, 3), 3);
        EXPECT_EQ(source.GetPosition(), 2 * TTpBuffBigStream::kBufferSize);
    }
    EXPECT_EQ(source.GetPosition(), 120000);
    ASSERT_EQ(source.Read(piece, 1), 1);
    EXPECT_EQ(piece[0], bytes[120000]);
}

TEST(InstallData, RewritesEveryVersionByteForByte) {
    for (int version : {0, 99, 100, 101, 102, 103, 105, 107}) {
        SCOPED_TRACE(version);
        TInstallData data;
        data.version = version;
        data.discIndex = 2;
        data.projectTitle = "\x83\x51\x81\x5B\x83\x80";
        data.texts = {"a", "", "c"};
        data.flag1 = 1;
        data.groups = {{1, -2, 3, 4}, {5, 6, 7, 8}};
        data.totals = {9, 10, 11, 12};
        data.files = {"x.png", "", "y.png"};
        data.allDataInstalled = 1;
        data.moreFiles = {"z"};
        data.text7 = "end";
        TTpMemoryStream first;
        data.Write(first);
        first.SetPosition(0);
        TInstallData read = TInstallData::Read(first);
        EXPECT_EQ(read.version, version);
        EXPECT_EQ(read.discIndex, 2);
        EXPECT_EQ(read.projectTitle, data.projectTitle);
        EXPECT_EQ(read.groups[0][1], -2);
        EXPECT_EQ(read.allDataInstalled, version > 102 ? 1 : 0);
        TTpMemoryStream second;
        read.Write(second);
        EXPECT_TRUE(std::ranges::equal(first.Bytes(), second.Bytes()));
        EXPECT_EQ(read.AddFile("new.png"), version > 101);

        // Every truncation fails cleanly.
        for (size_t cut = 0; cut + 1 < first.Bytes().size(); cut += 5) {
            TTpMemoryStream damaged(std::vector<uint8_t>(
                first.Bytes().begin(), first.Bytes().begin() + static_cast<std::ptrdiff_t>(cut)));
            EXPECT_THROW((void)TInstallData::Read(damaged), KivoError) << cut;
        }
    }
}

}  // namespace
}  // namespace kivo
