// LOAD, SAVE, Reset and Close under real pointer and keyboard events: names
// typed into the selector and confirmed with Return, buttons clicked.
#include "ui_fixture.h"
#include "x_input.h"

#include "libxmms/xmms_configfile.h"
#include "settings/korva_settings.h"

#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

using namespace korva_test;

// The file selector on screen, or null.
GtkWidget *open_selector()
{
    GtkWidget *found = nullptr;
    GList *toplevels = gtk_window_list_toplevels();
    for (GList *w = toplevels; w; w = w->next)
        if (GTK_IS_FILE_SELECTION(w->data) && on_screen_now(GTK_WIDGET(w->data)))
            found = GTK_WIDGET(w->data);
    g_list_free(toplevels);
    return found;
}

std::string name_field(GtkWidget *selector)
{
    return gtk_entry_get_text(GTK_ENTRY(GTK_FILE_SELECTION(selector)->selection_entry));
}

class RealInputFiles : public WindowOnScreenTest {
protected:
    // Clicks LOAD or SAVE and waits for the selector, with the keyboard on it.
    GtkWidget *open(GtkWidget *button)
    {
        if (!click(centre(button)) || !wait_for([] { return open_selector() != nullptr; }))
            return nullptr;
        GtkWidget *selector = open_selector();
        return focus(selector) ? selector : nullptr;
    }

    // Replaces the name field's text by typing, then presses Return.
    static bool enter(const std::string &text)
    {
        return keys("ctrl+a BackSpace") && type(text) && keys("Return");
    }
};

TEST_F(RealInputFiles, SaveThenLoadByTypingNamesAndADirectoryIsEntered)
{
    // The block to save is set directly; the controls' own tests drive them.
    KorvaParams saved = params();
    saved.superbass = 200;
    saved.chain_index = 5;
    set_params(saved);
    gui_update();
    saved = params();

    GtkWidget *selector = open(btnSave);
    ASSERT_NE(selector, nullptr);
    const std::string path = scratch("warm.kp");
    ASSERT_TRUE(enter(path));
    ASSERT_TRUE(wait_for([] { return open_selector() == nullptr; })) << "the selector closes after a save";
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::string(last_preset_file), path);

    // Change the block, then load the file back; a directory name first.
    KorvaParams other = saved;
    other.superbass = 7;
    other.chain_index = 1;
    set_params(other);
    gui_update();

    selector = open(btnLoad);
    ASSERT_NE(selector, nullptr);
    EXPECT_EQ(name_field(selector), "warm.kp") << "the selector opens at the last preset";
    ASSERT_TRUE(enter(dir.path.string()));
    // The selector now lists that directory, with an empty name field.
    ASSERT_TRUE(wait_for([&] {
        std::error_code ignored;
        return name_field(selector).empty() &&
               std::filesystem::equivalent(gtk_file_selection_get_filename(GTK_FILE_SELECTION(selector)), dir.path, ignored);
    })) << gtk_file_selection_get_filename(GTK_FILE_SELECTION(selector));
    EXPECT_EQ(open_selector(), selector) << "entering a directory keeps the selector open";
    EXPECT_EQ(params().superbass, 7);

    ASSERT_TRUE(enter("warm.kp"));  // relative to the directory entered
    ASSERT_TRUE(wait_for([] { return open_selector() == nullptr; }));
    EXPECT_TRUE(wait_for([&] { return std::memcmp(&korva->params, &saved, sizeof saved) == 0; }));
    EXPECT_EQ(slider_value(slSuperBass), 200);
    EXPECT_EQ(option_menu_index(chChainer), 5);
}

TEST_F(RealInputFiles, FailuresShowTheirTextInTheNameFieldAndTheSelectorStaysOpen)
{
    const std::string junk = scratch("junk.kp");
    std::ofstream(junk) << "not a preset";
    const KorvaParams before = params();

    struct Case {
        GtkWidget *button;
        std::string name;
        const char *shown;
    };
    for (const Case &c : {Case{btnLoad, junk, "NOT A PRESET FILE"},
                          Case{btnSave, scratch("no/such/dir/x.kp"), "SAVE FAILED (POSSIBLY NO ACCESS TO DIRECTORY?)"}}) {
        SCOPED_TRACE(c.name);
        GtkWidget *selector = open(c.button);
        ASSERT_NE(selector, nullptr);
        ASSERT_TRUE(enter(c.name));
        EXPECT_TRUE(wait_for([&] { return name_field(selector) == c.shown; })) << name_field(selector);
        EXPECT_EQ(open_selector(), selector);
        // Cancel, clicked, closes it.
        ASSERT_TRUE(click(centre(GTK_FILE_SELECTION(selector)->cancel_button)));
        EXPECT_TRUE(wait_for([] { return open_selector() == nullptr; }));
    }
    EXPECT_EQ(std::memcmp(&korva->params, &before, sizeof before), 0);
    EXPECT_STREQ(last_preset_file, "~/");
}

TEST_F(RealInputFiles, ResetThenCloseStoresWhatTheWindowShows)
{
    // Changed with the pointer: reversed stereo on, master switch off, a
    // frequency correction and a SuperBass setting that Reset undoes.
    KorvaParams before = params();
    ASSERT_TRUE(click(at(chkEnable, 8, chkEnable->allocation.height / 2)));
    ASSERT_TRUE(show_page(5, chkSwap));
    for (GtkWidget *check : {chkSwap, chkFQ})
        ASSERT_TRUE(click(at(check, 8, check->allocation.height / 2)));
    before.enable_global = 0;
    before.spc_swapstereo = 1;
    before.spc_mode = 1;
    ASSERT_TRUE(wait_for([&] { return std::memcmp(&korva->params, &before, sizeof before) == 0; }));

    ASSERT_TRUE(click(centre(btnReset)));
    KorvaParams want;
    korva_default_params(&want);
    want.enable_global = 0;
    want.spc_swapstereo = 1;
    ASSERT_TRUE(wait_for([&] { return std::memcmp(&korva->params, &want, sizeof want) == 0; }));
    EXPECT_FALSE(active(chkEnable));
    EXPECT_TRUE(active(chkSwap));
    EXPECT_FALSE(active(chkFQ));

    ASSERT_TRUE(click(centre(btnClose)));
    ASSERT_TRUE(wait_for([] { return window1 == nullptr; }));
    KorvaParams file;
    ASSERT_TRUE(read_settings_file(config, file));
    EXPECT_EQ(std::memcmp(&file, &want, sizeof want), 0);
}

}  // namespace
