#pragma once
// The few host file services that need the operating system directly: positioned reads and
// writes on 64-bit files, files created exclusively without following links, private
// temporary folders, replacing a file through a flushed temporary beside it, and the data
// discs the system has mounted. Everything else uses std::filesystem.
//
// All of it runs on the calling thread; nothing here keeps state between calls except the
// handles the objects own.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kivo::host {

// An open host file, closed when the object goes. Reads and writes take explicit positions,
// so one handle can serve several readers that keep their own positions.
class HostFile {
  public:
    HostFile() = default;
    ~HostFile();
    HostFile(HostFile&& other) noexcept;
    HostFile& operator=(HostFile&& other) noexcept;
    HostFile(const HostFile&) = delete;
    HostFile& operator=(const HostFile&) = delete;

    // Opens an existing file for reading; nullopt when it cannot be opened.
    [[nodiscard]] static std::optional<HostFile> OpenRead(const std::filesystem::path& path);
    // Opens an existing file for reading and writing; nullopt when it cannot be opened.
    [[nodiscard]] static std::optional<HostFile> OpenReadWrite(const std::filesystem::path& path);
    // Creates a new file with mode 0600; fails when anything (even a dangling link) already
    // stands at the path. nullopt on failure.
    [[nodiscard]] static std::optional<HostFile> CreateExclusive(const std::filesystem::path& path);

    [[nodiscard]] bool IsOpen() const { return fd_ >= 0; }
    [[nodiscard]] int64_t Size() const;
    // Reads up to count bytes at offset; returns the bytes read (short only at the end).
    [[nodiscard]] int64_t ReadAt(int64_t offset, void* buffer, int64_t count) const;
    // Writes all count bytes at offset; returns false on failure (a full disk, for one).
    [[nodiscard]] bool WriteAt(int64_t offset, const void* buffer, int64_t count);
    [[nodiscard]] bool Truncate(int64_t size);
    // Pushes the file's data to the device.
    [[nodiscard]] bool Sync();
    void Close();
    // The descriptor, for the platform layer's own calls.
    [[nodiscard]] int Descriptor() const { return fd_; }

  private:
    explicit HostFile(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// Creates a new folder only this user can enter (mode 0700) below parent, named prefix plus
// random characters. nullopt on failure.
[[nodiscard]] std::optional<std::filesystem::path> MakePrivateFolder(
    const std::filesystem::path& parent, std::string_view prefix);

// The system's folder for temporary files ($TMPDIR or /tmp).
[[nodiscard]] std::filesystem::path TemporaryFolder();

// Writes a file so that the old one at the target stays whole until the new one is complete:
// the data goes to an exclusive temporary file in the same folder, and Commit flushes it and
// renames it over the target. Without Commit the temporary is removed.
class ReplacingFile {
  public:
    // Creates the temporary beside target; raises KivoError naming target when it cannot.
    explicit ReplacingFile(std::filesystem::path target);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    [[nodiscard]] HostFile& File() { return file_; }
    [[nodiscard]] const std::filesystem::path& Target() const { return target_; }
    // Flushes and renames over the target; raises KivoError naming the target on failure.
    void Commit();

  private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    HostFile file_;
    bool committed_ = false;
};

// Mount points of the mounted iso9660 and udf file systems listed in a mountinfo text, in
// order. Automounter entries are skipped and never touched.
[[nodiscard]] std::vector<std::string> ParseDiscMounts(std::string_view mountinfo);
// The same for the running system (/proc/self/mountinfo), read afresh on every call.
[[nodiscard]] std::vector<std::string> MountedDiscRoots();
// True when the standard error stream goes to a terminal (progress bars are drawn only then).
[[nodiscard]] bool StandardErrorIsTerminal();

// Reads a whole host file; raises KivoError naming it when it cannot.
[[nodiscard]] std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
// Writes a whole host file through a temporary beside it that is renamed over the target;
// raises KivoError naming it when it cannot.
void WriteFileBytes(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// True when this process may write to the file or folder at path (false when it is missing).
[[nodiscard]] bool IsWritable(const std::filesystem::path& path);

// True when path is an existing folder (symbolic links followed).
[[nodiscard]] bool IsFolder(const std::filesystem::path& path);

// True when path lies on an iso9660 or udf file system (a data disc).
[[nodiscard]] bool IsOnDiscFileSystem(const std::filesystem::path& path);

}  // namespace kivo::host
