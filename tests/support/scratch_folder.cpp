#include "support/scratch_folder.h"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <system_error>

namespace kivo::test {

ScratchFolder::ScratchFolder(std::string_view tag)
    : path_(std::filesystem::temp_directory_path() /
            (std::string(tag) + "-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace kivo::test
