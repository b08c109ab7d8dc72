#include "sink_bypass.h"

#include <algorithm>

namespace {

std::string lower(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return text;
}

} // namespace

std::string bypass_reason(const korva::pwlive::LiveStream &stream, const korva::sinkfiles::SinkApps &apps)
{
    const std::string role = lower(stream.role);
    if (role == "communication" || role == "phone")
        return "call";
    if (korva::sinkfiles::sink_apps_match(apps, stream.application, stream.binary))
        return "excluded";
    return {};
}

std::vector<BypassAction> plan_bypass(const std::vector<korva::pwlive::LiveStream> &streams,
                                      const std::string &output, const korva::sinkfiles::SinkApps &apps,
                                      BypassMemory &memory, std::vector<std::string> &bypassing)
{
    std::vector<BypassAction> actions;
    std::set<std::string> present;
    for (const korva::pwlive::LiveStream &stream : streams) {
        const std::string key = stream.serial.empty() ? "id " + std::to_string(stream.id) : stream.serial;
        present.insert(key);
        if (stream.name.rfind("korva_sink", 0) == 0 || memory.left.count(key) > 0)
            continue;
        const std::string why = bypass_reason(stream, apps);
        std::set<std::string> &ours = memory.written[key];
        if (!stream.target.empty() && ours.count(stream.target) == 0) {
            if (why.empty() || stream.target != output) {
                // Moved by someone else: theirs from now on.
                memory.left.insert(key);
                memory.written.erase(key);
                continue;
            }
            ours.insert(stream.target);   // already where follow would send it
        }
        if (!stream.own_target.empty() && ours.empty()) {
            memory.written.erase(key);
            continue;   // made with a target of its own
        }
        if (!why.empty()) {
            if (!output.empty() && stream.target != output) {
                actions.push_back({stream.id, output});
                ours.insert(output);
            }
            if (!ours.empty()) {
                const std::string name = !stream.application.empty() ? stream.application
                                         : !stream.binary.empty()    ? stream.binary
                                                                     : stream.name;
                bypassing.push_back(name + " (node " + std::to_string(stream.id) + ", " + why + ")");
            }
        } else if (!ours.empty()) {
            if (!stream.target.empty())
                actions.push_back({stream.id, ""});
            memory.written.erase(key);
        } else {
            memory.written.erase(key);
        }
    }
    // Forget the streams that are gone.
    for (auto at = memory.written.begin(); at != memory.written.end();)
        at = present.count(at->first) > 0 ? std::next(at) : memory.written.erase(at);
    for (auto at = memory.left.begin(); at != memory.left.end();)
        at = present.count(*at) > 0 ? std::next(at) : memory.left.erase(at);
    return actions;
}
