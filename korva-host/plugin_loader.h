/* Loading an effect plug-in the way the player does: dlopen, then its record. */
#ifndef KORVA_KORVA_HOST_PLUGIN_LOADER_H
#define KORVA_KORVA_HOST_PLUGIN_LOADER_H

#include "libxmms/xmms_plugin.h"

#include <string>

struct LoadedPlugin {
    void *handle = nullptr;          // from dlopen; null when not loaded
    EffectPlugin *record = nullptr;  // from get_eplugin_info
    std::string error;               // why loading failed, empty on success
};

// Opens the shared object and fetches its record. On failure handle and
// record are null and error says why (the file, the missing symbol, or a
// record without a mod_samples callback).
LoadedPlugin plugin_load(const std::string &path);

// Closes the shared object; the record must not be used afterwards.
void plugin_unload(LoadedPlugin &plugin);

#endif
