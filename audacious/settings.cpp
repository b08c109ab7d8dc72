#include "settings.h"

#include "engine/controls.h"
#include "engine/param_fields.h"
#include "fileio/directories.h"
#include "libxmms/home_config.h"
#include "libxmms/xmms_configfile.h"
#include "settings/korva_settings.h"
#include "preset_file/preset_file.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static_assert(KORVA_AUD_FIELD_COUNT == KORVA_PARAM_FIELD_COUNT);

namespace {

constexpr const char *kDefaultPath = "~/";

bool has_line_break(const char *text)
{
    return std::strpbrk(text, "\r\n") != nullptr;
}

// "~/x" is the home directory's x, as the old window's file selector read it.
// Written into `out`; false when the result does not fit, or memory for the
// home directory's name ran out (no exception leaves the C calls below).
bool expand_home(const char *path, char (&out)[PATH_MAX])
{
    try {
        const bool tilde = path[0] == '~' && path[1] == '/';
        const std::string home = tilde ? korva::fileio::home_directory() : std::string();
        const bool in_home = tilde && !home.empty();
        const int n = in_home ? std::snprintf(out, sizeof out, "%s%s", home.c_str(), path + 1)
                              : std::snprintf(out, sizeof out, "%s", path);
        return n >= 0 && static_cast<std::size_t>(n) < sizeof out;
    } catch (...) {
        return false;
    }
}

// Replaces the engine's whole block at a block boundary: the audio thread
// holds the same lock for each block, so no block sees half of the rewrite.
void publish(KorvaAudStream *stream, const KorvaParams &block, bool clear_state)
{
    std::lock_guard<std::mutex> guard(stream->lock);
    korva_params_write(stream->engine, &block);
    if (clear_state)
        korva_clear_state(stream->engine);
}

// A whole decimal number within the 32-bit range, optional sign, as the
// player's configuration reader takes one; anything else (empty, words,
// trailing text, overflow) is none.
bool whole_number(const char *text, int &value)
{
    if (*text == '\0')
        return false;
    errno = 0;
    char *end = nullptr;
    const long long parsed = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed < INT_MIN || parsed > INT_MAX)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

bool has_engine(const KorvaAudStream *stream)
{
    return stream != nullptr && stream->engine != nullptr;
}

}  // namespace

extern "C" const char *const *korva_aud_defaults(void)
{
    // Built once: 32 fields, the path and the marker, as name/value pairs.
    static const auto table = [] {
        struct Table {
            char values[KORVA_PARAM_FIELD_COUNT][12];   // "-2147483648" and its terminator
            std::array<const char *, 2 * (KORVA_PARAM_FIELD_COUNT + 2) + 2> pairs{};
        } t;
        KorvaParams defaults;
        korva_default_params(&defaults);
        std::size_t at = 0;
        for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
            std::snprintf(t.values[i], sizeof t.values[i], "%d",
                          static_cast<int>(korva_param_get(&defaults, &korva_param_fields[i])));
            t.pairs[at++] = korva_param_fields[i].name;
            t.pairs[at++] = t.values[i];
        }
        t.pairs[at++] = KORVA_AUD_PATH_KEY;
        t.pairs[at++] = kDefaultPath;
        t.pairs[at++] = KORVA_AUD_IMPORT_KEY;
        t.pairs[at++] = "0";
        return t;
    }();
    return table.pairs.data();
}

extern "C" void korva_aud_read_params(const KorvaAudStore *store, KorvaParams *params)
{
    for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
        char text[32];
        store->get_str(store->context, korva_param_fields[i].name, text, sizeof text);
        int value = 0;
        korva_param_set(params, &korva_param_fields[i], whole_number(text, value) ? value : korva_control_default(i));
    }
}

extern "C" void korva_aud_write_params(const KorvaAudStore *store, const KorvaParams *params)
{
    for (const KorvaParamField &field : korva_param_fields)
        store->set_int(store->context, field.name, korva_param_get(params, &field));
}

extern "C" KorvaAudStream *korva_aud_open(const KorvaAudStore *store)
{
    KorvaAudStream *stream = korva_aud_stream_new();
    if (stream == nullptr)
        return nullptr;
    KorvaParams block;
    korva_default_params(&block);
    korva_aud_read_params(store, &block);
    korva_params_write(stream->engine, &block);
    return stream;
}

extern "C" void korva_aud_set_field(const KorvaAudStore *store, KorvaAudStream *stream, int index, int value)
{
    if (index < 0 || index >= KORVA_PARAM_FIELD_COUNT)
        return;
    const KorvaParamField &field = korva_param_fields[index];
    KorvaParams block;
    if (has_engine(stream)) {
        // Only this field changes, and every field is published with an
        // atomic store of its own width: no lock needed.
        korva_params_read(stream->engine, &block);
        korva_param_set(&block, &field, value);
        korva_params_write(stream->engine, &block);
    } else {
        korva_param_set(&block, &field, value);
    }
    store->set_int(store->context, field.name, korva_param_get(&block, &field));
}

extern "C" int korva_aud_bw_choice(const KorvaParams *params)
{
    if (params->bw_mode == 0)
        return 0;
    return params->bw_value > 51 ? 2 : 1;
}

extern "C" void korva_aud_set_bw_choice(const KorvaAudStore *store, KorvaAudStream *stream, int choice)
{
    korva_aud_set_field(store, stream, KORVA_AUD_BW_MODE, choice);
    if (choice == 1 || choice == 2)
        korva_aud_set_field(store, stream, KORVA_AUD_BW_VALUE, choice == 1 ? 51 : 102);
}

extern "C" void korva_aud_reset(const KorvaAudStore *store, KorvaAudStream *stream)
{
    KorvaParams kept;
    if (has_engine(stream))
        korva_params_read(stream->engine, &kept);
    else
        korva_aud_read_params(store, &kept);
    KorvaParams block;
    korva_default_params(&block);
    korva_params_keep_switches(&block, &kept);
    if (has_engine(stream))
        publish(stream, block, true);
    korva_aud_write_params(store, &block);
}

extern "C" int korva_aud_load_preset(const KorvaAudStore *store, KorvaAudStream *stream, const char *path)
{
    if (!has_engine(stream) || path == nullptr)
        return 0;
    // The file is read before the lock is taken; a failed read changes nothing.
    char file[PATH_MAX];
    KorvaParams loaded;
    if (!expand_home(path, file) || !korva_read_preset(file, &loaded))
        return 0;
    KorvaParams kept;
    korva_params_read(stream->engine, &kept);
    korva_params_keep_switches(&loaded, &kept);
    publish(stream, loaded, false);
    korva_aud_write_params(store, &loaded);
    korva_aud_set_last_preset(store, path);
    return 1;
}

extern "C" int korva_aud_save_preset(const KorvaAudStore *store, KorvaAudStream *stream, const char *path)
{
    if (!has_engine(stream) || path == nullptr || *path == '\0')
        return 0;
    char file[PATH_MAX];
    if (!expand_home(path, file) || !korva_save(stream->engine, file))
        return 0;
    korva_aud_set_last_preset(store, path);
    return 1;
}

extern "C" void korva_aud_set_last_preset(const KorvaAudStore *store, const char *path)
{
    if (path == nullptr || has_line_break(path))
        return;
    char cut[KORVA_AUD_PATH_SIZE];
    const std::size_t length = strnlen(path, sizeof cut - 1);
    std::memcpy(cut, path, length);
    cut[length] = '\0';
    store->set_str(store->context, KORVA_AUD_PATH_KEY, cut);
}

extern "C" int korva_aud_import_xmms(const KorvaAudStore *store, const char *xmms_config_path)
{
    if (store->get_int(store->context, KORVA_AUD_IMPORT_KEY) != 0)
        return -1;
    int imported = 0;
    ConfigFile *cfg = xmms_config_path != nullptr && *xmms_config_path != '\0'
                          ? xmms_cfg_open_file(xmms_config_path)
                          : nullptr;
    if (cfg != nullptr) {
        for (int i = 0; i < KORVA_PARAM_FIELD_COUNT; ++i) {
            const KorvaParamField &field = korva_param_fields[i];
            int value = 0;
            if (!xmms_cfg_read_int(cfg, KORVA_SETTINGS_SECTION, korva_settings_key(i), &value))
                continue;
            // Truncated to the field's width on the way in, as the player did.
            KorvaParams block;
            korva_param_set(&block, &field, value);
            store->set_int(store->context, field.name, korva_param_get(&block, &field));
            ++imported;
        }
        char *path = nullptr;
        if (xmms_cfg_read_string(cfg, KORVA_SETTINGS_SECTION, KORVA_SETTINGS_PATH_KEY, &path)) {
            if (!has_line_break(path)) {
                korva_aud_set_last_preset(store, path);
                ++imported;
            }
            std::free(path);
        }
        xmms_cfg_free(cfg);
    }
    store->set_int(store->context, KORVA_AUD_IMPORT_KEY, 1);
    return imported;
}

extern "C" void korva_aud_xmms_config_path(char *out, std::size_t size)
{
    if (out == nullptr || size == 0)
        return;
    // Cut to `size` like any other copy into it.
    try {
        std::snprintf(out, size, "%s", korva::config::home_config_name().c_str());
    } catch (...) {
        out[0] = '\0';
    }
}
