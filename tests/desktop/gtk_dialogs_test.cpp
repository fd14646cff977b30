// The GTK list dialog, run under a virtual X server: a timer inside the dialog's own loop
// plays the user, picking a row and answering.

#include "platform/desktop/gtk_dialogs.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <filesystem>
#include <string>
#include <vector>

#include "gtk_widgets.h"

namespace kivo {
namespace {

using test::FindListBox;
using test::VisibleDialog;

enum class UserAction { PressButton, ActivateRow, CloseWindow };

struct User {
    int row = 0;
    UserAction action = UserAction::PressButton;
    // What the user saw.
    std::string title;
    std::string button;
    int rows = 0;
    bool answered = false;
};

gboolean PlayTheUser(gpointer data) {
    User& user = *static_cast<User*>(data);
    GtkWidget* dialog = VisibleDialog();
    if (dialog == nullptr) return G_SOURCE_CONTINUE;  // not on screen yet
    user.title = gtk_window_get_title(GTK_WINDOW(dialog));
    GtkWidget* ok = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    user.button = ok != nullptr ? gtk_button_get_label(GTK_BUTTON(ok)) : "";
    GtkListBox* list = GTK_LIST_BOX(FindListBox(dialog));
    while (gtk_list_box_get_row_at_index(list, user.rows) != nullptr)
        ++user.rows;
    GtkListBoxRow* row = gtk_list_box_get_row_at_index(list, user.row);
    gtk_list_box_select_row(list, row);
    switch (user.action) {
        case UserAction::PressButton:
            gtk_button_clicked(GTK_BUTTON(ok));
            break;
        case UserAction::ActivateRow:
            g_signal_emit_by_name(list, "row-activated", row);
            break;
        case UserAction::CloseWindow:
            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT);
            break;
    }
    user.answered = true;
    return G_SOURCE_REMOVE;
}

TEST(GtkDialogs, ListReturnsTheChosenRowAndTheFirstWhenClosed) {
    GtkDialogs dialogs;
    if (!dialogs.UsesGtk()) GTEST_SKIP() << "no display for GTK";
    const std::vector<std::string> lines = {"000 : 16 x 16  4 bpp", "001 : 32 x 32  8 bpp",
                                            "002 : 48 x 48  32 bpp"};
    const struct {
        int row;
        UserAction action;
        size_t expected;
    } cases[] = {
        {2, UserAction::PressButton, 2},
        {1, UserAction::ActivateRow, 1},
        {2, UserAction::CloseWindow, 0},
    };
    for (const auto& c : cases) {
        User user;
        user.row = c.row;
        user.action = c.action;
        const guint timer = g_timeout_add(20, PlayTheUser, &user);
        EXPECT_EQ(dialogs.ChooseFromList("Select One from Multiple Icons", lines, "OK"), c.expected)
            << "row " << c.row;
        if (!user.answered) g_source_remove(timer);
        EXPECT_EQ(user.title, "Select One from Multiple Icons");
        EXPECT_EQ(user.button, "OK");
        EXPECT_EQ(user.rows, 3);
    }
}

// Without the dialog module the questions go to the console, after one line that says which
// module is missing and what it was for.
TEST(GtkDialogs, WithoutTheModuleTheConsoleAnswers) {
    GtkDialogs dialogs(std::vector<std::filesystem::path>{"/nonexistent/kivo-modules"});
    testing::internal::CaptureStderr();
    const DialogAnswer answer =
        dialogs.Show("セーブしました", "demo", DialogIcon::Information, DialogButtons::Ok);
    const std::string first = testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, DialogAnswer::Ok);
    EXPECT_FALSE(dialogs.UsesGtk());
    EXPECT_NE(first.find("kivo_gtk.so"), std::string::npos) << first;
    EXPECT_NE(first.find("dialogs"), std::string::npos) << first;
    EXPECT_NE(first.find("demo: セーブしました"), std::string::npos) << first;

    testing::internal::CaptureStderr();
    (void)dialogs.Show("two", "demo", DialogIcon::Information, DialogButtons::Ok);
    const std::string second = testing::internal::GetCapturedStderr();
    EXPECT_EQ(second.find("kivo_gtk.so"), std::string::npos) << second;
}

}  // namespace
}  // namespace kivo
