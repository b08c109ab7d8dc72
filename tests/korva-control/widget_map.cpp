#include "widget_map.h"

#include "tests/support/run_captured.h"
#include "tests/support/scratch.h"

#include <sstream>

namespace widget_map {

namespace {

// widgetmap writes '%', spaces and control characters as %XX.
std::string unescape(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool xdotool(const std::vector<std::string> &args)
{
    std::vector<std::string> argv = {"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    return korva_test::run_captured(argv).exit_code == 0;
}

}  // namespace

Map read(const std::string &path)
{
    Map map;
    std::istringstream lines(korva_test::read_file(path));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string first;
        fields >> first;
        if (first == "#") {
            std::string word;
            unsigned pid = 0;
            fields >> word >> pid >> map.seq;
        } else if (first == "WINDOW") {
            std::string title;
            fields >> title;
            map.titles.push_back(unescape(title));
        } else if (!first.empty()) {
            Widget w;
            int visible = 0, sensitive = 0;
            fields >> w.type >> w.x >> w.y >> w.w >> w.h >> visible >> sensitive >> w.state;
            w.visible = visible != 0;
            w.sensitive = sensitive != 0;
            w.state = unescape(w.state);
            map.widgets[unescape(first)] = w;
        }
    }
    return map;
}

std::string title_with(const Map &map, const std::string &part)
{
    for (const std::string &title : map.titles)
        if (title.find(part) != std::string::npos)
            return title;
    return {};
}

bool click(int x, int y)
{
    return xdotool({"mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"});
}

bool drag(int from_x, int from_y, int to_x, int to_y, int steps)
{
    std::vector<std::string> args = {"mousemove", "--sync", std::to_string(from_x), std::to_string(from_y),
                                     "mousedown", "1", "sleep", "0.05"};
    for (int i = 1; i <= steps; ++i) {
        const int x = from_x + (to_x - from_x) * i / steps, y = from_y + (to_y - from_y) * i / steps;
        args.insert(args.end(), {"mousemove", std::to_string(x), std::to_string(y), "sleep", "0.05"});
    }
    args.insert(args.end(), {"mouseup", "1"});
    return xdotool(args);
}

bool keys(const std::vector<std::string> &names)
{
    std::vector<std::string> args = {"key", "--clearmodifiers"};
    args.insert(args.end(), names.begin(), names.end());
    return xdotool(args);
}

bool type(const std::string &text)
{
    return xdotool({"type", "--delay", "5", text});
}

}  // namespace widget_map
