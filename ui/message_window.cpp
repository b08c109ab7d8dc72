// A plain message window: a title, a text and one button that closes it.
#include "message_window.h"

extern "C" GtkWidget *korva_message_window(const char *title, const char *text, const char *button_text,
                                           gboolean modal, GCallback button_action, gpointer action_data)
{
    GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), title != nullptr ? title : "");
    gtk_window_set_modal(GTK_WINDOW(window), modal);
    gtk_container_set_border_width(GTK_CONTAINER(window), 10);

    GtkWidget *vbox = gtk_vbox_new(FALSE, 10);
    gtk_container_add(GTK_CONTAINER(window), vbox);

    GtkWidget *label = gtk_label_new(text != nullptr ? text : "");
    gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_LEFT);
    gtk_box_pack_start(GTK_BOX(vbox), label, TRUE, TRUE, 0);

    GtkWidget *buttons = gtk_hbutton_box_new();
    gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
    gtk_box_pack_start(GTK_BOX(vbox), buttons, FALSE, FALSE, 0);

    GtkWidget *button = gtk_button_new_with_label(button_text != nullptr ? button_text : "");
    gtk_container_add(GTK_CONTAINER(buttons), button);
    GTK_WIDGET_SET_FLAGS(button, GTK_CAN_DEFAULT);
    gtk_widget_grab_default(button);

    // The caller's action runs before the window goes away: handlers of one
    // signal run in the order they were connected.
    if (button_action != nullptr)
        g_signal_connect(button, "clicked", button_action, action_data);
    g_signal_connect_swapped(button, "clicked", G_CALLBACK(gtk_widget_destroy), window);

    gtk_widget_show_all(window);
    return window;
}
