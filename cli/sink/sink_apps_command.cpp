#include "sink_apps_command.h"

#include "sinkfiles/follow_lock.h"
#include "sinkfiles/follow_state.h"
#include "sinkfiles/sink_apps.h"

#include <cstdio>

namespace {

using namespace korva::sinkfiles;

Status run_change(const std::string &name, bool exclude)
{
    std::string path, problem;
    if (!sink_apps_path(path, problem))
        return failure(problem);
    bool changed = false;
    if (!change_sink_apps(path, name, exclude, changed, problem))
        return failure(problem);
    if (exclude)
        std::printf(changed ? "%s: its streams bypass Korva (korva sink follow applies it)\n"
                            : "%s: excluded already\n",
                    name.c_str());
    else
        std::printf(changed ? "%s: its streams go through Korva again\n" : "%s: was not excluded\n", name.c_str());
    return success();
}

Status run_list()
{
    std::string path, problem;
    if (!sink_apps_path(path, problem))
        return failure(problem);
    SinkApps apps;
    const bool read = read_sink_apps(path, apps, problem);
    std::printf("calls (media.role Communication or phone) bypass Korva\n");
    if (!read)
        std::printf("excluded programs: none can be read: %s\n", problem.c_str());
    else if (apps.excluded.empty())
        std::printf("excluded programs: none (korva sink apps exclude NAME)\n");
    else
        std::printf("excluded programs:\n");
    for (const std::string &name : apps.excluded)
        std::printf("  %s\n", name.c_str());
    if (follow_running() == 0) {
        std::printf("bypassing now: unknown: korva sink follow is not running, so nothing bypasses Korva\n");
    } else {
        const std::vector<std::string> now = follow_state_list(read_follow_state(follow_state_path())["bypassing"]);
        std::printf(now.empty() ? "bypassing now: none\n" : "bypassing now:\n");
        for (const std::string &entry : now)
            std::printf("  %s\n", entry.c_str());
    }
    return read ? success() : failure(problem);
}

} // namespace

void add_sink_apps_command(CLI::App *sink, SinkAppsOptions &options)
{
    options.apps = sink->add_subcommand("apps", "programs whose streams bypass Korva, as calls do");
    options.apps->require_subcommand(1);
    options.apps->footer(
        "Streams with media.role Communication (a call; PulseAudio's \"phone\") bypass Korva and go straight to the "
        "output Korva plays into; so do the streams of the programs excluded here. NAME is matched, in any case, "
        "against a stream's application.name or application.process.binary: many call programs set no media.role, "
        "so name them here (pw-dump or `pactl list sink-inputs` show both while they play). korva sink follow "
        "applies the list within a second; a stream moved by hand is left where it was put. The list is kept in "
        "$XDG_CONFIG_HOME/korva/sink-apps.");
    options.exclude = options.apps->add_subcommand("exclude", "let a program's streams bypass Korva");
    options.exclude->add_option("NAME", options.name, "application.name or application.process.binary")->required();
    options.include = options.apps->add_subcommand("include", "send a program's streams through Korva again");
    options.include->add_option("NAME", options.name, "a name given to exclude")->required();
    options.list = options.apps->add_subcommand("list", "the excluded programs, and the streams bypassing Korva now");
}

Status run_sink_apps_command(const SinkAppsOptions &options)
{
    if (options.exclude->parsed())
        return run_change(options.name, true);
    if (options.include->parsed())
        return run_change(options.name, false);
    return run_list();
}
