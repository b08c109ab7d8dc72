#include "x_input.h"

#include "ui_fixture.h"

#include <gdk/gdkx.h>

#include <cstdlib>

namespace korva_test {

bool have_xdotool()
{
    return std::string(KORVA_XDOTOOL).size() > 0;
}

bool xdotool(const std::string &args)
{
    // xdotool closes its display connection before it exits, so when this
    // returns the server has made every event it asked for.
    const std::string command = std::string(KORVA_XDOTOOL) + " " + args;
    return std::system(command.c_str()) == 0;
}

void settle()
{
    pump();
    gdk_display_sync(gdk_display_get_default());
    pump();
}

bool wait_for(const std::function<bool()> &done, int timeout_ms)
{
    const gint64 until = g_get_monotonic_time() + gint64{timeout_ms} * 1000;
    settle();
    while (!done()) {
        if (g_get_monotonic_time() > until)
            return false;
        pump(5);
        gdk_display_sync(gdk_display_get_default());
    }
    return true;
}

bool on_screen_now(GtkWidget *widget)
{
    GtkWidget *top = gtk_widget_get_toplevel(widget);
    return gtk_widget_get_mapped(widget) && gtk_widget_get_mapped(top) && top->window &&
           gdk_window_is_viewable(top->window) && widget->allocation.width > 1;
}

bool show_page(int page, GtkWidget *widget)
{
    gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook1), page);
    return wait_for([widget] { return on_screen_now(widget); });
}

Point at(GtkWidget *widget, int x, int y)
{
    gint ox = 0, oy = 0;
    gdk_window_get_origin(widget->window, &ox, &oy);
    // A widget without a window of its own is placed inside its parent's.
    if (!gtk_widget_get_has_window(widget)) {
        ox += widget->allocation.x;
        oy += widget->allocation.y;
    }
    return {ox + x, oy + y};
}

Point centre(GtkWidget *widget)
{
    return at(widget, widget->allocation.width / 2, widget->allocation.height / 2);
}

namespace {

std::string move(Point p)
{
    return "mousemove " + std::to_string(p.x) + " " + std::to_string(p.y);
}

}  // namespace

bool click(Point p, int button)
{
    return xdotool(move(p) + " click " + std::to_string(button));
}

// Pressed, moved a little (so the toolkit sees a drag start), moved to the
// end and released; the pauses let the motion arrive as separate events.
bool drag(Point from, Point to)
{
    const Point nudge{from.x + (to.x > from.x) - (to.x < from.x), from.y + (to.y > from.y) - (to.y < from.y)};
    return xdotool(move(from) + " mousedown 1 sleep 0.05 " + move(nudge) + " sleep 0.05 " + move(to) +
                   " sleep 0.05 mouseup 1");
}

bool focus(GtkWidget *toplevel)
{
    const unsigned long xid = GDK_WINDOW_XID(toplevel->window);
    return xdotool("windowfocus --sync " + std::to_string(xid)) &&
           wait_for([toplevel] { return gtk_window_has_toplevel_focus(GTK_WINDOW(toplevel)); });
}

bool keys(const std::string &names)
{
    return xdotool("key --clearmodifiers " + names);
}

bool type(const std::string &text)
{
    // Single quotes keep the shell away from the text; names with a single
    // quote are not needed by the tests.
    return text.find('\'') == std::string::npos && xdotool("type --delay 5 '" + text + "'");
}

void WindowOnScreenTest::SetUp()
{
    UiTest::SetUp();
    if (!have_xdotool())
        GTEST_SKIP() << "xdotool not installed";
    open_window();
    gui_update();
    ASSERT_TRUE(wait_for([] { return on_screen_now(window1); }));
}

}  // namespace korva_test
