// korva preset: show, list, save and export-lv2.
#ifndef KORVA_CLI_PRESET_COMMAND_H
#define KORVA_CLI_PRESET_COMMAND_H

#include "cli/params/param_sources.h"
#include "cli/common/status.h"

#include <CLI/CLI.hpp>

#include <string>

struct PresetOptions {
    std::string path;               // FILE (show: FILE or a factory preset's name)
    ParamSources sources;           // save
    std::string name;               // export-lv2 --name
    std::string bundle_directory;   // export-lv2 DIR
    CLI::App *show = nullptr;
    CLI::App *list = nullptr;
    CLI::App *save = nullptr;
    CLI::App *export_lv2 = nullptr;
};

// Adds "preset" and its subcommands; their values land in `options`.
CLI::App *add_preset_command(CLI::App &app, PresetOptions &options);

// Runs whichever preset subcommand was given.
Status run_preset(const PresetOptions &options);

// korva preset export-lv2 FILE [--name NAME] [DIR]: empty NAME is the file's
// name without its extension, empty DIR is ~/.lv2/korva-presets.lv2.
Status run_preset_export_lv2(const std::string &preset_path, const std::string &name,
                             const std::string &directory);

#endif
