/* Settings kept in the player's configuration file, section "xmkorva-5". */
#ifndef KORVA_SETTINGS_KORVA_SETTINGS_H
#define KORVA_SETTINGS_KORVA_SETTINGS_H

#ifdef __cplusplus
extern "C" {
#endif

#define KORVA_PRESET_PATH_SIZE 1024

/* Path of the last preset loaded or saved; "~/" at start. */
extern char last_preset_file[KORVA_PRESET_PATH_SIZE];

/* Copies at most 1023 characters of path into last_preset_file. */
void korva_set_last_preset_file(const char *path);

/* Reads every key into `korva` and last_preset_file; 0 when there is no configuration. */
int cfg_retrieve(void);
/* Writes every key from `korva` and last_preset_file and saves; 0 when there is no configuration. */
int cfg_store(void);

#ifdef __cplusplus
}
#endif

#endif
