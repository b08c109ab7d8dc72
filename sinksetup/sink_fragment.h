// The text that puts Korva on the desktop: the PipeWire configuration
// fragment (its format: sinkfiles/sink_fragment_text.h) and the PulseAudio
// module line, each built from a parameter block. No file or process is
// touched here. A function that can fail returns why, or an empty text.
#ifndef KORVA_SINKSETUP_SINK_FRAGMENT_H
#define KORVA_SINKSETUP_SINK_FRAGMENT_H

#include "engine/korva.h"

#include <string>
#include <string_view>

// The fragment template as the project ships it (with the plug-in path still
// a placeholder and every control at the engine's default).
std::string_view sink_template();

// The absolute path of the LADSPA plug-in the sink loads: $KORVA_LADSPA_PLUGIN
// when set and not empty, otherwise where the project installs it.
std::string ladspa_plugin_path();

// Checks that `path` is absolute: the fragment can carry any such path.
std::string check_plugin_path(const std::string &path);

// The template with the plug-in path and every control set from `params`
// (sinkfiles/sink_fragment_text.h). Fails when the template lacks a control
// line for some field, or the path is not absolute or does not read back.
std::string sink_fragment(std::string_view template_text, const std::string &plugin_path, const KorvaParams &params,
                          std::string &fragment);

// load-module module-ladspa-sink sink_name=korva sink_properties=device.description=Korva
// plugin=PATH label=korva control=v1,...,v32 (the 32 values in port order).
// A path with spaces is put in double quotes; one with quotes, backslashes or
// control characters is refused.
std::string pulse_line(const std::string &plugin_path, const KorvaParams &params, std::string &line);

#endif
