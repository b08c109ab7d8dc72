#include "sink_fragment_text.h"

#include "engine/param_fields.h"
#include "sinkfiles/sink_fragment_store.h"

#include <array>
#include <cstdio>

namespace korva::sinkfiles {

namespace {

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

std::string spa_json_string_content(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20 || byte == 0x7f) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out += escaped;
            } else {
                out += c;   // UTF-8 passes through as it is
            }
        }
    }
    return out;
}

bool fill_fragment_template(std::string_view template_text, const std::string &plugin_path,
                            const KorvaParams &params, std::string &fragment, std::string &problem)
{
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
        if (seen[i] != 1) {
            problem = std::string("the sink template sets control \"") + korva_param_fields[i].name + "\" " +
                      std::to_string(seen[i]) + " times instead of once";
            return false;
        }
    }
    KorvaFragmentContents contents{};
    KorvaFragmentError error{};
    if (!korva_fragment_parse(text.data(), text.size(), &contents, &error)) {
        problem = std::string("the sink configuration made would not read back (line ") + std::to_string(error.line) +
                  ": " + error.message + ")";
        return false;
    }
    if (contents.plugin != plugin_path) {
        problem = "the plug-in path \"" + plugin_path + "\" does not read back from the sink configuration as it is";
        return false;
    }
    fragment = std::move(text);
    return true;
}

} // namespace korva::sinkfiles
