// The GTK game folder chooser under a virtual X server: a timer inside the dialogs' own loops
// plays the user through the list of recent games, the folder chooser and the warning about a
// folder without a game.

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "gtk_widgets.h"
#include "platform/desktop/gtk_dialogs.h"

namespace kivo {
namespace {

using test::FindListBox;
using test::VisibleDialog;

// One thing the user does once the dialog on screen is the one the step waits for.
struct Step {
    std::function<bool(GtkWidget*)> ready;
    std::function<void(GtkWidget*)> act;
};

struct User {
    std::deque<Step> steps;
    std::vector<std::string> seen;  // the dialogs acted on: their titles, or a box's text
};

gboolean PlayTheUser(gpointer data) {
    User& user = *static_cast<User*>(data);
    GtkWidget* dialog = VisibleDialog();
    if (dialog == nullptr || user.steps.empty() || !user.steps.front().ready(dialog)) {
        return user.steps.empty() ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
    }
    const Step step = user.steps.front();
    user.steps.pop_front();
    if (GTK_IS_MESSAGE_DIALOG(dialog)) {
        gchar* text = nullptr;
        g_object_get(dialog, "text", &text, nullptr);
        user.seen.push_back(text != nullptr ? text : "");
        g_free(text);
    } else {
        user.seen.push_back(gtk_window_get_title(GTK_WINDOW(dialog)));
    }
    step.act(dialog);
    return user.steps.empty() ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
}

bool IsFolderChooser(GtkWidget* dialog) {
    return GTK_IS_FILE_CHOOSER(dialog) != FALSE;
}

bool IsMessageBox(GtkWidget* dialog) {
    return GTK_IS_MESSAGE_DIALOG(dialog) != FALSE;
}

bool IsRecentList(GtkWidget* dialog) {
    return !IsFolderChooser(dialog) && !IsMessageBox(dialog) && FindListBox(dialog) != nullptr;
}

Step PickRecent(int row) {
    return {IsRecentList, [row](GtkWidget* dialog) {
                GtkListBox* list = GTK_LIST_BOX(FindListBox(dialog));
                gtk_list_box_select_row(list, gtk_list_box_get_row_at_index(list, row));
                gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
            }};
}

Step Respond(std::function<bool(GtkWidget*)> ready, gint response) {
    return {std::move(ready),
            [response](GtkWidget* dialog) { gtk_dialog_response(GTK_DIALOG(dialog), response); }};
}

// Opens folder in the chooser, then, once the chooser shows it, takes it.
void ChooseFolder(User& user, const std::filesystem::path& folder) {
    user.steps.push_back({IsFolderChooser, [folder](GtkWidget* dialog) {
                              (void)gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog),
                                                                        folder.c_str());
                          }});
    user.steps.push_back(
        {[folder](GtkWidget* dialog) {
             if (!GTK_IS_FILE_CHOOSER(dialog)) return false;
             gchar* shown = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(dialog));
             const bool there = shown != nullptr && folder == shown;
             g_free(shown);
             return there;
         },
         [](GtkWidget* dialog) { gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT); }});
}

class GtkFolderChooser : public testing::Test {
  protected:
    void SetUp() override {
        if (!dialogs_.UsesGtk()) GTEST_SKIP() << "no display for GTK";
        root_ = std::filesystem::temp_directory_path() /
                ("kivo-gtk-chooser-" + std::to_string(getpid()));
        std::filesystem::remove_all(root_);
        for (const char* game : {"first", "second"}) {
            std::filesystem::create_directories(root_ / game);
            std::ofstream(root_ / game / "kivo.kpb") << "project";
        }
        std::filesystem::create_directories(root_ / "empty");
        request_.title = "ゲームを開く";
        request_.holdsGame = [](const std::filesystem::path& folder) {
            return std::filesystem::exists(folder / "kivo.kpb");
        };
    }
    void TearDown() override {
        if (!root_.empty()) std::filesystem::remove_all(root_);
    }

    FolderChoice Choose(User& user) {
        const guint timer = g_timeout_add(20, PlayTheUser, &user);
        FolderChoice choice = dialogs_.ChooseGameFolder(request_);
        if (!user.steps.empty()) g_source_remove(timer);
        return choice;
    }

    GtkDialogs dialogs_;
    std::filesystem::path root_;
    GameFolderRequest request_;
};

TEST_F(GtkFolderChooser, OpensARecentGame) {
    request_.recent = {root_ / "first", root_ / "second"};
    User user;
    user.steps.push_back(PickRecent(1));
    const FolderChoice choice = Choose(user);
    EXPECT_EQ(choice.status, FolderChoiceStatus::Chosen);
    EXPECT_EQ(choice.folder, root_ / "second");
    EXPECT_EQ(user.seen, std::vector<std::string>{"ゲームを開く"});
}

TEST_F(GtkFolderChooser, RefusesAFolderWithoutAGameAndAsksAgainUntilCancelled) {
    request_.recent = {root_ / "first"};
    User user;
    user.steps.push_back(Respond(IsRecentList, 1));  // another folder
    ChooseFolder(user, root_ / "empty");
    user.steps.push_back(Respond(IsMessageBox, GTK_RESPONSE_OK));
    user.steps.push_back(Respond(IsRecentList, GTK_RESPONSE_CANCEL));
    const FolderChoice choice = Choose(user);
    EXPECT_EQ(choice.status, FolderChoiceStatus::Cancelled);
    EXPECT_TRUE(user.steps.empty());
    ASSERT_EQ(user.seen.size(), 5u);
    EXPECT_NE(user.seen[3].find((root_ / "empty").string()), std::string::npos) << user.seen[3];
}

TEST_F(GtkFolderChooser, WithoutRecentGamesGoesStraightToTheFolderChooser) {
    User user;
    ChooseFolder(user, root_ / "second");
    const FolderChoice choice = Choose(user);
    EXPECT_EQ(choice.status, FolderChoiceStatus::Chosen);
    EXPECT_EQ(choice.folder, root_ / "second");
}

}  // namespace
}  // namespace kivo
