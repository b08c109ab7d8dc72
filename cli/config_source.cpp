#include "config_source.h"

#include "host/xmms_configfile.h"
#include "settings/korva_settings.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace {

struct ConfigDeleter {
    void operator()(ConfigFile *config) const { xmms_cfg_free(config); }
};

} // namespace

Status apply_config(const std::string &path, KorvaParams &params)
{
    struct stat status {};
    if (stat(path.c_str(), &status) != 0)
        return failure(path + ": cannot read the configuration file: " + std::strerror(errno));
    if (S_ISDIR(status.st_mode))
        return failure(path + ": cannot read the configuration file: it is a directory");
    std::unique_ptr<ConfigFile, ConfigDeleter> config(xmms_cfg_open_file(path.c_str()));
    if (!config)
        return failure(path + ": cannot read the configuration file");
    char last_preset[KORVA_PRESET_PATH_SIZE] = "~/";
    korva_settings_read(config.get(), &params, last_preset);
    return success();
}
