#include "window.h"

#include "callbacks.h"
#include "model_access.h"
#include "window_build.h"

using namespace korva_ui;

namespace {

void pack(GtkWidget *box, GtkWidget *child, gboolean expand, gboolean fill, guint padding)
{
    gtk_box_pack_start(GTK_BOX(box), child, expand, fill, padding);
}

// Master switch, presets, about, reset and close.
void build_bottom_row(Window &w)
{
    KEEP(hbox11, gtk_hbox_new(FALSE, 0));
    pack(w.vbox1, w.hbox11, FALSE, FALSE, 5);
    KEEP(chkEnable, gtk_check_button_new_with_label("Enable effects"));
    pack(w.hbox11, w.chkEnable, TRUE, TRUE, 6);
    KEEP(btnLoad, gtk_button_new_with_label("LOAD"));
    pack(w.hbox11, w.btnLoad, FALSE, FALSE, 0);
    KEEP(btnSave, gtk_button_new_with_label("SAVE"));
    pack(w.hbox11, w.btnSave, FALSE, FALSE, 0);
    KEEP(btnHelp, gtk_button_new_with_label("?"));
    gtk_widget_set_size_request(w.btnHelp, 22, -1);
    pack(w.hbox11, w.btnHelp, FALSE, FALSE, 2);
    KEEP(vseparator2, gtk_vseparator_new());
    pack(w.hbox11, w.vseparator2, FALSE, TRUE, 3);
    KEEP(btnReset, gtk_button_new_with_label("Reset"));
    gtk_widget_set_size_request(w.btnReset, 64, -1);
    pack(w.hbox11, w.btnReset, FALSE, FALSE, 2);
    KEEP(btnClose, gtk_button_new_with_label("Close"));
    gtk_widget_set_size_request(w.btnClose, 64, -1);
    pack(w.hbox11, w.btnClose, FALSE, FALSE, 4);
}

void on(Window &w, GtkWidget *widget, const char *signal, GCallback callback)
{
    g_signal_connect(widget, signal, callback, &w);
}

// Everything but the menu items, which were connected as they were built.
void connect_signals(Window &w)
{
    on(w, w.window1, "destroy", G_CALLBACK(on_window1_destroy));
    on(w, w.btnAbout, "clicked", G_CALLBACK(on_btnAbout_clicked));

    for (GtkWidget *slider : {w.slSuperBass, w.slDeWoofer, w.slFidelity})
        on(w, slider, "realize", G_CALLBACK(on_sl_realize));
    for (GtkWidget *check : {w.chk3DSurround, w.chkExtSpace, w.chkExtFX, w.chkVS, w.chkBW})
        on(w, check, "toggled", G_CALLBACK(on_chk_update));
    on(w, w.slPreamp, "realize", G_CALLBACK(on_sl_realize));
    for (GtkWidget *slider : {w.sl3DDepth, w.sl3DBass, w.slSpace, w.slCenter, w.slOverdrive, w.slIntensity})
        on(w, slider, "realize", G_CALLBACK(on_sl_realize));
    for (GtkWidget *check : {w.chkSwap, w.chkPhaseInv, w.chkFQ})
        on(w, check, "toggled", G_CALLBACK(on_chk_update));
    for (GtkWidget *slider : {w.slFQDeBass, w.slFQDeTube, w.slFQMid, w.slFQHigh})
        on(w, slider, "realize", G_CALLBACK(on_sl_realize));
    for (GtkWidget *radio : {w.rbConcentration, w.rbLightRelax, w.rbNormalRelax, w.rbDeepRelax})
        on(w, radio, "toggled", G_CALLBACK(on_bwtype_toggled));
    on(w, w.slBWamp, "realize", G_CALLBACK(on_sl_realize));
    on(w, w.chkEnable, "toggled", G_CALLBACK(on_chk_update));

    on(w, w.btnLoad, "clicked", G_CALLBACK(on_btnLoad_clicked));
    on(w, w.btnSave, "clicked", G_CALLBACK(on_btnSave_clicked));
    on(w, w.btnHelp, "clicked", G_CALLBACK(on_btnAbout_clicked));
    on(w, w.btnReset, "clicked", G_CALLBACK(on_btnReset_clicked));
    on(w, w.btnClose, "clicked", G_CALLBACK(on_btnClose_clicked));
}

}  // namespace

GtkWidget *korva_ui::build(Window &w, const KorvaWindowModel &model, bool embedded)
{
    w.model = model;
    w.embedded = embedded;
    if (embedded) {
        w.window1 = gtk_event_box_new();
    } else {
        w.window1 = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_title(GTK_WINDOW(w.window1), title(w));
        gtk_window_set_position(GTK_WINDOW(w.window1), GTK_WIN_POS_CENTER);
        gtk_window_set_policy(GTK_WINDOW(w.window1), FALSE, FALSE, TRUE);
    }
    gtk_widget_set_name(w.window1, "window1");
    gtk_object_set_data(GTK_OBJECT(w.window1), "window1", w.window1);

    KEEP(vbox1, gtk_vbox_new(FALSE, 0));
    gtk_container_add(GTK_CONTAINER(w.window1), w.vbox1);

    KEEP(btnAbout, gtk_button_new_with_label("Korva Control Center"));
    gtk_button_set_relief(GTK_BUTTON(w.btnAbout), GTK_RELIEF_NONE);
    pack(w.vbox1, w.btnAbout, FALSE, FALSE, 0);
    KEEP(hseparator1, gtk_hseparator_new());
    pack(w.vbox1, w.hseparator1, FALSE, TRUE, 0);

    KEEP(notebook1, gtk_notebook_new());
    pack(w.vbox1, w.notebook1, TRUE, TRUE, 0);
    build_general_page(w, w.notebook1);
    build_surround_page(w, w.notebook1);
    build_extspace_page(w, w.notebook1);
    build_extfx_page(w, w.notebook1);
    build_subwoofer_page(w, w.notebook1);
    build_speakers_page(w, w.notebook1);
    build_brainwave_page(w, w.notebook1);

    build_bottom_row(w);
    if (embedded) {
        // Hidden for good: a host showing all its children leaves it alone.
        gtk_widget_hide(w.btnClose);
        gtk_widget_set_no_show_all(w.btnClose, TRUE);
    }
    connect_signals(w);
    return w.window1;
}
