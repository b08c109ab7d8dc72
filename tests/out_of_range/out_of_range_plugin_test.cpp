// A sample rate of 0 or below arriving with a block from the player is
// processed as 44100 Hz, like one written straight into the record.
#include "engine/korva.h"
#include "libxmms/xmms_plugin.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern "C" EffectPlugin *get_eplugin_info(void);

namespace {

// The plug-in's own `korva` (it binds its names to itself).
KorvaEngine *plugin_engine()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&get_eplugin_info), &info) == 0 || info.dli_fname == nullptr)
        return nullptr;
    void *handle = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    void *address = handle != nullptr ? dlsym(handle, "korva") : nullptr;
    return address != nullptr ? *static_cast<KorvaEngine **>(address) : nullptr;
}

std::vector<int16_t> audio()
{
    std::vector<int16_t> s(2 * 2048);
    for (size_t i = 0; i < s.size() / 2; ++i) {
        s[2 * i] = static_cast<int16_t>(12000.0 * std::sin(i * 0.05) + 3000.0 * std::sin(i * 0.9));
        s[2 * i + 1] = static_cast<int16_t>(10000.0 * std::sin(i * 0.011));
    }
    return s;
}

// One block through a freshly initialised plug-in with every stage on.
std::vector<int16_t> through_plugin(int rate)
{
    EffectPlugin *plugin = get_eplugin_info();
    plugin->init();
    KorvaEngine *engine = plugin_engine();
    EXPECT_NE(engine, nullptr);
    if (engine == nullptr)
        return {};
    KorvaParams p;
    korva_default_params(&p);
    p.enable_extspace = p.enable_extfx = p.enable_vs = p.enable_bw = 1;
    p.spc_mode = 1;
    p.superbass = 100;
    p._3dsurround_mode = 3;
    korva_params_write(engine, &p);
    std::vector<int16_t> s = audio();
    void *data = s.data();
    plugin->mod_samples(&data, static_cast<int>(s.size() * 2), FMT_S16_NE, rate, 2);
    plugin->cleanup();
    return s;
}

TEST(OutOfRangePlugin, BlocksAtARateOfZeroOrBelowRunAs44100)
{
    korva_test::ScratchDir dir;
    setenv("XMMS_CONFIG_FILE", dir.file("config").c_str(), 1);

    const std::vector<int16_t> expected = through_plugin(44100);
    ASSERT_NE(expected, through_plugin(48000)) << "the rate does not change the output";
    ASSERT_NE(expected, audio()) << "the block was not processed";
    for (const int rate : {0, -1, -44100, INT_MIN})
        EXPECT_EQ(through_plugin(rate), expected) << rate;

    unsetenv("XMMS_CONFIG_FILE");
}

}  // namespace
