/*
 * What the plug-in adapter owns and shares with the settings and window code:
 * the one engine, the window pointer, and the lock that whole-record rewrites
 * (Reset, preset loading) take against a block in progress.
 */
#ifndef KORVA_PLUGIN_KORVA_PLUGIN_H
#define KORVA_PLUGIN_KORVA_PLUGIN_H

#include "engine/korva.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The single engine; null before init, after cleanup, or when allocation failed. */
extern KorvaEngine *korva;

/* The configuration window (a GtkWidget*), null while none exists. */
struct _GtkWidget;
extern struct _GtkWidget *window1;

/*
 * Held by the audio thread around each block and by the interface thread
 * around a rewrite of the whole record; never held for longer than one block
 * or one rewrite.
 */
void korva_engine_lock(void);
void korva_engine_unlock(void);

#ifdef __cplusplus
}
#endif

#endif
