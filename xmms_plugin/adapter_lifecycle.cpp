// Initialise and clean up: the adapter owns the one engine from plugin_init
// to plugin_cleanup. Both run on the player's interface thread.
//
// Without an engine (korva_new failed) the plug-in stays loaded and harmless:
// audio passes through untouched, the settings are neither read nor written
// (so the saved ones survive), and no window is opened.
#include "adapter.h"
#include "korva_plugin.h"
#include "settings/korva_settings.h"
#include "window_names.h"

#include <gtk/gtk.h>

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
    // The about box and any preset selector still open go with it.
    close_dialogs();

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
