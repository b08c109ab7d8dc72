/* Preset file selectors, the about box and a window's message window. */
#ifndef KORVA_UI_DIALOGS_H
#define KORVA_UI_DIALOGS_H

#include <gtk/gtk.h>

#ifdef __cplusplus
extern "C" {
#endif

/* OK and Cancel of the selectors; user_data is the selector, which knows its window. */
void on_file_Load(GtkButton *button, gpointer user_data);
void on_file_Save(GtkButton *button, gpointer user_data);
void on_file_Cancel(GtkButton *button, gpointer user_data);

/* 1 when the selector's name was a directory, now entered; else 0. */
int file_enter_directory(GtkFileSelection *selector);

#ifdef __cplusplus
}

#include "widgets.h"

namespace korva_ui {

/* New hidden, modal file selectors over window `w`, starting at its model's last preset path. */
GtkWidget *create_fileLoad(Window &w);
GtkWidget *create_fileSave(Window &w);

/* Shows one message window with a "Close" button, replacing the window's previous one. */
void msg_box(Window &w, const char *title, const char *text);
void do_about(Window &w);

/*
 * Destroys every preset selector still open over `w` and its message window:
 * an owner calls it before the record goes away (the XMMS plug-in before the
 * player may unload it).
 */
void close_dialogs(Window &w);

}  // namespace korva_ui
#endif

#endif
