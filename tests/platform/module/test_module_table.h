#pragma once
// The table of the small module the module tests open. The same source is built twice: once
// with the version the tests expect, and once with an older one, standing for a module left
// behind by another build of the player.

#include <cstdint>

namespace kivo::test {

inline constexpr const char* kTestModuleEntry = "kivo_test_module_table";
inline constexpr uint32_t kTestModuleVersion = 3;

struct TestModuleTable {
    uint32_t version;
    int32_t (*answer)();
};

}  // namespace kivo::test

extern "C" {
const kivo::test::TestModuleTable* kivo_test_module_table();
}
