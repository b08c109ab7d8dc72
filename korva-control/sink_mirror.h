// The window's block beside the sink's controls: which fields a control
// change sends, and which of the node's reported values the window takes
// over. Pure bookkeeping, no GTK and no PipeWire: the program's glue
// (control_app.cpp) calls it on the interface thread and does the sending.
//
// Three rules keep the window and the node from echoing each other:
// - only fields the window's block changed are sent, and of those only the
//   ones whose control value differs from what the node holds;
// - a value that came from the node is shown, never sent back;
// - for half a second after the window sent a field, a report of that field
//   with another value (an event on its way before the window's change) is
//   held back; once the half second is over, the last report is taken.
#ifndef KORVA_CONTROL_SINK_MIRROR_H
#define KORVA_CONTROL_SINK_MIRROR_H

#include "engine/korva.h"
#include "pwlive/sink_client.h"

#include <cstdint>
#include <vector>

namespace korva_control {

// How long a field the window sent ignores other values reported for it.
constexpr int64_t kEchoGuardUs = 500 * 1000;

struct SinkMirror {
    KorvaParams shown{};           // the window's block
    bool node_known = false;       // `node` holds the node's values (connected)
    KorvaSinkValues node{};        // the node's controls as last sent or taken over
    KorvaSinkValues reported{};    // the node's controls as last reported
    int64_t guard_until[KORVA_PARAM_FIELD_COUNT] = {};  // monotonic microseconds
    float sent[KORVA_PARAM_FIELD_COUNT] = {};
    bool held[KORVA_PARAM_FIELD_COUNT] = {};            // a report waits for its guard to end
};

// The block a node's (or a fragment's) controls stand for: each present
// control as the plug-in takes it (rounded, clamped), the others from `base`.
KorvaParams block_from_controls(const KorvaSinkValues &controls, const KorvaParams &base);

// The window writes `next`. Returns the fields it changed against the shown
// block, as control values, in `save`; those of them the node does not hold
// in `send` (empty while the node is not known). `next` becomes the shown
// block, and each field in `send` is guarded from `now_us` on.
void mirror_write(SinkMirror &mirror, const KorvaParams &next, int64_t now_us, std::vector<KorvaSinkChange> &save,
                  std::vector<KorvaSinkChange> &send);

// The node reported its controls. With `whole` (just connected) every
// control is taken over; otherwise only those that moved. A guarded field
// with another value than the one sent is held back. True when the shown
// block changed.
bool mirror_report(SinkMirror &mirror, const KorvaSinkValues &values, bool whole, int64_t now_us);

// Takes over the held-back reports whose guard has ended; true when the
// shown block changed.
bool mirror_release(SinkMirror &mirror, int64_t now_us);

// The node went away: nothing is known of it until it reports again.
void mirror_forget_node(SinkMirror &mirror);

}  // namespace korva_control

#endif
