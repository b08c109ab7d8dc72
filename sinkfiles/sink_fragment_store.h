/*
 * The Korva controls saved in the sink's PipeWire configuration fragment
 * (korva-sink.conf), read and changed in place: only the values inside the
 * Korva node's `control = { }` (the filter-graph node with label korva)
 * change, every other byte of a file edited by hand stays as it is. A file
 * this reader cannot follow is reported with its line and never written.
 *
 * Writers hold a lock on a separate file beside the fragment
 * (.korva-sink.conf.lock: the fragment itself is replaced whole, through the
 * file-safety module, and a lock on it would go with the old file), so two
 * writers at the same moment both land.
 */
#ifndef KORVA_SINKFILES_SINK_FRAGMENT_STORE_H
#define KORVA_SINKFILES_SINK_FRAGMENT_STORE_H

#include "sinkfiles/sink_values.h"

#include <limits.h>
#include <stdbool.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct KorvaFragmentError {
    int line;            /* 1-based line of the fragment at fault; 0 when not about a line */
    char message[512];   /* what is wrong, starting with the path when one is known */
} KorvaFragmentError;

/* What a fragment holds: the controls its Korva node sets, and the plug-in
 * path it names (its quoted string read back; empty when none). */
typedef struct KorvaFragmentContents {
    KorvaSinkValues controls;
    char plugin[PATH_MAX];
} KorvaFragmentContents;

/* Where PipeWire looks for the sink's fragment: $XDG_CONFIG_HOME/pipewire/
 * pipewire.conf.d/korva-sink.conf, or under ~/.config without it. False
 * (with `error` filled) when neither variable is an absolute path or the
 * path does not fit in `size` bytes. */
bool korva_fragment_path(char *path, size_t size, KorvaFragmentError *error);

/* Reads `size` bytes of fragment text. */
bool korva_fragment_parse(const char *text, size_t size, KorvaFragmentContents *contents, KorvaFragmentError *error);

/* The text with the given controls changed (a control the node lacks is
 * added at the end of its `control = { }`). Returns a malloc'd text of
 * *out_size bytes (the caller frees it), or null with `error` filled. */
char *korva_fragment_rewrite(const char *text, size_t size, const KorvaSinkChange *changes, int count,
                             size_t *out_size, KorvaFragmentError *error);

/* The file at `path`: read, or changed under the lock and replaced whole. A
 * missing file is an error for both (message says it is not installed). */
bool korva_fragment_read(const char *path, KorvaFragmentContents *contents, KorvaFragmentError *error);
bool korva_fragment_save(const char *path, const KorvaSinkChange *changes, int count, KorvaFragmentError *error);

/* The compare node's migration: a fragment written before the sink had a
 * compare node (one filter-graph node, label korva) gains the two copy
 * nodes, the compare node (naming the Korva node's plug-in), the links and
 * the graph's inputs and outputs; every other byte, the controls and hand
 * edits elsewhere included, stays. A fragment that has the compare node is
 * left as it is (*changed false). One whose graph holds more than the Korva
 * node is refused: its wiring is its author's. The text form returns a
 * malloc'd text of *out_size bytes, or null with `error` filled; the file
 * form changes the file under the writers' lock. */
char *korva_fragment_migrate(const char *text, size_t size, size_t *out_size, bool *changed,
                             KorvaFragmentError *error);
bool korva_fragment_migrate_file(const char *path, bool *changed, KorvaFragmentError *error);

/* The writers' lock for the fragment at `path`: a descriptor to give back to
 * korva_fragment_unlock, or -1 with `error` filled when it cannot be taken
 * within `timeout_ms`. */
int korva_fragment_lock(const char *path, int timeout_ms, KorvaFragmentError *error);
void korva_fragment_unlock(int lock);

#ifdef __cplusplus
}
#endif

#endif
