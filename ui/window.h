/* Construction of the configuration window. */
#ifndef KORVA_UI_WINDOW_H
#define KORVA_UI_WINDOW_H

#include <gtk/gtk.h>

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Builds the window with all its pages and controls, stores it in window1,
 * connects every signal and returns it hidden. Values come later from
 * gui_update.
 */
GtkWidget *create_window1(void);

#ifdef __cplusplus
}
#endif

#endif
