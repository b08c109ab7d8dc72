// The LV2 plug-in urn:korva:enhancer: the LV2 callbacks mapped onto the
// shared plug-in core. Its ports and their properties are in korva.ttl,
// generated from the same port table (make_bundle.cpp).
#include "plugin_core/lv2_text.h"
#include "plugin_core/plugin_core.h"

#include <lv2/core/lv2.h>

namespace {

// Instantiation class: may allocate. Returns null when memory runs out.
LV2_Handle instantiate(const LV2_Descriptor *, double sample_rate, const char *, const LV2_Feature *const *)
{
    return korva_core_new(sample_rate);
}

// Audio class: called between runs, real-time safe.
void connect_port(LV2_Handle instance, uint32_t port, void *data)
{
    korva_core_connect(static_cast<KorvaPluginCore *>(instance), port, data);
}

// Instantiation class. Activation, and a host's reset (deactivate, then
// activate), clears the working state and keeps the parameters and the rate.
void activate(LV2_Handle instance)
{
    korva_core_activate(static_cast<KorvaPluginCore *>(instance));
}

// Audio class: real-time safe, any block length.
void run(LV2_Handle instance, uint32_t frames)
{
    korva_core_run(static_cast<KorvaPluginCore *>(instance), frames);
}

void deactivate(LV2_Handle) {}

void cleanup(LV2_Handle instance)
{
    korva_core_delete(static_cast<KorvaPluginCore *>(instance));
}

const void *extension_data(const char *)
{
    return nullptr;
}

const LV2_Descriptor kDescriptor = {
    kKorvaPluginUri, instantiate, connect_port, activate, run, deactivate, cleanup, extension_data,
};

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor *lv2_descriptor(uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}
