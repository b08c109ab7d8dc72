#include "sink_client.h"

#include "connection.h"

#include <pipewire/pipewire.h>
#include <spa/param/props.h>
#include <spa/pod/builder.h>
#include <spa/pod/iter.h>
#include <spa/utils/result.h>

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#define CONTROL_PREFIX "korva:"
#define COMPARE_PREFIX "compare:"

struct KorvaSinkClient {
    KorvaPwConnection *connection;
    bool owned;                      /* the connection is this client's own */
    struct pw_thread_loop *loop;     /* the connection's */
    struct spa_hook connection_listener;

    struct pw_core *core;            /* the connection's; null while disconnected */
    struct spa_hook core_listener;
    struct pw_registry *registry;
    struct spa_hook registry_listener;
    int registry_seq;                /* the sync that ends the first listing */

    struct pw_node *node;            /* korva_sink, when bound */
    struct spa_hook node_listener;
    struct pw_node_info *node_info;  /* what the node told so far, merged */
    uint32_t node_id;
    int read_seq;                    /* the sync that ends the latest read */
    int read_done;                   /* the latest read that ended */
    bool reading_found;              /* the read so far met Korva's entry */
    unsigned reading_compare;        /* the compare controls met so far, a bit each */
    KorvaSinkValues reading;

    KorvaSinkCallbacks callbacks;
    KorvaSinkState state;
    bool have_values;
    KorvaSinkValues values;
};

const char *korva_sink_state_text(KorvaSinkState state)
{
    switch (state) {
    case KORVA_SINK_CONNECTING: return "connecting to PipeWire";
    case KORVA_SINK_PIPEWIRE_DOWN: return "PipeWire not running";
    case KORVA_SINK_NOT_RUNNING: return "sink not running";
    case KORVA_SINK_NOT_KORVA: return "the node " KORVA_SINK_NODE_NAME " is not Korva's sink";
    case KORVA_SINK_CONNECTED: return "connected";
    }
    return "unknown";
}

/* --- everything below runs on the client thread, or under its lock --- */

static void set_state(KorvaSinkClient *c, KorvaSinkState state)
{
    if (c->state == state)
        return;
    c->state = state;
    if (c->callbacks.state_changed != NULL)
        c->callbacks.state_changed(c->callbacks.data, state);
    pw_thread_loop_signal(c->loop, false);
}

static void drop_node(KorvaSinkClient *c)
{
    if (c->node == NULL)
        return;
    spa_hook_remove(&c->node_listener);
    pw_proxy_destroy((struct pw_proxy *)c->node);
    c->node = NULL;
    if (c->node_info != NULL)
        pw_node_info_free(c->node_info);
    c->node_info = NULL;
    c->node_id = SPA_ID_INVALID;
    c->have_values = false;
}

static bool up(KorvaSinkClient *c)
{
    return c->core != NULL && korva_pw_connection_up(c->connection);
}

static void on_disconnect(void *data)
{
    KorvaSinkClient *c = data;
    drop_node(c);
    if (c->registry != NULL) {
        spa_hook_remove(&c->registry_listener);
        c->registry = NULL;
    }
    if (c->core != NULL) {
        spa_hook_remove(&c->core_listener);
        c->core = NULL;
    }
}

/* Asks for the node's Props; the sync after it marks the end of the answer. */
static void start_read(KorvaSinkClient *c)
{
    memset(&c->reading, 0, sizeof c->reading);
    c->reading_found = false;
    c->reading_compare = 0;
    pw_node_enum_params(c->node, 0, SPA_PARAM_Props, 0, UINT32_MAX, NULL);
    c->read_seq = pw_core_sync(c->core, PW_ID_CORE, 0);
}

/* One of the compare node's controls; the three make it present. */
static void read_compare(KorvaSinkClient *c, const char *name, double value)
{
    static const char *const names[] = {"side", "korva_level", "bypass_level"};
    double *slots[] = {&c->reading.compare.side, &c->reading.compare.korva_level, &c->reading.compare.bypass_level};
    for (unsigned i = 0; i < 3; i++) {
        if (strcmp(name, names[i]) == 0) {
            *slots[i] = value;
            c->reading_compare |= 1u << i;
        }
    }
    c->reading.compare.present = c->reading_compare == 7u;
}

/* Props carry the chain's controls as a struct of name/value pairs; the
 * entry with korva: names is the chain's (the converter has its own). */
static void read_props(KorvaSinkClient *c, const struct spa_pod *param)
{
    if (param == NULL || !spa_pod_is_object_type(param, SPA_TYPE_OBJECT_Props))
        return;
    const struct spa_pod_prop *prop = spa_pod_find_prop(param, NULL, SPA_PROP_params);
    if (prop == NULL || !spa_pod_is_struct(&prop->value))
        return;
    struct spa_pod *item;
    const char *name = NULL;
    SPA_POD_STRUCT_FOREACH(&prop->value, item) {
        if (name == NULL) {
            if (spa_pod_get_string(item, &name) < 0)
                return;   /* not a name/value list */
            continue;
        }
        float f;
        double d;
        int32_t i;
        bool b;
        double value;
        bool known = true;
        if (spa_pod_get_float(item, &f) >= 0)
            value = f;
        else if (spa_pod_get_double(item, &d) >= 0)
            value = d;
        else if (spa_pod_get_int(item, &i) >= 0)
            value = i;
        else if (spa_pod_get_bool(item, &b) >= 0)
            value = b ? 1.0 : 0.0;
        else
            known = false;
        if (known && strncmp(name, COMPARE_PREFIX, strlen(COMPARE_PREFIX)) == 0)
            read_compare(c, name + strlen(COMPARE_PREFIX), value);
        if (known && strncmp(name, CONTROL_PREFIX, strlen(CONTROL_PREFIX)) == 0) {
            const KorvaParamField *field = korva_param_field_find(name + strlen(CONTROL_PREFIX));
            c->reading_found = true;
            if (field != NULL) {
                const int index = (int)(field - korva_param_fields);
                c->reading.present[index] = true;
                c->reading.value[index] = value;
            }
        }
        name = NULL;
    }
}

static void finish_read(KorvaSinkClient *c)
{
    c->read_done = c->read_seq;
    if (!c->reading_found) {
        c->have_values = false;
        set_state(c, KORVA_SINK_NOT_KORVA);
        return;
    }
    c->values = c->reading;
    c->have_values = true;
    set_state(c, KORVA_SINK_CONNECTED);
    if (c->callbacks.values_changed != NULL)
        c->callbacks.values_changed(c->callbacks.data, &c->values);
    pw_thread_loop_signal(c->loop, false);
}

static void on_node_info(void *data, const struct pw_node_info *update)
{
    KorvaSinkClient *c = data;
    /* Merged, a parameter whose serial changed (from whichever client's
     * change) has its `user` count raised; the first info raises every one. */
    c->node_info = pw_node_info_merge(c->node_info, update, false);
    if (c->node_info == NULL || !(update->change_mask & PW_NODE_CHANGE_MASK_PARAMS))
        return;
    bool props_changed = false;
    for (uint32_t i = 0; i < c->node_info->n_params; i++) {
        if (c->node_info->params[i].id == SPA_PARAM_Props && c->node_info->params[i].user > 0) {
            c->node_info->params[i].user = 0;
            props_changed = true;
        }
    }
    if (props_changed)
        start_read(c);
}

static void on_node_param(void *data, int seq, uint32_t id, uint32_t index, uint32_t next,
                          const struct spa_pod *param)
{
    (void)seq;
    (void)index;
    (void)next;
    if (id == SPA_PARAM_Props)
        read_props(data, param);
}

static const struct pw_node_events node_events = {
    PW_VERSION_NODE_EVENTS,
    .info = on_node_info,
    .param = on_node_param,
};

static void on_global(void *data, uint32_t id, uint32_t permissions, const char *type, uint32_t version,
                      const struct spa_dict *props)
{
    KorvaSinkClient *c = data;
    (void)permissions;
    (void)version;
    if (c->node != NULL || strcmp(type, PW_TYPE_INTERFACE_Node) != 0 || props == NULL)
        return;
    const char *name = spa_dict_lookup(props, PW_KEY_NODE_NAME);
    if (name == NULL || strcmp(name, KORVA_SINK_NODE_NAME) != 0)
        return;
    c->node = pw_registry_bind(c->registry, id, PW_TYPE_INTERFACE_Node, PW_VERSION_NODE, 0);
    if (c->node == NULL)
        return;
    c->node_id = id;
    pw_node_add_listener(c->node, &c->node_listener, &node_events, c);
    /* Changes are reported on the node's info; a node with no Props at all
     * is known by the first read's empty answer. */
    uint32_t ids[] = {SPA_PARAM_Props};
    pw_node_subscribe_params(c->node, ids, 1);
    start_read(c);
}

static void on_global_remove(void *data, uint32_t id)
{
    KorvaSinkClient *c = data;
    if (c->node == NULL || id != c->node_id)
        return;
    drop_node(c);
    set_state(c, KORVA_SINK_NOT_RUNNING);
}

static const struct pw_registry_events registry_events = {
    PW_VERSION_REGISTRY_EVENTS,
    .global = on_global,
    .global_remove = on_global_remove,
};

static void on_core_done(void *data, uint32_t id, int seq)
{
    KorvaSinkClient *c = data;
    if (id != PW_ID_CORE)
        return;
    if (seq == c->registry_seq && c->node == NULL)
        set_state(c, KORVA_SINK_NOT_RUNNING);
    if (seq == c->read_seq && c->node != NULL)
        finish_read(c);
}

static const struct pw_core_events core_events = {
    PW_VERSION_CORE_EVENTS,
    .done = on_core_done,
};

static void on_connected(void *data, struct pw_core *core, struct pw_registry *registry)
{
    KorvaSinkClient *c = data;
    c->core = core;
    c->registry = registry;
    pw_core_add_listener(core, &c->core_listener, &core_events, c);
    pw_registry_add_listener(registry, &c->registry_listener, &registry_events, c);
    c->registry_seq = pw_core_sync(core, PW_ID_CORE, 0);
}

static void on_down(void *data)
{
    set_state(data, KORVA_SINK_PIPEWIRE_DOWN);
}

static const struct korva_pw_connection_events connection_events = {
    KORVA_VERSION_PW_CONNECTION_EVENTS,
    .connected = on_connected,
    .down = on_down,
    .disconnect = on_disconnect,
};

/* --- the calls --- */

KorvaSinkClient *korva_sink_client_new_on(KorvaPwConnection *connection, const KorvaSinkCallbacks *callbacks,
                                          char *error, size_t error_size)
{
    KorvaSinkClient *c = calloc(1, sizeof *c);
    if (c == NULL) {
        snprintf(error, error_size, "out of memory");
        return NULL;
    }
    if (callbacks != NULL)
        c->callbacks = *callbacks;
    c->connection = connection;
    c->loop = korva_pw_connection_loop(connection);
    c->node_id = SPA_ID_INVALID;
    c->read_seq = c->registry_seq = -1;
    c->read_done = -1;
    korva_pw_connection_add_listener(connection, &c->connection_listener, &connection_events, c);
    return c;
}

KorvaSinkClient *korva_sink_client_new(const KorvaSinkCallbacks *callbacks, char *error, size_t error_size)
{
    KorvaPwConnection *connection = korva_pw_connection_new("korva-sink-client", error, error_size);
    if (connection == NULL)
        return NULL;
    KorvaSinkClient *c = korva_sink_client_new_on(connection, callbacks, error, error_size);
    if (c == NULL || !korva_pw_connection_start(connection, error, error_size)) {
        korva_sink_client_free(c);
        korva_pw_connection_free(connection);
        return NULL;
    }
    c->owned = true;
    return c;
}

void korva_sink_client_free(KorvaSinkClient *c)
{
    if (c == NULL)
        return;
    if (c->owned)
        korva_pw_connection_stop(c->connection);
    pw_thread_loop_lock(c->loop);
    on_disconnect(c);
    spa_hook_remove(&c->connection_listener);
    pw_thread_loop_unlock(c->loop);
    if (c->owned)
        korva_pw_connection_free(c->connection);
    free(c);
}

/* Waits under the lock until `done` or the deadline; false on the deadline. */
static bool wait_until(KorvaSinkClient *c, bool (*done)(KorvaSinkClient *, int), int argument, int timeout_ms)
{
    struct timespec deadline;
    pw_thread_loop_get_time(c->loop, &deadline, (int64_t)timeout_ms * SPA_NSEC_PER_MSEC);
    while (!done(c, argument)) {
        if (pw_thread_loop_timed_wait_full(c->loop, &deadline) == -ETIMEDOUT)
            return done(c, argument);
    }
    return true;
}

static bool state_known(KorvaSinkClient *c, int unused)
{
    (void)unused;
    return c->state != KORVA_SINK_CONNECTING && !(c->node != NULL && c->state == KORVA_SINK_NOT_RUNNING);
}

KorvaSinkState korva_sink_client_wait(KorvaSinkClient *c, int timeout_ms)
{
    pw_thread_loop_lock(c->loop);
    wait_until(c, state_known, 0, timeout_ms);
    const KorvaSinkState state = c->state;
    pw_thread_loop_unlock(c->loop);
    return state;
}

KorvaSinkState korva_sink_client_state(KorvaSinkClient *c)
{
    pw_thread_loop_lock(c->loop);
    const KorvaSinkState state = c->state;
    pw_thread_loop_unlock(c->loop);
    return state;
}

bool korva_sink_client_values(KorvaSinkClient *c, KorvaSinkValues *values)
{
    pw_thread_loop_lock(c->loop);
    const bool known = c->have_values;
    if (known)
        *values = c->values;
    pw_thread_loop_unlock(c->loop);
    return known;
}

bool korva_sink_client_set(KorvaSinkClient *c, const KorvaSinkChange *changes, int count)
{
    for (int i = 0; i < count; i++) {
        if (changes[i].field < 0 || changes[i].field >= KORVA_PARAM_FIELD_COUNT)
            return false;
    }
    pw_thread_loop_lock(c->loop);
    bool sent = false;
    if (c->node != NULL && c->state == KORVA_SINK_CONNECTED && up(c)) {
        /* 32 names of at most 40 bytes and their values fit with room. */
        uint8_t buffer[8192];
        struct spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
        struct spa_pod_frame object, list;
        spa_pod_builder_push_object(&b, &object, SPA_TYPE_OBJECT_Props, SPA_PARAM_Props);
        spa_pod_builder_prop(&b, SPA_PROP_params, 0);
        spa_pod_builder_push_struct(&b, &list);
        for (int i = 0; i < count; i++) {
            char name[64];
            snprintf(name, sizeof name, CONTROL_PREFIX "%s", korva_param_fields[changes[i].field].name);
            spa_pod_builder_string(&b, name);
            spa_pod_builder_float(&b, changes[i].value);
        }
        spa_pod_builder_pop(&b, &list);
        const struct spa_pod *param = spa_pod_builder_pop(&b, &object);
        sent = param != NULL && pw_node_set_param(c->node, SPA_PARAM_Props, 0, param) >= 0;
    }
    pw_thread_loop_unlock(c->loop);
    return sent;
}

bool korva_sink_client_set_compare(KorvaSinkClient *c, int side, float korva_level, float bypass_level)
{
    pw_thread_loop_lock(c->loop);
    bool sent = false;
    if (c->node != NULL && c->state == KORVA_SINK_CONNECTED && up(c)) {
        uint8_t buffer[1024];
        struct spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
        struct spa_pod_frame object, list;
        spa_pod_builder_push_object(&b, &object, SPA_TYPE_OBJECT_Props, SPA_PARAM_Props);
        spa_pod_builder_prop(&b, SPA_PROP_params, 0);
        spa_pod_builder_push_struct(&b, &list);
        spa_pod_builder_string(&b, COMPARE_PREFIX "side");
        spa_pod_builder_float(&b, (float)side);
        spa_pod_builder_string(&b, COMPARE_PREFIX "korva_level");
        spa_pod_builder_float(&b, korva_level);
        spa_pod_builder_string(&b, COMPARE_PREFIX "bypass_level");
        spa_pod_builder_float(&b, bypass_level);
        spa_pod_builder_pop(&b, &list);
        const struct spa_pod *param = spa_pod_builder_pop(&b, &object);
        sent = param != NULL && pw_node_set_param(c->node, SPA_PARAM_Props, 0, param) >= 0;
    }
    pw_thread_loop_unlock(c->loop);
    return sent;
}

static bool read_ended(KorvaSinkClient *c, int seq)
{
    return c->node == NULL || !up(c) || c->read_done == seq || c->read_seq != seq;
}

bool korva_sink_client_refresh(KorvaSinkClient *c, KorvaSinkValues *values, int timeout_ms)
{
    pw_thread_loop_lock(c->loop);
    bool fresh = false;
    if (c->node != NULL && up(c)) {
        start_read(c);
        /* A read started meanwhile (an outside change) answers later and
         * newer: its values are the ones to give. */
        for (int reads = 0; reads < 4; reads++) {
            const int seq = c->read_seq;
            if (!wait_until(c, read_ended, seq, timeout_ms) || c->node == NULL || !up(c))
                break;
            if (c->read_done == seq) {
                fresh = c->have_values;
                break;
            }
        }
        if (fresh && values != NULL)
            *values = c->values;
    }
    pw_thread_loop_unlock(c->loop);
    return fresh;
}
