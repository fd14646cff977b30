#include "platform/desktop/gtk_dialogs.h"

#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace kivo {

namespace {

GtkMessageType MessageType(DialogIcon icon) {
    switch (icon) {
        case DialogIcon::Warning:
            return GTK_MESSAGE_WARNING;
        case DialogIcon::Information:
            return GTK_MESSAGE_INFO;
        case DialogIcon::Question:
            return GTK_MESSAGE_QUESTION;
        case DialogIcon::Error:
            return GTK_MESSAGE_ERROR;
    }
    return GTK_MESSAGE_WARNING;
}

GtkButtonsType ButtonsType(DialogButtons buttons) {
    switch (buttons) {
        case DialogButtons::Ok:
            return GTK_BUTTONS_OK;
        case DialogButtons::OkCancel:
            return GTK_BUTTONS_OK_CANCEL;
        case DialogButtons::YesNo:
            return GTK_BUTTONS_YES_NO;
    }
    return GTK_BUTTONS_OK;
}

// Lets GTK finish what the dialog left behind (unmapping, destroying) before we go on.
void DrainGtkEvents() {
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

}  // namespace

GtkDialogs::GtkDialogs() {
    gtkReady_ = gtk_init_check(nullptr, nullptr) != FALSE;
}

DialogAnswer GtkDialogs::Show(std::string_view text, std::string_view caption, DialogIcon icon,
                              DialogButtons buttons) {
    if (!gtkReady_) return ShowOnConsole(text, caption, icon, buttons);
    const std::string message(text);
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, MessageType(icon),
                                               ButtonsType(buttons), "%s", message.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), std::string(caption).c_str());
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    DrainGtkEvents();
    switch (response) {
        case GTK_RESPONSE_OK:
            return DialogAnswer::Ok;
        case GTK_RESPONSE_YES:
            return DialogAnswer::Yes;
        case GTK_RESPONSE_NO:
            return DialogAnswer::No;
        case GTK_RESPONSE_CANCEL:
            return DialogAnswer::Cancel;
        default:
            // Closed without a button.
            return FitAnswer(DialogAnswer::Cancel, buttons);
    }
}

DialogAnswer GtkDialogs::ShowOnConsole(std::string_view text, std::string_view caption,
                                       DialogIcon icon, DialogButtons buttons) {
    std::cerr << '[' << DialogIconName(icon) << "] " << caption << ": " << text << '\n';
    if (isatty(STDIN_FILENO) == 0 || buttons == DialogButtons::Ok) return DefaultAnswer(buttons);
    std::cerr << (buttons == DialogButtons::YesNo ? "(y/n) " : "(ok/cancel) ") << std::flush;
    std::string reply;
    if (!std::getline(std::cin, reply)) return DefaultAnswer(buttons);
    const bool affirmative = !reply.empty() && (reply[0] == 'y' || reply[0] == 'Y' ||
                                                reply[0] == 'o' || reply[0] == 'O');
    return FitAnswer(affirmative ? DialogAnswer::Ok : DialogAnswer::Cancel, buttons);
}

}  // namespace kivo
