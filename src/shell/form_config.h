#pragma once
// The sound settings dialog of "kivoplay /config": shows game.ini's DirectSound and DelayTime
// and, on OK, writes them back into the file, keeping everything else in it.

#include <filesystem>
#include <string_view>

#include "platform/dialogs.h"

namespace kivo {

class TFormConfig {
  public:
    // folder holds game.ini (or is where a new one goes).
    TFormConfig(MessageDialogs& dialogs, std::filesystem::path folder);

    // The controls as game.ini sets them: DirectSound (default on), and DelayTime (default 500)
    // in hundreds, held to the track bar's 1..5.
    [[nodiscard]] static SoundSettingsControls ControlsOf(std::string_view iniText,
                                                          std::string_view fileName);

    // Shows the dialog; OK replaces game.ini through a temporary file renamed over it. A file
    // that cannot be read or written is reported in an error box. Returns the exit status:
    // 0, or 2 when game.ini could not be read or written.
    [[nodiscard]] int Run();

  private:
    [[nodiscard]] int ReportFailure(std::string_view message);

    MessageDialogs& dialogs_;
    std::filesystem::path folder_;
};

}  // namespace kivo
