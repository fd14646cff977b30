#pragma once
// What the GTK dialog tests look for on screen: the dialog being shown and the list in it.

#include <gtk/gtk.h>

namespace kivo::test {

// The first list box inside widget, or null.
inline GtkWidget* FindListBox(GtkWidget* widget) {
    if (GTK_IS_LIST_BOX(widget)) return widget;
    if (!GTK_IS_CONTAINER(widget)) return nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    GtkWidget* found = nullptr;
    for (GList* child = children; child != nullptr && found == nullptr; child = child->next)
        found = FindListBox(GTK_WIDGET(child->data));
    g_list_free(children);
    return found;
}

// The dialog on screen, or null while none is mapped yet.
inline GtkWidget* VisibleDialog() {
    GList* windows = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* window = windows; window != nullptr && found == nullptr; window = window->next) {
        GtkWidget* widget = GTK_WIDGET(window->data);
        if (GTK_IS_DIALOG(widget) && gtk_widget_get_mapped(widget)) found = widget;
    }
    g_list_free(windows);
    return found;
}

}  // namespace kivo::test
