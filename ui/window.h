/* Construction of the configuration window. */
#ifndef KORVA_UI_WINDOW_H
#define KORVA_UI_WINDOW_H

#include "window_model.h"

#include <gtk/gtk.h>

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Builds the window with all its pages and controls over `model` (kept, not
 * copied: it must outlive the window), stores it in window1, connects every
 * signal and returns it hidden. Values come later from gui_update.
 */
GtkWidget *korva_window_create(const KorvaWindowModel *model);

#ifdef __cplusplus
}
#endif

#endif
