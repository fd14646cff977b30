#include "platform/host_paths.h"

#include <system_error>

namespace kivo {

std::filesystem::path ExecutablePath() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : exe;
}

std::filesystem::path ExecutableFolder() {
    const std::filesystem::path exe = ExecutablePath();
    std::error_code error;
    if (exe.empty()) return std::filesystem::current_path(error);
    return exe.parent_path();
}

}  // namespace kivo
