#include "shell/game_chooser.h"

#include "base/error.h"
#include "storage/vr_file_manager.h"
#include "storage/vr_loose_folder.h"

namespace kivo {

namespace {

bool HasFile(const std::filesystem::path& folder, std::string_view name) {
    return TVrLooseFolder(folder).Find(name).has_value();
}

}  // namespace

bool HoldsGame(const std::filesystem::path& folder) {
    std::error_code error;
    if (folder.empty() || !std::filesystem::is_directory(folder, error)) return false;
    return HasFile(folder, "kivo.kpb") || HasFile(folder, "game.dat") ||
           TVrFileManager::FindGameProgram(folder).has_value();
}

bool GameBesideProgram(const std::filesystem::path& programFolder,
                       const std::filesystem::path& programPath) {
    if (HoldsGame(programFolder) || HasFile(programFolder, "install.dat")) return true;
    try {
        return !programPath.empty() && TVrFileManager::CarriesArchive(programPath);
    } catch (const KivoError&) {
        // A program we cannot read carries nothing we could mount.
        return false;
    }
}

FolderChoice ChooseGame(MessageDialogs& dialogs, RecentGames& recent, std::ostream& err) {
    try {
        recent.Load();
    } catch (const KivoError& error) {
        err << "kivoplay: " << error.what() << '\n';
    }
    GameFolderRequest request;
    request.title = "ゲームを開く";
    request.holdsGame = HoldsGame;
    // A game moved or deleted since is not offered.
    for (const std::filesystem::path& game : recent.Games()) {
        if (HoldsGame(game)) request.recent.push_back(game);
    }
    FolderChoice choice = dialogs.ChooseGameFolder(request);
    if (choice.status != FolderChoiceStatus::Chosen) return choice;
    try {
        recent.Remember(choice.folder);
    } catch (const KivoError& error) {
        err << "kivoplay: " << error.what() << '\n';
    }
    return choice;
}

}  // namespace kivo
