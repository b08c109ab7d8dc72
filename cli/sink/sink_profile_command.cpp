#include "sink_profile_command.h"

#include "cli/params/preset_library.h"
#include "cli/common/text_columns.h"
#include "sink_follow.h"
#include "sink_profiles.h"

#include "fileio/directories.h"
#include "sinkfiles/follow_lock.h"
#include "sinkfiles/follow_state.h"
#include "pwlive/output_watch.h"
#include "sinkfiles/sink_fragment_store.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

using namespace korva::pwlive;
using namespace korva::sinkfiles;

// How long `status` waits for PipeWire's picture of the graph.
constexpr int kGraphMs = 3000;

// What the profiles file keeps for a PRESET argument, resolved here once
// (follow runs in another folder): the user's file (a path, or anything of
// that name in the working folder) as its absolute path, a factory preset as
// the index's name for it. The preset is read wholly first, as follow will
// read it: one that cannot be applied is refused. `used` says which it was.
Status preset_entry(const std::string &argument, std::string &entry, std::string &used)
{
    PresetChoice choice;
    if (Status status = resolve_preset(argument, PresetArgument::command_line, choice); !status.ok())
        return failure(status.message + ": nothing changed");
    entry = choice.factory.empty() ? std::filesystem::absolute(choice.path).lexically_normal().string()
                                   : choice.factory;
    KorvaParams params;
    if (Status status = load_profile_preset(entry, params); !status.ok())
        return failure(status.message + ": nothing changed");
    used = choice.factory.empty() ? "the file " + choice.path + ", kept as its absolute path"
                                  : "factory preset";
    return success();
}

Status change_profiles(const std::function<Status(SinkProfiles &)> &change)
{
    std::string path;
    if (Status status = sink_profiles_path(path); !status.ok())
        return status;
    // Under a lock beside the file, so two changes at the same moment both land.
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (int why = 0; !korva::fileio::make_directories(folder.c_str(), 0777, &why))
        return failure(folder + ": cannot create the folder: " + std::strerror(why));
    KorvaFragmentError error{};
    const int lock = korva_fragment_lock(path.c_str(), 5000, &error);
    if (lock < 0)
        return failure(error.message);
    SinkProfiles profiles;
    Status status = read_sink_profiles(path, profiles);
    if (status.ok())
        status = change(profiles);
    if (status.ok())
        status = write_korva_file(path, sink_profiles_text(profiles));
    korva_fragment_unlock(lock);
    return status;
}

Status run_set(const SinkProfileOptions &options)
{
    const bool fallback = !options.fallback.empty();
    if (fallback == !options.device.empty() || fallback == !options.preset.empty())
        return failure("profile set takes DEVICE PRESET, or --fallback PRESET", 2);
    std::string device_quoted;
    if (Status status = quote_profile_string(options.device, device_quoted); !status.ok())
        return status;
    std::string entry, used;
    if (Status status = preset_entry(fallback ? options.fallback : options.preset, entry, used); !status.ok())
        return status;
    if (Status status = change_profiles([&](SinkProfiles &profiles) {
            if (fallback) {
                profiles.fallback = entry;
                return success();
            }
            auto same = std::find_if(profiles.devices.begin(), profiles.devices.end(),
                                     [&](const auto &profile) { return profile.first == options.device; });
            if (same != profiles.devices.end())
                same->second = entry;
            else
                profiles.devices.emplace_back(options.device, entry);
            return success();
        });
        !status.ok())
        return status;
    std::printf("%s: %s (%s)\n", fallback ? "fallback" : options.device.c_str(), entry.c_str(), used.c_str());
    return success();
}

Status run_remove(const SinkProfileOptions &options)
{
    if (options.remove_fallback == !options.device.empty())
        return failure("profile remove takes DEVICE, or --fallback", 2);
    bool removed = false;
    if (Status status = change_profiles([&](SinkProfiles &profiles) {
            if (options.remove_fallback) {
                removed = !profiles.fallback.empty();
                profiles.fallback.clear();
                return success();
            }
            const auto kept = std::remove_if(profiles.devices.begin(), profiles.devices.end(),
                                             [&](const auto &profile) { return profile.first == options.device; });
            removed = kept != profiles.devices.end();
            profiles.devices.erase(kept, profiles.devices.end());
            return success();
        });
        !status.ok())
        return status;
    const std::string what = options.remove_fallback ? "fallback" : "profile for " + options.device;
    std::printf(removed ? "removed the %s\n" : "there was no %s: nothing changed\n", what.c_str());
    return success();
}

// " (cannot be applied: WHY)" for a preset that is gone or damaged.
std::string preset_problem_text(const std::string &preset)
{
    KorvaParams params;
    const Status loaded = load_profile_preset(preset, params);
    return loaded.ok() ? "" : "  (cannot be applied: " + loaded.message + ")";
}

std::string follow_text()
{
    std::string path;
    if (!follow_state_path(path).ok())
        return "";
    // The state file outlives its writer: only a follow holding the lock
    // stands behind it.
    const pid_t running = follow_running();
    if (running == 0)
        return "follow: not running (systemctl --user start korva-follow.service starts it)\n";
    std::string problem;
    const auto state = read_follow_state(path, &problem);
    if (!problem.empty())
        return "follow: state unreadable: " + problem + "\n";
    if (state.empty())
        return "follow: running" + (running > 0 ? " as pid " + std::to_string(running) : std::string()) +
               ", no state yet\n";
    auto value = [&](const char *key) {
        const auto found = state.find(key);
        return found == state.end() ? std::string() : found->second;
    };
    std::string text = "follow: output " + (value("output").empty() ? "(none)" : value("output"));
    if (!value("route").empty())
        text += ":" + value("route");
    text += ", profile " + value("profile") + ", preset " + (value("preset").empty() ? "(none)" : value("preset")) +
            ", applied " + value("applied") + "\n";
    if (!value("problem").empty())
        text += "follow: " + value("problem") + "\n";
    return text;
}

Status run_list()
{
    std::string path;
    if (Status status = sink_profiles_path(path); !status.ok())
        return status;
    SinkProfiles profiles;
    if (Status status = read_sink_profiles(path, profiles); !status.ok())
        return status;
    size_t width = std::string("fallback").size();
    for (const auto &[device, preset] : profiles.devices)
        width = column_width(width, device);
    std::string text;
    for (const auto &[device, preset] : profiles.devices)
        text += padded(device, width) + "  " + preset + preset_problem_text(preset) + "\n";
    if (!profiles.fallback.empty())
        text += padded("fallback", width) + "  " + profiles.fallback + preset_problem_text(profiles.fallback) + "\n";
    if (text.empty())
        text = "no profiles (korva sink profile set DEVICE PRESET adds one; korva sink status lists the outputs)\n";
    std::fputs((text + follow_text()).c_str(), stdout);
    return success();
}

} // namespace

void add_sink_profile_commands(CLI::App *sink, SinkProfileOptions &options)
{
    options.profile = sink->add_subcommand("profile", "a preset per output device, applied by korva sink follow");
    options.profile->require_subcommand(1);
    options.set = options.profile->add_subcommand("set", "give an output, or every output without one, a preset");
    options.set->add_option("DEVICE", options.device, "node.name or node.name:ROUTE");
    options.set->add_option("PRESET", options.preset, "preset file or factory preset name");
    options.set->add_option("--fallback", options.fallback, "the preset of every output without a profile")
        ->type_name("PRESET");
    options.set->footer(
        "DEVICE is an output's node.name as korva sink status lists it, or node.name:ROUTE for one route of it "
        "(analog-output-headphones, [Out] Headphones). A profile for node.name:ROUTE wins over one for node.name, "
        "which wins over the fallback.\nPRESET is resolved now, where you run this: a file (a path, or anything of that "
        "name here) is kept as its absolute path, a factory preset as its name; the output says which. Profiles "
        "are kept in $XDG_CONFIG_HOME/korva/sink-profiles.");
    options.remove = options.profile->add_subcommand("remove", "forget an output's profile, or the fallback");
    options.remove->add_option("DEVICE", options.device, "node.name or node.name:ROUTE");
    options.remove->add_flag("--fallback", options.remove_fallback, "forget the fallback");
    options.list = options.profile->add_subcommand("list", "each profile, and what korva sink follow applied");
    options.follow = sink->add_subcommand("follow", "apply the profile of the output in use whenever it changes "
                                                    "(runs until stopped; the korva-follow user service runs it; one at a "
                                                    "time: a second exits with status 4), and keep calls and the "
                                                    "programs of korva sink apps out of Korva");
    add_sink_apps_command(sink, options.apps);
}

bool sink_profile_parsed(const SinkProfileOptions &options)
{
    return options.profile->parsed() || options.follow->parsed() || options.apps.apps->parsed();
}

Status run_sink_profile_command(const SinkProfileOptions &options)
{
    if (options.follow->parsed())
        return run_sink_follow();
    if (options.apps.apps->parsed())
        return run_sink_apps_command(options.apps);
    if (options.set->parsed())
        return run_set(options);
    if (options.remove->parsed())
        return run_remove(options);
    return run_list();
}

std::string sink_outputs_text()
{
    std::string problem;
    OutputWatch *watch = output_watch_new({}, problem);
    if (watch == nullptr)
        return "outputs: " + problem + "\n";
    Graph graph;
    const bool known = output_watch_wait(watch, kGraphMs) && output_watch_graph(watch, graph);
    output_watch_free(watch);
    if (!known)
        return "outputs: unknown (PipeWire did not answer)\n" + follow_text();
    std::string text = "outputs (DEVICE for korva sink profile set):\n";
    for (const GraphNode &node : graph.nodes) {
        if (node.media_class != "Audio/Sink" || node.name == "korva_sink")
            continue;
        text += "  " + node.name + (node.description.empty() ? "" : "  (" + node.description + ")") + "\n";
        const GraphRoute *active = active_route(graph, node);
        for (const GraphRoute *route : possible_routes(graph, node))
            text += "  " + node.name + ":" + route->name + "  (" + route->description +
                    (active != nullptr && active->name == route->name ? ", active" : "") +
                    (route->available == "no" ? ", unplugged" : "") + ")\n";
    }
    const OutputInUse in_use = output_in_use(graph);
    text += "korva plays into: " +
            (in_use.node.empty() ? std::string("nothing (korva_sink.output is not linked)")
                                 : in_use.node + (in_use.route.empty() ? "" : ":" + in_use.route)) +
            "\n";
    return text + follow_text();
}
