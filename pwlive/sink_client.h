/*
 * The running Korva sink seen through libpipewire: the node named
 * korva_sink, its Korva controls ("korva:FIELD" in the chain's Props
 * params), changes to them made anywhere, and the state of the connection.
 *
 * A client runs on a PipeWire connection (connection.h): its own, or one it
 * shares with the other parts of a program. It finds the node, reads its
 * controls and follows their changes; when PipeWire goes away it says so,
 * and the connection connects again every second. Callbacks run on the
 * connection's thread, never inside a korva_sink_client_* call of another
 * thread: a GLib/GTK program hands them to its main loop (g_idle_add) and
 * copies what it needs, as the records passed are valid only during the call.
 * Every function may be called from any thread; those that wait (wait,
 * refresh, free) not from a callback.
 *
 * After PipeWire comes back the node's values are read afresh and reported
 * through values_changed like any other change: nothing held by the client
 * is sent back on its own.
 *
 * Setting a value the node already holds produces no change event, so a
 * caller never waits for an event as the answer to its own change:
 * korva_sink_client_refresh reads the node's values back instead.
 */
#ifndef KORVA_PWLIVE_SINK_CLIENT_H
#define KORVA_PWLIVE_SINK_CLIENT_H

#include "sinkfiles/sink_values.h"

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KORVA_SINK_NODE_NAME "korva_sink"

typedef enum KorvaSinkState {
    KORVA_SINK_CONNECTING,       /* not yet known: the first answer is on its way */
    KORVA_SINK_PIPEWIRE_DOWN,    /* no PipeWire daemon answers (retried every second) */
    KORVA_SINK_NOT_RUNNING,      /* PipeWire runs, with no node korva_sink */
    KORVA_SINK_NOT_KORVA,        /* a node korva_sink without Korva's controls */
    KORVA_SINK_CONNECTED         /* bound to the sink; its values are known */
} KorvaSinkState;

/* The state in words, for a window title or a message. */
const char *korva_sink_state_text(KorvaSinkState state);

typedef struct KorvaSinkCallbacks {
    /* The connection's state changed (client thread). */
    void (*state_changed)(void *data, KorvaSinkState state);
    /* The node's controls were read: on connecting and after every change,
     * this client's own included (client thread). */
    void (*values_changed)(void *data, const KorvaSinkValues *values);
    void *data;
} KorvaSinkCallbacks;

typedef struct KorvaSinkClient KorvaSinkClient;
typedef struct KorvaPwConnection KorvaPwConnection;

/* Starts a client on a connection of its own (callbacks may be null). Null
 * only when libpipewire itself cannot start; `error` then says why. */
KorvaSinkClient *korva_sink_client_new(const KorvaSinkCallbacks *callbacks, char *error, size_t error_size);

/* A client on `connection`, which is not yet started (connection.h). Null
 * only when out of memory. */
KorvaSinkClient *korva_sink_client_new_on(KorvaPwConnection *connection, const KorvaSinkCallbacks *callbacks,
                                          char *error, size_t error_size);

/* Frees the client (its own connection stopped first); no callback runs
 * after it returns. Not from a callback. */
void korva_sink_client_free(KorvaSinkClient *client);

/* Waits up to `timeout_ms` for the state to be known (anything but
 * CONNECTING) and gives it. Not from a callback. */
KorvaSinkState korva_sink_client_wait(KorvaSinkClient *client, int timeout_ms);

/* The current state, and the values last read (false when none are known). */
KorvaSinkState korva_sink_client_state(KorvaSinkClient *client);
bool korva_sink_client_values(KorvaSinkClient *client, KorvaSinkValues *values);

/* Sends `changes` to the node in one Props change: all of them or, when not
 * connected, none (returns false). Only the given controls change. */
bool korva_sink_client_set(KorvaSinkClient *client, const KorvaSinkChange *changes, int count);

/* Sends the compare node's three controls in one Props change; false when
 * not connected. */
bool korva_sink_client_set_compare(KorvaSinkClient *client, int side, float korva_level, float bypass_level);

/* Reads the node's values afresh and waits up to `timeout_ms` for them: true
 * when they came, and `values` (may be null) holds them. A change sent
 * before is in them. Not from a callback. */
bool korva_sink_client_refresh(KorvaSinkClient *client, KorvaSinkValues *values, int timeout_ms);

#ifdef __cplusplus
}
#endif

#endif
