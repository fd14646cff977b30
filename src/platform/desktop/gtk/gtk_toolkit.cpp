#include "platform/desktop/gtk/gtk_toolkit.h"

#include <gtk/gtk.h>

#include <clocale>
#include <filesystem>
#include <string>
#include <vector>

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

// The widgets of the sound settings dialog that its handlers reach.
struct SoundSettingsWidgets {
    GtkWidget* dialog = nullptr;
    GtkWidget* check = nullptr;
    GtkWidget* delayLabel = nullptr;
    GtkWidget* delayValue = nullptr;
    GtkWidget* track = nullptr;
    GtkWidget* ok = nullptr;
    GtkWidget* cancel = nullptr;
};

// The delay controls serve only the player's own wave output, so they are enabled exactly
// when DirectSound is not used.
void ApplyCheckRule(GtkToggleButton* check, gpointer data) {
    auto* w = static_cast<SoundSettingsWidgets*>(data);
    const gboolean enabled = gtk_toggle_button_get_active(check) ? FALSE : TRUE;
    gtk_widget_set_sensitive(w->delayLabel, enabled);
    gtk_widget_set_sensitive(w->track, enabled);
    gtk_widget_set_sensitive(w->delayValue, enabled);
}

// The track bar stops on whole positions only, and the value label follows it.
void ShowDelay(GtkRange* range, gpointer data) {
    auto* w = static_cast<SoundSettingsWidgets*>(data);
    const double value = gtk_range_get_value(range);
    const double whole = static_cast<double>(static_cast<int>(value + 0.5));
    if (whole != value) {
        gtk_range_set_value(range, whole);
        return;  // called again with the whole value
    }
    const std::string text = std::to_string(static_cast<int>(whole) * 100) + "ms";
    gtk_label_set_text(GTK_LABEL(w->delayValue), text.c_str());
}

void RespondOk(GtkButton* /*button*/, gpointer dialog) {
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
}

void RespondCancel(GtkButton* /*button*/, gpointer dialog) {
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
}

// Enter closes the dialog with OK from any control but the Cancel button, as a dialog's
// default button does (GTK would toggle a focused check box instead).
gboolean EnterMeansOk(GtkWidget* dialog, GdkEventKey* event, gpointer data) {
    auto* w = static_cast<SoundSettingsWidgets*>(data);
    if (event->keyval != GDK_KEY_Return && event->keyval != GDK_KEY_KP_Enter) return FALSE;
    if (gtk_window_get_focus(GTK_WINDOW(dialog)) == w->cancel) return FALSE;
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    return TRUE;
}

GtkWidget* PlaceAt(GtkWidget* fixed, GtkWidget* widget, int x, int y, int width = -1,
                   int height = -1) {
    gtk_widget_set_size_request(widget, width, height);
    gtk_fixed_put(GTK_FIXED(fixed), widget, x, y);
    return widget;
}

constexpr gint kOtherFolderResponse = 1;

// A host name as GTK may show it: UTF-8 even when the name on disk is not.
std::string DisplayName(const std::filesystem::path& path) {
    gchar* shown = g_filename_display_name(path.c_str());
    std::string text = shown != nullptr ? shown : "";
    g_free(shown);
    return text;
}

// A recent game as its list shows it: the folder's name, then where it is.
std::string RecentGameLine(const std::filesystem::path& folder) {
    return DisplayName(folder.filename()) + "  —  " + DisplayName(folder);
}

// The recent games to open one of; kOtherFolderResponse asks for the folder chooser.
gint AskRecentGame(const GameFolderRequest& request, size_t& index) {
    GtkWidget* dialog = gtk_dialog_new_with_buttons(
        request.title.c_str(), nullptr, GTK_DIALOG_MODAL, "キャンセル(_C)", GTK_RESPONSE_CANCEL,
        "ほかのフォルダ(_F)…", kOtherFolderResponse, "開く(_O)", GTK_RESPONSE_OK, nullptr);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    std::vector<std::string> lines;
    for (const std::filesystem::path& folder : request.recent)
        lines.push_back(RecentGameLine(folder));
    GtkWidget* list = MakeChoiceList(lines);
    g_signal_connect(list, "row-activated", G_CALLBACK(AnswerOnRowActivated), dialog);
    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    GtkWidget* caption = gtk_label_new("最近のゲーム");
    gtk_label_set_xalign(GTK_LABEL(caption), 0.0F);
    gtk_widget_set_margin_start(caption, 8);
    gtk_widget_set_margin_top(caption, 8);
    gtk_box_pack_start(GTK_BOX(content), caption, FALSE, FALSE, 4);
    gtk_box_pack_start(GTK_BOX(content), ScrollingUpTo(list, 320), TRUE, TRUE, 0);
    gtk_widget_show_all(dialog);
    const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    GtkListBoxRow* row = gtk_list_box_get_selected_row(GTK_LIST_BOX(list));
    const gint selected = row != nullptr ? gtk_list_box_row_get_index(row) : 0;
    index = selected > 0 && static_cast<size_t>(selected) < request.recent.size()
                ? static_cast<size_t>(selected)
                : 0;
    gtk_widget_destroy(dialog);
    DrainGtkEvents();
    return response;
}

// GTK's folder chooser, starting beside the newest recent game; empty when cancelled.
std::filesystem::path AskGameFolder(const GameFolderRequest& request) {
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        request.title.c_str(), nullptr, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "キャンセル(_C)",
        GTK_RESPONSE_CANCEL, "選択(_S)", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    for (const std::filesystem::path& folder : request.recent)
        (void)gtk_file_chooser_add_shortcut_folder(chooser, folder.c_str(), nullptr);
    if (!request.recent.empty()) {
        (void)gtk_file_chooser_set_current_folder(chooser,
                                                  request.recent.front().parent_path().c_str());
    }
    std::filesystem::path folder;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* name = gtk_file_chooser_get_filename(chooser)) {
            folder = name;
            g_free(name);
        }
    }
    gtk_widget_destroy(dialog);
    DrainGtkEvents();
    return folder;
}

// A closed dialog answers nothing: the caller fits that to the buttons shown.
std::optional<DialogAnswer> Show(std::string_view text, std::string_view caption, DialogIcon icon,
                                 DialogButtons buttons) {
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
            return std::nullopt;
    }
}

size_t ChooseFromList(std::string_view title, std::span<const std::string> lines,
                      std::string_view button) {
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

// One pass of the chooser: the folder picked, which may still not hold a game.
FolderChoice PickFolder(const GameFolderRequest& request) {
    if (!request.recent.empty()) {
        size_t index = 0;
        const gint response = AskRecentGame(request, index);
        if (response == GTK_RESPONSE_OK) {
            return FolderChoice{FolderChoiceStatus::Chosen, request.recent[index]};
        }
        if (response != kOtherFolderResponse)
            return FolderChoice{FolderChoiceStatus::Cancelled, {}};
    }
    std::filesystem::path folder = AskGameFolder(request);
    if (folder.empty()) return FolderChoice{FolderChoiceStatus::Cancelled, {}};
    return FolderChoice{FolderChoiceStatus::Chosen, std::move(folder)};
}

FolderChoice ChooseGameFolder(const GameFolderRequest& request) {
    for (;;) {
        FolderChoice choice = PickFolder(request);
        if (choice.status != FolderChoiceStatus::Chosen) return choice;
        if (request.holdsGame && request.holdsGame(choice.folder)) return choice;
        (void)Show(NotAGameText(DisplayName(choice.folder)), request.title, DialogIcon::Warning,
                   DialogButtons::Ok);
    }
}

bool EditSoundSettings(SoundSettingsControls& controls) {
    SoundSettingsWidgets w;
    w.dialog = gtk_dialog_new();
    GtkWindow* window = GTK_WINDOW(w.dialog);
    gtk_window_set_title(window, "動作設定");
    gtk_window_set_modal(window, TRUE);
    gtk_window_set_resizable(window, FALSE);
    gtk_window_set_position(window, GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(window, TRUE);

    // The controls stand where the settings dialog always had them, in a 270 x 179 client.
    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, 270, 179);
    PlaceAt(fixed, gtk_frame_new(nullptr), 8, 8, 253, 113);
    w.check = PlaceAt(fixed, gtk_check_button_new_with_mnemonic("DirectSoundを使用する(_S)"), 28,
                      24, 217, 17);
    w.delayLabel = PlaceAt(fixed, gtk_label_new_with_mnemonic("サウンドの遅延時間(_D)："), 28, 56);
    w.delayValue = gtk_label_new("");
    gtk_label_set_xalign(GTK_LABEL(w.delayValue), 1.0F);
    PlaceAt(fixed, w.delayValue, 161, 56, 80);
    w.track = gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, 1, 5, 1);
    gtk_scale_set_draw_value(GTK_SCALE(w.track), FALSE);
    gtk_range_set_increments(GTK_RANGE(w.track), 1, 1);
    for (int mark = 1; mark <= 5; ++mark)
        gtk_scale_add_mark(GTK_SCALE(w.track), mark, GTK_POS_BOTTOM, nullptr);
    PlaceAt(fixed, w.track, 28, 72, 221, 25);
    gtk_label_set_mnemonic_widget(GTK_LABEL(w.delayLabel), w.track);
    w.ok = PlaceAt(fixed, gtk_button_new_with_label("OK"), 100, 140, 75, 25);
    w.cancel = PlaceAt(fixed, gtk_button_new_with_label("キャンセル"), 180, 140, 75, 25);
    gtk_widget_set_can_default(w.ok, TRUE);
    // Tab goes from the check box to the buttons and then to the track bar.
    GList* chain = nullptr;
    for (GtkWidget* widget : {w.check, w.ok, w.cancel, w.track})
        chain = g_list_append(chain, widget);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_container_set_focus_chain(GTK_CONTAINER(fixed), chain);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_list_free(chain);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(w.dialog))), fixed, FALSE,
                       FALSE, 0);

    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.check), controls.directSound);
    gtk_range_set_value(GTK_RANGE(w.track), controls.delayPosition);
    ApplyCheckRule(GTK_TOGGLE_BUTTON(w.check), &w);
    ShowDelay(GTK_RANGE(w.track), &w);
    g_signal_connect(w.check, "toggled", G_CALLBACK(ApplyCheckRule), &w);
    g_signal_connect(w.track, "value-changed", G_CALLBACK(ShowDelay), &w);
    g_signal_connect(w.ok, "clicked", G_CALLBACK(RespondOk), w.dialog);
    g_signal_connect(w.cancel, "clicked", G_CALLBACK(RespondCancel), w.dialog);
    g_signal_connect(w.dialog, "key-press-event", G_CALLBACK(EnterMeansOk), &w);

    gtk_widget_show_all(w.dialog);
    gtk_widget_grab_default(w.ok);
    gtk_widget_grab_focus(w.check);
    // Esc and the close box answer something other than OK: nothing is kept.
    const bool ok = gtk_dialog_run(GTK_DIALOG(w.dialog)) == GTK_RESPONSE_OK;
    if (ok) {
        controls.directSound = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.check)) != FALSE;
        controls.delayPosition =
            static_cast<int32_t>(gtk_range_get_value(GTK_RANGE(w.track)) + 0.5);
    }
    gtk_widget_destroy(w.dialog);
    DrainGtkEvents();
    return ok;
}

// Opens GTK on a display; false when there is none.
bool OpenToolkit() {
    // GTK would switch every locale category to the user's; numbers the player writes
    // (dumps, traces) keep the C form whenever the first dialog comes. Another dialog
    // service (the game folder chooser's) may have opened GTK already.
    if (gdk_display_get_default() == nullptr) {
        gtk_disable_setlocale();
        std::setlocale(LC_ALL, "");
        std::setlocale(LC_NUMERIC, "C");
    }
    return gtk_init_check(nullptr, nullptr) != FALSE;
}

}  // namespace

}  // namespace kivo

const kivo::GtkDialogTable* kivo_gtk_dialogs() {
    static const kivo::GtkDialogTable table{
        kivo::kGtkModuleVersion, kivo::OpenToolkit,      kivo::Show,
        kivo::ChooseFromList,    kivo::ChooseGameFolder, kivo::EditSoundSettings};
    return &table;
}
