#include "shell/instance_name.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/instance_lock.h"

namespace kivo {
namespace {

TEST(SingleInstance, NameIsTheCanonicalFolderInUpperCaseWithDashes) {
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / "kivo_instance_test";
    std::filesystem::create_directories(root / "g");
    std::filesystem::create_directories(root / "other");
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(root);

    const std::string name = SingleInstanceName("g");
    EXPECT_EQ(name, SingleInstanceName("./g"));
    EXPECT_EQ(name, SingleInstanceName("g/"));
    EXPECT_EQ(name, SingleInstanceName(root / "g"));
    EXPECT_EQ(name, SingleInstanceName("other/../g"));
    EXPECT_NE(name, SingleInstanceName("other"));
    EXPECT_EQ(SingleInstanceName("/work/My Game"), "-WORK-MY GAME-");
    EXPECT_EQ(SingleInstanceName("/"), "-");

    std::filesystem::current_path(saved);
    std::filesystem::remove_all(root);
}

TEST(SingleInstance, SecondLockOfTheSameNameFailsWhileTheFirstIsHeld) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "kivo_lock_test";
    std::filesystem::remove_all(folder);
    {
        FileInstanceLock first(folder);
        FileInstanceLock second(folder);
        FileInstanceLock other(folder);
        ASSERT_TRUE(first.TryAcquire("-WORK-G-"));
        EXPECT_FALSE(second.TryAcquire("-WORK-G-"));
        EXPECT_TRUE(other.TryAcquire("-WORK-H-"));
        // Long names are shortened but stay apart.
        const std::string longA(400, 'A');
        const std::string longB = std::string(399, 'A') + "B";
        EXPECT_NE(first.LockPath(longA), first.LockPath(longB));
        EXPECT_LE(first.LockPath(longA).filename().string().size(), 255u);
    }
    FileInstanceLock again(folder);
    EXPECT_TRUE(again.TryAcquire("-WORK-G-"));
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kivo
