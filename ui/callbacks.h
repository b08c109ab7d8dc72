/* Signal handlers of the configuration window. */
#ifndef KORVA_UI_CALLBACKS_H
#define KORVA_UI_CALLBACKS_H

#include <gtk/gtk.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Check buttons, scrollbar adjustments and option-menu items: korva_update. */
void on_chk_update(GtkToggleButton *togglebutton, gpointer user_data);
void on_sl_update(GtkAdjustment *adjustment, gpointer user_data);
void on_menu_update(GtkMenuItem *menuitem, gpointer user_data);

/* Connects the realized scrollbar's adjustment to on_sl_update. */
void on_sl_realize(GtkWidget *widget, gpointer user_data);

/* Radio group of the BW Synth page; also called by gui_update with no widget. */
void on_bwtype_toggled(GtkToggleButton *togglebutton, gpointer user_data);

/* Defaults for everything but the master switch, phase invert and stereo swap. */
void on_btnReset_clicked(GtkButton *button, gpointer user_data);
void on_btnClose_clicked(GtkButton *button, gpointer user_data);
/* Tells the model the window is closing (the plug-in stores its settings) and forgets the window. */
void on_window1_destroy(GtkObject *object, gpointer user_data);
void on_btnAbout_clicked(GtkButton *button, gpointer user_data);
void on_btnLoad_clicked(GtkButton *button, gpointer user_data);
void on_btnSave_clicked(GtkButton *button, gpointer user_data);

#ifdef __cplusplus
}
#endif

#endif
