// The one message window of a window, and the about box that uses it.

#include "dialogs.h"
#include "model_access.h"

namespace korva_ui {

void msg_box(Window &w, const char *title, const char *text)
{
    if (w.msg_box_window)
        gtk_widget_destroy(w.msg_box_window);  // clears msg_box_window
    w.msg_box_window = message_window(w, title ? title : "", text ? text : "");
    if (!w.msg_box_window)
        return;
    gtk_widget_hide(w.msg_box_window);
    gtk_window_set_position(GTK_WINDOW(w.msg_box_window), GTK_WIN_POS_CENTER);
    gtk_widget_show(w.msg_box_window);
    g_signal_connect(w.msg_box_window, "destroy", G_CALLBACK(gtk_widget_destroyed), &w.msg_box_window);
    if (w.msg_box_also) {
        *w.msg_box_also = w.msg_box_window;
        g_signal_connect(w.msg_box_window, "destroy", G_CALLBACK(gtk_widget_destroyed), w.msg_box_also);
    }
}

void do_about(Window &w)
{
    msg_box(w, "About Korva", "Korva for XMMS version 5.5.1");
}

}  // namespace korva_ui
