#include "shell/recent_games.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <system_error>

#include "base/error.h"
#include "shell/bounded_file.h"

namespace kivo {

namespace {

// Eight paths take far less; anything past this is not ours and is not read.
constexpr size_t kMaxFileBytes = 64u << 10;

}  // namespace

void RecentGames::Load() {
    games_.clear();
    std::error_code error;
    if (file_.empty() || !std::filesystem::exists(file_, error)) return;
    std::string text = ReadBoundedFile(file_, kMaxFileBytes, "list of recent games");
    // A list cut short by the size cap would end in half a path.
    if (text.size() > kMaxFileBytes) text.resize(text.rfind('\n', kMaxFileBytes) + 1);
    size_t pos = 0;
    while (pos < text.size() && games_.size() < kMaxGames) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::filesystem::path folder(std::string_view(text).substr(pos, end - pos));
        pos = end + 1;
        if (!folder.is_absolute()) continue;
        if (std::find(games_.begin(), games_.end(), folder) != games_.end()) continue;
        games_.push_back(folder);
    }
}

void RecentGames::Remember(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(folder, error).lexically_normal();
    if (error || absolute.empty()) return;
    // "/games/x/" and "/games/x" are one game.
    if (!absolute.has_filename() && absolute.has_parent_path() && absolute != absolute.root_path())
        absolute = absolute.parent_path();
    if (absolute.native().find('\n') != std::string::npos) return;
    games_.erase(std::remove(games_.begin(), games_.end(), absolute), games_.end());
    games_.insert(games_.begin(), absolute);
    if (games_.size() > kMaxGames) games_.resize(kMaxGames);
    if (file_.empty()) return;

    std::string text;
    for (const std::filesystem::path& game : games_)
        text.append(game.native()).push_back('\n');
    std::filesystem::create_directories(file_.parent_path(), error);
    if (error) throw KivoError(file_.string(), "cannot create the folder: " + error.message());
    WriteWholeFile(file_, text);
}

}  // namespace kivo
