// Where the parameters of a run come from, applied in this order: the
// defaults, a player configuration file (--config), a preset (--preset), then
// single fields (--set FIELD=VALUE, in the order given).
#ifndef KORVA_CLI_PARAM_SOURCES_H
#define KORVA_CLI_PARAM_SOURCES_H

#include "preset_library.h"
#include "cli/common/status.h"

#include "engine/korva.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct ParamSources {
    std::string config_path;          // empty: none
    std::string preset_path;          // a file or a factory preset's name; empty: none
    std::vector<std::string> assignments;   // FIELD=VALUE
};

// Applies one FIELD=VALUE. VALUE is a decimal 32-bit signed integer (an
// optional sign, then digits); it is stored truncated to the field's width,
// exactly as the configuration file stores it: enable_extfx=256 gives 0,
// extspace_mode=65538 gives 2. An unknown field or a value that is not such
// an integer is a usage error (exit code 2) listing what is accepted.
Status apply_assignment(std::string_view assignment, KorvaParams &params);

// The 32 field names, comma-separated, in block order.
std::string field_name_list();

// The same with each field's range in the window and its width in bits:
// "enable_global 0..1 (8 bits), chain_index 0..5 (16 bits), ...".
std::string field_range_list();

// Loads the preset an argument leads to (preset_library.h: a file, or a
// factory preset by name) over `params`, and says in `choice` which it was;
// on failure `params` is unchanged and the message says why the file is not
// a preset.
Status apply_preset(const std::string &argument, PresetArgument kind, KorvaParams &params, PresetChoice &choice);

// Builds the parameter block from all sources in order; `preset`, when given,
// learns which preset --preset led to (left empty without --preset).
Status build_params(const ParamSources &sources, KorvaParams &params, PresetChoice *preset = nullptr);

// "preset:      factory preset \"Flat\"\n" for a report, or "" without a preset.
std::string preset_report_line(const PresetChoice &preset);

// Rounds and clamps every field to its LV2/LADSPA port's range, as the
// plug-ins do, and calls `moved` for each field that changed, with its index
// in block order, the value it had and the value it now holds.
void clamp_to_ports(KorvaParams &params, const std::function<void(int index, int32_t was, int32_t kept)> &moved);

#endif
