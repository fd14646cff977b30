// Seeds of the archive target (archives of every version and layout, and installation records
// of every version: the target reads each input both ways) and of the program resource target
// (32- and 64-bit programs with and without a resource archive).

#include <string>

#include "corpus_seeds.h"
#include "storage/install_data.h"
#include "storage/stream.h"
#include "support/archive_builder.h"
#include "support/page_builder.h"
#include "support/pe_builder.h"

namespace kivo::corpus {

namespace {

using test::Bytes;
using test::FixtureEntry;
using test::ZlibOf;

// Entries of the shapes games hold: a stored file in a folder, a compressed page, an empty
// file, and a Shift-JIS name.
std::vector<FixtureEntry> TypicalEntries(int version) {
    const bool flags = version >= 101;  // older archives compress every entry
    const test::PageBuilder page = test::PageBuilder().Add(test::Calc("x = 1"));
    const std::vector<uint8_t> pageBytes = page.Bytes();
    const std::string pageText(pageBytes.begin(), pageBytes.end());
    return {
        {"bgm\\title.txt", flags ? Bytes("stored entry") : ZlibOf("stored entry"),
         static_cast<uint8_t>(flags ? 1 : 0), 0x5A6B7C8D, 0x11223344, 1},
        {"start.ksb", ZlibOf(pageText), 0, 0, -5, 0},
        {"empty", flags ? std::vector<uint8_t>{} : ZlibOf(""), static_cast<uint8_t>(flags ? 1 : 0)},
        {"\x83\x65\x83\x58\x83\x67\\\x89\xe6.txt", ZlibOf("name in Shift-JIS"), 0},
    };
}

void AddInstallRecords(SeedFolder& seeds) {
    for (int version : {0, 99, 100, 101, 102, 103, 104, 105, 106, 107}) {
        TInstallData data;
        data.version = version;
        data.discIndex = 2;
        data.projectTitle = "\x83\x51\x81\x5B\x83\x80";
        data.texts = {"a", "", "c"};
        data.flag1 = 1;
        data.groups = {{1, -2, 3, 4}, {5, 6, 7, 8}};
        data.totals = {9, 10, 11, 12};
        data.files = {"x.png", "y.png"};
        data.allDataInstalled = 1;
        data.moreFiles = {"z"};
        data.text7 = "end";
        TTpMemoryStream stream;
        data.Write(stream);
        seeds.Add("install_" + std::to_string(version) + ".dat", stream.Bytes());
    }
}

}  // namespace

void ArchiveSeeds(SeedFolder& seeds) {
    for (int version : {0, 100, 101, 102}) {
        const std::string name = "archive_" + std::to_string(version);
        seeds.Add(name + ".dat", test::BuildArchive(version, TypicalEntries(version)));
        seeds.Add(name + "_one.dat",
                  test::BuildArchive(version, {{"a", version >= 101 ? Bytes("x") : ZlibOf("x")}}));
    }
    seeds.Add("archive_empty.dat", test::BuildArchive(102, {}));
    seeds.Add("archive_duplicates.dat",
              test::BuildArchive(102, {{"same", Bytes("old")}, {"SAME", Bytes("new")}}));
    AddInstallRecords(seeds);
}

void PeResourcesSeeds(SeedFolder& seeds) {
    // A resource archive is an archive with "vf" after it.
    std::vector<uint8_t> archive = test::BuildArchive(102, TypicalEntries(102));
    archive.push_back('v');
    archive.push_back('f');
    for (bool plus : {false, true}) {
        const std::string bits = plus ? "64" : "32";
        seeds.Add("program" + bits + ".exe", test::PeBuilder()
                                                 .Plus(plus)
                                                 .IdResource(3, 1, Bytes("icon"))
                                                 .Resource("BINTYPE", "OTHER", Bytes("other"))
                                                 .Resource("BINTYPE", "DUMMY", archive)
                                                 .Resource("TEXT", "DUMMY", Bytes("text"))
                                                 .Bytes());
        seeds.Add(
            "program" + bits + "_unmarked.exe",
            test::PeBuilder().Plus(plus).Resource("BINTYPE", "DUMMY", Bytes("no mark")).Bytes());
    }
    seeds.Add("program_without_resources.exe", test::PeBuilder().NoResourceDirectory().Bytes());
    seeds.Add("program_with_trailer.exe",
              test::WithTrailerArchive(test::PeBuilder().IdResource(3, 1, Bytes("icon")).Bytes(),
                                       test::BuildArchive(101, TypicalEntries(101))));
}

}  // namespace kivo::corpus
