// The configure and about callbacks: the player's interface thread asks for
// the configuration window or the about box.
#include "adapter.h"
#include "korva_plugin.h"
#include "window_names.h"

#include <gtk/gtk.h>

// An open window is left as it is: neither raised nor rebuilt. Without an
// engine there is nothing for the window to show or change, so none opens.
extern "C" void plugin_configure(void)
{
    if (window1 != nullptr)
        return;
    if (korva == nullptr) {
        g_warning("Korva has no engine; the configuration window is not available.");
        return;
    }
    GtkWidget *window = create_window1();
    if (window == nullptr)
        return;
    window1 = window;
    gui_update();
    gtk_widget_show(window);
}

extern "C" void plugin_about(void)
{
    do_about();
}
