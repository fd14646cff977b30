#include "platform/host_paths.h"

#include <system_error>

namespace kivo {

std::filesystem::path ExecutableFolder() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || exe.empty()) return std::filesystem::current_path(error);
    return exe.parent_path();
}

}  // namespace kivo
