/*
 * Settings kept in the player's configuration file, section "xmkorva-5": one
 * integer key per parameter field, "xmkorva_" + the field's name, in block
 * order, then the text key of the last preset path. This is the one list of
 * the section's keys: the XMMS plug-in, `korva --config` and the Audacious
 * effect's import all read the section through it. The configuration-file
 * calls themselves come from the program (libxmms.so.1 in a player, the
 * static xmms_config elsewhere).
 */
#ifndef KORVA_SETTINGS_KORVA_SETTINGS_H
#define KORVA_SETTINGS_KORVA_SETTINGS_H

#include "engine/korva.h"

#ifdef __cplusplus
extern "C" {
#endif

struct ConfigFile;

#define KORVA_PRESET_PATH_SIZE 1024

/* Path of the last preset loaded or saved; "~/" at start. */
extern char last_preset_file[KORVA_PRESET_PATH_SIZE];

/* Copies at most 1023 characters of path into last_preset_file. */
void korva_set_last_preset_file(const char *path);

#define KORVA_SETTINGS_SECTION "xmkorva-5"
#define KORVA_SETTINGS_PATH_KEY "xmkorva_last_preset_file"

/* The key of field `index` (block order, 0..31), e.g. "xmkorva_preamp"; null outside 0..31. */
const char *korva_settings_key(int index);

/*
 * Reads the keys of section "xmkorva-5" that are present into params (each
 * truncated to its field's width) and, when last_path (a 1024-byte buffer) is
 * not null, the last preset path (at most 1023 characters). Absent keys leave
 * their field or the path alone. Returns how many of the 33 keys are present;
 * 0 for a null cfg or params.
 */
int korva_settings_read(struct ConfigFile *cfg, KorvaParams *params, char *last_path);
/*
 * Writes the 32 integer keys (each field sign-extended) and, when last_path is
 * not null, the last preset path into section "xmkorva-5" of cfg, in key
 * order. Does not save the file. Nothing happens for a null cfg or params.
 */
void korva_settings_write(struct ConfigFile *cfg, const KorvaParams *params, const char *last_path);

#ifdef __cplusplus
}
#endif

#endif
