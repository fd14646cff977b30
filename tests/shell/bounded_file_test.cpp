#include "shell/bounded_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/error.h"

namespace kivo {
namespace {

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class WholeFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    const std::filesystem::path folder_ =
        std::filesystem::temp_directory_path() / "kivo_bounded_file_test";
};

// A file is replaced, not rewritten in place: another name of the old file keeps the old
// bytes, a link is followed and kept, and nothing is left beside the file.
TEST_F(WholeFileTest, WritesReplaceTheFileThroughATemporaryBesideIt) {
    const std::filesystem::path dump = folder_ / "dump.json";
    const std::filesystem::path otherName = folder_ / "yesterday.json";
    const std::filesystem::path link = folder_ / "latest.json";
    WriteWholeFile(dump, "old");
    std::filesystem::create_hard_link(dump, otherName);
    std::filesystem::create_symlink("dump.json", link);

    WriteWholeFile(dump, "new");
    EXPECT_EQ(ReadText(dump), "new");
    EXPECT_EQ(ReadText(otherName), "old");
    WriteWholeFile(link, "newer");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadText(dump), "newer");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_),
                            std::filesystem::directory_iterator()),
              3);

    // A folder that does not exist: the error names the file.
    try {
        WriteWholeFile(folder_ / "none" / "x.json", "x");
        ADD_FAILURE() << "wrote into a missing folder";
    } catch (const KivoError& error) {
        EXPECT_EQ(error.File(), (folder_ / "none" / "x.json").string());
    }
}

}  // namespace
}  // namespace kivo
