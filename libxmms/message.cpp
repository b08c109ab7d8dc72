// The player's message window: the window's own plain message window.
#include "libxmms/xmms_util.h"

#include "ui/message_window.h"

extern "C" GtkWidget *xmms_show_message(const char *title, const char *text, const char *button_text,
                                        gboolean modal, GCallback button_action, gpointer action_data)
{
    return korva_message_window(title, text, button_text, modal, button_action, action_data);
}
