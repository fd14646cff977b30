#pragma once
// Message dialogs of the desktop player: GTK 3 message boxes with the caller's caption, icon
// and buttons, and a modal list with one button for choices. When GTK cannot open a display
// the same questions go to the console: the text (or the numbered lines) on stderr and, when
// stdin is a terminal, the answer read from it (otherwise OK/Yes, or the first line).

#include "platform/dialogs.h"

namespace kivo {

class GtkDialogs final : public MessageDialogs {
  public:
    // Tries to open GTK once; the outcome holds for the whole run.
    GtkDialogs();
    [[nodiscard]] DialogAnswer Show(std::string_view text, std::string_view caption,
                                    DialogIcon icon, DialogButtons buttons) override;
    [[nodiscard]] size_t ChooseFromList(std::string_view title, std::span<const std::string> lines,
                                        std::string_view button) override;
    [[nodiscard]] bool UsesGtk() const { return gtkReady_; }

  private:
    [[nodiscard]] DialogAnswer ShowOnConsole(std::string_view text, std::string_view caption,
                                             DialogIcon icon, DialogButtons buttons);
    [[nodiscard]] static size_t ChooseOnConsole(std::string_view title,
                                                std::span<const std::string> lines);
    bool gtkReady_ = false;
};

}  // namespace kivo
