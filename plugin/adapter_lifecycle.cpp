// Initialise and clean up: the adapter owns the one engine from plugin_init
// to plugin_cleanup. Both run on the player's interface thread.
//
// Without an engine (korva_new failed) the plug-in stays loaded and harmless:
// audio passes through untouched, the settings are neither read nor written
// (so the saved ones survive), and no window is opened.
#include "adapter.h"
#include "korva_plugin.h"
#include "../settings/korva_settings.h"
#include "../ui/korva_ui.h"

#include <gtk/gtk.h>

#include <cstring>

namespace {

bool is_preset_selector(GtkWidget *widget)
{
    const gchar *name = gtk_widget_get_name(widget);
    return name != nullptr && (std::strcmp(name, "fileLoad") == 0 || std::strcmp(name, "fileSave") == 0);
}

// The plug-in's other windows: the about box and any preset selector still
// open. Their callbacks live in this shared object, which the player may
// unload once clean-up returns, so they are closed with the configuration
// window. Only where the toolkit has a display: without one no window exists.
void close_other_windows()
{
    if (gdk_display_get_default() == nullptr)
        return;
    if (msg_box_window != nullptr)
        gtk_widget_destroy(msg_box_window);   // its destroy handler clears the pointer

    // The list holds no references; destroying one window may finalise
    // others, so each is held while the list is walked.
    GList *toplevels = gtk_window_list_toplevels();
    for (GList *at = toplevels; at != nullptr; at = at->next)
        g_object_ref(at->data);
    for (GList *at = toplevels; at != nullptr; at = at->next)
        if (is_preset_selector(GTK_WIDGET(at->data)))
            gtk_widget_destroy(GTK_WIDGET(at->data));
    for (GList *at = toplevels; at != nullptr; at = at->next)
        g_object_unref(at->data);
    g_list_free(toplevels);
}

} // namespace

extern "C" void plugin_init(void)
{
    if (korva != nullptr)   // a repeated init keeps the running engine
        return;

    KorvaEngine *engine = korva_new();
    if (engine != nullptr) {
        korva_engine_lock();
        korva = engine;
        korva_engine_unlock();
        cfg_retrieve();
    }
    window1 = nullptr;
}

extern "C" void plugin_cleanup(void)
{
    if (window1 != nullptr) {
        // The window's destroy handler saves the settings and clears window1;
        // clearing it here as well keeps a stale pointer from surviving.
        GtkWidget *window = window1;
        gtk_widget_hide(window);
        gtk_widget_destroy(window);
        window1 = nullptr;
    }
    close_other_windows();

    if (korva == nullptr)
        return;
    cfg_store();

    // A block may still arrive on the audio thread; it checks korva under
    // the same lock, so it either finishes with the engine before it goes or
    // finds null and passes the audio through.
    korva_engine_lock();
    KorvaEngine *engine = korva;
    korva = nullptr;
    korva_engine_unlock();
    korva_delete(engine);
}
