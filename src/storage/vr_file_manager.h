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
        TByteBuffer content;
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
    // True when the next question gets a default answer because nobody is there to give one.
    [[nodiscard]] virtual bool Unattended() { return false; }
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

// A real file with a virtual file's content, as GetLocalPath hands it out. For a work file
// extracted from an archive, the handle (and every copy of it) holds the file: the upkeep
// never deletes a work file while a handle to it lives. Loose and disc files are the game's
// own and hold nothing.
class TVrLocalFile {
  public:
    struct Hold;

    explicit TVrLocalFile(std::filesystem::path path, std::shared_ptr<Hold> hold = nullptr)
        : path_(std::move(path)), hold_(std::move(hold)) {}

    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    [[nodiscard]] bool IsWorkFile() const { return hold_ != nullptr; }

  private:
    std::filesystem::path path_;
    std::shared_ptr<Hold> hold_;
};

class TVrFileManager {
  public:
    // How long an extracted work file outlives its last use, in game milliseconds.
    static constexpr int32_t kWorkFileLifetimeMs = 30000;

    explicit TVrFileManager(TVrDiscSources discs = {});
    ~TVrFileManager();
    TVrFileManager(const TVrFileManager&) = delete;
    TVrFileManager& operator=(const TVrFileManager&) = delete;

    // Mounts the archive at path (an empty path makes the memory collection); -1 when a
    // collection with that archive path is already mounted.
    int32_t AddArchive(const std::filesystem::path& path);
    // Mounts the archive held by the program at path as its resource name of type; raises
    // "リソースが見つかりません" when the program has none.
    int32_t AddResourceArchive(const std::filesystem::path& path, std::string_view name,
                               std::string_view type);
    // Mounts the archives a game's Windows program carries, as the program mounted them
    // itself: its "DUMMY"/"BINTYPE" resource archive, then an archive after its end ("kv"
    // trailer). Returns how many were mounted.
    int32_t AddProgramArchives(const std::filesystem::path& program);
    // Whether the program at path carries an archive in either place.
    [[nodiscard]] static bool CarriesArchive(const std::filesystem::path& program);
    // The Windows program ("*.exe" in any letter case) of a game folder that carries an
    // archive, the first by name when several do; programs that cannot be read are passed
    // over.
    [[nodiscard]] static std::optional<std::filesystem::path> FindGameProgram(
        const std::filesystem::path& folder);
    // The game folder a command-line argument names: the argument itself, or the folder of
    // the program file it names.
    [[nodiscard]] static std::filesystem::path GameFolderOf(const std::filesystem::path& argument);
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
    // Where the player writes the game's files when the loose-file folder is read-only (empty
    // = none). Its files are found before the loose-file folder's, so a picture a script
    // rewrote there replaces the one the game shipped with.
    void SetWrittenFolder(const std::filesystem::path& path);
    [[nodiscard]] const std::filesystem::path& WrittenFolder() const { return written_.Root(); }

    [[nodiscard]] bool FileExists(std::string_view name);
    // The content into destination (cleared first when it is a memory stream), positioned at
    // 0. Raises the missing-file error.
    void LoadToStream(TStream& destination, std::string_view name);
    // The content as bytes.
    [[nodiscard]] std::vector<uint8_t> Load(std::string_view name);
    // A read-only window over the file. Raises the missing-file error.
    [[nodiscard]] std::unique_ptr<TRangeStream> OpenRange(std::string_view name);
    // A real file with the content: the loose file, a work file, or the disc's file; nullopt
    // when the name is nowhere. A work file is extracted once per name and handed out again
    // while it lives; each hand-out starts its lifetime afresh.
    [[nodiscard]] std::optional<TVrLocalFile> GetLocalPath(std::string_view name);
    // The first collection's entry of that name, or nullptr.
    [[nodiscard]] TVrFile* FindEntry(std::string_view name) const;
    // Forgets the cached content of name (after a script rewrote the file).
    void Remove(std::string_view name) { cache_.Remove(NormalizeDelimiters(name)); }
    [[nodiscard]] TVrCacheList& Cache() { return cache_; }

    // The folder part of a virtual name: up to and including its last delimiter.
    [[nodiscard]] static std::string VirtualFolderOf(std::string_view name);

    // Run by every frame step with its delta: each work file's remaining lifetime runs down
    // by the delta, and a work file whose lifetime is over and that no handle holds any more
    // is freed and deleted from the disk.
    void UpkeepWorkFiles(int32_t frameDeltaMs);
    // Work files extracted and not freed yet.
    [[nodiscard]] size_t WorkFileCount() const { return locks_.size(); }
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
        int32_t useCount = 0;  // handles alive
        int32_t remainingMs = kWorkFileLifetimeMs;
        std::filesystem::path path;
    };

    [[nodiscard]] std::optional<std::filesystem::path> FindOnDisc(std::string_view name) const;
    std::shared_ptr<TVrLockData> ExtractToWorkFile(const std::string& name);
    [[nodiscard]] static TVrLocalFile HandOut(const std::shared_ptr<TVrLockData>& lock);
    void DeletePendingWorkFiles();
    void LoadFileInto(const std::filesystem::path& path, TByteBuffer& content) const;
    // The host file of a name in the written folder, else in the loose-file folder.
    [[nodiscard]] std::optional<std::filesystem::path> FindLoose(std::string_view name) const;

    std::vector<std::unique_ptr<TVrFileCollection>> collections_;
    TVrLooseFolder folder_;
    TVrLooseFolder written_;
    TVrCacheList cache_;
    TVrDiscSources discSources_;
    std::vector<std::filesystem::path> discRoots_;
    TVrDiscTexts discTexts_;
    TVrDiscPrompter* prompter_ = nullptr;
    std::vector<std::shared_ptr<TVrLockData>> locks_;
    uint32_t nextLockId_ = 0;
    std::optional<std::filesystem::path> workFolder_;
    std::vector<std::filesystem::path> pendingDeletes_;
    // The stored bytes of compressed entries on their way to the cache.
    TByteBuffer scratch_;
};

}  // namespace kivo
