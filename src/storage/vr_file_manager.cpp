#include "storage/vr_file_manager.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "base/error.h"
#include "base/sjis.h"
#include "platform/host_files.h"
#include "storage/install_data.h"

namespace kivo {
namespace {

bool SamePathIgnoringCase(const std::filesystem::path& a, const std::filesystem::path& b) {
    return sjis::EqualsIgnoreCase(a.string(), b.string());
}

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() &&
           sjis::EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

// The project's prompt with the disc number put in at its first "%d". The text comes from the
// project file, so it is never used as a format string.
std::string FormatDiscPrompt(std::string_view prompt, int32_t n) {
    std::string text(prompt);
    size_t at = text.find("%d");
    if (at != std::string::npos) text.replace(at, 2, std::to_string(n));
    return text;
}

// The resource a game's program keeps its archive in.
constexpr std::string_view kResourceName = "DUMMY";
constexpr std::string_view kResourceType = "BINTYPE";

// True when the file's last two bytes are "kv": an archive is appended to it.
bool EndsWithTrailerMark(const std::filesystem::path& path) {
    auto file = host::HostFile::OpenRead(path);
    if (!file) return false;
    const int64_t size = file->Size();
    uint8_t mark[2] = {};
    return size >= 2 && file->ReadAt(size - 2, mark, 2) == 2 && mark[0] == 'k' && mark[1] == 'v';
}

std::string FromUtf8Literal(std::string_view text) {
    return sjis::FromUtf8Lossy(text);
}

}  // namespace

TVrCacheList::TVrCache& TVrCacheList::Find(std::string_view name) {
    std::string key = sjis::ToUpperAscii(name);
    auto hit = std::find_if(entries_.begin(), entries_.end(),
                            [&](const TVrCache& e) { return e.key == key; });
    if (hit != entries_.end()) {
        entries_.splice(entries_.begin(), entries_, hit);
        return entries_.front();
    }
    entries_.push_front(TVrCache{std::move(key), {}, false});
    int64_t total = TotalSize();
    while (entries_.size() > 1 && total > kBudget) {
        total -= static_cast<int64_t>(entries_.back().content.size());
        entries_.pop_back();
    }
    return entries_.front();
}

void TVrCacheList::Remove(std::string_view name) {
    std::string key = sjis::ToUpperAscii(name);
    entries_.remove_if([&](const TVrCache& e) { return e.key == key; });
}

int64_t TVrCacheList::TotalSize() const {
    int64_t total = 0;
    for (const TVrCache& e : entries_)
        total += static_cast<int64_t>(e.content.size());
    return total;
}

bool TVrCacheList::Contains(std::string_view name) const {
    std::string key = sjis::ToUpperAscii(name);
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const TVrCache& e) { return e.key == key; });
}

TVrDiscSources TVrDiscSources::System(std::vector<std::filesystem::path> folders) {
    return TVrDiscSources{std::move(folders), [] { return host::MountedDiscRoots(); }};
}

TVrFileManager::TVrFileManager(TVrDiscSources discs) : discSources_(std::move(discs)) {
    discTexts_.caption = FromUtf8Literal("情報");
    discTexts_.prompt = FromUtf8Literal("ディスク%dを入れてから[OK]をクリックしてください");
    discTexts_.quitText = FromUtf8Literal("終了します");
    RefreshDiscRoots();
}

// Releases one hand-out of a work file when the last copy of its handle ends. The lock is
// watched, not owned: handles may outlive the manager.
struct TVrLocalFile::Hold {
    std::weak_ptr<void> lock;
    int32_t* useCount = nullptr;

    Hold(const std::shared_ptr<void>& owner, int32_t& count) : lock(owner), useCount(&count) {
        ++count;
    }
    ~Hold() {
        if (auto alive = lock.lock()) --*useCount;
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
};

TVrFileManager::~TVrFileManager() {
    // Every lock goes with the manager, and with it every work file and the private folder,
    // held or not: the process is ending.
    for (const auto& lock : locks_)
        pendingDeletes_.push_back(lock->path);
    locks_.clear();
    DeletePendingWorkFiles();
    if (workFolder_) {
        std::error_code ignored;
        std::filesystem::remove_all(*workFolder_, ignored);
    }
}

int32_t TVrFileManager::AddArchive(const std::filesystem::path& path) {
    // A program's resource archive shares the program's path with its trailer archive.
    for (const auto& collection : collections_) {
        if (!collection->IsResourceArchive() &&
            SamePathIgnoringCase(collection->ArchivePath(), path))
            return -1;
    }
    auto collection = std::make_unique<TVrFileCollection>();
    collection->OpenArchive(path, false);
    collections_.push_back(std::move(collection));
    return Count() - 1;
}

int32_t TVrFileManager::AddResourceArchive(const std::filesystem::path& path, std::string_view name,
                                           std::string_view type) {
    auto collection = std::make_unique<TVrFileCollection>();
    if (!collection->OpenResourceArchive(path, name, type))
        throw KivoError(path.string(), "リソースが見つかりません");
    collections_.push_back(std::move(collection));
    return Count() - 1;
}

int32_t TVrFileManager::AddProgramArchives(const std::filesystem::path& program) {
    int32_t mounted = 0;
    if (TVrFileCollection::FindArchiveResource(program, kResourceName, kResourceType)) {
        (void)AddResourceArchive(program, kResourceName, kResourceType);
        ++mounted;
    }
    if (EndsWithTrailerMark(program) && AddArchive(program) >= 0) ++mounted;
    return mounted;
}

bool TVrFileManager::CarriesArchive(const std::filesystem::path& program) {
    return EndsWithTrailerMark(program) ||
           TVrFileCollection::FindArchiveResource(program, kResourceName, kResourceType);
}

std::optional<std::filesystem::path> TVrFileManager::FindGameProgram(
    const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> programs;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (sjis::ToUpperAscii(it->path().extension().string()) != ".EXE") continue;
        std::error_code kind;
        if (std::filesystem::is_regular_file(it->path(), kind)) programs.push_back(it->path());
    }
    std::sort(programs.begin(), programs.end());
    for (const std::filesystem::path& program : programs) {
        try {
            if (CarriesArchive(program)) return program;
        } catch (const KivoError&) {
            // A damaged program (an installer, a broken copy) is not the game's.
        }
    }
    return std::nullopt;
}

std::filesystem::path TVrFileManager::GameFolderOf(const std::filesystem::path& argument) {
    std::error_code error;
    if (std::filesystem::is_regular_file(argument, error)) {
        std::filesystem::path folder = argument.parent_path();
        return folder.empty() ? std::filesystem::path(".") : folder;
    }
    return argument;
}

void TVrFileManager::DeleteArchive(int32_t index) {
    if (index < 0 || index >= Count()) return;
    collections_.erase(collections_.begin() + index);
}

void TVrFileManager::Clear() {
    collections_.clear();
}

TVrFileCollection& TVrFileManager::MemoryCollection() {
    for (const auto& collection : collections_) {
        if (collection->ArchivePath().empty()) return *collection;
    }
    return Collection(AddArchive({}));
}

void TVrFileManager::SetFolder(const std::filesystem::path& path) {
    folder_ = TVrLooseFolder(path);
}

void TVrFileManager::SetWrittenFolder(const std::filesystem::path& path) {
    written_ = TVrLooseFolder(path);
}

std::optional<std::filesystem::path> TVrFileManager::FindLoose(std::string_view name) const {
    if (written_.IsSet()) {
        if (auto written = written_.Find(name)) return written;
    }
    return folder_.Find(name);
}

TVrFile* TVrFileManager::FindEntry(std::string_view name) const {
    std::string normal = NormalizeDelimiters(name);
    for (const auto& collection : collections_) {
        if (TVrFile* entry = collection->FindFile(normal)) return entry;
    }
    return nullptr;
}

bool TVrFileManager::FileExists(std::string_view name) {
    if (name.empty()) return false;
    if (FindEntry(name)) return true;
    if (FindLoose(name)) return true;
    return FindOnDisc(name).has_value();
}

void TVrFileManager::LoadFileInto(const std::filesystem::path& path, TByteBuffer& content) const {
    auto file = host::HostFile::OpenRead(path);
    if (!file) throw KivoError(path.string(), "cannot open the file");
    const int64_t size = file->Size();
    content.resize(static_cast<size_t>(size));
    if (file->ReadAt(0, content.data(), size) != size) {
        content.clear();
        throw KivoError(path.string(), "cannot read the file");
    }
}

void TVrFileManager::LoadToStream(TStream& destination, std::string_view rawName) {
    if (auto* memory = dynamic_cast<TTpMemoryStream*>(&destination)) memory->Clear();
    const std::string name = NormalizeDelimiters(rawName);
    auto deliver = [&](const TByteBuffer& bytes) {
        destination.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
        destination.SetPosition(0);
    };

    TVrCacheList::TVrCache& cached = cache_.Find(name);
    if (cached.filled) {
        deliver(cached.content);
        return;
    }
    // The cache entry is filled before it is handed over; a failure below drops it again so
    // an empty entry never stands for a missing file.
    try {
        if (auto loose = FindLoose(name)) {
            LoadFileInto(*loose, cached.content);
            cached.filled = true;
            deliver(cached.content);
            return;
        }
        for (const auto& collection : collections_) {
            TVrFile* entry = collection->FindFile(name);
            if (!entry) continue;
            if (entry->memory) {
                // Memory entries change under scripts; they are never cached.
                cache_.Remove(name);
                std::span<const uint8_t> bytes = entry->memory->Bytes();
                destination.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
                destination.SetPosition(0);
                return;
            }
            if (!collection->ArchiveStream()) continue;
            collection->ReadEntryInto(*entry, cached.content, scratch_);
            // One very large compressed entry does not keep its memory for the whole run.
            if (scratch_.capacity() > TVrCacheList::kBudget) TByteBuffer().swap(scratch_);
            cached.filled = true;
            deliver(cached.content);
            return;
        }
        if (auto disc = FindOnDisc(name)) {
            LoadFileInto(*disc, cached.content);
            cached.filled = true;
            deliver(cached.content);
            return;
        }
    } catch (...) {
        cache_.Remove(name);
        throw;
    }
    cache_.Remove(name);
    ThrowFileMissing(name);
}

std::vector<uint8_t> TVrFileManager::Load(std::string_view name) {
    TTpMemoryStream content;
    LoadToStream(content, name);
    return content.Take();
}

std::unique_ptr<TRangeStream> TVrFileManager::OpenRange(std::string_view rawName) {
    const std::string name = NormalizeDelimiters(rawName);
    if (auto loose = FindLoose(name)) return std::make_unique<TFileRangeStream>(*loose);
    for (const auto& collection : collections_) {
        if (auto range = collection->OpenEntryRange(name)) return range;
    }
    if (auto disc = FindOnDisc(name)) return std::make_unique<TFileRangeStream>(*disc);
    ThrowFileMissing(name);
}

std::optional<TVrLocalFile> TVrFileManager::GetLocalPath(std::string_view rawName) {
    const std::string name = NormalizeDelimiters(rawName);
    if (auto loose = FindLoose(name)) return TVrLocalFile(*loose);
    if (FindEntry(name)) {
        // Locks compare names exactly, as the lock list always has.
        for (const auto& lock : locks_) {
            if (lock->name == name) return HandOut(lock);
        }
        return HandOut(ExtractToWorkFile(name));
    }
    if (auto disc = FindOnDisc(name)) return TVrLocalFile(*disc);
    return std::nullopt;
}

TVrLocalFile TVrFileManager::HandOut(const std::shared_ptr<TVrLockData>& lock) {
    lock->remainingMs = kWorkFileLifetimeMs;
    return TVrLocalFile(lock->path, std::make_shared<TVrLocalFile::Hold>(lock, lock->useCount));
}

std::shared_ptr<TVrFileManager::TVrLockData> TVrFileManager::ExtractToWorkFile(
    const std::string& name) {
    if (!workFolder_) {
        workFolder_ = host::MakePrivateFolder(host::TemporaryFolder(), "kivoplay-");
        if (!workFolder_) throw KivoError("作業用ファイルが作れません");
    }
    uint32_t id = nextLockId_;
    while (std::any_of(locks_.begin(), locks_.end(),
                       [&](const std::shared_ptr<TVrLockData>& l) { return l->id == id; }))
        ++id;
    nextLockId_ = id + 1;

    char stem[16];
    std::snprintf(stem, sizeof stem, "~kv%08X", id);
    std::string extension;
    size_t dot = sjis::FindLastChar(name, '.');
    size_t slash = sjis::FindLastDelimiter(name);
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        extension = sjis::ToUtf8(name.substr(dot));
        // The extension names a file in our folder; it must not carry a path of its own.
        if (extension.find('/') != std::string::npos) extension.clear();
    }
    std::filesystem::path path = *workFolder_ / (stem + extension);

    std::vector<uint8_t> content = Load(name);
    auto file = host::HostFile::CreateExclusive(path);
    if (!file || !file->WriteAt(0, content.data(), static_cast<int64_t>(content.size()))) {
        std::error_code ignored;
        if (file) std::filesystem::remove(path, ignored);
        throw KivoError("作業用ファイルが作れません");
    }
    auto lock = std::make_shared<TVrLockData>();
    lock->name = name;
    lock->id = id;
    lock->path = path;
    locks_.push_back(lock);
    return lock;
}

void TVrFileManager::UpkeepWorkFiles(int32_t frameDeltaMs) {
    std::erase_if(locks_, [&](const std::shared_ptr<TVrLockData>& lock) {
        lock->remainingMs = std::max(lock->remainingMs - std::max(frameDeltaMs, 0), 0);
        if (lock->remainingMs > 0 || lock->useCount > 0) return false;
        pendingDeletes_.push_back(lock->path);
        return true;
    });
    DeletePendingWorkFiles();
}

void TVrFileManager::DeletePendingWorkFiles() {
    for (const std::filesystem::path& path : pendingDeletes_) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
    pendingDeletes_.clear();
}

std::string TVrFileManager::VirtualFolderOf(std::string_view name) {
    // Host paths ("\\server\..." or "C:\...") and virtual names alike keep everything up to
    // their last delimiter.
    size_t slash = sjis::FindLastDelimiter(name);
    if (slash == std::string_view::npos) return {};
    return std::string(name.substr(0, slash + 1));
}

void TVrFileManager::RefreshDiscRoots() {
    discRoots_ = discSources_.folders;
    if (discSources_.probe) {
        for (const std::string& root : discSources_.probe())
            discRoots_.emplace_back(root);
    }
}

std::optional<std::filesystem::path> TVrFileManager::FindOnDisc(std::string_view name) const {
    for (const std::filesystem::path& root : discRoots_) {
        if (auto found = TVrLooseFolder(root).Find(name)) return found;
    }
    return std::nullopt;
}

bool TVrFileManager::MountDisk(int32_t index) {
    RefreshDiscRoots();
    bool added = false;
    for (const std::filesystem::path& root : discRoots_) {
        TVrLooseFolder disc(root);
        auto archive = disc.Find("game.dat");
        auto install = disc.Find("install.dat");
        if (!archive || !install) continue;
        try {
            TInstallData data = TInstallData::LoadFromFile(*install);
            if (data.projectTitle == discTexts_.projectTitle && data.discIndex == index) {
                added = AddArchive(*archive) >= 0 || added;
            }
        } catch (const KivoError&) {
            // A disc with a damaged installation record is simply not the one asked for.
        }
    }
    return added;
}

bool TVrFileManager::RequestDisk(int32_t n, PlayerState& state) {
    for (const std::filesystem::path& root : discRoots_) {
        // The separator keeps "/media/cd" from matching "/media/cd2".
        const std::string prefix = (root / "").string();
        std::erase_if(collections_, [&](const std::unique_ptr<TVrFileCollection>& c) {
            return !c->ArchivePath().empty() &&
                   StartsWithIgnoringCase(c->ArchivePath().string(), prefix);
        });
    }
    if (!prompter_) return MountDisk(n - 1);
    const std::string caption = sjis::ToUtf8(discTexts_.caption);
    while (true) {
        const bool unattended = prompter_->Unattended();
        if (prompter_->AskOkCancel(caption, sjis::ToUtf8(FormatDiscPrompt(discTexts_.prompt, n)))) {
            if (MountDisk(n - 1)) return true;
            // Nobody inserts a disc in an unattended run; the next question is whether to quit.
            if (!unattended) continue;
        }
        if (prompter_->AskOkCancel(caption, sjis::ToUtf8(discTexts_.quitText))) {
            state.quitRequest = true;
            return false;
        }
    }
}

}  // namespace kivo
