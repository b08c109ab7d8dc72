/*
 * The effect's settings in Audacious's own configuration, section "korva":
 * one integer key per parameter field, named after the field
 * ("enable_global", "chain_index", ... "bw_sigpreamp"), the text key
 * "last_preset_file", and the marker "imported_xmms". Everything here reaches
 * the configuration through a KorvaAudStore, so it runs without Audacious:
 * the plug-in gives it one over aud_get_int/aud_set_int, the tests one over
 * a map. Interface thread only (init, cleanup and the preferences).
 */
#ifndef KORVA_AUDACIOUS_SETTINGS_H
#define KORVA_AUDACIOUS_SETTINGS_H

#include "stream.h"

#include "engine/korva.h"

#include <cstddef>

extern "C" {

#define KORVA_AUD_SECTION "korva"
#define KORVA_AUD_PATH_KEY "last_preset_file"
#define KORVA_AUD_IMPORT_KEY "imported_xmms"
#define KORVA_AUD_PATH_SIZE 1024

/* Field positions in block order, as korva_param_fields lists them. */
enum KorvaAudField {
    KORVA_AUD_ENABLE_GLOBAL, KORVA_AUD_CHAIN_INDEX, KORVA_AUD_PREAMP, KORVA_AUD_SUPERBASS,
    KORVA_AUD_DEWOOFER, KORVA_AUD_FIDELITY, KORVA_AUD_ENABLE_3DSURROUND, KORVA_AUD_ENABLE_EXTSPACE,
    KORVA_AUD_ENABLE_EXTFX, KORVA_AUD_ENABLE_VS, KORVA_AUD_ENABLE_BW, KORVA_AUD_3DSURROUND_MODE,
    KORVA_AUD_3DSURROUND_DEPTH, KORVA_AUD_3DSURROUND_BASS, KORVA_AUD_EXTSPACE_MODE, KORVA_AUD_EXTFX_MODE,
    KORVA_AUD_EXTFX_SPACE, KORVA_AUD_EXTFX_CENTER, KORVA_AUD_VS_MODE, KORVA_AUD_VS_OVERDRIVE,
    KORVA_AUD_VS_INTENSITY, KORVA_AUD_SPC_SWAPSTEREO, KORVA_AUD_SPC_PHASEINVERT, KORVA_AUD_SPC_MODE,
    KORVA_AUD_SPC_DEBASS, KORVA_AUD_SPC_DETUBE, KORVA_AUD_SPC_MID, KORVA_AUD_SPC_HIGH,
    KORVA_AUD_BW_MODE, KORVA_AUD_BW_FQ, KORVA_AUD_BW_VALUE, KORVA_AUD_BW_SIGPREAMP,
    KORVA_AUD_FIELD_COUNT
};

/* Key-value access to one configuration section. */
typedef struct KorvaAudStore {
    void *context;
    /* The key's integer value; 0 when the key is absent and has no default. */
    int (*get_int)(void *context, const char *key);
    void (*set_int)(void *context, const char *key, int value);
    /* The key's text, cut to size - 1 bytes and terminated; "" when absent. */
    void (*get_str)(void *context, const char *key, char *out, std::size_t size);
    void (*set_str)(void *context, const char *key, const char *value);
} KorvaAudStore;

/*
 * The defaults as the name/value text pairs Audacious's
 * aud_config_set_defaults takes, ending in two nulls: the engine's defaults,
 * "~/" for the preset path and 0 for the import marker.
 */
const char *const *korva_aud_defaults(void);

/*
 * Reads the 32 keys into `params`, each value truncated to its field's width
 * (its low 8 or 16 bits for the narrow fields, two's complement), as the old
 * player's configuration file was read: 300 in an 8-bit flag is 44. A key
 * that is absent or holds no whole number (a word, "12abc", a value beyond
 * 32 bits) gives its field the engine's default; the other keys still count.
 */
void korva_aud_read_params(const KorvaAudStore *store, KorvaParams *params);

/* Writes the 32 keys from `params`, each field sign-extended. */
void korva_aud_write_params(const KorvaAudStore *store, const KorvaParams *params);

/*
 * A stream whose engine holds the configuration's values (read as
 * korva_aud_read_params reads them); null when the engine cannot be allocated.
 * Released with korva_aud_stream_delete: every change is in the configuration
 * already, so there is nothing to write at the end.
 */
KorvaAudStream *korva_aud_open(const KorvaAudStore *store);

/*
 * A preferences setter: stores `value`, truncated to the width of field
 * `index` (0..31, block order), in the live engine with one atomic store of
 * that width, and the truncated value in the configuration. The engine sees
 * it at its next block. Without a stream only the configuration changes; an
 * index outside 0..31 changes nothing.
 */
void korva_aud_set_field(const KorvaAudStore *store, KorvaAudStream *stream, int index, int value);

/*
 * The brainwave level menu: choice 0 "Disable", 1 "Normal", 2 "Extra (x2)".
 * Sets bw_mode to the choice and bw_value to 51 for 1 and 102 for 2, leaving
 * bw_value alone for any other choice.
 */
void korva_aud_set_bw_choice(const KorvaAudStore *store, KorvaAudStream *stream, int choice);
/* The menu position a block shows: 0 when bw_mode is 0, else 2 when bw_value > 51, else 1. */
int korva_aud_bw_choice(const KorvaParams *params);

/*
 * Reset: every parameter back to its default except enable_global,
 * spc_swapstereo and spc_phaseinvert, every stage back to silence; written to
 * the engine under the stream's lock and to the configuration.
 */
void korva_aud_reset(const KorvaAudStore *store, KorvaAudStream *stream);

/*
 * Loads a 110-byte preset file: its block, keeping enable_global,
 * spc_swapstereo and spc_phaseinvert, replaces the engine's under the lock
 * and goes to the configuration, and the path becomes last_preset_file.
 * A leading "~/" means the home directory. 1 on success; 0 (nothing changed)
 * when the file is no preset or there is no stream.
 */
int korva_aud_load_preset(const KorvaAudStore *store, KorvaAudStream *stream, const char *path);
/* Saves the engine's block as a preset file; 1 on success, 0 on failure. */
int korva_aud_save_preset(const KorvaAudStore *store, KorvaAudStream *stream, const char *path);

/*
 * Remembers a preset path (at most 1023 bytes). A path with a line break is
 * not stored: a configuration line cannot carry it.
 */
void korva_aud_set_last_preset(const KorvaAudStore *store, const char *path);

/*
 * The one-time import of the old player's settings. Unless the marker key
 * "imported_xmms" is set, reads section "xmkorva-5" of the configuration file
 * at `xmms_config_path` (usually ~/.xmms/config) with the player's
 * configuration reader and copies every key present ("xmkorva_preamp" to
 * "preamp", ..., "xmkorva_last_preset_file"), values truncated to the field
 * width, then sets the marker: a missing file or section imports nothing,
 * and no later start looks again. Returns the number of keys imported, or -1
 * when the marker was already set.
 */
int korva_aud_import_xmms(const KorvaAudStore *store, const char *xmms_config_path);

/* ~/.xmms/config (host/home_config.h); "" without a home directory. */
void korva_aud_xmms_config_path(char *out, std::size_t size);

}

#endif
