// The configure, about and clean-up callbacks with a real window (run under
// a virtual display: xvfb-run -a), and settings changed in the window
// surviving a restart of the plug-in.
#include "xmms_plugin/adapter.h"
#include "xmms_plugin/korva_plugin.h"
#include "libxmms/xmms_configfile.h"
#include "plugin_test_support.h"
#include "ui/korva_ui.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using korva_test::ScratchDir;
using korva_test::plugin_korva;
using korva_test::plugin_window1;

void run_pending_events()
{
    while (gtk_events_pending())
        gtk_main_iteration();
}

int toplevels_titled(const char *title)
{
    int count = 0;
    GList *list = gtk_window_list_toplevels();
    for (GList *at = list; at != nullptr; at = at->next) {
        const gchar *t = gtk_window_get_title(GTK_WINDOW(at->data));
        if (t != nullptr && std::string(t) == title && gtk_widget_get_visible(GTK_WIDGET(at->data)))
            ++count;
    }
    g_list_free(list);
    return count;
}

bool read_key(const std::string &config, const char *key, int &value)
{
    ConfigFile *cfg = xmms_cfg_open_file(config.c_str());
    if (cfg == nullptr)
        return false;
    const int found = xmms_cfg_read_int(cfg, "xmkorva-5", key, &value);
    xmms_cfg_free(cfg);
    return found != 0;
}

class PluginWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        xmms_cfg_set_default_filename(config.c_str());
        get_eplugin_info()->init();
        ASSERT_NE(plugin_korva(), nullptr);
    }
    void TearDown() override
    {
        get_eplugin_info()->cleanup();
        run_pending_events();
        xmms_cfg_set_default_filename(nullptr);
    }

    GtkWidget *control(const char *name) { return lookup_widget(plugin_window1(), name); }

    ScratchDir scratch;
    std::string config = scratch.file("config");
};

TEST_F(PluginWindow, ConfigureTwiceBuildsAndShowsOneWindow)
{
    get_eplugin_info()->configure();
    run_pending_events();
    GtkWidget *window = plugin_window1();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(gtk_widget_get_visible(window));
    EXPECT_EQ(toplevels_titled("Korva configuration"), 1);
    GtkWidget *check = control("chkExtFX");
    ASSERT_NE(check, nullptr);
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(check))) << "shows the default";

    // Changed behind the window's back: a second configure must neither
    // rebuild the window nor copy the parameters into it again.
    KorvaParams p;
    korva_params_read(plugin_korva(), &p);
    p.enable_extfx = 1;
    korva_params_write(plugin_korva(), &p);
    get_eplugin_info()->configure();
    run_pending_events();
    EXPECT_EQ(plugin_window1(), window);
    EXPECT_EQ(control("chkExtFX"), check);
    EXPECT_EQ(toplevels_titled("Korva configuration"), 1);
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(check)));
}

struct CleanupTrace {
    std::vector<std::string> events;
    std::string config;
    bool stored_before_hide = false;
    bool stored_by_destroy = false;
};

void on_hide_traced(GtkWidget *, gpointer data)
{
    auto *trace = static_cast<CleanupTrace *>(data);
    trace->events.push_back("hide");
    trace->stored_before_hide = std::filesystem::exists(trace->config);
}

void on_destroy_traced(GtkWidget *, gpointer data)
{
    // Connected after the window's own destroy handler, which has just saved
    // the settings; removing the file shows whether clean-up saves again
    // afterwards.
    auto *trace = static_cast<CleanupTrace *>(data);
    trace->events.push_back("destroy");
    trace->stored_by_destroy = std::filesystem::exists(trace->config);
    std::filesystem::remove(trace->config);
}

TEST_F(PluginWindow, CleanupHidesAndDestroysTheWindowBeforeSavingTheSettings)
{
    get_eplugin_info()->configure();
    run_pending_events();
    ASSERT_NE(plugin_window1(), nullptr);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(control("chkExtFX")), TRUE);
    ASSERT_EQ(plugin_korva()->params.enable_extfx, 1) << "the check button writes the engine";

    CleanupTrace trace;
    trace.config = config;
    g_signal_connect(plugin_window1(), "hide", G_CALLBACK(on_hide_traced), &trace);
    g_signal_connect(plugin_window1(), "destroy", G_CALLBACK(on_destroy_traced), &trace);
    ASSERT_FALSE(std::filesystem::exists(config));

    get_eplugin_info()->cleanup();
    EXPECT_EQ(trace.events, (std::vector<std::string>{"hide", "destroy"}));
    EXPECT_FALSE(trace.stored_before_hide);
    EXPECT_TRUE(trace.stored_by_destroy);
    EXPECT_EQ(plugin_window1(), nullptr);
    EXPECT_EQ(plugin_korva(), nullptr);
    int extfx = 0;
    ASSERT_TRUE(read_key(config, "xmkorva_enable_extfx", extfx)) << "clean-up saved after the window was gone";
    EXPECT_EQ(extfx, 1);

    get_eplugin_info()->init();   // TearDown cleans up
}

TEST_F(PluginWindow, SettingsChangedInTheWindowSurviveARestart)
{
    get_eplugin_info()->configure();
    run_pending_events();   // shown and realized: the scrollbars are connected
    ASSERT_NE(plugin_window1(), nullptr);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(control("chkExtFX")), TRUE);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(control("chkEnable")), FALSE);
    gtk_adjustment_set_value(gtk_range_get_adjustment(GTK_RANGE(control("slSuperBass"))), 123.0);
    gtk_adjustment_set_value(gtk_range_get_adjustment(GTK_RANGE(control("slPreamp"))), 100.0);
    run_pending_events();
    ASSERT_EQ(plugin_korva()->params.superbass, 123);
    ASSERT_EQ(plugin_korva()->params.preamp, 284);

    // Close the player: clean-up closes the window and saves.
    get_eplugin_info()->cleanup();
    run_pending_events();
    ASSERT_EQ(plugin_korva(), nullptr);

    // Start again: the engine comes back with what the window had.
    get_eplugin_info()->init();
    ASSERT_NE(plugin_korva(), nullptr);
    EXPECT_EQ(plugin_korva()->params.enable_extfx, 1);
    EXPECT_EQ(plugin_korva()->params.enable_global, 0);
    EXPECT_EQ(plugin_korva()->params.superbass, 123);
    EXPECT_EQ(plugin_korva()->params.preamp, 284);
    EXPECT_EQ(plugin_korva()->params.dewoofer, 64) << "untouched fields keep their defaults";

    // And a new window shows them.
    get_eplugin_info()->configure();
    run_pending_events();
    ASSERT_NE(plugin_window1(), nullptr);
    EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(control("chkExtFX"))));
    EXPECT_EQ(gtk_range_get_value(GTK_RANGE(control("slSuperBass"))), 123.0);
}

TEST_F(PluginWindow, CleanupAlsoClosesTheAboutBoxAndPresetSelectors)
{
    // Their callbacks are in the plug-in, which the player may unload after
    // clean-up: none of its windows may stay behind.
    get_eplugin_info()->configure();
    get_eplugin_info()->about();
    run_pending_events();
    gtk_button_clicked(GTK_BUTTON(control("btnLoad")));
    gtk_button_clicked(GTK_BUTTON(control("btnSave")));
    run_pending_events();
    ASSERT_EQ(toplevels_titled("About Korva"), 1);
    ASSERT_EQ(toplevels_titled("Load Korva Preset"), 1);
    ASSERT_EQ(toplevels_titled("Save Korva Preset"), 1);

    get_eplugin_info()->cleanup();
    run_pending_events();
    EXPECT_EQ(korva_test::plugin_global<GtkWidget *>("msg_box_window"), nullptr);
    EXPECT_EQ(toplevels_titled("About Korva"), 0);
    EXPECT_EQ(toplevels_titled("Load Korva Preset"), 0);
    EXPECT_EQ(toplevels_titled("Save Korva Preset"), 0);
    EXPECT_EQ(toplevels_titled("Korva configuration"), 0);
    get_eplugin_info()->init();   // TearDown cleans up
}

TEST_F(PluginWindow, AboutShowsOneAboutBox)
{
    get_eplugin_info()->about();
    get_eplugin_info()->about();
    run_pending_events();
    EXPECT_EQ(toplevels_titled("About Korva"), 1);
}

} // namespace
