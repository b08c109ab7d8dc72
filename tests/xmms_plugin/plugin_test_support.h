// Helpers of the plug-in tests: the plug-in's own globals, reached at the
// plug-in's addresses; scratch files and test audio come from tests/support.
#ifndef KORVA_TESTS_PLUGIN_TEST_SUPPORT_H
#define KORVA_TESTS_PLUGIN_TEST_SUPPORT_H

#include "engine/korva.h"
#include "tests/support/scratch.h"
#include "tests/support/stereo_signal.h"

#include <dlfcn.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace korva_test {

#ifdef KORVA_PLUGIN_PATH
// The plug-in binds its own names to itself, so its globals are reached at
// the plug-in's own addresses, never through copies in the test binary.
template <class T>
T plugin_global(const char *name)
{
    static void *plugin = dlopen(KORVA_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
    void *address = plugin != nullptr ? dlsym(plugin, name) : nullptr;
    return address != nullptr ? *static_cast<T *>(address) : T{};
}

// The plug-in's engine (`korva`), null while it has none.
inline KorvaEngine *plugin_korva()
{
    return plugin_global<KorvaEngine *>("korva");
}

// The plug-in's configuration window (`window1`), null while none is open.
inline struct _GtkWidget *plugin_window1()
{
    return plugin_global<struct _GtkWidget *>("window1");
}
#endif

} // namespace korva_test

#endif
