#include "storage/save_file.h"

#include <charconv>
#include <system_error>

#include "base/error.h"
#include "platform/host_files.h"

namespace kivo {

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
    : file_(std::move(file)), seed_(std::move(seed)), writer_(host::WriteFileBytes) {}

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
    // The whole file is held in memory: the archive is then read from a copy that the rename
    // of the new file cannot pull away.
    auto bytes = std::make_unique<TTpBigMemoryStream>();
    bytes->LoadFromFile(path);
    archive.OpenStream(std::move(bytes), path);
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
    TVrFileCollection archive;
    Open(archive);
    while (archive.FindFile(name) != nullptr)
        archive.RemoveEntry(name);
    TVrFile& entry = archive.AddMemoryEntry(std::string(name));
    entry.memory->Write(content.data(), static_cast<int64_t>(content.size()));
    archive.copyStoredBytes = true;
    TTpBigMemoryStream out({}, file_.string());
    (void)archive.WriteArchive(out);
    MakeFolder();
    writer_(file_, out.Memory().Bytes());
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
