/* Everything one run of korva-host holds, shared by main and the window. */
#ifndef KORVA_KORVA_HOST_HOST_APP_H
#define KORVA_KORVA_HOST_HOST_APP_H

#include "audio_sink.h"
#include "audio_source.h"
#include "options.h"
#include "player.h"
#include "plugin_loader.h"

#include <gtk/gtk.h>

struct HostWindow {
    GtkWidget *window = nullptr;
    GtkWidget *file_label = nullptr;
    GtkWidget *position_label = nullptr;
    GtkWidget *status_label = nullptr;
    guint timeout = 0;
};

struct HostApp {
    HostOptions options;
    LoadedPlugin plugin;
    AudioSource source;
    AudioSink sink;
    Player player;
    HostWindow ui;
    bool failed = false;     // an audio error happened; the exit status says so
};

#endif
