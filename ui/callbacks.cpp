#include "callbacks.h"

#include "binding.h"
#include "dialogs.h"
#include "model_access.h"
#include "widgets.h"

extern "C" void on_chk_update(GtkToggleButton *, gpointer)
{
    korva_update();
}

extern "C" void on_sl_update(GtkAdjustment *, gpointer)
{
    korva_update();
}

extern "C" void on_menu_update(GtkMenuItem *, gpointer)
{
    korva_update();
}

extern "C" void on_sl_realize(GtkWidget *widget, gpointer)
{
    if (!widget || !GTK_IS_RANGE(widget))
        return;
    GtkAdjustment *adjustment = gtk_range_get_adjustment(GTK_RANGE(widget));
    // A scrollbar realized again (after an unrealize) keeps a single connection.
    gulong connected = g_signal_handler_find(adjustment, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                                             reinterpret_cast<gpointer>(on_sl_update), nullptr);
    if (!connected)
        g_signal_connect(adjustment, "value_changed", G_CALLBACK(on_sl_update), nullptr);
}

extern "C" void on_bwtype_toggled(GtkToggleButton *, gpointer)
{
    korva_update();
    show_bw_description();
}

extern "C" void on_btnReset_clicked(GtkButton *, gpointer)
{
    korva_ui::replace_block(nullptr);
}

extern "C" void on_btnClose_clicked(GtkButton *, gpointer)
{
    if (!window1)
        return;
    gtk_widget_hide(window1);
    gtk_widget_destroy(window1);
}

extern "C" void on_window1_destroy(GtkObject *, gpointer)
{
    korva_ui::window_closed();
    window1 = nullptr;
}

extern "C" void on_btnAbout_clicked(GtkButton *, gpointer)
{
    do_about();
}

extern "C" void on_btnLoad_clicked(GtkButton *, gpointer)
{
    gtk_widget_show(create_fileLoad());
}

extern "C" void on_btnSave_clicked(GtkButton *, gpointer)
{
    gtk_widget_show(create_fileSave());
}
