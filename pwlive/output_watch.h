// The live picture of the PipeWire graph that output_graph.h reads: sink
// nodes (with card.profile.device from their info), links, and audio devices
// with their Route and EnumRoute params, kept up to date from the registry.
//
// A watch runs on a PipeWire connection (connection.h), its own or one it
// shares; when PipeWire goes away the connection connects again every
// second. `changed` runs on the connection's thread whenever the picture is complete again after a change (every reply
// to what the change asked for has come): the callback copies what it needs
// with output_watch_graph from another thread, or hands on a note. No GTK.
#ifndef KORVA_PWLIVE_OUTPUT_WATCH_H
#define KORVA_PWLIVE_OUTPUT_WATCH_H

#include "pwlive/output_graph.h"

#include <string>

typedef struct KorvaPwConnection KorvaPwConnection;

namespace korva::pwlive {

struct OutputWatch;

struct OutputWatchCallbacks {
    void (*changed)(void *data) = nullptr;   // client thread
    void *data = nullptr;
};

// Starts a watch on a connection of its own; null only when libpipewire
// cannot start (`error` says why).
OutputWatch *output_watch_new(const OutputWatchCallbacks &callbacks, std::string &error);

// A watch on `connection`, which is not yet started.
OutputWatch *output_watch_new_on(KorvaPwConnection *connection, const OutputWatchCallbacks &callbacks);

// Frees the watch (its own connection stopped first); no callback runs
// after it returns. Not from a callback.
void output_watch_free(OutputWatch *watch);

// Waits up to `timeout_ms` for a complete picture from a connected PipeWire;
// false on the deadline or while PipeWire is not running. Not from a callback.
bool output_watch_wait(OutputWatch *watch, int timeout_ms);

// The latest complete picture; false (graph emptied) while PipeWire is not
// running or the first picture is still being read.
bool output_watch_graph(OutputWatch *watch, Graph &graph);

} // namespace korva::pwlive

#endif
