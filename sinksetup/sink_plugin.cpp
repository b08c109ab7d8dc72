#include "sink_plugin.h"

#include <dlfcn.h>
#include <ladspa.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

std::string check_ladspa_plugin(const std::string &path, bool compare_node)
{
    struct stat status {};
    if (stat(path.c_str(), &status) != 0)
        return path + ": the Korva LADSPA plug-in is not there (" + std::strerror(errno) +
               "): install the project (cmake --install) or name the plug-in with KORVA_LADSPA_PLUGIN";
    if (!S_ISREG(status.st_mode))
        return path + ": is not a file, so not the Korva LADSPA plug-in (KORVA_LADSPA_PLUGIN names it)";
    // RTLD_LOCAL: nothing of the plug-in becomes visible to this program.
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char *why = dlerror();
        return path + ": is not a loadable plug-in library (" + (why != nullptr ? why : "dlopen failed") +
               "); KORVA_LADSPA_PLUGIN must name the Korva LADSPA plug-in korva.so";
    }
    bool found = false, compare = false;
    const auto entry = reinterpret_cast<LADSPA_Descriptor_Function>(dlsym(library, "ladspa_descriptor"));
    // A plug-in lists its descriptors from 0 until it gives none; the bound
    // keeps a faulty library from holding the command.
    for (unsigned long i = 0; entry != nullptr && i < 4096 && !(found && (compare || !compare_node)); ++i) {
        const LADSPA_Descriptor *descriptor = entry(i);
        if (descriptor == nullptr)
            break;
        found = found || (descriptor->Label != nullptr && std::strcmp(descriptor->Label, "korva") == 0);
        compare = compare || (descriptor->Label != nullptr && std::strcmp(descriptor->Label, "korva_compare") == 0);
    }
    dlclose(library);
    if (entry == nullptr)
        return path + ": is a library but not a LADSPA plug-in (no ladspa_descriptor); "
               "KORVA_LADSPA_PLUGIN must name the Korva LADSPA plug-in korva.so";
    if (!found)
        return path + ": is a LADSPA plug-in without the label korva; KORVA_LADSPA_PLUGIN must name "
               "the Korva LADSPA plug-in korva.so";
    if (!compare && compare_node)
        return path + ": is a Korva LADSPA plug-in without the compare node (label korva_compare): an older "
               "Korva; install this version's korva.so";
    return {};
}
