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

GtkWidget *picture(Window &w, const char *image_name)
{
    GtkWidget *image = create_pixmap(w.window1, image_name);
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

void build_general_page(Window &w, GtkWidget *notebook)
{
    KEEP(hbox1, gtk_hbox_new(FALSE, 0));
    KEEP(vbox2, gtk_vbox_new(FALSE, 0));
    pack(w.hbox1, w.vbox2, TRUE, TRUE, 0);

    KEEP(table1, gtk_table_new(3, 2, FALSE));
    pack(w.vbox2, w.table1, FALSE, FALSE, 0);
    KEEP(label1, row_label("SuperBass:", false));
    gtk_widget_set_size_request(w.label1, 80, -1);
    gtk_label_set_justify(GTK_LABEL(w.label1), GTK_JUSTIFY_RIGHT);
    KEEP(slSuperBass, horizontal_slider());
    attach_row(w.table1, w.label1, w.slSuperBass, 0);
    KEEP(label2, row_label("DeWoofer:", false));
    gtk_label_set_justify(GTK_LABEL(w.label2), GTK_JUSTIFY_RIGHT);
    KEEP(slDeWoofer, horizontal_slider());
    attach_row(w.table1, w.label2, w.slDeWoofer, 1);
    KEEP(label7, row_label("Fidelty:", false));
    gtk_label_set_justify(GTK_LABEL(w.label7), GTK_JUSTIFY_RIGHT);
    KEEP(slFidelity, horizontal_slider());
    attach_row(w.table1, w.label7, w.slFidelity, 2);

    KEEP(hseparator2, gtk_hseparator_new());
    pack(w.vbox2, w.hseparator2, FALSE, FALSE, 0);

    KEEP(hbox2, gtk_hbox_new(FALSE, 0));
    pack(w.vbox2, w.hbox2, FALSE, FALSE, 7);
    KEEP(vseparator1, gtk_vseparator_new());
    pack(w.hbox2, w.vseparator1, FALSE, FALSE, 11);
    KEEP(vbox3, gtk_vbox_new(FALSE, 0));
    pack(w.hbox2, w.vbox3, FALSE, FALSE, 0);
    KEEP(chk3DSurround, gtk_check_button_new_with_label("Enable 3D Surround"));
    pack(w.vbox3, w.chk3DSurround, FALSE, FALSE, 0);
    KEEP(chkExtSpace, gtk_check_button_new_with_label("Enable extSpace"));
    pack(w.vbox3, w.chkExtSpace, FALSE, FALSE, 0);
    KEEP(chkExtFX, gtk_check_button_new_with_label("Enable extFX"));
    pack(w.vbox3, w.chkExtFX, FALSE, FALSE, 0);
    KEEP(chkVS, gtk_check_button_new_with_label("Enable Virtual Subwoofer"));
    pack(w.vbox3, w.chkVS, FALSE, FALSE, 0);
    KEEP(chkBW, gtk_check_button_new_with_label("Enable Brainwave synthesis"));
    pack(w.vbox3, w.chkBW, FALSE, FALSE, 0);

    KEEP(hbox3, gtk_hbox_new(FALSE, 0));
    pack(w.vbox2, w.hbox3, TRUE, TRUE, 5);
    KEEP(label8, row_label("Effects chainer:", false));
    gtk_widget_set_size_request(w.label8, 110, -1);
    gtk_label_set_justify(GTK_LABEL(w.label8), GTK_JUSTIFY_RIGHT);
    pack(w.hbox3, w.label8, FALSE, FALSE, 0);
    KEEP(chChainer, gtk_option_menu_new());
    fill_option_menu(w, w.chChainer, w.chChainer_menu, korva_controls[KORVA_CONTROL_CHAIN_INDEX]);
    pack(w.hbox3, w.chChainer, TRUE, TRUE, 8);

    // The pre-amplifier column on the right.
    KEEP(vbox4, gtk_vbox_new(FALSE, 0));
    pack(w.hbox1, w.vbox4, FALSE, TRUE, 6);
    KEEP(arrow1, gtk_arrow_new(GTK_ARROW_DOWN, GTK_SHADOW_NONE));
    pack(w.vbox4, w.arrow1, FALSE, FALSE, 0);
    KEEP(slPreamp, vertical_slider());
    pack(w.vbox4, w.slPreamp, TRUE, TRUE, 0);
    KEEP(label9, gtk_label_new("preAmp"));
    pack(w.vbox4, w.label9, FALSE, FALSE, 6);

    KEEP(tabGeneral, gtk_label_new("General"));
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), w.hbox1, w.tabGeneral);
}

namespace {

// A widget global and its name, for builders that take several: the same
// as KEEP, passed as a value.
struct Named {
    GtkWidget **widget;
    const char *name;
};
#define NAMED(var) Named{&w.var, #var}

GtkWidget *make(Window &w, Named n, GtkWidget *widget)
{
    return *n.widget = keep(w, widget, n.name);
}

// The skeleton of every effect page: its picture on the left and beside it a
// column that opens with an expanding separator ...
GtkWidget *open_effect_page(Window &w, Named box, Named image, const char *image_name, Named column, Named top, guint padding)
{
    GtkWidget *page = make(w, box, gtk_hbox_new(FALSE, 0));
    pack(page, make(w, image, picture(w, image_name)), FALSE, FALSE, 2);
    GtkWidget *body = make(w, column, gtk_vbox_new(FALSE, 0));
    pack(page, body, TRUE, TRUE, 0);
    pack(body, make(w, top, gtk_hseparator_new()), TRUE, TRUE, padding);
    return body;
}

// ... and closes with another, then joins the notebook under its tab.
void close_effect_page(Window &w, GtkWidget *notebook, GtkWidget *page, GtkWidget *body, Named bottom, guint padding, Named tab,
                       const char *title)
{
    pack(body, make(w, bottom, gtk_hseparator_new()), TRUE, TRUE, padding);
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), page, make(w, tab, gtk_label_new(title)));
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

void attach_rows(Window &w, GtkWidget *table, std::initializer_list<Row> rows)
{
    guint at = 0;
    for (const Row &row : rows) {
        GtkWidget *label = make(w, row.label, row_label(row.text, true));
        GtkWidget *control = make(w, row.control, row.menu ? gtk_option_menu_new() : horizontal_slider());
        if (row.menu)
            fill_option_menu(w, control, *row.menu, korva_controls[row.items]);
        attach_row(table, label, control, at++);
    }
}

// The usual middle: a bordered table of its rows.
void effect_table(Window &w, GtkWidget *body, Named table, std::initializer_list<Row> rows)
{
    GtkWidget *grid = make(w, table, bordered_table(static_cast<guint>(rows.size())));
    pack(body, grid, FALSE, FALSE, 0);
    attach_rows(w, grid, rows);
}

}  // namespace

void build_surround_page(Window &w, GtkWidget *notebook)
{
    GtkWidget *body =
        open_effect_page(w, NAMED(hbox4), NAMED(pixmap1), "korva_1.xpm", NAMED(vbox5), NAMED(hseparator3), 0);
    effect_table(w, body, NAMED(table2),
                 {{NAMED(label10), "Effect mode:", NAMED(ch3DSurround), &w.ch3DSurround_menu,
                   KORVA_CONTROL_3DSURROUND_MODE},
                  {NAMED(label11), "3D depth:", NAMED(sl3DDepth)},
                  {NAMED(label12), "Bass adjust:", NAMED(sl3DBass)}});
    close_effect_page(w, notebook, w.hbox4, body, NAMED(hseparator4), 0, NAMED(tab3DSurround), "3D Surround");
}

void build_extspace_page(Window &w, GtkWidget *notebook)
{
    GtkWidget *body =
        open_effect_page(w, NAMED(hbox5), NAMED(pixmap2), "korva_2.xpm", NAMED(vbox6), NAMED(hseparator5), 0);
    effect_table(w, body, NAMED(table3),
                 {{NAMED(label13), "Effect mode:", NAMED(chExtSpace), &w.chExtSpace_menu, KORVA_CONTROL_EXTSPACE_MODE}});
    close_effect_page(w, notebook, w.hbox5, body, NAMED(hseparator6), 0, NAMED(label3), "extSpace");
}

void build_extfx_page(Window &w, GtkWidget *notebook)
{
    GtkWidget *body =
        open_effect_page(w, NAMED(hbox6), NAMED(pixmap3), "korva_3.xpm", NAMED(vbox7), NAMED(hseparator7), 0);
    effect_table(w, body, NAMED(table4),
                 {{NAMED(label14), "Effect mode:", NAMED(chExtFX), &w.chExtFX_menu, KORVA_CONTROL_EXTFX_MODE},
                  {NAMED(label15), "Space:", NAMED(slSpace)},
                  {NAMED(label16), "Center:", NAMED(slCenter)}});
    close_effect_page(w, notebook, w.hbox6, body, NAMED(hseparator8), 0, NAMED(label4), "extFX");
}

void build_subwoofer_page(Window &w, GtkWidget *notebook)
{
    GtkWidget *body =
        open_effect_page(w, NAMED(hbox7), NAMED(pixmap4), "korva_4.xpm", NAMED(vbox8), NAMED(hseparator9), 0);
    effect_table(w, body, NAMED(table5),
                 {{NAMED(label17), "Effect mode:", NAMED(chVS), &w.chVS_menu, KORVA_CONTROL_VS_MODE},
                  {NAMED(label18), "Overdrive:", NAMED(slOverdrive)},
                  {NAMED(label19), "Intensity:", NAMED(slIntensity)}});
    close_effect_page(w, notebook, w.hbox7, body, NAMED(hseparator10), 0, NAMED(label5), "Virtual Subwoofer");
}

void build_speakers_page(Window &w, GtkWidget *notebook)
{
    GtkWidget *body =
        open_effect_page(w, NAMED(hbox8), NAMED(pixmap5), "korva_7.xpm", NAMED(vbox9), NAMED(hseparator11), 0);
    KEEP(chkSwap, gtk_check_button_new_with_label("Enable reversed stereo"));
    pack(body, w.chkSwap, FALSE, FALSE, 0);
    KEEP(chkPhaseInv, gtk_check_button_new_with_label("Enable phase invert"));
    pack(body, w.chkPhaseInv, FALSE, FALSE, 0);
    KEEP(chkFQ, gtk_check_button_new_with_label("Enable frequency correction"));
    pack(body, w.chkFQ, FALSE, FALSE, 0);
    KEEP(hseparator12, gtk_hseparator_new());
    pack(body, w.hseparator12, FALSE, FALSE, 4);
    effect_table(w, body, NAMED(tblFQ),
                 {{NAMED(label20), "Reduce bass resonance", NAMED(slFQDeBass)},
                  {NAMED(label21), "Reduce tube resonance:", NAMED(slFQDeTube)},
                  {NAMED(label22), "Enhance mid-range:", NAMED(slFQMid)},
                  {NAMED(label23), "Enhance high frequencies:", NAMED(slFQHigh)}});
    close_effect_page(w, notebook, w.hbox8, body, NAMED(hseparator13), 0, NAMED(label6), "Tune Speakers");
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

void build_brainwave_page(Window &w, GtkWidget *notebook)
{
    open_effect_page(w, NAMED(hbox9), NAMED(pixmap6), "korva_6.xpm", NAMED(vbox10), NAMED(hseparator14), 4);

    // A table without a border, unlike the other pages'.
    KEEP(table6, gtk_table_new(1, 2, FALSE));
    pack(w.vbox10, w.table6, FALSE, FALSE, 0);
    attach_rows(w, w.table6, {{NAMED(label24), "Effect mode:", NAMED(chBW), &w.chBW_menu, KORVA_CONTROL_BW_MODE}});

    // Three equal columns: mode, description, signal level.
    KEEP(hbox10, gtk_hbox_new(TRUE, 0));
    gtk_container_set_border_width(GTK_CONTAINER(w.hbox10), 4);
    pack(w.vbox10, w.hbox10, TRUE, TRUE, 0);

    KEEP(vbox11, gtk_vbox_new(FALSE, 0));
    pack(w.hbox10, w.vbox11, TRUE, TRUE, 0);
    KEEP(label25, column_heading("Mode:"));
    pack(w.vbox11, w.label25, FALSE, FALSE, 4);
    KEEP(rbConcentration, mode_button(nullptr, 0));
    KEEP(rbLightRelax, mode_button(w.rbConcentration, 1));
    KEEP(rbNormalRelax, mode_button(w.rbConcentration, 2));
    KEEP(rbDeepRelax, mode_button(w.rbConcentration, 3));
    for (GtkWidget *radio : {w.rbConcentration, w.rbLightRelax, w.rbNormalRelax, w.rbDeepRelax}) {
        gtk_toggle_button_set_mode(GTK_TOGGLE_BUTTON(radio), FALSE);
        pack(w.vbox11, radio, FALSE, FALSE, 0);
    }
    KEEP(label26, gtk_label_new("READ MANUAL\nCAREFULLY \nBEFORE USING\nBRAINWAVE SYNTH!"));
    pack(w.vbox11, w.label26, FALSE, FALSE, 4);

    KEEP(vbox12, gtk_vbox_new(FALSE, 0));
    pack(w.hbox10, w.vbox12, TRUE, TRUE, 0);
    KEEP(label27, column_heading("Description:"));
    pack(w.vbox12, w.label27, FALSE, FALSE, 4);
    KEEP(txtBWdesc, gtk_text_view_new());
    gtk_text_view_set_editable(GTK_TEXT_VIEW(w.txtBWdesc), FALSE);
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(w.txtBWdesc), GTK_WRAP_WORD);
    pack(w.vbox12, w.txtBWdesc, TRUE, TRUE, 0);

    KEEP(vbox13, gtk_vbox_new(FALSE, 0));
    pack(w.hbox10, w.vbox13, TRUE, TRUE, 0);
    KEEP(label28, gtk_label_new("BWamp"));
    pack(w.vbox13, w.label28, FALSE, FALSE, 4);
    KEEP(slBWamp, vertical_slider());
    pack(w.vbox13, w.slBWamp, TRUE, TRUE, 0);

    close_effect_page(w, notebook, w.hbox9, w.vbox10, NAMED(hseparator15), 4, NAMED(label34), "BW Synth");
}

}  // namespace korva_ui
