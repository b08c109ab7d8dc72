// Conversion between the parameter block and the keys of section "xmkorva-5":
// one integer key per field, named "xmkorva_" + field name, in block order,
// then the text key of the last preset path.
#include "korva_settings.h"

#include "engine/param_fields.h"
#include "libxmms/xmms_configfile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char *kSection = KORVA_SETTINGS_SECTION;
constexpr const char *kPathKey = KORVA_SETTINGS_PATH_KEY;

// "xmkorva_" + each field's name, made once in fixed buffers: nothing here
// allocates, so no exception can leave the C calls below.
struct KeyTable {
    char keys[KORVA_PARAM_FIELD_COUNT][48];
};

const KeyTable &key_table()
{
    static const KeyTable table = [] {
        KeyTable made{};
        for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
            std::snprintf(made.keys[i], sizeof made.keys[i], "xmkorva_%s", korva_param_fields[i].name);
        return made;
    }();
    return table;
}

// Copies at most size - 1 bytes of source and terminates; source and
// destination may be the same buffer.
void copy_path(char *destination, const char *source, std::size_t size)
{
    const std::size_t length = strnlen(source, size - 1);
    std::memmove(destination, source, length);
    destination[length] = '\0';
}

}  // namespace

char last_preset_file[KORVA_PRESET_PATH_SIZE] = "~/";  // C linkage from the header

extern "C" const char *korva_settings_key(int index)
{
    return index >= 0 && index < KORVA_PARAM_FIELD_COUNT ? key_table().keys[index] : nullptr;
}

extern "C" void korva_set_last_preset_file(const char *path)
{
    if (path != nullptr)
        copy_path(last_preset_file, path, KORVA_PRESET_PATH_SIZE);
}

extern "C" int korva_settings_read(ConfigFile *cfg, KorvaParams *params, char *last_path)
{
    if (cfg == nullptr || params == nullptr)
        return 0;
    int present = 0;
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        int value = 0;
        if (xmms_cfg_read_int(cfg, kSection, korva_settings_key(i), &value)) {
            // Truncated to the field's width: 300 in an 8-bit field is 44.
            korva_param_set(params, &korva_param_fields[i], value);
            ++present;
        }
    }
    char *path = nullptr;
    if (xmms_cfg_read_string(cfg, kSection, kPathKey, &path)) {
        if (last_path != nullptr)
            copy_path(last_path, path, KORVA_PRESET_PATH_SIZE);
        std::free(path);
        ++present;
    }
    return present;
}

extern "C" void korva_settings_write(ConfigFile *cfg, const KorvaParams *params, const char *last_path)
{
    if (cfg == nullptr || params == nullptr)
        return;
    // Sign-extended: a 16-bit -1 is written as -1, not 65535.
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i)
        xmms_cfg_write_int(cfg, kSection, korva_settings_key(i), korva_param_get(params, &korva_param_fields[i]));
    if (last_path != nullptr) {
        char path[KORVA_PRESET_PATH_SIZE];
        copy_path(path, last_path, sizeof path);
        xmms_cfg_write_string(cfg, kSection, kPathKey, path);
    }
}
