#include "follow_state.h"

#include "fileio/directories.h"

#include <cstdlib>
#include <fstream>

namespace korva::pwclient {

std::string follow_state_path()
{
    const std::string runtime = korva::fileio::xdg_folder("XDG_RUNTIME_DIR", nullptr);
    return runtime.empty() ? runtime : runtime + "/korva/follow-state";
}

std::map<std::string, std::string> read_follow_state(const std::string &path)
{
    std::map<std::string, std::string> state;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        const size_t colon = line.find(": ");
        if (colon != std::string::npos)
            state[line.substr(0, colon)] = line.substr(colon + 2);
        else if (!line.empty() && line.back() == ':')
            state[line.substr(0, line.size() - 1)] = "";
    }
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

}  // namespace korva::pwclient
