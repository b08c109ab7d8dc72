#include "config_source.h"

#include "engine/param_fields.h"
#include "fileio/file_read.h"
#include "libxmms/xmms_configfile.h"
#include "settings/korva_settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace {

struct ConfigDeleter {
    void operator()(ConfigFile *config) const { xmms_cfg_free(config); }
};

// Whether `section` holds a key named `prefix` + a field's name.
bool has_field_key(ConfigFile *config, const char *section, const std::string &prefix)
{
    for (const KorvaParamField &field : korva_param_fields) {
        char *value = nullptr;
        if (xmms_cfg_read_string(config, section, (prefix + field.name).c_str(), &value)) {
            std::free(value);
            return true;
        }
    }
    return false;
}

} // namespace

Status apply_config(const std::string &path, KorvaParams &params)
{
    struct stat status {};
    if (stat(path.c_str(), &status) != 0)
        return failure(path + ": cannot read the configuration file: " + std::strerror(errno));
    if (S_ISDIR(status.st_mode))
        return failure(path + ": cannot read the configuration file: it is a directory");
    if (!S_ISREG(status.st_mode))
        return failure(path + ": cannot read the configuration file: not a regular file (a pipe or device)");
    if (static_cast<unsigned long long>(status.st_size) > korva::fileio::kTextFileLimit)
        return failure(path + ": cannot read the configuration file: it " + korva::fileio::too_large_text());
    std::unique_ptr<ConfigFile, ConfigDeleter> config(xmms_cfg_open_file(path.c_str()));
    if (!config)
        return failure(path + ": cannot read the configuration file");
    // A file without the section (an empty file, another program's
    // configuration, not text at all) sets nothing: say so, so that a wrong
    // path is not taken for settings that sound like the defaults.
    if (!has_field_key(config.get(), "xmkorva-5", "xmkorva_")) {
        const bool audacious = has_field_key(config.get(), "korva", "");
        std::fprintf(stderr, "korva: warning: %s: no Korva settings in it (no keys of section [xmkorva-5]); "
                     "nothing was taken from it%s\n", path.c_str(),
                     audacious ? " (this looks like Audacious' configuration, whose section [korva] "
                                 "--config does not read)" : "");
        return success();
    }
    char last_preset[KORVA_PRESET_PATH_SIZE] = "~/";
    korva_settings_read(config.get(), &params, last_preset);
    return success();
}
