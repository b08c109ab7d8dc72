/*
 * What the plug-in adapter owns: the one engine, the lock that whole-record
 * rewrites (Reset, preset loading) take against a block in progress, the
 * settings kept in the player's configuration file, and the window's view of
 * the engine. Nothing below plugin/ knows these names: the window reaches the
 * engine only through the record plugin/window_model.cpp gives it.
 */
#ifndef KORVA_XMMS_PLUGIN_KORVA_PLUGIN_H
#define KORVA_XMMS_PLUGIN_KORVA_PLUGIN_H

#include "engine/korva.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The single engine; null before init, after cleanup, or when allocation failed. */
extern KorvaEngine *korva;

/*
 * Held by the audio thread around each block and by the interface thread
 * around a rewrite of the whole record; never held for longer than one block
 * or one rewrite.
 */
void korva_engine_lock(void);
void korva_engine_unlock(void);

/*
 * Reads every key of the player's configuration into `korva` and
 * last_preset_file; 0 when there is no engine or no configuration.
 */
int cfg_retrieve(void);
/*
 * Writes every key from `korva` and last_preset_file and saves; 0 when there
 * is no engine or configuration, or the save failed.
 */
int cfg_store(void);

/*
 * Builds the configuration window over the engine `korva` (see
 * ui/window_model.h), stores it in window1 and returns it hidden.
 */
struct _GtkWidget;
struct _GtkWidget *create_window1(void);

#ifdef __cplusplus
}
#endif

#endif
