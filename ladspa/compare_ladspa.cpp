#include "compare_ladspa.h"

#include "plugin_core/compare_fade.h"

#include <new>

namespace {

constexpr unsigned long kUniqueId = 19287;

LADSPA_Handle instantiate(const LADSPA_Descriptor *, unsigned long sample_rate)
{
    auto *fade = new (std::nothrow) KorvaCompareFade;
    if (fade != nullptr)
        korva_compare_init(fade, static_cast<double>(sample_rate));
    return fade;
}

void connect_port(LADSPA_Handle instance, unsigned long port, LADSPA_Data *data)
{
    if (port < KORVA_COMPARE_PORT_COUNT)
        static_cast<KorvaCompareFade *>(instance)->port[port] = data;
}

void activate(LADSPA_Handle instance)
{
    korva_compare_activate(static_cast<KorvaCompareFade *>(instance));
}

void run(LADSPA_Handle instance, unsigned long frames)
{
    korva_compare_run(static_cast<KorvaCompareFade *>(instance), frames);
}

void cleanup(LADSPA_Handle instance)
{
    delete static_cast<KorvaCompareFade *>(instance);
}

struct Tables {
    LADSPA_PortDescriptor descriptors[KORVA_COMPARE_PORT_COUNT];
    const char *names[KORVA_COMPARE_PORT_COUNT];
    LADSPA_PortRangeHint hints[KORVA_COMPARE_PORT_COUNT];
    LADSPA_Descriptor descriptor;
};

Tables build_tables()
{
    Tables t{};
    const char *names[KORVA_COMPARE_PORT_COUNT] = {"Korva L", "Korva R", "Input L", "Input R", "Out L", "Out R",
                                                   "side", "korva_level", "bypass_level", "match_db"};
    for (int p = 0; p < KORVA_COMPARE_PORT_COUNT; ++p) {
        t.names[p] = names[p];
        if (p < KORVA_COMPARE_PORT_OUT_LEFT)
            t.descriptors[p] = LADSPA_PORT_AUDIO | LADSPA_PORT_INPUT;
        else if (p < KORVA_COMPARE_PORT_SIDE)
            t.descriptors[p] = LADSPA_PORT_AUDIO | LADSPA_PORT_OUTPUT;
        else if (p < KORVA_COMPARE_PORT_MATCH_DB)
            t.descriptors[p] = LADSPA_PORT_CONTROL | LADSPA_PORT_INPUT;
        else
            t.descriptors[p] = LADSPA_PORT_CONTROL | LADSPA_PORT_OUTPUT;
    }
    const LADSPA_PortRangeHintDescriptor bounded = LADSPA_HINT_BOUNDED_BELOW | LADSPA_HINT_BOUNDED_ABOVE;
    t.hints[KORVA_COMPARE_PORT_SIDE] = {bounded | LADSPA_HINT_INTEGER | LADSPA_HINT_DEFAULT_0, 0.0f, 2.0f};
    t.hints[KORVA_COMPARE_PORT_KORVA_LEVEL] = {bounded | LADSPA_HINT_DEFAULT_1, 0.0f, 1.0f};
    t.hints[KORVA_COMPARE_PORT_BYPASS_LEVEL] = {bounded | LADSPA_HINT_DEFAULT_1, 0.0f, 1.0f};
    t.hints[KORVA_COMPARE_PORT_MATCH_DB] = {bounded, -60.0f, 60.0f};
    LADSPA_Descriptor &d = t.descriptor;
    d.UniqueID = kUniqueId;
    d.Label = "korva_compare";
    d.Properties = LADSPA_PROPERTY_HARD_RT_CAPABLE | LADSPA_PROPERTY_INPLACE_BROKEN;
    d.Name = "Korva compare: Korva or the untouched input, level-matched, with a short crossfade";
    d.Maker = "Korva developers";
    d.Copyright = "GPL-2.0-or-later";
    d.PortCount = KORVA_COMPARE_PORT_COUNT;
    d.instantiate = instantiate;
    d.connect_port = connect_port;
    d.activate = activate;
    d.run = run;
    d.cleanup = cleanup;
    return t;
}

} // namespace

const LADSPA_Descriptor *korva_compare_descriptor()
{
    static Tables tables = build_tables();
    tables.descriptor.PortDescriptors = tables.descriptors;
    tables.descriptor.PortNames = tables.names;
    tables.descriptor.PortRangeHints = tables.hints;
    return &tables.descriptor;
}
