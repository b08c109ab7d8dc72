#include "stream_watch.h"

#include "connection.h"

#include <pipewire/extensions/metadata.h>
#include <pipewire/pipewire.h>

#include <cstring>
#include <map>
#include <memory>

namespace korva::pwlive {

namespace {

const char *lookup(const spa_dict *props, const char *key)
{
    return props == nullptr ? nullptr : spa_dict_lookup(props, key);
}

std::string text(const char *value)
{
    return value != nullptr ? value : "";
}

} // namespace

struct WatchedStream {
    StreamWatch *watch = nullptr;
    LiveStream stream;
    bool known = false;   // its info (with every property) came
    pw_node *proxy = nullptr;
    spa_hook listener{};
};

struct StreamWatch {
    StreamWatchCallbacks callbacks;
    KorvaPwConnection *connection = nullptr;
    pw_thread_loop *loop = nullptr;
    spa_hook connection_listener{};

    pw_registry *registry = nullptr;
    spa_hook registry_listener{};
    pw_metadata *metadata = nullptr;   // the default metadata, when bound
    uint32_t metadata_id = SPA_ID_INVALID;
    spa_hook metadata_listener{};

    std::map<uint32_t, std::unique_ptr<WatchedStream>> streams;
    std::map<uint32_t, std::string> targets;   // target.object per subject
};

namespace {

// --- on the connection's thread, or under its lock ---

void notify(StreamWatch *w)
{
    if (w->callbacks.changed != nullptr)
        w->callbacks.changed(w->callbacks.data);
    pw_thread_loop_signal(w->loop, false);
}

void on_node_info(void *data, const pw_node_info *info)
{
    auto *s = static_cast<WatchedStream *>(data);
    if (!(info->change_mask & PW_NODE_CHANGE_MASK_PROPS))
        return;
    LiveStream &stream = s->stream;
    stream.name = text(lookup(info->props, PW_KEY_NODE_NAME));
    stream.serial = text(lookup(info->props, PW_KEY_OBJECT_SERIAL));
    stream.application = text(lookup(info->props, PW_KEY_APP_NAME));
    stream.binary = text(lookup(info->props, PW_KEY_APP_PROCESS_BINARY));
    stream.role = text(lookup(info->props, PW_KEY_MEDIA_ROLE));
    stream.own_target = text(lookup(info->props, PW_KEY_TARGET_OBJECT));
    if (stream.own_target.empty())
        stream.own_target = text(lookup(info->props, PW_KEY_NODE_TARGET));
    s->known = true;
    notify(s->watch);
}

pw_node_events make_node_events()
{
    pw_node_events e{};
    e.version = PW_VERSION_NODE_EVENTS;
    e.info = on_node_info;
    return e;
}
const pw_node_events node_events = make_node_events();

int on_property(void *data, uint32_t subject, const char *key, const char *type, const char *value)
{
    (void)type;
    auto *w = static_cast<StreamWatch *>(data);
    if (key == nullptr)   // every property of the subject removed
        w->targets.erase(subject);
    else if (std::strcmp(key, PW_KEY_TARGET_OBJECT) != 0)
        return 0;
    else if (value == nullptr)
        w->targets.erase(subject);
    else
        w->targets[subject] = value;
    notify(w);
    return 0;
}

pw_metadata_events make_metadata_events()
{
    pw_metadata_events e{};
    e.version = PW_VERSION_METADATA_EVENTS;
    e.property = on_property;
    return e;
}
const pw_metadata_events metadata_events = make_metadata_events();

void drop_metadata(StreamWatch *w)
{
    if (w->metadata == nullptr)
        return;
    spa_hook_remove(&w->metadata_listener);
    pw_proxy_destroy(reinterpret_cast<pw_proxy *>(w->metadata));
    w->metadata = nullptr;
    w->metadata_id = SPA_ID_INVALID;
    w->targets.clear();
}

void on_global(void *data, uint32_t id, uint32_t permissions, const char *type, uint32_t version,
               const spa_dict *props)
{
    (void)permissions;
    (void)version;
    auto *w = static_cast<StreamWatch *>(data);
    if (std::strcmp(type, PW_TYPE_INTERFACE_Metadata) == 0) {
        const char *name = lookup(props, PW_KEY_METADATA_NAME);
        if (w->metadata != nullptr || name == nullptr || std::strcmp(name, "default") != 0)
            return;
        w->metadata = static_cast<pw_metadata *>(pw_registry_bind(w->registry, id, type, PW_VERSION_METADATA, 0));
        if (w->metadata == nullptr)
            return;
        w->metadata_id = id;
        pw_metadata_add_listener(w->metadata, &w->metadata_listener, &metadata_events, w);
        notify(w);
        return;
    }
    const char *media_class = lookup(props, PW_KEY_MEDIA_CLASS);
    if (std::strcmp(type, PW_TYPE_INTERFACE_Node) != 0 || media_class == nullptr ||
        std::strcmp(media_class, "Stream/Output/Audio") != 0)
        return;
    // Bound for the whole of its properties: the registry gives only some.
    auto s = std::make_unique<WatchedStream>();
    s->watch = w;
    s->stream.id = id;
    s->proxy = static_cast<pw_node *>(pw_registry_bind(w->registry, id, type, PW_VERSION_NODE, 0));
    if (s->proxy == nullptr)
        return;
    pw_node_add_listener(s->proxy, &s->listener, &node_events, s.get());
    w->streams[id] = std::move(s);
}

void drop_stream(WatchedStream &s)
{
    spa_hook_remove(&s.listener);
    pw_proxy_destroy(reinterpret_cast<pw_proxy *>(s.proxy));
}

void on_global_remove(void *data, uint32_t id)
{
    auto *w = static_cast<StreamWatch *>(data);
    if (id == w->metadata_id) {
        drop_metadata(w);
        notify(w);
    } else if (auto s = w->streams.find(id); s != w->streams.end()) {
        // The metadata drops a gone object's entries without a word to its
        // clients, and the id may soon name a new stream.
        w->targets.erase(id);
        drop_stream(*s->second);
        w->streams.erase(s);
        notify(w);
    }
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

void on_connected(void *data, pw_core *core, pw_registry *registry)
{
    (void)core;
    auto *w = static_cast<StreamWatch *>(data);
    w->registry = registry;
    pw_registry_add_listener(registry, &w->registry_listener, &registry_events, w);
}

void on_down(void *data)
{
    notify(static_cast<StreamWatch *>(data));
}

void on_disconnect(void *data)
{
    auto *w = static_cast<StreamWatch *>(data);
    for (auto &[id, s] : w->streams)
        drop_stream(*s);
    w->streams.clear();
    drop_metadata(w);
    if (w->registry != nullptr) {
        spa_hook_remove(&w->registry_listener);
        w->registry = nullptr;
    }
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

bool up(StreamWatch *w)
{
    return w->registry != nullptr && w->metadata != nullptr && korva_pw_connection_up(w->connection);
}

} // namespace

// --- the calls ---

StreamWatch *stream_watch_new_on(KorvaPwConnection *connection, const StreamWatchCallbacks &callbacks)
{
    auto *w = new StreamWatch;
    w->callbacks = callbacks;
    w->connection = connection;
    w->loop = korva_pw_connection_loop(connection);
    korva_pw_connection_add_listener(connection, &w->connection_listener, &connection_events, w);
    return w;
}

void stream_watch_free(StreamWatch *w)
{
    if (w == nullptr)
        return;
    pw_thread_loop_lock(w->loop);
    on_disconnect(w);
    spa_hook_remove(&w->connection_listener);
    pw_thread_loop_unlock(w->loop);
    delete w;
}

bool stream_watch_streams(StreamWatch *w, std::vector<LiveStream> &streams)
{
    streams.clear();
    pw_thread_loop_lock(w->loop);
    const bool ready = up(w);
    if (ready) {
        for (const auto &[id, s] : w->streams) {
            if (!s->known)
                continue;
            streams.push_back(s->stream);
            if (const auto target = w->targets.find(id); target != w->targets.end())
                streams.back().target = target->second;
        }
    }
    pw_thread_loop_unlock(w->loop);
    return ready;
}

bool stream_watch_set_target(StreamWatch *w, uint32_t id, const std::string &target)
{
    pw_thread_loop_lock(w->loop);
    const bool sent = up(w) && pw_metadata_set_property(w->metadata, id, PW_KEY_TARGET_OBJECT, nullptr,
                                                        target.empty() ? nullptr : target.c_str()) >= 0;
    pw_thread_loop_unlock(w->loop);
    return sent;
}

} // namespace korva::pwlive
