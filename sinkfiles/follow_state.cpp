#include "follow_state.h"

#include "fileio/directories.h"
#include "fileio/file_read.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace korva::sinkfiles {

std::string follow_state_path()
{
    const std::string runtime = korva::fileio::xdg_folder("XDG_RUNTIME_DIR", nullptr);
    return runtime.empty() ? runtime : runtime + "/korva/follow-state";
}

namespace {

std::string one_line(std::string text)
{
    for (char &c : text)
        if (c == '\n' || c == '\r' || c == '\0')
            c = ' ';
    return text;
}

constexpr std::string_view kListSeparator = "; ";

} // namespace

std::string follow_state_text(const FollowState &state)
{
    std::string bypassing;
    for (const std::string &entry : state.bypassing) {
        // An entry never holds the separator, so the list reads back whole.
        if (entry.empty())
            continue;
        std::string item = one_line(entry);
        for (std::size_t at; (at = item.find(kListSeparator)) != std::string::npos;)
            item[at] = ',';
        bypassing.append(bypassing.empty() ? "" : kListSeparator).append(item);
    }
    return "pipewire: " + std::string(state.pipewire ? "connected" : "not running") +
           "\nsink: " + one_line(state.sink) + "\noutput: " + one_line(state.output) +
           "\nroute: " + one_line(state.route) + "\nprofile: " + one_line(state.profile) +
           "\npreset: " + one_line(state.preset) + "\napplied: " + one_line(state.applied) +
           "\nproblem: " + one_line(state.problem) + "\nbypassing: " + bypassing + "\n";
}

std::vector<std::string> follow_state_list(const std::string &value)
{
    std::vector<std::string> entries;
    for (std::size_t at = 0; at < value.size();) {
        const std::size_t end = std::min(value.find(kListSeparator, at), value.size());
        entries.push_back(value.substr(at, end - at));
        at = end + kListSeparator.size();
    }
    return entries;
}

bool parse_follow_state(const std::string &text, std::map<std::string, std::string> &state, std::string &problem)
{
    state.clear();
    if (text.size() > korva::fileio::kTextFileLimit) {
        problem = korva::fileio::too_large_text() + ", so not follow's state";
        return false;
    }
    std::map<std::string, std::string> read;
    std::map<std::string, int> lines;
    int number = 1;
    for (std::size_t at = 0; at < text.size(); ++number) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line(text.data() + at, end - at);
        at = end + 1;
        const std::string where = "line " + std::to_string(number) + ": ";
        if (line.find('\0') != std::string_view::npos) {
            problem = where + "a NUL byte";
            return false;
        }
        const std::size_t colon = line.find(": ");
        const std::string_view key = colon != std::string_view::npos ? line.substr(0, colon)
                                     : !line.empty() && line.back() == ':' ? line.substr(0, line.size() - 1)
                                                                           : std::string_view();
        if (key.empty() || key.find_first_of(" \t") != std::string_view::npos) {
            problem = where + "not a \"key: value\" line";
            return false;
        }
        const auto [first, added] = lines.emplace(std::string(key), number);
        if (!added) {
            problem = where + "the key " + first->first + " again (first on line " + std::to_string(first->second) +
                      ")";
            return false;
        }
        read[first->first] = colon != std::string_view::npos ? std::string(line.substr(colon + 2)) : std::string();
    }
    state = std::move(read);
    return true;
}

std::map<std::string, std::string> read_follow_state(const std::string &path, std::string *problem)
{
    std::map<std::string, std::string> state;
    std::string text, why;
    int error = 0;
    switch (korva::fileio::read_file(path.c_str(), text, korva::fileio::kTextFileLimit, &error)) {
    case korva::fileio::ReadStatus::ok:
        if (!parse_follow_state(text, state, why))   // "line 3: ..." becomes "PATH:3: ..."
            why = why.rfind("line ", 0) == 0 ? path + ":" + why.substr(5) : path + ": " + why;
        break;
    case korva::fileio::ReadStatus::missing:
        break;
    case korva::fileio::ReadStatus::too_large:
        why = path + ": " + korva::fileio::too_large_text() + ", so not follow's state";
        break;
    case korva::fileio::ReadStatus::failed:
        why = path + ": " + (error == 0 ? "not a regular file" : std::strerror(error));
        break;
    }
    if (problem != nullptr)
        *problem = why;
    return state;
}

std::string follow_state_summary(const std::map<std::string, std::string> &state)
{
    const auto value = [&state](const char *key) {
        const auto found = state.find(key);
        return found == state.end() ? std::string() : found->second;
    };
    std::string output = value("output");
    if (output.empty())
        return {};
    if (const std::string route = value("route"); !route.empty())
        output.append(":").append(route);
    if (!value("problem").empty())
        return output + ": profile not applied (" + value("problem") + ")";
    const std::string profile = value("profile");
    if (profile.empty() || profile == "none")
        return output + ": no profile";
    const std::string applied = value("applied");
    if (applied != "yes" && applied != "kept")
        return output + ": profile not applied";
    return output + ": " + value("preset") + (profile == "fallback" ? " (fallback)" : "");
}

}  // namespace korva::sinkfiles
