#include "sink_command.h"

#include "cli/common/atomic_output.h"
#include "engine/param_fields.h"
#include "frontdoor/ports.h"
#include "cli/common/param_options.h"
#include "run_program.h"
#include "sink_fragment.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char *kFragmentName = "korva-sink.conf";
constexpr const char *kRestartHint = "systemctl --user restart pipewire";

// Where PipeWire looks for the user's fragments: $XDG_CONFIG_HOME/pipewire/
// pipewire.conf.d, or ~/.config/pipewire/pipewire.conf.d without it.
Status fragment_directory(std::string &directory)
{
    const char *config_home = std::getenv("XDG_CONFIG_HOME");
    if (config_home != nullptr && config_home[0] == '/') {
        directory = std::string(config_home) + "/pipewire/pipewire.conf.d";
        return success();
    }
    const char *home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/')
        return failure("cannot tell where the PipeWire configuration lives: neither XDG_CONFIG_HOME nor HOME "
                       "is an absolute path");
    directory = std::string(home) + "/.config/pipewire/pipewire.conf.d";
    return success();
}

// The sink's fragment in that directory.
Status fragment_path(std::string &path)
{
    std::string directory;
    if (Status status = fragment_directory(directory); !status.ok())
        return status;
    path = directory + "/" + kFragmentName;
    return success();
}

// Creates `directory` and every missing parent (mode 0777 less the umask).
Status make_directories(const std::string &directory)
{
    for (size_t slash = 1; slash <= directory.size(); ++slash) {
        if (slash != directory.size() && directory[slash] != '/')
            continue;
        const std::string part = directory.substr(0, slash);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return failure(part + ": cannot create the directory: " + std::strerror(errno));
    }
    struct stat status {};
    if (stat(directory.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
        return failure(directory + ": is not a directory");
    return success();
}

// Through a temporary file, so a failure keeps what was there; a device or
// FIFO is refused.
Status write_text_file(const std::string &path, const std::string &text)
{
    korva::fileio::Error error;
    if (!korva::fileio::replace_file(path.c_str(), text.data(), text.size(), korva::fileio::NonRegular::refuse,
                                     &error))
        return failure(path + ": cannot write the sink configuration: " + replacement_reason(error));
    return success();
}

bool is_regular_file(const std::string &path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// What PipeWire says about the sink's node.
struct SinkNode {
    bool reachable = false;   // a PipeWire daemon answered
    bool present = false;     // it has a node named korva_sink
    std::string state;        // the node's state ("running", "suspended", ...)
    std::string problem;      // why PipeWire could not be asked
    std::string dump;         // what pw-dump printed about it
};

std::string first_line(const std::string &text)
{
    return text.substr(0, text.find('\n'));
}

SinkNode find_sink_node()
{
    SinkNode node;
    const ProgramRun dump = run_program({"pw-dump", kSinkNodeName});
    if (!dump.started) {
        node.problem = dump.problem + " (the PipeWire tools come with the package pipewire-bin)";
        return node;
    }
    if (dump.timed_out || dump.exit_code != 0) {
        node.problem = dump.timed_out ? dump.problem : "pw-dump: " + first_line(dump.output);
        return node;
    }
    node.reachable = true;
    node.dump = dump.output;
    node.present = dump.output.find(std::string("\"node.name\": \"") + kSinkNodeName + "\"") != std::string::npos;
    const std::string key = "\"state\": \"";
    if (const auto at = dump.output.find(key); node.present && at != std::string::npos) {
        const auto start = at + key.size();
        node.state = dump.output.substr(start, dump.output.find('"', start) - start);
    }
    return node;
}

// The plug-in path an installed fragment names, or empty.
std::string plugin_in_fragment(const std::string &path)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const auto key = line.find("plugin = \"");
        if (key == std::string::npos)
            continue;
        const auto start = key + 10;
        const auto end = line.find('"', start);
        return end == std::string::npos ? std::string() : line.substr(start, end - start);
    }
    return {};
}

std::string number_text(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// "live: FIELD=VALUE ..." for every control the running sink shows.
std::string live_settings(const std::string &dump)
{
    std::string text;
    for (const KorvaParamField &field : korva_param_fields) {
        const LiveControl control = live_control(dump, field.name);
        if (control.found) {
            text += text.empty() ? "live:" : "";
            text += std::string(" ") + field.name + "=" + number_text(control.value);
        }
    }
    return text.empty() ? text : text + "\n";
}

// The settings as the plug-in will use them: a value outside a control's
// range is clamped (and rounded) by the plug-in's own rule, and said so.
Status build_sink_params(const ParamSources &sources, KorvaParams &params)
{
    if (Status status = build_params(sources, params); !status.ok())
        return status;
    clamp_to_ports(params, [](int i, int32_t was, int32_t used) {
        std::fprintf(stderr, "korva: warning: %s=%d is outside the plug-in's range %d..%d: the sink uses %d\n",
                     korva_param_fields[i].name, was, korva_ports[i].minimum, korva_ports[i].maximum, used);
    });
    return success();
}

// What the sink is made of: the settings as the plug-in will use them and
// the path of the LADSPA plug-in (checked, not required to exist yet).
Status sink_parts(const ParamSources &sources, KorvaParams &params, std::string &plugin)
{
    if (Status status = build_sink_params(sources, params); !status.ok())
        return status;
    plugin = ladspa_plugin_path();
    return check_plugin_path(plugin);
}

Status run_install(const ParamSources &sources)
{
    KorvaParams params;
    std::string plugin;
    if (Status status = sink_parts(sources, params, plugin); !status.ok())
        return status;
    if (!is_regular_file(plugin))
        return failure(plugin + ": the Korva LADSPA plug-in is not there: install the project (cmake --install) "
                       "or name the plug-in with KORVA_LADSPA_PLUGIN");
    std::string fragment;
    if (Status status = sink_fragment(sink_template(), plugin, params, fragment); !status.ok())
        return status;

    std::string path;
    if (Status status = fragment_path(path); !status.ok())
        return status;
    if (Status status = make_directories(path.substr(0, path.rfind('/'))); !status.ok())
        return status;
    if (Status status = write_text_file(path, fragment); !status.ok())
        return status;
    std::printf("wrote %s\nrestart PipeWire to load it:\n  %s\nthen choose \"Korva\" as the output.\n",
                path.c_str(), kRestartHint);
    return success();
}

Status run_remove()
{
    std::string path;
    if (Status status = fragment_path(path); !status.ok())
        return status;
    if (unlink(path.c_str()) != 0) {
        if (errno == ENOENT) {
            std::printf("not installed: %s does not exist\n", path.c_str());
            return success();
        }
        return failure(path + ": cannot remove the sink configuration: " + std::strerror(errno));
    }
    std::printf("removed %s\nrestart PipeWire to drop the sink:\n  %s\n", path.c_str(), kRestartHint);
    return success();
}

Status run_status()
{
    std::string path;
    if (Status status = fragment_path(path); !status.ok())
        return status;
    std::string text;
    if (is_regular_file(path)) {
        const std::string plugin = plugin_in_fragment(path);
        text += "installed: yes, " + path + "\n";
        text += "plug-in: " + (plugin.empty() ? std::string("(not named in the file)") : plugin) +
                (plugin.empty() || is_regular_file(plugin) ? "" : " (missing: PipeWire cannot create the sink)") +
                "\n";
    } else {
        text += "installed: no (" + path + " does not exist)\n";
    }
    const SinkNode node = find_sink_node();
    if (!node.reachable)
        text += "running: unknown, PipeWire did not answer: " + node.problem + "\n";
    else if (node.present)
        text += std::string("running: yes, node ") + kSinkNodeName + " (" + node.state + ")\n" +
                live_settings(node.dump);
    else
        text += std::string("running: no, PipeWire has no node ") + kSinkNodeName + "\n";
    std::fputs(text.c_str(), stdout);
    return success();
}

Status run_set(const std::vector<std::string> &assignments)
{
    // Each value is read exactly as --set reads it, truncated to the field's width.
    std::vector<SinkControl> controls;
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
        const int32_t value = korva_param_get(&scratch, field);
        // A field given twice is sent once, with its last value.
        auto same = std::find_if(controls.begin(), controls.end(),
                                 [&](const SinkControl &control) { return control.field == name; });
        if (same != controls.end())
            same->value = value;
        else
            controls.push_back({name, value});
    }

    const SinkNode node = find_sink_node();
    if (!node.reachable)
        return failure("cannot reach PipeWire: " + node.problem);
    if (!node.present)
        return failure(std::string("PipeWire has no node ") + kSinkNodeName +
                       ": install the sink with `korva sink install` and restart PipeWire (" + kRestartHint + ")");

    const ProgramRun set = run_program({"pw-cli", "set-param", kSinkNodeName, "Props", sink_props(controls)});
    // pw-cli reports a refused change on its output and still exits with 0.
    if (!set.started || set.timed_out || set.exit_code != 0 || set.output.find("Error") != std::string::npos)
        return failure("pw-cli set-param " + std::string(kSinkNodeName) + " failed: " +
                       (set.problem.empty() ? first_line(set.output) : set.problem));

    // Read back what the node holds now: a node that takes no such control
    // (not Korva's, or another plug-in) keeps its old values.
    const SinkNode changed = find_sink_node();
    std::string text = std::string(kSinkNodeName) + ":";
    for (const SinkControl &control : controls) {
        const LiveControl live = live_control(changed.dump, control.field);
        // PipeWire keeps a control as a float, and a toggle as on or off.
        const bool taken = live.toggle ? live.found
                                       : live.found && static_cast<float>(live.value) == static_cast<float>(control.value);
        if (!taken)
            return failure(std::string(kSinkNodeName) + " did not take " + control.field + "=" +
                           std::to_string(control.value) +
                           (live.found ? " (it holds " + number_text(live.value) + ")" : " (it has no such control)"));
        if (live.has_range && (control.value < live.minimum || control.value > live.maximum))
            std::fprintf(stderr, "korva: warning: %s=%d is outside the plug-in's range %s..%s: the sink uses %s\n",
                         control.field.c_str(), control.value, number_text(live.minimum).c_str(),
                         number_text(live.maximum).c_str(),
                         number_text(control.value < live.minimum ? live.minimum : live.maximum).c_str());
        text += " " + control.field + "=" + std::to_string(control.value);
    }
    text += "\n(until PipeWire restarts; `korva sink install --set ...` keeps settings)\n";
    std::fputs(text.c_str(), stdout);
    return success();
}

Status run_pulse_line(const ParamSources &sources)
{
    KorvaParams params;
    std::string plugin;
    if (Status status = sink_parts(sources, params, plugin); !status.ok())
        return status;
    if (!is_regular_file(plugin))
        std::fprintf(stderr, "korva: warning: %s does not exist yet\n", plugin.c_str());
    std::printf("%s\n", pulse_line(plugin, params).c_str());
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
    options.set = sink->add_subcommand("set", "change controls of the running sink");
    options.set->add_option("FIELD=VALUE", options.assignments, "parameter field and value")->required();
    options.pulse_line = sink->add_subcommand("pulse-line", "print the PulseAudio load-module line");
    add_param_options(options.pulse_line, options.sources);
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
        return run_set(options.assignments);
    return run_pulse_line(options.sources);
}
