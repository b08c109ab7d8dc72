// The factory presets by name: `--preset NAME`, `korva preset show NAME`,
// `korva sink install --preset NAME` and `korva preset list`. They live in
// ../share/korva/presets seen from the folder of the running program, so the
// build tree (build/cli/korva finds build/share/korva/presets) and an
// installed tree (PREFIX/bin/korva finds PREFIX/share/korva/presets) both
// work without configuration.
#ifndef KORVA_CLI_PRESET_LIBRARY_H
#define KORVA_CLI_PRESET_LIBRARY_H

#include "cli/common/status.h"

#include "engine/korva.h"
#include "presets/preset_index.h"

#include <string>
#include <vector>

// The factory presets' folder for this program; empty when the program's own
// path cannot be read.
std::string factory_preset_dir();

// The factory presets' index; a failure says where it looked and why.
Status factory_presets(std::vector<korva::presets::IndexEntry> &entries);

// Where a preset argument leads: the file to read and, for a factory
// preset, its name as the index gives it (empty for the user's own file).
struct PresetChoice {
    std::string path;
    std::string factory;
};

// Where the argument comes from, which decides how a bare name is read.
//  - command_line: a path when it holds a '/' or names any entry of the
//    working folder (a file, a directory, a link, a dangling link too): the
//    user's file, whose failure to read is an error naming it; otherwise the
//    factory preset of that name (exact, else the only one equal ignoring case).
//  - stored (the profiles file): a name without '/' is always a factory
//    preset, never a file of the working folder; a path must be absolute.
enum class PresetArgument { command_line, stored };

// One rule for every preset argument. A failure names the argument and, for
// an unknown name, the factory presets there are.
Status resolve_preset(const std::string &argument, PresetArgument kind, PresetChoice &choice);

// `factory preset "Flat"` or `file PATH`: which preset was used, for the
// commands' reports.
std::string preset_choice_text(const PresetChoice &choice);

// Resolves the argument and reads the file into `info`; a file that is not a
// preset fails as "PATH: <context>why".
Status read_preset(const std::string &argument, PresetArgument kind, const char *context, PresetChoice &choice,
                   KorvaPresetInfo &info);

// korva preset list: each factory preset's name and description, one a line.
Status run_preset_list();

#endif
