// The effect-plug-in record the player asks for, in the player's field order.
#include "adapter.h"

namespace {

char description[] = "Korva for XMMS 5.5.1";

EffectPlugin korva_effect_plugin = {
    nullptr,             // handle: the player's
    nullptr,             // filename: the player's
    description,
    plugin_init,
    plugin_cleanup,
    plugin_about,
    plugin_configure,
    plugin_mod_samples,
    nullptr,             // query_format: the format is never changed
};

} // namespace

extern "C" EffectPlugin *get_eplugin_info(void)
{
    return &korva_effect_plugin;
}
