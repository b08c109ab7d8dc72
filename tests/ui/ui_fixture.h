// Shared set-up for the window tests: a fresh engine in `korva`, a private
// configuration file and scratch directory, and ways to drive the controls
// as the toolkit does on a user's action.
#ifndef KORVA_TESTS_UI_UI_FIXTURE_H
#define KORVA_TESTS_UI_UI_FIXTURE_H

#include "xmms_plugin/korva_plugin.h"
#include "xmms_plugin/window_names.h"
#include "tests/support/scratch.h"
#include "ui/korva_ui.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <filesystem>
#include <string>
#include <vector>

namespace korva_test {

// Runs the main loop until nothing is pending, then keeps going for at least
// `ms` milliseconds (X events from other processes arrive late).
void pump(int ms = 0);

// Collects what the window code logs in the default domain.
struct LogCapture {
    struct Entry {
        GLogLevelFlags level;
        std::string message;
    };
    std::vector<Entry> entries;
    guint handler;

    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;
};

KorvaParams params();
// The plug-in's settings stored in a configuration file, over the defaults;
// false when the file cannot be read.
bool read_settings_file(const std::string &path, KorvaParams &block);
void set_params(const KorvaParams &p);

double slider_value(GtkWidget *scrollbar);
void move_slider(GtkWidget *scrollbar, double value);  // as a drag would
void toggle(GtkWidget *button);                         // as a click would
void choose(GtkWidget *option_menu, int position);      // as picking the item would
bool active(GtkWidget *toggle_button);
std::string label_text(GtkWidget *widget);              // a label, or a button's label
std::string description();                              // txtBWdesc's whole text
std::string entry_text(GtkWidget *file_selector);       // the name field of a selector

// Labels of an option menu's items in order, including the one it shows.
std::vector<std::string> menu_labels(GtkWidget *option_menu);

class UiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the window; with `shown`, shows it and visits every page so
    // every scrollbar is realized and connected, then returns to page 0.
    GtkWidget *open_window(bool shown = true);
    void close_window();

    std::string scratch(const std::string &name) const { return dir.file(name); }

    ScratchDir dir;
    std::string config;
};

}  // namespace korva_test

#endif
