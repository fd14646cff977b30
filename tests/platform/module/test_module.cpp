// A module with one entry returning its table. Built with KIVO_TEST_MODULE_OLDER it carries
// the table version before the current one, as a module of an older build would.

#include "test_module_table.h"

namespace {

int32_t Answer() {
    return 42;
}

#ifdef KIVO_TEST_MODULE_OLDER
constexpr uint32_t kBuiltVersion = kivo::test::kTestModuleVersion - 1;
#else
constexpr uint32_t kBuiltVersion = kivo::test::kTestModuleVersion;
#endif

}  // namespace

const kivo::test::TestModuleTable* kivo_test_module_table() {
    static const kivo::test::TestModuleTable table{kBuiltVersion, Answer};
    return &table;
}
