#pragma once
// The player's one lookup of virtual names: an ordered list of archive collections (the
// memory collection first), a loose-file folder, and the data discs, with a most-recently-used
// content cache and the work files handed to players that need a real file. The player owns
// one instance for the whole run; nothing here is global.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/player_state.h"
#include "storage/range_stream.h"
#include "storage/stream.h"
#include "storage/vr_file_collection.h"
#include "storage/vr_loose_folder.h"

namespace kivo {

// Most-recently-used cache of loaded content, keyed by the upper-cased name (ASCII letters
// only, never a trail byte). A miss evicts least recently used entries while more than one is
// held and their total exceeds the budget; the new entry itself is never evicted by its own
// insertion, so the total may run over until the next miss.
class TVrCacheList {
  public:
    static constexpr int64_t kBudget = 0x400000;

    struct TVrCache {
        std::string key;
        std::vector<uint8_t> content;
        bool filled = false;
    };

    // The entry for name, moved or created at the front.
    TVrCache& Find(std::string_view name);
    void Remove(std::string_view name);
    void Clear() { entries_.clear(); }
    [[nodiscard]] int64_t TotalSize() const;
    [[nodiscard]] size_t Count() const { return entries_.size(); }
    [[nodiscard]] bool Contains(std::string_view name) const;

  private:
    std::list<TVrCache> entries_;
};

// The texts and title of the running project that the disc requests use (Shift-JIS).
struct TVrDiscTexts {
    std::string projectTitle;  // compared with the title in a disc's install.dat
    std::string caption;       // caption of the prompts (the application title)
    std::string prompt;        // formatted with the 1-based disc number at "%d"
    std::string quitText;
};

// Asks the person at the screen; supplied by the shell (a dialog, or a script when headless).
class TVrDiscPrompter {
  public:
    virtual ~TVrDiscPrompter() = default;
    // An OK/Cancel question with UTF-8 texts; true for OK. Called on the main thread.
    [[nodiscard]] virtual bool AskOkCancel(std::string_view caption, std::string_view text) = 0;
};

// Where data discs are found: folders named on the command line and the mounted discs,
// enumerated afresh whenever the manager looks for a disc.
struct TVrDiscSources {
    std::vector<std::filesystem::path> folders;
    // The mount points of the mounted data discs; empty function = none.
    std::function<std::vector<std::string>()> probe;

    // The mounted iso9660/udf file systems of the running system.
    [[nodiscard]] static TVrDiscSources System(std::vector<std::filesystem::path> folders = {});
};

class TVrFileManager {
  public:
    explicit TVrFileManager(TVrDiscSources discs = {});
    ~TVrFileManager();
    TVrFileManager(const TVrFileManager&) = delete;
    TVrFileManager& operator=(const TVrFileManager&) = delete;

    // Mounts the archive at path (an empty path makes the memory collection); -1 when a
    // collection with that archive path is already mounted.
    int32_t AddArchive(const std::filesystem::path& path);
    void DeleteArchive(int32_t index);
    void Clear();
    [[nodiscard]] int32_t Count() const { return static_cast<int32_t>(collections_.size()); }
    [[nodiscard]] TVrFileCollection& Collection(int32_t index) const {
        return *collections_.at(static_cast<size_t>(index));
    }
    // The memory collection, creating it first when it is missing.
    [[nodiscard]] TVrFileCollection& MemoryCollection();

    // The loose-file folder (empty = none).
    void SetFolder(const std::filesystem::path& path);
    [[nodiscard]] const std::filesystem::path& Folder() const { return folder_.Root(); }

    [[nodiscard]] bool FileExists(std::string_view name);
    // The content into destination (cleared first when it is a memory stream), positioned at
    // 0. Raises the missing-file error.
    void LoadToStream(TStream& destination, std::string_view name);
    // The content as bytes.
    [[nodiscard]] std::vector<uint8_t> Load(std::string_view name);
    // A read-only window over the file. Raises the missing-file error.
    [[nodiscard]] std::unique_ptr<TRangeStream> OpenRange(std::string_view name);
    // A real file with the content: the loose file, a work file, or the disc's file; nullopt
    // when the name is nowhere.
    [[nodiscard]] std::optional<std::filesystem::path> GetLocalPath(std::string_view name);
    // The first collection's entry of that name, or nullptr.
    [[nodiscard]] TVrFile* FindEntry(std::string_view name) const;
    // Forgets the cached content of name (after a script rewrote the file).
    void Remove(std::string_view name) { cache_.Remove(NormalizeDelimiters(name)); }
    [[nodiscard]] TVrCacheList& Cache() { return cache_; }

    // The folder part of a virtual name: up to and including its last delimiter.
    [[nodiscard]] static std::string VirtualFolderOf(std::string_view name);

    // Deletes the work files whose locks were freed; run by the frame step.
    void UpkeepWorkFiles();
    [[nodiscard]] const std::optional<std::filesystem::path>& WorkFolder() const {
        return workFolder_;
    }

    // Disc roots as last enumerated (command-line folders first).
    [[nodiscard]] const std::vector<std::filesystem::path>& DiscRoots() const { return discRoots_; }
    void RefreshDiscRoots();
    void SetDiscTexts(TVrDiscTexts texts) { discTexts_ = std::move(texts); }
    void SetDiscPrompter(TVrDiscPrompter* prompter) { prompter_ = prompter; }
    // Mounts game.dat of every disc whose install.dat names this project and disc index.
    bool MountDisk(int32_t index);
    // Asks for disc n (1-based) until it is mounted (true) or the person confirms quitting,
    // which sets the quit request (false).
    bool RequestDisk(int32_t n, PlayerState& state);

  private:
    struct TVrLockData {
        std::string name;
        uint32_t id = 0;
        int32_t useCount = 0;
        std::filesystem::path path;
    };

    [[nodiscard]] std::optional<std::filesystem::path> FindOnDisc(std::string_view name) const;
    std::filesystem::path ExtractToWorkFile(const std::string& name);
    void LoadFileInto(const std::filesystem::path& path, std::vector<uint8_t>& content) const;

    std::vector<std::unique_ptr<TVrFileCollection>> collections_;
    TVrLooseFolder folder_;
    TVrCacheList cache_;
    TVrDiscSources discSources_;
    std::vector<std::filesystem::path> discRoots_;
    TVrDiscTexts discTexts_;
    TVrDiscPrompter* prompter_ = nullptr;
    std::vector<TVrLockData> locks_;
    uint32_t nextLockId_ = 0;
    std::optional<std::filesystem::path> workFolder_;
    std::vector<std::filesystem::path> pendingDeletes_;
};

}  // namespace kivo
