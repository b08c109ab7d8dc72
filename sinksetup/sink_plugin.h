// Whether a file is the LADSPA plug-in the PipeWire sink can run: it loads,
// and its descriptors include the labels "korva" and "korva_compare" (the
// sink's compare node).
#ifndef KORVA_SINKSETUP_SINK_PLUGIN_H
#define KORVA_SINKSETUP_SINK_PLUGIN_H

#include <string>

// Loads `path` (its own copy, unloaded again) and looks for both labels
// among its LADSPA descriptors (korva alone without `compare_node`: the
// PulseAudio module line runs no compare node). Empty when they are there;
// otherwise what the file is instead.
std::string check_ladspa_plugin(const std::string &path, bool compare_node = true);

#endif
