#pragma once
// save.dat: the saved games and the status data, each one entry of an archive that is
// rewritten whole whenever one entry changes. The new archive is written straight into a
// temporary file beside the old one, the other entries copied over from the old file as they
// are stored, and then renamed over it, so the old file stays whole until the new one is
// complete. Neither file is ever held in memory whole: a save beside many large slots costs
// about one copy of the file.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/vr_file_collection.h"

namespace kivo {

inline constexpr std::string_view kSaveFileName = "save.dat";
inline constexpr std::string_view kGameEntryPrefix = "GAMESAVEDATA";
inline constexpr std::string_view kStatusEntryName = "STATUSSAVEDATA";

// The entry name of a game slot: "GAMESAVEDATA" and the slot in decimal.
[[nodiscard]] std::string GameEntryName(int32_t slot);
// The slot of a game entry name; nullopt for other names and for slots that are negative or
// not plain decimal numbers.
[[nodiscard]] std::optional<int32_t> SlotOfEntryName(std::string_view name);

// One entry to put into save.dat: its name and its content.
struct SaveFileEntry {
    std::string name;
    std::vector<uint8_t> content;
};

class TSaveFile {
  public:
    // Writes a whole new file over path, its bytes put by write into the stream it is given;
    // raises KivoError naming path when it cannot, leaving what was at path untouched.
    using Writer = std::function<void(const std::filesystem::path& path,
                                      const std::function<void(TTpBigStream&)>& write)>;

    // file is the save.dat written; seed, when given, is read in its place until file exists
    // (the game folder's save.dat for a player that keeps its saves elsewhere).
    explicit TSaveFile(std::filesystem::path file, std::filesystem::path seed = {});

    [[nodiscard]] const std::filesystem::path& Path() const { return file_; }
    // The file reads come from: the save file, else the seed, else none (empty).
    [[nodiscard]] std::filesystem::path ReadPath() const;
    [[nodiscard]] bool Exists() const { return !ReadPath().empty(); }

    // Reads the archive's directory; entries are read from the file when asked for. Without a
    // file it stays empty. A damaged file raises KivoError naming it.
    void Open(TVrFileCollection& archive) const;
    // The content of the named entry, nullopt when the file or the entry is missing. A
    // damaged file or entry raises KivoError naming the file.
    [[nodiscard]] std::optional<std::vector<uint8_t>> ReadEntry(std::string_view name) const;
    // Puts content in the entry of that name, removed first so that it moves to the end, and
    // writes the whole file anew; the other entries are copied as they are stored. Raises
    // KivoError naming the file when the old file cannot be read or the new one written; the
    // old file is then unchanged.
    void ReplaceEntry(std::string_view name, std::span<const uint8_t> content);
    // The same for several entries in one rewrite of the file: each moves to the end in the
    // order given, so the file is what replacing them one after another would have written.
    void ReplaceEntries(std::vector<SaveFileEntry> entries);
    // Moves a damaged save file aside as "save.dat.bad" (replacing an older one), so that the
    // next save starts a fresh file without destroying what may still be rescued. False when
    // there is nothing to move or it cannot be moved.
    bool MoveAside() const;
    // Copies the save file to "save.dat.bad", keeping a damaged part that is about to be
    // replaced. False when reads do not come from the save file or the copy fails.
    bool KeepCopyAside() const;
    // Reads no longer fall back to the seed (it could not be read).
    void ForgetSeed() { seed_.clear(); }

    // Replaces how whole files are written (tests simulate a full disk through it).
    void SetWriter(Writer writer) { writer_ = std::move(writer); }

  private:
    // Makes the save file's folder, only this user's, when it does not exist yet.
    void MakeFolder() const;
    [[nodiscard]] std::filesystem::path BadPath() const;

    std::filesystem::path file_;
    std::filesystem::path seed_;
    Writer writer_;
};

}  // namespace kivo
