// The plug-in's settings in the player's configuration file: read once at
// start-up into the global engine, written back whenever the window closes
// and at clean-up. Interface thread only.
#include "korva_plugin.h"

#include "host/xmms_configfile.h"
#include "settings/korva_settings.h"

extern "C" int cfg_retrieve(void)
{
    if (korva == nullptr)
        return 0;
    ConfigFile *cfg = xmms_cfg_open_default_file();
    if (cfg == nullptr)
        return 0;
    // Absent keys keep the engine's current values, so start from them.
    KorvaParams params;
    korva_params_read(korva, &params);
    korva_settings_read(cfg, &params, last_preset_file);
    korva_params_write(korva, &params);
    xmms_cfg_free(cfg);
    return 1;
}

extern "C" int cfg_store(void)
{
    if (korva == nullptr)
        return 0;
    ConfigFile *cfg = xmms_cfg_open_default_file();
    if (cfg == nullptr)
        return 0;
    KorvaParams params;
    korva_params_read(korva, &params);
    korva_settings_write(cfg, &params, last_preset_file);
    const int saved = xmms_cfg_write_default_file(cfg);
    xmms_cfg_free(cfg);
    return saved ? 1 : 0;
}
