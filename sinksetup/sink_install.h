// What `korva sink install` and korva-control's "Install the Korva output"
// both do: the fragment for a parameter block, written whole (through a
// temporary file) where PipeWire reads the user's fragments, under the
// fragment writers' lock. The follow service and the PipeWire restart are
// each caller's own to offer.
#ifndef KORVA_SINKSETUP_SINK_INSTALL_H
#define KORVA_SINKSETUP_SINK_INSTALL_H

#include "engine/korva.h"

#include <string>

struct SinkInstalled {
    std::string path;     // the fragment written
    std::string plugin;   // the LADSPA plug-in it names
};

// Checks the plug-in (sink_plugin.h), makes the fragment from the template
// with `params` (each value clamped to its control's range, as the plug-in
// would; `korva sink install` warns of a clamp before), creates the folders
// and writes it. Empty on success, otherwise why nothing was written.
std::string install_sink(const KorvaParams &params, SinkInstalled &installed);

#endif
