#include "shell/save_folder.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <system_error>

#include "platform/host_files.h"
#include "storage/save_file.h"
#include "storage/vr_loose_folder.h"

namespace kivo {

namespace {

// FNV-1a, 64 bits: stable across runs and builds, so a game keeps its folder.
uint64_t HashOf(const std::string& text) {
    uint64_t hash = 0xCBF29CE484222325u;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001B3u;
    }
    return hash;
}

std::string Hex(uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// The game folder as the host names it, so that every way of naming it finds the same
// per-user folder.
std::filesystem::path CanonicalFolder(const std::filesystem::path& gameFolder) {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::weakly_canonical(gameFolder, error);
    if (error || folder.empty()) folder = std::filesystem::absolute(gameFolder, error);
    return folder;
}

std::filesystem::path OwnFolderOf(const std::filesystem::path& folder,
                                  const std::filesystem::path& userData) {
    std::string name = folder.filename().string();
    if (name.empty()) name = "game";
    return userData / "kivoplay" / (name + "-" + Hex(HashOf(folder.string())));
}

}  // namespace

std::filesystem::path PerUserGameFolder(const std::filesystem::path& gameFolder,
                                        const std::filesystem::path& userData) {
    if (userData.empty()) return {};
    return OwnFolderOf(CanonicalFolder(gameFolder), userData);
}

SaveLocation ChooseSaveLocation(const std::filesystem::path& gameFolder,
                                const std::filesystem::path& saveDir,
                                const std::filesystem::path& userData,
                                const WritableTest& writable) {
    const WritableTest isWritable = writable ? writable : WritableTest(host::IsWritable);
    if (!saveDir.empty()) return {saveDir / kSaveFileName, {}};
    std::error_code error;
    const std::filesystem::path folder = CanonicalFolder(gameFolder);
    // Copies from discs may carry the name in capitals.
    const std::filesystem::path gameSave =
        TVrLooseFolder(folder).Find(kSaveFileName).value_or(folder / kSaveFileName);
    const bool saveWritable = !std::filesystem::exists(gameSave, error) || isWritable(gameSave);
    if ((isWritable(folder) && saveWritable && !host::IsOnDiscFileSystem(folder)) ||
        userData.empty()) {
        return {gameSave, {}};
    }
    return {OwnFolderOf(folder, userData) / kSaveFileName, gameSave};
}

std::filesystem::path ChooseWriteFolder(const std::filesystem::path& looseFolder,
                                        const std::filesystem::path& saveFile,
                                        const WritableTest& writable) {
    const WritableTest isWritable = writable ? writable : WritableTest(host::IsWritable);
    if (isWritable(looseFolder) && !host::IsOnDiscFileSystem(looseFolder)) return looseFolder;
    return saveFile.parent_path();
}

}  // namespace kivo
