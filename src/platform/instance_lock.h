#pragma once
// The single-instance rule: one running player per game. The original held a named mutex; we
// hold an flock on a lock file of the same name, which the system releases when the process
// ends in any way, so a crashed player never blocks the next start.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace kivo {

class InstanceLock {
  public:
    virtual ~InstanceLock() = default;

    // Tries to take the lock called name and keeps it until the object goes. Returns false
    // when another holder has it. Called once by the program entry on the main thread.
    [[nodiscard]] virtual bool TryAcquire(std::string_view name) = 0;
};

// flock on "<folder>/<name>" (the folder is created when missing). Names too long for one
// file name are shortened with a hash so that distinct names stay distinct.
class FileInstanceLock final : public InstanceLock {
  public:
    explicit FileInstanceLock(std::filesystem::path folder);
    ~FileInstanceLock() override;
    FileInstanceLock(const FileInstanceLock&) = delete;
    FileInstanceLock& operator=(const FileInstanceLock&) = delete;

    [[nodiscard]] bool TryAcquire(std::string_view name) override;

    // The lock file that name maps to.
    [[nodiscard]] std::filesystem::path LockPath(std::string_view name) const;

  private:
    std::filesystem::path folder_;
    int fd_ = -1;
};

// The folder for lock files: $XDG_RUNTIME_DIR/kivoplay, else <temporary folder>/kivoplay-<uid>.
[[nodiscard]] std::filesystem::path DefaultLockFolder();

}  // namespace kivo
