// korva sink follow: applies the profile of the output Korva plays into
// (sink_profiles.h) whenever that output or its active route changes, as a
// preset load does (the master switch, reversed stereo and phase invert keep
// their values), live and in the sink's saved configuration.
//
// It keeps calls and the programs of the app list (sink_apps.h) out of
// Korva: their streams are sent straight to the output Korva plays into
// (sink_bypass.h).
//
// It holds one PipeWire connection (pwlive/connection.h) for the sink
// client, the output watch and the stream watch, and runs until SIGTERM or
// SIGINT, holding the lock of sinkfiles/follow_lock.h: a second follow exits
// at once with kExitFollowRunning. The output and preset of each profile
// applied are kept in $XDG_STATE_HOME/korva/follow-applied: on the same
// output with the same preset after a restart nothing is sent, so changes
// made by hand stay until the output changes. What it sees is written to
// $XDG_RUNTIME_DIR/korva/follow-state after every change
// (sinkfiles/follow_state.h).
#ifndef KORVA_CLI_SINK_FOLLOW_H
#define KORVA_CLI_SINK_FOLLOW_H

#include "cli/common/status.h"

#include <map>
#include <string>

// The exit status of a follow that does not start because another one runs
// (sinkfiles/follow_lock.h). korva-follow.service names it in
// RestartPreventExitStatus, so systemd does not start it again and again.
constexpr int kExitFollowRunning = 4;

// Runs until a signal; a failure only when it cannot start.
Status run_sink_follow();

// The state file is read with korva::sinkfiles::read_follow_state
// (sinkfiles/follow_state.h).

#endif
