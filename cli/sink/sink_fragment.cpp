#include "sink_fragment.h"

#include "engine/param_fields.h"
#include "sink_template.h"

#include <array>
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
    std::string line = "load-module module-ladspa-sink sink_name=korva sink_properties=device.description=Korva plugin=";
    line += plugin_path;
    line += " label=korva control=";
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

namespace {

// The number after "key": at or after `from` in a pw-dump text.
bool number_after(std::string_view text, std::string_view key, std::size_t from, std::size_t limit, double &value)
{
    const auto at = text.find(key, from);
    if (at == std::string_view::npos || at > limit)
        return false;
    const std::string rest(text.substr(at + key.size(), 32));
    char *end = nullptr;
    value = std::strtod(rest.c_str(), &end);
    return end != rest.c_str();
}

} // namespace

LiveControl live_control(std::string_view dump, std::string_view field)
{
    // pw-dump lists each control twice: in PropInfo as
    //   "name": "korva:FIELD", "type": { "default": D, "min": A, "max": B }
    // and in Props as the pair "korva:FIELD", VALUE.
    LiveControl control;
    std::string quoted = "\"";
    quoted.append(kSinkGraphNode).append(":").append(field).append("\",");
    for (auto at = dump.find(quoted); at != std::string_view::npos; at = dump.find(quoted, at + 1)) {
        const auto next = dump.find_first_not_of(" \t\r\n", at + quoted.size());
        if (next == std::string_view::npos)
            break;
        if (dump[next] == '-' || (dump[next] >= '0' && dump[next] <= '9')) {
            const std::string number(dump.substr(next, 32));
            control.value = std::strtod(number.c_str(), nullptr);
            control.found = true;
        } else if (dump.substr(next, 4) == "true" || dump.substr(next, 5) == "false") {
            // A toggled port: filter-chain shows it as a boolean.
            control.found = control.toggle = control.has_range = true;
            control.value = dump[next] == 't' ? 1.0 : 0.0;
            control.minimum = 0.0;
            control.maximum = 1.0;
        } else if (dump.substr(next, 7) == "\"type\":") {
            const auto close = dump.find('}', next);
            if (!control.toggle)
                control.has_range = number_after(dump, "\"min\":", next, close, control.minimum) &&
                                    number_after(dump, "\"max\":", next, close, control.maximum);
        }
    }
    return control;
}
