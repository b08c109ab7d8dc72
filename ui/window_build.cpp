#include "window_build.h"

#include "callbacks.h"


namespace korva_ui {

GtkWidget *keep(Window &w, GtkWidget *widget, const char *name)
{
    gtk_widget_set_name(widget, name);
    gtk_widget_ref(widget);
    gtk_object_set_data_full(GTK_OBJECT(w.window1), name, widget, reinterpret_cast<GtkDestroyNotify>(gtk_widget_unref));
    gtk_widget_show(widget);
    return widget;
}

GtkWidget *horizontal_slider()
{
    return gtk_hscrollbar_new(GTK_ADJUSTMENT(gtk_adjustment_new(0, 0, 288, 1, 0, 32)));
}

GtkWidget *vertical_slider()
{
    return gtk_vscrollbar_new(GTK_ADJUSTMENT(gtk_adjustment_new(128, 0, 448, 1, 0, 64)));
}

void fill_option_menu(Window &w, GtkWidget *option_menu, GtkWidget *&menu, const KorvaControl &control)
{
    gtk_widget_set_size_request(option_menu, -1, 28);
    menu = gtk_menu_new();
    for (int i = 0; i < control.point_count; ++i) {
        w.glade_menuitem = gtk_menu_item_new_with_label(control.points[i].label);
        g_signal_connect(w.glade_menuitem, "activate", G_CALLBACK(on_menu_update), &w);
        gtk_widget_show(w.glade_menuitem);
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), w.glade_menuitem);
    }
    gtk_option_menu_set_menu(GTK_OPTION_MENU(option_menu), menu);
}

GtkWidget *row_label(const char *text, bool padded)
{
    GtkWidget *label = gtk_label_new(text);
    gtk_misc_set_alignment(GTK_MISC(label), 1.0, 0.5);
    if (padded)
        gtk_misc_set_padding(GTK_MISC(label), 4, 0);
    return label;
}

void attach_row(GtkWidget *table, GtkWidget *label, GtkWidget *control, guint row)
{
    gtk_table_attach(GTK_TABLE(table), label, 0, 1, row, row + 1, GTK_FILL, GtkAttachOptions(0), 0, 0);
    gtk_table_attach(GTK_TABLE(table), control, 1, 2, row, row + 1, GtkAttachOptions(GTK_EXPAND | GTK_FILL),
                     GtkAttachOptions(0), 0, 0);
}

}  // namespace korva_ui
