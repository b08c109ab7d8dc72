// The text that puts Korva on the desktop: the PipeWire configuration
// fragment, the PulseAudio module line and the live control change, each
// built from a parameter block. No file or process is touched here.
#ifndef KORVA_CLI_SINK_FRAGMENT_H
#define KORVA_CLI_SINK_FRAGMENT_H

#include "cli/common/status.h"

#include "engine/korva.h"

#include <string>
#include <string_view>
#include <vector>

// The names PipeWire knows the sink by.
inline constexpr const char *kSinkNodeName = "korva_sink";
// The filter graph's node name: filter-chain names a control "korva:FIELD".
inline constexpr const char *kSinkGraphNode = "korva";

// The fragment template as the project ships it (with the plug-in path still
// a placeholder and every control at the engine's default).
std::string_view sink_template();

// The absolute path of the LADSPA plug-in the sink loads: $KORVA_LADSPA_PLUGIN
// when set and not empty, otherwise where the project installs it.
std::string ladspa_plugin_path();

// Checks that `path` can be written into the fragment and the module line:
// absolute, and free of quotes, backslashes, spaces and control characters.
Status check_plugin_path(const std::string &path);

// The template with the plug-in path and every control set from `params`.
// Fails when the template lacks a control line for some field.
Status sink_fragment(std::string_view template_text, const std::string &plugin_path, const KorvaParams &params,
                     std::string &fragment);

// load-module module-ladspa-sink sink_name=korva sink_properties=device.description=Korva
// plugin=PATH label=korva control=v1,...,v32 (the 32 values in port order).
std::string pulse_line(const std::string &plugin_path, const KorvaParams &params);

// The Props value for pw-cli set-param: { params = [ "korva:FIELD" VALUE ... ] }.
struct SinkControl {
    std::string field;
    int32_t value;
};
std::string sink_props(const std::vector<SinkControl> &controls);

// One control of the running sink as `pw-dump korva_sink` shows it: the
// value in the node's Props, and the range the plug-in declares in PropInfo.
struct LiveControl {
    bool found = false;
    bool toggle = false;   // shown as true/false (value 1/0, range 0..1)
    double value = 0.0;
    bool has_range = false;
    double minimum = 0.0;
    double maximum = 0.0;
};
LiveControl live_control(std::string_view dump, std::string_view field);

#endif
