// The interface's names of the plug-in's one configuration window, each over
// the window record plugin_window. create_window1 (window_model.cpp)
// publishes the widgets into the globals after every build.
#include "window_names.h"

#include "ui/callbacks.h"

namespace korva_plugin {

korva_ui::Window &plugin_window()
{
    static korva_ui::Window window;
    window.updating_also = &gui_updating;
    window.msg_box_also = &msg_box_window;
    return window;
}

}  // namespace korva_plugin

using korva_plugin::plugin_window;

extern "C" {

GtkWidget *window1 = nullptr;
#define KORVA_PLUGIN_DEFINE(name) GtkWidget *name = nullptr;
KORVA_UI_WIDGETS(KORVA_PLUGIN_DEFINE)
KORVA_UI_MENUS(KORVA_PLUGIN_DEFINE)
#undef KORVA_PLUGIN_DEFINE

int gui_updating = 0;
GtkWidget *msg_box_window = nullptr;

void korva_update(void)
{
    korva_ui::korva_update(plugin_window());
}

void gui_update(void)
{
    korva_ui::gui_update(plugin_window());
}

void show_bw_description(void)
{
    korva_ui::show_bw_description(plugin_window());
}

void on_chk_update(GtkToggleButton *togglebutton, gpointer)
{
    korva_ui::on_chk_update(togglebutton, &plugin_window());
}

void on_sl_update(GtkAdjustment *adjustment, gpointer)
{
    korva_ui::on_sl_update(adjustment, &plugin_window());
}

void on_menu_update(GtkMenuItem *menuitem, gpointer)
{
    korva_ui::on_menu_update(menuitem, &plugin_window());
}

void on_sl_realize(GtkWidget *widget, gpointer)
{
    korva_ui::on_sl_realize(widget, &plugin_window());
}

void on_bwtype_toggled(GtkToggleButton *togglebutton, gpointer)
{
    korva_ui::on_bwtype_toggled(togglebutton, &plugin_window());
}

void on_btnReset_clicked(GtkButton *button, gpointer)
{
    korva_ui::on_btnReset_clicked(button, &plugin_window());
}

void on_btnClose_clicked(GtkButton *button, gpointer)
{
    korva_ui::on_btnClose_clicked(button, &plugin_window());
}

void on_window1_destroy(GtkObject *object, gpointer)
{
    korva_ui::on_window1_destroy(object, &plugin_window());
}

void on_btnAbout_clicked(GtkButton *button, gpointer)
{
    korva_ui::on_btnAbout_clicked(button, &plugin_window());
}

void on_btnLoad_clicked(GtkButton *button, gpointer)
{
    korva_ui::on_btnLoad_clicked(button, &plugin_window());
}

void on_btnSave_clicked(GtkButton *button, gpointer)
{
    korva_ui::on_btnSave_clicked(button, &plugin_window());
}

GtkWidget *create_fileLoad(void)
{
    return korva_ui::create_fileLoad(plugin_window());
}

GtkWidget *create_fileSave(void)
{
    return korva_ui::create_fileSave(plugin_window());
}

void msg_box(const char *title, const char *text)
{
    korva_ui::msg_box(plugin_window(), title, text);
}

void do_about(void)
{
    korva_ui::do_about(plugin_window());
}

void close_dialogs(void)
{
    korva_ui::close_dialogs(plugin_window());
}

}  // extern "C"
