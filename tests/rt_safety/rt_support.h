// Helpers of the real-time safety tests: the plug-in's engine pointer, and
// a configuration file of the test's own so that the plug-in's init
// and cleanup never touch ~/.xmms/config.
#ifndef KORVA_TESTS_RT_SAFETY_RT_SUPPORT_H
#define KORVA_TESTS_RT_SAFETY_RT_SUPPORT_H

#include "engine/korva.h"
#include "tests/support/scratch.h"
#include "tests/support/stereo_signal.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" struct EffectPlugin *get_eplugin_info(void);

namespace rt_test {

// The plug-in's engine pointer, `korva`, at the plug-in's own address: the
// plug-in binds its names to itself, so a copy in the test binary would never
// see its engine. The plug-in is found through its entry point.
inline KorvaEngine *&plugin_engine()
{
    static KorvaEngine **where = [] {
        Dl_info info{};
        void *handle = nullptr;
        if (dladdr(reinterpret_cast<void *>(&get_eplugin_info), &info) != 0 && info.dli_fname != nullptr)
            handle = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
        void *address = handle != nullptr ? dlsym(handle, "korva") : nullptr;
        static KorvaEngine *none = nullptr;
        return address != nullptr ? static_cast<KorvaEngine **>(address) : &none;
    }();
    return *where;
}

// Points the player's configuration calls at a file in a fresh directory
// (not created until something saves), and removes the directory again.
struct PrivateConfig {
    korva_test::ScratchDir dir;

    PrivateConfig() { setenv("XMMS_CONFIG_FILE", dir.file("config").c_str(), 1); }
    ~PrivateConfig() { unsetenv("XMMS_CONFIG_FILE"); }
    PrivateConfig(const PrivateConfig &) = delete;
    PrivateConfig &operator=(const PrivateConfig &) = delete;
};

}  // namespace rt_test

#endif
