// The GTK sound settings dialog of "/config", run under a virtual X server: a timer inside the
// dialog's own loop plays the user, reading the controls, clicking, typing keys and answering.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

#include "gtk_widgets.h"
#include "platform/desktop/gtk_dialogs.h"

namespace kivo {
namespace {

using test::VisibleDialog;

// The dialog's widgets, found by kind and caption.
struct SettingsDialog {
    GtkWidget* window = nullptr;
    GtkWidget* check = nullptr;
    GtkWidget* delayLabel = nullptr;
    GtkWidget* delayValue = nullptr;
    GtkWidget* track = nullptr;
    GtkWidget* ok = nullptr;
    GtkWidget* cancel = nullptr;
};

void CollectWidgets(GtkWidget* widget, SettingsDialog& d) {
    if (GTK_IS_CHECK_BUTTON(widget)) {
        d.check = widget;
    } else if (GTK_IS_BUTTON(widget)) {
        const char* label = gtk_button_get_label(GTK_BUTTON(widget));
        const std::string text = label != nullptr ? label : "";
        if (text == "OK") d.ok = widget;
        if (text == "キャンセル") d.cancel = widget;
        return;
    } else if (GTK_IS_SCALE(widget)) {
        d.track = widget;
    } else if (GTK_IS_LABEL(widget) && d.check != nullptr &&
               gtk_widget_is_ancestor(widget, d.check)) {
        return;  // the check box's own caption
    } else if (GTK_IS_LABEL(widget)) {
        if (gtk_label_get_use_underline(GTK_LABEL(widget))) {
            d.delayLabel = widget;
        } else {
            d.delayValue = widget;
        }
    }
    if (!GTK_IS_CONTAINER(widget)) return;
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* child = children; child != nullptr; child = child->next)
        CollectWidgets(GTK_WIDGET(child->data), d);
    g_list_free(children);
}

// Sends a key press to the dialog as the X server would.
void PressKey(GtkWidget* window, guint keyval, GdkModifierType state = GdkModifierType(0)) {
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.keyval = keyval;
    event->key.state = state;
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()),
                                          keyval, &keys, &count) &&
        count > 0) {
        event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
    }
    g_free(keys);
    gdk_event_set_device(
        event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    gtk_main_do_event(event);
    gdk_event_free(event);
}

// Runs the main loop until done() holds or a second passed; a button answers an access key
// only after showing itself pressed for a moment.
bool WaitFor(const std::function<bool()>& done) {
    const gint64 until = g_get_monotonic_time() + G_USEC_PER_SEC;
    while (!done() && g_get_monotonic_time() < until)
        g_main_context_iteration(nullptr, FALSE);
    return done();
}

bool Sensitive(GtkWidget* widget) {
    return gtk_widget_get_sensitive(widget) != FALSE;
}

std::string LabelText(GtkWidget* label) {
    return gtk_label_get_text(GTK_LABEL(label));
}

// What the user does once the dialog is on screen; it may record what it saw.
struct User {
    std::function<void(const SettingsDialog&)> act;
    bool acted = false;
};

gboolean PlayTheUser(gpointer data) {
    User& user = *static_cast<User*>(data);
    GtkWidget* window = VisibleDialog();
    if (window == nullptr) return G_SOURCE_CONTINUE;  // not on screen yet
    SettingsDialog d;
    d.window = window;
    CollectWidgets(window, d);
    // Tab moves focus by the widgets' places: a loaded machine may show the dialog a frame
    // before it has laid them out.
    if (d.ok == nullptr || gtk_widget_get_allocated_width(d.ok) <= 1) return G_SOURCE_CONTINUE;
    user.act(d);
    user.acted = true;
    return G_SOURCE_REMOVE;
}

class GtkSoundSettings : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!dialogs_.UsesGtk()) GTEST_SKIP() << "no display for GTK";
    }
    // Shows the dialog over controls with the user acting in it; the dialog's answer.
    bool Run(SoundSettingsControls& controls, std::function<void(const SettingsDialog&)> act) {
        User user{std::move(act)};
        const guint timer = g_timeout_add(20, PlayTheUser, &user);
        const bool ok = dialogs_.EditSoundSettings(controls);
        if (!user.acted) g_source_remove(timer);
        EXPECT_TRUE(user.acted);
        return ok;
    }

    GtkDialogs dialogs_;
};

TEST_F(GtkSoundSettings, ShowsTheSettingsAndEnablesTheDelayOnlyWithoutDirectSound) {
    SoundSettingsControls controls{true, 3};
    struct Seen {
        std::string title, check, delayLabel, delayValue, afterSlide;
        bool checked = false;
        double position = 0;
        bool mnemonicIsTrack = false;
        std::vector<bool> enabledBefore, enabledUnchecked, enabledChecked;
    } seen;
    const auto enabled = [](const SettingsDialog& d) {
        return std::vector<bool>{Sensitive(d.delayLabel), Sensitive(d.track),
                                 Sensitive(d.delayValue)};
    };
    const bool ok = Run(controls, [&](const SettingsDialog& d) {
        ASSERT_TRUE(d.check && d.delayLabel && d.delayValue && d.track && d.ok && d.cancel);
        seen.title = gtk_window_get_title(GTK_WINDOW(d.window));
        seen.check = gtk_button_get_label(GTK_BUTTON(d.check));
        seen.delayLabel = gtk_label_get_label(GTK_LABEL(d.delayLabel));
        seen.delayValue = LabelText(d.delayValue);
        seen.checked = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(d.check)) != FALSE;
        seen.position = gtk_range_get_value(GTK_RANGE(d.track));
        seen.mnemonicIsTrack = gtk_label_get_mnemonic_widget(GTK_LABEL(d.delayLabel)) == d.track;
        seen.enabledBefore = enabled(d);
        gtk_button_clicked(GTK_BUTTON(d.check));
        seen.enabledUnchecked = enabled(d);
        // The track bar stops on whole positions and the value label follows.
        gtk_range_set_value(GTK_RANGE(d.track), 1.4);
        seen.afterSlide = LabelText(d.delayValue);
        gtk_button_clicked(GTK_BUTTON(d.check));
        seen.enabledChecked = enabled(d);
        gtk_button_clicked(GTK_BUTTON(d.cancel));
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(seen.title, "動作設定");
    EXPECT_EQ(seen.check, "DirectSoundを使用する(_S)");
    EXPECT_EQ(seen.delayLabel, "サウンドの遅延時間(_D)：");
    EXPECT_EQ(seen.delayValue, "300ms");
    EXPECT_TRUE(seen.checked);
    EXPECT_EQ(seen.position, 3);
    EXPECT_TRUE(seen.mnemonicIsTrack);
    EXPECT_EQ(seen.enabledBefore, (std::vector<bool>{false, false, false}));
    EXPECT_EQ(seen.enabledUnchecked, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(seen.afterSlide, "100ms");
    EXPECT_EQ(seen.enabledChecked, (std::vector<bool>{false, false, false}));
    // Cancel keeps what was read, whatever the controls showed.
    EXPECT_TRUE(controls.directSound);
    EXPECT_EQ(controls.delayPosition, 3);
}

TEST_F(GtkSoundSettings, TabGoesCheckBoxOkCancelTrackBarAndAccessKeysReachTheirControls) {
    SoundSettingsControls controls{false, 2};
    std::vector<GtkWidget*> order, expected;
    bool checkAfterAltS = false;
    bool uncheckedAgain = false;
    GtkWidget* focusAfterAltD = nullptr;
    GtkWidget* track = nullptr;
    const bool ok = Run(controls, [&](const SettingsDialog& d) {
        expected = {d.check, d.ok, d.cancel, d.track, d.check};
        track = d.track;
        order.push_back(gtk_window_get_focus(GTK_WINDOW(d.window)));
        for (int i = 0; i < 4; ++i) {
            g_signal_emit_by_name(d.window, "move-focus", GTK_DIR_TAB_FORWARD);
            order.push_back(gtk_window_get_focus(GTK_WINDOW(d.window)));
        }
        const auto checked = [&] {
            return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(d.check)) != FALSE;
        };
        PressKey(d.window, GDK_KEY_s, GDK_MOD1_MASK);
        checkAfterAltS = WaitFor(checked);
        PressKey(d.window, GDK_KEY_s, GDK_MOD1_MASK);
        uncheckedAgain = WaitFor([&] { return !checked(); });
        PressKey(d.window, GDK_KEY_d, GDK_MOD1_MASK);
        focusAfterAltD = gtk_window_get_focus(GTK_WINDOW(d.window));
        // The arrow keys move the focused track bar one position; Enter answers OK.
        PressKey(d.window, GDK_KEY_Right);
        PressKey(d.window, GDK_KEY_Return);
    });
    EXPECT_EQ(order, expected);
    EXPECT_TRUE(checkAfterAltS);
    EXPECT_TRUE(uncheckedAgain);
    EXPECT_EQ(focusAfterAltD, track);
    EXPECT_TRUE(ok);
    EXPECT_FALSE(controls.directSound);
    EXPECT_EQ(controls.delayPosition, 3);
}

TEST_F(GtkSoundSettings, OkAndEnterKeepTheControlsWhileEscCancelAndTheCloseBoxDoNot) {
    enum class Answer { OkButton, Enter, CancelButton, Esc, CloseBox };
    const struct {
        Answer answer;
        bool kept;
    } cases[] = {{Answer::OkButton, true},
                 {Answer::Enter, true},
                 {Answer::CancelButton, false},
                 {Answer::Esc, false},
                 {Answer::CloseBox, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        SoundSettingsControls controls{true, 5};
        const bool ok = Run(controls, [&](const SettingsDialog& d) {
            // Uncheck and move the track bar to 2, then answer.
            gtk_button_clicked(GTK_BUTTON(d.check));
            gtk_range_set_value(GTK_RANGE(d.track), 2);
            switch (c.answer) {
                case Answer::OkButton:
                    gtk_button_clicked(GTK_BUTTON(d.ok));
                    break;
                case Answer::Enter:
                    gtk_widget_grab_focus(d.check);
                    PressKey(d.window, GDK_KEY_Return);
                    break;
                case Answer::CancelButton:
                    gtk_button_clicked(GTK_BUTTON(d.cancel));
                    break;
                case Answer::Esc:
                    PressKey(d.window, GDK_KEY_Escape);
                    break;
                case Answer::CloseBox: {
                    GdkEvent* event = gdk_event_new(GDK_DELETE);
                    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(d.window)));
                    event->any.send_event = TRUE;
                    gtk_main_do_event(event);
                    gdk_event_free(event);
                    break;
                }
            }
        });
        EXPECT_EQ(ok, c.kept);
        EXPECT_EQ(controls.directSound, !c.kept);
        EXPECT_EQ(controls.delayPosition, c.kept ? 2 : 5);
    }
}

}  // namespace
}  // namespace kivo
