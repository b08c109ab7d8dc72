// The LADSPA plug-in: label "korva", unique ID 19286, over the shared
// plug-in core; and as its second descriptor the desktop sink's compare node
// (compare_ladspa.h). LADSPA has no port symbols and no labelled choices,
// and hosts such as PipeWire's filter-chain find a control by its port name,
// so every control port is named after its parameter field ("superbass").
#include "compare_ladspa.h"
#include "plugin_core/plugin_core.h"

#include <ladspa.h>

#include <cmath>

namespace {

// Not in 1..1000 (reserved for development) nor in the ranges of the
// LADSPA collections Debian ships; 19286 is 0x4B56, "KV".
constexpr unsigned long kUniqueId = 19286;

// LADSPA cannot state a default, only pick one of a few points of the range
// (LADSPA_HINT_DEFAULT_*): the point nearest to the engine's default, the
// first of equals in this order. Toggles take 0 or 1.
LADSPA_PortRangeHintDescriptor default_hint(const KorvaControl &port, int32_t value)
{
    const double lo = port.minimum, hi = port.maximum;
    const struct {
        LADSPA_PortRangeHintDescriptor hint;
        double value;
    } points[] = {
        {LADSPA_HINT_DEFAULT_0, 0.0},
        {LADSPA_HINT_DEFAULT_1, 1.0},
        {LADSPA_HINT_DEFAULT_MINIMUM, lo},
        {LADSPA_HINT_DEFAULT_LOW, lo * 0.75 + hi * 0.25},
        {LADSPA_HINT_DEFAULT_MIDDLE, lo * 0.5 + hi * 0.5},
        {LADSPA_HINT_DEFAULT_HIGH, lo * 0.25 + hi * 0.75},
        {LADSPA_HINT_DEFAULT_MAXIMUM, hi},
        {LADSPA_HINT_DEFAULT_100, 100.0},
        {LADSPA_HINT_DEFAULT_440, 440.0},
    };
    LADSPA_PortRangeHintDescriptor best = LADSPA_HINT_DEFAULT_MINIMUM;
    double best_distance = INFINITY;
    for (const auto &point : points) {
        if (point.value < lo || point.value > hi)
            continue;
        const double distance = std::fabs(point.value - value);
        if (distance < best_distance) {
            best = point.hint;
            best_distance = distance;
        }
    }
    return best;
}

struct Tables {
    LADSPA_PortDescriptor descriptors[KORVA_PORT_COUNT];
    const char *names[KORVA_PORT_COUNT];
    LADSPA_PortRangeHint hints[KORVA_PORT_COUNT];
    LADSPA_Descriptor descriptor;
};

LADSPA_Handle instantiate(const LADSPA_Descriptor *, unsigned long sample_rate)
{
    return korva_core_new(static_cast<double>(sample_rate));
}

void connect_port(LADSPA_Handle instance, unsigned long port, LADSPA_Data *data)
{
    if (port < KORVA_PORT_COUNT)
        korva_core_connect(static_cast<KorvaPluginCore *>(instance), static_cast<uint32_t>(port), data);
}

// Clears the working state, keeping the parameters and the rate.
void activate(LADSPA_Handle instance)
{
    korva_core_activate(static_cast<KorvaPluginCore *>(instance));
}

// Real-time safe, any block length.
void run(LADSPA_Handle instance, unsigned long frames)
{
    korva_core_run(static_cast<KorvaPluginCore *>(instance), frames);
}

void cleanup(LADSPA_Handle instance)
{
    korva_core_delete(static_cast<KorvaPluginCore *>(instance));
}

Tables build_tables()
{
    Tables t{};
    const char *audio_names[] = {"Left in", "Right in", "Left out", "Right out"};
    for (int p = 0; p < KORVA_PORT_FIRST_CONTROL; ++p) {
        t.descriptors[p] = LADSPA_PORT_AUDIO | (p < KORVA_PORT_OUT_LEFT ? LADSPA_PORT_INPUT : LADSPA_PORT_OUTPUT);
        t.names[p] = audio_names[p];
        t.hints[p] = {0, 0.0f, 0.0f};
    }
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        const int p = KORVA_PORT_FIRST_CONTROL + i;
        const KorvaControl &port = korva_controls[i];
        t.descriptors[p] = LADSPA_PORT_CONTROL | LADSPA_PORT_INPUT;
        t.names[p] = korva_param_fields[i].name;
        const LADSPA_PortRangeHintDescriptor fallback = default_hint(port, korva_control_default(i));
        // A toggle may carry no hint but its default (0 or 1).
        const LADSPA_PortRangeHintDescriptor hints =
            port.kind == KORVA_CONTROL_TOGGLE
                ? LADSPA_HINT_TOGGLED | fallback
                : LADSPA_HINT_BOUNDED_BELOW | LADSPA_HINT_BOUNDED_ABOVE | LADSPA_HINT_INTEGER | fallback;
        t.hints[p] = {hints, static_cast<LADSPA_Data>(port.minimum), static_cast<LADSPA_Data>(port.maximum)};
    }
    LADSPA_Descriptor &d = t.descriptor;
    d.UniqueID = kUniqueId;
    d.Label = "korva";
    d.Properties = LADSPA_PROPERTY_HARD_RT_CAPABLE;
    d.Name = "Korva stereo sound enhancer";
    d.Maker = "Korva developers";
    d.Copyright = "GPL-2.0-or-later";
    d.PortCount = KORVA_PORT_COUNT;
    d.instantiate = instantiate;
    d.connect_port = connect_port;
    d.activate = activate;
    d.run = run;
    d.cleanup = cleanup;
    return t;
}

} // namespace

extern "C" __attribute__((visibility("default"))) const LADSPA_Descriptor *ladspa_descriptor(unsigned long index)
{
    // Built once, on the first call (thread-safe), and never changed after.
    static Tables tables = [] {
        Tables t = build_tables();
        return t;
    }();
    if (index == 1)
        return korva_compare_descriptor();
    if (index != 0)
        return nullptr;
    tables.descriptor.PortDescriptors = tables.descriptors;
    tables.descriptor.PortNames = tables.names;
    tables.descriptor.PortRangeHints = tables.hints;
    return &tables.descriptor;
}
