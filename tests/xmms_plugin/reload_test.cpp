// Settings across restarts of the player: the plug-in is loaded with dlopen
// as the player loads it, initialised, changed, cleaned up and closed; the
// next load restores the settings from the configuration file.
#include "engine/korva.h"
#include "libxmms/xmms_configfile.h"
#include "libxmms/xmms_plugin.h"
#include "plugin_test_support.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <string>

#ifndef KORVA_PLUGIN_PATH
#error "KORVA_PLUGIN_PATH must name the built plug-in"
#endif

namespace {

using korva_test::ScratchDir;

// One load of the shared object, with what the test reaches inside it.
struct LoadedKorva {
    void *handle = nullptr;
    EffectPlugin *record = nullptr;
    KorvaEngine **engine = nullptr;            // the plug-in's `korva`
    char *last_preset = nullptr;               // the plug-in's `last_preset_file`

    LoadedKorva()
    {
        handle = dlopen(KORVA_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr)
            return;
        auto get_info = reinterpret_cast<GetEffectPluginInfo>(dlsym(handle, "get_eplugin_info"));
        record = get_info != nullptr ? get_info() : nullptr;
        engine = static_cast<KorvaEngine **>(dlsym(handle, "korva"));
        last_preset = static_cast<char *>(dlsym(handle, "last_preset_file"));
    }
    ~LoadedKorva()
    {
        if (handle != nullptr)
            dlclose(handle);
    }
    LoadedKorva(const LoadedKorva &) = delete;
    LoadedKorva &operator=(const LoadedKorva &) = delete;

    bool complete() const { return record != nullptr && engine != nullptr && last_preset != nullptr; }
};

KorvaParams changed_settings()
{
    KorvaEngine *engine = korva_new();
    KorvaParams p = engine->params;
    korva_delete(engine);
    p.enable_global = 0;
    p.chain_index = 5;
    p.preamp = 300;
    p.enable_vs = 1;
    p._3dsurround_mode = 3;
    p.spc_phaseinvert = 1;
    p.spc_mode = -1;           // out of the window's range: stored as it is
    p.bw_fq = 7000;
    p.bw_sigpreamp = 0;
    return p;
}

TEST(PluginReload, SettingsSurviveUnloadingAndLoadingThePlugin)
{
    ScratchDir scratch;
    const std::string config = scratch.file("config");
    xmms_cfg_set_default_filename(config.c_str());
    const KorvaParams wanted = changed_settings();

    {
        LoadedKorva first;
        ASSERT_TRUE(first.complete()) << dlerror();
        first.record->init();
        KorvaEngine *engine = *first.engine;
        ASSERT_NE(engine, nullptr);
        KorvaParams defaults;
        korva_default_params(&defaults);
        EXPECT_EQ(std::memcmp(&engine->params, &defaults, sizeof defaults), 0) << "no configuration yet";

        engine->params = wanted;
        std::strcpy(first.last_preset, "/music/presets/night.kp");
        int16_t frames[8] = {1000, -1000, 2000, -2000, 3000, -3000, 4000, -4000};
        void *data = frames;
        first.record->mod_samples(&data, sizeof frames, FMT_S16_NE, 48000, 2);
        first.record->cleanup();
        EXPECT_EQ(*first.engine, nullptr);
    }
    ASSERT_TRUE(std::filesystem::exists(config));

    LoadedKorva second;
    ASSERT_TRUE(second.complete()) << dlerror();
    second.record->init();
    KorvaEngine *engine = *second.engine;
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(std::memcmp(&engine->params, &wanted, sizeof wanted), 0);
    EXPECT_EQ(engine->sample_rate, 44100) << "the rate is never stored";
    EXPECT_STREQ(second.last_preset, "/music/presets/night.kp");
    second.record->cleanup();
    xmms_cfg_set_default_filename(nullptr);
}

} // namespace
