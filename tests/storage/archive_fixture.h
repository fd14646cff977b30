#pragma once
// Archive bytes (written by the support writer) and the files and folders the storage tests
// put them in.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/archive_builder.h"

namespace kivo::test {

inline void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh folder below the test output folder, emptied first.
inline std::filesystem::path TestFolder(const std::string& name) {
    const char* root = std::getenv("KIVO_TEST_OUTPUT");
    std::filesystem::path folder =
        std::filesystem::path(root ? root : "/tmp/kivo-test-output") / "storage" / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace kivo::test
