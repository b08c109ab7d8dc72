/* Preset file selectors, the about box and the shared message window. */
#ifndef KORVA_UI_DIALOGS_H
#define KORVA_UI_DIALOGS_H

#include <gtk/gtk.h>

#ifdef __cplusplus
extern "C" {
#endif

/* New hidden, modal file selectors starting at the model's last preset path. */
GtkWidget *create_fileLoad(void);
GtkWidget *create_fileSave(void);

/* OK and Cancel of the selectors; user_data is the selector. */
void on_file_Load(GtkButton *button, gpointer user_data);
void on_file_Save(GtkButton *button, gpointer user_data);
void on_file_Cancel(GtkButton *button, gpointer user_data);

/* 1 when the selector's name was a directory, now entered; else 0. */
int file_enter_directory(GtkFileSelection *selector);

/* The message window shown by msg_box, null when none is shown. */
extern GtkWidget *msg_box_window;

/* Shows one message window with a "Close" button, replacing the previous one. */
void msg_box(const char *title, const char *text);
void do_about(void);

/*
 * Destroys every preset selector still open and the message window: the
 * plug-in's clean-up calls it, since their callbacks live in the plug-in,
 * which the player may unload afterwards.
 */
void close_dialogs(void);

#ifdef __cplusplus
}
#endif

#endif
