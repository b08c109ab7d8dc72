// Real input for the window tests: pointer and keyboard events generated in
// the X server with xdotool, as a person would produce them, and waiting
// (with the main loop running) until the window has reacted.
#ifndef KORVA_TESTS_UI_X_INPUT_H
#define KORVA_TESTS_UI_X_INPUT_H

#include "ui_fixture.h"

#include <gtk/gtk.h>

#include <functional>
#include <string>

namespace korva_test {

// Root-window coordinates.
struct Point {
    int x, y;
};

bool have_xdotool();

// Runs xdotool with the arguments; true when it succeeded.
bool xdotool(const std::string &args);

// Pumps the main loop until `done` holds or `timeout_ms` has passed; the
// machine may be loaded, so the default is generous.
bool wait_for(const std::function<bool()> &done, int timeout_ms = 10000);

// Lets the X server and the toolkit catch up: every request sent, every
// event that xdotool caused read and handled.
void settle();

// Shows notebook page `page` and waits until `widget` on it is mapped and
// placed, so that events at its position reach it.
bool show_page(int page, GtkWidget *widget);

// Whether a widget is mapped with its toplevel on screen.
bool on_screen_now(GtkWidget *widget);

// A point inside a widget, (x, y) from its top-left corner.
Point at(GtkWidget *widget, int x, int y);
Point centre(GtkWidget *widget);

// Pointer actions; each returns when xdotool has finished.
bool click(Point p, int button = 1);
bool drag(Point from, Point to);

// Keyboard focus for a toplevel, then keys ("space", "Down", "ctrl+a") or text.
bool focus(GtkWidget *toplevel);
bool keys(const std::string &names);
bool type(const std::string &text);

// The plug-in's window open and on screen, ready for real input; skipped
// where xdotool is not installed.
class WindowOnScreenTest : public UiTest {
protected:
    void SetUp() override;
};

}  // namespace korva_test

#endif
