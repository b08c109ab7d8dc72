/*
 * The plug-in's one configuration window under the names its interface
 * defines: a global per widget, the update flag and message window, the
 * binding functions, the signal handlers and the dialogs, each over the
 * plug-in's own window record (plugin_window). The widget globals are set
 * when create_window1 builds the window and valid only while window1 is not
 * null.
 */
#ifndef KORVA_XMMS_PLUGIN_WINDOW_NAMES_H
#define KORVA_XMMS_PLUGIN_WINDOW_NAMES_H

#include "ui/binding.h"
#include "ui/dialogs.h"
#include "ui/support.h"
#include "ui/widgets.h"

#include <gtk/gtk.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The configuration window itself, null while none exists. */
extern GtkWidget *window1;

#define KORVA_PLUGIN_DECLARE(name) extern GtkWidget *name;
KORVA_UI_WIDGETS(KORVA_PLUGIN_DECLARE)
KORVA_UI_MENUS(KORVA_PLUGIN_DECLARE)
#undef KORVA_PLUGIN_DECLARE

/* Non-zero only inside gui_update; korva_update then does nothing. */
extern int gui_updating;

/* The message window shown by msg_box, null when none is shown. */
extern GtkWidget *msg_box_window;

/* ui/binding.h over the plug-in's window. */
void korva_update(void);
void gui_update(void);
void show_bw_description(void);

/* The signal handlers (ui/callbacks.h) over the plug-in's window. */
void on_chk_update(GtkToggleButton *togglebutton, gpointer user_data);
void on_sl_update(GtkAdjustment *adjustment, gpointer user_data);
void on_menu_update(GtkMenuItem *menuitem, gpointer user_data);
void on_sl_realize(GtkWidget *widget, gpointer user_data);
void on_bwtype_toggled(GtkToggleButton *togglebutton, gpointer user_data);
void on_btnReset_clicked(GtkButton *button, gpointer user_data);
void on_btnClose_clicked(GtkButton *button, gpointer user_data);
void on_window1_destroy(GtkObject *object, gpointer user_data);
void on_btnAbout_clicked(GtkButton *button, gpointer user_data);
void on_btnLoad_clicked(GtkButton *button, gpointer user_data);
void on_btnSave_clicked(GtkButton *button, gpointer user_data);

/* ui/dialogs.h over the plug-in's window: the selectors start at last_preset_file. */
GtkWidget *create_fileLoad(void);
GtkWidget *create_fileSave(void);
void msg_box(const char *title, const char *text);
void do_about(void);
/* Destroys every preset selector still open and the message window: the
   plug-in's clean-up calls it, since their callbacks live in the plug-in,
   which the player may unload afterwards. */
void close_dialogs(void);

#ifdef __cplusplus
}

namespace korva_plugin {
// The plug-in's one window record, which the names above work on.
korva_ui::Window &plugin_window();
}  // namespace korva_plugin
#endif

#endif
