#pragma once
// The games played last through the game folder chooser, newest first, kept for the user in a
// small text file (one absolute folder a line, UTF-8 as the host spells it) so that the next
// start offers them again.

#include <cstddef>
#include <filesystem>
#include <vector>

namespace kivo {

class RecentGames {
  public:
    // A few are enough to come back to; the chooser stays short.
    static constexpr size_t kMaxGames = 8;

    // file is where the list lives; empty keeps the list in memory only (no config folder).
    explicit RecentGames(std::filesystem::path file) : file_(std::move(file)) {}

    // Reads the file. A missing file is an empty list; lines that are not absolute folders,
    // repeats and lines past kMaxGames are passed over. Raises KivoError naming the file when
    // it exists and cannot be read; the list is then empty.
    void Load();
    [[nodiscard]] const std::vector<std::filesystem::path>& Games() const { return games_; }
    [[nodiscard]] const std::filesystem::path& File() const { return file_; }

    // Puts folder (made absolute) first, moving it up when it was listed and dropping the
    // oldest past kMaxGames, and rewrites the file through a temporary beside it, creating its
    // folder when needed. A folder whose name holds a line break cannot be kept and is left
    // out. Raises KivoError naming the file when it cannot be written; the old file is then
    // untouched and the list in memory is already updated.
    void Remember(const std::filesystem::path& folder);

  private:
    std::filesystem::path file_;
    std::vector<std::filesystem::path> games_;
};

}  // namespace kivo
