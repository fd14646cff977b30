// Archives carried by a game's Windows program: the PE resource directory reader against
// programs built by our own writer (and damaged copies of them), and the mounting of a
// program's resource and trailer archives.

#include <gtest/gtest.h>

#include "base/error.h"
#include "storage/archive_fixture.h"
#include "storage/pe_resources.h"
#include "storage/vr_file_collection.h"
#include "storage/vr_file_manager.h"
#include "support/pe_builder.h"

namespace kivo {
namespace {

using test::Bytes;
using test::PeBuilder;

std::string Text(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

// An archive as a program's resource holds it: the archive followed by "vf".
std::vector<uint8_t> ResourceArchive(const std::vector<test::FixtureEntry>& entries) {
    std::vector<uint8_t> bytes = test::BuildArchive(102, entries);
    bytes.push_back('v');
    bytes.push_back('f');
    return bytes;
}

std::optional<PeResourceLocation> Find(const std::vector<uint8_t>& program,
                                       std::string_view type = "BINTYPE",
                                       std::string_view name = "DUMMY") {
    TTpBigMemoryStream stream(program, "game.exe");
    return FindPeResource(stream, type, name, "game.exe");
}

TEST(PeResources, FindsANamedResourceInBothProgramKinds) {
    const std::vector<uint8_t> data = Bytes("resource bytes");
    for (bool plus : {false, true}) {
        SCOPED_TRACE(plus ? "PE32+" : "PE32");
        const PeBuilder builder = PeBuilder()
                                      .Plus(plus)
                                      .IdResource(3, 1, Bytes("icon"))
                                      .Resource("BINTYPE", "OTHER", Bytes("other"))
                                      .Resource("BINTYPE", "DUMMY", data)
                                      .Resource("TEXT", "DUMMY", Bytes("text"));
        const std::vector<uint8_t> program = builder.Bytes();
        const std::optional<PeResourceLocation> found = Find(program);
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->size, static_cast<int64_t>(data.size()));
        EXPECT_EQ(std::vector<uint8_t>(program.begin() + found->offset,
                                       program.begin() + found->offset + found->size),
                  data);
        // Resource names are compared without regard to letter case.
        EXPECT_TRUE(Find(program, "bintype", "Dummy").has_value());
        EXPECT_FALSE(Find(program, "BINTYPE", "DUMMY2").has_value());
        EXPECT_FALSE(Find(program, "ICON", "DUMMY").has_value());
    }
    EXPECT_FALSE(Find(PeBuilder().IdResource(10, 1, Bytes("x")).Bytes()).has_value());
    EXPECT_FALSE(Find(PeBuilder().NoResourceDirectory().Bytes()).has_value());
    EXPECT_FALSE(Find(Bytes("\x7F"
                            "ELF not a windows program"))
                     .has_value());
    EXPECT_FALSE(Find(Bytes("MZ")).has_value());
}

TEST(PeResources, DamagedProgramsFailNamingTheFileOrFindNothing) {
    const PeBuilder builder = PeBuilder().Resource("BINTYPE", "DUMMY", Bytes("archive bytes"));
    const std::vector<uint8_t> good = builder.Bytes();
    const PeBuilder::Layout at = builder.Where();
    auto patched = [&](size_t pos, uint32_t value) {
        std::vector<uint8_t> bytes = good;
        for (int i = 0; i < 4; ++i)
            bytes[pos + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
        return bytes;
    };
    const size_t root = at.resourceSection;
    const size_t resourceDirectoryEntry = at.optionalHeader + 96 + 2 * 8;
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    } damaged[] = {
        {"optional header past the end", patched(at.peHeader + 20, 0xFFF0)},
        {"unknown optional header", patched(at.optionalHeader, 0x999)},
        {"section table past the end", patched(at.peHeader + 4, 0xFFFF0000u | 0x14C)},
        {"resources outside every section", patched(resourceDirectoryEntry, 0x900000)},
        {"root entry count past the directory", patched(root + 12, 0xFFFFFFFFu)},
        {"type table outside the directory", patched(root + 20, 0x80000000u | 0x7FFFFFF0u)},
        {"type name outside the directory", patched(root + 16, 0x80000000u | 0x7FFFFFF0u)},
        {"type entry that is no table", patched(root + 20, 0x18)},
        {"resource data past the file", patched(root + 16 + 8 + 16 + 8 + 16 + 8 + 4, 0x7FFFFF)},
    };
    for (const Case& c : damaged) {
        SCOPED_TRACE(c.what);
        try {
            (void)Find(c.bytes);
            ADD_FAILURE() << "accepted";
        } catch (const KivoError& error) {
            EXPECT_EQ(error.File(), "game.exe");
        }
    }
    // Every truncation either finds nothing or fails cleanly; what is found lies in the file.
    for (size_t size = 0; size < good.size(); size += 7) {
        const std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<ptrdiff_t>(size));
        try {
            if (auto found = Find(cut)) {
                EXPECT_LE(found->offset + found->size, static_cast<int64_t>(size));
            }
        } catch (const KivoError&) {
        }
    }
}

TEST(ProgramArchives, ResourceFirstThenTrailerAndOnlyWithTheirMarks) {
    auto folder = test::TestFolder("program-archives");
    const std::vector<uint8_t> inResource = ResourceArchive(
        {{"shared.txt", Bytes("from the resource")}, {"movie.wmv", Bytes("stored movie bytes")}});
    const std::vector<uint8_t> afterProgram = test::BuildArchive(
        102, {{"shared.txt", Bytes("from the trailer")}, {"extra.txt", Bytes("extra")}});
    const std::vector<uint8_t> program =
        PeBuilder().Resource("BINTYPE", "DUMMY", inResource).Bytes();
    test::WriteFile(folder / "both.exe", test::WithTrailerArchive(program, afterProgram));
    // A "DUMMY" resource that does not end in "vf" carries no archive.
    test::WriteFile(folder / "unmarked.exe",
                    PeBuilder().Resource("BINTYPE", "DUMMY", Bytes("no mark")).Bytes());

    TVrFileManager manager;
    EXPECT_EQ(manager.AddProgramArchives(folder / "both.exe"), 2);
    ASSERT_EQ(manager.Count(), 2);
    EXPECT_TRUE(manager.Collection(0).IsResourceArchive());
    EXPECT_EQ(Text(manager.Load("shared.txt")), "from the resource");
    EXPECT_EQ(Text(manager.Load("extra.txt")), "extra");
    // Entries of a resource archive lie at their places in the program file.
    auto range = manager.OpenRange("movie.wmv");
    char bytes[6] = {};
    range->SetPosition(7);
    EXPECT_EQ(range->Read(bytes, 6), 6);
    EXPECT_EQ(std::string(bytes, 6), "movie ");
    // Mounting again adds nothing but the resource archive, which has no duplicate test.
    EXPECT_EQ(manager.AddArchive(folder / "both.exe"), -1);

    EXPECT_TRUE(TVrFileManager::CarriesArchive(folder / "both.exe"));
    EXPECT_FALSE(TVrFileManager::CarriesArchive(folder / "unmarked.exe"));
    TVrFileManager none;
    EXPECT_EQ(none.AddProgramArchives(folder / "unmarked.exe"), 0);
    EXPECT_EQ(none.Count(), 0);
    EXPECT_THROW((void)none.AddResourceArchive(folder / "unmarked.exe", "DUMMY", "BINTYPE"),
                 KivoError);
}

TEST(ProgramArchives, GameFolderProgramIsTheFirstThatCarriesAnArchive) {
    auto folder = test::TestFolder("program-search");
    const std::vector<uint8_t> archive = ResourceArchive({{"kivo.kpb", Bytes("project")}});
    // Sorted by name: an installer without an archive, a damaged program, then the game.
    test::WriteFile(folder / "AUTORUN.EXE", PeBuilder().IdResource(3, 1, Bytes("icon")).Bytes());
    std::vector<uint8_t> broken = PeBuilder().Resource("BINTYPE", "DUMMY", archive).Bytes();
    broken[PeBuilder().Resource("BINTYPE", "DUMMY", archive).Where().resourceSection + 12] = 0xFF;
    test::WriteFile(folder / "Broken.exe", broken);
    test::WriteFile(folder / "Game.Exe", PeBuilder().Resource("BINTYPE", "DUMMY", archive).Bytes());
    test::WriteFile(folder / "notes.txt", Bytes("readme"));
    test::WriteFile(folder / "zz.exe", PeBuilder().Resource("BINTYPE", "DUMMY", archive).Bytes());

    EXPECT_EQ(TVrFileManager::FindGameProgram(folder), folder / "Game.Exe");
    EXPECT_EQ(TVrFileManager::FindGameProgram(folder / "missing"), std::nullopt);
    EXPECT_EQ(TVrFileManager::GameFolderOf(folder / "Game.Exe"), folder);
    EXPECT_EQ(TVrFileManager::GameFolderOf(folder), folder);
}

}  // namespace
}  // namespace kivo
