#include "connection.h"

#include <pipewire/pipewire.h>

#include <spa/utils/hook.h>
#include <spa/utils/result.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

struct KorvaPwConnection {
    struct pw_thread_loop *loop;
    struct pw_context *context;
    struct spa_source *retry;        /* connects again while PipeWire is down */
    bool started;

    struct pw_core *core;            /* null while disconnected */
    bool broken;                     /* the daemon went away; core still to drop */
    struct spa_hook core_listener;
    struct pw_registry *registry;

    struct spa_hook_list parts;
};

#define emit(c, method, ...) \
    spa_hook_list_call(&(c)->parts, struct korva_pw_connection_events, method, 0, ##__VA_ARGS__)

/* --- on the connection's thread, or under its lock --- */

/* Connects on the thread after `seconds` (0: at once). */
static void arm_retry(KorvaPwConnection *c, int seconds)
{
    struct timespec when = {.tv_sec = seconds, .tv_nsec = seconds == 0 ? 1 : 0};
    pw_loop_update_timer(pw_thread_loop_get_loop(c->loop), c->retry, &when, NULL, false);
}

static void disconnect(KorvaPwConnection *c)
{
    if (c->core == NULL)
        return;
    emit(c, disconnect);
    if (c->registry != NULL) {
        pw_proxy_destroy((struct pw_proxy *)c->registry);
        c->registry = NULL;
    }
    spa_hook_remove(&c->core_listener);
    pw_core_disconnect(c->core);
    c->core = NULL;
    c->broken = false;
}

static void on_core_error(void *data, uint32_t id, int seq, int res, const char *message)
{
    KorvaPwConnection *c = data;
    (void)seq;
    (void)message;
    if (id == PW_ID_CORE && res == -EPIPE && !c->broken) {   /* the daemon went away */
        c->broken = true;
        emit(c, down);
        arm_retry(c, 0);
        pw_thread_loop_signal(c->loop, false);
    }
}

static const struct pw_core_events core_events = {
    PW_VERSION_CORE_EVENTS,
    .error = on_core_error,
};

static void connect_now(KorvaPwConnection *c)
{
    c->core = pw_context_connect(c->context, NULL, 0);
    if (c->core == NULL) {
        emit(c, down);
        pw_thread_loop_signal(c->loop, false);
        arm_retry(c, KORVA_PW_CONNECTION_RETRY_SECONDS);
        return;
    }
    pw_core_add_listener(c->core, &c->core_listener, &core_events, c);
    c->registry = pw_core_get_registry(c->core, PW_VERSION_REGISTRY, 0);
    /* Every part listens before the first global can arrive. */
    emit(c, connected, c->core, c->registry);
}

static void on_retry(void *data, uint64_t expirations)
{
    KorvaPwConnection *c = data;
    (void)expirations;
    if (c->broken) {
        disconnect(c);
        arm_retry(c, KORVA_PW_CONNECTION_RETRY_SECONDS);
    } else if (c->core == NULL) {
        connect_now(c);
    }
}

/* --- the calls --- */

KorvaPwConnection *korva_pw_connection_new(const char *name, char *error, size_t error_size)
{
    pw_init(NULL, NULL);
    KorvaPwConnection *c = calloc(1, sizeof *c);
    if (c == NULL) {
        snprintf(error, error_size, "out of memory");
        return NULL;
    }
    spa_hook_list_init(&c->parts);
    c->loop = pw_thread_loop_new(name, NULL);
    if (c->loop != NULL)
        c->context = pw_context_new(pw_thread_loop_get_loop(c->loop), NULL, 0);
    if (c->context != NULL)
        c->retry = pw_loop_add_timer(pw_thread_loop_get_loop(c->loop), on_retry, c);
    if (c->retry == NULL) {
        snprintf(error, error_size, "cannot start a PipeWire client: %s", strerror(errno));
        if (c->context != NULL)
            pw_context_destroy(c->context);
        if (c->loop != NULL)
            pw_thread_loop_destroy(c->loop);
        free(c);
        return NULL;
    }
    return c;
}

void korva_pw_connection_add_listener(KorvaPwConnection *c, struct spa_hook *listener,
                                      const struct korva_pw_connection_events *events, void *data)
{
    spa_hook_list_append(&c->parts, listener, events, data);
}

bool korva_pw_connection_start(KorvaPwConnection *c, char *error, size_t error_size)
{
    if (pw_thread_loop_start(c->loop) < 0) {
        snprintf(error, error_size, "cannot start a PipeWire client: %s", strerror(errno));
        return false;
    }
    c->started = true;
    /* The first attempt runs on the thread too, so every event does. */
    pw_thread_loop_lock(c->loop);
    arm_retry(c, 0);
    pw_thread_loop_unlock(c->loop);
    return true;
}

void korva_pw_connection_stop(KorvaPwConnection *c)
{
    if (c->started)
        pw_thread_loop_stop(c->loop);
    c->started = false;
    disconnect(c);
}

void korva_pw_connection_free(KorvaPwConnection *c)
{
    if (c == NULL)
        return;
    korva_pw_connection_stop(c);
    pw_loop_destroy_source(pw_thread_loop_get_loop(c->loop), c->retry);
    pw_context_destroy(c->context);
    pw_thread_loop_destroy(c->loop);
    free(c);
}

struct pw_thread_loop *korva_pw_connection_loop(KorvaPwConnection *c)
{
    return c->loop;
}

bool korva_pw_connection_up(KorvaPwConnection *c)
{
    return c->core != NULL && !c->broken;
}
