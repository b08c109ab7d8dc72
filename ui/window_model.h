/*
 * What the configuration window works on, reached through its owner: a
 * record of the owner's functions and data. The window keeps no block of its
 * own; each control change reads the block, changes the fields of that
 * control and writes the block back whole. Everything the window needs from
 * outside (the block, the preset files, the last preset path, the message
 * window, the title) comes through this record, so the window runs the same
 * in a player, in korva-control and inside an LV2 host.
 *
 * Threads: the window calls every function on the toolkit's thread (the
 * interface thread), one call at a time. An owner whose block changes outside
 * the window (another thread, another process) calls gui_update (ui/binding.h)
 * on the toolkit's thread once the change is in, for example from g_idle_add;
 * the window then shows the block as it now is.
 *
 * The XMMS plug-in's record, over its one engine, is xmms_plugin/window_model.cpp.
 */
#ifndef KORVA_UI_WINDOW_MODEL_H
#define KORVA_UI_WINDOW_MODEL_H

#include "engine/korva.h"

#ifdef __cplusplus
extern "C" {
#endif

struct _GtkWidget;

typedef struct KorvaWindowModel {
    void *user_data;  /* passed to every function below */
    /* Copies the block into *block and returns 1; 0 when there is none, and
       the window then shows and changes nothing. */
    int (*read)(void *user_data, KorvaParams *block);
    /* A change of one control (or the read-back that ends gui_update): the
       block with that control's fields changed, to put in force. Whoever
       uses the block meanwhile must see each field old or new, never torn. */
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

    /* The path the LOAD and SAVE selectors start at. Null, or a null
       result: "~/". */
    const char *(*last_preset)(void *user_data);
    /* LOAD or SAVE succeeded with the preset file `path`: the owner keeps it
       as the last preset path. May be null. */
    void (*preset_chosen)(void *user_data, const char *path);
    /* Reads the preset file `path` into *block whole, or returns 0 and
       leaves *block alone; the window then shows the failure. Owners that
       keep presets as files give preset_file/preset_file.h's
       korva_preset_load_hook; null: every load fails. */
    int (*load_preset)(void *user_data, const char *path, KorvaParams *block);
    /* Writes *block as the preset file `path`; 0 on failure.
       korva_preset_save_hook writes preset files; null: every save fails. */
    int (*save_preset)(void *user_data, const char *path, const KorvaParams *block);
    /* Makes and shows a message window with the title, the text and one
       "Close" button that closes it, and returns it (null when it cannot).
       Null: the window's own (ui/message_window.h). */
    struct _GtkWidget *(*message_window)(void *user_data, const char *title, const char *text);

    /* The window's title; null: "Korva configuration". */
    const char *title;
} KorvaWindowModel;

#ifdef __cplusplus
}
#endif

#endif
