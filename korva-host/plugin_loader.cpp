#include "plugin_loader.h"

#include <cstdlib>
#include <cstring>

#include <dlfcn.h>

namespace {

std::string dl_error(const char *fallback)
{
    const char *why = dlerror();
    return why != nullptr ? why : fallback;
}

LoadedPlugin failed(void *handle, std::string why)
{
    if (handle != nullptr)
        dlclose(handle);
    LoadedPlugin plugin;
    plugin.error = std::move(why);
    return plugin;
}

} // namespace

LoadedPlugin plugin_load(const std::string &path)
{
    dlerror();
    void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        return failed(nullptr, "cannot load " + path + ": " + dl_error("unknown error"));

    // The player's own convention: the record comes from one function.
    auto get_info = reinterpret_cast<GetEffectPluginInfo>(dlsym(handle, "get_eplugin_info"));
    if (get_info == nullptr)
        return failed(handle, path + " is not an effect plug-in: " + dl_error("no get_eplugin_info"));

    EffectPlugin *record = get_info();
    if (record == nullptr)
        return failed(handle, path + ": get_eplugin_info returned no record");
    if (record->mod_samples == nullptr)
        return failed(handle, path + ": the effect plug-in has no mod_samples callback");

    record->handle = handle;
    record->filename = strdup(path.c_str());
    LoadedPlugin plugin;
    plugin.handle = handle;
    plugin.record = record;
    return plugin;
}

void plugin_unload(LoadedPlugin &plugin)
{
    if (plugin.record != nullptr) {
        std::free(plugin.record->filename);
        plugin.record->filename = nullptr;
        plugin.record->handle = nullptr;
    }
    if (plugin.handle != nullptr)
        dlclose(plugin.handle);
    plugin.handle = nullptr;
    plugin.record = nullptr;
}
