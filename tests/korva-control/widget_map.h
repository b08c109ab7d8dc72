// The map that widgetmap.so (preloaded into a GTK 2 program) writes of the
// program's windows and named widgets, read from outside the process, and
// real pointer input at those places through xdotool.
#ifndef KORVA_TESTS_KORVA_CONTROL_WIDGET_MAP_H
#define KORVA_TESTS_KORVA_CONTROL_WIDGET_MAP_H

#include <map>
#include <string>
#include <vector>

namespace widget_map {

struct Widget {
    std::string type;
    int x = 0, y = 0, w = 0, h = 0;   // root-window rectangle
    bool visible = false;
    bool sensitive = false;
    std::string state;                 // toggle 0/1, option-menu position, range value; may be empty
};

struct Map {
    unsigned seq = 0;                            // the refresh it was written in
    std::vector<std::string> titles;             // every visible toplevel's title
    std::map<std::string, Widget> widgets;       // by name; MENUITEM:I for an open menu's items
};

// The map in `path`; empty (seq 0) while there is none.
Map read(const std::string &path);

// The first title that contains `part`, or empty.
std::string title_with(const Map &map, const std::string &part);

// Pointer input: a click at (x, y), or a press at `from`, motion in `steps`
// equal moves to `to` and a release.
bool click(int x, int y);
bool drag(int from_x, int from_y, int to_x, int to_y, int steps);

// Keys ("ctrl+a", "Return") and text typed into the window under the pointer.
bool keys(const std::vector<std::string> &names);
bool type(const std::string &text);

}  // namespace widget_map

#endif
