#include "param_sources.h"

#include "config_source.h"
#include "engine/param_fields.h"
#include "plugin_core/ports.h"
#include "preset_library.h"

#include <charconv>

namespace {

bool parse_int32(std::string_view text, int32_t &value)
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-')
            return false;
    }
    if (text.empty())
        return false;
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, 10);
    return result.ec == std::errc{} && result.ptr == end;
}

} // namespace

std::string field_name_list()
{
    std::string list;
    for (const KorvaParamField &field : korva_param_fields) {
        if (!list.empty())
            list += ", ";
        list += field.name;
    }
    return list;
}

std::string field_range_list()
{
    std::string list;
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        const KorvaParamField &field = korva_param_fields[i];
        if (!list.empty())
            list += ", ";
        list += std::string(field.name) + " " + std::to_string(korva_controls[i].minimum) + ".." +
                std::to_string(korva_controls[i].maximum) + " (" + std::to_string(8 * field.width) + " bits)";
    }
    return list;
}

Status apply_assignment(std::string_view assignment, KorvaParams &params)
{
    const std::string shown(assignment);
    const auto equals = assignment.find('=');
    if (equals == std::string_view::npos)
        return failure("--set " + shown + ": expected FIELD=VALUE; fields: " + field_name_list(), 2);

    const std::string name(assignment.substr(0, equals));
    const std::string_view value_text = assignment.substr(equals + 1);
    const KorvaParamField *field = korva_param_field_find(name.c_str());
    if (field == nullptr)
        return failure("--set " + shown + ": unknown field \"" + name + "\"; fields: " + field_name_list(), 2);

    int32_t value = 0;
    if (!parse_int32(value_text, value))
        return failure("--set " + shown + ": \"" + std::string(value_text) +
                       "\" is not a decimal integer from -2147483648 to 2147483647", 2);
    korva_param_set(&params, field, value);
    return success();
}

Status apply_preset(const std::string &argument, PresetArgument kind, KorvaParams &params, PresetChoice &choice)
{
    KorvaPresetInfo info;
    if (Status status = read_preset(argument, kind, "cannot load preset: ", choice, info); !status.ok())
        return status;
    params = info.params;
    return success();
}

std::string preset_report_line(const PresetChoice &preset)
{
    return preset.path.empty() ? std::string() : "preset:      " + preset_choice_text(preset) + "\n";
}

Status build_params(const ParamSources &sources, KorvaParams &params, PresetChoice *preset)
{
    korva_default_params(&params);
    if (!sources.config_path.empty()) {
        if (Status status = apply_config(sources.config_path, params); !status.ok())
            return status;
    }
    if (!sources.preset_path.empty()) {
        PresetChoice choice;
        if (Status status = apply_preset(sources.preset_path, PresetArgument::command_line, params, choice);
            !status.ok())
            return status;
        if (preset != nullptr)
            *preset = choice;
    }
    for (const std::string &assignment : sources.assignments) {
        if (Status status = apply_assignment(assignment, params); !status.ok())
            return status;
    }
    return success();
}

void clamp_to_ports(KorvaParams &params, const std::function<void(int index, int32_t was, int32_t kept)> &moved)
{
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        const KorvaParamField &field = korva_param_fields[i];
        const int32_t value = korva_param_get(&params, &field);
        const int32_t kept = korva_port_value(i, static_cast<float>(value));
        if (kept == value)
            continue;
        korva_param_set(&params, &field, kept);
        moved(i, value, kept);
    }
}
