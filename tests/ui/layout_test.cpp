// The widget tree of a new window: names, texts, pages, ranges, first state.
#include "ui_fixture.h"

#include <cstring>
#include <set>

namespace {

using namespace korva_test;

class Layout : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        open_window(false);
    }
};

const char *const named_controls[] = {
    "window1", "notebook1", "btnAbout", "tabGeneral", "tab3DSurround", "label3", "label4", "label5", "label6",
    "label34", "slSuperBass", "slDeWoofer", "slFidelity", "chk3DSurround", "chkExtSpace", "chkExtFX", "chkVS",
    "chkBW", "chChainer", "arrow1", "slPreamp", "pixmap1", "ch3DSurround", "sl3DDepth", "sl3DBass", "pixmap2",
    "chExtSpace", "pixmap3", "chExtFX", "slSpace", "slCenter", "pixmap4", "chVS", "slOverdrive", "slIntensity",
    "pixmap5", "chkSwap", "chkPhaseInv", "chkFQ", "tblFQ", "slFQDeBass", "slFQDeTube", "slFQMid", "slFQHigh",
    "pixmap6", "chBW", "rbConcentration", "rbLightRelax", "rbNormalRelax", "rbDeepRelax", "txtBWdesc", "slBWamp",
    "chkEnable", "btnLoad", "btnSave", "btnHelp", "btnReset", "btnClose", "table5", "label22", "vbox3",
};

TEST_F(Layout, EveryNamedWidgetIsFoundUnderItsName)
{
    LogCapture log;
    for (const char *name : named_controls) {
        GtkWidget *w = lookup_widget(window1, name);
        ASSERT_NE(w, nullptr) << name;
        EXPECT_STREQ(gtk_widget_get_name(w), name);
        EXPECT_EQ(gtk_widget_get_toplevel(w), window1) << name;
    }
#define KORVA_CHECK(name) EXPECT_EQ(lookup_widget(window1, #name), name) << #name;
    KORVA_UI_WIDGETS(KORVA_CHECK)
#undef KORVA_CHECK
    EXPECT_TRUE(log.entries.empty());
    // The menus and their items are not attached.
    EXPECT_EQ(g_object_get_data(G_OBJECT(window1), "chChainer_menu"), nullptr);
    EXPECT_EQ(g_object_get_data(G_OBJECT(window1), "glade_menuitem"), nullptr);
    EXPECT_EQ(label_text(glade_menuitem), "Extra (x2)");  // last item built
}

TEST_F(Layout, TitleAndTitleButton)
{
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window1)), "Korva configuration");
    EXPECT_FALSE(gtk_widget_get_visible(window1)) << "the caller shows it";
    EXPECT_EQ(label_text(btnAbout), "Korva Control Center");
}

TEST_F(Layout, PagesInOrderWithTheirPictures)
{
    const char *tabs[] = {"General", "3D Surround", "extSpace", "extFX", "Virtual Subwoofer", "Tune Speakers",
                          "BW Synth"};
    GtkWidget *tab_widgets[] = {tabGeneral, tab3DSurround, label3, label4, label5, label6, label34};
    GtkWidget *pictures[] = {nullptr, pixmap1, pixmap2, pixmap3, pixmap4, pixmap5, pixmap6};
    ASSERT_EQ(gtk_notebook_get_n_pages(GTK_NOTEBOOK(notebook1)), 7);
    EXPECT_EQ(gtk_notebook_get_current_page(GTK_NOTEBOOK(notebook1)), 0);
    for (int i = 0; i < 7; ++i) {
        GtkWidget *page = gtk_notebook_get_nth_page(GTK_NOTEBOOK(notebook1), i);
        EXPECT_EQ(gtk_notebook_get_tab_label(GTK_NOTEBOOK(notebook1), page), tab_widgets[i]);
        EXPECT_EQ(label_text(tab_widgets[i]), tabs[i]);
        GList *children = gtk_container_get_children(GTK_CONTAINER(page));
        GtkWidget *first = static_cast<GtkWidget *>(children->data);
        g_list_free(children);
        if (pictures[i]) {
            EXPECT_EQ(first, pictures[i]) << "page " << i;
            gint w = 0;
            gtk_widget_get_size_request(pictures[i], &w, nullptr);
            EXPECT_EQ(w, 128);
        } else {
            EXPECT_FALSE(GTK_IS_PIXMAP(first));
        }
    }
}

// The label in column 0 of the table row that holds `control`.
std::string row_label(GtkWidget *control)
{
    GtkWidget *table = gtk_widget_get_parent(control);
    guint row = 0;
    gtk_container_child_get(GTK_CONTAINER(table), control, "top-attach", &row, nullptr);
    for (GList *c = GTK_TABLE(table)->children; c; c = c->next) {
        auto *child = static_cast<GtkTableChild *>(c->data);
        if (child->top_attach == row && child->left_attach == 0)
            return label_text(child->widget);
    }
    return "<none>";
}

TEST_F(Layout, ControlsCarryTheirTexts)
{
    const std::pair<GtkWidget *, const char *> rows[] = {
        {slSuperBass, "SuperBass:"},       {slDeWoofer, "DeWoofer:"},
        {slFidelity, "Fidelty:"},          {ch3DSurround, "Effect mode:"},
        {sl3DDepth, "3D depth:"},          {sl3DBass, "Bass adjust:"},
        {chExtSpace, "Effect mode:"},      {chExtFX, "Effect mode:"},
        {slSpace, "Space:"},               {slCenter, "Center:"},
        {chVS, "Effect mode:"},            {slOverdrive, "Overdrive:"},
        {slIntensity, "Intensity:"},       {slFQDeBass, "Reduce bass resonance"},
        {slFQDeTube, "Reduce tube resonance:"}, {slFQMid, "Enhance mid-range:"},
        {slFQHigh, "Enhance high frequencies:"}, {chBW, "Effect mode:"},
    };
    for (auto [control, text] : rows)
        EXPECT_EQ(row_label(control), text) << gtk_widget_get_name(control);

    const std::pair<GtkWidget *, const char *> buttons[] = {
        {chkEnable, "Enable effects"},
        {chk3DSurround, "Enable 3D Surround"},
        {chkExtSpace, "Enable extSpace"},
        {chkExtFX, "Enable extFX"},
        {chkVS, "Enable Virtual Subwoofer"},
        {chkBW, "Enable Brainwave synthesis"},
        {chkSwap, "Enable reversed stereo"},
        {chkPhaseInv, "Enable phase invert"},
        {chkFQ, "Enable frequency correction"},
        {rbConcentration, "  Concentration"},
        {rbLightRelax, "  Light relaxation"},
        {rbNormalRelax, "  Normal relaxation"},
        {rbDeepRelax, "  Deep relaxation"},
        {btnLoad, "LOAD"},
        {btnSave, "SAVE"},
        {btnHelp, "?"},
        {btnReset, "Reset"},
        {btnClose, "Close"},
    };
    for (auto [button, text] : buttons)
        EXPECT_EQ(label_text(button), text) << gtk_widget_get_name(button);
    EXPECT_EQ(label_text(label8), "Effects chainer:");
    EXPECT_EQ(label_text(label9), "preAmp");
    EXPECT_EQ(label_text(label26), "READ MANUAL\nCAREFULLY \nBEFORE USING\nBRAINWAVE SYNTH!");
    EXPECT_EQ(label_text(label28), "BWamp");
}

TEST_F(Layout, OptionMenuItemsInOrder)
{
    using Items = std::vector<std::string>;
    EXPECT_EQ(menu_labels(chChainer),
              (Items{"extSpace, extFX, 3D Surround", "extSpace, 3D Surround, extFX", "3D Surround, extSpace, extFX",
                     "3D Surround, extFX, extSpace", "extFX, 3D Surround, extSpace", "extFX, extSpace, 3D Surround"}));
    EXPECT_EQ(menu_labels(ch3DSurround), (Items{"Disable", "Normal", "Extra (x2)", "Overload (x3)"}));
    EXPECT_EQ(menu_labels(chExtSpace), (Items{"Disable", "Active", "Wide"}));
    EXPECT_EQ(menu_labels(chExtFX), (Items{"Disable", "Active"}));
    EXPECT_EQ(menu_labels(chVS), (Items{"Disable", "Active"}));
    EXPECT_EQ(menu_labels(chBW), (Items{"Disable", "Normal", "Extra (x2)"}));
}

TEST_F(Layout, ScrollbarsAndTheirAdjustments)
{
    struct Range {
        double value, lower, upper, step, page_increment, page_size;
        bool operator==(const Range &) const = default;
    };
    auto range_of = [](GtkWidget *sl) {
        GtkAdjustment *a = gtk_range_get_adjustment(GTK_RANGE(sl));
        return Range{a->value, a->lower, a->upper, a->step_increment, a->page_increment, a->page_size};
    };
    const Range horizontal{0, 0, 288, 1, 0, 32}, vertical{128, 0, 448, 1, 0, 64};
    std::set<GtkAdjustment *> adjustments;
    for (GtkWidget *sl : {slSuperBass, slDeWoofer, slFidelity, sl3DDepth, sl3DBass, slSpace, slCenter, slOverdrive,
                          slIntensity, slFQDeBass, slFQDeTube, slFQMid, slFQHigh}) {
        EXPECT_TRUE(GTK_IS_HSCROLLBAR(sl)) << gtk_widget_get_name(sl);
        EXPECT_TRUE(range_of(sl) == horizontal) << gtk_widget_get_name(sl);
        adjustments.insert(gtk_range_get_adjustment(GTK_RANGE(sl)));
    }
    for (GtkWidget *sl : {slPreamp, slBWamp}) {
        EXPECT_TRUE(GTK_IS_VSCROLLBAR(sl)) << gtk_widget_get_name(sl);
        EXPECT_TRUE(range_of(sl) == vertical) << gtk_widget_get_name(sl);
        adjustments.insert(gtk_range_get_adjustment(GTK_RANGE(sl)));
    }
    EXPECT_EQ(adjustments.size(), 15u) << "each scrollbar owns its adjustment";
}

TEST_F(Layout, NewWindowShowsFirstItemsAndConcentration)
{
    for (GtkWidget *menu : {chChainer, ch3DSurround, chExtSpace, chExtFX, chVS, chBW}) {
        EXPECT_EQ(option_menu_index(menu), 0) << gtk_widget_get_name(menu);
        EXPECT_EQ(gtk_option_menu_get_history(GTK_OPTION_MENU(menu)), 0);
    }
    EXPECT_TRUE(active(rbConcentration));
    for (GtkWidget *rb : {rbLightRelax, rbNormalRelax, rbDeepRelax})
        EXPECT_FALSE(active(rb));
    for (GtkWidget *rb : {rbConcentration, rbLightRelax, rbNormalRelax, rbDeepRelax}) {
        EXPECT_FALSE(gtk_toggle_button_get_mode(GTK_TOGGLE_BUTTON(rb))) << "drawn as a toggle button";
        EXPECT_EQ(gtk_radio_button_get_group(GTK_RADIO_BUTTON(rb)),
                  gtk_radio_button_get_group(GTK_RADIO_BUTTON(rbConcentration)));
    }
    EXPECT_EQ(g_slist_length(gtk_radio_button_get_group(GTK_RADIO_BUTTON(rbConcentration))), 4u);
    EXPECT_FALSE(gtk_text_view_get_editable(GTK_TEXT_VIEW(txtBWdesc)));
    EXPECT_EQ(gtk_text_view_get_wrap_mode(GTK_TEXT_VIEW(txtBWdesc)), GTK_WRAP_WORD);
    // Building the window alone leaves the engine as it was.
    KorvaParams defaults;
    korva_default_params(&defaults);
    EXPECT_EQ(std::memcmp(&korva->params, &defaults, sizeof defaults), 0);
}

TEST_F(Layout, OptionMenuIndexAgreesWithTheToolkit)
{
    for (GtkWidget *menu : {chChainer, ch3DSurround, chExtSpace, chExtFX, chVS, chBW}) {
        const int items = static_cast<int>(
            g_list_length(GTK_MENU_SHELL(gtk_option_menu_get_menu(GTK_OPTION_MENU(menu)))->children));
        for (int i = items - 1; i >= 0; --i) {
            gtk_option_menu_set_history(GTK_OPTION_MENU(menu), i);
            EXPECT_EQ(option_menu_index(menu), i);
            EXPECT_EQ(option_menu_index(menu), gtk_option_menu_get_history(GTK_OPTION_MENU(menu)));
        }
    }
    GtkWidget *empty = gtk_option_menu_new();
    EXPECT_EQ(option_menu_index(empty), -1);
    gtk_option_menu_set_menu(GTK_OPTION_MENU(empty), gtk_menu_new());
    EXPECT_EQ(option_menu_index(empty), -1);
    gtk_widget_destroy(empty);
    EXPECT_EQ(option_menu_index(nullptr), -1);
    EXPECT_EQ(option_menu_index(slPreamp), -1);
}

TEST_F(Layout, AScrollbarReachesTheBlockOnlyOnceRealized)
{
    gui_update();
    move_slider(slSpace, 40);
    EXPECT_EQ(params().extfx_space, 86) << "not realized yet: nobody listens";
    gtk_widget_realize(slSpace);
    move_slider(slSpace, 41);
    EXPECT_EQ(params().extfx_space, 41);
    // Realized again after an unrealize, it still updates.
    gtk_widget_unrealize(slSpace);
    gtk_widget_realize(slSpace);
    move_slider(slSpace, 42);
    EXPECT_EQ(params().extfx_space, 42);
}

}  // namespace
