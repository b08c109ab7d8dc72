/* Construction of a configuration window. */
#ifndef KORVA_UI_WINDOW_H
#define KORVA_UI_WINDOW_H

#include "widgets.h"

#include <gtk/gtk.h>

namespace korva_ui {

/*
 * Builds a window with all its pages and controls into `w` over a copy of
 * `model` (whose user data must outlive the window), connects every signal
 * with `w` as their data and returns w.window1, hidden. Values come later
 * from gui_update.
 *
 * Standalone, window1 is a top-level window with the model's title. Embedded
 * (for a host that holds the window in a frame of its own), window1 is a box
 * to put into the host's container, and Close is left out: the host closes
 * its frame.
 */
GtkWidget *build(Window &w, const KorvaWindowModel &model, bool embedded = false);

}  // namespace korva_ui

#endif
