// The factory presets by name: `--preset NAME`, `korva preset show NAME`,
// `korva sink install --preset NAME` and `korva preset list`. They live in
// ../share/korva/presets seen from the folder of the running program, so the
// build tree (build/cli/korva finds build/share/korva/presets) and an
// installed tree (PREFIX/bin/korva finds PREFIX/share/korva/presets) both
// work without configuration.
#ifndef KORVA_CLI_PRESET_LIBRARY_H
#define KORVA_CLI_PRESET_LIBRARY_H

#include "status.h"

#include "engine/korva.h"
#include "presets/preset_index.h"

#include <string>
#include <vector>

// The factory presets' folder for this program; empty when the program's own
// path cannot be read.
std::string factory_preset_dir();

// The factory presets' index; a failure says where it looked and why.
Status factory_presets(std::vector<korva::presets::IndexEntry> &entries);

// The file to read for a --preset argument: the argument itself when it holds
// a '/' or a file of that name exists (a path always wins), otherwise the
// factory preset of that name (exact, else the only one equal ignoring case).
// A failure names the argument and the factory presets there are.
Status resolve_preset(const std::string &name_or_path, std::string &path);

// Resolves a --preset argument and reads the file into `info`; a file that is
// not a preset fails as "PATH: <context>why".
Status read_preset(const std::string &name_or_path, const char *context, std::string &path, KorvaPresetInfo &info);

// korva preset list: each factory preset's name and description, one a line.
Status run_preset_list();

#endif
