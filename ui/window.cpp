#include "window.h"

#include "callbacks.h"
#include "model_access.h"
#include "widgets.h"
#include "window_build.h"

using korva_ui::keep;

namespace {

void pack(GtkWidget *box, GtkWidget *child, gboolean expand, gboolean fill, guint padding)
{
    gtk_box_pack_start(GTK_BOX(box), child, expand, fill, padding);
}

// Master switch, presets, about, reset and close.
void build_bottom_row()
{
    KEEP(hbox11, gtk_hbox_new(FALSE, 0));
    pack(vbox1, hbox11, FALSE, FALSE, 5);
    KEEP(chkEnable, gtk_check_button_new_with_label("Enable effects"));
    pack(hbox11, chkEnable, TRUE, TRUE, 6);
    KEEP(btnLoad, gtk_button_new_with_label("LOAD"));
    pack(hbox11, btnLoad, FALSE, FALSE, 0);
    KEEP(btnSave, gtk_button_new_with_label("SAVE"));
    pack(hbox11, btnSave, FALSE, FALSE, 0);
    KEEP(btnHelp, gtk_button_new_with_label("?"));
    gtk_widget_set_size_request(btnHelp, 22, -1);
    pack(hbox11, btnHelp, FALSE, FALSE, 2);
    KEEP(vseparator2, gtk_vseparator_new());
    pack(hbox11, vseparator2, FALSE, TRUE, 3);
    KEEP(btnReset, gtk_button_new_with_label("Reset"));
    gtk_widget_set_size_request(btnReset, 64, -1);
    pack(hbox11, btnReset, FALSE, FALSE, 2);
    KEEP(btnClose, gtk_button_new_with_label("Close"));
    gtk_widget_set_size_request(btnClose, 64, -1);
    pack(hbox11, btnClose, FALSE, FALSE, 4);
}

void on(GtkWidget *widget, const char *signal, GCallback callback)
{
    g_signal_connect(widget, signal, callback, nullptr);
}

// Everything but the menu items, which were connected as they were built.
void connect_signals()
{
    on(window1, "destroy", G_CALLBACK(on_window1_destroy));
    on(btnAbout, "clicked", G_CALLBACK(on_btnAbout_clicked));

    for (GtkWidget *slider : {slSuperBass, slDeWoofer, slFidelity})
        on(slider, "realize", G_CALLBACK(on_sl_realize));
    for (GtkWidget *check : {chk3DSurround, chkExtSpace, chkExtFX, chkVS, chkBW})
        on(check, "toggled", G_CALLBACK(on_chk_update));
    on(slPreamp, "realize", G_CALLBACK(on_sl_realize));
    for (GtkWidget *slider : {sl3DDepth, sl3DBass, slSpace, slCenter, slOverdrive, slIntensity})
        on(slider, "realize", G_CALLBACK(on_sl_realize));
    for (GtkWidget *check : {chkSwap, chkPhaseInv, chkFQ})
        on(check, "toggled", G_CALLBACK(on_chk_update));
    for (GtkWidget *slider : {slFQDeBass, slFQDeTube, slFQMid, slFQHigh})
        on(slider, "realize", G_CALLBACK(on_sl_realize));
    for (GtkWidget *radio : {rbConcentration, rbLightRelax, rbNormalRelax, rbDeepRelax})
        on(radio, "toggled", G_CALLBACK(on_bwtype_toggled));
    on(slBWamp, "realize", G_CALLBACK(on_sl_realize));
    on(chkEnable, "toggled", G_CALLBACK(on_chk_update));

    on(btnLoad, "clicked", G_CALLBACK(on_btnLoad_clicked));
    on(btnSave, "clicked", G_CALLBACK(on_btnSave_clicked));
    on(btnHelp, "clicked", G_CALLBACK(on_btnAbout_clicked));
    on(btnReset, "clicked", G_CALLBACK(on_btnReset_clicked));
    on(btnClose, "clicked", G_CALLBACK(on_btnClose_clicked));
}

}  // namespace

extern "C" GtkWidget *korva_window_create(const KorvaWindowModel *model)
{
    korva_ui::use_model(model);
    window1 = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_set_name(window1, "window1");
    gtk_object_set_data(GTK_OBJECT(window1), "window1", window1);
    gtk_window_set_title(GTK_WINDOW(window1), korva_ui::title());
    gtk_window_set_position(GTK_WINDOW(window1), GTK_WIN_POS_CENTER);
    gtk_window_set_policy(GTK_WINDOW(window1), FALSE, FALSE, TRUE);

    KEEP(vbox1, gtk_vbox_new(FALSE, 0));
    gtk_container_add(GTK_CONTAINER(window1), vbox1);

    KEEP(btnAbout, gtk_button_new_with_label("Korva Control Center"));
    gtk_button_set_relief(GTK_BUTTON(btnAbout), GTK_RELIEF_NONE);
    pack(vbox1, btnAbout, FALSE, FALSE, 0);
    KEEP(hseparator1, gtk_hseparator_new());
    pack(vbox1, hseparator1, FALSE, TRUE, 0);

    KEEP(notebook1, gtk_notebook_new());
    pack(vbox1, notebook1, TRUE, TRUE, 0);
    korva_ui::build_general_page(notebook1);
    korva_ui::build_surround_page(notebook1);
    korva_ui::build_extspace_page(notebook1);
    korva_ui::build_extfx_page(notebook1);
    korva_ui::build_subwoofer_page(notebook1);
    korva_ui::build_speakers_page(notebook1);
    korva_ui::build_brainwave_page(notebook1);

    build_bottom_row();
    connect_signals();
    return window1;
}
