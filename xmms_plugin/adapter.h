/*
 * The plug-in's callbacks, as the player reaches them through the
 * EffectPlugin record. init comes once before any other callback and cleanup
 * once at the end; mod_samples runs on the player's audio thread, everything
 * else on its interface thread.
 */
#ifndef KORVA_XMMS_PLUGIN_ADAPTER_H
#define KORVA_XMMS_PLUGIN_ADAPTER_H

#include "libxmms/xmms_plugin.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The record the player keeps; the only symbol it looks up. */
EffectPlugin *get_eplugin_info(void);

/* Creates the engine and reads the saved settings into it. */
void plugin_init(void);
/* Closes an open window, saves the settings and releases the engine. */
void plugin_cleanup(void);
/* Shows the about box. */
void plugin_about(void);
/* Opens the configuration window unless one is already open. */
void plugin_configure(void);
/*
 * For signed 16-bit stereo (FMT_S16_LE, FMT_S16_NE) stores the rate in the
 * engine, then processes the block's whole frames in place; a block of no
 * whole frame or without a buffer stores the rate only. Any other format or
 * channel count passes through and keeps the rate. Always returns length.
 */
int plugin_mod_samples(void **data, int length, AFormat fmt, int srate, int nch);

#ifdef __cplusplus
}
#endif

#endif
