// Reset, Close, and the settings written when the window goes away.
#include "ui_fixture.h"

#include "libxmms/xmms_configfile.h"
#include "settings/korva_settings.h"

#include <cstring>

namespace {

using namespace korva_test;

class ResetClose : public UiTest {};

bool stored(const std::string &config, const char *key, int &value)
{
    ConfigFile *cfg = xmms_cfg_open_file(config.c_str());
    if (!cfg)
        return false;
    int found = xmms_cfg_read_int(cfg, "xmkorva-5", key, &value);
    xmms_cfg_free(cfg);
    return found != 0;
}

TEST_F(ResetClose, ResetKeepsMasterSwitchSwapAndPhaseOnly)
{
    open_window();
    gui_update();
    toggle(chkEnable);    // off
    toggle(chkSwap);      // on
    toggle(chkPhaseInv);  // on
    toggle(chkFQ);
    move_slider(slFQMid, 200);
    move_slider(slSuperBass, 99);
    choose(chChainer, 4);
    toggle(rbDeepRelax);
    korva->sample_rate = 48000;

    gtk_button_clicked(GTK_BUTTON(btnReset));

    KorvaParams expected;
    korva_default_params(&expected);
    expected.enable_global = 0;
    expected.spc_swapstereo = 1;
    expected.spc_phaseinvert = 1;
    EXPECT_EQ(std::memcmp(&korva->params, &expected, sizeof expected), 0);
    EXPECT_EQ(korva->sample_rate, 44100);
    EXPECT_FALSE(active(chkEnable));
    EXPECT_TRUE(active(chkSwap));
    EXPECT_FALSE(active(chkFQ));
    EXPECT_EQ(slider_value(slFQMid), 86);
    EXPECT_EQ(slider_value(slSuperBass), 0);
    EXPECT_EQ(option_menu_index(chChainer), 0);
    EXPECT_TRUE(active(rbNormalRelax));
}

TEST_F(ResetClose, CloseHidesDestroysAndStoresTheSettings)
{
    open_window();
    gui_update();
    move_slider(slSuperBass, 77);
    choose(chExtSpace, 2);
    korva_set_last_preset_file("/somewhere/preset.kor");
    GtkWidget *window = window1;
    g_object_add_weak_pointer(G_OBJECT(window), reinterpret_cast<gpointer *>(&window));

    gtk_button_clicked(GTK_BUTTON(btnClose));
    pump();
    EXPECT_EQ(window1, nullptr);
    EXPECT_EQ(window, nullptr) << "the window is destroyed";

    int value = 0;
    ASSERT_TRUE(stored(config, "xmkorva_superbass", value));
    EXPECT_EQ(value, 77);
    ASSERT_TRUE(stored(config, "xmkorva_extspace_mode", value));
    EXPECT_EQ(value, 2);
    ConfigFile *cfg = xmms_cfg_open_file(config.c_str());
    ASSERT_NE(cfg, nullptr);
    char *path = nullptr;
    ASSERT_TRUE(xmms_cfg_read_string(cfg, "xmkorva-5", "xmkorva_last_preset_file", &path));
    EXPECT_STREQ(path, "/somewhere/preset.kor");
    free(path);
    xmms_cfg_free(cfg);

    // Nothing dangles: the controls are gone, so these must not touch them.
    korva_update();
    gui_update();
    on_btnClose_clicked(nullptr, nullptr);
}

TEST_F(ResetClose, DestroyedByTheWindowManagerStoresToo)
{
    open_window();
    gui_update();
    toggle(chkBW);
    gtk_widget_destroy(window1);
    pump();
    EXPECT_EQ(window1, nullptr);
    int value = 0;
    ASSERT_TRUE(stored(config, "xmkorva_enable_bw", value));
    EXPECT_EQ(value, 1);
    ASSERT_TRUE(stored(config, "xmkorva_bw_fq", value));
    EXPECT_EQ(value, 3600);

    // A second window is built afresh and shows the engine again.
    open_window();
    gui_update();
    EXPECT_TRUE(active(chkBW));
}

}  // namespace
