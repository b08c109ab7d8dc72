#include "output_watch.h"

#include "connection.h"

#include <pipewire/pipewire.h>
#include <spa/param/param.h>
#include <spa/param/route.h>
#include <spa/pod/iter.h>
#include <spa/pod/parser.h>
#include <spa/utils/result.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

namespace korva::pwlive {

namespace {

const char *lookup(const spa_dict *props, const char *key)
{
    return props == nullptr ? nullptr : spa_dict_lookup(props, key);
}

uint32_t id_value(const char *text)
{
    if (text == nullptr || *text == '\0')
        return kNoId;
    char *end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    return *end == '\0' && value < kNoId ? static_cast<uint32_t>(value) : kNoId;
}

} // namespace

struct WatchedNode {
    OutputWatch *watch = nullptr;
    GraphNode node;
    pw_node *proxy = nullptr;
    spa_hook listener{};
};

struct WatchedDevice {
    OutputWatch *watch = nullptr;
    GraphDevice device;
    pw_device *proxy = nullptr;
    spa_hook listener{};
    pw_device_info *info = nullptr;
    int route_seq = -1, enum_seq = -1;           // the latest reads asked for
    std::vector<GraphRoute> routes, enum_routes;  // what those reads brought so far
};

struct OutputWatch {
    OutputWatchCallbacks callbacks;
    KorvaPwConnection *connection = nullptr;
    bool owned = false;               // the connection is this watch's own
    pw_thread_loop *loop = nullptr;   // the connection's
    spa_hook connection_listener{};

    pw_core *core = nullptr;          // the connection's; null while disconnected
    spa_hook core_listener{};
    pw_registry *registry = nullptr;
    spa_hook registry_listener{};

    std::map<uint32_t, std::unique_ptr<WatchedNode>> nodes;
    std::map<uint32_t, std::unique_ptr<WatchedDevice>> devices;
    std::map<uint32_t, GraphLink> links;
    int next_seq = 100;     // the seq given to each param read
    int sync_seq = -1;      // the sync after the latest requests
    bool settled = false;   // every request so far was answered
    bool pictured = false;  // settled once since connecting: the graph is whole
};

namespace {

// --- everything here runs on the watch's thread, or under its lock ---

// Marks the picture incomplete until the replies to what was just asked come.
void ask_sync(OutputWatch *w)
{
    w->settled = false;
    w->sync_seq = pw_core_sync(w->core, PW_ID_CORE, 0);
}

void on_node_info(void *data, const pw_node_info *info)
{
    auto *n = static_cast<WatchedNode *>(data);
    if (!(info->change_mask & PW_NODE_CHANGE_MASK_PROPS))
        return;
    if (const char *name = lookup(info->props, PW_KEY_NODE_NAME))
        n->node.name = name;
    if (const char *description = lookup(info->props, PW_KEY_NODE_DESCRIPTION))
        n->node.description = description;
    n->node.device_id = id_value(lookup(info->props, PW_KEY_DEVICE_ID));
    const char *profile_device = lookup(info->props, "card.profile.device");
    const uint32_t value = id_value(profile_device);
    n->node.profile_device = value == kNoId || value > 0x7fffffff ? -1 : static_cast<int>(value);
    ask_sync(n->watch);
}

// The events tables: every member not named stays null (a designated
// initializer would have to name them all to build without warnings).
pw_node_events make_node_events()
{
    pw_node_events e{};
    e.version = PW_VERSION_NODE_EVENTS;
    e.info = on_node_info;
    return e;
}
const pw_node_events node_events = make_node_events();

GraphRoute parse_route(const spa_pod *param)
{
    GraphRoute route;
    int32_t index = -1, device = -1;
    uint32_t direction = SPA_DIRECTION_INPUT, available = SPA_PARAM_AVAILABILITY_unknown;
    const char *name = nullptr, *description = nullptr;
    const spa_pod *devices = nullptr;
    if (spa_pod_parse_object(param, SPA_TYPE_OBJECT_ParamRoute, nullptr, SPA_PARAM_ROUTE_index,
                             SPA_POD_Int(&index), SPA_PARAM_ROUTE_direction, SPA_POD_Id(&direction),
                             SPA_PARAM_ROUTE_name, SPA_POD_String(&name), SPA_PARAM_ROUTE_device,
                             SPA_POD_OPT_Int(&device), SPA_PARAM_ROUTE_description, SPA_POD_OPT_String(&description),
                             SPA_PARAM_ROUTE_available, SPA_POD_OPT_Id(&available), SPA_PARAM_ROUTE_devices,
                             SPA_POD_OPT_Pod(&devices)) < 0)
        return route;
    route.index = index;
    route.name = name;
    route.description = description != nullptr ? description : "";
    route.output = direction == SPA_DIRECTION_OUTPUT;
    route.device = device;
    route.available = available == SPA_PARAM_AVAILABILITY_yes ? "yes"
                      : available == SPA_PARAM_AVAILABILITY_no ? "no"
                                                               : "unknown";
    uint32_t count = 0;
    if (devices != nullptr)
        if (int32_t *values = static_cast<int32_t *>(spa_pod_get_array(devices, &count));
            values != nullptr && SPA_POD_ARRAY_VALUE_TYPE(devices) == SPA_TYPE_Int)
            route.devices.assign(values, values + count);
    return route;
}

void on_device_param(void *data, int seq, uint32_t id, uint32_t index, uint32_t next, const spa_pod *param)
{
    (void)index;
    (void)next;
    auto *d = static_cast<WatchedDevice *>(data);
    const bool active = id == SPA_PARAM_Route && seq == d->route_seq;
    const bool every = id == SPA_PARAM_EnumRoute && seq == d->enum_seq;
    if (!active && !every)
        return;   // the answer to an older read
    GraphRoute route = parse_route(param);
    if (route.index < 0)
        return;
    (active ? d->routes : d->enum_routes).push_back(std::move(route));
}

void read_routes(WatchedDevice *d, uint32_t id)
{
    const int seq = d->watch->next_seq++;
    if (id == SPA_PARAM_Route) {
        d->route_seq = seq;
        d->routes.clear();
    } else {
        d->enum_seq = seq;
        d->enum_routes.clear();
    }
    pw_device_enum_params(d->proxy, seq, id, 0, UINT32_MAX, nullptr);
}

void on_device_info(void *data, const pw_device_info *update)
{
    auto *d = static_cast<WatchedDevice *>(data);
    // Merged, a param whose serial changed has its `user` count raised; the
    // first info raises every one.
    d->info = pw_device_info_merge(d->info, update, false);
    if (d->info == nullptr)
        return;
    if (const char *name = lookup(d->info->props, PW_KEY_DEVICE_NAME))
        d->device.name = name;
    bool asked = false;
    for (uint32_t i = 0; i < d->info->n_params; ++i) {
        spa_param_info &param = d->info->params[i];
        if ((param.id == SPA_PARAM_Route || param.id == SPA_PARAM_EnumRoute) && param.user > 0) {
            param.user = 0;
            read_routes(d, param.id);
            asked = true;
        }
    }
    if (asked || (update->change_mask & PW_DEVICE_CHANGE_MASK_PROPS))
        ask_sync(d->watch);
}

pw_device_events make_device_events()
{
    pw_device_events e{};
    e.version = PW_VERSION_DEVICE_EVENTS;
    e.info = on_device_info;
    e.param = on_device_param;
    return e;
}
const pw_device_events device_events = make_device_events();

void drop_node(WatchedNode &n)
{
    spa_hook_remove(&n.listener);
    pw_proxy_destroy(reinterpret_cast<pw_proxy *>(n.proxy));
}

void drop_device(WatchedDevice &d)
{
    spa_hook_remove(&d.listener);
    pw_proxy_destroy(reinterpret_cast<pw_proxy *>(d.proxy));
    if (d.info != nullptr)
        pw_device_info_free(d.info);
}

void on_global(void *data, uint32_t id, uint32_t permissions, const char *type, uint32_t version,
               const spa_dict *props)
{
    (void)permissions;
    (void)version;
    auto *w = static_cast<OutputWatch *>(data);
    if (std::strcmp(type, PW_TYPE_INTERFACE_Link) == 0) {
        GraphLink link;
        link.id = id;
        link.output_node = id_value(lookup(props, PW_KEY_LINK_OUTPUT_NODE));
        link.input_node = id_value(lookup(props, PW_KEY_LINK_INPUT_NODE));
        w->links[id] = link;
        ask_sync(w);
        return;
    }
    const char *media_class = lookup(props, PW_KEY_MEDIA_CLASS);
    const char *name = lookup(props, PW_KEY_NODE_NAME);
    if (std::strcmp(type, PW_TYPE_INTERFACE_Node) == 0 && media_class != nullptr &&
        (std::strcmp(media_class, "Audio/Sink") == 0 ||
         (name != nullptr && std::strcmp(name, kKorvaOutputStream) == 0))) {
        // Bound for card.profile.device, which only the node's info carries.
        auto n = std::make_unique<WatchedNode>();
        n->watch = w;
        n->node.id = id;
        n->node.media_class = media_class;
        n->node.name = name != nullptr ? name : "";
        n->proxy = static_cast<pw_node *>(pw_registry_bind(w->registry, id, type, PW_VERSION_NODE, 0));
        if (n->proxy == nullptr)
            return;
        pw_node_add_listener(n->proxy, &n->listener, &node_events, n.get());
        w->nodes[id] = std::move(n);
        ask_sync(w);
        return;
    }
    if (std::strcmp(type, PW_TYPE_INTERFACE_Device) == 0 && media_class != nullptr &&
        std::strcmp(media_class, "Audio/Device") == 0) {
        auto d = std::make_unique<WatchedDevice>();
        d->watch = w;
        d->device.id = id;
        d->proxy = static_cast<pw_device *>(pw_registry_bind(w->registry, id, type, PW_VERSION_DEVICE, 0));
        if (d->proxy == nullptr)
            return;
        pw_device_add_listener(d->proxy, &d->listener, &device_events, d.get());
        w->devices[id] = std::move(d);
        ask_sync(w);
    }
}

void notify(OutputWatch *w)
{
    if (w->callbacks.changed != nullptr)
        w->callbacks.changed(w->callbacks.data);
    pw_thread_loop_signal(w->loop, false);
}

void on_global_remove(void *data, uint32_t id)
{
    auto *w = static_cast<OutputWatch *>(data);
    bool known = w->links.erase(id) > 0;
    if (auto n = w->nodes.find(id); n != w->nodes.end()) {
        drop_node(*n->second);
        w->nodes.erase(n);
        known = true;
    }
    if (auto d = w->devices.find(id); d != w->devices.end()) {
        drop_device(*d->second);
        w->devices.erase(d);
        known = true;
    }
    if (known && w->settled)
        notify(w);
}

pw_registry_events make_registry_events()
{
    pw_registry_events e{};
    e.version = PW_VERSION_REGISTRY_EVENTS;
    e.global = on_global;
    e.global_remove = on_global_remove;
    return e;
}
const pw_registry_events registry_events = make_registry_events();

void on_core_done(void *data, uint32_t id, int seq)
{
    auto *w = static_cast<OutputWatch *>(data);
    if (id != PW_ID_CORE || seq != w->sync_seq)
        return;
    // Every read asked for before the sync has been answered: take its routes.
    for (auto &[device_id, d] : w->devices) {
        d->device.routes = d->routes;
        d->device.enum_routes = d->enum_routes;
    }
    w->settled = w->pictured = true;
    notify(w);
}

void on_disconnect(void *data)
{
    auto *w = static_cast<OutputWatch *>(data);
    for (auto &[id, n] : w->nodes)
        drop_node(*n);
    for (auto &[id, d] : w->devices)
        drop_device(*d);
    w->nodes.clear();
    w->devices.clear();
    w->links.clear();
    w->settled = w->pictured = false;
    if (w->registry != nullptr) {
        spa_hook_remove(&w->registry_listener);
        w->registry = nullptr;
    }
    if (w->core != nullptr) {
        spa_hook_remove(&w->core_listener);
        w->core = nullptr;
    }
}

void on_down(void *data)
{
    auto *w = static_cast<OutputWatch *>(data);
    w->settled = false;
    notify(w);
}

pw_core_events make_core_events()
{
    pw_core_events e{};
    e.version = PW_VERSION_CORE_EVENTS;
    e.done = on_core_done;
    return e;
}
const pw_core_events core_events = make_core_events();

void on_connected(void *data, pw_core *core, pw_registry *registry)
{
    auto *w = static_cast<OutputWatch *>(data);
    w->core = core;
    w->registry = registry;
    pw_core_add_listener(core, &w->core_listener, &core_events, w);
    pw_registry_add_listener(registry, &w->registry_listener, &registry_events, w);
    ask_sync(w);
}

korva_pw_connection_events make_connection_events()
{
    korva_pw_connection_events e{};
    e.version = KORVA_VERSION_PW_CONNECTION_EVENTS;
    e.connected = on_connected;
    e.down = on_down;
    e.disconnect = on_disconnect;
    return e;
}
const korva_pw_connection_events connection_events = make_connection_events();

bool up(OutputWatch *w)
{
    return w->core != nullptr && korva_pw_connection_up(w->connection);
}

} // namespace

// --- the calls ---

OutputWatch *output_watch_new_on(KorvaPwConnection *connection, const OutputWatchCallbacks &callbacks)
{
    auto *w = new OutputWatch;
    w->callbacks = callbacks;
    w->connection = connection;
    w->loop = korva_pw_connection_loop(connection);
    korva_pw_connection_add_listener(connection, &w->connection_listener, &connection_events, w);
    return w;
}

OutputWatch *output_watch_new(const OutputWatchCallbacks &callbacks, std::string &error)
{
    char why[256] = "";
    KorvaPwConnection *connection = korva_pw_connection_new("korva-output-watch", why, sizeof why);
    if (connection == nullptr) {
        error = why;
        return nullptr;
    }
    OutputWatch *w = output_watch_new_on(connection, callbacks);
    if (!korva_pw_connection_start(connection, why, sizeof why)) {
        error = why;
        output_watch_free(w);
        korva_pw_connection_free(connection);
        return nullptr;
    }
    w->owned = true;
    return w;
}

void output_watch_free(OutputWatch *w)
{
    if (w == nullptr)
        return;
    if (w->owned)
        korva_pw_connection_stop(w->connection);
    pw_thread_loop_lock(w->loop);
    on_disconnect(w);
    spa_hook_remove(&w->connection_listener);
    pw_thread_loop_unlock(w->loop);
    if (w->owned)
        korva_pw_connection_free(w->connection);
    delete w;
}

bool output_watch_wait(OutputWatch *w, int timeout_ms)
{
    pw_thread_loop_lock(w->loop);
    timespec deadline;
    pw_thread_loop_get_time(w->loop, &deadline, static_cast<int64_t>(timeout_ms) * SPA_NSEC_PER_MSEC);
    bool ready = w->settled && up(w);
    while (!ready && pw_thread_loop_timed_wait_full(w->loop, &deadline) != -ETIMEDOUT)
        ready = w->settled && up(w);
    ready = w->settled && up(w);
    pw_thread_loop_unlock(w->loop);
    return ready;
}

bool output_watch_graph(OutputWatch *w, Graph &graph)
{
    graph = Graph{};
    pw_thread_loop_lock(w->loop);
    const bool ready = up(w) && w->pictured;
    if (ready) {
        for (const auto &[id, n] : w->nodes)
            graph.nodes.push_back(n->node);
        for (const auto &[id, link] : w->links)
            graph.links.push_back(link);
        for (const auto &[id, d] : w->devices)
            graph.devices.push_back(d->device);
    }
    pw_thread_loop_unlock(w->loop);
    return ready;
}

} // namespace korva::pwlive
