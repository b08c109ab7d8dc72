/*
 * The parameter block the configuration window edits, reached through its
 * owner: a record of the owner's functions and data. The window keeps no
 * block of its own; each control change reads the block, changes the fields
 * of that control and writes the block back whole.
 *
 * Threads: the window calls every function on the toolkit's thread (the
 * interface thread), one call at a time. An owner whose block changes outside
 * the window (another thread, another process) calls gui_update (ui/binding.h)
 * on the toolkit's thread once the change is in, for example from g_idle_add;
 * the window then shows the block as it now is.
 *
 * The XMMS plug-in's record, over its one engine, is plugin/window_model.cpp.
 */
#ifndef KORVA_UI_WINDOW_MODEL_H
#define KORVA_UI_WINDOW_MODEL_H

#include "engine/korva.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct KorvaWindowModel {
    void *user_data;  /* passed to every function below */
    /* Copies the block into *block and returns 1; 0 when there is none, and
       the window then shows and changes nothing. */
    int (*read)(void *user_data, KorvaParams *block);
    /* Puts *block in force; every control change calls it. Whoever uses the
       block meanwhile must see each field old or new, never torn. */
    void (*write)(void *user_data, const KorvaParams *block);
    /* Reset (block null: every field to its default, every stage back to
       silence) or a preset load (block: the loaded one). The new block keeps
       the master switch, reversed stereo and phase invert in force
       (korva_params_keep_switches) and replaces the old one whole, never in
       the middle of an audio block. */
    void (*replace)(void *user_data, const KorvaParams *block);
    /* The window is going away: the owner keeps the block wherever it keeps
       its settings. May be null. */
    void (*closed)(void *user_data);
    /* LOAD or SAVE succeeded with the preset file `path`, now also in
       last_preset_file: an owner that keeps the last preset folder somewhere
       of its own does so. May be null. */
    void (*preset_chosen)(void *user_data, const char *path);
} KorvaWindowModel;

#ifdef __cplusplus
}
#endif

#endif
