#include "sink_fragment.h"

#include "engine/param_fields.h"
#include "sink_template.h"
#include "sinkfiles/sink_fragment_text.h"

#include <cstdlib>
#include <string>


std::string_view sink_template()
{
    return kSinkTemplate;
}

std::string ladspa_plugin_path()
{
    const char *chosen = std::getenv("KORVA_LADSPA_PLUGIN");
    return chosen != nullptr && *chosen != '\0' ? chosen : KORVA_LADSPA_PLUGIN_PATH;
}

std::string check_plugin_path(const std::string &path)
{
    if (path.empty() || path.front() != '/')
        return "the LADSPA plug-in path \"" + path + "\" is not absolute (set KORVA_LADSPA_PLUGIN)";
    return {};
}

std::string sink_fragment(std::string_view template_text, const std::string &plugin_path, const KorvaParams &params,
                          std::string &fragment)
{
    if (std::string problem = check_plugin_path(plugin_path); !problem.empty())
        return problem;
    std::string problem;
    if (!korva::sinkfiles::fill_fragment_template(template_text, plugin_path, params, fragment, problem))
        return problem;
    return {};
}

std::string pulse_line(const std::string &plugin_path, const KorvaParams &params, std::string &line)
{
    // A module argument is split at spaces unless it is in double quotes,
    // and the two PulseAudio servers differ on escapes inside them.
    for (const char c : plugin_path) {
        if (c == '"' || c == '\'' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return "the LADSPA plug-in path \"" + plugin_path +
                   "\" holds a quote, backslash or control character, which a PulseAudio module line "
                   "cannot carry: use a path without them";
    }
    const bool spaced = plugin_path.find(' ') != std::string::npos;
    line = "load-module module-ladspa-sink sink_name=korva sink_properties=device.description=Korva plugin=";
    line += spaced ? "\"" + plugin_path + "\"" : plugin_path;
    line += " label=korva control=";
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        if (i > 0)
            line += ',';
        line += std::to_string(korva_param_get(&params, &korva_param_fields[i]));
    }
    return {};
}
