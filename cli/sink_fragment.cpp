#include "sink_fragment.h"

#include "engine/param_fields.h"
#include "sink_template.h"

#include <array>
#include <cstdlib>

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

Status check_plugin_path(const std::string &path)
{
    if (path.empty() || path.front() != '/')
        return failure("the LADSPA plug-in path \"" + path + "\" is not absolute (set KORVA_LADSPA_PLUGIN)");
    // PipeWire reads the path inside "..." and PulseAudio splits its module
    // arguments at spaces: none of these can be written safely.
    for (const char c : path) {
        if (c == '"' || c == '\\' || c == ' ' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return failure("the LADSPA plug-in path \"" + path +
                           "\" holds a quote, backslash, space or control character, which the sink "
                           "configuration cannot carry");
    }
    return success();
}

Status sink_fragment(std::string_view template_text, const std::string &plugin_path, const KorvaParams &params,
                     std::string &fragment)
{
    if (Status status = check_plugin_path(plugin_path); !status.ok())
        return status;
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
            text.append(line.substr(0, at)).append(plugin_path).append(line.substr(at + kPluginPlaceholder.size()));
        } else {
            text.append(line);
        }
        text += '\n';
    }
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        if (seen[i] != 1)
            return failure(std::string("the sink template sets control \"") + korva_param_fields[i].name + "\" " +
                           std::to_string(seen[i]) + " times instead of once");
    }
    fragment = std::move(text);
    return success();
}

std::string pulse_line(const std::string &plugin_path, const KorvaParams &params)
{
    std::string line = "load-module module-ladspa-sink sink_name=korva plugin=" + plugin_path +
                       " label=korva control=";
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        if (i > 0)
            line += ',';
        line += std::to_string(korva_param_get(&params, &korva_param_fields[i]));
    }
    return line;
}

std::string sink_props(const std::vector<SinkControl> &controls)
{
    std::string props = "{ params = [";
    for (const SinkControl &control : controls)
        props += " \"" + std::string(kSinkGraphNode) + ":" + control.field + "\" " + std::to_string(control.value);
    return props + " ] }";
}
