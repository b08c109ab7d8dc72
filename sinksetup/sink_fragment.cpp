#include "sink_fragment.h"

#include "engine/param_fields.h"
#include "plugin_core/lv2_text.h"
#include "sink_template.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr std::string_view kPluginPlaceholder = "@KORVA_LADSPA_PLUGIN_PATH@";

// A control line of the template: indentation, "FIELD" = VALUE. Gives the
// field's index, or -1 for any other line.
int control_line_field(std::string_view line, std::string_view &indent)
{
    const auto start = line.find_first_not_of(' ');
    if (start == std::string_view::npos || line[start] != '"')
        return -1;
    const auto close = line.find('"', start + 1);
    if (close == std::string_view::npos || line.substr(close + 1, 3) != " = ")
        return -1;
    const std::string name(line.substr(start + 1, close - start - 1));
    const KorvaParamField *field = korva_param_field_find(name.c_str());
    if (field == nullptr)
        return -1;
    indent = line.substr(0, start);
    return static_cast<int>(field - korva_param_fields);
}

} // namespace

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

std::string spa_json_string_content(std::string_view text)
{
    // PipeWire's configuration reads \" \\ \n \r \t \b \f and \uXXXX inside
    // a quoted string; every other byte stands for itself.
    return backslash_escaped(text, false);
}

std::string sink_fragment(std::string_view template_text, const std::string &plugin_path, const KorvaParams &params,
                          std::string &fragment)
{
    if (std::string problem = check_plugin_path(plugin_path); !problem.empty())
        return problem;
    std::array<int, KORVA_PARAM_FIELD_COUNT> seen{};
    std::string text;
    text.reserve(template_text.size() + plugin_path.size());
    while (!template_text.empty()) {
        const auto end = template_text.find('\n');
        const std::string_view line = template_text.substr(0, end);
        template_text.remove_prefix(end == std::string_view::npos ? template_text.size() : end + 1);

        std::string_view indent;
        const int index = control_line_field(line, indent);
        if (index >= 0) {
            const KorvaParamField &field = korva_param_fields[index];
            text.append(indent).append("\"").append(field.name).append("\" = ");
            text += std::to_string(korva_param_get(&params, &field));
            ++seen[index];
        } else if (const auto at = line.find(kPluginPlaceholder); at != std::string_view::npos) {
            text.append(line.substr(0, at))
                .append(spa_json_string_content(plugin_path))
                .append(line.substr(at + kPluginPlaceholder.size()));
        } else {
            text.append(line);
        }
        text += '\n';
    }
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        if (seen[i] != 1)
            return std::string("the sink template sets control \"") + korva_param_fields[i].name + "\" " +
                   std::to_string(seen[i]) + " times instead of once";
    }
    fragment = std::move(text);
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
