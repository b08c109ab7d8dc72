// Whether a file is the LADSPA plug-in the PipeWire sink can run: it loads,
// and its descriptors include the label "korva".
#ifndef KORVA_CLI_SINK_PLUGIN_H
#define KORVA_CLI_SINK_PLUGIN_H

#include "cli/common/status.h"

#include <string>

// Loads `path` (its own copy, unloaded again) and looks for the label korva
// among its LADSPA descriptors. The failure says what the file is instead.
Status check_ladspa_plugin(const std::string &path);

#endif
