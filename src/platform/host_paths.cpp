#include "platform/host_paths.h"

#include <cstdlib>
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

std::filesystem::path UserDataFolder() {
    // A relative XDG_DATA_HOME is invalid and ignored, as the base-directory rules ask.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') return data;
    if (const char* home = std::getenv("HOME"); home && *home) {
        return std::filesystem::path(home) / ".local" / "share";
    }
    return {};
}

std::filesystem::path UserConfigFolder() {
    const auto absoluteFromEnvironment = [](const char* name) {
        const char* value = std::getenv(name);
        std::filesystem::path path = value != nullptr ? value : "";
        return path.is_absolute() ? path : std::filesystem::path();
    };
    std::filesystem::path base = absoluteFromEnvironment("XDG_CONFIG_HOME");
    if (base.empty()) {
        const std::filesystem::path home = absoluteFromEnvironment("HOME");
        if (home.empty()) return {};
        base = home / ".config";
    }
    return base / "kivoplay";
}

std::filesystem::path UserPicturesFolder() {
    if (const char* pictures = std::getenv("XDG_PICTURES_DIR"); pictures && *pictures == '/')
        return std::filesystem::path(pictures) / "kivoplay";
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return std::filesystem::path(home) / "Pictures" / "kivoplay";
    return {};
}

}  // namespace kivo
