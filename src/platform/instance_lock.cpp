#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace kivo {

namespace {

// Long enough for any real game path; file names end at 255 bytes.
constexpr size_t kMaxLockName = 200;

std::string FileNameFor(std::string_view name) {
    if (name.size() <= kMaxLockName && !name.empty()) return std::string(name);
    uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (char c : name) {
        hash = (hash ^ static_cast<uint8_t>(c)) * 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    const size_t keep = std::min(name.size(), kMaxLockName - 17);
    return std::string(name.substr(name.size() - keep)) + "~" + hex;
}

}  // namespace

FileInstanceLock::FileInstanceLock(std::filesystem::path folder) : folder_(std::move(folder)) {}

FileInstanceLock::~FileInstanceLock() {
    if (fd_ >= 0) close(fd_);
}

std::filesystem::path FileInstanceLock::LockPath(std::string_view name) const {
    return folder_ / FileNameFor(name);
}

bool FileInstanceLock::TryAcquire(std::string_view name) {
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);
    const std::string path = LockPath(name).string();
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    // A lock file we cannot even create must not keep the game from running: the rule exists
    // to stop double starts, not to turn a read-only folder into a failure.
    if (fd < 0) return true;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
    return true;
}

std::filesystem::path DefaultLockFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        return std::filesystem::path(runtime) / "kivoplay";
    }
    std::error_code ignored;
    std::filesystem::path temp = std::filesystem::temp_directory_path(ignored);
    if (temp.empty()) temp = "/tmp";
    return temp / ("kivoplay-" + std::to_string(getuid()));
}

}  // namespace kivo
