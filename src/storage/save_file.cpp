#include "storage/save_file.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <system_error>

#include "base/error.h"
#include "platform/host_files.h"

namespace kivo {

namespace {

// save.dat is one file whatever its size: the archive volumes of game data do not apply.
constexpr int64_t kOneVolume = std::numeric_limits<int64_t>::max();

// The temporary file that becomes save.dat, written as a stream.
class ReplacingFileStream final : public TTpBigStream {
  public:
    explicit ReplacingFileStream(const std::filesystem::path& path) : file_(path) {}

    [[nodiscard]] int64_t GetSize() const override { return size_; }
    [[nodiscard]] int64_t GetPosition() const override { return position_; }
    void SetPosition(int64_t pos) override { position_ = std::clamp<int64_t>(pos, 0, size_); }
    int64_t Write(const void* buffer, int64_t count) override {
        if (count <= 0) return 0;
        if (!file_.File().WriteAt(position_, buffer, count)) return 0;
        position_ += count;
        size_ = std::max(size_, position_);
        return count;
    }
    [[nodiscard]] std::string SourceName() const override { return file_.Target().string(); }
    void Commit() { file_.Commit(); }

  private:
    host::ReplacingFile file_;
    int64_t position_ = 0;
    int64_t size_ = 0;
};

void WriteReplacingFile(const std::filesystem::path& path,
                        const std::function<void(TTpBigStream&)>& write) {
    ReplacingFileStream out(path);
    write(out);
    out.Commit();
}

}  // namespace

std::string GameEntryName(int32_t slot) {
    return std::string(kGameEntryPrefix) + std::to_string(slot);
}

std::optional<int32_t> SlotOfEntryName(std::string_view name) {
    if (!name.starts_with(kGameEntryPrefix)) return std::nullopt;
    const std::string_view digits = name.substr(kGameEntryPrefix.size());
    int32_t slot = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), slot);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || slot < 0)
        return std::nullopt;
    return slot;
}

TSaveFile::TSaveFile(std::filesystem::path file, std::filesystem::path seed)
    : file_(std::move(file)), seed_(std::move(seed)), writer_(WriteReplacingFile) {}

std::filesystem::path TSaveFile::ReadPath() const {
    std::error_code error;
    if (std::filesystem::is_regular_file(file_, error)) return file_;
    if (!seed_.empty() && std::filesystem::is_regular_file(seed_, error)) return seed_;
    return {};
}

void TSaveFile::Open(TVrFileCollection& archive) const {
    const std::filesystem::path path = ReadPath();
    if (path.empty()) {
        archive.OpenArchive({}, false);
        return;
    }
    // The open file keeps reading the old bytes when a new save.dat is renamed over it.
    archive.OpenStream(
        std::make_unique<TTpBigFileStream>(path, TTpBigFileStream::Mode::Read, kOneVolume), path);
}

std::optional<std::vector<uint8_t>> TSaveFile::ReadEntry(std::string_view name) const {
    if (!Exists()) return std::nullopt;
    TVrFileCollection archive;
    Open(archive);
    const TVrFile* entry = archive.FindFile(name);
    if (entry == nullptr) return std::nullopt;
    return archive.ReadEntry(*entry);
}

void TSaveFile::ReplaceEntry(std::string_view name, std::span<const uint8_t> content) {
    std::vector<SaveFileEntry> entries;
    entries.push_back({std::string(name), {content.begin(), content.end()}});
    ReplaceEntries(std::move(entries));
}

void TSaveFile::ReplaceEntries(std::vector<SaveFileEntry> entries) {
    TVrFileCollection archive;
    Open(archive);
    for (SaveFileEntry& replaced : entries) {
        while (archive.FindFile(replaced.name) != nullptr)
            archive.RemoveEntry(replaced.name);
        archive.AddMemoryEntry(std::move(replaced.name))
            .memory->Assign(std::move(replaced.content));
    }
    archive.copyStoredBytes = true;
    MakeFolder();
    writer_(file_, [&](TTpBigStream& out) { (void)archive.WriteArchive(out); });
}

void TSaveFile::MakeFolder() const {
    const std::filesystem::path folder = file_.parent_path();
    std::error_code error;
    if (folder.empty() || std::filesystem::is_directory(folder, error)) return;
    // A folder of our own holds one person's saves: nobody else may read them.
    if (std::filesystem::create_directories(folder, error)) {
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace, error);
    }
}

bool TSaveFile::KeepCopyAside() const {
    if (ReadPath() != file_) return false;
    std::error_code error;
    return std::filesystem::copy_file(file_, BadPath(),
                                      std::filesystem::copy_options::overwrite_existing, error) &&
           !error;
}

std::filesystem::path TSaveFile::BadPath() const {
    std::filesystem::path aside = file_;
    aside += ".bad";
    return aside;
}

bool TSaveFile::MoveAside() const {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file_, error)) return false;
    std::filesystem::rename(file_, BadPath(), error);
    return !error;
}

}  // namespace kivo
