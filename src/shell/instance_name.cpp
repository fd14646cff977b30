#include "shell/instance_name.h"

#include <system_error>

namespace kivo {

std::string SingleInstanceName(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(folder, error);
    if (error) canonical = std::filesystem::absolute(folder, error).lexically_normal();
    // Host paths are UTF-8, whose multi-byte sequences never contain ASCII bytes, so a plain
    // byte-wise fold touches letters only.
    std::string name = canonical.string();
    if (name.empty() || (name.back() != '/' && name.back() != '\\')) name += '/';
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c == '/' || c == '\\') c = '-';
    }
    return name;
}

}  // namespace kivo
