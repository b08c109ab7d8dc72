// The plug-in's settings in the player's configuration file: read once at
// start-up into the global engine, written back whenever the window closes
// and at clean-up. Interface thread only.
#include "korva_plugin.h"

#include "libxmms/xmms_configfile.h"
#include "settings/korva_settings.h"

namespace {

// Runs `use` on the engine's block and the player's configuration, both
// there; 0 when either is missing, else what `use` returns.
template <class Use> int with_engine_and_config(Use use)
{
    if (korva == nullptr)
        return 0;
    ConfigFile *cfg = xmms_cfg_open_default_file();
    if (cfg == nullptr)
        return 0;
    KorvaParams params;
    korva_params_read(korva, &params);
    const int result = use(cfg, params);
    xmms_cfg_free(cfg);
    return result;
}

}  // namespace

extern "C" int cfg_retrieve(void)
{
    return with_engine_and_config([](ConfigFile *cfg, KorvaParams &params) {
        // Absent keys keep the engine's current values, the block's start.
        korva_settings_read(cfg, &params, last_preset_file);
        korva_params_write(korva, &params);
        return 1;
    });
}

extern "C" int cfg_store(void)
{
    return with_engine_and_config([](ConfigFile *cfg, KorvaParams &params) {
        korva_settings_write(cfg, &params, last_preset_file);
        return xmms_cfg_write_default_file(cfg) ? 1 : 0;
    });
}
