// The seven notebook pages of the configuration window. Each effect page is
// a picture on the left and, beside it, a column whose expanding separators
// keep the table of labelled controls in the vertical middle.

#include "support.h"
#include "widgets.h"
#include "window_build.h"

#include "engine/controls.h"


namespace korva_ui {

namespace {

void pack(GtkWidget *box, GtkWidget *child, gboolean expand, gboolean fill, guint padding)
{
    gtk_box_pack_start(GTK_BOX(box), child, expand, fill, padding);
}

GtkWidget *picture(const char *image_name)
{
    GtkWidget *image = create_pixmap(window1, image_name);
    gtk_widget_set_size_request(image, 128, -1);
    return image;
}

GtkWidget *bordered_table(guint rows)
{
    GtkWidget *table = gtk_table_new(rows, 2, FALSE);
    gtk_container_set_border_width(GTK_CONTAINER(table), 8);
    return table;
}

}  // namespace

void build_general_page(GtkWidget *notebook)
{
    KEEP(hbox1, gtk_hbox_new(FALSE, 0));
    KEEP(vbox2, gtk_vbox_new(FALSE, 0));
    pack(hbox1, vbox2, TRUE, TRUE, 0);

    KEEP(table1, gtk_table_new(3, 2, FALSE));
    pack(vbox2, table1, FALSE, FALSE, 0);
    KEEP(label1, row_label("SuperBass:", false));
    gtk_widget_set_size_request(label1, 80, -1);
    gtk_label_set_justify(GTK_LABEL(label1), GTK_JUSTIFY_RIGHT);
    KEEP(slSuperBass, horizontal_slider());
    attach_row(table1, label1, slSuperBass, 0);
    KEEP(label2, row_label("DeWoofer:", false));
    gtk_label_set_justify(GTK_LABEL(label2), GTK_JUSTIFY_RIGHT);
    KEEP(slDeWoofer, horizontal_slider());
    attach_row(table1, label2, slDeWoofer, 1);
    KEEP(label7, row_label("Fidelty:", false));
    gtk_label_set_justify(GTK_LABEL(label7), GTK_JUSTIFY_RIGHT);
    KEEP(slFidelity, horizontal_slider());
    attach_row(table1, label7, slFidelity, 2);

    KEEP(hseparator2, gtk_hseparator_new());
    pack(vbox2, hseparator2, FALSE, FALSE, 0);

    KEEP(hbox2, gtk_hbox_new(FALSE, 0));
    pack(vbox2, hbox2, FALSE, FALSE, 7);
    KEEP(vseparator1, gtk_vseparator_new());
    pack(hbox2, vseparator1, FALSE, FALSE, 11);
    KEEP(vbox3, gtk_vbox_new(FALSE, 0));
    pack(hbox2, vbox3, FALSE, FALSE, 0);
    KEEP(chk3DSurround, gtk_check_button_new_with_label("Enable 3D Surround"));
    pack(vbox3, chk3DSurround, FALSE, FALSE, 0);
    KEEP(chkExtSpace, gtk_check_button_new_with_label("Enable extSpace"));
    pack(vbox3, chkExtSpace, FALSE, FALSE, 0);
    KEEP(chkExtFX, gtk_check_button_new_with_label("Enable extFX"));
    pack(vbox3, chkExtFX, FALSE, FALSE, 0);
    KEEP(chkVS, gtk_check_button_new_with_label("Enable Virtual Subwoofer"));
    pack(vbox3, chkVS, FALSE, FALSE, 0);
    KEEP(chkBW, gtk_check_button_new_with_label("Enable Brainwave synthesis"));
    pack(vbox3, chkBW, FALSE, FALSE, 0);

    KEEP(hbox3, gtk_hbox_new(FALSE, 0));
    pack(vbox2, hbox3, TRUE, TRUE, 5);
    KEEP(label8, row_label("Effects chainer:", false));
    gtk_widget_set_size_request(label8, 110, -1);
    gtk_label_set_justify(GTK_LABEL(label8), GTK_JUSTIFY_RIGHT);
    pack(hbox3, label8, FALSE, FALSE, 0);
    KEEP(chChainer, gtk_option_menu_new());
    fill_option_menu(chChainer, chChainer_menu, korva_controls[KORVA_CONTROL_CHAIN_INDEX]);
    pack(hbox3, chChainer, TRUE, TRUE, 8);

    // The pre-amplifier column on the right.
    KEEP(vbox4, gtk_vbox_new(FALSE, 0));
    pack(hbox1, vbox4, FALSE, TRUE, 6);
    KEEP(arrow1, gtk_arrow_new(GTK_ARROW_DOWN, GTK_SHADOW_NONE));
    pack(vbox4, arrow1, FALSE, FALSE, 0);
    KEEP(slPreamp, vertical_slider());
    pack(vbox4, slPreamp, TRUE, TRUE, 0);
    KEEP(label9, gtk_label_new("preAmp"));
    pack(vbox4, label9, FALSE, FALSE, 6);

    KEEP(tabGeneral, gtk_label_new("General"));
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), hbox1, tabGeneral);
}

void build_surround_page(GtkWidget *notebook)
{
    KEEP(hbox4, gtk_hbox_new(FALSE, 0));
    KEEP(pixmap1, picture("korva_1.xpm"));
    pack(hbox4, pixmap1, FALSE, FALSE, 2);
    KEEP(vbox5, gtk_vbox_new(FALSE, 0));
    pack(hbox4, vbox5, TRUE, TRUE, 0);
    KEEP(hseparator3, gtk_hseparator_new());
    pack(vbox5, hseparator3, TRUE, TRUE, 0);

    KEEP(table2, bordered_table(3));
    pack(vbox5, table2, FALSE, FALSE, 0);
    KEEP(label10, row_label("Effect mode:", true));
    KEEP(ch3DSurround, gtk_option_menu_new());
    fill_option_menu(ch3DSurround, ch3DSurround_menu, korva_controls[KORVA_CONTROL_3DSURROUND_MODE]);
    attach_row(table2, label10, ch3DSurround, 0);
    KEEP(label11, row_label("3D depth:", true));
    KEEP(sl3DDepth, horizontal_slider());
    attach_row(table2, label11, sl3DDepth, 1);
    KEEP(label12, row_label("Bass adjust:", true));
    KEEP(sl3DBass, horizontal_slider());
    attach_row(table2, label12, sl3DBass, 2);

    KEEP(hseparator4, gtk_hseparator_new());
    pack(vbox5, hseparator4, TRUE, TRUE, 0);
    KEEP(tab3DSurround, gtk_label_new("3D Surround"));
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), hbox4, tab3DSurround);
}

void build_extspace_page(GtkWidget *notebook)
{
    KEEP(hbox5, gtk_hbox_new(FALSE, 0));
    KEEP(pixmap2, picture("korva_2.xpm"));
    pack(hbox5, pixmap2, FALSE, FALSE, 2);
    KEEP(vbox6, gtk_vbox_new(FALSE, 0));
    pack(hbox5, vbox6, TRUE, TRUE, 0);
    KEEP(hseparator5, gtk_hseparator_new());
    pack(vbox6, hseparator5, TRUE, TRUE, 0);

    KEEP(table3, bordered_table(1));
    pack(vbox6, table3, FALSE, FALSE, 0);
    KEEP(label13, row_label("Effect mode:", true));
    KEEP(chExtSpace, gtk_option_menu_new());
    fill_option_menu(chExtSpace, chExtSpace_menu, korva_controls[KORVA_CONTROL_EXTSPACE_MODE]);
    attach_row(table3, label13, chExtSpace, 0);

    KEEP(hseparator6, gtk_hseparator_new());
    pack(vbox6, hseparator6, TRUE, TRUE, 0);
    KEEP(label3, gtk_label_new("extSpace"));
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), hbox5, label3);
}

void build_extfx_page(GtkWidget *notebook)
{
    KEEP(hbox6, gtk_hbox_new(FALSE, 0));
    KEEP(pixmap3, picture("korva_3.xpm"));
    pack(hbox6, pixmap3, FALSE, FALSE, 2);
    KEEP(vbox7, gtk_vbox_new(FALSE, 0));
    pack(hbox6, vbox7, TRUE, TRUE, 0);
    KEEP(hseparator7, gtk_hseparator_new());
    pack(vbox7, hseparator7, TRUE, TRUE, 0);

    KEEP(table4, bordered_table(3));
    pack(vbox7, table4, FALSE, FALSE, 0);
    KEEP(label14, row_label("Effect mode:", true));
    KEEP(chExtFX, gtk_option_menu_new());
    fill_option_menu(chExtFX, chExtFX_menu, korva_controls[KORVA_CONTROL_EXTFX_MODE]);
    attach_row(table4, label14, chExtFX, 0);
    KEEP(label15, row_label("Space:", true));
    KEEP(slSpace, horizontal_slider());
    attach_row(table4, label15, slSpace, 1);
    KEEP(label16, row_label("Center:", true));
    KEEP(slCenter, horizontal_slider());
    attach_row(table4, label16, slCenter, 2);

    KEEP(hseparator8, gtk_hseparator_new());
    pack(vbox7, hseparator8, TRUE, TRUE, 0);
    KEEP(label4, gtk_label_new("extFX"));
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), hbox6, label4);
}

void build_subwoofer_page(GtkWidget *notebook)
{
    KEEP(hbox7, gtk_hbox_new(FALSE, 0));
    KEEP(pixmap4, picture("korva_4.xpm"));
    pack(hbox7, pixmap4, FALSE, FALSE, 2);
    KEEP(vbox8, gtk_vbox_new(FALSE, 0));
    pack(hbox7, vbox8, TRUE, TRUE, 0);
    KEEP(hseparator9, gtk_hseparator_new());
    pack(vbox8, hseparator9, TRUE, TRUE, 0);

    KEEP(table5, bordered_table(3));
    pack(vbox8, table5, FALSE, FALSE, 0);
    KEEP(label17, row_label("Effect mode:", true));
    KEEP(chVS, gtk_option_menu_new());
    fill_option_menu(chVS, chVS_menu, korva_controls[KORVA_CONTROL_VS_MODE]);
    attach_row(table5, label17, chVS, 0);
    KEEP(label18, row_label("Overdrive:", true));
    KEEP(slOverdrive, horizontal_slider());
    attach_row(table5, label18, slOverdrive, 1);
    KEEP(label19, row_label("Intensity:", true));
    KEEP(slIntensity, horizontal_slider());
    attach_row(table5, label19, slIntensity, 2);

    KEEP(hseparator10, gtk_hseparator_new());
    pack(vbox8, hseparator10, TRUE, TRUE, 0);
    KEEP(label5, gtk_label_new("Virtual Subwoofer"));
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), hbox7, label5);
}

void build_speakers_page(GtkWidget *notebook)
{
    KEEP(hbox8, gtk_hbox_new(FALSE, 0));
    KEEP(pixmap5, picture("korva_7.xpm"));
    pack(hbox8, pixmap5, FALSE, FALSE, 2);
    KEEP(vbox9, gtk_vbox_new(FALSE, 0));
    pack(hbox8, vbox9, TRUE, TRUE, 0);
    KEEP(hseparator11, gtk_hseparator_new());
    pack(vbox9, hseparator11, TRUE, TRUE, 0);

    KEEP(chkSwap, gtk_check_button_new_with_label("Enable reversed stereo"));
    pack(vbox9, chkSwap, FALSE, FALSE, 0);
    KEEP(chkPhaseInv, gtk_check_button_new_with_label("Enable phase invert"));
    pack(vbox9, chkPhaseInv, FALSE, FALSE, 0);
    KEEP(chkFQ, gtk_check_button_new_with_label("Enable frequency correction"));
    pack(vbox9, chkFQ, FALSE, FALSE, 0);
    KEEP(hseparator12, gtk_hseparator_new());
    pack(vbox9, hseparator12, FALSE, FALSE, 4);

    KEEP(tblFQ, bordered_table(4));
    pack(vbox9, tblFQ, FALSE, FALSE, 0);
    KEEP(label20, row_label("Reduce bass resonance", true));
    KEEP(slFQDeBass, horizontal_slider());
    attach_row(tblFQ, label20, slFQDeBass, 0);
    KEEP(label21, row_label("Reduce tube resonance:", true));
    KEEP(slFQDeTube, horizontal_slider());
    attach_row(tblFQ, label21, slFQDeTube, 1);
    KEEP(label22, row_label("Enhance mid-range:", true));
    KEEP(slFQMid, horizontal_slider());
    attach_row(tblFQ, label22, slFQMid, 2);
    KEEP(label23, row_label("Enhance high frequencies:", true));
    KEEP(slFQHigh, horizontal_slider());
    attach_row(tblFQ, label23, slFQHigh, 3);

    KEEP(hseparator13, gtk_hseparator_new());
    pack(vbox9, hseparator13, TRUE, TRUE, 0);
    KEEP(label6, gtk_label_new("Tune Speakers"));
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), hbox8, label6);
}

namespace {

// Brainwave mode `mode` of the control catalogue, its label set off by two
// spaces, in the group of `first` (a new group when null).
GtkWidget *mode_button(GtkWidget *first, int mode)
{
    gchar *label = g_strconcat("  ", korva_controls[KORVA_CONTROL_BW_FQ].points[mode].label, nullptr);
    GtkWidget *button = first ? gtk_radio_button_new_with_label_from_widget(GTK_RADIO_BUTTON(first), label)
                              : gtk_radio_button_new_with_label(nullptr, label);
    g_free(label);
    return button;
}

GtkWidget *column_heading(const char *text)
{
    GtkWidget *label = gtk_label_new(text);
    gtk_misc_set_alignment(GTK_MISC(label), 0.0, 0.5);
    return label;
}

}  // namespace

void build_brainwave_page(GtkWidget *notebook)
{
    KEEP(hbox9, gtk_hbox_new(FALSE, 0));
    KEEP(pixmap6, picture("korva_6.xpm"));
    pack(hbox9, pixmap6, FALSE, FALSE, 2);
    KEEP(vbox10, gtk_vbox_new(FALSE, 0));
    pack(hbox9, vbox10, TRUE, TRUE, 0);
    KEEP(hseparator14, gtk_hseparator_new());
    pack(vbox10, hseparator14, TRUE, TRUE, 4);

    KEEP(table6, gtk_table_new(1, 2, FALSE));
    pack(vbox10, table6, FALSE, FALSE, 0);
    KEEP(label24, row_label("Effect mode:", true));
    KEEP(chBW, gtk_option_menu_new());
    fill_option_menu(chBW, chBW_menu, korva_controls[KORVA_CONTROL_BW_MODE]);
    attach_row(table6, label24, chBW, 0);

    // Three equal columns: mode, description, signal level.
    KEEP(hbox10, gtk_hbox_new(TRUE, 0));
    gtk_container_set_border_width(GTK_CONTAINER(hbox10), 4);
    pack(vbox10, hbox10, TRUE, TRUE, 0);

    KEEP(vbox11, gtk_vbox_new(FALSE, 0));
    pack(hbox10, vbox11, TRUE, TRUE, 0);
    KEEP(label25, column_heading("Mode:"));
    pack(vbox11, label25, FALSE, FALSE, 4);
    KEEP(rbConcentration, mode_button(nullptr, 0));
    KEEP(rbLightRelax, mode_button(rbConcentration, 1));
    KEEP(rbNormalRelax, mode_button(rbConcentration, 2));
    KEEP(rbDeepRelax, mode_button(rbConcentration, 3));
    for (GtkWidget *radio : {rbConcentration, rbLightRelax, rbNormalRelax, rbDeepRelax}) {
        gtk_toggle_button_set_mode(GTK_TOGGLE_BUTTON(radio), FALSE);
        pack(vbox11, radio, FALSE, FALSE, 0);
    }
    KEEP(label26, gtk_label_new("READ MANUAL\nCAREFULLY \nBEFORE USING\nBRAINWAVE SYNTH!"));
    pack(vbox11, label26, FALSE, FALSE, 4);

    KEEP(vbox12, gtk_vbox_new(FALSE, 0));
    pack(hbox10, vbox12, TRUE, TRUE, 0);
    KEEP(label27, column_heading("Description:"));
    pack(vbox12, label27, FALSE, FALSE, 4);
    KEEP(txtBWdesc, gtk_text_view_new());
    gtk_text_view_set_editable(GTK_TEXT_VIEW(txtBWdesc), FALSE);
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(txtBWdesc), GTK_WRAP_WORD);
    pack(vbox12, txtBWdesc, TRUE, TRUE, 0);

    KEEP(vbox13, gtk_vbox_new(FALSE, 0));
    pack(hbox10, vbox13, TRUE, TRUE, 0);
    KEEP(label28, gtk_label_new("BWamp"));
    pack(vbox13, label28, FALSE, FALSE, 4);
    KEEP(slBWamp, vertical_slider());
    pack(vbox13, slBWamp, TRUE, TRUE, 0);

    KEEP(hseparator15, gtk_hseparator_new());
    pack(vbox10, hseparator15, TRUE, TRUE, 4);
    KEEP(label34, gtk_label_new("BW Synth"));
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), hbox9, label34);
}

}  // namespace korva_ui
