/*
 * Saving the controls of a dragged slider without a write per step: the
 * first change is written at once, changes within the next `interval_ms`
 * are held back (each field with its last value) and written when the
 * interval has passed, so at most a few writes a second reach the fragment
 * and the last value always lands. For one thread: a window's main loop
 * calls korva_fragment_saver_poll from a timer and korva_fragment_saver_flush
 * before it reconnects and before it exits.
 */
#ifndef KORVA_SINKFILES_SINK_FRAGMENT_SAVER_H
#define KORVA_SINKFILES_SINK_FRAGMENT_SAVER_H

#include "sinkfiles/sink_fragment_store.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct KorvaFragmentSaver KorvaFragmentSaver;

/* A saver for the fragment at `path` (copied); null when out of memory. */
KorvaFragmentSaver *korva_fragment_saver_new(const char *path, int interval_ms);

/* Frees the saver; what is held back is dropped, so flush first. */
void korva_fragment_saver_free(KorvaFragmentSaver *saver);

/* Takes changes: written now when the last write is `interval_ms` ago,
 * otherwise held back. False when a write failed (`error` says why); the
 * changes stay held back for the next try. */
bool korva_fragment_saver_change(KorvaFragmentSaver *saver, const KorvaSinkChange *changes, int count,
                                 KorvaFragmentError *error);

/* Writes what is held back once its interval has passed; true when nothing
 * failed. */
bool korva_fragment_saver_poll(KorvaFragmentSaver *saver, KorvaFragmentError *error);

/* Writes what is held back now. */
bool korva_fragment_saver_flush(KorvaFragmentSaver *saver, KorvaFragmentError *error);

/* Whether changes wait to be written. */
bool korva_fragment_saver_pending(const KorvaFragmentSaver *saver);

#ifdef __cplusplus
}
#endif

#endif
