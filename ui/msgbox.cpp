// The one message window of the window, and the about box that uses it.

#include "dialogs.h"

#include "model_access.h"

extern "C" {

GtkWidget *msg_box_window = nullptr;

void msg_box(const char *title, const char *text)
{
    if (msg_box_window)
        gtk_widget_destroy(msg_box_window);  // clears msg_box_window
    msg_box_window = korva_ui::message_window(title ? title : "", text ? text : "");
    if (!msg_box_window)
        return;
    gtk_widget_hide(msg_box_window);
    gtk_window_set_position(GTK_WINDOW(msg_box_window), GTK_WIN_POS_CENTER);
    gtk_widget_show(msg_box_window);
    g_signal_connect(msg_box_window, "destroy", G_CALLBACK(gtk_widget_destroyed), &msg_box_window);
}

void do_about(void)
{
    msg_box("About Korva", "Korva for XMMS version 5.5.1");
}

}  // extern "C"
