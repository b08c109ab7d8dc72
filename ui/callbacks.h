// Signal handlers of a configuration window, as the toolkit calls them: the
// window's record (widgets.h) is the user data of every one of them.
#ifndef KORVA_UI_CALLBACKS_H
#define KORVA_UI_CALLBACKS_H

#include "widgets.h"

#include <gtk/gtk.h>

namespace korva_ui {

// Check buttons, scrollbar adjustments and option-menu items: korva_update.
void on_chk_update(GtkToggleButton *togglebutton, gpointer window);
void on_sl_update(GtkAdjustment *adjustment, gpointer window);
void on_menu_update(GtkMenuItem *menuitem, gpointer window);

// Connects the realized scrollbar's adjustment to on_sl_update, once.
void on_sl_realize(GtkWidget *widget, gpointer window);

// Radio group of the BW Synth page: korva_update, then the description.
void on_bwtype_toggled(GtkToggleButton *togglebutton, gpointer window);

// Defaults for everything but the master switch, phase invert and stereo swap.
void on_btnReset_clicked(GtkButton *button, gpointer window);
// Hides the window, then destroys it.
void on_btnClose_clicked(GtkButton *button, gpointer window);
// Tells the model the window is closing and forgets the window.
void on_window1_destroy(GtkObject *object, gpointer window);
void on_btnAbout_clicked(GtkButton *button, gpointer window);
void on_btnLoad_clicked(GtkButton *button, gpointer window);
void on_btnSave_clicked(GtkButton *button, gpointer window);

}  // namespace korva_ui

#endif
