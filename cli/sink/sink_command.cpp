#include "sink_command.h"

#include "engine/param_fields.h"
#include "plugin_core/ports.h"
#include "cli/params/param_options.h"
#include "sink_follow_service.h"
#include "sink_compare.h"
#include "sinksetup/sink_fragment.h"
#include "sinksetup/sink_install.h"
#include "sinksetup/sink_plugin.h"
#include "pwlive/sink_client.h"
#include "sinkfiles/sink_fragment_store.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char *kRestartHint = "systemctl --user restart pipewire";

// The sink's fragment, where PipeWire looks for the user's fragments.
Status fragment_path(std::string &path)
{
    char found[PATH_MAX];
    KorvaFragmentError error{};
    if (!korva_fragment_path(found, sizeof found, &error))
        return failure(error.message);
    path = found;
    return success();
}

// How long korva waits for PipeWire's first answers and for a read-back.
constexpr int kAnswerMs = 5000;

// A client of the running PipeWire, freed when it goes out of scope.
struct LiveSink {
    KorvaSinkClient *client = nullptr;
    KorvaSinkState state = KORVA_SINK_PIPEWIRE_DOWN;
    std::string problem;   // why no client could start

    LiveSink()
    {
        char error[256] = "";
        client = korva_sink_client_new(nullptr, error, sizeof error);
        if (client == nullptr)
            problem = error;
        else
            state = korva_sink_client_wait(client, kAnswerMs);
    }
    LiveSink(const LiveSink &) = delete;
    LiveSink &operator=(const LiveSink &) = delete;
    ~LiveSink() { korva_sink_client_free(client); }

    // Why the change cannot reach the sink, in the user's terms; empty when connected.
    std::string why_not() const
    {
        if (client == nullptr)
            return problem;
        switch (state) {
        case KORVA_SINK_CONNECTED: return {};
        case KORVA_SINK_CONNECTING: return "PipeWire did not answer within 5 seconds";
        case KORVA_SINK_PIPEWIRE_DOWN: return "PipeWire is not running";
        case KORVA_SINK_NOT_RUNNING:
            return std::string("PipeWire has no node ") + KORVA_SINK_NODE_NAME + ": the sink is not running";
        case KORVA_SINK_NOT_KORVA:
            return std::string("the PipeWire node ") + KORVA_SINK_NODE_NAME +
                   " is not Korva's sink (it has no korva: controls): another program made it";
        }
        return "unknown state";
    }
};

std::string number_text(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// " FIELD=VALUE" for every control in `values`.
std::string values_text(const KorvaSinkValues &values)
{
    std::string text;
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
        if (values.present[i])
            text += std::string(" ") + korva_param_fields[i].name + "=" + number_text(values.value[i]);
    return text;
}

// The settings as the plug-in will use them: a value outside a control's
// range is clamped (and rounded) by the plug-in's own rule, and said so.
Status build_sink_params(const ParamSources &sources, KorvaParams &params, PresetChoice &preset)
{
    if (Status status = build_params(sources, params, &preset); !status.ok())
        return status;
    clamp_to_ports(params, [](int i, int32_t was, int32_t used) {
        std::fprintf(stderr, "korva: warning: %s=%d is outside the plug-in's range %d..%d: the sink uses %d\n",
                     korva_param_fields[i].name, was, korva_controls[i].minimum, korva_controls[i].maximum, used);
    });
    return success();
}

// What the sink is made of: the settings as the plug-in will use them and
// the path of the LADSPA plug-in (checked, not required to exist yet).
Status sink_parts(const ParamSources &sources, KorvaParams &params, std::string &plugin, PresetChoice &preset)
{
    if (Status status = build_sink_params(sources, params, preset); !status.ok())
        return status;
    plugin = ladspa_plugin_path();
    if (std::string problem = check_plugin_path(plugin); !problem.empty())
        return failure(problem);
    return success();
}

Status run_install(const ParamSources &sources)
{
    KorvaParams params;
    std::string plugin;
    PresetChoice preset;
    if (Status status = sink_parts(sources, params, plugin, preset); !status.ok())
        return status;
    SinkInstalled installed;
    if (std::string problem = install_sink(params, installed); !problem.empty())
        return failure(problem);
    std::fputs(preset_report_line(preset).c_str(), stdout);
    std::printf("wrote %s\nrestart PipeWire to load it:\n  %s\nthen choose \"Korva\" as the output.\n",
                installed.path.c_str(), kRestartHint);
    enable_follow_service();
    return success();
}

Status run_remove()
{
    std::string path;
    if (Status status = fragment_path(path); !status.ok())
        return status;
    // Under the writers' lock, so a `set` at the same moment cannot put the
    // file back. The lock file stays: a writer may be waiting on it.
    struct stat folder {};
    int lock = -1;
    if (stat(path.substr(0, path.rfind('/')).c_str(), &folder) == 0) {
        KorvaFragmentError error{};
        lock = korva_fragment_lock(path.c_str(), kAnswerMs, &error);
        if (lock < 0)
            return failure(error.message);
    }
    const int removed = unlink(path.c_str());
    const int unlink_error = errno;
    korva_fragment_unlock(lock);
    if (removed != 0) {
        errno = unlink_error;
        if (errno == ENOENT) {
            std::printf("not installed: %s does not exist\n", path.c_str());
            return success();
        }
        return failure(path + ": cannot remove the sink configuration: " + std::strerror(errno));
    }
    std::printf("removed %s\nrestart PipeWire to drop the sink:\n  %s\n", path.c_str(), kRestartHint);
    disable_follow_service();
    return success();
}

Status run_status()
{
    std::string path;
    if (Status status = fragment_path(path); !status.ok())
        return status;
    std::string text;
    struct stat file {};
    if (stat(path.c_str(), &file) != 0 && errno == ENOENT) {
        text += "installed: no (" + path + " does not exist)\n";
    } else {
        KorvaFragmentContents saved{};
        KorvaFragmentError error{};
        if (!korva_fragment_read(path.c_str(), &saved, &error)) {
            text += std::string("installed: unreadable: ") + error.message + "\n";
        } else {
            text += "installed: yes, " + path + "\n";
            const std::string plugin = saved.plugin;
            const std::string unloadable = plugin.empty() ? std::string() : check_ladspa_plugin(plugin);
            text += "plug-in: " + (plugin.empty() ? std::string("(not named in the file)") : plugin) +
                    (unloadable.empty() ? "" : " (PipeWire cannot create the sink: " + unloadable + ")") + "\n";
            text += "saved:" + values_text(saved.controls) + "\n";
        }
    }
    const LiveSink live;
    KorvaSinkValues values{};
    if (live.state == KORVA_SINK_CONNECTED && korva_sink_client_values(live.client, &values)) {
        text += std::string("running: yes, node ") + KORVA_SINK_NODE_NAME + "\nlive:" + values_text(values) + "\n";
        text += "compare: " + compare_status_text(values) + "\n";
    } else {
        text += "running: no, " + live.why_not() + "\n";
    }
    if (live.state != KORVA_SINK_PIPEWIRE_DOWN)
        text += sink_outputs_text();
    std::fputs(text.c_str(), stdout);
    return success();
}

// The assignments as changes, each value read exactly as --set reads it
// (truncated to the field's width) and clamped to the plug-in's range with a
// warning. The first bad one fails the whole set before anything is sent.
Status sink_changes(const std::vector<std::string> &assignments, std::vector<KorvaSinkChange> &changes)
{
    KorvaParams scratch;
    korva_default_params(&scratch);
    for (const std::string &assignment : assignments) {
        if (Status status = apply_assignment(assignment, scratch); !status.ok()) {
            if (status.message.rfind("--set ", 0) == 0)
                status.message.replace(0, 6, "sink set ");
            return status;
        }
        const std::string name = assignment.substr(0, assignment.find('='));
        const KorvaParamField *field = korva_param_field_find(name.c_str());
        const int index = static_cast<int>(field - korva_param_fields);
        const int32_t value = korva_param_get(&scratch, field);
        const int32_t used = static_cast<int32_t>(korva_sink_control_value(index, value));
        if (used != value)
            std::fprintf(stderr, "korva: warning: %s=%d is outside the plug-in's range %d..%d: the sink uses %d\n",
                         field->name, value, korva_controls[index].minimum, korva_controls[index].maximum, used);
        // A field given twice is sent once, with its last value.
        auto same = std::find_if(changes.begin(), changes.end(),
                                 [&](const KorvaSinkChange &change) { return change.field == index; });
        if (same != changes.end())
            same->value = static_cast<float>(used);
        else
            changes.push_back({index, static_cast<float>(used)});
    }
    return success();
}

std::string changes_text(const std::vector<KorvaSinkChange> &changes)
{
    std::string text;
    for (const KorvaSinkChange &change : changes)
        text += std::string(" ") + korva_param_fields[change.field].name + "=" + number_text(change.value);
    return text;
}

// Sends the changes in one Props change and reads the node back.
Status set_live(const LiveSink &live, const std::vector<KorvaSinkChange> &changes)
{
    KorvaSinkValues before{};
    korva_sink_client_values(live.client, &before);
    for (const KorvaSinkChange &change : changes)
        if (!before.present[change.field])
            return failure(std::string("the node ") + KORVA_SINK_NODE_NAME + " has no control korva:" +
                           korva_param_fields[change.field].name +
                           " (a sink of another Korva version?): nothing changed");
    if (!korva_sink_client_set(live.client, changes.data(), static_cast<int>(changes.size())))
        return failure(std::string("the sink went away before the change was sent: ") + live.why_not());
    KorvaSinkValues after{};
    if (!korva_sink_client_refresh(live.client, &after, kAnswerMs))
        return failure(std::string("the sink did not answer after the change (") + live.why_not() + ")");
    for (const KorvaSinkChange &change : changes)
        if (static_cast<float>(after.value[change.field]) != change.value)
            return failure(std::string(KORVA_SINK_NODE_NAME) + " did not take " +
                           korva_param_fields[change.field].name + "=" + number_text(change.value) + " (it holds " +
                           number_text(after.value[change.field]) + ")");
    return success();
}

Status run_set(const std::vector<std::string> &assignments, bool save)
{
    std::vector<KorvaSinkChange> changes;
    if (Status status = sink_changes(assignments, changes); !status.ok())
        return status;
    std::string path;
    if (Status status = fragment_path(path); !status.ok())
        return status;
    struct stat file {};
    const bool installed = stat(path.c_str(), &file) == 0 || errno != ENOENT;

    const LiveSink live;
    const std::string unreachable = live.why_not();
    if (live.state == KORVA_SINK_NOT_KORVA || live.state == KORVA_SINK_CONNECTING)
        return failure(unreachable + ": nothing changed");
    if (!unreachable.empty() && (!save || !installed))
        return failure(unreachable + (save ? " and the sink is not installed (korva sink install)" : "") +
                       ": nothing changed");

    // Saved first: a fragment that cannot take the change stops it before
    // the live sink has it.
    std::string saved;
    if (save && installed) {
        KorvaFragmentError error{};
        if (!korva_fragment_save(path.c_str(), changes.data(), static_cast<int>(changes.size()), &error))
            return failure(std::string(error.message) + ": nothing changed");
        saved = "saved in " + path + "\n";
    } else if (save) {
        std::fprintf(stderr, "korva: warning: %s does not exist (the sink was not installed with `korva sink "
                     "install`): the change is not saved\n", path.c_str());
    }

    if (!unreachable.empty()) {
        std::printf("%s%s: %s; the sink starts with these values\n", saved.c_str(),
                    changes_text(changes).substr(1).c_str(), unreachable.c_str());
        return success();
    }
    if (Status status = set_live(live, changes); !status.ok()) {
        if (!saved.empty())
            status.message += "; the change is saved in " + path + " for the sink's next start";
        return status;
    }
    std::printf("%s:%s\n%s", KORVA_SINK_NODE_NAME, changes_text(changes).c_str(),
                save ? saved.c_str() : "not saved: the sink goes back to its saved values when PipeWire restarts\n");
    keep_compare_match(live.client);
    return success();
}

Status run_pulse_line(const ParamSources &sources)
{
    KorvaParams params;
    std::string plugin;
    PresetChoice preset;
    if (Status status = sink_parts(sources, params, plugin, preset); !status.ok())
        return status;
    // Standard output is the line alone, to paste elsewhere.
    if (!preset.path.empty())
        std::fprintf(stderr, "korva: preset: %s\n", preset_choice_text(preset).c_str());
    std::string line;
    if (std::string problem = pulse_line(plugin, params, line); !problem.empty())
        return failure(problem);
    // The line may be meant for another machine: a plug-in not here yet is a warning.
    if (std::string problem = check_ladspa_plugin(plugin, false); !problem.empty())
        std::fprintf(stderr, "korva: warning: %s\n", problem.c_str());
    std::printf("%s\n", line.c_str());
    return success();
}

} // namespace

CLI::App *add_sink_command(CLI::App &app, SinkOptions &options)
{
    CLI::App *sink = app.add_subcommand("sink", "Korva as a PipeWire sink for every sound on the desktop");
    sink->require_subcommand(1);
    sink->footer("The sink loads the LADSPA plug-in " + ladspa_plugin_path() +
                 " (KORVA_LADSPA_PLUGIN names another).\nThe configuration goes to "
                 "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d/korva-sink.conf (~/.config without XDG_CONFIG_HOME).");

    options.install = sink->add_subcommand("install", "write the PipeWire configuration for the sink");
    add_param_options(options.install, options.sources);
    options.remove = sink->add_subcommand("remove", "remove the PipeWire configuration for the sink");
    options.status = sink->add_subcommand("status", "whether the sink is installed and running");
    options.set = sink->add_subcommand("set", "change controls of the running sink and save them in its configuration");
    options.set->add_option("FIELD=VALUE", options.assignments, "parameter field and value")->required();
    options.set->add_flag("--no-save", options.no_save,
                          "change the running sink only: PipeWire's next start brings back the saved values");
    options.pulse_line = sink->add_subcommand("pulse-line", "print the PulseAudio load-module line");
    add_param_options(options.pulse_line, options.sources);
    options.compare = sink->add_subcommand(
        "compare", "hear Korva or the untouched input, the louder one lowered to the other's loudness");
    options.compare->add_option("SIDE", options.compare_side, "korva, bypass, or off (normal listening)")
        ->required()
        ->check(CLI::IsMember({"korva", "bypass", "off"}));
    options.migrate = sink->add_subcommand(
        "migrate", "give a configuration written by an earlier korva sink install the compare node, keeping its "
                   "values and edits");
    add_sink_profile_commands(sink, options.profile);
    return sink;
}

Status run_sink_command(const SinkOptions &options)
{
    if (options.install->parsed())
        return run_install(options.sources);
    if (options.remove->parsed())
        return run_remove();
    if (options.status->parsed())
        return run_status();
    if (options.set->parsed())
        return run_set(options.assignments, !options.no_save);
    if (options.compare->parsed())
        return run_sink_compare(options.compare_side);
    if (options.migrate->parsed())
        return run_sink_migrate();
    if (sink_profile_parsed(options.profile))
        return run_sink_profile_command(options.profile);
    return run_pulse_line(options.sources);
}
