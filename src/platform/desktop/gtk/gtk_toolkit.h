#pragma once
// The entry of the dialog module (kivo_gtk.so): the GTK side of the desktop player's dialogs.
// GTK and what it loads are opened with the first dialog, not with the program; the console
// side of the dialogs stays in the program.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/dialogs.h"

namespace kivo {

inline constexpr const char* kGtkModuleFile = "kivo_gtk.so";
inline constexpr const char* kGtkModuleEntry = "kivo_gtk_dialogs";
// Raised whenever the table below changes, so a stale module left from another build is
// refused by name instead of being called with the wrong layout.
inline constexpr uint32_t kGtkModuleVersion = 1;

struct GtkDialogTable {
    uint32_t version;
    // Opens GTK on the display; false when there is none.
    bool (*open)();
    // nullopt when the dialog was closed without a button.
    std::optional<DialogAnswer> (*show)(std::string_view text, std::string_view caption,
                                        DialogIcon icon, DialogButtons buttons);
    size_t (*chooseFromList)(std::string_view title, std::span<const std::string> lines,
                             std::string_view button);
    FolderChoice (*chooseGameFolder)(const GameFolderRequest& request);
    bool (*editSoundSettings)(SoundSettingsControls& controls);
};

// What the folder choosers say of a folder without a game, shownFolder as the user reads it.
inline std::string NotAGameText(std::string_view shownFolder) {
    return std::string(shownFolder) +
           "\nにはゲームがありません。kivo.kpb、game.dat またはゲームの実行ファイル (.exe) "
           "があるフォルダを選んでください。";
}

}  // namespace kivo

extern "C" {
const kivo::GtkDialogTable* kivo_gtk_dialogs();
}
