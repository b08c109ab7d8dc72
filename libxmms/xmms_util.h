/* The player's message window, as the plug-in uses it. */
#ifndef KORVA_LIBXMMS_XMMS_UTIL_H
#define KORVA_LIBXMMS_XMMS_UTIL_H

#include <gtk/gtk.h>

#ifdef __cplusplus
extern "C" {
#endif

/*
 * A new top-level message window with the title, the text and one button of
 * the given label that closes it; button_action (if any) is connected to the
 * button's "clicked" with action_data.
 */
GtkWidget *xmms_show_message(const char *title, const char *text, const char *button_text,
                             gboolean modal, GCallback button_action, gpointer action_data);

#ifdef __cplusplus
}
#endif

#endif
