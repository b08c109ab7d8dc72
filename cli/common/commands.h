// The subcommands of korva, each turning its arguments into one Status.
#ifndef KORVA_CLI_COMMANDS_H
#define KORVA_CLI_COMMANDS_H

#include "param_sources.h"
#include "status.h"

#include <string>

// korva process: see process_options.h.

// korva demo [DIR]: DIR/demo-in.wav and, processed with the defaults, DIR/demo-out.wav.
Status run_demo(const std::string &directory, bool quiet);

// korva preset show FILE|NAME (a factory preset's name: preset_library.h)
Status run_preset_show(const std::string &name_or_path);

// korva preset save FILE
Status run_preset_save(const std::string &path, const ParamSources &sources);

// korva preset export-lv2 FILE [--name NAME] [DIR]: empty NAME is the file's
// name without its extension, empty DIR is ~/.lv2/korva-presets.lv2.
Status run_preset_export_lv2(const std::string &preset_path, const std::string &name,
                             const std::string &directory);

#endif
