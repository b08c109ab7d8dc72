/* A plain message window: a title, a text and one button that closes it. */
#ifndef KORVA_UI_MESSAGE_WINDOW_H
#define KORVA_UI_MESSAGE_WINDOW_H

#include <gtk/gtk.h>

#ifdef __cplusplus
extern "C" {
#endif

/*
 * A new top-level window, shown, with the title, the text and one button of
 * the given label that closes it; button_action (if any) is connected to the
 * button's "clicked" with action_data and runs before the window goes away.
 * Null strings count as empty.
 */
GtkWidget *korva_message_window(const char *title, const char *text, const char *button_text, gboolean modal,
                                GCallback button_action, gpointer action_data);

#ifdef __cplusplus
}
#endif

#endif
