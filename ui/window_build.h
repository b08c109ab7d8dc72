// Building blocks shared by the window's construction files.
#ifndef KORVA_UI_WINDOW_BUILD_H
#define KORVA_UI_WINDOW_BUILD_H

#include "widgets.h"

#include "engine/controls.h"

#include <gtk/gtk.h>

#include <initializer_list>

namespace korva_ui {

// Names the widget, attaches it to the window's window1 under that name
// (holding a reference that the window drops when it goes away) and shows it.
GtkWidget *keep(Window &w, GtkWidget *widget, const char *name);

// Builds a widget into the member of the same name of the window `w` in
// scope: KEEP(slPreamp, ...).
#define KEEP(var, expr) (w.var = korva_ui::keep(w, (expr), #var))

// Slider scrollbars with fresh adjustments: horizontal 0..288 (page 32,
// reachable 0..256), vertical 0..448 (page 64, reachable 0..384).
GtkWidget *horizontal_slider();
GtkWidget *vertical_slider();

// Fills an option menu with the control's menu items, each "activate" going
// to the window's on_menu_update; `menu` receives the new menu,
// glade_menuitem the last item.
void fill_option_menu(Window &w, GtkWidget *option_menu, GtkWidget *&menu, const KorvaControl &control);

// A right-aligned table label; on the effect pages with 4 pixels of padding.
GtkWidget *row_label(const char *text, bool padded);

// Column 0 label, column 1 control (expands and fills horizontally).
void attach_row(GtkWidget *table, GtkWidget *label, GtkWidget *control, guint row);

// The pages, in notebook order; each appends itself with its tab label.
void build_general_page(Window &w, GtkWidget *notebook);
void build_surround_page(Window &w, GtkWidget *notebook);
void build_extspace_page(Window &w, GtkWidget *notebook);
void build_extfx_page(Window &w, GtkWidget *notebook);
void build_subwoofer_page(Window &w, GtkWidget *notebook);
void build_speakers_page(Window &w, GtkWidget *notebook);
void build_brainwave_page(Window &w, GtkWidget *notebook);

}  // namespace korva_ui

#endif
