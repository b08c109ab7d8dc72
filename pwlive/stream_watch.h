// The playback streams of the PipeWire graph (media.class
// Stream/Output/Audio) with the properties that say whose they are and what
// they carry, and the targets the `default` metadata gives them
// (target.object, which the session manager honours when it links a
// stream): read, and set for a stream.
//
// A watch runs on a PipeWire connection (connection.h) it shares. `changed`
// runs on the connection's thread whenever a stream, its properties or the
// metadata changed; the callback copies what it needs with
// stream_watch_streams from another thread, or hands on a note. No GTK.
#ifndef KORVA_PWLIVE_STREAM_WATCH_H
#define KORVA_PWLIVE_STREAM_WATCH_H

#include <cstdint>
#include <string>
#include <vector>

typedef struct KorvaPwConnection KorvaPwConnection;

namespace korva::pwlive {

struct LiveStream {
    uint32_t id = 0xffffffffu;   // the global's id: the metadata's subject, given again to later objects
    std::string serial;          // object.serial: never given to another object
    std::string name;          // node.name
    std::string application;   // application.name
    std::string binary;        // application.process.binary
    std::string role;          // media.role
    std::string own_target;    // target.object or node.target the stream was made with
    std::string target;        // target.object in the default metadata; empty for none
};

struct StreamWatch;

struct StreamWatchCallbacks {
    void (*changed)(void *data) = nullptr;   // connection thread
    void *data = nullptr;
};

// A watch on `connection`, which is not yet started.
StreamWatch *stream_watch_new_on(KorvaPwConnection *connection, const StreamWatchCallbacks &callbacks);

// Frees the watch; no callback runs after it returns. Not from a callback.
void stream_watch_free(StreamWatch *watch);

// The streams whose properties are known, in id order; false (none) while
// PipeWire is not running or has no default metadata.
bool stream_watch_streams(StreamWatch *watch, std::vector<LiveStream> &streams);

// Sets the stream's target.object in the default metadata to `target` (a
// node.name), or removes it for an empty `target`. False when not connected.
bool stream_watch_set_target(StreamWatch *watch, uint32_t id, const std::string &target);

} // namespace korva::pwlive

#endif
