#pragma once
// Message dialogs of the desktop player: GTK 3 message boxes with the caller's caption, icon
// and buttons, and a modal list with one button for choices. When GTK cannot open a display
// the same questions go to the console: the text (or the numbered lines) on stderr and, when
// stdin is a terminal, the answer read from it (otherwise OK/Yes, or the first line).

#include <filesystem>
#include <vector>

#include "platform/dialogs.h"

namespace kivo {

struct GtkDialogTable;

class GtkDialogs final : public MessageDialogs {
  public:
    // GTK is opened when the first dialog is shown, not before: loading and opening it costs
    // a large part of a start-up (its accessibility bus lookup alone takes about 150 ms), and
    // most runs never show a dialog. The outcome of that one try holds for the whole run. Its
    // code is in the dialog module, looked for in the program's module folders (or in
    // moduleFolders); without the module the dialogs go to the console, as without a display.
    GtkDialogs();
    explicit GtkDialogs(std::vector<std::filesystem::path> moduleFolders);
    [[nodiscard]] DialogAnswer Show(std::string_view text, std::string_view caption,
                                    DialogIcon icon, DialogButtons buttons) override;
    [[nodiscard]] size_t ChooseFromList(std::string_view title, std::span<const std::string> lines,
                                        std::string_view button) override;
    [[nodiscard]] bool Unattended() override;
    // Without a display the settings cannot be shown: the console says so and nothing changes.
    [[nodiscard]] bool EditSoundSettings(SoundSettingsControls& controls) override;
    // The recent games in a list (open one, or look for another folder), then GTK's folder
    // chooser with the recent games among its places. Without a display, the console asks
    // when stdin is a terminal; otherwise it is unanswered.
    [[nodiscard]] FolderChoice ChooseGameFolder(const GameFolderRequest& request) override;
    // Opens GTK if no dialog has yet; true when it could.
    [[nodiscard]] bool UsesGtk();
    // True once GTK was tried (a dialog was shown or UsesGtk asked).
    [[nodiscard]] bool GtkTried() const { return gtkTried_; }

  private:
    [[nodiscard]] DialogAnswer ShowOnConsole(std::string_view text, std::string_view caption,
                                             DialogIcon icon, DialogButtons buttons);
    [[nodiscard]] static size_t ChooseOnConsole(std::string_view title,
                                                std::span<const std::string> lines);
    [[nodiscard]] static FolderChoice ChooseFolderOnConsole(const GameFolderRequest& request);
    // The dialog module's entry table; null, with the reason on stderr, when it cannot be
    // opened.
    [[nodiscard]] const GtkDialogTable* OpenGtkModule() const;

    std::vector<std::filesystem::path> moduleFolders_;
    const GtkDialogTable* gtk_ = nullptr;
    bool gtkTried_ = false;
    bool gtkReady_ = false;
};

}  // namespace kivo
