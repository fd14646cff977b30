#pragma once
// Message dialogs of the desktop player: GTK 3 message boxes with the caller's caption, icon
// and buttons. When GTK cannot open a display the same questions go to the console: the text
// on stderr and, when stdin is a terminal, the answer read from it (otherwise OK/Yes).

#include "platform/dialogs.h"

namespace kivo {

class GtkDialogs final : public MessageDialogs {
  public:
    // Tries to open GTK once; the outcome holds for the whole run.
    GtkDialogs();
    [[nodiscard]] DialogAnswer Show(std::string_view text, std::string_view caption,
                                    DialogIcon icon, DialogButtons buttons) override;
    [[nodiscard]] bool UsesGtk() const { return gtkReady_; }

  private:
    [[nodiscard]] DialogAnswer ShowOnConsole(std::string_view text, std::string_view caption,
                                             DialogIcon icon, DialogButtons buttons);
    bool gtkReady_ = false;
};

}  // namespace kivo
