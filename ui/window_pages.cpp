// The seven notebook pages of the configuration window. Each effect page is
// a picture on the left and, beside it, a column whose expanding separators
// keep the table of labelled controls in the vertical middle: one skeleton
// (open_effect_page, effect_table, close_effect_page) with each page's rows.

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

namespace {

// A widget global and its name, for builders that take several: the same
// as KEEP, passed as a value.
struct Named {
    GtkWidget **widget;
    const char *name;
};
#define NAMED(var) Named{&(var), #var}

GtkWidget *make(Named n, GtkWidget *widget)
{
    return *n.widget = keep(widget, n.name);
}

// The skeleton of every effect page: its picture on the left and beside it a
// column that opens with an expanding separator ...
GtkWidget *open_effect_page(Named box, Named image, const char *image_name, Named column, Named top, guint padding)
{
    GtkWidget *page = make(box, gtk_hbox_new(FALSE, 0));
    pack(page, make(image, picture(image_name)), FALSE, FALSE, 2);
    GtkWidget *body = make(column, gtk_vbox_new(FALSE, 0));
    pack(page, body, TRUE, TRUE, 0);
    pack(body, make(top, gtk_hseparator_new()), TRUE, TRUE, padding);
    return body;
}

// ... and closes with another, then joins the notebook under its tab.
void close_effect_page(GtkWidget *notebook, GtkWidget *page, GtkWidget *body, Named bottom, guint padding, Named tab,
                       const char *title)
{
    pack(body, make(bottom, gtk_hseparator_new()), TRUE, TRUE, padding);
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), page, make(tab, gtk_label_new(title)));
}

// One labelled control of an effect page's table: an option menu showing
// the items of control `items` (its menu goes to `menu`), or, without a
// menu, a horizontal slider.
struct Row {
    Named label;
    const char *text;
    Named control;
    GtkWidget **menu = nullptr;
    int items = -1;
};

void attach_rows(GtkWidget *table, std::initializer_list<Row> rows)
{
    guint at = 0;
    for (const Row &row : rows) {
        GtkWidget *label = make(row.label, row_label(row.text, true));
        GtkWidget *control = make(row.control, row.menu ? gtk_option_menu_new() : horizontal_slider());
        if (row.menu)
            fill_option_menu(control, *row.menu, korva_controls[row.items]);
        attach_row(table, label, control, at++);
    }
}

// The usual middle: a bordered table of its rows.
void effect_table(GtkWidget *body, Named table, std::initializer_list<Row> rows)
{
    GtkWidget *grid = make(table, bordered_table(static_cast<guint>(rows.size())));
    pack(body, grid, FALSE, FALSE, 0);
    attach_rows(grid, rows);
}

}  // namespace

void build_surround_page(GtkWidget *notebook)
{
    GtkWidget *body =
        open_effect_page(NAMED(hbox4), NAMED(pixmap1), "korva_1.xpm", NAMED(vbox5), NAMED(hseparator3), 0);
    effect_table(body, NAMED(table2),
                 {{NAMED(label10), "Effect mode:", NAMED(ch3DSurround), &ch3DSurround_menu,
                   KORVA_CONTROL_3DSURROUND_MODE},
                  {NAMED(label11), "3D depth:", NAMED(sl3DDepth)},
                  {NAMED(label12), "Bass adjust:", NAMED(sl3DBass)}});
    close_effect_page(notebook, hbox4, body, NAMED(hseparator4), 0, NAMED(tab3DSurround), "3D Surround");
}

void build_extspace_page(GtkWidget *notebook)
{
    GtkWidget *body =
        open_effect_page(NAMED(hbox5), NAMED(pixmap2), "korva_2.xpm", NAMED(vbox6), NAMED(hseparator5), 0);
    effect_table(body, NAMED(table3),
                 {{NAMED(label13), "Effect mode:", NAMED(chExtSpace), &chExtSpace_menu, KORVA_CONTROL_EXTSPACE_MODE}});
    close_effect_page(notebook, hbox5, body, NAMED(hseparator6), 0, NAMED(label3), "extSpace");
}

void build_extfx_page(GtkWidget *notebook)
{
    GtkWidget *body =
        open_effect_page(NAMED(hbox6), NAMED(pixmap3), "korva_3.xpm", NAMED(vbox7), NAMED(hseparator7), 0);
    effect_table(body, NAMED(table4),
                 {{NAMED(label14), "Effect mode:", NAMED(chExtFX), &chExtFX_menu, KORVA_CONTROL_EXTFX_MODE},
                  {NAMED(label15), "Space:", NAMED(slSpace)},
                  {NAMED(label16), "Center:", NAMED(slCenter)}});
    close_effect_page(notebook, hbox6, body, NAMED(hseparator8), 0, NAMED(label4), "extFX");
}

void build_subwoofer_page(GtkWidget *notebook)
{
    GtkWidget *body =
        open_effect_page(NAMED(hbox7), NAMED(pixmap4), "korva_4.xpm", NAMED(vbox8), NAMED(hseparator9), 0);
    effect_table(body, NAMED(table5),
                 {{NAMED(label17), "Effect mode:", NAMED(chVS), &chVS_menu, KORVA_CONTROL_VS_MODE},
                  {NAMED(label18), "Overdrive:", NAMED(slOverdrive)},
                  {NAMED(label19), "Intensity:", NAMED(slIntensity)}});
    close_effect_page(notebook, hbox7, body, NAMED(hseparator10), 0, NAMED(label5), "Virtual Subwoofer");
}

void build_speakers_page(GtkWidget *notebook)
{
    GtkWidget *body =
        open_effect_page(NAMED(hbox8), NAMED(pixmap5), "korva_7.xpm", NAMED(vbox9), NAMED(hseparator11), 0);
    KEEP(chkSwap, gtk_check_button_new_with_label("Enable reversed stereo"));
    pack(body, chkSwap, FALSE, FALSE, 0);
    KEEP(chkPhaseInv, gtk_check_button_new_with_label("Enable phase invert"));
    pack(body, chkPhaseInv, FALSE, FALSE, 0);
    KEEP(chkFQ, gtk_check_button_new_with_label("Enable frequency correction"));
    pack(body, chkFQ, FALSE, FALSE, 0);
    KEEP(hseparator12, gtk_hseparator_new());
    pack(body, hseparator12, FALSE, FALSE, 4);
    effect_table(body, NAMED(tblFQ),
                 {{NAMED(label20), "Reduce bass resonance", NAMED(slFQDeBass)},
                  {NAMED(label21), "Reduce tube resonance:", NAMED(slFQDeTube)},
                  {NAMED(label22), "Enhance mid-range:", NAMED(slFQMid)},
                  {NAMED(label23), "Enhance high frequencies:", NAMED(slFQHigh)}});
    close_effect_page(notebook, hbox8, body, NAMED(hseparator13), 0, NAMED(label6), "Tune Speakers");
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
    open_effect_page(NAMED(hbox9), NAMED(pixmap6), "korva_6.xpm", NAMED(vbox10), NAMED(hseparator14), 4);

    // A table without a border, unlike the other pages'.
    KEEP(table6, gtk_table_new(1, 2, FALSE));
    pack(vbox10, table6, FALSE, FALSE, 0);
    attach_rows(table6, {{NAMED(label24), "Effect mode:", NAMED(chBW), &chBW_menu, KORVA_CONTROL_BW_MODE}});

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

    close_effect_page(notebook, hbox9, vbox10, NAMED(hseparator15), 4, NAMED(label34), "BW Synth");
}

}  // namespace korva_ui
