/*
 * The player's configuration-file calls, as the plug-in uses them. The
 * player stand-in under host/ implements them (libxmms.so.1).
 */
#ifndef KORVA_LIBXMMS_XMMS_CONFIGFILE_H
#define KORVA_LIBXMMS_XMMS_CONFIGFILE_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ConfigFile ConfigFile;

/* The player's configuration in memory, or null when there is none. */
ConfigFile *xmms_cfg_open_default_file(void);
/* Non-zero, with *value filled, only when the key is present. */
int xmms_cfg_read_int(ConfigFile *cfg, const char *section, const char *key, int *value);
/* Non-zero only when the key is present; *value is a new copy the caller frees with free(). */
int xmms_cfg_read_string(ConfigFile *cfg, const char *section, const char *key, char **value);
/*
 * Sets the key, creating section and key when absent. A write that runs out
 * of memory is kept in the handle: every later save of it fails, leaving the
 * file as it was, and says so once on standard error.
 */
void xmms_cfg_write_int(ConfigFile *cfg, const char *section, const char *key, int value);
void xmms_cfg_write_string(ConfigFile *cfg, const char *section, const char *key, const char *value);
/* Saves the whole configuration to the default file; non-zero on success. */
int xmms_cfg_write_default_file(ConfigFile *cfg);
void xmms_cfg_free(ConfigFile *cfg);

/* Stand-in extensions, used by the player program and the command line. */
ConfigFile *xmms_cfg_new(void);
ConfigFile *xmms_cfg_open_file(const char *path);
int xmms_cfg_write_file(ConfigFile *cfg, const char *path);
/* Chooses the file behind the default calls; null returns to ~/.xmms/config. */
void xmms_cfg_set_default_filename(const char *path);
/* The file behind the default calls, as a new string the caller frees with free(). */
char *xmms_cfg_get_default_filename(void);

#ifdef __cplusplus
}
#endif

#endif
