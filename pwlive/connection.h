/*
 * One connection to PipeWire, shared by the parts of a program that watch
 * it (the sink client, the output watch, the stream watch): one thread (a
 * pw_thread_loop), one context, one core, one registry, and one rule for
 * when PipeWire goes away: every part hears `down` at once, its proxies are
 * dropped (`disconnect`) from a timer, never inside the core's own event,
 * and a new connection is tried every second; every part then hears
 * `connected` with the new core and registry.
 *
 * A part adds its listener (korva_pw_connection_add_listener) before
 * korva_pw_connection_start, so it meets every global the registry lists;
 * in `connected` it adds its own listeners to the core and the registry (a
 * part's core listener sees the `done` of every part's sync, and keeps to
 * its own seq numbers). Events run on the connection's thread with its lock
 * held; a part's calls from other threads take the lock
 * (korva_pw_connection_lock) and wait on its loop (pw_thread_loop_timed_wait),
 * whose signal wakes every waiter of every part.
 *
 * Freeing: korva_pw_connection_stop ends the thread and disconnects every
 * part; the parts are freed after it (each removes its listener), the
 * connection last. No event runs after stop returns.
 */
#ifndef KORVA_PWLIVE_CONNECTION_H
#define KORVA_PWLIVE_CONNECTION_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

/* libpipewire's types, named here so that a program holding a connection
 * needs none of its headers. */
struct pw_core;
struct pw_registry;
struct pw_thread_loop;
struct spa_hook;

#ifdef __cplusplus
extern "C" {
#endif

#define KORVA_PW_CONNECTION_RETRY_SECONDS 1

typedef struct KorvaPwConnection KorvaPwConnection;

struct korva_pw_connection_events {
#define KORVA_VERSION_PW_CONNECTION_EVENTS 0
    uint32_t version;
    /* Connected: add listeners to `core` and `registry`, bind what to bind. */
    void (*connected)(void *data, struct pw_core *core, struct pw_registry *registry);
    /* No PipeWire: a connection failed, or the daemon went away (the part's
     * proxies are still there until `disconnect`; send nothing through them). */
    void (*down)(void *data);
    /* Drop every proxy and every listener on the core and the registry. */
    void (*disconnect)(void *data);
};

/* A connection named `name` (its thread's name), not yet started; null only
 * when libpipewire itself cannot start, and `error` then says why. */
KorvaPwConnection *korva_pw_connection_new(const char *name, char *error, size_t error_size);

/* Adds a part; before korva_pw_connection_start. The hook is removed with
 * spa_hook_remove when the part goes (after stop). */
void korva_pw_connection_add_listener(KorvaPwConnection *connection, struct spa_hook *listener,
                                      const struct korva_pw_connection_events *events, void *data);

/* Starts the thread, which connects at once. False with `error` filled
 * when the thread cannot start. */
bool korva_pw_connection_start(KorvaPwConnection *connection, char *error, size_t error_size);

/* Ends the thread and disconnects every part; no event runs after it.
 * Not from an event. */
void korva_pw_connection_stop(KorvaPwConnection *connection);

/* Stops it when still running, then frees it. Its parts are gone already. */
void korva_pw_connection_free(KorvaPwConnection *connection);

/* The thread loop: its lock guards every part's state, its wait and signal
 * are every part's. */
struct pw_thread_loop *korva_pw_connection_loop(KorvaPwConnection *connection);

/* Whether a core is connected and the daemon has not gone away (under the
 * lock, or on the thread). */
bool korva_pw_connection_up(KorvaPwConnection *connection);

#ifdef __cplusplus
}
#endif

#endif
