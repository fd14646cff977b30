// Modules the player opens on first use: a missing or broken one is an error that says which
// module, and what for, never a crash.

#include "platform/shared_module.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "base/error.h"
#include "platform/module/test_module_table.h"
#include "support/scratch_folder.h"

namespace kivo {
namespace {

template <typename Open>
std::string ErrorOf(Open open) {
    try {
        (void)open();
    } catch (const KivoError& error) {
        return error.what();
    }
    return "opened";
}

std::string OpenError(const std::vector<std::filesystem::path>& folders) {
    return ErrorOf([&] { return SharedModule::Open("kivo_test_module.so", "testing", folders); });
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

// The test modules are copied next to the test program, as the player's are next to it.
TEST(SharedModule, TablesOfAnotherBuildAreRefusedByName) {
    const std::vector<std::filesystem::path> folders = SharedModule::ProgramModuleFolders();
    const test::TestModuleTable& table = SharedModule::OpenTable<test::TestModuleTable>(
        "kivo_test_module_current.so", "testing", test::kTestModuleEntry, test::kTestModuleVersion,
        folders);
    EXPECT_EQ(table.version, test::kTestModuleVersion);
    EXPECT_EQ(table.answer(), 42);

    const struct {
        const char* file;
        const char* entry;
        const char* reason;
    } refused[] = {
        {"kivo_test_module_older.so", test::kTestModuleEntry, "another build"},
        {"kivo_test_module_current.so", "kivo_test_module_gone", "without kivo_test_module_gone"},
    };
    for (const auto& module : refused) {
        const std::string error = ErrorOf([&] {
            return SharedModule::OpenTable<test::TestModuleTable>(
                module.file, "testing", module.entry, test::kTestModuleVersion, folders);
        });
        EXPECT_NE(error.find(module.file), std::string::npos) << error;
        EXPECT_NE(error.find(module.reason), std::string::npos) << error;
    }
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
