#include "shell/bounded_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/error.h"
#include "support/scratch_folder.h"

namespace kivo {
namespace {

// A file is replaced, not rewritten in place: another name of the old file keeps the old
// bytes, a link is followed and kept, and nothing is left beside the file.
TEST(WholeFile, WritesReplaceTheFileThroughATemporaryBesideIt) {
    const test::ScratchFolder folder("kivo_bounded_file_test");
    const std::filesystem::path dump = folder / "dump.json";
    const std::filesystem::path otherName = folder / "yesterday.json";
    const std::filesystem::path link = folder / "latest.json";
    WriteWholeFile(dump, "old");
    std::filesystem::create_hard_link(dump, otherName);
    std::filesystem::create_symlink("dump.json", link);

    WriteWholeFile(dump, "new");
    EXPECT_EQ(test::ReadWholeFile(dump), "new");
    EXPECT_EQ(test::ReadWholeFile(otherName), "old");
    WriteWholeFile(link, "newer");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(test::ReadWholeFile(dump), "newer");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                            std::filesystem::directory_iterator()),
              3);

    // A folder that does not exist: the error names the file.
    try {
        WriteWholeFile(folder / "none" / "x.json", "x");
        ADD_FAILURE() << "wrote into a missing folder";
    } catch (const KivoError& error) {
        EXPECT_EQ(error.File(), (folder / "none" / "x.json").string());
    }
}

}  // namespace
}  // namespace kivo
