// Helpers of the real-time safety tests: a parameter block with every stage
// on, and a configuration file of the test's own so that the plug-in's init
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

// Every stage on, the three chained effects in a non-default order,
// brainwave synthesis at its strongest level.
inline KorvaParams all_stages_on()
{
    KorvaParams p;
    korva_default_params(&p);
    p.enable_global = 1;
    p.chain_index = 3;
    p.superbass = 160;
    p.dewoofer = 200;
    p.fidelity = 180;
    p.enable_3dsurround = 1;
    p.enable_extspace = 1;
    p.enable_extfx = 1;
    p.enable_vs = 1;
    p.enable_bw = 1;
    p._3dsurround_mode = 3;
    p.extspace_mode = 2;
    p.extfx_mode = 1;
    p.vs_mode = 1;
    p.vs_intensity = 200;
    p.spc_mode = 1;
    p.spc_phaseinvert = 1;
    p.spc_swapstereo = 1;
    p.bw_mode = 2;
    p.bw_value = 102;
    p.bw_fq = 7000;
    return p;
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
