#include "platform/host_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "base/error.h"

namespace kivo::host {
namespace {

constexpr long kIsoFsMagic = 0x9660;
constexpr long kUdfMagic = 0x15013346;

int OpenFd(const std::filesystem::path& path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Undoes the octal escapes (\040 for a space and the like) mountinfo uses in paths.
std::string UnescapeMountPath(std::string_view text) {
    auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && octal(text[i + 1]) && octal(text[i + 2]) &&
            octal(text[i + 3])) {
            out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                     (text[i + 3] - '0'));
            i += 3;
            continue;
        }
        out += text[i];
    }
    return out;
}

std::vector<std::string_view> SplitSpaces(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (pos < line.size()) {
        size_t end = line.find(' ', pos);
        if (end == std::string_view::npos) end = line.size();
        if (end > pos) fields.push_back(line.substr(pos, end - pos));
        pos = end + 1;
    }
    return fields;
}

// The mode a new file gets from the process's umask (read without changing it).
mode_t DefaultFileMode() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(0666 & ~std::stoul(line.substr(6), nullptr, 8));
    }
    return 0644;
}

}  // namespace

HostFile::~HostFile() {
    Close();
}

HostFile::HostFile(HostFile&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

HostFile& HostFile::operator=(HostFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

std::optional<HostFile> HostFile::OpenRead(const std::filesystem::path& path) {
    int fd = OpenFd(path, O_RDONLY);
    if (fd < 0) return std::nullopt;
    return HostFile(fd);
}

std::optional<HostFile> HostFile::OpenReadWrite(const std::filesystem::path& path) {
    int fd = OpenFd(path, O_RDWR);
    if (fd < 0) return std::nullopt;
    return HostFile(fd);
}

std::optional<HostFile> HostFile::CreateExclusive(const std::filesystem::path& path) {
    int fd = OpenFd(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
    if (fd < 0) return std::nullopt;
    return HostFile(fd);
}

int64_t HostFile::Size() const {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0) return 0;
    return static_cast<int64_t>(info.st_size);
}

int64_t HostFile::ReadAt(int64_t offset, void* buffer, int64_t count) const {
    auto* out = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        ssize_t got = ::pread(fd_, out + done, static_cast<size_t>(count - done),
                              static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += got;
    }
    return done;
}

bool HostFile::WriteAt(int64_t offset, const void* buffer, int64_t count) {
    const auto* in = static_cast<const char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        ssize_t put = ::pwrite(fd_, in + done, static_cast<size_t>(count - done),
                               static_cast<off_t>(offset + done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += put;
    }
    return true;
}

bool HostFile::Truncate(int64_t size) {
    return fd_ >= 0 && ::ftruncate(fd_, static_cast<off_t>(size)) == 0;
}

bool HostFile::Sync() {
    return fd_ >= 0 && ::fsync(fd_) == 0;
}

void HostFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::optional<std::filesystem::path> MakePrivateFolder(const std::filesystem::path& parent,
                                                       std::string_view prefix) {
    std::string pattern = (parent / std::string(prefix)).string() + "XXXXXX";
    // mkdtemp creates the folder with mode 0700 and a name nobody else can have taken.
    if (::mkdtemp(pattern.data()) == nullptr) return std::nullopt;
    return std::filesystem::path(pattern);
}

std::filesystem::path TemporaryFolder() {
    const char* dir = std::getenv("TMPDIR");
    if (dir && *dir && std::filesystem::is_directory(dir)) return dir;
    return "/tmp";
}

ReplacingFile::ReplacingFile(std::filesystem::path target) : target_(std::move(target)) {
    std::filesystem::path folder = target_.parent_path();
    if (folder.empty()) folder = ".";
    std::random_device entropy;
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::ostringstream name;
        name << '.' << target_.filename().string() << ".tmp" << std::hex << entropy();
        std::filesystem::path candidate = folder / name.str();
        if (auto file = HostFile::CreateExclusive(candidate)) {
            temporary_ = std::move(candidate);
            file_ = std::move(*file);
            return;
        }
        if (errno != EEXIST) break;
    }
    throw KivoError(target_.string(),
                    std::string("cannot create a temporary file: ") + std::strerror(errno));
}

ReplacingFile::~ReplacingFile() {
    if (committed_) return;
    file_.Close();
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
}

void ReplacingFile::Commit() {
    // The new file takes the old one's permissions, or those of any new file of this process.
    struct stat old {};
    mode_t mode = ::stat(target_.c_str(), &old) == 0 ? (old.st_mode & 07777) : DefaultFileMode();
    ::fchmod(file_.Descriptor(), mode);
    if (!file_.Sync())
        throw KivoError(target_.string(), std::string("cannot flush: ") + std::strerror(errno));
    file_.Close();
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        throw KivoError(target_.string(), std::string("cannot replace: ") + std::strerror(errno));
    }
    committed_ = true;
    // The rename itself lives in the folder; flush it too so a crash cannot undo it.
    std::filesystem::path folder = target_.parent_path();
    int fd = OpenFd(folder.empty() ? std::filesystem::path(".") : folder, O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::vector<std::string> ParseDiscMounts(std::string_view mountinfo) {
    std::vector<std::string> roots;
    size_t pos = 0;
    while (pos < mountinfo.size()) {
        size_t end = mountinfo.find('\n', pos);
        if (end == std::string_view::npos) end = mountinfo.size();
        std::vector<std::string_view> fields = SplitSpaces(mountinfo.substr(pos, end - pos));
        pos = end + 1;
        // id parent major:minor root mount-point options [optional...] - type source options
        size_t dash = 6;
        while (dash < fields.size() && fields[dash] != "-")
            ++dash;
        if (fields.size() < 5 || dash + 1 >= fields.size()) continue;
        std::string_view type = fields[dash + 1];
        if (type == "iso9660" || type == "udf") roots.push_back(UnescapeMountPath(fields[4]));
    }
    return roots;
}

std::vector<std::string> MountedDiscRoots() {
    std::ifstream in("/proc/self/mountinfo", std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return ParseDiscMounts(text.str());
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

bool IsWritable(const std::filesystem::path& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

bool IsFolder(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

bool IsOnDiscFileSystem(const std::filesystem::path& path) {
    struct statfs info {};
    if (::statfs(path.c_str(), &info) != 0) return false;
    auto type = static_cast<long>(info.f_type);
    return type == kIsoFsMagic || type == kUdfMagic;
}

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
    std::optional<HostFile> file = HostFile::OpenRead(path);
    if (!file) throw KivoError(path.string(), "cannot open the file");
    const int64_t size = file->Size();
    if (size < 0 || size > (int64_t{1} << 31)) throw KivoError(path.string(), "file too large");
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (file->ReadAt(0, bytes.data(), size) != size)
        throw KivoError(path.string(), "cannot read the file");
    return bytes;
}

void WriteFileBytes(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    ReplacingFile out(path);
    if (!out.File().WriteAt(0, bytes.data(), static_cast<int64_t>(bytes.size()))) {
        throw KivoError(path.string(), "cannot write the file");
    }
    out.Commit();
}

}  // namespace kivo::host
