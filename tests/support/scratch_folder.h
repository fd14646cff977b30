#pragma once
// Files for tests that write real ones: a fresh folder removed with everything in it when the
// test ends, and reading a file back whole.

#include <filesystem>
#include <string>
#include <string_view>

namespace kivo::test {

class ScratchFolder {
  public:
    // A new empty folder named after tag (and the process, so parallel runs never meet) in
    // the system's temporary folder.
    explicit ScratchFolder(std::string_view tag);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    [[nodiscard]] std::filesystem::path operator/(std::string_view name) const {
        return path_ / name;
    }

  private:
    std::filesystem::path path_;
};

// The file's bytes; empty when it cannot be read.
[[nodiscard]] std::string ReadWholeFile(const std::filesystem::path& path);

}  // namespace kivo::test
