#include "shell/form_config.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "base/error.h"
#include "base/player_state.h"
#include "shell/bounded_file.h"
#include "shell/game_ini.h"

namespace kivo {

namespace {

constexpr size_t kMaxIniBytes = 1 << 20;
constexpr std::string_view kCaption = "動作設定";

}  // namespace

TFormConfig::TFormConfig(MessageDialogs& dialogs, std::filesystem::path folder)
    : dialogs_(dialogs), folder_(std::move(folder)) {}

SoundSettingsControls TFormConfig::ControlsOf(std::string_view iniText, std::string_view fileName) {
    PlayerState settings;
    settings.directSound = true;
    settings.soundDelay = 500;
    ApplyGameIni(iniText, fileName, settings);
    return {settings.directSound, std::clamp(settings.soundDelay / 100, 1, 5)};
}

int TFormConfig::Run() {
    const std::optional<std::filesystem::path> found = FindGameIni(folder_);
    const std::filesystem::path path = found.value_or(folder_ / "game.ini");
    std::string text;
    SoundSettingsControls controls;
    try {
        if (found) {
            text = ReadBoundedFile(path, kMaxIniBytes, "settings file");
            controls = ControlsOf(text, path.string());
        }
    } catch (const KivoError& error) {
        return ReportFailure(error.what());
    }
    if (!dialogs_.EditSoundSettings(controls)) return 0;
    try {
        // Read again: what the file holds now is what the other keys keep.
        if (found) text = ReadBoundedFile(path, kMaxIniBytes, "settings file");
        if (text.size() > kMaxIniBytes) throw KivoError(path.string(), "settings file too large");
        WriteWholeFile(path, SetGameIniSound(text, controls.directSound,
                                             std::clamp(controls.delayPosition, 1, 5) * 100));
    } catch (const KivoError& error) {
        return ReportFailure(error.what());
    }
    return 0;
}

int TFormConfig::ReportFailure(std::string_view message) {
    (void)dialogs_.Show(message, kCaption, DialogIcon::Error, DialogButtons::Ok);
    return 2;
}

}  // namespace kivo
