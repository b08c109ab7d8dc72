#include "callbacks.h"

#include "binding.h"
#include "dialogs.h"
#include "model_access.h"

namespace korva_ui {

namespace {

Window &window_of(gpointer data)
{
    return *static_cast<Window *>(data);
}

}  // namespace

void on_chk_update(GtkToggleButton *, gpointer window)
{
    korva_update(window_of(window));
}

void on_sl_update(GtkAdjustment *, gpointer window)
{
    korva_update(window_of(window));
}

void on_menu_update(GtkMenuItem *, gpointer window)
{
    korva_update(window_of(window));
}

void on_sl_realize(GtkWidget *widget, gpointer window)
{
    if (!widget || !GTK_IS_RANGE(widget))
        return;
    GtkAdjustment *adjustment = gtk_range_get_adjustment(GTK_RANGE(widget));
    // A scrollbar realized again (after an unrealize) keeps a single connection.
    gulong connected = g_signal_handler_find(adjustment, GSignalMatchType(G_SIGNAL_MATCH_FUNC | G_SIGNAL_MATCH_DATA),
                                             0, 0, nullptr, reinterpret_cast<gpointer>(on_sl_update), window);
    if (!connected)
        g_signal_connect(adjustment, "value_changed", G_CALLBACK(on_sl_update), window);
}

void on_bwtype_toggled(GtkToggleButton *, gpointer window)
{
    korva_update(window_of(window));
    show_bw_description(window_of(window));
}

void on_btnReset_clicked(GtkButton *, gpointer window)
{
    replace_block(window_of(window), nullptr);
}

void on_btnClose_clicked(GtkButton *, gpointer window)
{
    Window &w = window_of(window);
    if (!w.window1)
        return;
    gtk_widget_hide(w.window1);
    gtk_widget_destroy(w.window1);
}

void on_window1_destroy(GtkObject *, gpointer window)
{
    Window &w = window_of(window);
    window_closed(w);
    w.window1 = nullptr;
}

void on_btnAbout_clicked(GtkButton *, gpointer window)
{
    do_about(window_of(window));
}

void on_btnLoad_clicked(GtkButton *, gpointer window)
{
    gtk_widget_show(create_fileLoad(window_of(window)));
}

void on_btnSave_clicked(GtkButton *, gpointer window)
{
    gtk_widget_show(create_fileSave(window_of(window)));
}

}  // namespace korva_ui
