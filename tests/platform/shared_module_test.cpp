// Modules the player opens on first use: a missing or broken one is an error that says which
// module, and what for, never a crash.

#include "platform/shared_module.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "base/error.h"
#include "support/scratch_folder.h"

namespace kivo {
namespace {

std::string OpenError(const std::vector<std::filesystem::path>& folders) {
    try {
        (void)SharedModule::Open("kivo_test_module.so", "testing", folders);
    } catch (const KivoError& error) {
        return error.what();
    }
    return "opened";
}

TEST(SharedModule, MissingOrBrokenModulesNameThemselvesAndTheirUse) {
    test::ScratchFolder empty("module-empty");
    test::ScratchFolder broken("module-broken");
    std::ofstream(broken / "kivo_test_module.so") << "not a shared library";

    const std::string missing = OpenError({empty.Path()});
    EXPECT_NE(missing.find("kivo_test_module.so"), std::string::npos) << missing;
    EXPECT_NE(missing.find("testing"), std::string::npos) << missing;
    EXPECT_NE(missing.find("not installed"), std::string::npos) << missing;

    // The broken file is found in the second folder and refused with the loader's reason.
    const std::string bad = OpenError({empty.Path(), broken.Path()});
    EXPECT_NE(bad.find("kivo_test_module.so"), std::string::npos) << bad;
    EXPECT_NE(bad.find("cannot be loaded"), std::string::npos) << bad;
}

TEST(SharedModule, ProgramFoldersAreItsOwnThenItsLibraryFolder) {
    const std::vector<std::filesystem::path> folders = SharedModule::ProgramModuleFolders();
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(folders[0] / "kivo_tests_platform"));
    EXPECT_EQ(folders[1].filename(), "kivoplay");
    // Installed, the program is in bin/ and its modules in the library folder beside it.
    const std::filesystem::path beside = folders[1].lexically_relative(folders[0].parent_path());
    EXPECT_EQ(*beside.begin(), "lib") << folders[1];
}

}  // namespace
}  // namespace kivo
