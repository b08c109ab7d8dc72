#include "callbacks.h"

#include "binding.h"
#include "dialogs.h"
#include "widgets.h"

#include "plugin/korva_plugin.h"
#include "settings/korva_settings.h"

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
    if (!korva || !window1)
        return;

    KorvaParams p;
    korva_params_read(korva, &p);
    const BwMode *mode = &bwcfg[0];
    for (const BwMode &row : bwcfg) {
        if (row.fq == p.bw_fq) {
            mode = &row;
            break;
        }
    }

    GtkTextView *view = GTK_TEXT_VIEW(txtBWdesc);
    GtkTextBuffer *buffer = gtk_text_view_get_buffer(view);
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    gtk_text_buffer_place_cursor(buffer, &start);
    gtk_text_buffer_delete(buffer, &start, &end);
    gtk_text_view_set_wrap_mode(view, GTK_WRAP_WORD);
    gtk_text_buffer_get_start_iter(buffer, &start);
    gtk_text_buffer_insert(buffer, &start, mode->description, -1);
    gtk_text_buffer_get_start_iter(buffer, &start);
    gtk_text_buffer_place_cursor(buffer, &start);
}

extern "C" void on_btnReset_clicked(GtkButton *, gpointer)
{
    if (!korva)
        return;
    KorvaParams kept;
    korva_params_read(korva, &kept);

    // The reset rewrites the whole record, working state included: not while
    // the audio thread is inside a block.
    korva_engine_lock();
    korva_reset(korva);
    keep_master_switches(korva->params, kept);
    korva_engine_unlock();

    gui_update();
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
    if (korva)
        cfg_store();
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
