#include "platform/desktop/gtk_dialogs.h"

#include <gtk/gtk.h>
#include <unistd.h>

#include <charconv>
#include <clocale>
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

// Activating a row (double click, Return) chooses it, as the button would.
void AnswerOnRowActivated(GtkListBox* /*list*/, GtkListBoxRow* /*row*/, gpointer dialog) {
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
}

// A list box of the lines with the first selected.
GtkWidget* MakeChoiceList(std::span<const std::string> lines) {
    GtkWidget* list = gtk_list_box_new();
    gtk_list_box_set_selection_mode(GTK_LIST_BOX(list), GTK_SELECTION_BROWSE);
    for (const std::string& line : lines) {
        GtkWidget* label = gtk_label_new(line.c_str());
        gtk_label_set_xalign(GTK_LABEL(label), 0.0F);
        gtk_widget_set_margin_start(label, 8);
        gtk_widget_set_margin_end(label, 8);
        gtk_widget_set_margin_top(label, 2);
        gtk_widget_set_margin_bottom(label, 2);
        gtk_container_add(GTK_CONTAINER(list), label);
    }
    gtk_list_box_select_row(GTK_LIST_BOX(list),
                            gtk_list_box_get_row_at_index(GTK_LIST_BOX(list), 0));
    return list;
}

// A scroller that grows with its content up to a height that still fits small screens.
GtkWidget* ScrollingUpTo(GtkWidget* content, gint maxHeight) {
    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_NEVER,
                                   GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_propagate_natural_height(GTK_SCROLLED_WINDOW(scroller), TRUE);
    gtk_scrolled_window_set_max_content_height(GTK_SCROLLED_WINDOW(scroller), maxHeight);
    gtk_container_add(GTK_CONTAINER(scroller), content);
    return scroller;
}

}  // namespace

bool GtkDialogs::UsesGtk() {
    if (!gtkTried_) {
        gtkTried_ = true;
        // GTK would switch every locale category to the user's; numbers the player writes
        // (dumps, traces) keep the C form whenever the first dialog comes.
        gtk_disable_setlocale();
        std::setlocale(LC_ALL, "");
        std::setlocale(LC_NUMERIC, "C");
        gtkReady_ = gtk_init_check(nullptr, nullptr) != FALSE;
    }
    return gtkReady_;
}

bool GtkDialogs::Unattended() {
    return !UsesGtk() && isatty(STDIN_FILENO) == 0;
}

DialogAnswer GtkDialogs::Show(std::string_view text, std::string_view caption, DialogIcon icon,
                              DialogButtons buttons) {
    if (!UsesGtk()) return ShowOnConsole(text, caption, icon, buttons);
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

size_t GtkDialogs::ChooseFromList(std::string_view title, std::span<const std::string> lines,
                                  std::string_view button) {
    if (lines.empty()) return 0;
    if (!UsesGtk()) return ChooseOnConsole(title, lines);
    GtkWidget* dialog =
        gtk_dialog_new_with_buttons(std::string(title).c_str(), nullptr, GTK_DIALOG_MODAL,
                                    std::string(button).c_str(), GTK_RESPONSE_OK, nullptr);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    GtkWidget* list = MakeChoiceList(lines);
    g_signal_connect(list, "row-activated", G_CALLBACK(AnswerOnRowActivated), dialog);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))),
                       ScrollingUpTo(list, 320), TRUE, TRUE, 0);
    gtk_widget_show_all(dialog);
    const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    size_t choice = 0;
    if (response == GTK_RESPONSE_OK) {
        GtkListBoxRow* row = gtk_list_box_get_selected_row(GTK_LIST_BOX(list));
        const gint index = row != nullptr ? gtk_list_box_row_get_index(row) : -1;
        if (index > 0 && static_cast<size_t>(index) < lines.size()) {
            choice = static_cast<size_t>(index);
        }
    }
    gtk_widget_destroy(dialog);
    DrainGtkEvents();
    return choice;
}

size_t GtkDialogs::ChooseOnConsole(std::string_view title, std::span<const std::string> lines) {
    std::cerr << "[list] " << title << '\n';
    for (size_t i = 0; i < lines.size(); ++i)
        std::cerr << "  " << i << ") " << lines[i] << '\n';
    if (isatty(STDIN_FILENO) == 0) return 0;
    std::cerr << "(0-" << lines.size() - 1 << ") " << std::flush;
    std::string reply;
    if (!std::getline(std::cin, reply)) return 0;
    size_t choice = 0;
    const std::from_chars_result read =
        std::from_chars(reply.data(), reply.data() + reply.size(), choice);
    return read.ec == std::errc() && choice < lines.size() ? choice : 0;
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
